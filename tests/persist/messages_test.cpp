// The host message listener: which message leads to which operation, the
// log line of each, the rename pair and the GetQuestVariable look-up.
#include "plugin/messages.h"

#include "host/host.h"
#include "persist_fixture.h"
#include "platform/platform.h"
#include "short_output.h"

namespace cv::persist::testing {
namespace {

using Msg = NVSEMessagingInterface;

const CommandInfo kQuestVariable{};
int g_lookUps = 0;
bool g_commandKnown = true;

NVSECommandTableInterface MakeCommandTable() {
  NVSECommandTableInterface t{};
  t.GetByName = [](const char* name) -> const CommandInfo* {
    ++g_lookUps;
    return g_commandKnown && std::string(name) == "GetQuestVariable" ? &kQuestVariable : nullptr;
  };
  return t;
}
NVSECommandTableInterface g_commandTable = MakeCommandTable();

class MessagesTest : public PersistTest {
 protected:
  void SetUp() override {
    PersistTest::SetUp();
    host::TheSlots().commandTable = &g_commandTable;
    host::TheSlots().getQuestVariable = nullptr;
    g_lookUps = 0;
    g_commandKnown = true;
    plugin::ResetPendingRenameForTesting();
    ClearLog();
  }
  void TearDown() override {
    host::TheSlots().commandTable = nullptr;
    host::TheSlots().getQuestVariable = nullptr;
    PersistTest::TearDown();
  }
  static void Send(UInt32 type, const char* text = nullptr) {
    std::string data = text != nullptr ? text : "";
    Msg::Message msg{"NVSE", type, text != nullptr ? static_cast<UInt32>(data.size() + 1) : 0,
                     text != nullptr ? data.data() : nullptr};
    plugin::MessageHandler(&msg);
  }
  static const CommandInfo* Record() { return host::TheSlots().getQuestVariable; }
};

TEST_F(MessagesTest, PostLoadLooksUpTheRecordOnce) {
  Send(Msg::kMessage_PostLoad);
  EXPECT_EQ(Record(), &kQuestVariable);
  Send(Msg::kMessage_PostLoad);
  EXPECT_EQ(g_lookUps, 1);
  EXPECT_EQ(Log(),
            "Received post init message\r\nGETQUESTVAR pointer get SUCCESS\r\n"
            "Received post init message\r\n");
}

TEST_F(MessagesTest, ARecordNotFoundIsLookedUpAgainLater) {
  g_commandKnown = false;
  Send(Msg::kMessage_PostLoad);
  EXPECT_EQ(Record(), nullptr);
  g_commandKnown = true;
  Send(Msg::kMessage_ExitToMainMenu);
  EXPECT_EQ(Record(), &kQuestVariable);
  EXPECT_EQ(g_lookUps, 2);
  EXPECT_EQ(LogCount("GETQUESTVAR pointer get SUCCESS"), 0);
}

TEST_F(MessagesTest, WithoutACommandTableTheLookUpIsSkipped) {
  host::TheSlots().commandTable = nullptr;
  Send(Msg::kMessage_PostLoad);
  EXPECT_EQ(g_lookUps, 0);
  EXPECT_EQ(Log(), "Received post init message\r\n");
}

TEST_F(MessagesTest, ALoadBeforePostLoadFindsTheRecordQuietly) {
  Send(Msg::kMessage_LoadGame, "Save 1");
  EXPECT_EQ(Record(), &kQuestVariable);
  ClearLog();
  Send(Msg::kMessage_PostLoad);
  EXPECT_EQ(Log(), "Received post init message\r\n");
  EXPECT_EQ(g_lookUps, 1);
}

TEST_F(MessagesTest, ExitMenuAndNewGameClearTheStore) {
  for (UInt32 type :
       {Msg::kMessage_ExitGame, Msg::kMessage_ExitToMainMenu, Msg::kMessage_NewGame}) {
    SCOPED_TRACE(type);
    host::TheSlots().getQuestVariable = nullptr;
    TheStore().Entry<EvKind::Float>(1, "k") = 1.0f;
    ClearLog();
    Send(type);
    EXPECT_EQ(Log(), "Received exit or newgame message\r\nCorvane settings cleared\r\n");
    EXPECT_EQ(TheStore().EntryCount(EvKind::Float), 0u);
    EXPECT_EQ(Record(), &kQuestVariable);
  }
}

TEST_F(MessagesTest, SaveAndLoadMessagesSaveAndLoad) {
  TheStore().Entry<EvKind::Float>(1, "k") = 2.0f;
  Send(Msg::kMessage_SaveGame, "Save 7");
  EXPECT_EQ(g_lookUps, 0);  // a save never looks the record up
  EXPECT_TRUE(LogHas("Received save message with file path Save 7"));
  EXPECT_TRUE(fs::exists(SaveFile("Save 7")));
  TheStore().Entry<EvKind::Float>(1, "k") = 5.0f;
  ClearLog();
  Send(Msg::kMessage_LoadGame, "Save 7");
  EXPECT_EQ(
      Log().rfind("Received load message with file path Save 7\r\nSTART: load settings\r\n", 0),
      0u);
  EXPECT_EQ(Found(TheStore().Find<EvKind::Float>(1, "k")), 2.0f);
}

TEST_F(MessagesTest, DeleteAndTheRenamePair) {
  WriteBytes(SaveFile("S"), "s");
  WriteBytes(SaveFile("D"), "d");
  Send(Msg::kMessage_DeleteGameName, "D");
  EXPECT_FALSE(fs::exists(SaveFile("D")));
  EXPECT_EQ(Log().rfind("Received delete message with file path 'D'\r\nRemove '", 0), 0u);

  ClearLog();
  Send(Msg::kMessage_RenameGameName, "S");
  EXPECT_EQ(Log(), "Received rename message with file path 'S'\r\n");
  EXPECT_EQ(plugin::PendingRenameName(), "S");
  EXPECT_TRUE(fs::exists(SaveFile("S")));
  Send(Msg::kMessage_RenameNewGameName, "T");
  EXPECT_FALSE(fs::exists(SaveFile("S")));
  EXPECT_EQ(ReadBytes(SaveFile("T")), "s");
  EXPECT_EQ(Log(),
            "Received rename message with file path 'S'\r\n"
            "Received rename newgame message with file path 'T'\r\n"
            "Renaming '" +
                HostSavePath("S") + "' to '" + HostSavePath("T") + "'\r\n");
}

// The host sends a rename as 12, 16, 13, 17: a new name (17) pairs with the
// old name (16) just before it, with at most a 13 between them, and uses it
// once. A 17 without its 16 is logged and renames nothing.
TEST_F(MessagesTest, ANewNamePairsOnlyWithTheRenameJustBeforeIt) {
  constexpr const char* kIgnored = "No rename message came just before it: nothing is renamed";
  struct Step {
    UInt32 type;
    const char* text;
  };
  struct Case {
    const char* label;
    std::vector<Step> steps;
    const char* renamedTo;  // where S's file is afterwards; null: still S
    int ignored;            // 17s logged as having no 16
  };
  const Case cases[] = {
      {"the pair", {{16, "S"}, {17, "T"}}, "T", 0},
      {"as the host sends it", {{12, "S"}, {16, "S"}, {13, "T"}, {17, "T"}}, "T", 0},
      {"a new name alone", {{17, "T"}}, nullptr, 1},
      {"a second new name", {{16, "S"}, {17, "T"}, {17, "U"}}, "T", 1},
      {"a new name after a rename that was used",
       {{16, "S"}, {17, "T"}, {13, "U"}, {17, "U"}},
       "T",
       1},
      {"a save in between", {{16, "S"}, {4, "X"}, {17, "T"}}, nullptr, 1},
      {"a delete in between", {{16, "S"}, {15, "X"}, {17, "T"}}, nullptr, 1},
      {"an ignored message in between", {{16, "S"}, {5, "S"}, {17, "T"}}, nullptr, 1},
      {"a 12 in between", {{16, "S"}, {12, "S"}, {17, "T"}}, nullptr, 1},
      {"a later rename replaces the name", {{16, "X"}, {16, "S"}, {17, "T"}}, "T", 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.label);
    plugin::ResetPendingRenameForTesting();
    fs::remove_all(SavesDir());
    WriteBytes(SaveFile("S"), "s");
    ClearLog();
    for (const Step& step : c.steps) Send(step.type, step.text);
    if (c.renamedTo == nullptr) {
      EXPECT_EQ(ReadBytes(SaveFile("S")), "s");
    } else {
      EXPECT_FALSE(fs::exists(SaveFile("S")));
      EXPECT_EQ(ReadBytes(SaveFile(c.renamedTo)), "s");
    }
    for (const char* other : {"T", "U"}) {
      if (c.renamedTo == nullptr || std::string(other) != c.renamedTo) {
        EXPECT_FALSE(fs::exists(SaveFile(other))) << other;
      }
    }
    EXPECT_EQ(LogCount(kIgnored), c.ignored) << cv::testing::Shortened(Log());
    EXPECT_EQ(LogCount("Renaming '" + HostSavePath("S") + "' to '" + HostSavePath("T") + "'"),
              c.renamedTo != nullptr ? 1 : 0)
        << cv::testing::Shortened(Log());
  }
}

TEST_F(MessagesTest, RenameTextsAreCoSavePathsTurnedBackIntoSaveNames) {
  struct Case {
    const char* text;      // what the host sends with 16
    const char* saveName;  // the save whose file is renamed
  };
  const Case cases[] = {
      {"C:\\Users\\P\\My Games\\FalloutNV\\Saves\\quicksave.nvse", "quicksave.fos"},
      {"C:\\Saves\\quicksave.nvse.bak", "quicksave.fos.bak"},
      {"C:\\Saves\\autosave.NVSE.bak.BAK", "autosave.fos.bak.BAK"},
      {"D:/Games/Saves/Save 3 - A, B, 01.02.03.nvse", "Save 3 - A, B, 01.02.03.fos"},
      {"quicksave.nvse", "quicksave.fos"},
      {"C:\\Saves\\notes.txt", "notes.txt"},    // not a co-save: kept as named
      {"C:\\Saves\\x.nvse.old", "x.nvse.old"},  // only ".bak" suffixes follow
      {"C:\\Saves\\.nvse", ".fos"},
      {"C:\\Saves\\", ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.text);
    Send(Msg::kMessage_RenameGameName, c.text);
    EXPECT_EQ(plugin::PendingRenameName(), c.saveName);
  }
  // In Shift-JIS the second byte of "ソ" (83 5C) is a backslash's: it
  // separates nothing.
  platform::testing::OverrideCodePage(932);
  Send(Msg::kMessage_RenameGameName, "C:\\Saves\\Save \x83\x5C\\\x83\x5C.nvse.bak");
  EXPECT_EQ(plugin::PendingRenameName(), "\x83\x5C.fos.bak");
  platform::testing::OverrideCodePage(0);
}

TEST_F(MessagesTest, ANewGameStraightAfterALoadKeepsWhatWasLoaded) {
  TheStore().Entry<EvKind::Float>(1, "k") = 2.0f;
  Send(Msg::kMessage_SaveGame, "Save 7.fos");
  Send(Msg::kMessage_LoadGame, "Save 7.fos");
  ClearLog();
  Send(Msg::kMessage_NewGame);
  EXPECT_EQ(Log(),
            "Received newgame message straight after a load (the save has no co-save): keeping "
            "the values just loaded\r\n");
  EXPECT_EQ(Found(TheStore().Find<EvKind::Float>(1, "k")), 2.0f);
  // Any message in between, and a second new game, clear as usual.
  for (UInt32 between : {Msg::kMessage_PostLoadGame, Msg::kMessage_NewGame}) {
    Send(Msg::kMessage_LoadGame, "Save 7.fos");
    Send(between);
    Send(Msg::kMessage_NewGame);
    EXPECT_EQ(TheStore().EntryCount(EvKind::Float), 0u) << between;
  }
}

TEST_F(MessagesTest, OtherTypesAreIgnoredSilently) {
  TheStore().Entry<EvKind::Float>(1, "k") = 1.0f;
  for (UInt32 type : {5u, 6u, 13u, 19u, 100u, 0xFFFFFFFFu}) Send(type, "Save 1");
  plugin::MessageHandler(nullptr);
  EXPECT_EQ(Log(), "");
  EXPECT_EQ(TheStore().EntryCount(EvKind::Float), 1u);
  EXPECT_EQ(g_lookUps, 0);
  EXPECT_FALSE(fs::exists(SavesDir()));
}

// What the game check at deferred init finds, served by a game of its own.
struct CheckedGame {
  UInt32 forms = 0;
  std::vector<const char*> mods;
  enum class Player { None, NotActor, NoProcess, Process } player = Player::None;
  UInt32 level = 0;
};
CheckedGame g_checked;
char g_playerObject, g_processObject;

CVEngineInterface MakeCheckedEngine() {
  using Player = CheckedGame::Player;
  CVEngineInterface e{};
  e.version = CVEngineInterface::kVersion;
  e.GetFormCount = [] { return g_checked.forms; };
  e.GetModCount = [] { return static_cast<UInt32>(g_checked.mods.size()); };
  e.GetModName = [](UInt32 i) { return i < g_checked.mods.size() ? g_checked.mods[i] : nullptr; };
  e.LookupFormByID = [](UInt32 id) {
    return id == 0x14 && g_checked.player != Player::None
               ? reinterpret_cast<TESForm*>(&g_playerObject)
               : nullptr;
  };
  e.DynamicCast = [](void* object, UInt32 kind) -> void* {
    if (object != &g_playerObject) return nullptr;
    if (kind == kCVKind_Reference) return object;
    return kind == kCVKind_Actor && g_checked.player >= Player::NoProcess ? object : nullptr;
  };
  e.GetAIProcess = [](TESObjectREFR*) -> void* {
    return g_checked.player == Player::Process ? &g_processObject : nullptr;
  };
  e.GetProcessLevel = [](void* p) {
    return p == &g_processObject ? g_checked.level : kCVNoProcessLevel;
  };
  return e;
}
const CVEngineInterface g_checkedEngine = MakeCheckedEngine();

TEST_F(MessagesTest, DeferredInitLogsWhatTheGameCheckFinds) {
  using Player = CheckedGame::Player;
  const std::vector<const char*> twelve = {"FalloutNV.esm",
                                           "DeadMoney.esm",
                                           "HonestHearts.esm",
                                           "OldWorldBlues.esm",
                                           "LonesomeRoad.esm",
                                           "GunRunnersArsenal.esm",
                                           "ClassicPack.esm",
                                           "MercenaryPack.esm",
                                           "TribalPack.esm",
                                           "CaravanPack.esm",
                                           "A.esp",
                                           "B.esp"};
  struct Case {
    CheckedGame game;
    const char* line;
  };
  const Case cases[] = {
      {{48213, twelve, Player::Process, 0},
       "Game check: 48213 forms, 12 mods (first FalloutNV.esm), player 00000014 is an actor, "
       "process level 0"},
      {{}, "Game check: no forms, no mods, no player 00000014"},
      {{1, {"Only.esm"}, Player::NotActor, 0},
       "Game check: 1 form, 1 mod (first Only.esm), player 00000014 is not an actor"},
      {{2, {nullptr, "B.esp"}, Player::NoProcess, 0},
       "Game check: 2 forms, 2 mods (first unreadable), player 00000014 is an actor, "
       "no AI process"},
      {{7, {"FalloutNV.esm"}, Player::Process, 3},
       "Game check: 7 forms, 1 mod (first FalloutNV.esm), player 00000014 is an actor, "
       "process level 3"},
  };
  game::Bind(&g_checkedEngine);
  for (const Case& c : cases) {
    g_checked = c.game;
    ClearLog();
    Send(Msg::kMessage_DeferredInit);
    EXPECT_EQ(Log(), std::string(c.line) + "\r\n");
  }
  // Without an engine every part is missing, and nothing else happens.
  game::Bind(nullptr);
  ClearLog();
  Send(Msg::kMessage_DeferredInit);
  EXPECT_EQ(Log(), "Game check: no forms, no mods, no player 00000014\r\n");
  EXPECT_EQ(g_lookUps, 0);
}

}  // namespace
}  // namespace cv::persist::testing
