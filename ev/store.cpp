#include "ev/store.h"

#include <algorithm>
#include <cstring>
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

inline std::uint64_t Load(const char* p, std::size_t n) noexcept {
  std::uint64_t w = 0;
  std::memcpy(&w, p, n);
  return w;
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

// Eight bytes at a time, each word mixed in by a multiply and a shift; the
// final mix makes every input bit reach the low bits a power-of-two table
// uses. Keys are short (typically 5 to 30 bytes), so this beats byte-wise
// hashes; only 64-bit arithmetic is used, so 32-bit targets get the same.
std::size_t detail::KeyHash::operator()(std::string_view s) const noexcept {
  const char* p = s.data();
  std::size_t n = s.size();
  std::uint64_t h = 0x9E3779B97F4A7C15ull ^ (n * 0xC2B2AE3D27D4EB4Full);
  for (; n >= 8; p += 8, n -= 8) {
    h = (h ^ Load(p, 8)) * 0xBF58476D1CE4E5B9ull;
    h ^= h >> 31;
  }
  if (n != 0) {
    h = (h ^ Load(p, n)) * 0x94D049BB133111EBull;
    h ^= h >> 29;
  }
  h *= 0xD6E8FEB86659FD93ull;
  h ^= h >> 32;
  return static_cast<std::size_t>(h);
}

void detail::AllocationPoint() {
  if (fault::Hit("store.alloc") == fault::Kind::Return) throw std::bad_alloc();
}

EvStore& TheStore() {
  static EvStore store;
  return store;
}

}  // namespace cv
