#include "sim/script/lex/lexer.h"

#include <array>
#include <cctype>
#include <cstdlib>

namespace cv::sim::script {

namespace {

// The operators of the xNVSE table (§4.2), longest first so that `:=` is
// not read as `:` then `=`; `=>` opens an arrow lambda's body (§11.3).
constexpr std::array<std::string_view, 21> kTwoCharOps = {
    ":=", "+=", "-=", "*=", "/=", "^=", "|=", "&=", "%=", "<-", "::",
    "||", "&&", "==", "!=", ">=", "<=", "<<", ">>", "=>", "->"};
constexpr std::string_view kOneCharOps = "+-*/%^|&<>=!~$#()[]{},.:";

bool IsWordChar(char c) { return std::isalnum(static_cast<unsigned char>(c)) != 0 || c == '_'; }

}  // namespace

std::vector<std::string> SourceLines(std::string_view source) {
  if (source.substr(0, 3) == "\xEF\xBB\xBF") source.remove_prefix(3);
  std::vector<std::string> lines;
  std::string cur;
  for (char c : source) {
    if (c == '\n') {
      if (!cur.empty() && cur.back() == '\r') cur.pop_back();
      lines.push_back(std::move(cur));
      cur.clear();
    } else {
      cur += c;
    }
  }
  if (!cur.empty()) {
    if (cur.back() == '\r') cur.pop_back();
    lines.push_back(std::move(cur));
  }
  return lines;
}

bool Lex(std::string_view source, std::vector<Token>& out, LexError& error) {
  if (source.substr(0, 3) == "\xEF\xBB\xBF") source.remove_prefix(3);
  int line = 1;
  std::size_t i = 0;
  const std::size_t n = source.size();
  bool spaced = true;
  auto push = [&](Tok kind, std::string text, double number = 0) {
    out.push_back(Token{kind, std::move(text), line, number, spaced});
    spaced = false;
  };
  auto endLine = [&] {
    if (!out.empty() && out.back().kind != Tok::Newline) push(Tok::Newline, "");
    ++line;
  };
  while (i < n) {
    char c = source[i];
    if (c == '\n') {
      endLine();
      spaced = true;
      ++i;
      continue;
    }
    if (c == ' ' || c == '\t' || c == '\r' || c == '\f' || c == '\v') {
      spaced = true;
      ++i;
      continue;
    }
    if (c == ';') {  // a comment runs to the end of the line (§1.2)
      while (i < n && source[i] != '\n') ++i;
      continue;
    }
    if (c == '"') {
      std::size_t end = source.find_first_of("\"\n", i + 1);
      if (end == std::string_view::npos || source[end] != '"') {
        error = {line, "unterminated string"};
        return false;
      }
      push(Tok::String, std::string(source.substr(i + 1, end - i - 1)));
      i = end + 1;
      continue;
    }
    if (std::isdigit(static_cast<unsigned char>(c)) != 0 ||
        (c == '.' && i + 1 < n && std::isdigit(static_cast<unsigned char>(source[i + 1])) != 0)) {
      // A number, unless letters follow: then a word that starts with digits.
      std::size_t j = i;
      while (j < n && std::isdigit(static_cast<unsigned char>(source[j])) != 0) ++j;
      if (j < n && source[j] == '.' && j + 1 < n &&
          std::isdigit(static_cast<unsigned char>(source[j + 1])) != 0) {
        ++j;
        while (j < n && std::isdigit(static_cast<unsigned char>(source[j])) != 0) ++j;
      } else if (j < n && source[j] == '.' && (j + 1 >= n || !IsWordChar(source[j + 1]))) {
        ++j;  // 5. is a number
      }
      if (j < n && IsWordChar(source[j])) {
        std::size_t k = j;
        while (k < n && IsWordChar(source[k])) ++k;
        push(Tok::Word, std::string(source.substr(i, k - i)));
        i = k;
        continue;
      }
      std::string text(source.substr(i, j - i));
      push(Tok::Number, text, std::strtod(text.c_str(), nullptr));
      i = j;
      continue;
    }
    if (IsWordChar(c)) {
      std::size_t j = i;
      while (j < n && IsWordChar(source[j])) ++j;
      push(Tok::Word, std::string(source.substr(i, j - i)));
      i = j;
      continue;
    }
    bool matched = false;
    for (std::string_view op : kTwoCharOps) {
      if (source.substr(i, 2) == op) {
        push(Tok::Op, std::string(op));
        i += 2;
        matched = true;
        break;
      }
    }
    if (matched) continue;
    if (kOneCharOps.find(c) != std::string_view::npos) {
      push(Tok::Op, std::string(1, c));
      ++i;
      continue;
    }
    error = {line, std::string("unexpected character '") + c + "'"};
    return false;
  }
  if (!out.empty() && out.back().kind != Tok::Newline) push(Tok::Newline, "");
  push(Tok::End, "");
  return true;
}

}  // namespace cv::sim::script
