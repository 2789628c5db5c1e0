// What a script reads back from a call, and how scenarios write it.
#pragma once

#include <map>
#include <optional>
#include <string>

#include "host/nvse_records.h"
#include "sim/host/tokens.h"

namespace cv::sim {

// One element of a host array, as the host keeps it.
struct ElementValue {
  enum class Type { Number, Form, String } type = Type::Number;
  double number = 0;
  UInt32 form = 0;  // 0: no form
  std::string text;
};

using ArrayValue = std::map<std::string, ElementValue>;

struct CallValue {
  enum class Type { Number, Form, String, Array } type = Type::Number;
  double number = 0;                // Number and Form (the raw result)
  std::optional<std::string> text;  // String: none when nothing was assigned
  std::optional<ArrayValue> array;  // Array: none when nothing was assigned

  // The form a Form value names: the low 32 bits of the result.
  UInt32 FormId() const;
};

// Shortest decimal that reads back as the same double.
std::string FormatNumber(double value);
std::string FormatForm(UInt32 id);  // 0xXXXXXXXX
std::string FormatElement(const ElementValue& e);
std::string FormatArray(const ArrayValue& a);
std::string FormatValue(const CallValue& v);

// Whether the value equals the expected token: a number compares exactly,
// 0x... (or a bare hexadecimal word) the form in the low 32 bits, "text" the
// string, none a missing string, array or form.
bool Matches(const CallValue& v, const Token& expected);
bool ElementMatches(const ElementValue& e, const Token& expected);
// Whether a number result equals the expected number once both are 32-bit
// floats, as a script holds them: 0.1 matches the float nearest 0.1.
bool MatchesFloat(const CallValue& v, const Token& expected);

}  // namespace cv::sim
