// Script source to tokens, each with its line (script-language.md §1.2):
// case-insensitive words (folded when compared, spelt as written), `;`
// comments to the end of the line, CR LF or LF, a UTF-8 byte-order mark,
// a last line with or without its line end, and words that begin with
// digits (editor ids such as 1stRecon), tried as a number first.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace cv::sim::script {

enum class Tok { Word, Number, String, Op, Newline, End };

struct Token {
  Tok kind = Tok::End;
  std::string text;  // as written; a string without its quotes
  int line = 0;
  double number = 0;
  bool spaced = false;  // whitespace (or the line start) comes before it
};

struct LexError {
  int line = 0;
  std::string message;
};

// The tokens of a whole file, a Newline after each line that holds any and
// End last. False with the first error (an unterminated string, a
// character the language has no use for).
bool Lex(std::string_view source, std::vector<Token>& out, LexError& error);

// The source split into lines (CR LF or LF, the byte-order mark dropped),
// for messages that quote a line.
std::vector<std::string> SourceLines(std::string_view source);

}  // namespace cv::sim::script
