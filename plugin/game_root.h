// The game root directory: the folder of the game's executable, with a
// trailing backslash. Found once and cached; empty when it cannot be found.
#pragma once

#include <string>

namespace cv::plugin {

std::string FindGameRoot();

// Forgets the cached root (tests only).
void ResetGameRootForTesting();

}  // namespace cv::plugin
