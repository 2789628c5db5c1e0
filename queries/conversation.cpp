#include "queries/conversation.h"

#include "ev/store.h"
#include "host/game.h"
#include "log/guard.h"
#include "queries/query_commands.h"

namespace cv::queries {

namespace {

constexpr LogName kPartnerLog{"getconvopartner"};

// What differs between the subject and the target command.
struct Party {
  LogName log;
  TESObjectREFR* (*of)(void* conversation);
  const char* consoleFormat;
};

const Party kSubject{
    {"CV_SetEvConversationSubject"}, game::ConversationSubject, "CV_SetEvConversationSubject: %x"};
const Party kTarget{
    {"CV_SetEvConversationTarget"}, game::ConversationTarget, "CV_SetEvConversationTarget: %x"};

// Stores the party's form id under the key argument. The conversation is
// looked up before the arguments are read; with no party nothing is read.
void StoreParty(const host::CommandArgs& a, const Party& party) {
  TESObjectREFR* who = party.of(FindConversation(a.thisObj));
  if (who == nullptr) return;
  const UInt32 id = game::RefId(who);
  host::SetFormResult(a.result, id);
  host::TextArg key;
  SInt32 persist = 0;  // read and ignored, as by the set commands
  if (!host::ExtractArgs(a, key, &persist)) return;
  TheStore().Entry<EvKind::Form>(game::RefId(a.thisObj), FoldedKey(host::ArgText(key))) = id;
}

bool SetEvConversationParty(const host::CommandArgs& a, const Party& party) {
  *a.result = 0;
  Guarded(party.log, [&] {
    StoreParty(a, party);
    if (game::IsConsoleMode()) game::ConsolePrint(party.consoleFormat, host::FormResult(a.result));
  });
  return true;
}

}  // namespace

void* FindConversation(TESObjectREFR* ref) {
  return game::AsConversation(game::CurrentActivity(game::AIProcess(game::AsActor(ref))));
}

bool GetConversationPartner(const host::CommandArgs& a) {
  *a.result = 0;
  Guarded(kPartnerLog, [&] {
    TESObjectREFR* partner = game::ConversationSubject(FindConversation(a.thisObj));
    if (partner != nullptr) host::SetFormResult(a.result, game::RefId(partner));
    if (game::IsConsoleMode())
      game::ConsolePrint("CV_GetConversatioNPartner: %x", host::FormResult(a.result));
  });
  return true;
}

bool SetEvConversationSubject(const host::CommandArgs& a) {
  return SetEvConversationParty(a, kSubject);
}

bool SetEvConversationTarget(const host::CommandArgs& a) {
  return SetEvConversationParty(a, kTarget);
}

}  // namespace cv::queries
