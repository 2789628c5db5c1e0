// The sv_ family, NumToHex, NumToHex_OLD, IntToBin, ToNumber (script-language.md §6.3, §13).
#include "sim/script/builtins/registry.h"

namespace cv::sim::script {

void RegisterStrings(Registry&) {}

}  // namespace cv::sim::script
