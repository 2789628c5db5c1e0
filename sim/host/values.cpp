#include "sim/host/values.h"

#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstring>

namespace cv::sim {

namespace {

bool IsHexForm(const Token& t) {
  if (t.kind == TokenKind::String) return false;
  bool prefixed = t.text.size() > 2 && t.text[0] == '0' && (t.text[1] == 'x' || t.text[1] == 'X');
  // A bare word of hex digits names a form; plain decimal digits are a number.
  return (prefixed || t.kind == TokenKind::Word) && ParseFormId(t).has_value();
}

UInt32 LowBits(double d) {
  UInt32 id;
  std::memcpy(&id, &d, sizeof id);
  return id;
}

// Exact, except that every NaN is the same number: the runner prints them
// all as nan.
bool SameNumber(double a, double b) { return a == b || (std::isnan(a) && std::isnan(b)); }

}  // namespace

UInt32 CallValue::FormId() const { return LowBits(number); }

std::string FormatNumber(double value) {
  char buf[64];
  auto r = std::to_chars(buf, buf + sizeof buf, value);
  return std::string(buf, r.ptr);
}

std::string FormatForm(UInt32 id) {
  char buf[16];
  std::snprintf(buf, sizeof buf, "0x%08X", static_cast<unsigned>(id));
  return buf;
}

std::string FormatElement(const ElementValue& e) {
  switch (e.type) {
    case ElementValue::Type::Number: return FormatNumber(e.number);
    case ElementValue::Type::Form: return e.form == 0 ? "none" : FormatForm(e.form);
    case ElementValue::Type::String: return Quote(e.text);
  }
  return "?";
}

std::string FormatArray(const ArrayValue& a) {
  std::string s = "{";
  bool first = true;
  for (const auto& [key, value] : a) {
    if (!first) s += ", ";
    first = false;
    s += Quote(key) + ": " + FormatElement(value);
  }
  return s + "}";
}

std::string FormatValue(const CallValue& v) {
  switch (v.type) {
    case CallValue::Type::Number: return FormatNumber(v.number);
    case CallValue::Type::Form: return FormatForm(v.FormId());
    case CallValue::Type::String: return v.text ? Quote(*v.text) : "none";
    case CallValue::Type::Array: return v.array ? FormatArray(*v.array) : "none";
  }
  return "?";
}

bool Matches(const CallValue& v, const Token& expected) {
  using T = CallValue::Type;
  if (IsNone(expected)) {
    return (v.type == T::String && !v.text) || (v.type == T::Array && !v.array) ||
           (v.type == T::Form && v.FormId() == 0);
  }
  if (expected.kind == TokenKind::String) return v.type == T::String && v.text == expected.text;
  if (v.type == T::String || v.type == T::Array) return false;
  if (IsHexForm(expected)) return v.FormId() == *ParseFormId(expected);
  std::optional<double> n = ParseNumber(expected);
  if (!n) return false;
  return v.type == T::Form ? static_cast<double>(v.FormId()) == *n : SameNumber(v.number, *n);
}

bool MatchesFloat(const CallValue& v, const Token& expected) {
  std::optional<double> n = ParseNumber(expected);
  if (v.type != CallValue::Type::Number || !n) return false;
  return SameNumber(static_cast<float>(v.number), static_cast<float>(*n));
}

bool ElementMatches(const ElementValue& e, const Token& expected) {
  using T = ElementValue::Type;
  if (IsNone(expected)) return e.type == T::Form && e.form == 0;
  if (expected.kind == TokenKind::String) return e.type == T::String && e.text == expected.text;
  if (IsHexForm(expected)) return e.type == T::Form && e.form == *ParseFormId(expected);
  std::optional<double> n = ParseNumber(expected);
  return n && e.type == T::Number && SameNumber(e.number, *n);
}

}  // namespace cv::sim
