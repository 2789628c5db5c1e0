// CV_SetEVFl / CV_GetEVFl (execute and condition), CV_SetEVFo / CV_GetEVFo,
// CV_SetEVSt / CV_GetEVSt: one value of the calling reference under a key.
#include <string>

#include "ev/ev_commands.h"
#include "ev/store.h"
#include "host/game.h"
#include "log/guard.h"

namespace cv::ev {

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

namespace {
// CV_GetEVFl's work once its key is known, for the condition and the script.
void GetFloat(TESObjectREFR* thisObj, std::string_view key, double* result) {
  *result = 0.0;
  if (thisObj == nullptr) return;
  const float* v = TheStore().Find<EvKind::Float>(game::RefId(thisObj), FoldedKey(key));
  // A stored zero of either sign reads as +0.0; a NaN is passed on.
  if (v != nullptr && *v != 0.0f) *result = *v;
  if (game::IsConsoleMode()) game::ConsolePrint("GetEVFl: %.5f", *result);
}
}  // namespace

// The condition handler. The game hands a condition its parameters as two
// 4-byte words, and a word is never text (a condition record has no room
// for it): it may be 0, a small number, a form or anything else. So the key
// is always the empty key, and neither word is ever read.
bool GetEVFlEval(TESObjectREFR* thisObj, void*, void*, double* result) noexcept {
  Guarded({"getevfl"}, [&] {
    *result = 0.0;
    if (thisObj == nullptr) return;
    GetFloat(thisObj, std::string_view(), result);
  });
  return true;
}

bool GetEVFl(const host::CommandArgs& a) {
  Guarded({"getevfl"}, [&] {
    *a.result = 0.0;
    host::TextArg key;
    if (!host::ExtractArgs(a, key)) return;
    GetFloat(a.thisObj, host::ArgText(key), a.result);
  });
  return true;
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
