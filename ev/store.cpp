#include "ev/store.h"

#include <algorithm>

namespace cv {

namespace {
inline char Fold(char c) noexcept {
  return (c >= 'A' && c <= 'Z') ? static_cast<char>(c + 0x20) : c;
}
inline std::string_view UpToNul(std::string_view text) noexcept {
  return text.substr(0, std::min(text.find('\0'), text.size()));
}
}  // namespace

EvKey NormalizeKey(std::string_view text) {
  text = UpToNul(text);
  EvKey key(text);
  for (char& c : key) c = Fold(c);
  return key;
}

FoldedKey::FoldedKey(std::string_view text) noexcept {
  text = UpToNul(text);
  len_ = std::min(text.size(), kMaxKeyLength);
  for (std::size_t i = 0; i < len_; ++i) buf_[i] = Fold(text[i]);
  buf_[len_] = '\0';
}

bool KeyMatches(std::string_view stored, std::string_view given, EvMatch match) noexcept {
  if (match == EvMatch::Exact) return stored == given;
  return stored.size() >= given.size() && stored.compare(0, given.size(), given) == 0;
}

std::size_t detail::KeyHash::operator()(std::string_view s) const noexcept {
  return std::hash<std::string_view>{}(s);
}

bool EvStore::HasOwner(EvKind kind, EvOwnerId owner) const noexcept {
  switch (kind) {
    case EvKind::Float: return floats_.count(owner) != 0;
    case EvKind::Form: return forms_.count(owner) != 0;
    case EvKind::String: return strings_.count(owner) != 0;
  }
  return false;
}

namespace {
template <class Table>
bool EraseKeyIn(Table& t, EvOwnerId owner, std::string_view key) {
  auto o = t.find(owner);
  if (o == t.end()) return false;
  auto e = o->second.find(key);
  if (e == o->second.end()) return false;
  o->second.erase(e);
  return true;
}
template <class Table>
std::size_t EraseSubkeysIn(Table& t, EvOwnerId owner, std::string_view prefix) {
  auto o = t.find(owner);
  if (o == t.end()) return 0;
  std::size_t n = 0;
  for (auto it = o->second.begin(); it != o->second.end();) {
    if (KeyMatches(it->first, prefix, EvMatch::Subkeys)) {
      it = o->second.erase(it);
      ++n;
    } else {
      ++it;
    }
  }
  return n;
}
template <class Table>
std::size_t CountIn(const Table& t) {
  std::size_t n = 0;
  for (const auto& [owner, entries] : t) n += entries.size();
  return n;
}
}  // namespace

bool EvStore::EraseKey(EvKind kind, EvOwnerId owner, std::string_view key) {
  switch (kind) {
    case EvKind::Float: return EraseKeyIn(floats_, owner, key);
    case EvKind::Form: return EraseKeyIn(forms_, owner, key);
    case EvKind::String: return EraseKeyIn(strings_, owner, key);
  }
  return false;
}

std::size_t EvStore::EraseSubkeys(EvKind kind, EvOwnerId owner, std::string_view prefix) {
  switch (kind) {
    case EvKind::Float: return EraseSubkeysIn(floats_, owner, prefix);
    case EvKind::Form: return EraseSubkeysIn(forms_, owner, prefix);
    case EvKind::String: return EraseSubkeysIn(strings_, owner, prefix);
  }
  return 0;
}

void EvStore::ClearKind(EvKind kind) noexcept {
  switch (kind) {
    case EvKind::Float: floats_.clear(); break;
    case EvKind::Form: forms_.clear(); break;
    case EvKind::String: strings_.clear(); break;
  }
}

void EvStore::ClearAll() noexcept {
  floats_.clear();
  forms_.clear();
  strings_.clear();
}

std::size_t EvStore::EntryCount(EvKind kind) const noexcept {
  switch (kind) {
    case EvKind::Float: return CountIn(floats_);
    case EvKind::Form: return CountIn(forms_);
    case EvKind::String: return CountIn(strings_);
  }
  return 0;
}

EvStore& TheStore() {
  static EvStore store;
  return store;
}

}  // namespace cv
