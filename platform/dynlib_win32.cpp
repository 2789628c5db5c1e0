#include <windows.h>

#include <string>

#include "platform/dynlib.h"

namespace cv::platform {

const char* const kPluginSuffix = ".dll";

namespace {
// FARPROC to a typed entry point; void (*)() converts to any function type.
template <typename Fn>
Fn EntryPoint(HMODULE h, const char* name) {
  return reinterpret_cast<Fn>(reinterpret_cast<void (*)()>(::GetProcAddress(h, name)));
}
}  // namespace

bool LoadPluginLibrary(const std::string& path, PluginEntryPoints& out, std::string& error) {
  HMODULE h = ::LoadLibraryA(path.c_str());
  if (h == nullptr) {
    error = "LoadLibraryA failed, error " + std::to_string(::GetLastError());
    return false;
  }
  out.query = EntryPoint<NVSEPlugin_Query_t>(h, "NVSEPlugin_Query");
  out.load = EntryPoint<NVSEPlugin_Load_t>(h, "NVSEPlugin_Load");
  if (out.query == nullptr || out.load == nullptr) {
    error = "missing NVSEPlugin_Query or NVSEPlugin_Load";
    return false;
  }
  // The library stays loaded for the life of the process, as in the game.
  return true;
}

}  // namespace cv::platform
