#include "persist/game_root.h"

#include "log/log.h"
#include "platform/platform.h"

namespace cv::persist {

namespace {
std::string& CachedRoot() {
  static std::string root;
  return root;
}
}  // namespace

std::string FindGameRoot() {
  std::string& cached = CachedRoot();
  if (!cached.empty()) return cached;

  char path[260] = {};
  std::uint32_t len = platform::MainExecutablePath(path, sizeof path);
  if (len == 0 || len >= sizeof path) {
    LogMessage("couldn't find fallout path (len = %d, err = %08X)", static_cast<int>(len),
               static_cast<unsigned>(platform::LastError()));
    return {};
  }
  std::string name(path, len);
  std::size_t slash = name.rfind('\\');
  if (slash == std::string::npos) {
    LogMessage("no slash in fallout path? (%s)", name.c_str());
    return {};
  }
  cached = name.substr(0, slash + 1);
  LogMessageNoEcho("fallout root = %s", cached.c_str());
  return cached;
}

void ResetGameRootForTesting() { CachedRoot().clear(); }

}  // namespace cv::persist
