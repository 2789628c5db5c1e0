#include "walk_cases.h"

namespace cv::hardening {

namespace {

// The game's own answers of null or false count as failures that come by
// return. An id, a count or a name the game always has does not fail that
// way, so it is only made to throw.
constexpr const char* kBadAlloc = "std::bad_alloc";

const FaultSpec kFaults[] = {
    // the host
    {"extract", true, nullptr},
    {"CreateStringMap", true, nullptr},
    {"SetElement", true, nullptr},
    {"Assign", true, nullptr},
    {"GetString", true, nullptr},
    {"AssignCommandResult", true, nullptr},
    // the game
    {"engine.DynamicCast", true, nullptr},
    {"engine.GetRefID", false, nullptr},
    {"engine.GetBaseForm", true, nullptr},
    {"engine.GetSkeletonModelPath", true, nullptr},
    {"engine.GetParentLink", true, nullptr},
    {"engine.IsValidObject", true, nullptr},
    {"engine.GetFormListCount", true, nullptr},
    {"engine.GetFormListEntry", true, nullptr},
    {"engine.GetAIProcess", true, nullptr},
    {"engine.GetCurrentActivity", true, nullptr},
    {"engine.GetConversationSubject", true, nullptr},
    {"engine.GetConversationTarget", true, nullptr},
    {"engine.LookupFormByID", true, nullptr},
    {"engine.GetModCount", false, nullptr},
    {"engine.GetModName", false, nullptr},
    {"engine.IsConsoleMode", true, nullptr},
    {"engine.Console_Print", true, nullptr},
    {"engine.FormHeap_Allocate", true, kBadAlloc},
    {"engine.GetFormCount", true, nullptr},
    {"engine.GetProcessLevel", true, nullptr},
    // the platform and the store
    {"dir.create", true, nullptr},
    {"file.open", true, nullptr},
    {"file.read", true, nullptr},
    {"file.write", true, nullptr},
    {"file.close", true, nullptr},
    {"file.replace", true, nullptr},
    {"file.rename", true, nullptr},
    {"file.delete", true, nullptr},
    {"random", true, "invalid random_device value"},
    {"store.alloc", true, kBadAlloc},
};

}  // namespace

std::span<const FaultSpec> Faults() { return kFaults; }

const FaultSpec* FindFault(std::string_view name) {
  for (const FaultSpec& f : kFaults)
    if (name == f.name) return &f;
  return nullptr;
}

const char* WalkCase::LogNameFor(std::string_view fault) const {
  for (const auto& [f, name] : logNameOf)
    if (fault == f) return name;
  return logName;
}

// Actor 14 talks to 15 about actor 17; its base 10 has a skeleton; list 40 holds
// forms of every kind IsInList tells apart; quest 50's variable 1 holds the
// id of string variable 3. Owners of mod 1 and 2 give the load something
// to move and something to lose.
const char* const kCommonWorld = R"(loadorder "FalloutNV.esm" "Walk.esp" "Other.esp"
npc 10 "meshes\characters\_male\skeleton.nif"
actor 14 10
actor 15 10
ref 16 10
actor 17 10
form 21
linked 30
linked 31 30
list 40 16 10 31 21
quest 50
stringvar 3 "Fresh"
questvar 50 1 3
talk 14 15 17
ref 01000060 10
ref 02000070 10
run 14 CV_SetEVFl "hp" 5
run 14 CV_SetEVFl "hp.max" 9
run 14 CV_SetEVFo "ally" 15
run 14 CV_SetEVFo "aim" 21
run 14 CV_SetEVSt "name" "Sunny"
run 15 CV_SetEVFl "hp" 3
run 01000060 CV_SetEVFl "walk" 1.5
run 01000060 CV_SetEVSt "walk" "w"
run 02000070 CV_SetEVFo "other" 14
)";

namespace {

const char* const kLoadSetup = R"(message savegame "walk-load"
loadorder "FalloutNV.esm" "Extra.esp" "Walk.esp"
)";

