// Save and load of the extended variables with the player's save games, and
// the deletion and renaming of their save-data files.
//
// Every operation takes its texts by value, returns nothing, and catches and
// logs its own failures under its own name.
#pragma once

#include <string>

namespace cv::persist {

// Empties the store and the mod maps and seeds the dynamic-forms entry.
void clearsettings();
// Sets the save-data path for fileName (a save name with ".csv") and creates
// its missing folders. Keeps the old path when the game root is unknown.
void setsavefile(std::string fileName);
// Writes the save-data file of saveName; the previous file is replaced only
// once the new one is complete.
void save(std::string saveName);
// Replaces the store's contents with the save-data file of saveName.
void loadsettings(std::string saveName);
// Records the current load order in the mod maps.
void newmodmap();
// Deletes or renames the save-data file of a save game.
void deleteSavegame(std::string saveName);
void renameSavegame(std::string fromName, std::string toName);

// The path of the save-data file last saved or loaded ("" before any).
const std::string& SaveFilePath();

// The save-data path of a save name below the game root (root ends in '\').
std::string SaveDataPath(const std::string& root, const std::string& saveName);

}  // namespace cv::persist
