// Loading a plug-in library and finding its two entry points, for the host.
#pragma once

#include <string>

#include "host/nvse_records.h"

namespace cv::platform {

struct PluginEntryPoints {
  NVSEPlugin_Query_t query = nullptr;
  NVSEPlugin_Load_t load = nullptr;
};

// Loads the library at path (native separators) and looks up exactly
// NVSEPlugin_Query and NVSEPlugin_Load. False with a reason when it fails.
bool LoadPluginLibrary(const std::string& path, PluginEntryPoints& out, std::string& error);

// The file-name suffix of plug-in libraries on this platform (".so", ".dll").
extern const char* const kPluginSuffix;

}  // namespace cv::platform
