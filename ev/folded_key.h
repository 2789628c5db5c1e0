// Keys as the commands hand them in: folded to lower case, cut to the
// longest key, and hashed as they are folded. Plain C++, no host or OS.
#pragma once

#include <algorithm>
#include <bit>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>
#include <string_view>

#include "ev/key_hash.h"

namespace cv {

enum class EvMatch { Exact, Subkeys };

// Longest key: a longer one is cut to this many bytes, as it always was
// (the key buffers the host once filled held 512 bytes).
constexpr std::size_t kMaxKeyLength = 511;

// Folds A-Z to a-z; every other byte stays. The key ends at the first NUL.
std::string NormalizeKey(std::string_view text);

// A folded key held in a stack buffer, so look-ups never allocate. Keeps at
// most kMaxKeyLength bytes, the most a command can hand in, and zeros after
// them up to the next multiple of eight bytes. Its key hash (KeyHash) is
// worked out as the key is folded, so a look-up reads the key only once.
class FoldedKey {
 public:
  explicit FoldedKey(std::string_view text) noexcept;
  std::string_view view() const noexcept { return {buf_, len_}; }
  operator std::string_view() const noexcept { return view(); }
  std::size_t hash() const noexcept { return hash_; }

 private:
  char buf_[kMaxKeyLength + 9];  // the key, its NUL and room for a word's read
  std::size_t len_;
  std::size_t hash_;
};

inline FoldedKey::FoldedKey(std::string_view text) noexcept {
  // Eight bytes at a time (the targets are little-endian), read from the
  // text, folded, written once each and hashed; the buffer has room for a
  // word past the longest key.
  constexpr std::uint64_t kOnes = 0x0101010101010101ull, kHighs = 0x8080808080808080ull;
  const std::size_t n = std::min(text.size(), kMaxKeyLength);
  detail::KeyWordHash hash;
  for (std::size_t i = 0;; i += 8) {
    const bool whole = n - i >= 8;
    std::uint64_t w = whole ? detail::Load<std::uint64_t>(text.data() + i)
                            : detail::LoadTail<std::uint64_t>(text.data(), n, n - i);
    // A byte's top bit marks A to Z: its low seven bits reach 'A' but pass
    // not 'Z', and its own top bit is clear. No sum carries into the next
    // byte. Those bytes get 0x20 added.
    const std::uint64_t low = w & ~kHighs;
    const std::uint64_t upper =
        (low + kOnes * (0x80 - 'A')) & ~(low + kOnes * (0x80 - 'Z' - 1)) & ~w & kHighs;
    // The lowest zero byte of a word is found exactly (bytes above it may
    // show as zero too).
    const std::uint64_t zero = (w - kOnes) & ~w & kHighs;
    w ^= upper >> 2;
    if (whole && zero == 0) {
      std::memcpy(buf_ + i, &w, 8);
      hash.Whole(w);
      continue;
    }
    // The key ends in this word: at the text's end (past which a short
    // read holds zeros) or at its first NUL. Nothing after that end stays.
    const std::size_t kept = static_cast<std::size_t>(std::countr_zero(zero)) / 8;
    w &= kept == 0 ? 0 : ~std::uint64_t{0} >> (64 - 8 * kept);
    std::memcpy(buf_ + i, &w, 8);
    len_ = i + kept;
    hash_ = hash.Last(w, len_);
    return;
  }
}

bool KeyMatches(std::string_view stored, std::string_view given, EvMatch match) noexcept;

}  // namespace cv
