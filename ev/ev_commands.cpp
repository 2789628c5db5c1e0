// Placeholder handlers: answer success with the result 0 until the
// extended-variable commands are built.
#include "ev/ev_commands.h"

namespace cv::ev {

namespace {
bool Placeholder(const host::CommandArgs& a) {
  *a.result = 0;
  return true;
}
}  // namespace

bool SetEVFl(const host::CommandArgs& a) { return Placeholder(a); }
bool GetEVFl(const host::CommandArgs& a) { return Placeholder(a); }
bool GetEVFlEval(TESObjectREFR*, void*, void*, double* result) noexcept {
  *result = 0;
  return true;
}
bool SetEVFo(const host::CommandArgs& a) { return Placeholder(a); }
bool GetEVFo(const host::CommandArgs& a) { return Placeholder(a); }
bool SetEVSt(const host::CommandArgs& a) { return Placeholder(a); }
bool GetEVSt(const host::CommandArgs& a) { return Placeholder(a); }
bool ClrEVFl(const host::CommandArgs& a) { return Placeholder(a); }
bool ClrEVFo(const host::CommandArgs& a) { return Placeholder(a); }
bool ClrEVSt(const host::CommandArgs& a) { return Placeholder(a); }
bool GetEVFlAr(const host::CommandArgs& a) { return Placeholder(a); }
bool GetEVFoAr(const host::CommandArgs& a) { return Placeholder(a); }
bool GetEVStAr(const host::CommandArgs& a) { return Placeholder(a); }

}  // namespace cv::ev
