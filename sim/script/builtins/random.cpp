// Random numbers: GetRandomPercent, Rand (script-language.md §7), from GameState::random.
#include "sim/script/builtins/registry.h"

namespace cv::sim::script {

void RegisterRandom(Registry&) {}

}  // namespace cv::sim::script
