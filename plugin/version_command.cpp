#include "plugin/version_command.h"

#include "host/game.h"
#include "log/guard.h"

namespace cv::plugin {

bool GetVersion(const host::CommandArgs& a) {
  Guarded({"getver"}, [&] {
    *a.result = kPluginVersion;
    if (game::IsConsoleMode())
      game::ConsolePrint("Corvane version: %d", static_cast<int>(kPluginVersion));
  });
  return true;
}

}  // namespace cv::plugin
