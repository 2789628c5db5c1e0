// corvane-savedata: shows, checks and sweeps Corvane's save-data files with
// the plug-in's own reader.
//
//   corvane-savedata show [--json] FILE
//   corvane-savedata check FILE...
//   corvane-savedata sweep [--move-to DIR] SAVES_DIR... DATA_DIR
//
// Exit status: 0 when done (check: every file clean), 1 when check found
// something to log or a move failed, 2 for a file or folder that cannot be
// read, for a sweep that refuses (see FindOrphans) and for a wrong command
// line.
#include <filesystem>
#include <iostream>
#include <string>
#include <string_view>
#include <vector>

#include "platform/console.h"
#include "tools/savedata/output.h"
#include "tools/savedata/savedata_file.h"
#include "tools/savedata/sweep.h"

namespace {

namespace fs = std::filesystem;
namespace sd = cv::savedata;

constexpr int kDone = 0;
constexpr int kFound = 1;
constexpr int kTrouble = 2;

constexpr const char* kUsage =
    "usage: corvane-savedata show [--json] FILE\n"
    "       corvane-savedata check FILE...\n"
    "       corvane-savedata sweep [--move-to DIR] SAVES_DIR... DATA_DIR\n";

constexpr const char* kHelp =
    "Looks into Corvane's save-data files (Data\\NVSE\\Plugins\\Corvane\\Saves\\*.csv)\n"
    "with the same reader the plug-in loads them with.\n"
    "\n"
    "  show FILE     the mods the file was saved with, then a table of its values:\n"
    "                line, kind, owner (mod name and local id), key and value;\n"
    "                --json gives the same as JSON\n"
    "  check FILE    every line the plug-in would log while loading the file, each\n"
    "                with its line number (every mod the file names counts as\n"
    "                loaded), and every value row that a later row for the same\n"
    "                owner and key replaces; exit status 0 only for a clean file\n"
    "  sweep SAVES_DIR... DATA_DIR\n"
    "                lists the save-data files in DATA_DIR that no save file in\n"
    "                any SAVES_DIR matches any more (\"X.fos\" keeps \"X.fos.csv\");\n"
    "                give every save folder whose game writes into DATA_DIR (one\n"
    "                per profile or character). --move-to DIR moves them there.\n"
    "                Nothing is ever deleted. Refused when the save folders hold\n"
    "                no save at all, or DIR holds DATA_DIR.\n"
    "\n"
    "Exit status: 0 when done, 1 when check found something or a move failed,\n"
    "2 when a file or folder cannot be read, a sweep is refused, or the command line\n"
    "is wrong.\n";

int Usage(const std::string& why) {
  std::cerr << "corvane-savedata: " << why << "\n" << kUsage;
  return kTrouble;
}

bool IsOption(std::string_view a) { return a.size() > 1 && a[0] == '-'; }

int Show(const std::vector<std::string>& args) {
  bool json = false;
  std::vector<std::string> files;
  for (const std::string& a : args) {
    if (a == "--json")
      json = true;
    else if (IsOption(a))
      return Usage("show: unknown option " + a);
    else
      files.push_back(a);
  }
  if (files.size() != 1) return Usage("show needs one FILE");
  sd::FileReport report;
  std::string error;
  if (!sd::ReadSaveDataFile(files[0], report, error)) {
    std::cerr << "corvane-savedata: " << error << "\n";
    return kTrouble;
  }
  if (json)
    sd::PrintJson(std::cout, report);
  else
    sd::PrintTable(std::cout, report);
  if (!report.notes.empty())
    std::cerr << "corvane-savedata: check finds " << report.notes.size()
              << " lines to look at in this file; see: corvane-savedata check " << files[0] << "\n";
  return kDone;
}

int Check(const std::vector<std::string>& args) {
  if (args.empty()) return Usage("check needs a FILE");
  int status = kDone;
  for (const std::string& file : args) {
    if (IsOption(file)) return Usage("check: unknown option " + file);
    sd::FileReport report;
    std::string error;
    if (!sd::ReadSaveDataFile(file, report, error)) {
      std::cerr << "corvane-savedata: " << error << "\n";
      status = kTrouble;
      continue;
    }
    sd::PrintNotes(std::cout, file, report);
    std::size_t problems = 0;
    for (const sd::Note& n : report.notes) problems += n.indent == 0 ? 1 : 0;
    if (problems == 0) {
      std::cout << file << ": clean, " << report.mods.size() << " mods, " << report.values.size()
                << " values\n";
    } else {
      std::cout << file << ": " << problems << " problems\n";
      status = std::max(status, kFound);
    }
  }
  return status;
}

int Sweep(const std::vector<std::string>& args) {
  std::vector<std::string> dirs;
  std::string moveTo;  // UTF-8, as every argument
  for (std::size_t i = 0; i < args.size(); ++i) {
    if (args[i] == "--move-to") {
      if (i + 1 >= args.size()) return Usage("--move-to needs a folder");
      moveTo = args[++i];
    } else if (IsOption(args[i])) {
      return Usage("sweep: unknown option " + args[i]);
    } else {
      dirs.push_back(args[i]);
    }
  }
  if (dirs.size() < 2) return Usage("sweep needs SAVES_DIR and DATA_DIR");
  const fs::path data = cv::platform::PathFromUtf8(dirs.back());
  std::vector<fs::path> saves;
  for (auto d = dirs.begin(); d + 1 != dirs.end(); ++d)
    saves.push_back(cv::platform::PathFromUtf8(*d));
  const fs::path target = moveTo.empty() ? fs::path() : cv::platform::PathFromUtf8(moveTo);
  std::vector<fs::path> orphans;
  std::string error;
  if (!sd::FindOrphans(saves, data, target, orphans, error)) {
    std::cerr << "corvane-savedata: " << error << "\n";
    return kTrouble;
  }
  if (moveTo.empty()) {
    for (const fs::path& rel : orphans) std::cout << cv::platform::Utf8FromPath(data / rel) << "\n";
    std::cerr << orphans.size() << " save-data files without a save\n";
    return kDone;
  }
  int failed = sd::MoveOrphans(data, orphans, target, std::cout, std::cerr);
  std::cerr << orphans.size() - static_cast<std::size_t>(failed) << " save-data files moved to "
            << moveTo << "\n";
  return failed == 0 ? kDone : kFound;
}

// Every argument and every line printed is UTF-8 (see platform/console.h):
// on Windows the arguments come from the UTF-16 command line, the files are
// reached through the wide file functions, and a console is written UTF-16.
int Run(std::vector<std::string> args) {
  if (args.empty()) return Usage("no command");
  const std::string verb = args[0];
  args.erase(args.begin());
  if (verb == "--help" || verb == "help") {
    std::cout << kUsage << "\n" << kHelp;
    return kDone;
  }
  if (verb == "--version") {
    std::cout << "corvane-savedata (Corvane) " << CORVANE_VERSION << "\n";
    return kDone;
  }
  try {
    if (verb == "show") return Show(args);
    if (verb == "check") return Check(args);
    if (verb == "sweep") return Sweep(args);
  } catch (const std::exception& e) {
    std::cerr << "corvane-savedata: " << e.what() << "\n";
    return kTrouble;
  }
  return Usage("unknown command " + verb);
}

}  // namespace

int main(int argc, char** argv) {
  const cv::platform::Utf8Console console;
  return Run(cv::platform::Utf8Arguments(argc, argv));
}
