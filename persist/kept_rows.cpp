#include "persist/kept_rows.h"

#include <string>

namespace cv::persist {

namespace {

using RecordTag = csvp_record::Tag;

std::size_t KindSlot(RecordTag tag) {
  return static_cast<std::size_t>(tag) - static_cast<std::size_t>(RecordTag::String);
}

// The entry a value row stores: its kind, the owner as stored, its key.
std::string EntryName(const csvp_record& r, std::uint32_t owner) {
  std::string name(1, static_cast<char>(r.tag));
  name.append(reinterpret_cast<const char*>(&owner), sizeof owner);
  name += r.field3;
  return name;
}

}  // namespace

void NoteKept(csvp_record& r) { r.keptKeys[KindSlot(r.tag)].insert(r.field3); }

void NoteStored(csvp_record& r, std::uint32_t owner) {
  if (r.storingKept) return;  // kept rows come in file order among themselves
  const auto& kept = r.keptKeys[KindSlot(r.tag)];
  if (kept.empty() || kept.count(r.field3) == 0) return;
  r.storedBy[EntryName(r, owner)] = r.records;
}

bool StoredByLaterRow(const csvp_record& r, std::uint32_t owner) {
  if (!r.storingKept) return false;
  auto it = r.storedBy.find(EntryName(r, owner));
  return it != r.storedBy.end() && it->second > r.keptRecord;
}

void ForgetKept(csvp_record& r) {
  r.storingKept = false;
  r.keptKeys = {};
  r.storedBy = {};
}

}  // namespace cv::persist
