#include "queries/formlist.h"

#include "host/game.h"
#include "log/guard.h"
#include "queries/query_commands.h"

namespace cv::queries {

namespace {

constexpr LogName kIsInListLog{"isinlist"};

// A reference stands for its base form when it has one; anything else
// stands for itself.
TESForm* Standing(TESForm* form) {
  TESForm* base = game::BaseForm(game::AsReference(form));
  return base != nullptr ? base : form;
}

}  // namespace

int MatchCode(UInt32 form, UInt32 formStandIn, UInt32 entry, UInt32 entryStandIn) noexcept {
  if (form == entry) return 1;
  if (formStandIn == entry) return 2;
  if (form == entryStandIn) return 3;
  if (formStandIn == entryStandIn) return 4;
  return 0;
}

TESForm* LinkRoot(TESForm* linkedBase) {
  return WalkToRoot(
      linkedBase,
      [](TESForm* node) -> TESForm* {
        TESForm* parent = game::ParentLink(node);
        return game::IsValidObject(parent) ? parent : nullptr;
      },
      [](TESForm* node) { return game::RefId(node); });
}

int MembershipCode(TESForm* formList, TESForm* form) {
  TESForm* standing = Standing(form);
  TESForm* linked = game::AsLinkedBase(standing);
  const UInt32 formId = game::RefId(form);
  const UInt32 standingId = game::RefId(standing);
  const UInt32 linkedId = game::RefId(linked);
  const UInt32 linkedRootId = linked != nullptr ? game::RefId(LinkRoot(linked)) : 0;

  const UInt32 count = game::FormListCount(formList);
  for (UInt32 i = 0; i < count; ++i) {
    TESForm* entry = game::FormListEntry(formList, i);
    if (entry == nullptr) continue;
    int code = 0;
    if (linked != nullptr) {
      // Linked kind: entries of another kind, references included, never match.
      TESForm* entryLinked = game::AsLinkedBase(entry);
      if (entryLinked == nullptr) continue;
      code = MatchCode(linkedId, linkedRootId, game::RefId(entryLinked),
                       game::RefId(LinkRoot(entryLinked)));
    } else {
      code = MatchCode(formId, standingId, game::RefId(entry), game::RefId(Standing(entry)));
    }
    if (code != 0) return code;
  }
  return 0;
}

bool IsInList(const host::CommandArgs& a) {
  *a.result = 0;
  Guarded(kIsInListLog, [&] {
    TESForm* formList = nullptr;
    TESForm* form = nullptr;
    SInt32 recurse = 0;  // read and ignored: nested lists are compared as forms
    host::ExtractArgs(a, &formList, &form, &recurse);
    if (formList == nullptr || form == nullptr) return;
    *a.result = MembershipCode(formList, form);
  });
  return true;
}

}  // namespace cv::queries
