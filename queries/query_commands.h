// The game query commands: skeletons, form lists, conversations and the
// quest-variable indirection. The command table registers these handlers;
// the logic behind each group lives in its own file pair (skeleton,
// formlist, conversation, questvar).
#pragma once

#include "host/host.h"

namespace cv::queries {

// CV_IsUsingSkeleton, CV_GetSkeletonPath (skeleton.cpp).
bool IsUsingSkeleton(const host::CommandArgs& a);
bool GetSkeletonPath(const host::CommandArgs& a);

// CV_IsInList (formlist.cpp).
bool IsInList(const host::CommandArgs& a);

// CV_GetConversationPartner, CV_SetEvConversationSubject,
// CV_SetEvConversationTarget (conversation.cpp).
bool GetConversationPartner(const host::CommandArgs& a);
bool SetEvConversationSubject(const host::CommandArgs& a);
bool SetEvConversationTarget(const host::CommandArgs& a);

// CV_GetQVEVFl, script call and condition (questvar.cpp).
bool GetQVEVFl(const host::CommandArgs& a);
bool GetQVEVFlEval(TESObjectREFR* thisObj, void* arg1, void* arg2, double* result) noexcept;

}  // namespace cv::queries
