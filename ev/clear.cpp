// CV_ClrEVFl, CV_ClrEVFo, CV_ClrEVSt: remove one entry of the calling
// reference, every entry whose key begins with the given key, or, without a
// key, the command's whole kind for every reference.
#include "ev/ev_commands.h"
#include "ev/store.h"
#include "host/game.h"
#include "log/guard.h"
#include "log/log.h"

namespace cv::ev {

namespace {

// How a clear command reads its match argument.
enum class MatchReading {
  OtherIsExact,     // CV_ClrEVFl: 2 selects subkeys, every other value one key
  OtherIsRejected,  // CV_ClrEVFo, CV_ClrEVSt: 1 one key, 2 subkeys, others nothing
};

void Clear(const host::CommandArgs& a, EvKind kind, MatchReading reading) {
  *a.result = 0.0;
  host::TextArg keyText;
  SInt32 match = 1;
  if (!host::ExtractArgs(a, keyText, &match)) return;
  const FoldedKey key(host::ArgText(keyText));
  if (a.thisObj == nullptr) return;
  const EvOwnerId owner = game::RefId(a.thisObj);
  EvStore& store = TheStore();
  if (!store.HasOwner(kind, owner)) return;

  if (key.view().empty()) {
    store.ClearKind(kind);  // every reference's values of this kind
  } else if (match == 2) {
    store.EraseSubkeys(kind, owner, key);
  } else if (match == 1 || reading == MatchReading::OtherIsExact) {
    store.EraseKey(kind, owner, key);
  } else {
    LogMessage("Unknown domatch setting %i", static_cast<int>(match));
  }
}

}  // namespace

bool ClrEVFl(const host::CommandArgs& a) {
  Guarded({"clrevfl"}, [&] { Clear(a, EvKind::Float, MatchReading::OtherIsExact); });
  return true;
}

bool ClrEVFo(const host::CommandArgs& a) {
  Guarded({"clrevfo"}, [&] { Clear(a, EvKind::Form, MatchReading::OtherIsRejected); });
  return true;
}

bool ClrEVSt(const host::CommandArgs& a) {
  Guarded({"clrevst"}, [&] { Clear(a, EvKind::String, MatchReading::OtherIsRejected); });
  return true;
}

}  // namespace cv::ev
