#include "persist/number_text.h"

#include <bit>
#include <charconv>
#include <cstddef>
#include <system_error>

#include "log/guard.h"

namespace cv::persist {

namespace {

bool IsBlank(char c) {
  return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}

// The text from its first non-blank, without a leading '+'.
std::string_view NumberStart(std::string_view text) {
  if (!text.empty() && text[0] >= '0' && text[0] <= '9') return text;  // as the writer writes
  std::size_t i = 0;
  while (i < text.size() && IsBlank(text[i])) ++i;
  if (i < text.size() && text[i] == '+') ++i;
  return text.substr(i);
}

}  // namespace

// A decimal as the writer writes floats ("12.5", "-0.37", "370001.38"): an
// optional minus, at most 15 digits with at most one point among them, and
// no exponent. Nothing when the text is anything else, or when the quick
// reading could be wrong; from_chars reads those.
//
// The digits and the power of ten are exact in a double, so the quotient is
// rounded once, to the nearest double (or, in the x87 unit, to its own
// precision first). Rounding that to a float gives the float nearest the
// decimal unless the double sits exactly halfway between two floats: no
// halfway point can lie strictly between the decimal and a nearest value of
// 25 bits or more, since every halfway point is itself such a value.
std::optional<float> PlainDecimal(std::string_view s) {
  static constexpr double kPow10[] = {1e0, 1e1, 1e2,  1e3,  1e4,  1e5,  1e6,  1e7,
                                      1e8, 1e9, 1e10, 1e11, 1e12, 1e13, 1e14, 1e15};
  std::size_t i = 0;
  const bool negative = !s.empty() && s[0] == '-';
  if (negative) ++i;
  std::uint64_t digits = 0;
  int count = 0;
  // A run of digits: false once there are more than 15 in all.
  auto run = [&] {
    for (; i < s.size(); ++i) {
      const unsigned d = static_cast<unsigned char>(s[i]) - unsigned{'0'};
      if (d > 9) break;
      if (++count > 15) return false;
      digits = digits * 10 + d;
    }
    return true;
  };
  if (!run()) return std::nullopt;
  int fraction = -1;  // digits after the point; -1 without a point
  if (i < s.size() && s[i] == '.') {
    ++i;
    const int before = count;
    if (!run()) return std::nullopt;
    fraction = count - before;
  }
  if (count == 0 || (i < s.size() && (s[i] == 'e' || s[i] == 'E'))) return std::nullopt;
  const double quotient = static_cast<double>(digits) / kPow10[fraction < 0 ? 0 : fraction];
  // Halfway between two floats: the 29 bits a float does not keep are 1
  // and then zeros.
  if ((std::bit_cast<std::uint64_t>(quotient) & 0x1FFFFFFFu) == 0x10000000u) return std::nullopt;
  const float value = static_cast<float>(quotient);
  return negative ? -value : value;
}

bool ReadModIndex(std::string_view text, std::uint32_t& index) {
  std::string_view s = NumberStart(text);
  if (s.empty() || s[0] < '0' || s[0] > '9') return false;
  std::uint32_t value = 0;
  auto r = std::from_chars(s.data(), s.data() + s.size(), value);
  if (r.ec != std::errc() || value > 255) return false;
  index = value;
  return true;
}

std::uint32_t str2int(std::string_view text) noexcept {
  std::uint32_t result = 0;
  Guarded({"str2int"}, [&] {
    // Plain digits only: no sign, and a number that does not fit in 32 bits
    // is out of range. Either way the result stays 0.
    std::string_view s = NumberStart(text);
    std::uint32_t value = 0;
    if (std::from_chars(s.data(), s.data() + s.size(), value).ec == std::errc()) result = value;
  });
  return result;
}

float str2float(std::string_view text) noexcept {
  float result = 0;
  Guarded({"str2float"}, [&] {
    std::string_view s = NumberStart(text);
    if (auto plain = PlainDecimal(s)) {
      result = *plain;
      return;
    }
    float value = 0;
    auto r = std::from_chars(s.data(), s.data() + s.size(), value);
    if (r.ec == std::errc()) result = value;
  });
  return result;
}

}  // namespace cv::persist
