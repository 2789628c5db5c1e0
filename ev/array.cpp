// CV_GetEVFlAr, CV_GetEVFoAr, CV_GetEVStAr: values of the calling reference
// as one string-keyed host array. One procedure for the three kinds; they
// differ in the table read and in how a value becomes an element.
#include <string>

#include "ev/ev_commands.h"
#include "ev/store.h"
#include "host/game.h"
#include "log/guard.h"

namespace cv::ev {

namespace {

enum class Mode { WholeListing, ExactKey, KeyPrefix };

// One element; the prefix listing of forms alone hands out forms, every
// other form element is the form id as a number.
template <EvKind K>
void SetElement(host::Array* arr, std::string_view key, const EvValueT<K>& value, Mode mode) {
  if constexpr (K == EvKind::Float) {
    host::SetNumber(arr, key, static_cast<double>(value));
  } else if constexpr (K == EvKind::Form) {
    if (mode == Mode::KeyPrefix)
      host::SetForm(arr, key, game::LookupFormByID(value));
    else
      host::SetNumber(arr, key, static_cast<double>(value));
  } else {
    host::SetString(arr, key, value);
  }
}

template <EvKind K>
void ListValues(const host::CommandArgs& a) {
  *a.result = 0.0;
  host::Array* arr = host::CreateStringMap(a.scriptObj);
  if (arr == nullptr) return;

  host::TextArg keyText;
  SInt32 match = 2;
  if (!host::ExtractArgs(a, keyText, &match)) {
    keyText.clear();  // a failed extraction lists everything
    match = 2;
  }
  // The key as written, cut where every key is cut.
  const std::string_view written = host::ArgText(keyText).substr(0, kMaxKeyLength);
  const FoldedKey key(written);

  EvStore& store = TheStore();
  const EvOwnerId owner = a.thisObj != nullptr ? game::RefId(a.thisObj) : 0;
  if (a.thisObj != nullptr && store.HasOwner(K, owner)) {
    const Mode mode = key.view().empty() ? Mode::WholeListing
                      : match == 1       ? Mode::ExactKey
                                         : Mode::KeyPrefix;
    if (mode == Mode::ExactKey) {
      // Creates the entry when missing; the element keeps the key as written.
      SetElement<K>(arr, written, store.Entry<K>(owner, key), mode);
    } else {
      store.ForEachOwnerEntry<K>(owner, [&](std::string_view stored, const EvValueT<K>& value) {
        if (mode == Mode::WholeListing || KeyMatches(stored, key, EvMatch::Subkeys))
          SetElement<K>(arr, stored, value, mode);
      });
    }
  }
  host::AssignArrayResult(arr, a.result);
}

}  // namespace

bool GetEVFlAr(const host::CommandArgs& a) {
  Guarded({"getevflar"}, [&] { ListValues<EvKind::Float>(a); });
  return true;
}

bool GetEVFoAr(const host::CommandArgs& a) {
  Guarded({"getevfoar"}, [&] { ListValues<EvKind::Form>(a); });
  return true;
}

bool GetEVStAr(const host::CommandArgs& a) {
  Guarded({"getevstar"}, [&] { ListValues<EvKind::String>(a); });
  return true;
}

}  // namespace cv::ev
