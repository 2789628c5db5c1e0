// The plug-in's own engine table over the memory of FalloutNV.exe 1.4.0.525
// (host/fnv/, built only for Windows; other builds have none).
#pragma once

#include <string>
#include <vector>

#include "host/engine_table.h"

namespace cv::host {

// The table, when the image at the game's base address is the game's own;
// null otherwise (and always on builds without the binding).
// Checks every class the binding casts to by the name its type descriptor
// gives, each time it is called.
const CVEngineInterface* GameEngine();

// The classes whose type descriptor did not name them when GameEngine() last
// chose the game: the operations that need one answer nothing. Empty when
// the image is not the game's.
std::vector<std::string> GameClassesNotNamed();

}  // namespace cv::host
