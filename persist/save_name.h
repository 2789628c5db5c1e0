// Which save names may name a save-data file: the file must stay below the
// save-data folder, so absolute names, drive names and ".." are refused, and
// where the file system reserves device names, names that would open one.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace cv::persist {

// How the file system reads a save name. The default reads it a byte at a
// time and reserves no names.
struct SaveNameRules {
  // Device names (see IsDeviceName) are reserved.
  bool deviceNames = false;
  // The index of the character after the one at text[i], for a code page
  // whose characters may take two bytes (whose second byte may then be a
  // backslash); null reads a byte at a time.
  std::size_t (*nextChar)(std::string_view text, std::size_t i) = nullptr;
  // A name in the code page of file names as UTF-16, where device names are
  // compared; null reads each byte as the character of that number (as code
  // page 1252 does for the superscript digits).
  std::u16string (*utf16)(std::string_view text) = nullptr;
};

// True when the save name stays below the save-data folder: not absolute
// (no leading backslash or slash), no colon (a drive, or a stream of a file
// on Windows), and no component that the file system reads as the parent
// folder ("..", and ".. " or "..." forms that Windows trims to it). Sub-folders
// with backslashes or slashes are allowed. Under rules with device names, no
// component may name a device either.
bool IsSafeSaveName(std::string_view saveName, const SaveNameRules& rules = {});

// True when a path component (in UTF-16) names a device: CON, PRN, AUX,
// NUL, CONIN$, CONOUT$, and COM or LPT followed by 1 to 9 or a superscript
// 1, 2 or 3 (Microsoft's "Naming Files, Paths, and Namespaces" reserves
// these), in any letter case, with or without an extension, with trailing
// dots or blanks.
bool IsDeviceName(std::u16string_view component);

}  // namespace cv::persist
