#include "plugin/messages.h"

#include "host/host.h"
#include "log/guard.h"
#include "log/log.h"
#include "persist/settings.h"

namespace cv::plugin {

namespace {

using Msg = NVSEMessagingInterface;

std::string& PendingName() {
  static std::string name;
  return name;
}

// Fills the GetQuestVariable slot once the command table can answer; a record
// once found is never looked up again. True when this call found it.
bool LookUpQuestVariable() {
  host::Slots& slots = host::TheSlots();
  if (slots.commandTable == nullptr || slots.getQuestVariable != nullptr) return false;
  slots.getQuestVariable = host::CommandByName("GetQuestVariable");
  return slots.getQuestVariable != nullptr;
}

// The text a message carries (a save name), or "" when it carries none.
std::string Text(const Msg::Message& msg) {
  return msg.data != nullptr ? std::string(static_cast<const char*>(msg.data)) : std::string();
}

void Handle(const Msg::Message& msg) {
  switch (msg.type) {
    case Msg::kMessage_PostLoad:
      LogMessage("Received post init message");
      if (LookUpQuestVariable()) LogMessage("GETQUESTVAR pointer get SUCCESS");
      break;
    case Msg::kMessage_ExitGame:
    case Msg::kMessage_ExitToMainMenu:
    case Msg::kMessage_NewGame:
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
      PendingName() = text;
      break;
    }
    case Msg::kMessage_RenameNewGameName: {
      std::string text = Text(msg);
      LogMessage("Received rename newgame message with file path '%s'", text.c_str());
      persist::renameSavegame(PendingName(), text);
      break;
    }
    default: break;  // every other type is ignored without a log line
  }
}

}  // namespace

void MessageHandler(NVSEMessagingInterface::Message* msg) noexcept {
  Guarded({"messagehandler"}, [&] {
    if (msg != nullptr) Handle(*msg);
  });
}

const std::string& PendingRenameName() { return PendingName(); }
void ResetPendingRenameForTesting() { PendingName().clear(); }

}  // namespace cv::plugin
