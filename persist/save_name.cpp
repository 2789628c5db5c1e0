#include "persist/save_name.h"

namespace cv::persist {

namespace {

bool IsSeparator(char c) { return c == '\\' || c == '/'; }

// Windows drops trailing dots and blanks from a path component, so any
// component made only of dots and blanks with two dots or more is refused.
bool LeavesFolder(std::string_view component) {
  int dots = 0;
  for (char c : component) {
    if (c == '.')
      ++dots;
    else if (c != ' ')
      return false;
  }
  return dots >= 2;
}

}  // namespace

bool IsSafeSaveName(std::string_view saveName) {
  if (!saveName.empty() && IsSeparator(saveName.front())) return false;
  if (saveName.find(':') != std::string_view::npos) return false;
  std::size_t start = 0;
  for (std::size_t i = 0; i <= saveName.size(); ++i) {
    if (i == saveName.size() || IsSeparator(saveName[i])) {
      if (LeavesFolder(saveName.substr(start, i - start))) return false;
      start = i + 1;
    }
  }
  return true;
}

}  // namespace cv::persist
