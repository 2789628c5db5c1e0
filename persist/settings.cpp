// Minimal settings reset until the save-data subsystem is built.
#include "persist/settings.h"

#include "ev/store.h"
#include "log/guard.h"
#include "log/log.h"

namespace cv::persist {

void clearsettings() {
  Guarded({"clearsettings"}, [] {
    TheStore().ClearAll();
    LogMessage("Corvane settings cleared");
  });
}

void save(std::string) {}
void loadsettings(std::string) {}
void deleteSavegame(std::string) {}
void renameSavegame(std::string, std::string) {}

}  // namespace cv::persist
