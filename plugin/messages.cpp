#include "plugin/messages.h"

#include <cctype>
#include <string_view>
#include <utility>

#include "host/game.h"
#include "host/host.h"
#include "log/guard.h"
#include "log/log.h"
#include "persist/settings.h"
#include "platform/platform.h"

namespace cv::plugin {

namespace {

using Msg = NVSEMessagingInterface;

std::string& PendingName() {
  static std::string name;
  return name;
}

// Whether the pending name is waiting for its new name. The host sends a
// rename as 12, 16, 13, 17 (RenameGame, RenameGameName, RenameNewGame,
// RenameNewGameName; game-facts §8.5), so only a 13 may stand between a 16
// and its 17, and a name is used by one 17 at most.
bool& RenamePending() {
  static bool pending = false;
  return pending;
}

// Fills the GetQuestVariable slot once the command table can answer; a record
// once found is never looked up again. True when this call found it.
bool LookUpQuestVariable() {
  host::Slots& slots = host::TheSlots();
  if (slots.commandTable == nullptr || slots.getQuestVariable != nullptr) return false;
  slots.getQuestVariable = host::CommandByName("GetQuestVariable");
  return slots.getQuestVariable != nullptr;
}

// The type of the message before the one being handled; none before the
// first.
constexpr UInt32 kNoMessage = 0xFFFFFFFF;
UInt32& PreviousType() {
  static UInt32 type = kNoMessage;
  return type;
}

// The text a message carries (a save name), or "" when it carries none.
std::string Text(const Msg::Message& msg) {
  return msg.data != nullptr ? std::string(static_cast<const char*>(msg.data)) : std::string();
}

bool EndsWithFolded(std::string_view text, std::string_view suffix) {
  if (text.size() < suffix.size()) return false;
  text.remove_prefix(text.size() - suffix.size());
  for (std::size_t i = 0; i < suffix.size(); ++i)
    if (std::tolower(static_cast<unsigned char>(text[i])) != suffix[i]) return false;
  return true;
}

// The rename messages carry the co-save's full path, "C:\...\Saves\X.nvse"
// with any ".bak" suffixes kept, where the other messages carry the save's
// file name "X.fos". The save name is the last path component with that
// ".nvse" put back to ".fos"; a text of any other form is kept as it is.
std::string SaveNameOfCoSave(const std::string& path) {
  // The last component, read a character at a time: the second byte of a
  // two-byte character may be a backslash's. The suffixes below can be
  // compared as bytes: they begin with a dot, which is never part of a
  // two-byte character.
  std::string_view name = path;
  for (std::size_t i = 0; i < path.size();) {
    if (path[i] == '\\' || path[i] == '/') name = std::string_view(path).substr(i + 1);
    const std::size_t next = platform::NextChar(path, i);
    i = next > i ? next : i + 1;
  }
  std::string_view stem = name;
  std::size_t baks = 0;
  while (EndsWithFolded(stem, ".bak")) {
    stem.remove_suffix(4);
    ++baks;
  }
  if (!EndsWithFolded(stem, ".nvse")) return std::string(name);
  stem.remove_suffix(5);
  return std::string(stem) + ".fos" + std::string(name.substr(name.size() - 4 * baks));
}

void Handle(const Msg::Message& msg, UInt32 previousType) {
  switch (msg.type) {
    case Msg::kMessage_PostLoad:
      LogMessage("Received post init message");
      if (LookUpQuestVariable()) LogMessage("GETQUESTVAR pointer get SUCCESS");
      break;
    case Msg::kMessage_DeferredInit:
      // The first frame of the game's main loop: its data exist now. One
      // line says what the engine finds there, for a player to read.
      LogMessage("%s", game::GameCheckLine().c_str());
      break;
    case Msg::kMessage_NewGame:
      // The host follows a load with a new-game message when the save has no
      // co-save; the values just read from the save's own file stay.
      if (previousType == Msg::kMessage_LoadGame) {
        LogMessage(
            "Received newgame message straight after a load (the save has no co-save): "
            "keeping the values just loaded");
        break;
      }
      [[fallthrough]];
    case Msg::kMessage_ExitGame:
    case Msg::kMessage_ExitToMainMenu:
      LogMessage("Received exit or newgame message");
      LookUpQuestVariable();
      persist::clearsettings();
      break;
    case Msg::kMessage_LoadGame: {
      std::string text = Text(msg);
      LogMessage("Received load message with file path %s", text.c_str());
      LookUpQuestVariable();
      persist::loadsettings(text);
      break;
    }
    case Msg::kMessage_SaveGame: {
      std::string text = Text(msg);
      LogMessage("Received save message with file path %s", text.c_str());
      persist::save(text);
      break;
    }
    case Msg::kMessage_DeleteGameName: {
      std::string text = Text(msg);
      LogMessage("Received delete message with file path '%s'", text.c_str());
      persist::deleteSavegame(text);
      break;
    }
    case Msg::kMessage_RenameGameName: {
      std::string text = Text(msg);
      LogMessage("Received rename message with file path '%s'", text.c_str());
      PendingName() = SaveNameOfCoSave(text);
      RenamePending() = true;
      break;
    }
    case Msg::kMessage_RenameNewGameName: {
      std::string text = Text(msg);
      LogMessage("Received rename newgame message with file path '%s'", text.c_str());
      if (!std::exchange(RenamePending(), false)) {
        LogMessage("No rename message came just before it: nothing is renamed");
        break;
      }
      persist::renameSavegame(PendingName(), SaveNameOfCoSave(text));
      break;
    }
    default: break;  // every other type is ignored without a log line
  }
}

}  // namespace

void MessageHandler(NVSEMessagingInterface::Message* msg) noexcept {
  Guarded({"messagehandler"}, [&] {
    if (msg == nullptr) return;
    // Any message but the two that belong between them parts a 16 from a 17.
    if (msg->type != Msg::kMessage_RenameNewGame && msg->type != Msg::kMessage_RenameNewGameName)
      RenamePending() = false;
    const UInt32 previous = std::exchange(PreviousType(), msg->type);
    Handle(*msg, previous);
  });
}

const std::string& PendingRenameName() { return PendingName(); }
void ResetPendingRenameForTesting() {
  PendingName().clear();
  RenamePending() = false;
  PreviousType() = kNoMessage;
}

}  // namespace cv::plugin
