// CV_SetEVFl / CV_GetEVFl (execute and condition), CV_SetEVFo / CV_GetEVFo,
// CV_SetEVSt / CV_GetEVSt: one value of the calling reference under a key.
#include <cstring>
#include <string>

#include "ev/ev_commands.h"
#include "ev/store.h"
#include "host/game.h"
#include "log/guard.h"

namespace cv::ev {

namespace {
// The condition handler's key: a NUL-terminated text, read no further than
// the longest key.
std::string_view ConditionKey(const void* arg) {
  if (arg == nullptr) return {};
  const char* text = static_cast<const char*>(arg);
  return std::string_view(text, ::strnlen(text, kMaxKeyLength));
}
}  // namespace

bool SetEVFl(const host::CommandArgs& a) {
  Guarded({"setevfl"}, [&] {
    host::TextArg key;
    float value = 0;
    SInt32 persist = 0;  // read and ignored: every value is saved alike
    if (!host::ExtractArgs(a, key, &value, &persist) || a.thisObj == nullptr) return;
    TheStore().Entry<EvKind::Float>(game::RefId(a.thisObj), FoldedKey(host::ArgText(key))) = value;
  });
  return true;
}

bool GetEVFlEval(TESObjectREFR* thisObj, void* arg1, void*, double* result) noexcept {
  Guarded({"getevfl"}, [&] {
    *result = 0.0;
    if (thisObj == nullptr) return;
    const float* v =
        TheStore().Find<EvKind::Float>(game::RefId(thisObj), FoldedKey(ConditionKey(arg1)));
    // A stored zero of either sign reads as +0.0; a NaN is passed on.
    if (v != nullptr && *v != 0.0f) *result = *v;
    if (game::IsConsoleMode()) game::ConsolePrint("GetEVFl: %.5f", *result);
  });
  return true;
}

bool GetEVFl(const host::CommandArgs& a) {
  bool ok = true;
  Guarded({"getevfl"}, [&] {
    *a.result = 0.0;
    host::TextArg key;
    if (!host::ExtractArgs(a, key)) return;
    ok = GetEVFlEval(a.thisObj, key.data(), nullptr, a.result);
  });
  return ok;
}

bool SetEVFo(const host::CommandArgs& a) {
  Guarded({"setevfo"}, [&] {
    if (a.thisObj == nullptr) return;
    host::TextArg key;
    TESForm* form = nullptr;
    SInt32 persist = 0;
    if (!host::ExtractArgs(a, key, &form, &persist)) return;
    TheStore().Entry<EvKind::Form>(game::RefId(a.thisObj), FoldedKey(host::ArgText(key))) =
        game::RefId(form);
  });
  return true;
}

bool GetEVFo(const host::CommandArgs& a) {
  Guarded({"getevfo"}, [&] {
    host::SetFormResult(a.result, 0);
    host::TextArg key;
    if (host::ExtractArgs(a, key) && a.thisObj != nullptr) {
      const UInt32* id =
          TheStore().Find<EvKind::Form>(game::RefId(a.thisObj), FoldedKey(host::ArgText(key)));
      if (id != nullptr) host::SetFormResult(a.result, *id);
    }
    if (game::IsConsoleMode()) game::ConsolePrint("GetEVFo: %x", host::FormResult(a.result));
  });
  return true;
}

bool SetEVSt(const host::CommandArgs& a) {
  Guarded({"setevst"}, [&] {
    host::TextArg key;
    host::TextArg value;
    SInt32 persist = 0;
    if (!host::ExtractArgs(a, key, value, &persist) || a.thisObj == nullptr) return;
    TheStore().Entry<EvKind::String>(game::RefId(a.thisObj), FoldedKey(host::ArgText(key))) =
        host::ArgText(value);
  });
  return true;
}

bool GetEVSt(const host::CommandArgs& a) {
  Guarded({"getevst"}, [&] {
    *a.result = 0.0;
    host::TextArg key;
    if (!host::ExtractArgs(a, key) || a.thisObj == nullptr) return;
    const std::string* found =
        TheStore().Find<EvKind::String>(game::RefId(a.thisObj), FoldedKey(host::ArgText(key)));
    const std::string text = found != nullptr ? *found : std::string();
    host::AssignString(a, text.c_str());
    if (game::IsConsoleMode()) game::ConsolePrint("GetEVSt: %s", text.c_str());
  });
  return true;
}

}  // namespace cv::ev
