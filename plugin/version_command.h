// CV_GetVersion and the plug-in's version number.
#pragma once

#include "host/host.h"

namespace cv::plugin {

constexpr UInt32 kPluginVersion = 19;

bool GetVersion(const host::CommandArgs& a);

}  // namespace cv::plugin
