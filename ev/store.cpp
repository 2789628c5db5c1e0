#include "ev/store.h"

#include <algorithm>
#include <new>

#include "platform/fault.h"

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

EvStore& TheStore() {
  static EvStore store;
  return store;
}

}  // namespace cv
