// The game query commands: skeletons, form lists, conversations and the
// quest-variable indirection.
#pragma once

#include "host/host.h"

namespace cv::queries {

bool IsUsingSkeleton(const host::CommandArgs& a);
bool GetSkeletonPath(const host::CommandArgs& a);
bool IsInList(const host::CommandArgs& a);
bool GetConversationPartner(const host::CommandArgs& a);
bool SetEvConversationSubject(const host::CommandArgs& a);
bool SetEvConversationTarget(const host::CommandArgs& a);
bool GetQVEVFl(const host::CommandArgs& a);
bool GetQVEVFlEval(TESObjectREFR* thisObj, void* arg1, void* arg2, double* result) noexcept;

}  // namespace cv::queries
