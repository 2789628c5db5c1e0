#include <windows.h>

#include <string>

#include "platform/dynlib.h"

namespace cv::platform {

const char* const kLibrarySuffix = ".dll";

void* OpenLibrary(const std::string& path, std::string& error) {
  HMODULE h = ::LoadLibraryA(path.c_str());
  if (h == nullptr) error = "LoadLibraryA failed, error " + std::to_string(::GetLastError());
  return reinterpret_cast<void*>(h);
}

void* LibrarySymbol(void* library, const char* name) {
  if (library == nullptr) return nullptr;
  // FARPROC, through a plain function pointer, to the address.
  return reinterpret_cast<void*>(
      reinterpret_cast<void (*)()>(::GetProcAddress(reinterpret_cast<HMODULE>(library), name)));
}

}  // namespace cv::platform
