// Which engine table the plug-in binds at load, and the name the start-up
// log line gives it.
#pragma once

#include <string>
#include <vector>

#include "host/engine_table.h"

namespace cv::host {

struct EngineChoice {
  const CVEngineInterface* table = nullptr;
  const char* name = "none";  // "game", "simulator" or "none"
  // With the game: the classes whose operations answer nothing, as their
  // type descriptors do not name them.
  std::vector<std::string> classesNotNamed;
};

// The plug-in's own binding when the game's image is there, else a
// simulated game's table when the program serves one, else none.
EngineChoice ChooseEngine(UInt32 runtimeVersion);

}  // namespace cv::host