const WalkCase kCases[] = {
    // --- commands
    {.label = "GetVersion",
     .call = "console - CV_GetVersion",
     .logName = "getver",
     .reaches = {"engine.IsConsoleMode", "engine.Console_Print"}},
    {.label = "IsUsingSkeleton",
     .call = "console 14 CV_IsUsingSkeleton \"_MALE\"",
     .logName = "isusingskeleton",
     .reaches = {"extract", "engine.GetBaseForm", "engine.GetSkeletonModelPath",
                 "engine.Console_Print"}},
    {.label = "IsInList",
     .call = "console - CV_IsInList 40 14",
     .logName = "isinlist",
     .reaches = {"extract", "engine.GetFormListCount", "engine.GetFormListEntry"}},
    {.label = "IsInListLinked",
     .call = "console - CV_IsInList 40 31",
     .logName = "isinlist",
     .reaches = {"engine.DynamicCast", "engine.GetParentLink", "engine.IsValidObject"}},
    {.label = "SetEVFl",
     .call = "console 14 CV_SetEVFl \"Mood\" 3",
     .logName = "setevfl",
     .reaches = {"extract", "engine.GetRefID", "store.alloc"}},
    {.label = "GetEVFl",
     .call = "console 14 CV_GetEVFl \"HP\"",
     .logName = "getevfl",
     .reaches = {"extract", "engine.GetRefID", "engine.Console_Print"}},
    {.label = "GetEVFlCondition",
     .call = "eval 14 CV_GetEVFl",
     .logName = "getevfl",
     .reaches = {"engine.GetRefID", "engine.IsConsoleMode"}},
    {.label = "SetEVFo",
     .call = "console 14 CV_SetEVFo \"Foe\" 16",
     .logName = "setevfo",
     .reaches = {"extract", "engine.GetRefID", "store.alloc"}},
    {.label = "GetEVFo",
     .call = "console 14 CV_GetEVFo \"ALLY\"",
     .logName = "getevfo",
     .reaches = {"extract", "engine.GetRefID", "engine.Console_Print"}},
    {.label = "GetConversationPartner",
     .call = "console 14 CV_GetConversationPartner",
     .logName = "getconvopartner",
     .reaches = {"engine.GetAIProcess", "engine.GetCurrentActivity",
                 "engine.GetConversationSubject", "engine.Console_Print"}},
    {.label = "ClrEVFl",
     .call = "console 14 CV_ClrEVFl \"hp\" 2",
     .logName = "clrevfl",
     .reaches = {"extract", "engine.GetRefID"}},
    {.label = "ClrEVFo",
     .call = "console 14 CV_ClrEVFo \"ally\"",
     .logName = "clrevfo",
     .reaches = {"extract", "engine.GetRefID"}},
    {.label = "ClrEVStAllKind",
     .call = "console 14 CV_ClrEVSt",
     .logName = "clrevst",
     .reaches = {"extract", "engine.GetRefID"}},
    {.label = "GetQVEVFl",
     .call = "console 14 CV_GetQVEVFl 50 1",
     .logName = "getQVevfl",
     .reaches = {"extract", "GetString", "engine.GetRefID", "store.alloc", "engine.Console_Print"}},
    {.label = "GetQVEVFlCondition",
     .call = "eval 14 CV_GetQVEVFl 50 1",
     .logName = "getQVevfl",
     .reaches = {"GetString", "engine.GetRefID", "store.alloc"}},
    {.label = "SetEVSt",
     .call = "console 14 CV_SetEVSt \"Title\" \"Ranger\"",
     .logName = "setevst",
     .reaches = {"extract", "engine.GetRefID", "store.alloc"}},
    {.label = "GetEVSt",
     .call = "console 14 CV_GetEVSt \"Name\"",
     .logName = "getevst",
     .reaches = {"extract", "engine.GetRefID", "Assign", "engine.Console_Print"}},
    {.label = "ClrEVSt",
     .call = "console 14 CV_ClrEVSt \"na\" 2",
     .logName = "clrevst",
     .reaches = {"extract", "engine.GetRefID"}},
    {.label = "GetEVFlArPrefix",
     .call = "console 14 CV_GetEVFlAr \"hp\"",
     .logName = "getevflar",
     .reaches = {"CreateStringMap", "extract", "engine.FormHeap_Allocate", "SetElement",
                 "AssignCommandResult"}},
    {.label = "GetEVFoArPrefix",
     .call = "console 14 CV_GetEVFoAr \"a\"",
     .logName = "getevfoar",
     .reaches = {"CreateStringMap", "engine.LookupFormByID", "SetElement", "AssignCommandResult"}},
    {.label = "GetEVFoArExactNew",
     .call = "console 14 CV_GetEVFoAr \"Foe\" 1",
     .logName = "getevfoar",
     .reaches = {"store.alloc", "engine.FormHeap_Allocate", "SetElement"}},
    {.label = "GetEVStArWhole",
     .call = "console 14 CV_GetEVStAr",
     .logName = "getevstar",
     .reaches = {"CreateStringMap", "engine.FormHeap_Allocate", "SetElement",
                 "AssignCommandResult"}},
    {.label = "GetEVStArExactNew",
     .call = "console 14 CV_GetEVStAr \"Nick\" 1",
     .logName = "getevstar",
     .reaches = {"store.alloc", "engine.FormHeap_Allocate", "SetElement"}},
    {.label = "GetRandom",
     .call = "console - CV_GetRandom 10 3",
     .logName = "GetRandom",
     .reaches = {"extract", "random", "engine.Console_Print"}},
    {.label = "GetSkeletonPath",
     .call = "console 14 CV_GetSkeletonPath",
     .logName = "GetSkeletonPath",
     .integerLogName = "GetSkeletonPathr",
     .reaches = {"engine.GetBaseForm", "engine.GetSkeletonModelPath", "Assign",
                 "engine.Console_Print"}},
    {.label = "SetEvConversationSubject",
     .call = "console 14 CV_SetEvConversationSubject \"Partner\"",
     .logName = "CV_SetEvConversationSubject",
     .reaches = {"engine.GetConversationSubject", "extract", "store.alloc",
                 "engine.Console_Print"}},
    {.label = "SetEvConversationTarget",
     .call = "console 14 CV_SetEvConversationTarget \"Mark\" 1",
     .logName = "CV_SetEvConversationTarget",
     .reaches = {"engine.GetConversationTarget", "extract", "store.alloc", "engine.Console_Print"}},

    // --- host messages
    {.label = "PostLoad", .call = "message postload", .logName = "messagehandler"},
    {.label = "ExitGame", .call = "message exitgame", .logName = "messagehandler"},
    {.label = "ExitToMenu", .call = "message exittomenu", .logName = "messagehandler"},
    {.label = "NewGame", .call = "message newgame", .logName = "messagehandler"},
    {.label = "LoadGame",
     .setup = kLoadSetup,
     .call = "message loadgame \"walk-load\"",
     .logName = "loadsettings",
     .logNameOf = {{"dir.create", "setsavefile"},
                   {"engine.GetModCount", "newmodmap"},
                   {"engine.GetModName", "newmodmap"},
                   {"store.alloc", "csvp_cb2"}},
     .ownLineOnReturn = {"store.alloc"},
     .reaches = {"dir.create", "file.open", "file.read", "engine.GetModName", "store.alloc"},
     .replacesStore = true},
    {.label = "SaveGame",
     .setup = "message savegame \"walk-save\"\nrun 14 CV_SetEVFl \"later\" 7\n",
     .call = "message savegame \"walk-save\"",
     .logName = "save",
     .logNameOf = {{"dir.create", "setsavefile"}},
     .reaches = {"dir.create", "engine.GetModName", "file.open", "file.write", "file.close",
                 "file.replace"},
     .savedFile = "walk-save"},
    {.label = "DeleteGame",
     .setup = "message savegame \"walk-del\"\n",
     .call = "message deletegame \"walk-del\"",
     .logName = "deleteSavegame",
     .reaches = {"file.delete"}},
    {.label = "RenameGame",
     .call = "message renamegame \"walk-from\"",
     .logName = "messagehandler"},
    {.label = "RenameNewGame",
     .setup = "message savegame \"walk-from\"\nmessage deletegame \"walk-to\"\nmessage renamegame "
              "\"walk-from\"\n",
     .call = "message renamenewgame \"walk-to\"",
     .logName = "renameSavegame",
     .reaches = {"file.rename"}},
    {.label = "IgnoredMessage", .call = "message 5 \"walk\"", .logName = "messagehandler"},
    {.label = "DeferredInit",
     .call = "message 18",
     .logName = "messagehandler",
     .reaches = {"engine.GetFormCount", "engine.GetModCount", "engine.GetModName",
                 "engine.LookupFormByID", "engine.DynamicCast", "engine.GetAIProcess",
                 "engine.GetProcessLevel"}},
    {.label = "IgnoredHighMessage", .call = "message 19", .logName = "messagehandler"},
};

}  // namespace

std::span<const WalkCase> WalkCases() { return kCases; }

}  // namespace cv::hardening
