// Form-list membership: whether a form stands in a form list, and how.
#pragma once

#include <algorithm>
#include <vector>

#include "host/nvse_records.h"

namespace cv::queries {

// Follows parent links from start while parentOf(node) yields a node (a
// false-testing value means none); the last node reached is the root. A
// cycle ends the walk at the first node whose id repeats, which is then the
// root, so the walk always ends.
template <class Node, class ParentOf, class IdOf>
Node WalkToRoot(Node start, ParentOf&& parentOf, IdOf&& idOf) {
  using Id = decltype(idOf(start));
  std::vector<Id> seen{idOf(start)};
  Node at = start;
  for (;;) {
    Node next = parentOf(at);
    if (!next) return at;
    const Id id = idOf(next);
    if (std::find(seen.begin(), seen.end(), id) != seen.end()) return next;
    seen.push_back(id);
    at = next;
  }
}

// The match code of one list entry, tested in the order 1 to 4: the form is
// the entry (1), the form's stand-in is the entry (2), the form is the
// entry's stand-in (3), both stand-ins are the same (4); 0 for no match.
// In the linked kind the stand-ins are the link roots, otherwise the base
// forms of references.
int MatchCode(UInt32 form, UInt32 formStandIn, UInt32 entry, UInt32 entryStandIn) noexcept;

// The link root of a linked base form: the parent chain is followed while
// the parent is present and a valid game object.
TESForm* LinkRoot(TESForm* linkedBase);

// The match code of the first list entry that matches form, or 0.
int MembershipCode(TESForm* formList, TESForm* form);

}  // namespace cv::queries
