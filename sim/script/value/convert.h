// Conversions every part of the language shares: truthiness, the number a
// value gives, and number text (script-language.md §4.2, §10.2-10.4).
#pragma once

#include <string>
#include <string_view>

#include "sim/script/value/strings.h"
#include "sim/script/value/value.h"

namespace cv::sim::script {

// GetBool (§4.2, §10.2): a number when not 0; a form, array or function when
// its id is not 0; a string when it exists, even if empty.
bool Truthy(const Value& v, const StringStore& strings);
// GetNumber as Assert uses it (§10.1): the number of a number, 0 for every
// other kind.
double NumberOf(const Value& v);
// C's %g (§10.3): 5 -> "5", 2.5 -> "2.5", 1234567 -> "1.23457e+06".
std::string FormatG(double n);
// The # operator on text (§10.4): 0x.. as hex, 0b.. as binary, else strtod
// with trailing junk ignored; never an error.
double TextToNumber(std::string_view s);

}  // namespace cv::sim::script
