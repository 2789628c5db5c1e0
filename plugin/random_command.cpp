#include "plugin/random_command.h"

#include "host/game.h"
#include "log/guard.h"
#include "platform/platform.h"

namespace cv::plugin {

namespace {
constexpr LogName kRandomLog{"GetRandom"};
}  // namespace

bool GetRandom(const host::CommandArgs& a) {
  *a.result = 0;
  Guarded(kRandomLog, [&] {
    SInt32 x = 0;
    SInt32 y = 0;
    if (!host::ExtractArgs(a, &x, &y)) return;
    const RandomDraw d = DrawInRange(x, y, platform::RandomU32);
    *a.result = d.value;
    if (game::IsConsoleMode())
      game::ConsolePrint("GetRandom(%d, %d) == %f %d", static_cast<int>(d.lo),
                         static_cast<int>(d.hi), *a.result, static_cast<int>(d.value));
  });
  return true;
}

}  // namespace cv::plugin
