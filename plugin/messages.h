// The host message listener: ties the game's life cycle to save-data.
#pragma once

#include <string>

#include "host/nvse_records.h"

namespace cv::plugin {

// Registered for the sender "NVSE" at load; the host calls it, nothing else.
void MessageHandler(NVSEMessagingInterface::Message* msg) noexcept;

// The old save name of a rename, kept until the new name arrives.
const std::string& PendingRenameName();
// Forgets the pending rename name (tests only).
void ResetPendingRenameForTesting();

}  // namespace cv::plugin
