// The host message listener: ties the game's life cycle to save-data.
#pragma once

#include "host/nvse_records.h"

namespace cv::plugin {

void MessageHandler(NVSEMessagingInterface::Message* msg) noexcept;

}  // namespace cv::plugin
