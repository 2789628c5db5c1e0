// The quest-variable indirection: a quest variable holds the id of a host
// string variable whose text is an extended-variable key.
#pragma once

#include <cstdint>
#include <optional>

namespace cv::queries {

// The string-variable id a quest variable's value stands for: the value with
// its fraction dropped. None for values outside 0 .. 2^32-1 and for NaN.
std::optional<std::uint32_t> StringVarId(double questValue) noexcept;

// The variable number as the game's condition handlers take it: the integer
// carried in the pointer-sized second argument word.
void* VariableArg(std::uint32_t variable) noexcept;

}  // namespace cv::queries
