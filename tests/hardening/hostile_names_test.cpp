// Hostile save names from the host's save, load, delete and rename messages:
// very long, leaving the save-data folder, naming a drive or a stream, printf
// sequences, empty. Nothing outside the save-data folder may be touched, the
// log says what was refused, and a name the plug-in takes saves and loads.
#include <gtest/gtest.h>

#include <map>
#include <memory>
#include <string>

#include "game_harness.h"
#include "persist/save_name.h"
#include "platform/platform.h"
#include "short_output.h"

namespace cv::hardening {
namespace {

// Every file and folder below the working folder but the save-data folder
// and the logs, with the size of each file.
std::map<std::string, std::uintmax_t> OutsideSaves() {
  std::map<std::string, std::uintmax_t> tree;
  const fs::path saves = fs::weakly_canonical(SavesFolder());
  for (auto it = fs::recursive_directory_iterator(fs::current_path());
       it != fs::recursive_directory_iterator(); ++it) {
    const fs::path p = fs::weakly_canonical(it->path());
    if (p == saves) {
      it.disable_recursion_pending();
      continue;
    }
    const std::string name = p.filename().string();
    if (name.rfind("hardening.log", 0) == 0 || name.rfind("corvane.log", 0) == 0) continue;
    tree[p.string()] = it->is_regular_file() ? it->file_size() : 0;
  }
  return tree;
}

class HostileNames : public ::testing::Test {
 protected:
  void SetUp() override {
    game = std::make_unique<Game>();
    ASSERT_EQ(game->Run("loadorder \"FalloutNV.esm\"\nnpc 10 \"a\\b.nif\"\nactor 14 10\n"
                        "run 14 CV_SetEVFl \"hp\" 5\nrun 14 CV_SetEVSt \"name\" \"Sunny\"\n"),
              sim::kPassed);
    fs::create_directories(SavesFolder());
    outside = OutsideSaves();
  }
  void TearDown() override {
    EXPECT_EQ(OutsideSaves(), outside) << "something outside the save-data folder changed";
    game.reset();
  }

  int Message(const std::string& type, const std::string& name) {
    return game->Run("message " + type + " \"" + name + "\"");
  }
  // Saves under the name, clears the store, loads the name again: the
  // values come back.
  void ExpectSavesAndLoads(const std::string& name) {
    const Snapshot before = TakeSnapshot();
    RestartLog();
    ASSERT_EQ(Message("savegame", name), sim::kPassed) << cv::testing::Shortened(game->Errors());
    ASSERT_EQ(game->Run("message newgame"), sim::kPassed);
    ASSERT_EQ(Message("loadgame", name), sim::kPassed) << cv::testing::Shortened(game->Errors());
    EXPECT_PRED_FORMAT2(SameStore, TakeSnapshot(), before);
    EXPECT_EQ(FailureLines(), std::vector<std::string>{});
  }
  // Every message refuses the name with a log line and touches no file.
  void ExpectRefused(const std::string& name) {
    SCOPED_TRACE("save name '" + name + "'");
    for (const char* type : {"savegame", "loadgame", "deletegame"}) {
      RestartLog();
      ASSERT_EQ(Message(type, name), sim::kPassed) << cv::testing::Shortened(game->Errors());
      EXPECT_TRUE(LogHas("Refusing save name '" + name + "'")) << type;
      EXPECT_EQ(FailureLines(), std::vector<std::string>{});
    }
    // A rename carries a co-save path: only its last component names the
    // save, which is refused when it alone would leave the folder.
    RestartLog();
    ASSERT_EQ(Message("renamegame", "walk") + Message("renamenewgame", name), sim::kPassed);
    const std::size_t sep = name.find_last_of("\\/");
    const std::string last = sep == std::string::npos ? name : name.substr(sep + 1);
    const bool safe = persist::IsSafeSaveName(
        last, {platform::kReservedDeviceNames, &platform::NextChar, &platform::Utf16Text});
    EXPECT_EQ(LogHas("Refusing save name '" + last + "'"), !safe) << "rename";
    EXPECT_EQ(FailureLines(), std::vector<std::string>{});
  }

