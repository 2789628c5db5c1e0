// The plug-in's two entry points, called by the host through the exported
// NVSEPlugin_Query and NVSEPlugin_Load.
#pragma once

#include "host/nvse_records.h"

namespace cv::plugin {

constexpr UInt32 kSupportedRuntime = 0x040020D0;

bool Query(const NVSEInterface* nvse, PluginInfo* info) noexcept;
bool Load(const NVSEInterface* nvse) noexcept;

// Closes the database connection opened at load (library unload, tests).
void CloseDatabase() noexcept;

}  // namespace cv::plugin
