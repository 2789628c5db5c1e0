// Tokens of the scenario language: bare words, numbers and quoted strings.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "host/nvse_records.h"

namespace cv::sim {

enum class TokenKind {
  Word,    // a bare word
  Number,  // decimal (-12, 3.5, 1e+20, 2.5e-3), hexadecimal with 0x, inf, nan
  String,  // a double-quoted string; text holds it without the quotes
};

struct Token {
  TokenKind kind = TokenKind::Word;
  std::string text;  // as written (strings: unquoted, "" folded to ")

  bool operator==(const Token&) const = default;
};

// Splits one line into tokens. Blank lines give no tokens. False with a
// reason when a token is malformed (unterminated string, stray quote).
bool TokenizeLine(std::string_view line, std::vector<Token>& out, std::string& error);

// The bare word none.
bool IsNone(const Token& t);
// A form id: hexadecimal, with or without 0x, at most 8 digits (not quoted).
std::optional<UInt32> ParseFormId(const Token& t);
// The value of a number token.
std::optional<double> ParseNumber(const Token& t);
// A number token whose value is a whole number in the 32-bit range
// (-2147483648 to 4294967295).
std::optional<long long> ParseInteger(const Token& t);

// The token written back as it would appear in a scenario.
std::string Spell(const Token& t);
// text in double quotes, inner quotes doubled.
std::string Quote(std::string_view text);

}  // namespace cv::sim
