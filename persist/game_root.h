// The game root directory: the folder of the game's executable, with a
// trailing backslash, below which the plug-in keeps its save data and its
// database. Found once and cached; empty when it cannot be found.
#pragma once

#include <string>

namespace cv::persist {

std::string FindGameRoot();

// Forgets the cached root (tests only).
void ResetGameRootForTesting();

}  // namespace cv::persist
