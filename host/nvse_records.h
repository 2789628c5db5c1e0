// The host's plug-in records, exactly as the host publishes them.
//
// Plain C-compatible structs and function-pointer tables only, under the
// host's own names: this header is shared by the plug-in and by the
// simulated host (corvane-sim), and nothing in it may depend on either side's
// implementation. Game objects are opaque. Every offset and size that the
// plug-in or the simulator relies on is checked below for the 32-bit build,
// with the figures the host publishes (the host's PluginAPI.h and
// CommandTable.h for the game's runtime 1.4.0.525).
#pragma once

#include <cstddef>
#include <cstdint>

typedef std::uint8_t UInt8;
typedef std::uint16_t UInt16;
typedef std::uint32_t UInt32;
typedef std::int32_t SInt32;

// Game objects: the plug-in only ever holds pointers to them.
struct TESForm;
struct TESObjectREFR;
struct Script;
struct ScriptEventList;
struct ScriptLineBuffer;
struct ScriptBuffer;
struct ExpressionEvaluatorUtils;

typedef UInt32 PluginHandle;
constexpr PluginHandle kPluginHandle_Invalid = 0xFFFFFFFF;

struct PluginInfo {
  enum { kInfoVersion = 1 };
  UInt32 infoVersion;
  const char* name;  // the host disables a plug-in that leaves it null
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

// The host declares it with an 8-bit underlying type. As a cdecl argument it
// still takes a whole 4-byte stack slot; it is never embedded in a record
// shared with the host.
enum CommandReturnType : UInt8 {
  kRetnType_Default = 0,
  kRetnType_Form = 1,
  kRetnType_String = 2,
  kRetnType_Array = 3,
  kRetnType_ArrayIndex = 4,
  kRetnType_Ambiguous = 5,
  kRetnType_Max = 6,
};

struct ParamInfo {
  const char* typeStr;
  UInt32 typeID;
  UInt32 isOptional;
};

typedef bool (*Cmd_Execute)(ParamInfo* paramInfo, void* scriptData, TESObjectREFR* thisObj,
                            TESObjectREFR* containingObj, Script* scriptObj,
                            ScriptEventList* eventList, double* result, UInt32* opcodeOffsetPtr);
typedef bool (*Cmd_Parse)(UInt32 numParams, ParamInfo* paramInfo, ScriptLineBuffer* lineBuf,
                          ScriptBuffer* scriptBuf);
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

// The interface ids the host serves; QueryInterface answers any other id
// with null.
enum : UInt32 {
  kInterface_Serialization = 0,
  kInterface_Console = 1,
  kInterface_Messaging = 2,
  kInterface_CommandTable = 3,
  kInterface_StringVar = 4,
  kInterface_ArrayVar = 5,
  kInterface_Script = 6,
  kInterface_Data = 7,
  kInterface_EventManager = 8,
  kInterface_Logging = 9,
  kInterface_PlayerControls = 10,
  kInterface_Max = 11,
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
  const char* (*GetRuntimeDirectory)(void);
  UInt32 isNogore;
  void (*InitExpressionEvaluatorUtils)(ExpressionEvaluatorUtils* utils);
  bool (*RegisterTypedCommandVersion)(CommandInfo* info, CommandReturnType retnType,
                                      UInt32 requiredPluginVersion);
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
    kVersion = 4,
  };
  enum : UInt32 {
    kMessage_PostLoad = 0,
    kMessage_ExitGame = 1,
    kMessage_ExitToMainMenu = 2,
    kMessage_LoadGame = 3,
    kMessage_SaveGame = 4,
    kMessage_Precompile = 5,
    kMessage_PreLoadGame = 6,
    kMessage_ExitGame_Console = 7,
    kMessage_PostLoadGame = 8,
    kMessage_PostPostLoad = 9,
    kMessage_RuntimeScriptError = 10,
    kMessage_DeleteGame = 11,
    kMessage_RenameGame = 12,
    kMessage_RenameNewGame = 13,
    kMessage_NewGame = 14,
    kMessage_DeleteGameName = 15,
    kMessage_RenameGameName = 16,
    kMessage_RenameNewGameName = 17,
    kMessage_DeferredInit = 18,
  };

