// corvane-savedata sweep: the save-data files that no save game matches any
// more, left behind when saves were deleted outside the game.
#pragma once

#include <filesystem>
#include <ostream>
#include <string>
#include <vector>

namespace cv::savedata {

// The save-data files below data (paths relative to it, sorted) for which
// no save file exists below saves: the file of the save X is X.csv, so
// "quicksave.fos" keeps "quicksave.fos.csv" and "Save 3.fos.bak" keeps
// "Save 3.fos.bak.csv". Names compare without regard to ASCII case, as the
// game's file system does. Files that do not end in .csv, and anything
// below skip (the folder they are moved to), are left out. False with a
// message when a folder cannot be read.
bool FindOrphans(const std::filesystem::path& saves, const std::filesystem::path& data,
                 const std::filesystem::path& skip, std::vector<std::filesystem::path>& orphans,
                 std::string& error);

// Moves each orphan from data to the same relative path below to, making
// folders as needed; an existing file is never replaced and nothing is ever
// deleted. Reports each move on out and each failure on err; the number of
// files that could not be moved.
int MoveOrphans(const std::filesystem::path& data,
                const std::vector<std::filesystem::path>& orphans, const std::filesystem::path& to,
                std::ostream& out, std::ostream& err);

}  // namespace cv::savedata
