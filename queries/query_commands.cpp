// Placeholder handlers: answer success with the result 0 until the query
// commands are built.
#include "queries/query_commands.h"

namespace cv::queries {

namespace {
bool Placeholder(const host::CommandArgs& a) {
  *a.result = 0;
  return true;
}
}  // namespace

bool IsUsingSkeleton(const host::CommandArgs& a) { return Placeholder(a); }
bool GetSkeletonPath(const host::CommandArgs& a) { return Placeholder(a); }
bool IsInList(const host::CommandArgs& a) { return Placeholder(a); }
bool GetConversationPartner(const host::CommandArgs& a) { return Placeholder(a); }
bool SetEvConversationSubject(const host::CommandArgs& a) { return Placeholder(a); }
bool SetEvConversationTarget(const host::CommandArgs& a) { return Placeholder(a); }
bool GetQVEVFl(const host::CommandArgs& a) { return Placeholder(a); }
bool GetQVEVFlEval(TESObjectREFR*, void*, void*, double* result) noexcept {
  *result = 0;
  return true;
}

}  // namespace cv::queries
