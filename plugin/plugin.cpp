#include "plugin/plugin.h"

#include <sqlite3.h>

#include <string>

#include "host/engine_choice.h"
#include "host/game.h"
#include "host/host.h"
#include "log/log.h"
#include "persist/game_root.h"
#include "persist/settings.h"
#include "platform/platform.h"
#include "plugin/command_table.h"
#include "plugin/messages.h"
#include "plugin/version_command.h"

namespace cv::plugin {

namespace {

// The connection opened at load; kept so that it can be closed when the
// library unloads. No statement is ever run on it.
struct Database {
  sqlite3* db = nullptr;
  ~Database() { Close(); }
  void Close() noexcept {
    if (db != nullptr) sqlite3_close(db);
    db = nullptr;
  }
};

Database& TheDatabase() {
  static Database database;
  return database;
}

void OpenDatabase() {
  std::string root = persist::FindGameRoot();
  if (root.empty()) return;
  std::string path = root + "Data\\NVSE\\Plugins\\Corvane\\savedata.db";
  Database& d = TheDatabase();
  d.Close();
  // SQLite takes UTF-8 file names; the root is in the system's code page.
  sqlite3_open_v2(platform::Utf8Path(platform::NativePath(path)).c_str(), &d.db,
                  SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE, nullptr);
}

template <class T>
T* Interface(const NVSEInterface* nvse, UInt32 id) {
  return nvse->QueryInterface != nullptr ? static_cast<T*>(nvse->QueryInterface(id)) : nullptr;
}

}  // namespace

bool Query(const NVSEInterface* nvse, PluginInfo* info) noexcept {
  if (info != nullptr) {
    info->infoVersion = PluginInfo::kInfoVersion;
    info->name = "Corvane";
    info->version = kPluginVersion;
  }
  if (nvse == nullptr) return false;
  if (nvse->isEditor != 0) return true;
  if (nvse->runtimeVersion != kSupportedRuntime) {
    LogMessage("Standard corvane aborting in NOGORE FONV");
    return false;
  }
  LogMessage("Standard Corvane ready");
  return true;
}

bool Load(const NVSEInterface* nvse) noexcept {
  if (nvse == nullptr) return true;
  host::Slots& slots = host::TheSlots();
  if (nvse->GetPluginHandle != nullptr) slots.pluginHandle = nvse->GetPluginHandle();
  if (nvse->SetOpcodeBase != nullptr) nvse->SetOpcodeBase(kOpcodeBase);

  CommandRow* table = CommandTable();
  for (std::size_t i = 0; i < kCommandCount; ++i) {
    CommandRow& row = table[i];
    if (row.typed) {
      if (nvse->RegisterTypedCommand != nullptr)
        nvse->RegisterTypedCommand(&row.info, row.returnType);
    } else if (nvse->RegisterCommand != nullptr) {
      nvse->RegisterCommand(&row.info);
    }
  }
  slots.getQuestVariable = nullptr;

  if (nvse->isEditor != 0) return true;

  try {
    OpenDatabase();
  } catch (...) {
    // A database that cannot be opened goes unnoticed, as does any failure
    // building its path.
  }

  persist::clearsettings();
  if (auto* messaging = Interface<NVSEMessagingInterface>(nvse, kInterface_Messaging);
      messaging != nullptr && messaging->RegisterListener != nullptr)
    messaging->RegisterListener(slots.pluginHandle, "NVSE", MessageHandler);

  slots.arrayVar = Interface<NVSEArrayVarInterface>(nvse, kInterface_ArrayVar);
  slots.stringVar = Interface<NVSEStringVarInterface>(nvse, kInterface_StringVar);
  slots.script = Interface<NVSEScriptInterface>(nvse, kInterface_Script);
  slots.commandTable = Interface<NVSECommandTableInterface>(nvse, kInterface_CommandTable);

  // The host hands out no engine table: the plug-in finds the game itself,
  // and always says what it found.
  host::EngineChoice engine = host::ChooseEngine(nvse->runtimeVersion);
  game::Bind(engine.table);
  LogMessage("Corvane %d, runtime %08X, NVSE %08X, engine: %s", static_cast<int>(kPluginVersion),
             static_cast<unsigned>(nvse->runtimeVersion), static_cast<unsigned>(nvse->nvseVersion),
             engine.name);
  if (engine.table == nullptr)
    LogMessage("No game engine found: Corvane's commands will return nothing");
  for (const std::string& name : engine.classesNotNamed)
    LogMessage("Game class %s not found: what needs it will return nothing", name.c_str());
  return true;
}

void CloseDatabase() noexcept { TheDatabase().Close(); }

}  // namespace cv::plugin
