// corvane-sim --fresh: each scenario file runs in a fresh copy of the game
// folder (the executable, its run-time libraries and the plug-ins, with
// their data folders empty), in a run of the executable of its own, so that
// no save data, log or database of an earlier run leaks in.
#pragma once

#include <filesystem>
#include <ostream>
#include <string>
#include <vector>

#include "sim/scenario/report.h"

namespace cv::sim {

// The option that tells a run it is the one in a fresh copy; its argument is
// the file it leaves its report in.
inline constexpr const char* kFreshChildOption = "--in-fresh-copy";

// Copies the game folder of the executable (game) to a new folder below
// parent: the executable exe, every .dll beside it, the plug-in files of
// Data/NVSE/Plugins, and the folders there, empty. False with a message.
bool MakeFreshCopy(const std::filesystem::path& game, const std::filesystem::path& exe,
                   const std::filesystem::path& parent, std::filesystem::path& copy,
                   std::string& error);

// Runs file in a fresh copy (below the system's temporary folder, removed
// afterwards) with the options passOn; the run's exit status, its report
// added to report. Problems with the copy itself go to err.
int RunInFreshCopy(const std::string& file, const std::vector<std::string>& passOn, Report& report,
                   std::ostream& err);

bool WriteReport(const std::string& path, const Report& report);
bool ReadReport(const std::string& path, Report& report);

}  // namespace cv::sim
