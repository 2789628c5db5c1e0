// Case-insensitive text: the one place the script language compares,
// orders and folds names and strings. The host compares strings by the
// upper case of each byte (script-language.md §4.2, StrCompare), so
// "abc" == "ABC" and StringMap keys ignore case (§12.1); names (keywords,
// commands, variables, editor ids) ignore case too (§1.2).
#pragma once

#include <string>
#include <string_view>

namespace cv::sim::script {

// -1, 0 or 1, comparing the upper case of each byte (§6.4 sv_Compare gives
// exactly these values).
int CompareNoCase(std::string_view a, std::string_view b);
inline bool EqualsNoCase(std::string_view a, std::string_view b) {
  return a.size() == b.size() && CompareNoCase(a, b) == 0;
}
// The lower-case key a name is stored under.
std::string Fold(std::string_view s);
std::string ToUpperCopy(std::string_view s);

struct NoCaseLess {
  using is_transparent = void;
  bool operator()(std::string_view a, std::string_view b) const { return CompareNoCase(a, b) < 0; }
};

}  // namespace cv::sim::script
