// The string store: string_var contents behind ids, as the host keeps its
// string variables (script-language.md §6.2, §13, §14.4). A variable or a
// value holds only the id. A string made while an expression runs is
// temporary until a variable keeps it; Clean() drops the temporaries, as the
// host does once per main-loop pass and before saving (§12.8).
#pragma once

#include <cstddef>
#include <cstdint>
#include <map>
#include <set>
#include <string>
#include <string_view>

#include "sim/script/value/value.h"

namespace cv::sim::script {

class StringStore {
 public:
  // The longest string a string_var takes; a longer one becomes "" (§6.2,
  // kMaxMessageLength 0x4000).
  static constexpr std::size_t kMaxLength = 0x4000;

  StringId New(std::string text, bool temporary = true);
  // Null when the id names no string.
  const std::string* Get(StringId id) const;
  std::string* GetMutable(StringId id);
  // The text, or "" when the id names no string.
  std::string_view Text(StringId id) const;
  bool Exists(StringId id) const { return Get(id) != nullptr; }
  // A variable keeps it: no longer temporary.
  void Keep(StringId id);
  void Destroy(StringId id);
  // Drops every temporary string.
  void Clean();
  std::size_t Count() const { return strings_.size(); }

  // Ids only grow, so the strings made since a point are those from the id
  // it returned. DropTemporariesFrom() drops the temporary ones among them
  // but `spare`: a statement's strings once the statement is done with them.
  StringId NextId() const { return next_; }
  void DropTemporariesFrom(StringId first, StringId spare);

  // What a save holds: every kept string with its id (§14.4).
  struct Saved {
    std::map<StringId, std::string> strings;
    StringId next = 1;
  };
  Saved Save() const;
  void Load(const Saved& s);
  void Reset();

  // The host's own string variables, which a plug-in reads and writes
  // through the string interface: kept strings are mirrored there under the
  // same ids, and new ids never collide with the host's.
  void Attach(std::map<std::uint32_t, std::string>* hostStrings) { host_ = hostStrings; }
  void PushToHost();
  void PullFromHost();

 private:
  std::map<std::uint32_t, std::string>* host_ = nullptr;
  struct Entry {
    std::string text;
    bool temporary = true;
  };
  std::map<StringId, Entry> strings_;
  std::set<StringId> kept_;  // the ids of the kept strings, mirrored to the host
  StringId next_ = 1;
};

}  // namespace cv::sim::script
