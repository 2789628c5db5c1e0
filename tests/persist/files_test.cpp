// deleteSavegame, renameSavegame and the refusal of save names that would
// leave the save-data folder.
#include "persist_fixture.h"
#include "short_output.h"

namespace cv::persist::testing {
namespace {

class SaveFilesTest : public PersistTest {
 protected:
  void Put(const std::string& saveName, const std::string& bytes) {
    WriteBytes(SaveFile(saveName), bytes);
  }
};

TEST_F(SaveFilesTest, DeleteRemovesTheFileAndSaysSo) {
  Put("S", "x");
  Put("Keep", "y");
  ClearLog();
  deleteSavegame("S");
  EXPECT_FALSE(fs::exists(SaveFile("S")));
  EXPECT_TRUE(fs::exists(SaveFile("Keep")));
  EXPECT_EQ(Log(),
            "Remove '" + HostSavePath("S") + "'\r\nSavegame " + HostSavePath("S") + " deleted\r\n");
  ClearLog();
  deleteSavegame("S");
  EXPECT_EQ(Log(), "Remove '" + HostSavePath("S") + "'\r\nError removing savegame " +
                       HostSavePath("S") + "\r\n");
}

TEST_F(SaveFilesTest, RenameMovesTheFileAndALoadFindsItsValues) {
  TheStore().Entry<EvKind::String>(0x00000042, "who") = "me";
  save("Old");
  ClearLog();
  renameSavegame("Old", "Sub\\New");
  // The target's folder is not created by a rename, and the failure says so.
  EXPECT_EQ(Log().rfind("Renaming '" + HostSavePath("Old") + "' to '" + HostSavePath("Sub\\New") +
                            "'\r\nFailed renaming savefile " + HostSavePath("Old") + " to " +
                            HostSavePath("Sub\\New") + ": ",
                        0),
            0u)
      << cv::testing::Shortened(Log());
  EXPECT_TRUE(fs::exists(SaveFile("Old")));
  fs::create_directories(SavesDir() / "Sub");
  renameSavegame("Old", "Sub\\New");
  EXPECT_FALSE(fs::exists(SaveFile("Old")));
  loadsettings("Sub\\New");
  EXPECT_EQ(Found(TheStore().Find<EvKind::String>(0x00000042, "who")), "me");
}

// The game renames a save over its previous ".bak" at every quick save: a
// rename with a file to move replaces the target, one without leaves it
// alone. A move that fails logs why.
TEST_F(SaveFilesTest, RenameReplacesOnlyWithAFileToMoveAndAFailedOneIsLogged) {
  auto failureLine = [&](const std::string& from, const std::string& to) {
    return "Failed renaming savefile " + HostSavePath(from) + " to " + HostSavePath(to) + ": ";
  };
  auto loggedOnce = [&](const std::string& prefix) {
    const std::string log = Log();
    const std::size_t at = log.find(prefix);
    return at != std::string::npos && log.find("\r\n", at) > at + prefix.size() &&
           log.find(prefix, at + 1) == std::string::npos;
  };
  Put("S", "source");
  Put("T", "target");
  ClearLog();
  renameSavegame("S", "T");
  EXPECT_FALSE(fs::exists(SaveFile("S")));
  EXPECT_EQ(ReadBytes(SaveFile("T")), "source");
  EXPECT_EQ(Log().find("Failed"), std::string::npos) << cv::testing::Shortened(Log());
  Put("T", "target");
  ClearLog();
  renameSavegame("Gone", "T");
  EXPECT_EQ(ReadBytes(SaveFile("T")), "target");
  EXPECT_TRUE(loggedOnce(failureLine("Gone", "T"))) << cv::testing::Shortened(Log());
  ClearLog();
  renameSavegame("Missing", "U");
  EXPECT_FALSE(fs::exists(SaveFile("U")));
  EXPECT_EQ(LogCount("Renaming '" + HostSavePath("Missing") + "' to '" + HostSavePath("U") + "'"),
            1);
  EXPECT_TRUE(loggedOnce(failureLine("Missing", "U"))) << cv::testing::Shortened(Log());
  Put("S", "source");
  for (const char* target : {"V", "T"}) {  // a new name, and one that exists
    SCOPED_TRACE(target);
    ClearLog();
    fault::Arm("file.rename", 1, fault::Kind::Return);
    renameSavegame("S", target);
    EXPECT_TRUE(loggedOnce(failureLine("S", target))) << cv::testing::Shortened(Log());
    EXPECT_EQ(ReadBytes(SaveFile("S")), "source");
    fault::DisarmAll();
  }
  EXPECT_EQ(ReadBytes(SaveFile("T")), "target");
  ClearLog();
  renameSavegame("S", "V");
  EXPECT_EQ(ReadBytes(SaveFile("V")), "source");
  EXPECT_EQ(Log().find("Failed"), std::string::npos) << cv::testing::Shortened(Log());
}

TEST_F(SaveFilesTest, NoRootMeansNoLogAndNoChange) {
  Put("S", "x");
  platform::testing::OverrideMainExecutablePath("");
  persist::ResetGameRootForTesting();
  ClearLog();
  deleteSavegame("S");
  renameSavegame("S", "T");
  EXPECT_TRUE(fs::exists(SaveFile("S")));
  EXPECT_FALSE(fs::exists(SaveFile("T")));
  // Only the root finder's own complaints are logged.
  EXPECT_EQ(Log().find("Remove"), std::string::npos);
  EXPECT_EQ(Log().find("Renaming"), std::string::npos);
}

TEST_F(SaveFilesTest, NamesLeavingTheSaveFolderAreRefusedEverywhere) {
  // A file one folder up, which "..\\Outside" would name.
  const fs::path outside = SavesDir().parent_path() / "Outside.csv";
  WriteBytes(outside, "precious");
  Put("Inside", "inside");
  TheStore().Entry<EvKind::Float>(0x00000001, "v") = 1.0f;

  for (const std::string bad : {"..\\Outside", "../Outside", "Sub\\..\\..\\Outside", "C:\\Outside",
                                "\\Outside", "/tmp/Outside"}) {
    SCOPED_TRACE(bad);
    const std::string refusal = "Refusing save name '" + bad + "'";
    ClearLog();
    save(bad);
    EXPECT_EQ(Log(), "START: save settings\r\n\t" + refusal + "\r\nEND: save settings\r\n");

    TheStore().Entry<EvKind::Float>(0x00000001, "v") = 1.0f;
    ClearLog();
    loadsettings(bad);
    EXPECT_EQ(Log(), "START: load settings\r\n\tCorvane settings cleared\r\n\t" + refusal +
                         "\r\nEND: load settings\r\n");
    EXPECT_EQ(TheStore().EntryCount(EvKind::Float), 0u);  // cleared as for a missing file

    ClearLog();
    deleteSavegame(bad);
    EXPECT_EQ(Log(), refusal + "\r\n");

    ClearLog();
    renameSavegame(bad, "Fine");
    renameSavegame("Inside", bad);
    EXPECT_EQ(Log(), refusal + "\r\n" + refusal + "\r\n");

    EXPECT_EQ(ReadBytes(outside), "precious");
    EXPECT_EQ(ReadBytes(SaveFile("Inside")), "inside");
    EXPECT_FALSE(fs::exists(SaveFile("Fine")));
  }
  // Only the two files put there exist below the game folder.
  int files = 0;
  for (const auto& e : fs::recursive_directory_iterator(gameDir_)) files += e.is_regular_file();
  EXPECT_EQ(files, 2);
}

}  // namespace
}  // namespace cv::persist::testing
