// A save-data file that a load could not read whole is never overwritten: not
// by a save, not by the quick-save rotation's rename, whatever the letter
// case of the names.
#include <cstring>

#include "host/host.h"
#include "persist/savedata.h"
#include "persist_fixture.h"
#include "plugin/messages.h"
#include "short_output.h"

namespace cv::persist::testing {
namespace {

constexpr EvOwnerId kBase = 0x00012345;  // a reference of FalloutNV.esm

class UnreadTest : public PersistTest {
 protected:
  // A load of saveName that finds its file held by another program.
  void LoadHeld(const std::string& saveName) {
    fault::Arm("file.open", 1, fault::Kind::Return);
    loadsettings(saveName);
    fault::DisarmAll();
    ASSERT_NE(Log().find("Failed reading savefile " + HostSavePath(saveName)), std::string::npos)
        << cv::testing::Shortened(Log());
  }
  // Whether the file system takes name and other for one file.
  bool FoldsCase(const std::string& name, const std::string& other) {
    const fs::path probe = gameDir_ / "probe";
    WriteBytes(probe / name, "x");
    const bool folds = fs::exists(probe / other);
    fs::remove_all(probe);
    return folds;
  }
  static void Send(UInt32 type, const std::string& text) {
    std::string data = text;
    NVSEMessagingInterface::Message msg{"NVSE", type, static_cast<UInt32>(data.size() + 1),
                                        data.data()};
    plugin::MessageHandler(&msg);
  }
};

// A file that is there but could not be read whole is never overwritten:
// the load logs why, and the next save to it moves it aside first. Each row
// makes the load fail another way; the faults stand for another program
// holding the file, a disk failing part-way, and memory running out.
TEST_F(UnreadTest, AFileThatCouldNotBeReadIsMovedAsideByTheNextSave) {
  struct Case {
    const char* fault;
    std::uint32_t nth;
    const char* logged;            // the line the load writes, up to the system's reason
    std::size_t keptFrom, keptTo;  // float entries the load left in the store
  };
  const Case cases[] = {
      {"file.open", 1, "\tFailed reading savefile ", 0, 0},
      {"file.read", 2, "\tFailed reading savefile ", 1, 5999},  // the first 64 KiB
      {"store.alloc", 2001, "\tOut of memory reading savefile ", 1000, 1000},
  };
  // 6000 rows of over 64 KiB, so that a second read is needed; each row a
  // new owner, so two allocation points each (owner, then entry).
  std::string rows = "IX, 0, \"FalloutNV.esm\",\r\n";
  for (int i = 0; i < 6000; ++i)
    rows += "FL, " + std::to_string(0xFF000000u + i) + ", \"k\", " + std::to_string(i + 1) + "\r\n";
  ASSERT_GT(rows.size(), 65536u);
  for (const Case& c : cases) {
    SCOPED_TRACE(c.fault);
    fs::remove_all(SavesDir());
    WriteBytes(SaveFile("Hero"), rows);
    fault::Arm(c.fault, c.nth, fault::Kind::Return);
    ClearLog();
    loadsettings("Hero");
    fault::DisarmAll();
    const std::string path = HostSavePath("Hero");
    const std::string log = Log();
    const std::size_t at = log.find(std::string(c.logged) + path);
    ASSERT_NE(at, std::string::npos) << cv::testing::Shortened(log);
    EXPECT_GT(log.find("\r\n", at), at + std::strlen(c.logged) + path.size() + 2)
        << "the line gives a reason";
    EXPECT_EQ(log.find("Exception"), std::string::npos) << cv::testing::Shortened(log);
    EXPECT_EQ(log.find("Failed opening"), std::string::npos) << cv::testing::Shortened(log);
    EXPECT_TRUE(LogHas("END: load settings"));
    EXPECT_GE(TheStore().EntryCount(EvKind::Float), c.keptFrom);
    EXPECT_LE(TheStore().EntryCount(EvKind::Float), c.keptTo);
    if (std::string_view(c.fault) == "store.alloc") {
      EXPECT_TRUE(LogHas("\tOut of memory reading savefile " + path + ": stopped after " +
                         std::to_string(c.keptTo + 1) + " records"))
          << cv::testing::Shortened(log);  // the mod-index row and the values before the failure
    }

    TheStore().Entry<EvKind::Float>(kBase, "new") = 2.0f;
    ClearLog();
    save("Hero");
    EXPECT_EQ(ReadBytes(SaveFile("Hero").string() + ".unread"), rows);
    EXPECT_TRUE(LogHas("\tMoved the unread savefile " + path + " to " + path + ".unread"))
        << cv::testing::Shortened(Log());
    EXPECT_NE(ReadBytes(SaveFile("Hero")).find("\"new\", 2"), std::string::npos);
    // Moved once: the next save writes over its own file.
    ClearLog();
    save("Hero");
    EXPECT_EQ(Log().find("Moved"), std::string::npos);
    EXPECT_EQ(ReadBytes(SaveFile("Hero").string() + ".unread"), rows);
  }
}

TEST_F(UnreadTest, WhatWasNotReadIsKeptUntilItCanBeMoved) {
  save("Hero");
  const std::string first = ReadBytes(SaveFile("Hero"));
  WriteBytes(SaveFile("Hero").string() + ".unread", "taken");
  // A load that fails by an exception has not read the file either.
  fault::Arm("file.open", 1, fault::Kind::StdError);
  loadsettings("Hero");
  fault::DisarmAll();
  // Saving under another name leaves it alone; a failed move writes nothing.
  save("Other");
  EXPECT_EQ(ReadBytes(SaveFile("Hero")), first);
  TheStore().Entry<EvKind::Float>(kBase, "new") = 2.0f;
  fault::Arm("file.rename", 1, fault::Kind::Return);
  ClearLog();
  save("Hero");
  EXPECT_EQ(ReadBytes(SaveFile("Hero")), first);
  const std::string path = HostSavePath("Hero");
  EXPECT_NE(Log().find("\tFailed renaming savefile " + path + " to " + path + ".unread2: "),
            std::string::npos)
      << cv::testing::Shortened(Log());
  EXPECT_TRUE(LogHas("\tFailed writing savefile " + path));
  // The next save moves it beside the name already taken.
  save("Hero");
  EXPECT_EQ(ReadBytes(SaveFile("Hero").string() + ".unread"), "taken");
  EXPECT_EQ(ReadBytes(SaveFile("Hero").string() + ".unread2"), first);
  EXPECT_NE(ReadBytes(SaveFile("Hero")).find("\"new\", 2"), std::string::npos);

  // A load that reads the file whole, or finds none, leaves nothing to move.
  fault::Arm("file.open", 1, fault::Kind::Return);
  loadsettings("Hero");
  fault::DisarmAll();
  loadsettings("Hero");
  save("Hero");
  fault::Arm("file.open", 1, fault::Kind::Return);
  loadsettings("Gone");
  fault::DisarmAll();
  loadsettings("Gone");
  save("Gone");
  int files = 0;
  for (const auto& e : fs::directory_iterator(SavesDir())) files += e.is_regular_file();
  EXPECT_EQ(files, 5);  // Hero, Other and Gone, and the two moved aside
}

// The host's quick save: it renames the co-save to its backup (16, 13, 17),
// then saves (4). The first load found quicksave.fos.csv held by another
// program; every quick save after it must still find its values in a file
// of its own.
TEST_F(UnreadTest, TheQuickSaveRotationAfterAFailedReadLosesNoSave) {
  using Msg = NVSEMessagingInterface;
  plugin::ResetPendingRenameForTesting();
  TheStore().Entry<EvKind::Float>(kBase, "mood") = 7.0f;
  save("quicksave.fos");
  const std::string unread = ReadBytes(SaveFile("quicksave.fos"));
  TheStore().ClearAll();
  fault::Arm("file.open", 1, fault::Kind::Return);
  Send(Msg::kMessage_LoadGame, "quicksave.fos");
  fault::DisarmAll();
  ASSERT_TRUE(LogHas("\tFailed reading savefile " + HostSavePath("quicksave.fos") + ": " +
                     platform::LastErrorText()))
      << cv::testing::Shortened(Log());
  const std::string saves = "C:\\Users\\P\\Documents\\My Games\\FalloutNV\\Saves\\";
  for (int mood = 1; mood <= 2; ++mood) {
    TheStore().Entry<EvKind::Float>(kBase, "mood") = static_cast<float>(mood);
    Send(Msg::kMessage_RenameGameName, saves + "quicksave.nvse");
    Send(Msg::kMessage_RenameNewGame, saves + "quicksave.nvse.bak");
    Send(Msg::kMessage_RenameNewGameName, saves + "quicksave.nvse.bak");
    Send(Msg::kMessage_SaveGame, "quicksave.fos");
  }
  EXPECT_EQ(Log().find("Failed renaming"), std::string::npos) << cv::testing::Shortened(Log());
  // The unread file is kept, once, beside the backup it would have been.
  EXPECT_EQ(ReadBytes(SaveFile("quicksave.fos.bak").string() + ".unread"), unread);
  EXPECT_FALSE(fs::exists(SaveFile("quicksave.fos.bak").string() + ".unread2"));
  EXPECT_FALSE(fs::exists(SaveFile("quicksave.fos").string() + ".unread"));
  // Each save's values in its own file: the backup holds the first quick
  // save's, the quick save the second's.
  for (const auto& [name, mood] :
       {std::pair{"quicksave.fos.bak", 1.0f}, std::pair{"quicksave.fos", 2.0f}}) {
    Send(Msg::kMessage_LoadGame, name);
    const float* got = TheStore().Find<EvKind::Float>(kBase, "mood");
    ASSERT_NE(got, nullptr) << name;
    EXPECT_EQ(*got, mood) << name;
  }
}

// Each case plays load, save, rename and delete steps and then finds each
// file as it should be. "held S" is a load of S whose file another program
// holds, "put S text" writes S's file as another program would, "gone S"
// deletes it as another program would, "save S text" saves a store that
// holds text.
TEST_F(UnreadTest, TheUnreadMarkFollowsTheFileItWasFor) {
  struct Step {
    const char* op;
    const char* name;
    const char* arg = "";
  };
  struct Want {
    const char* file;     // a save-data file name below the save folder
    const char* text;     // what it holds; null: it does not exist
    const char* ifFolds;  // what it holds where the file system folds case
  };
  struct Case {
    const char* what;
    std::vector<Step> steps;
    std::vector<Want> files;
    unsigned codePage = 0;
  };
  const Case cases[] = {
      {"a save renamed onto an unread file keeps the unread file's values",
       {{"put", "T", "unread T"}, {"put", "S", "from S"}, {"held", "T"}, {"rename", "S", "T"}},
       {{"S.csv", nullptr, nullptr},
        {"T.csv", "from S", "from S"},
        {"T.csv.unread", "unread T", "unread T"}}},
      {"the unread mark follows a rename",
       {{"put", "S", "unread S"},
        {"held", "S"},
        {"rename", "S", "T"},
        {"save", "T", "saved T"},
        {"save", "S", "saved S"}},
       {{"T.csv", "saved T", "saved T"},
        {"T.csv.unread", "unread S", "unread S"},
        {"S.csv", "saved S", "saved S"},
        {"S.csv.unread", nullptr, nullptr}}},
      {"a delete clears the unread mark",
       {{"put", "S", "unread S"},
        {"held", "S"},
        {"delete", "S"},
        {"put", "S", "put back"},  // restored from a backup by hand
        {"put", "R", "from R"},
        {"rename", "R", "S"}},
       {{"S.csv", "from R", "from R"}, {"S.csv.unread", nullptr, nullptr}}},
      {"the unread mark goes with the unread file",
       {{"put", "S", "unread S"},
        {"held", "S"},
        {"gone", "S"},  // deleted by another program
        {"save", "S", "first"},
        {"save", "S", "second"}},
       {{"S.csv", "second", "second"}, {"S.csv.unread", nullptr, nullptr}}},
      {"a rename whose source has no file leaves an unread target where it is",
       {{"put", "T", "unread T"}, {"held", "T"}, {"rename", "S", "T"}},
       {{"S.csv", nullptr, nullptr},
        {"T.csv", "unread T", "unread T"},
        {"T.csv.unread", nullptr, nullptr}}},
      {"and its mark stays for the next save",
       {{"put", "T", "unread T"}, {"held", "T"}, {"rename", "S", "T"}, {"save", "T", "saved T"}},
       {{"T.csv", "saved T", "saved T"}, {"T.csv.unread", "unread T", "unread T"}}},
      {"names that differ in ASCII case",
       {{"put", "Quicksave.fos", "unread Q"},
        {"held", "Quicksave.fos"},
        {"save", "quicksave.fos", "first"},
        {"save", "Quicksave.fos", "second"}},
       {{"Quicksave.fos.csv.unread", "unread Q", "unread Q"},
        {"Quicksave.fos.csv", "second", "second"},
        {"quicksave.fos.csv", "first", "second"}}},
      {"names that differ in non-ASCII case",
       {{"put", "\xC9t\xE9.fos", "unread E"},
        {"held", "\xC9t\xE9.fos"},
        {"put", "x", "from x"},
        {"rename", "x", "\xE9t\xC9.fos"},
        {"save", "\xC9t\xE9.fos", "second"}},
       {{"\xC9t\xE9.fos.csv.unread", "unread E", "unread E"},
        {"\xC9t\xE9.fos.csv", "second", "second"},
        {"\xE9t\xC9.fos.csv", "from x", "second"}},
       1252},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    fs::remove_all(SavesDir());
    platform::testing::OverrideCodePage(c.codePage);
    clearsettings();
    loadsettings("nothing held");  // no file left marked by the case before
    for (const Step& s : c.steps) {
      const std::string op = s.op;
      if (op == "put") {
        WriteBytes(SaveFile(s.name), s.arg);
      } else if (op == "held") {
        LoadHeld(s.name);
      } else if (op == "save") {
        TheStore().Entry<EvKind::String>(kBase, "v") = s.arg;
        save(s.name);
      } else if (op == "gone") {
        fs::remove(SaveFile(s.name));
      } else if (op == "rename") {
        renameSavegame(s.name, s.arg);
      } else {
        deleteSavegame(s.name);
      }
    }
    const bool folds = FoldsCase(c.files.back().file, c.files[c.files.size() - 2].file);
    for (const Want& w : c.files) {
      SCOPED_TRACE(w.file);
      const char* text = folds ? w.ifFolds : w.text;
      const fs::path file = SavesDir() / w.file;
      if (text == nullptr) {
        EXPECT_FALSE(fs::exists(file));
        continue;
      }
      ASSERT_TRUE(fs::exists(file)) << cv::testing::Shortened(Log());
      const std::string bytes = ReadBytes(file);
      EXPECT_TRUE(bytes == text || bytes.find(std::string("\"") + text + "\"") != std::string::npos)
          << bytes;
    }
    platform::testing::OverrideCodePage(0);
  }
}

}  // namespace
}  // namespace cv::persist::testing
