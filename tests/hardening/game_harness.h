// The plug-in in a simulated game whose folder lies in the test's working
// folder, with what the hardening tests look at: the log the run wrote, the
// store's contents, and the save-data files.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>
#include <map>
#include <memory>
#include <sstream>
#include <string>
#include <string_view>
#include <tuple>
#include <vector>

#include "ev/store.h"
#include "sim/scenario/session.h"

namespace cv::hardening {

namespace fs = std::filesystem;

// The game folder below the working folder; the plug-in finds it as the
// folder of the game's executable. Set up once per process.
fs::path GameFolder();
// Where the plug-in keeps the save-data files, and one save's file.
fs::path SavesFolder();
fs::path SaveFile(const std::string& saveName);
// The save-data folder as the plug-in spells it (backslashes, trailing one).
std::string HostSaveFolder();

std::string ReadBytes(const fs::path& path);
void WriteBytes(const fs::path& path, std::string_view bytes);

// One loaded game: a session of the simulated host with the plug-in loaded
// and the post-load message sent. Opening a game starts a fresh log, so the
// log holds only what happened since. What the log echoes to standard output
// while the game runs is kept apart (Echo), so that the test's own output
// stays readable.
class Game {
 public:
  Game();
  ~Game();
  Game(const Game&) = delete;
  Game& operator=(const Game&) = delete;

  // Runs scenario text; the status of this run (sim::kPassed when every
  // handler returned true, nothing escaped and every check held).
  int Run(std::string_view text);
  // What the host reported on its error stream since the game was opened.
  std::string Errors() const { return err_.str(); }
  std::string Output() const { return out_.str(); }
  const std::string& Echo() const { return echo_; }
  sim::Session& session() { return *session_; }

 private:
  std::ostringstream out_;
  std::ostringstream err_;
  std::string echo_;
  std::unique_ptr<sim::Session> session_;
};

// Starts the log afresh (the plug-in's log, in the working folder).
void RestartLog();
// The log's lines since the last restart, without their indentation.
std::vector<std::string> LogLines();
// Whether the log holds this line (indentation ignored).
bool LogHas(std::string_view line);
// The lines the failure-logging convention writes ("Exception in ...",
// "Unknown exception in ...").
std::vector<std::string> FailureLines();

// The store's contents: (kind, owner, key) -> the value, spelt so that equal
// spellings are equal values (floats by their bits).
using StoreKey = std::tuple<int, EvOwnerId, std::string>;
using Snapshot = std::map<StoreKey, std::string>;
Snapshot TakeSnapshot();
// A spelt value that is its kind's zero/empty value (never saved).
bool IsZeroValue(const std::string& spelt);
Snapshot WithoutZeroValues(const Snapshot& s);
std::string Describe(const Snapshot& s);
// EXPECT_PRED_FORMAT2(SameStore, actual, expected): the two snapshots hold
// the same; a failure shows their descriptions where they part, shortened
// (a snapshot may hold keys and texts of megabytes).
::testing::AssertionResult SameStore(const char* actualExpr, const char* expectedExpr,
                                     const Snapshot& actual, const Snapshot& expected);

}  // namespace cv::hardening
