// The host's plug-in records, laid out as the host publishes them.
//
// Plain C-compatible structs and function-pointer tables only: this header is
// shared by the plug-in and by the simulated host (corvane-sim), and nothing in
// it may depend on either side's implementation. Game objects are opaque.
#pragma once

#include <cstdint>

typedef std::uint8_t UInt8;
typedef std::uint16_t UInt16;
typedef std::uint32_t UInt32;
typedef std::int32_t SInt32;

// Game objects: the plug-in only ever holds pointers to them and reaches them
// through the engine table below, never by memory layout.
struct TESForm;
struct TESObjectREFR;
struct Script;
struct ScriptEventList;

typedef UInt32 PluginHandle;
constexpr PluginHandle kPluginHandle_Invalid = 0xFFFFFFFF;

struct PluginInfo {
  enum { kInfoVersion = 1 };
  UInt32 infoVersion;
  const char* name;
  UInt32 version;
};

// Parameter type ids used by the plug-in's command table.
enum : UInt32 {
  kParamType_String = 0x00,
  kParamType_Integer = 0x01,
  kParamType_Float = 0x02,
  kParamType_Quest = 0x0E,
  kParamType_FormList = 0x25,
  kParamType_AnyForm = 0x3D,
};

enum CommandReturnType : UInt32 {
  kRetnType_Default = 0,
  kRetnType_Form = 1,
  kRetnType_String = 2,
  kRetnType_Array = 3,
  kRetnType_ArrayIndex = 4,
};

struct ParamInfo {
  const char* typeStr;
  UInt32 typeID;
  UInt32 isOptional;
};

typedef bool (*Cmd_Execute)(ParamInfo* paramInfo, void* scriptData, TESObjectREFR* thisObj,
                            TESObjectREFR* containingObj, Script* scriptObj,
                            ScriptEventList* eventList, double* result, UInt32* opcodeOffsetPtr);
typedef bool (*Cmd_Parse)(UInt32 numParams, ParamInfo* paramInfo, void* lineBuf, void* scriptBuf);
typedef bool (*Cmd_Eval)(TESObjectREFR* thisObj, void* arg1, void* arg2, double* result);

struct CommandInfo {
  const char* longName;
  const char* shortName;
  UInt32 opcode;
  const char* helpText;
  UInt16 needsParent;
  UInt16 numParams;
  ParamInfo* params;
  Cmd_Execute execute;
  Cmd_Parse parse;
  Cmd_Eval eval;
  UInt32 flags;
};

enum : UInt32 {
  kInterface_Serialization = 0,
  kInterface_Console = 1,
  kInterface_Messaging = 2,
  kInterface_CommandTable = 3,
  kInterface_StringVar = 4,
  kInterface_ArrayVar = 5,
  kInterface_Script = 6,
  // The project's own id under which the host hands out the engine table
  // (CVEngineInterface below).
  kInterface_CorvaneEngine = 0x43564E45,
};

struct NVSEInterface {
  UInt32 nvseVersion;
  UInt32 runtimeVersion;
  UInt32 editorVersion;
  UInt32 isEditor;
  bool (*RegisterCommand)(CommandInfo* info);
  void (*SetOpcodeBase)(UInt32 opcode);
  void* (*QueryInterface)(UInt32 id);
  PluginHandle (*GetPluginHandle)(void);
  bool (*RegisterTypedCommand)(CommandInfo* info, CommandReturnType retnType);
};

struct NVSEMessagingInterface {
  struct Message {
    const char* sender;
    UInt32 type;
    UInt32 dataLen;
    void* data;
  };
  typedef void (*EventCallback)(Message* msg);

  enum {
    kMessage_PostLoad = 0,
    kMessage_ExitGame = 1,
    kMessage_ExitToMainMenu = 2,
    kMessage_LoadGame = 3,
    kMessage_SaveGame = 4,
    kMessage_NewGame = 14,
    kMessage_DeleteGameName = 15,
    kMessage_RenameGameName = 16,
    kMessage_RenameNewGameName = 17,
  };

  UInt32 version;
  bool (*RegisterListener)(PluginHandle listener, const char* sender, EventCallback handler);
  bool (*Dispatch)(PluginHandle sender, UInt32 messageType, void* data, UInt32 dataLen,
                   const char* receiver);
};

struct NVSEScriptInterface {
  UInt32 version;
  // Reads the command's arguments: after the fixed arguments comes one output
  // pointer per declared parameter, in declaration order.
  bool (*ExtractArgsEx)(ParamInfo* paramInfo, void* scriptDataIn, UInt32* scriptDataOffset,
                        Script* scriptObj, ScriptEventList* eventList, ...);
};

struct NVSEStringVarInterface {
  UInt32 version;
  const char* (*GetString)(UInt32 stringID);
  void (*SetString)(UInt32 stringID, const char* newValue);
  UInt32 (*CreateString)(const char* value, void* owningScript);
  void (*Register)(NVSEStringVarInterface* intfc);
  bool (*Assign)(ParamInfo* paramInfo, void* scriptDataIn, TESObjectREFR* thisObj,
                 TESObjectREFR* containingObj, Script* scriptObj, ScriptEventList* eventList,
                 double* result, UInt32* opcodeOffsetPtr, const char* newValue);
};

struct NVSEArrayVarInterface {
  struct Array;

  struct Element {
    enum : UInt8 {
      kType_Invalid = 0,
      kType_Numeric = 1,
      kType_Form = 2,
      kType_String = 3,
      kType_Array = 4,
    };
    UInt8 type;
    union {
      double num;
      TESForm* form;
      const char* str;  // a NUL-terminated block from the game heap
      Array* arr;
    };
  };

  UInt32 version;
  Array* (*CreateArray)(const Element* data, UInt32 size, Script* callingScript);
  Array* (*CreateStringMap)(const char** keys, const Element* values, UInt32 size,
                            Script* callingScript);
  Array* (*CreateMap)(const double* keys, const Element* values, UInt32 size,
                      Script* callingScript);
  bool (*AssignCommandResult)(Array* arr, double* dest);
  void (*SetElement)(Array* arr, const Element& key, const Element& value);
};

struct NVSECommandTableInterface {
  UInt32 version;
  const CommandInfo* (*Start)(void);
  const CommandInfo* (*End)(void);
  const CommandInfo* (*GetByOpcode)(UInt32 opcode);
  const CommandInfo* (*GetByName)(const char* name);
};

// ---------------------------------------------------------------------------
// The engine table: the game operations the plug-in relies on, served by the
// host under kInterface_CorvaneEngine. Every operation tolerates null objects.

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
  enum { kVersion = 1 };
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
  // Gives back a block from FormHeap_Allocate that was never handed to the
  // host (the host frees the strings of array elements it was given).
  void (*FormHeap_Free)(void* block);
};

// Plug-in entry points, looked up by these undecorated names.
extern "C" {
typedef bool (*NVSEPlugin_Query_t)(const NVSEInterface* nvse, PluginInfo* info);
typedef bool (*NVSEPlugin_Load_t)(const NVSEInterface* nvse);
}