  UInt32 version;
  bool (*RegisterListener)(PluginHandle listener, const char* sender, EventCallback handler);
  bool (*Dispatch)(PluginHandle sender, UInt32 messageType, void* data, UInt32 dataLen,
                   const char* receiver);
};

struct NVSEArrayVarInterface;

// The script interface has no version word: ExtractArgsEx is its third entry.
struct NVSEScriptInterface {
  bool (*CallFunction)(Script* funcScript, TESObjectREFR* callingObj, TESObjectREFR* container,
                       void* result, UInt8 numArgs, ...);
  UInt32 (*GetFunctionParams)(Script* funcScript, UInt8* paramTypesOut);
  // Reads the command's arguments: after the fixed arguments comes one output
  // pointer per declared parameter, in declaration order. A string output is
  // written with no bound at all.
  bool (*ExtractArgsEx)(ParamInfo* paramInfo, void* scriptDataIn, UInt32* scriptDataOffset,
                        Script* scriptObj, ScriptEventList* eventList, ...);
  bool (*ExtractFormatStringArgs)(UInt32 fmtStringPos, char* buffer, ParamInfo* paramInfo,
                                  void* scriptDataIn, UInt32* scriptDataOffset, Script* scriptObj,
                                  ScriptEventList* eventList, UInt32 maxParams, ...);
  bool (*CallFunctionAlt)(Script* funcScript, TESObjectREFR* callingObj, UInt8 numArgs, ...);
  Script* (*CompileScript)(const char* scriptText);
  Script* (*CompileExpression)(const char* expression);
  // __stdcall in the host; never called by the plug-in or the simulator.
  void* DecompileToBuffer;
};

struct NVSEStringVarInterface {
  enum { kVersion = 1 };
  UInt32 version;
  const char* (*GetString)(UInt32 stringID);
  void (*SetString)(UInt32 stringID, const char* newValue);
  UInt32 (*CreateString)(const char* value, void* owningScript);
  void (*Register)(NVSEStringVarInterface* intfc);
  // Copies newValue; any buffer may be passed.
  bool (*Assign)(ParamInfo* paramInfo, void* scriptDataIn, TESObjectREFR* thisObj,
                 TESObjectREFR* containingObj, Script* scriptObj, ScriptEventList* eventList,
                 double* result, UInt32* opcodeOffsetPtr, const char* newValue);
};

// The array interface has no version word either. The host copies every
// string it is given into a block of its own; the caller keeps its blocks.
struct NVSEArrayVarInterface {
  struct Array;

  // The value union first, then the type tag (16 bytes in all).
  struct Element {
    enum : UInt8 {
      kType_Invalid = 0,
      kType_Numeric = 1,
      kType_Form = 2,
      kType_String = 3,
      kType_Array = 4,
    };
    union {
      char* str;
      Array* arr;
      TESForm* form;
      double num;
    };
    UInt8 type;
  };

  Array* (*CreateArray)(const Element* data, UInt32 size, Script* callingScript);
  Array* (*CreateStringMap)(const char** keys, const Element* values, UInt32 size,
                            Script* callingScript);
  Array* (*CreateMap)(const double* keys, const Element* values, UInt32 size,
                      Script* callingScript);
  bool (*AssignCommandResult)(Array* arr, double* dest);
  void (*SetElement)(Array* arr, const Element& key, const Element& value);
  void (*AppendElement)(Array* arr, const Element& value);
  UInt32 (*GetArraySize)(Array* arr);
  Array* (*LookupArrayByID)(UInt32 id);
  bool (*GetElement)(Array* arr, const Element& key, Element& out);
  bool (*GetElements)(Array* arr, Element* elements, Element* keys);
  UInt32 (*GetArrayPacked)(Array* arr);
  int (*GetContainerType)(Array* arr);
  bool (*ArrayHasKey)(Array* arr, const Element& key);
};

