#include <dlfcn.h>

#include "platform/dynlib.h"

namespace cv::platform {

const char* const kPluginSuffix = ".so";

bool LoadPluginLibrary(const std::string& path, PluginEntryPoints& out, std::string& error) {
  void* h = ::dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
  if (h == nullptr) {
    const char* e = ::dlerror();
    error = e != nullptr ? e : "dlopen failed";
    return false;
  }
  out.query = reinterpret_cast<NVSEPlugin_Query_t>(::dlsym(h, "NVSEPlugin_Query"));
  out.load = reinterpret_cast<NVSEPlugin_Load_t>(::dlsym(h, "NVSEPlugin_Load"));
  if (out.query == nullptr || out.load == nullptr) {
    error = "missing NVSEPlugin_Query or NVSEPlugin_Load";
    return false;
  }
  // The library stays loaded for the life of the process, as in the game.
  return true;
}

}  // namespace cv::platform
