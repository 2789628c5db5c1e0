// The save and load lifecycle.
#include "persist/settings.h"

#include <cstdio>
#include <memory>
#include <new>
#include <optional>
#include <vector>

#include "ev/store.h"
#include "host/game.h"
#include "log/guard.h"
#include "log/log.h"
#include "persist/mod_maps.h"
#include "persist/save_name.h"
#include "persist/savedata.h"
#include "platform/platform.h"
#include "persist/game_root.h"

namespace cv::persist {

namespace {

constexpr const char* kSaveFolder = "Data\\NVSE\\Plugins\\Corvane\\Saves\\";

std::string& SavePath() {
  static std::string path;
  return path;
}

// The save-data file that the last load could not read whole (it could not
// be opened, a read failed, or memory ran out), or "". The next save to that
// path moves it aside first, so that what was never read is not overwritten.
std::string& UnreadPath() {
  static std::string path;
  return path;
}

// Sets the save-data path for fileName and creates its folders; false (and
// the path kept as it was) when the game root is unknown.
bool SetSaveFile(const std::string& fileName) {
  std::string root = FindGameRoot();
  if (root.empty()) return false;
  std::string path = root + kSaveFolder + fileName;
  // Every folder on the way, outermost first; failures (it exists, or it
  // names a drive) are ignored. Read a character at a time: the second byte
  // of a two-byte character may be a backslash's.
  for (std::size_t i = platform::NextChar(path, 0); i < path.size();
       i = platform::NextChar(path, i))
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

// Save names as this system's file names read them.
bool IsSafe(const std::string& saveName) {
  return IsSafeSaveName(
      saveName, {platform::kReservedDeviceNames, &platform::NextChar, &platform::Utf16Text});
}

// Logs the refusal of a name that would leave the save-data folder.
bool AcceptSaveName(const std::string& saveName) {
  if (IsSafe(saveName)) return true;
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

// Moves the file at path aside when the last load could not read it: to a
// name beside it that ends in ".unread" (and a number when that is taken),
// which no save name gives. False when it is still there.
bool MoveUnreadAside(const std::string& path) {
  std::string& unread = UnreadPath();
  if (unread.empty() || !platform::SamePath(unread, path)) return true;
  if (!platform::FileExists(path)) {
    unread.clear();
    return true;
  }
  for (int i = 1; i <= 100; ++i) {
    const std::string aside = path + ".unread" + (i > 1 ? std::to_string(i) : std::string());
    if (platform::FileExists(aside)) continue;
    if (!platform::MoveFileNoReplace(path, aside)) {
      const std::string why = platform::LastErrorText();
      LogMessage("Failed renaming savefile %s to %s: %s", path.c_str(), aside.c_str(), why.c_str());
      return false;
    }
    LogMessage("Moved the unread savefile %s to %s", path.c_str(), aside.c_str());
    unread.clear();
    return true;
  }
  LogMessage("Failed renaming savefile %s: every name beside it is taken", path.c_str());
  return false;
}

// Reads the save-data file at path into the reader. A file that is not
// there is the quiet case; anything else that keeps the file from being
// read whole is logged and leaves the path in UnreadPath().
void ReadSaveData(const std::string& path, SaveDataReader& reader) {
  if (path.empty()) {
    LogMessage("Failed opening savefile %s", path.c_str());
    return;
  }
  UnreadPath() = path;  // until the last byte was read
  bool missing = false;
  std::unique_ptr<std::FILE, FileCloser> file(platform::OpenForReading(path, &missing));
  if (file == nullptr) {
    const std::string why = platform::LastErrorText();
    if (missing) {
      UnreadPath().clear();
      LogMessage("Failed opening savefile %s", path.c_str());
    } else {
      LogMessage("Failed reading savefile %s: %s", path.c_str(), why.c_str());
    }
    return;
  }
  bool outOfMemory = false;
  bool read = false;
  std::string why;
  try {
    read = reader.ReadAll([&](char* buffer, std::size_t size, std::size_t* got) {
      if (platform::ReadBytes(file.get(), buffer, size, got)) return true;
      why = platform::LastErrorText();
      return false;
    });
  } catch (const std::bad_alloc&) {
    outOfMemory = true;
  }
  if (outOfMemory || reader.OutOfMemory()) {
    LogMessage("Out of memory reading savefile %s: stopped after %llu records", path.c_str(),
               static_cast<unsigned long long>(reader.Records()));
    return;
  }
  if (!read) {
    LogMessage("Failed reading savefile %s: %s", path.c_str(), why.c_str());
    return;
  }
  UnreadPath().clear();
}

bool WriteToFile(void* file, const char* data, std::size_t size) {
  return static_cast<platform::ReplacingFile*>(file)->Write(data, size);
}

// The rows of the file, each kind under its log line; with no writer, the
// log lines alone.
void WriteSaveData(SaveDataWriter* writer) {
  const EvStore& store = TheStore();
  LogIndent();
  if (writer != nullptr)
    for (UInt32 i = 0, n = game::ModCount(); i < n; ++i)
      writer->ModRow(i, ModNameForSave(i, game::ModName(i)));
  LogOutdent();
  LogMessage("EVST");
  LogIndent();
  if (writer != nullptr) writer->StringRows(store);
  LogOutdent();
  LogMessage("EVFO");
  LogIndent();
  if (writer != nullptr) writer->FormRows(store);
  LogOutdent();
  LogMessage("EVFL");
  LogIndent();
  if (writer != nullptr) writer->FloatRows(store);
  LogOutdent();
}

// Writes the save-data file at path: the rows go to a temporary file as they
// are formatted, and replace the file at path only once all were written.
// False (and the file at path as it was) when that failed.
bool WriteSaveDataFile(const std::string& path) {
  std::optional<platform::ReplacingFile> file;
  if (!path.empty() && MoveUnreadAside(path)) file.emplace(path);
  if (!file || !file->IsOpen()) {
    WriteSaveData(nullptr);
    return false;
  }
  SaveDataWriter writer({&WriteToFile, &*file});
  WriteSaveData(&writer);
  return writer.Finish() && file->Commit();
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
    if (!WriteSaveDataFile(path)) LogMessage("Failed writing savefile %s", path.c_str());
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
      // Nothing was read: the save's file, if it has one, is kept from the
      // next save as a file that could not be read.
      const std::string root = FindGameRoot();
      if (!root.empty() && IsSafe(saveName)) UnreadPath() = SaveDataPath(root, saveName);
    } else {
      newmodmap();
      if (AcceptSaveName(saveName)) ReadSaveData(SaveFileFor(saveName), reader);
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
    std::string root = FindGameRoot();
    if (root.empty()) return;
    if (!AcceptSaveName(saveName)) return;
    std::string path = SaveDataPath(root, saveName);
    LogMessage("Remove '%s'", path.c_str());
    if (platform::DeleteFile(path)) {
      LogMessage("Savegame %s deleted", path.c_str());
      if (platform::SamePath(UnreadPath(), path)) UnreadPath().clear();
    } else
      LogMessage("Error removing savegame %s", path.c_str());
  });
}

void renameSavegame(std::string fromName, std::string toName) {
  Guarded({"renameSavegame"}, [&] {
    std::string root = FindGameRoot();
    if (root.empty()) return;
    bool fromOk = AcceptSaveName(fromName);
    bool toOk = AcceptSaveName(toName);
    if (!fromOk || !toOk) return;
    std::string from = SaveDataPath(root, fromName);
    std::string to = SaveDataPath(root, toName);
    LogMessage("Renaming '%s' to '%s'", from.c_str(), to.c_str());
    // The game renames a save to its ".bak" over the previous backup on every
    // quick save and autosave, so the backup's values replace the old ones.
    // A target that could not be read is moved aside first, as a save moves
    // it, so the rotation goes on and nothing unread is overwritten. Without
    // a file to move, an existing target stays untouched.
    const bool source = platform::FileExists(from);
    const bool sameFile = platform::SamePath(from, to);  // a change of letter case at most
    if (source && !sameFile && !MoveUnreadAside(to)) return;
    const bool replace = source && !sameFile && platform::FileExists(to);
    const bool moved =
        replace ? platform::MoveFileReplacing(from, to) : platform::MoveFileNoReplace(from, to);
    if (!moved) {
      const std::string why = platform::LastErrorText();
      LogMessage("Failed renaming savefile %s to %s: %s", from.c_str(), to.c_str(), why.c_str());
    } else if (platform::SamePath(UnreadPath(), from)) {
      UnreadPath() = to;  // what was not read keeps its protection
    }
  });
}

}  // namespace cv::persist
