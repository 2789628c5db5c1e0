// Listener placeholder until host message handling is built: every message
// is ignored.
#include "plugin/messages.h"

namespace cv::plugin {

void MessageHandler(NVSEMessagingInterface::Message*) noexcept {}

}  // namespace cv::plugin
