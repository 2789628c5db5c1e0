// Keys that all share one hash under the store's former, unseeded key hash
// (a multiply-and-shift mix that input could invert), as a hostile save-data
// file would hold them. Each key is 16 bytes: any first word, and a second
// word chosen so that the mix of both lands on one value. No key holds a
// NUL, CR, LF or quote, so the keys survive a save-data file unchanged.
#pragma once

#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

namespace cv::testing {

// The former hash of a 16-byte key, up to its final mix (which is a
// bijection, so equal values here are equal hashes).
inline std::uint64_t FormerHashBeforeFinalMix(const char* p) {
  std::uint64_t w0 = 0, w1 = 0;
  std::memcpy(&w0, p, 8);
  std::memcpy(&w1, p + 8, 8);
  std::uint64_t h = 0x9E3779B97F4A7C15ull ^ (16 * 0xC2B2AE3D27D4EB4Full);
  h = (h ^ w0) * 0xBF58476D1CE4E5B9ull;
  h ^= h >> 31;
  return h ^ w1;
}

inline std::vector<std::string> FormerHashCollisions(std::size_t count, std::uint32_t salt = 0) {
  constexpr std::uint64_t kTarget = 0x6A6B6C6D6E6F7071ull;  // "qponmlkj" as bytes
  std::vector<std::string> keys;
  for (std::uint64_t i = 0; keys.size() < count; ++i) {
    char key[16];
    // The first word: printable digits of i and the salt.
    for (int b = 0; b < 8; ++b) {
      const std::uint64_t v = (b < 5 ? i : salt) >> (6 * (b < 5 ? b : b - 5));
      key[b] = static_cast<char>('0' + (v & 63));
    }
    std::uint64_t w1 = 0;
    std::memcpy(key + 8, &w1, 8);
    // h ^ w1 == kTarget for w1 = kTarget ^ h.
    w1 = FormerHashBeforeFinalMix(key) ^ kTarget;
    std::memcpy(key + 8, &w1, 8);
    bool usable = true;
    for (char c : key) usable = usable && c != '\0' && c != '\r' && c != '\n' && c != '"';
    if (usable) keys.emplace_back(key, 16);
  }
  return keys;
}

}  // namespace cv::testing
