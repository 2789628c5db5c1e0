// Which save names may name a save-data file: the file must stay below the
// save-data folder, so absolute names, drive names and ".." are refused, and
// where the file system reserves device names, names that would open one.
#pragma once

#include <cstddef>
#include <string_view>

namespace cv::persist {

// How the file system reads a save name. The default reads it a byte at a
// time and reserves no names.
struct SaveNameRules {
  // Device names (CON, PRN, AUX, NUL, COM1-COM9, LPT1-LPT9) are reserved.
  bool deviceNames = false;
  // The index of the character after the one at text[i], for a code page
  // whose characters may take two bytes (whose second byte may then be a
  // backslash); null reads a byte at a time.
  std::size_t (*nextChar)(std::string_view text, std::size_t i) = nullptr;
};

// True when the save name stays below the save-data folder: not absolute
// (no leading backslash or slash), no colon (a drive, or a stream of a file
// on Windows), and no component that the file system reads as the parent
// folder ("..", and ".. " or "..." forms that Windows trims to it). Sub-folders
// with backslashes or slashes are allowed. Under rules with device names, no
// component may name a device either.
bool IsSafeSaveName(std::string_view saveName, const SaveNameRules& rules = {});

// True when a path component names a device: CON, PRN, AUX, NUL, COM1-COM9
// or LPT1-LPT9 in any letter case, with or without an extension, with
// trailing dots or blanks.
bool IsDeviceName(std::string_view component);

}  // namespace cv::persist
