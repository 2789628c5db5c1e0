// corvane-savedata sweep: the save-data files that no save game matches any
// more, left behind when saves were deleted outside the game.
#pragma once

#include <filesystem>
#include <ostream>
#include <string>
#include <vector>

namespace cv::savedata {

// The save-data files below data (paths relative to it, sorted) for which
// no save file exists below any of the save folders: the file of the save X
// is X.csv, so "quicksave.fos" keeps "quicksave.fos.csv" and "Save 3.fos.bak"
// keeps "Save 3.fos.bak.csv". Names compare as the file system compares
// them, and without regard to ASCII letter case everywhere (the game's file
// system ignores it). Folder links and junctions inside a save folder are
// followed (a link back to a folder it lies in is not). Files that do not
// end in .csv, and anything below skip (the folder they are moved to), are
// left out.
//
// False with a message, and no orphans, when a folder cannot be read, when
// the save folders hold no save (".fos" file) at all, since every file would
// then look like an orphan, and when skip is data or a folder that holds it.
bool FindOrphans(const std::vector<std::filesystem::path>& saves, const std::filesystem::path& data,
                 const std::filesystem::path& skip, std::vector<std::filesystem::path>& orphans,
                 std::string& error);

// Moves each orphan from data to the same relative path below to, making
// folders as needed; an existing file is never replaced and nothing is ever
// deleted. Reports each move on out and each failure on err, paths in UTF-8
// (as the messages of FindOrphans); the number of files that could not be
// moved.
int MoveOrphans(const std::filesystem::path& data,
                const std::vector<std::filesystem::path>& orphans, const std::filesystem::path& to,
                std::ostream& out, std::ostream& err);

}  // namespace cv::savedata
