// A plug-in library as the host loads it: the library and exactly its two
// entry points, NVSEPlugin_Query and NVSEPlugin_Load.
#pragma once

#include <string>

#include "host/nvse_records.h"
#include "platform/dynlib.h"

namespace cv::sim {

struct PluginEntryPoints {
  NVSEPlugin_Query_t query = nullptr;
  NVSEPlugin_Load_t load = nullptr;
};

// False with a reason when the library cannot be loaded or lacks an entry
// point.
inline bool LoadPluginLibrary(const std::string& path, PluginEntryPoints& out, std::string& error) {
  void* library = platform::OpenLibrary(path, error);
  if (library == nullptr) return false;
  out.query =
      reinterpret_cast<NVSEPlugin_Query_t>(platform::LibrarySymbol(library, "NVSEPlugin_Query"));
  out.load =
      reinterpret_cast<NVSEPlugin_Load_t>(platform::LibrarySymbol(library, "NVSEPlugin_Load"));
  if (out.query == nullptr || out.load == nullptr) {
    error = "missing NVSEPlugin_Query or NVSEPlugin_Load";
    return false;
  }
  return true;
}

}  // namespace cv::sim
