// Builds without the game binding: the game is never found.
#include "host/game_binding.h"

namespace cv::host {

const CVEngineInterface* GameEngine() { return nullptr; }
std::vector<std::string> GameClassesNotNamed() { return {}; }

}  // namespace cv::host
