// The plug-in's own engine table over the memory of FalloutNV.exe 1.4.0.525
// (host/fnv/, built only for Windows; other builds have none).
#pragma once

#include "host/engine_table.h"

namespace cv::host {

// The table, when the image at the game's base address is the game's own;
// null otherwise (and always on builds without the binding).
const CVEngineInterface* GameEngine();

}  // namespace cv::host
