#include "sim/host/tokens.h"

#include <cctype>
#include <charconv>
#include <cstdint>

namespace cv::sim {

namespace {

bool IsBlank(char c) { return c == ' ' || c == '\t'; }
bool IsDigit(char c) { return c >= '0' && c <= '9'; }
bool IsHexDigit(char c) { return std::isxdigit(static_cast<unsigned char>(c)) != 0; }

bool HasHexPrefix(std::string_view s) {
  return s.size() > 2 && s[0] == '0' && (s[1] == 'x' || s[1] == 'X');
}

bool AllOf(std::string_view s, bool (*pred)(char)) {
  if (s.empty()) return false;
  for (char c : s)
    if (!pred(c)) return false;
  return true;
}

// -?digits(.digits)?(e[+-]?digits)?, -?0xHEX, -?inf or -?nan: every number
// the runner prints reads back. An exponent without a sign after plain
// digits (1e5, 0100e5) stays a word: it spells a form id.
bool LooksNumeric(std::string_view s) {
  bool negative = !s.empty() && s[0] == '-';
  if (negative) s.remove_prefix(1);
  if (HasHexPrefix(s)) return AllOf(s.substr(2), IsHexDigit);
  if (s == "inf" || s == "nan") return true;
  std::size_t e = s.find_first_of("eE");
  std::string_view mantissa = s.substr(0, e);
  std::size_t dot = mantissa.find('.');
  bool fraction = dot != std::string_view::npos;
  if (fraction
          ? !AllOf(mantissa.substr(0, dot), IsDigit) || !AllOf(mantissa.substr(dot + 1), IsDigit)
          : !AllOf(mantissa, IsDigit))
    return false;
  if (e == std::string_view::npos) return true;
  std::string_view exponent = s.substr(e + 1);
  bool sign = !exponent.empty() && (exponent[0] == '+' || exponent[0] == '-');
  if (sign) exponent.remove_prefix(1);
  return AllOf(exponent, IsDigit) && (sign || fraction || negative);
}

}  // namespace

bool TokenizeLine(std::string_view line, std::vector<Token>& out, std::string& error) {
  out.clear();
  std::size_t i = 0;
  while (i < line.size()) {
    if (IsBlank(line[i])) {
      ++i;
      continue;
    }
    Token t;
    if (line[i] == '"') {
      t.kind = TokenKind::String;
      ++i;
      bool closed = false;
      while (i < line.size()) {
        if (line[i] == '"') {
          if (i + 1 < line.size() && line[i + 1] == '"') {
            t.text += '"';
            i += 2;
            continue;
          }
          ++i;
          closed = true;
          break;
        }
        t.text += line[i++];
      }
      if (!closed) {
        error = "unterminated string";
        return false;
      }
      if (i < line.size() && !IsBlank(line[i])) {
        error = "no blank after string \"" + t.text + "\"";
        return false;
      }
    } else {
      std::size_t start = i;
      while (i < line.size() && !IsBlank(line[i])) {
        if (line[i] == '"') {
          error = "stray quote in \"" + std::string(line.substr(start, i + 1 - start)) + "\"";
          return false;
        }
        ++i;
      }
      t.text = std::string(line.substr(start, i - start));
      t.kind = LooksNumeric(t.text) ? TokenKind::Number : TokenKind::Word;
    }
    out.push_back(std::move(t));
  }
  return true;
}

bool IsNone(const Token& t) { return t.kind == TokenKind::Word && t.text == "none"; }

std::optional<UInt32> ParseFormId(const Token& t) {
  if (t.kind == TokenKind::String) return std::nullopt;
  std::string_view s = t.text;
  if (HasHexPrefix(s)) s.remove_prefix(2);
  if (s.size() > 8 || !AllOf(s, IsHexDigit)) return std::nullopt;
  UInt32 id = 0;
  std::from_chars(s.data(), s.data() + s.size(), id, 16);
  return id;
}

std::optional<double> ParseNumber(const Token& t) {
  if (t.kind != TokenKind::Number) return std::nullopt;
  std::string_view s = t.text;
  bool negative = !s.empty() && s[0] == '-';
  if (negative) s.remove_prefix(1);
  double value = 0;
  if (HasHexPrefix(s)) {
    std::uint64_t v = 0;
    auto r = std::from_chars(s.data() + 2, s.data() + s.size(), v, 16);
    if (r.ec != std::errc()) return std::nullopt;
    value = static_cast<double>(v);
  } else {
    auto r = std::from_chars(s.data(), s.data() + s.size(), value);
    if (r.ec != std::errc()) return std::nullopt;
  }
  return negative ? -value : value;
}

std::optional<long long> ParseInteger(const Token& t) {
  std::optional<double> v = ParseNumber(t);
  // Range first: converting a double outside long long's range is undefined.
  if (!v || !(*v >= -2147483648.0 && *v <= 4294967295.0)) return std::nullopt;
  long long whole = static_cast<long long>(*v);
  if (*v != static_cast<double>(whole)) return std::nullopt;
  return whole;
}

std::string Quote(std::string_view text) {
  std::string s = "\"";
  for (char c : text) {
    if (c == '"') s += '"';
    s += c;
  }
  s += '"';
  return s;
}

std::string Spell(const Token& t) { return t.kind == TokenKind::String ? Quote(t.text) : t.text; }

}  // namespace cv::sim
