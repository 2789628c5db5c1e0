// CV_GetRandom: a uniformly drawn integer in a closed range.
#pragma once

#include <cstdint>
#include <utility>

#include "host/host.h"

namespace cv::plugin {

struct RandomDraw {
  std::int32_t lo;  // the lower bound, after the bounds were put in order
  std::int32_t hi;  // the upper bound
  std::int32_t value;
};

// Draws an integer in [x, y] (the bounds are swapped when x > y) from draw,
// a source of independent uniform 32-bit values. Draws that fall into the
// incomplete last block of n = span + 1 values below 2^32 are rejected and
// drawn again, so every integer of the range is equally likely. Equal bounds
// make no draw; the full 32-bit range uses exactly one.
template <class Draw>
RandomDraw DrawInRange(std::int32_t x, std::int32_t y, Draw&& draw) {
  if (x > y) std::swap(x, y);
  constexpr std::uint32_t kTopBit = 0x80000000u;
  constexpr std::uint32_t kMax = 0xFFFFFFFFu;
  const std::uint32_t lo = static_cast<std::uint32_t>(x) ^ kTopBit;
  const std::uint32_t hi = static_cast<std::uint32_t>(y) ^ kTopBit;
  const std::uint32_t span = hi - lo;
  std::uint32_t u = 0;
  if (span == kMax) {
    u = draw();
  } else {
    const std::uint32_t n = span + 1;
    std::uint32_t r = 0;
    for (;;) {
      std::uint32_t m = 0;
      if (span != 0) {
        r = draw();
        m = kMax;
      }
      if (r / n < m / n || m % n == span) break;
    }
    u = r % n;
  }
  return {x, y, static_cast<std::int32_t>((lo + u) ^ kTopBit)};
}

bool GetRandom(const host::CommandArgs& a);

}  // namespace cv::plugin
