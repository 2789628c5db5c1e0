// Which save names may name a save-data file: the file must stay below the
// save-data folder, so absolute names, drive names and ".." are refused.
#pragma once

#include <string_view>

namespace cv::persist {

// True when the save name stays below the save-data folder: not absolute
// (no leading backslash or slash), no colon (a drive, or a stream of a file
// on Windows), and no component that the file system reads as the parent
// folder ("..", and ".. " or "..." forms that Windows trims to it). Sub-folders
// with backslashes or slashes are allowed.
bool IsSafeSaveName(std::string_view saveName);

}  // namespace cv::persist