  std::unique_ptr<Game> game;
  std::map<std::string, std::uintmax_t> outside;
};

TEST_F(HostileNames, NamesLeavingTheSaveFolderAreRefused) {
  for (const char* name : {"..", "..\\..\\..\\escape", "a\\..\\..\\..\\b", "../../escape",
                           "a/../../b", "...\\x", ".. \\x", "\\rooted", "/rooted"})
    ExpectRefused(name);
}

TEST_F(HostileNames, DriveAndStreamNamesAreRefused) {
  for (const char* name : {"C:\\Windows\\evil", "C:evil", "save:stream", ":"}) ExpectRefused(name);
}

// On Windows a component named after a device opens the device ("AUX"
// blocked the game for good, "COM1" wrote to the serial port, "NUL" read as
// empty); elsewhere these are ordinary names.
TEST_F(HostileNames, DeviceNamesAreRefusedWhereTheSystemReservesThem) {
  for (const char* name : {"AUX", "COM1", "aux.txt", "NUL", "Sub\\con", "lpt9. ", "prn\\Save"}) {
    if (platform::kReservedDeviceNames) {
      ExpectRefused(name);
    } else {
      fs::create_directories(SavesFolder() / "Sub");
      fs::create_directories(SavesFolder() / "prn");
      ExpectSavesAndLoads(name);
    }
  }
}

TEST_F(HostileNames, NamesInsideTheFolderSaveAndLoad) {
  ExpectSavesAndLoads("%s%n%x%p%s%s%s%s");
  EXPECT_TRUE(fs::exists(SaveFile("%s%n%x%p%s%s%s%s")));
  ExpectSavesAndLoads("");  // the file ".csv"
  EXPECT_TRUE(fs::exists(SavesFolder() / ".csv"));
  ExpectSavesAndLoads("a..b\\..c\\d..");  // dots that name no parent
  EXPECT_TRUE(fs::exists(SaveFile("a..b\\..c\\d..")));
}

// Paths above the 1024-character limit of the save-data path: a deep one
// the file system takes, and a single name it may refuse. Either the values
// come back, or the save fails with a log line and a later load finds
// nothing; nothing crashes and nothing outside the folder is touched.
TEST_F(HostileNames, VeryLongNames) {
  std::string deep;
  for (int i = 0; i < 12; ++i) deep += std::string(100, static_cast<char>('a' + i)) + "\\";
  deep += "save";
  ASSERT_GT(HostSaveFolder().size() + deep.size(), 1024u);
  const std::string flat(1100, 'n');
  for (const std::string& name : {deep, flat}) {
    SCOPED_TRACE(name.size());
    const Snapshot before = TakeSnapshot();
    RestartLog();
    ASSERT_EQ(Message("savegame", name), sim::kPassed) << cv::testing::Shortened(game->Errors());
    ASSERT_EQ(Message("loadgame", name), sim::kPassed) << cv::testing::Shortened(game->Errors());
    const std::string path = HostSaveFolder() + name + ".csv";
    if (LogHas("Failed writing savefile " + path)) {
      EXPECT_TRUE(LogHas("Failed opening savefile " + path));
      EXPECT_PRED_FORMAT2(SameStore, TakeSnapshot(), Snapshot{});
    } else {
      EXPECT_PRED_FORMAT2(SameStore, TakeSnapshot(), before);
    }
    EXPECT_EQ(FailureLines(), std::vector<std::string>{});
    ASSERT_EQ(game->Run("run 14 CV_SetEVFl \"hp\" 5\nrun 14 CV_SetEVSt \"name\" \"Sunny\""),
              sim::kPassed);
  }
}

}  // namespace
}  // namespace cv::hardening