struct NVSECommandTableInterface {
  enum { kVersion = 2 };
  UInt32 version;
  const CommandInfo* (*Start)(void);
  const CommandInfo* (*End)(void);
  const CommandInfo* (*GetByOpcode)(UInt32 opcode);
  const CommandInfo* (*GetByName)(const char* name);
  UInt32 (*GetReturnType)(const CommandInfo* cmd);
  UInt32 (*GetRequiredNVSEVersion)(const CommandInfo* cmd);
  const PluginInfo* (*GetParentPlugin)(const CommandInfo* cmd);
  const PluginInfo* (*GetPluginInfoByName)(const char* pluginName);
  const PluginInfo* (*GetPluginInfoByDLLName)(const char* dllName);
};

// Plug-in entry points, looked up by these undecorated names.
extern "C" {
typedef bool (*NVSEPlugin_Query_t)(const NVSEInterface* nvse, PluginInfo* info);
typedef bool (*NVSEPlugin_Load_t)(const NVSEInterface* nvse);
}

// The published 32-bit layout. In the 64-bit build (the Linux simulator)
// pointers are wider and these figures do not apply.
#if UINTPTR_MAX == 0xFFFFFFFFu
#define CV_RECORD_AT(record, member, offset) \
  static_assert(offsetof(record, member) == (offset), #record "::" #member)
CV_RECORD_AT(PluginInfo, infoVersion, 0x00);
CV_RECORD_AT(PluginInfo, name, 0x04);
CV_RECORD_AT(PluginInfo, version, 0x08);
static_assert(sizeof(PluginInfo) == 0x0C);
CV_RECORD_AT(ParamInfo, typeStr, 0x00);
CV_RECORD_AT(ParamInfo, typeID, 0x04);
CV_RECORD_AT(ParamInfo, isOptional, 0x08);
static_assert(sizeof(ParamInfo) == 0x0C);
CV_RECORD_AT(CommandInfo, longName, 0x00);
CV_RECORD_AT(CommandInfo, shortName, 0x04);
CV_RECORD_AT(CommandInfo, opcode, 0x08);
CV_RECORD_AT(CommandInfo, helpText, 0x0C);
CV_RECORD_AT(CommandInfo, needsParent, 0x10);
CV_RECORD_AT(CommandInfo, numParams, 0x12);
CV_RECORD_AT(CommandInfo, params, 0x14);
CV_RECORD_AT(CommandInfo, execute, 0x18);
CV_RECORD_AT(CommandInfo, parse, 0x1C);
CV_RECORD_AT(CommandInfo, eval, 0x20);
CV_RECORD_AT(CommandInfo, flags, 0x24);
static_assert(sizeof(CommandInfo) == 0x28);
static_assert(sizeof(CommandReturnType) == 1);
CV_RECORD_AT(NVSEInterface, nvseVersion, 0x00);
CV_RECORD_AT(NVSEInterface, runtimeVersion, 0x04);
CV_RECORD_AT(NVSEInterface, editorVersion, 0x08);
CV_RECORD_AT(NVSEInterface, isEditor, 0x0C);
CV_RECORD_AT(NVSEInterface, RegisterCommand, 0x10);
CV_RECORD_AT(NVSEInterface, SetOpcodeBase, 0x14);
CV_RECORD_AT(NVSEInterface, QueryInterface, 0x18);
CV_RECORD_AT(NVSEInterface, GetPluginHandle, 0x1C);
CV_RECORD_AT(NVSEInterface, RegisterTypedCommand, 0x20);
CV_RECORD_AT(NVSEInterface, GetRuntimeDirectory, 0x24);
CV_RECORD_AT(NVSEInterface, isNogore, 0x28);
CV_RECORD_AT(NVSEInterface, InitExpressionEvaluatorUtils, 0x2C);
CV_RECORD_AT(NVSEInterface, RegisterTypedCommandVersion, 0x30);
static_assert(sizeof(NVSEInterface) == 0x34);
CV_RECORD_AT(NVSEMessagingInterface, version, 0x00);
CV_RECORD_AT(NVSEMessagingInterface, RegisterListener, 0x04);
CV_RECORD_AT(NVSEMessagingInterface, Dispatch, 0x08);
static_assert(sizeof(NVSEMessagingInterface) == 0x0C);
CV_RECORD_AT(NVSEMessagingInterface::Message, sender, 0x00);
CV_RECORD_AT(NVSEMessagingInterface::Message, type, 0x04);
CV_RECORD_AT(NVSEMessagingInterface::Message, dataLen, 0x08);
CV_RECORD_AT(NVSEMessagingInterface::Message, data, 0x0C);
static_assert(sizeof(NVSEMessagingInterface::Message) == 0x10);
CV_RECORD_AT(NVSEScriptInterface, CallFunction, 0x00);
CV_RECORD_AT(NVSEScriptInterface, GetFunctionParams, 0x04);
CV_RECORD_AT(NVSEScriptInterface, ExtractArgsEx, 0x08);
CV_RECORD_AT(NVSEScriptInterface, ExtractFormatStringArgs, 0x0C);
CV_RECORD_AT(NVSEScriptInterface, CallFunctionAlt, 0x10);
CV_RECORD_AT(NVSEScriptInterface, CompileScript, 0x14);
CV_RECORD_AT(NVSEScriptInterface, CompileExpression, 0x18);
CV_RECORD_AT(NVSEScriptInterface, DecompileToBuffer, 0x1C);
static_assert(sizeof(NVSEScriptInterface) == 0x20);
CV_RECORD_AT(NVSEStringVarInterface, version, 0x00);
CV_RECORD_AT(NVSEStringVarInterface, GetString, 0x04);
CV_RECORD_AT(NVSEStringVarInterface, SetString, 0x08);
CV_RECORD_AT(NVSEStringVarInterface, CreateString, 0x0C);
CV_RECORD_AT(NVSEStringVarInterface, Register, 0x10);
CV_RECORD_AT(NVSEStringVarInterface, Assign, 0x14);
static_assert(sizeof(NVSEStringVarInterface) == 0x18);
CV_RECORD_AT(NVSEArrayVarInterface::Element, str, 0x00);
CV_RECORD_AT(NVSEArrayVarInterface::Element, num, 0x00);
CV_RECORD_AT(NVSEArrayVarInterface::Element, type, 0x08);
static_assert(sizeof(NVSEArrayVarInterface::Element) == 0x10);
CV_RECORD_AT(NVSEArrayVarInterface, CreateArray, 0x00);
CV_RECORD_AT(NVSEArrayVarInterface, CreateStringMap, 0x04);
CV_RECORD_AT(NVSEArrayVarInterface, CreateMap, 0x08);
CV_RECORD_AT(NVSEArrayVarInterface, AssignCommandResult, 0x0C);
CV_RECORD_AT(NVSEArrayVarInterface, SetElement, 0x10);
CV_RECORD_AT(NVSEArrayVarInterface, AppendElement, 0x14);
CV_RECORD_AT(NVSEArrayVarInterface, ArrayHasKey, 0x30);
static_assert(sizeof(NVSEArrayVarInterface) == 0x34);
CV_RECORD_AT(NVSECommandTableInterface, version, 0x00);
CV_RECORD_AT(NVSECommandTableInterface, Start, 0x04);
CV_RECORD_AT(NVSECommandTableInterface, End, 0x08);
CV_RECORD_AT(NVSECommandTableInterface, GetByOpcode, 0x0C);
CV_RECORD_AT(NVSECommandTableInterface, GetByName, 0x10);
CV_RECORD_AT(NVSECommandTableInterface, GetPluginInfoByDLLName, 0x24);
static_assert(sizeof(NVSECommandTableInterface) == 0x28);
#undef CV_RECORD_AT
#endif
