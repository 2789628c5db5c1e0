#include "ev/store.h"

#include <algorithm>
#include <bit>
#include <chrono>
#include <cstdint>
#include <cstring>
#include <new>
#include <random>

#include "platform/fault.h"

namespace cv {

namespace {
inline char Fold(char c) noexcept {
  return (c >= 'A' && c <= 'Z') ? static_cast<char>(c + 0x20) : c;
}
inline std::string_view UpToNul(std::string_view text) noexcept {
  return text.substr(0, std::min(text.find('\0'), text.size()));
}

detail::HashSeed DrawSeed() noexcept {
  detail::HashSeed seed{};
  try {
    std::random_device source;
    seed.k0 = (static_cast<std::uint64_t>(source()) << 32) | source();
    seed.k1 = (static_cast<std::uint64_t>(source()) << 32) | source();
  } catch (...) {
    // No random source: the clock and this frame's address still differ
    // from run to run.
    const auto now = std::chrono::steady_clock::now().time_since_epoch().count();
    seed.k0 = static_cast<std::uint64_t>(now) ^ reinterpret_cast<std::uintptr_t>(&seed);
    seed.k1 = seed.k0 * 0x9E3779B97F4A7C15ull + 0xD6E8FEB86659FD93ull;
  }
  return seed;
}

}  // namespace

const detail::HashSeed detail::g_hashSeed = DrawSeed();
const detail::OwnerHashKey detail::g_ownerKey = [] {
  const detail::HashSeed drawn = DrawSeed();
  return detail::OwnerHashKey{drawn.k0, drawn.k1};
}();

EvKey NormalizeKey(std::string_view text) {
  text = UpToNul(text);
  EvKey key(text);
  for (char& c : key) c = Fold(c);
  return key;
}

FoldedKey::FoldedKey(std::string_view text) noexcept {
  // Eight bytes at a time (the targets are little-endian), read from the
  // text and written once each, the last word padded with zeros; the buffer
  // has room for a word past the longest key.
  constexpr std::uint64_t kOnes = 0x0101010101010101ull, kHighs = 0x8080808080808080ull;
  const std::size_t n = std::min(text.size(), kMaxKeyLength);
  len_ = n;
  for (std::size_t i = 0; i < len_; i += 8) {
    std::uint64_t w = n - i >= 8 ? detail::Load<std::uint64_t>(text.data() + i)
                                 : detail::LoadTail<std::uint64_t>(text.data(), n, n - i);
    // The key ends at its first NUL (the lowest zero byte is found exactly).
    if (const std::uint64_t zero = (w - kOnes) & ~w & kHighs; zero != 0)
      len_ = std::min(len_, i + static_cast<std::size_t>(std::countr_zero(zero)) / 8);
    // A byte's top bit marks A to Z: its low seven bits reach 'A' but pass
    // not 'Z', and its own top bit is clear. No sum carries into the next
    // byte. Those bytes get 0x20 added.
    const std::uint64_t low = w & ~kHighs;
    const std::uint64_t upper =
        (low + kOnes * (0x80 - 'A')) & ~(low + kOnes * (0x80 - 'Z' - 1)) & ~w & kHighs;
    w ^= upper >> 2;
    std::memcpy(buf_ + i, &w, 8);
  }
  // Zeros after the key up to the next word, the key's NUL among them: the
  // last word has them already unless a NUL cut the key short, or the key
  // filled it.
  if (len_ < n || len_ % 8 == 0) std::memset(buf_ + len_, 0, 8);
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
