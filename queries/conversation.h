// The conversation an actor is taking part in.
#pragma once

#include "host/nvse_records.h"

namespace cv::queries {

// The conversation of the calling reference: the reference as an actor, its
// AI process, the process's current activity as a conversation. Null when
// any step yields nothing.
void* FindConversation(TESObjectREFR* ref);

}  // namespace cv::queries
