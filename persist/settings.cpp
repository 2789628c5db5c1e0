// The save and load lifecycle.
#include "persist/settings.h"

#include <cstdio>
#include <memory>

#include "ev/store.h"
#include "host/game.h"
#include "log/guard.h"
#include "log/log.h"
#include "persist/mod_maps.h"
#include "persist/save_name.h"
#include "persist/savedata.h"
#include "platform/platform.h"
#include "plugin/game_root.h"

namespace cv::persist {

namespace {

constexpr const char* kSaveFolder = "Data\\NVSE\\Plugins\\Corvane\\Saves\\";

std::string& SavePath() {
  static std::string path;
  return path;
}

// Sets the save-data path for fileName and creates its folders; false (and
// the path kept as it was) when the game root is unknown.
bool SetSaveFile(const std::string& fileName) {
  std::string root = plugin::FindGameRoot();
  if (root.empty()) return false;
  std::string path = root + kSaveFolder + fileName;
  // Every folder on the way, outermost first; failures (it exists, or it
  // names a drive) are ignored.
  for (std::size_t i = 1; i < path.size(); ++i)
    if (path[i] == '\\' || path[i] == '/') platform::CreateDir(path.substr(0, i));
  SavePath() = std::move(path);
  return true;
}

// The path that save and load use: the one set for this save name, or ""
// when it could not be set (so an older path is never written by mistake).
std::string SaveFileFor(const std::string& saveName) {
  bool set = false;
  Guarded({"setsavefile"}, [&] { set = SetSaveFile(saveName + ".csv"); });
  return set ? SavePath() : std::string();
}

// Logs the refusal of a name that would leave the save-data folder.
bool AcceptSaveName(const std::string& saveName) {
  if (IsSafeSaveName(saveName)) return true;
  LogMessage("Refusing save name '%s'", saveName.c_str());
  return false;
}

// Lowers the indentation back to where a phase began, when a failure left
// it raised.
void OutdentTo(int level) {
  while (LogIndentLevel() > level) LogOutdent();
}

struct FileCloser {
  void operator()(std::FILE* f) const { std::fclose(f); }
};

// Rough size of a row, so that the buffer grows only once or twice.
constexpr std::size_t kRowEstimate = 48;

std::string FormatSaveData() {
  const EvStore& store = TheStore();
  std::string out;
  out.reserve(kRowEstimate * (game::ModCount() + store.EntryCount(EvKind::String) +
                              store.EntryCount(EvKind::Form) + store.EntryCount(EvKind::Float)));
  LogIndent();
  for (UInt32 i = 0, n = game::ModCount(); i < n; ++i) AppendModRow(out, i, game::ModName(i));
  LogOutdent();
  LogMessage("EVST");
  LogIndent();
  AppendStringRows(out, store);
  LogOutdent();
  LogMessage("EVFO");
  LogIndent();
  AppendFormRows(out, store);
  LogOutdent();
  LogMessage("EVFL");
  LogIndent();
  AppendFloatRows(out, store);
  LogOutdent();
  return out;
}

}  // namespace

const std::string& SaveFilePath() { return SavePath(); }

std::string SaveDataPath(const std::string& root, const std::string& saveName) {
  return root + kSaveFolder + saveName + ".csv";
}

void clearsettings() {
  Guarded({"clearsettings"}, [] {
    TheStore().ClearAll();
    TheModMaps().Reset();
    LogMessage("Corvane settings cleared");
  });
}

void setsavefile(std::string fileName) {
  Guarded({"setsavefile"}, [&] { SetSaveFile(fileName); });
}

void newmodmap() {
  Guarded({"newmodmap"}, [] {
    ModMaps& maps = TheModMaps();
    for (UInt32 i = 0, n = game::ModCount(); i < n; ++i) maps.SetLoaded(game::ModName(i), i);
  });
}

void save(std::string saveName) {
  const int level = LogIndentLevel();
  LogMessage("START: save settings");
  LogIndent();
  Guarded({"save"}, [&] {
    if (!AcceptSaveName(saveName)) return;
    const std::string path = SaveFileFor(saveName);
    LogMessage("Saving to: '%s'", path.c_str());
    std::string data = FormatSaveData();
    if (path.empty() || !platform::WriteFileReplacing(path, data))
      LogMessage("Failed writing savefile %s", path.c_str());
  });
  OutdentTo(level);
  LogMessage("END: save settings");
}

void loadsettings(std::string saveName) {
  const int level = LogIndentLevel();
  bool ok = Guarded({"loadsettings"}, [&] {
    LogMessage("START: load settings");
    LogIndent();
    clearsettings();
    SaveDataReader reader;
    if (int rc = reader.Init(); rc != 0) {
      LogMessage("csv_init failed with %u", static_cast<unsigned>(rc));
    } else {
      newmodmap();
      if (AcceptSaveName(saveName)) {
        const std::string path = SaveFileFor(saveName);
        std::unique_ptr<std::FILE, FileCloser> file(path.empty() ? nullptr
                                                                 : platform::OpenForReading(path));
        if (file == nullptr)
          LogMessage("Failed opening savefile %s", path.c_str());
        else if (!reader.ReadFile(file.get()))
          LogMessage("Failed reading savefile %s", path.c_str());
      }
    }
    LogOutdent();
    LogMessage("END: load settings");
  });
  // A failure ends the load without its END line; the indentation is put
  // back all the same.
  if (!ok) OutdentTo(level);
}

void deleteSavegame(std::string saveName) {
  Guarded({"deleteSavegame"}, [&] {
    std::string root = plugin::FindGameRoot();
    if (root.empty()) return;
    if (!AcceptSaveName(saveName)) return;
    std::string path = SaveDataPath(root, saveName);
    LogMessage("Remove '%s'", path.c_str());
    if (platform::DeleteFile(path))
      LogMessage("Savegame %s deleted", path.c_str());
    else
      LogMessage("Error removing savegame %s", path.c_str());
  });
}

void renameSavegame(std::string fromName, std::string toName) {
  Guarded({"renameSavegame"}, [&] {
    std::string root = plugin::FindGameRoot();
    if (root.empty()) return;
    bool fromOk = AcceptSaveName(fromName);
    bool toOk = AcceptSaveName(toName);
    if (!fromOk || !toOk) return;
    std::string from = SaveDataPath(root, fromName);
    std::string to = SaveDataPath(root, toName);
    LogMessage("Renaming '%s' to '%s'", from.c_str(), to.c_str());
    // The game renames a save to its ".bak" over the previous backup on every
    // quick save and autosave; the backup's values follow, so the old ones
    // go. Without a file to move, an existing target stays untouched.
    if (platform::FileExists(from) && platform::FileExists(to)) platform::DeleteFile(to);
    platform::MoveFileNoReplace(from, to);
  });
}

}  // namespace cv::persist
