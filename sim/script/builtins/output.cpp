// Output: PrintToConsole/printc, MessageEx and their format specifiers (script-language.md §6.4).
#include "sim/script/builtins/registry.h"

namespace cv::sim::script {

void RegisterOutput(Registry&) {}

}  // namespace cv::sim::script
