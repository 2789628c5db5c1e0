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

char16_t Upper(char16_t c) {
  return (c >= u'a' && c <= u'z') ? static_cast<char16_t>(c - 0x20) : c;
}

// The port number of COM1 to COM9 and LPT1 to LPT9, and the superscript
// digits that Windows reserves with them (U+00B9, U+00B2, U+00B3).
bool IsPortDigit(char16_t c) {
  return (c >= u'1' && c <= u'9') || c == u'\u00B9' || c == u'\u00B2' || c == u'\u00B3';
}

std::u16string Widened(std::string_view text) {
  std::u16string out;
  for (char c : text) out += static_cast<char16_t>(static_cast<unsigned char>(c));
  return out;
}

}  // namespace

bool IsDeviceName(std::u16string_view component) {
  // The part before the first dot, less trailing blanks and dots.
  std::u16string_view base = component.substr(0, component.find(u'.'));
  while (!base.empty() && (base.back() == u' ' || base.back() == u'.')) base.remove_suffix(1);
  if (base.size() < 3 || base.size() > 7) return false;
  char16_t u[7] = {};
  for (std::size_t i = 0; i < base.size(); ++i) u[i] = Upper(base[i]);
  const std::u16string_view name(u, base.size());
  if (name == u"CON" || name == u"PRN" || name == u"AUX" || name == u"NUL" || name == u"CONIN$" ||
      name == u"CONOUT$")
    return true;
  const std::u16string_view stem = name.substr(0, 3);
  return name.size() == 4 && (stem == u"COM" || stem == u"LPT") && IsPortDigit(name[3]);
}

bool IsSafeSaveName(std::string_view saveName, const SaveNameRules& rules) {
  if (!saveName.empty() && IsSeparator(saveName.front())) return false;
  std::size_t start = 0;
  for (std::size_t i = 0; i <= saveName.size();) {
    if (i == saveName.size() || IsSeparator(saveName[i])) {
      const std::string_view component = saveName.substr(start, i - start);
      if (LeavesFolder(component)) return false;
      if (rules.deviceNames &&
          IsDeviceName(rules.utf16 != nullptr ? rules.utf16(component) : Widened(component)))
        return false;
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
