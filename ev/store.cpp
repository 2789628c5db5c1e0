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

std::string NormalizeKey(std::string_view text) {
  text = UpToNul(text);
  EvKey key(text);
  for (char& c : key) c = Fold(c);
  return key;
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
