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

char Upper(char c) { return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 0x20) : c; }

}  // namespace

bool IsDeviceName(std::string_view component) {
  // The part before the first dot, less trailing blanks and dots.
  std::string_view base = component.substr(0, component.find('.'));
  while (!base.empty() && (base.back() == ' ' || base.back() == '.')) base.remove_suffix(1);
  if (base.size() != 3 && base.size() != 4) return false;
  char u[4] = {};
  for (std::size_t i = 0; i < base.size(); ++i) u[i] = Upper(base[i]);
  const std::string_view name(u, base.size());
  if (name.size() == 3) return name == "CON" || name == "PRN" || name == "AUX" || name == "NUL";
  const std::string_view stem = name.substr(0, 3);
  return (stem == "COM" || stem == "LPT") && name[3] >= '1' && name[3] <= '9';
}

bool IsSafeSaveName(std::string_view saveName, const SaveNameRules& rules) {
  if (!saveName.empty() && IsSeparator(saveName.front())) return false;
  std::size_t start = 0;
  for (std::size_t i = 0; i <= saveName.size();) {
    if (i == saveName.size() || IsSeparator(saveName[i])) {
      const std::string_view component = saveName.substr(start, i - start);
      if (LeavesFolder(component)) return false;
      if (rules.deviceNames && IsDeviceName(component)) return false;
      start = i + 1;
    } else if (saveName[i] == ':') {
      return false;
    }
    if (i == saveName.size()) break;
    // A character of two bytes is stepped over whole: its second byte may
    // be a backslash's or a colon's and is neither.
    const std::size_t next = rules.nextChar != nullptr ? rules.nextChar(saveName, i) : i + 1;
    i = next > i && next <= saveName.size() ? next : i + 1;
  }
  return true;
}

}  // namespace cv::persist
