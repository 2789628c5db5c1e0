// The game's objects as the plug-in sees them: typed wrappers over the engine
// table the host hands out. Every wrapper accepts null and answers "nothing"
// when no engine table is bound.
#pragma once

#include <string_view>
#include <utility>

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

template <class... Args>
void ConsolePrint(const char* fmt, Args... args) {
  const CVEngineInterface* e = Engine();
  if (e != nullptr && e->Console_Print != nullptr) e->Console_Print(fmt, args...);
}

// A NUL-terminated copy of text in a block from the game heap, as host arrays
// require for their string elements. Throws std::bad_alloc when the heap fails.
char* HeapCopy(std::string_view text);
// Gives back a block from HeapCopy; null is allowed.
void HeapFree(const char* block) noexcept;

}  // namespace cv::game
