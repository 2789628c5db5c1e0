// Numbers in save-data fields, read as the plug-in has always read them
// (str2int, str2float), with quick paths for the texts its writer writes.
// Plain C++: no host, no OS.
#pragma once

#include <cstdint>
#include <optional>
#include <string_view>

#include "persist/savedata.h"

namespace cv::persist {

// A decimal as the writer writes floats, read exactly; nothing when the
// text is anything else or the quick reading could be wrong.
std::optional<float> PlainDecimal(std::string_view s);

// The index of a mod-index row: a number from 0 to 255, read as str2int
// reads it. Anything else (no digits, a sign, a larger number) is none, so
// that it cannot pass for mod 0 or fill the map with indices no form has.
bool ReadModIndex(std::string_view text, std::uint32_t& index);

// str2int of the numbers the writer writes, without its guard or its
// general reading: one to ten digits, ended by the text's end or any other
// byte (a number that does not fit in 32 bits reads as 0, as there).
// Everything else (blanks or a sign first, more digits) goes to str2int.
inline std::uint32_t ReadNumber(std::string_view text) noexcept {
  auto digit = [&](std::size_t i) {
    return static_cast<unsigned>(static_cast<unsigned char>(text[i])) - unsigned{'0'};
  };
  const std::size_t n = text.size() < 10 ? text.size() : 10;
  std::uint64_t value = 0;
  std::size_t i = 0;
  for (; i < n && digit(i) <= 9; ++i) value = value * 10 + digit(i);
  if (i == 0 || (i < text.size() && digit(i) <= 9)) return str2int(text);
  return value > 0xFFFFFFFFu ? 0 : static_cast<std::uint32_t>(value);
}

// str2float of the decimals the writer writes (PlainDecimal's), without its
// guard; everything else goes to str2float.
inline float ReadDecimal(std::string_view text) noexcept {
  if (!text.empty() && (text[0] == '-' || (text[0] >= '0' && text[0] <= '9')))
    if (auto plain = PlainDecimal(text)) return *plain;
  return str2float(text);
}

}  // namespace cv::persist
