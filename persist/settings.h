// Save and load of the extended variables with the player's save games.
#pragma once

#include <string>

namespace cv::persist {

// Empties the store and the mod maps and seeds the dynamic-forms entry.
void clearsettings();
// Writes the save-data file of saveName.
void save(std::string saveName);
// Replaces the store's contents with the save-data file of saveName.
void loadsettings(std::string saveName);
// Deletes or renames the save-data file of a save game.
void deleteSavegame(std::string saveName);
void renameSavegame(std::string fromName, std::string toName);

}  // namespace cv::persist
