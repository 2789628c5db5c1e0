// The game's objects as the plug-in sees them: typed wrappers over the engine
// table the host hands out. Every wrapper accepts null and answers "nothing"
// when no engine table is bound.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

#include "host/engine_table.h"

namespace cv::game {

void Bind(const CVEngineInterface* engine);
const CVEngineInterface* Engine();

UInt32 RefId(const TESForm* form);
inline UInt32 RefId(const TESObjectREFR* ref) {
  return RefId(reinterpret_cast<const TESForm*>(ref));
}
inline TESForm* AsForm(TESObjectREFR* ref) { return reinterpret_cast<TESForm*>(ref); }

TESForm* BaseForm(TESObjectREFR* ref);
TESForm* AsActorBase(TESForm* form);
TESForm* AsLinkedBase(TESForm* form);
TESObjectREFR* AsReference(TESForm* form);
TESObjectREFR* AsActor(TESObjectREFR* ref);
void* AsConversation(void* activity);

const char* SkeletonModelPath(TESForm* actorBase);
TESForm* ParentLink(TESForm* linkedBase);
bool IsValidObject(const void* object);

UInt32 FormListCount(TESForm* formList);
TESForm* FormListEntry(TESForm* formList, UInt32 index);

void* AIProcess(TESObjectREFR* actor);
void* CurrentActivity(void* process);
TESObjectREFR* ConversationSubject(void* conversation);
TESObjectREFR* ConversationTarget(void* conversation);

TESForm* LookupFormByID(UInt32 refID);
UInt32 ModCount();
const char* ModName(UInt32 index);  // never null

bool IsConsoleMode();

// The game's console holds lines of about 512 bytes: longer ones are
// overruns. Every console line the plug-in prints goes through here, is
// formatted by the plug-in itself and printed in pieces of at most
// kConsolePieceBytes, cut between characters of the system's code page,
// never inside a two-byte one; after kConsoleMaxPieces pieces, one more line
// says how many bytes were left out.
inline constexpr std::size_t kConsolePieceBytes = 500;
inline constexpr std::size_t kConsoleMaxPieces = 16;
void ConsolePrint(const char* fmt, ...) __attribute__((format(printf, 1, 2)));
// The text as ConsolePrint prints it.
void ConsoleText(std::string_view text);
// The line that follows the last piece of a text cut short.
std::string LeftOutLine(std::size_t bytes);

UInt32 FormCount();
UInt32 ProcessLevel(void* process);  // kCVNoProcessLevel when there is none

// One line on what the engine finds of the game: its forms, its mods, the
// player and the player's AI process, naming each part that is missing.
std::string GameCheckLine();

// A NUL-terminated copy of text in a block from the game heap, as host arrays
// require for their string elements. Throws std::bad_alloc when the heap fails.
char* HeapCopy(std::string_view text);
// Gives back a block from HeapCopy; null is allowed.
void HeapFree(const char* block) noexcept;

}  // namespace cv::game
