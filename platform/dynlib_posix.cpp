#include <dlfcn.h>

#include "platform/dynlib.h"

namespace cv::platform {

const char* const kLibrarySuffix = ".so";

void* OpenLibrary(const std::string& path, std::string& error) {
  void* h = ::dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
  if (h == nullptr) {
    const char* e = ::dlerror();
    error = e != nullptr ? e : "dlopen failed";
  }
  return h;
}

void* LibrarySymbol(void* library, const char* name) {
  return library != nullptr ? ::dlsym(library, name) : nullptr;
}

}  // namespace cv::platform
