// Query and load against a recording host.
#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "host/engine_choice.h"
#include "host/host.h"
#include "log/log.h"
#include "platform/platform.h"
#include "plugin/command_table.h"
#include "persist/game_root.h"
#include "plugin/plugin.h"

namespace {

struct Recorder {
  std::vector<std::string> calls;
  std::vector<UInt32> interfaceIds;
  std::vector<const CommandInfo*> commands;
  std::vector<CommandReturnType> returnTypes;
  UInt32 nextOpcode = 0;
  NVSEMessagingInterface::EventCallback listener = nullptr;
  std::string listenerSender;
};
Recorder g_rec;

NVSEMessagingInterface g_messaging = {
    1,
    [](PluginHandle, const char* sender, NVSEMessagingInterface::EventCallback cb) {
      g_rec.calls.push_back("RegisterListener");
      g_rec.listener = cb;
      g_rec.listenerSender = sender;
      return true;
    },
    nullptr};

NVSEInterface MakeHost(UInt32 runtime, UInt32 editor) {
  NVSEInterface nvse{};
  nvse.nvseVersion = 0x06030000;
  nvse.runtimeVersion = runtime;
  nvse.isEditor = editor;
  nvse.GetPluginHandle = [] {
    g_rec.calls.push_back("GetPluginHandle");
    return PluginHandle{42};
  };
  nvse.SetOpcodeBase = [](UInt32 base) {
    g_rec.calls.push_back("SetOpcodeBase");
    g_rec.nextOpcode = base;
  };
  nvse.RegisterCommand = [](CommandInfo* info) {
    info->opcode = g_rec.nextOpcode++;
    g_rec.commands.push_back(info);
    g_rec.returnTypes.push_back(kRetnType_Default);
    return true;
  };
  nvse.RegisterTypedCommand = [](CommandInfo* info, CommandReturnType type) {
    info->opcode = g_rec.nextOpcode++;
    g_rec.commands.push_back(info);
    g_rec.returnTypes.push_back(type);
    return true;
  };
  nvse.QueryInterface = [](UInt32 id) -> void* {
    g_rec.interfaceIds.push_back(id);
    return id == kInterface_Messaging ? &g_messaging : nullptr;
  };
  return nvse;
}

std::string ReadAll(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

class EntryTest : public ::testing::Test {
 protected:
  void SetUp() override {
    g_rec = Recorder{};
    cv::host::TheSlots() = cv::host::Slots{};
    ASSERT_NE(cv::LogOpen("entry.log"), nullptr);
    ::testing::internal::CaptureStdout();
  }
  void TearDown() override {
    ::testing::internal::GetCapturedStdout();
    cv::LogOpen("corvane.log");
  }
  std::string Log() {
    cv::LogClose();
    std::string text = ReadAll("entry.log");
    cv::LogOpen("entry-rest.log");
    return text;
  }
};

TEST_F(EntryTest, QueryFillsTheRecordAndAcceptsOnlyTheSupportedRuntime) {
  for (UInt32 runtime : {0x040020D0u, 0x040020D1u, 0u, 0x040020C0u}) {
    NVSEInterface nvse = MakeHost(runtime, 0);
    PluginInfo info{};
    EXPECT_EQ(cv::plugin::Query(&nvse, &info), runtime == 0x040020D0u) << std::hex << runtime;
    EXPECT_EQ(info.infoVersion, 1u);
    EXPECT_STREQ(info.name, "Corvane");
    EXPECT_EQ(info.version, 19u);
  }
  EXPECT_EQ(Log(),
            "Standard Corvane ready\r\n"
            "Standard corvane aborting in NOGORE FONV\r\n"
            "Standard corvane aborting in NOGORE FONV\r\n"
            "Standard corvane aborting in NOGORE FONV\r\n");
}

TEST_F(EntryTest, QueryInTheEditorAcceptsAnyRuntimeSilently) {
  NVSEInterface nvse = MakeHost(0x12345678, 1);
  PluginInfo info{};
  EXPECT_TRUE(cv::plugin::Query(&nvse, &info));
  EXPECT_STREQ(info.name, "Corvane");
  EXPECT_EQ(Log(), "");
}

void ExpectTableRegistered() {
  ASSERT_EQ(g_rec.commands.size(), 21u);
  const char* names[] = {"CV_GetVersion",
                         "CV_IsUsingSkeleton",
                         "CV_IsInList",
                         "CV_SetEVFl",
                         "CV_GetEVFl",
                         "CV_SetEVFo",
                         "CV_GetEVFo",
                         "CV_GetConversationPartner",
                         "CV_ClrEVFl",
                         "CV_ClrEVFo",
                         "CV_GetQVEVFl",
                         "CV_SetEVSt",
                         "CV_GetEVSt",
                         "CV_ClrEVSt",
                         "CV_GetEVFlAr",
                         "CV_GetEVFoAr",
                         "CV_GetEVStAr",
                         "CV_GetRandom",
                         "CV_GetSkeletonPath",
                         "CV_SetEvConversationSubject",
                         "CV_SetEvConversationTarget"};
  for (std::size_t i = 0; i < 21; ++i) {
    const CommandInfo* c = g_rec.commands[i];
    EXPECT_STREQ(c->longName, names[i]);
    EXPECT_EQ(c->opcode, 0x2140 + i) << names[i];
    EXPECT_NE(c->execute, nullptr);
    EXPECT_EQ(c->parse, nullptr);
    std::string help = c->helpText;
    EXPECT_TRUE(help.size() > 2 && help.front() == '"' && help.back() == '"') << help;
    bool evaluated = i == 4 || i == 10;
    EXPECT_EQ(c->flags, evaluated ? 1u : 0u) << names[i];
    EXPECT_EQ(c->eval != nullptr, evaluated) << names[i];
    EXPECT_STREQ(c->shortName, i == 4 ? "GetEVFl" : i == 10 ? "GetQVEVFl" : "");
    CommandReturnType expected = (i == 12 || i == 18)   ? kRetnType_String
                                 : (i >= 14 && i <= 16) ? kRetnType_Array
                                                        : kRetnType_Default;
    EXPECT_EQ(g_rec.returnTypes[i], expected) << names[i];
    bool noParent = i == 0 || i == 2 || i == 17;
    EXPECT_EQ(c->needsParent, noParent ? 0 : 1) << names[i];
    for (UInt16 p = 0; p < c->numParams; ++p) EXPECT_NE(c->params[p].typeStr, nullptr);
  }
  // Identical parameter lists are shared.
  EXPECT_EQ(g_rec.commands[8]->params, g_rec.commands[16]->params);
  EXPECT_EQ(g_rec.commands[4]->params, g_rec.commands[6]->params);
  EXPECT_EQ(g_rec.commands[17]->numParams, 2);
  EXPECT_EQ(g_rec.commands[17]->params[1].typeID, kParamType_Integer);
  EXPECT_EQ(g_rec.commands[10]->params[0].typeID, kParamType_Quest);
  EXPECT_EQ(g_rec.commands[2]->params[0].typeID, kParamType_FormList);
  EXPECT_EQ(g_rec.commands[2]->params[2].isOptional, 1u);
}

TEST_F(EntryTest, LoadInTheEditorOnlyRegistersCommands) {
  NVSEInterface nvse = MakeHost(0x040020D0, 1);
  EXPECT_TRUE(cv::plugin::Load(&nvse));
  ASSERT_GE(g_rec.calls.size(), 2u);
  EXPECT_EQ(g_rec.calls[0], "GetPluginHandle");
  EXPECT_EQ(g_rec.calls[1], "SetOpcodeBase");
  ExpectTableRegistered();
  EXPECT_TRUE(g_rec.interfaceIds.empty());
  EXPECT_EQ(g_rec.listener, nullptr);
  EXPECT_EQ(cv::host::TheSlots().pluginHandle, 42u);
  EXPECT_EQ(cv::host::TheSlots().script, nullptr);
  EXPECT_EQ(Log(), "");
}

TEST_F(EntryTest, LoadInTheGameRequestsInterfacesInOrder) {
  NVSEInterface nvse = MakeHost(0x040020D0, 0);
  EXPECT_TRUE(cv::plugin::Load(&nvse));
  ExpectTableRegistered();
  // Messaging for the listener first, then array, string, script and
  // command table; the host serves no engine table.
  std::vector<UInt32> expected = {kInterface_Messaging, kInterface_ArrayVar, kInterface_StringVar,
                                  kInterface_Script, kInterface_CommandTable};
  EXPECT_EQ(g_rec.interfaceIds, expected);
  EXPECT_NE(g_rec.listener, nullptr);
  EXPECT_EQ(g_rec.listenerSender, "NVSE");
  const std::string log = Log();
  EXPECT_NE(log.find("Corvane settings cleared\r\n"), std::string::npos);
  // The start-up line names what the plug-in found in this program (the
  // simulated game when the linker kept it, else nothing), and warns when
  // that is nothing.
  const std::string found = cv::host::ChooseEngine(0x040020D0).name;
  const std::string line = "Corvane 19, runtime 040020D0, NVSE 06030000, engine: " + found + "\r\n";
  EXPECT_NE(log.find(line), std::string::npos) << log;
  EXPECT_EQ(log.find("No game engine found: Corvane's commands will return nothing\r\n") !=
                std::string::npos,
            found == "none")
      << log;
}

class DatabaseTest : public EntryTest {
 protected:
  void TearDown() override {
    cv::plugin::CloseDatabase();
    cv::platform::testing::OverrideMainExecutablePath(nullptr);
    cv::persist::ResetGameRootForTesting();
    EntryTest::TearDown();
  }
};

TEST_F(DatabaseTest, DatabaseFileIsCreatedExactlyWhenItsFolderExists) {
  namespace fs = std::filesystem;
  fs::path root = fs::absolute("dbroot");
  fs::remove_all(root);
  fs::create_directories(root);
  std::string exe = (root / "game.exe").string();
  for (char& c : exe)
    if (c == '/') c = '\\';
  cv::platform::testing::OverrideMainExecutablePath(exe.c_str());
  fs::path db = root / "Data" / "NVSE" / "Plugins" / "Corvane" / "savedata.db";

  NVSEInterface nvse = MakeHost(0x040020D0, 0);
  cv::persist::ResetGameRootForTesting();
  cv::plugin::Load(&nvse);
  cv::plugin::CloseDatabase();
  EXPECT_FALSE(fs::exists(db));
  EXPECT_FALSE(fs::exists(db.parent_path()));

  fs::create_directories(db.parent_path());
  cv::plugin::Load(&nvse);
  cv::plugin::CloseDatabase();
  EXPECT_TRUE(fs::exists(db));
  EXPECT_EQ(fs::file_size(db), 0u);

  // The editor opens nothing.
  fs::remove(db);
  NVSEInterface editor = MakeHost(0x040020D0, 1);
  cv::plugin::Load(&editor);
  EXPECT_FALSE(fs::exists(db));
}

// A game folder named in the system's code page with a letter beyond ASCII
// ("caf\xE9" in code page 1252): SQLite, which takes UTF-8, creates the
// database file in that folder.
TEST_F(DatabaseTest, TheDatabaseIsCreatedUnderAGameFolderWithAnAccentedName) {
  namespace fs = std::filesystem;
  const fs::path base = fs::absolute("dbaccent");
  fs::remove_all(base);
  const fs::path root = base / fs::path(u8"caf\u00e9");
  const fs::path db = root / "Data" / "NVSE" / "Plugins" / "Corvane" / "savedata.db";
  fs::create_directories(db.parent_path());
  std::string exe = base.string() + "\\caf\xE9\\game.exe";
  for (char& c : exe)
    if (c == '/') c = '\\';
  cv::platform::testing::OverrideCodePage(1252);
  cv::platform::testing::OverrideMainExecutablePath(exe.c_str());
  cv::persist::ResetGameRootForTesting();
  NVSEInterface nvse = MakeHost(0x040020D0, 0);
  cv::plugin::Load(&nvse);
  cv::plugin::CloseDatabase();
  cv::platform::testing::OverrideCodePage(0);
  EXPECT_TRUE(fs::exists(db));
  std::vector<std::string> names;
  for (const auto& e : fs::directory_iterator(base)) names.push_back(e.path().filename().string());
  EXPECT_EQ(names.size(), 1u) << "a folder made under another name";
}

}  // namespace
