// The engine table: the game operations the plug-in relies on, as one table
// of plain functions. In the game the plug-in's own binding to the game's
// memory fills it; under the simulator, the simulated game serves it. Every
// operation tolerates null and foreign objects and answers "nothing".
#pragma once

#include "host/nvse_records.h"

enum : UInt32 {
  kCVKind_Reference = 1,     // a placed form
  kCVKind_Actor = 2,         // a reference of the actor kind
  kCVKind_ActorBase = 3,     // a base form with a skeleton model path
  kCVKind_LinkedBase = 4,    // a base form with a parent link of its own kind
  kCVKind_FormList = 5,      // an ordered list of forms
  kCVKind_Quest = 6,         // a quest
  kCVKind_Conversation = 7,  // an AI activity naming a subject and a target
};

struct CVEngineInterface {
  enum { kVersion = 3 };
  UInt32 version;
  // Run-time type conversion: the object as the wanted kind, or null.
  void* (*DynamicCast)(void* object, UInt32 wantedKind);
  UInt32 (*GetRefID)(const TESForm* form);
  TESForm* (*GetBaseForm)(TESObjectREFR* ref);
  const char* (*GetSkeletonModelPath)(TESForm* actorBase);
  TESForm* (*GetParentLink)(TESForm* linkedBase);
  bool (*IsValidObject)(const void* object);
  UInt32 (*GetFormListCount)(TESForm* formList);
  TESForm* (*GetFormListEntry)(TESForm* formList, UInt32 index);
  void* (*GetAIProcess)(TESObjectREFR* actor);
  void* (*GetCurrentActivity)(void* process);
  TESObjectREFR* (*GetConversationSubject)(void* conversation);
  TESObjectREFR* (*GetConversationTarget)(void* conversation);
  TESForm* (*LookupFormByID)(UInt32 refID);
  UInt32 (*GetModCount)(void);
  const char* (*GetModName)(UInt32 index);
  bool (*IsConsoleMode)(void);
  void (*Console_Print)(const char* fmt, ...);
  void* (*FormHeap_Allocate)(UInt32 size);
  // Gives back a block from FormHeap_Allocate. The host copies the strings of
  // array elements it is given, so the plug-in frees every block it made.
  void (*FormHeap_Free)(void* block);
  // How many forms the game's form map holds (0 when it has none yet).
  UInt32 (*GetFormCount)(void);
  // The level of an AI process (0 high ... 3 low), or kCVNoProcessLevel.
  UInt32 (*GetProcessLevel)(void* process);
};

inline constexpr UInt32 kCVNoProcessLevel = 0xFFFFFFFF;

// The name under which a simulated game's program exports its engine table
// (a function taking nothing and returning const CVEngineInterface*). The
// real game has no such export.
inline constexpr const char* kSimEngineExport = "CorvaneSimEngine";
