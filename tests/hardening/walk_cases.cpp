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
    // the platform and the store
    {"dir.create", true, nullptr},
    {"file.open", true, nullptr},
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

// Actor 14 talks to 15 about 16; its base 10 has a skeleton; list 40 holds
// forms of every kind IsInList tells apart; quest 50's variable 1 holds the
// id of string variable 3. Owners of mod 1 and 2 give the load something
// to move and something to lose.
const char* const kCommonWorld = R"(loadorder "FalloutNV.esm" "Walk.esp" "Other.esp"
npc 10 "meshes\characters\_male\skeleton.nif"
actor 14 10
actor 15 10
ref 16 10
form 21
linked 30
linked 31 30
list 40 16 10 31 21
quest 50
stringvar 3 "Fresh"
questvar 50 1 3
talk 14 15 16
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
    {"GetVersion",
     "",
     "console - CV_GetVersion",
     "getver",
     nullptr,
     {},
     {"engine.IsConsoleMode", "engine.Console_Print"}},
    {"IsUsingSkeleton",
     "",
     "console 14 CV_IsUsingSkeleton \"_MALE\"",
     "isusingskeleton",
     nullptr,
     {},
     {"extract", "engine.GetBaseForm", "engine.GetSkeletonModelPath", "engine.Console_Print"}},
    {"IsInList",
     "",
     "console - CV_IsInList 40 14",
     "isinlist",
     nullptr,
     {},
     {"extract", "engine.GetFormListCount", "engine.GetFormListEntry"}},
    {"IsInListLinked",
     "",
     "console - CV_IsInList 40 31",
     "isinlist",
     nullptr,
     {},
     {"engine.DynamicCast", "engine.GetParentLink", "engine.IsValidObject"}},
    {"SetEVFl",
     "",
     "console 14 CV_SetEVFl \"Mood\" 3",
     "setevfl",
     nullptr,
     {},
     {"extract", "engine.GetRefID", "store.alloc"}},
    {"GetEVFl",
     "",
     "console 14 CV_GetEVFl \"HP\"",
     "getevfl",
     nullptr,
     {},
     {"extract", "engine.GetRefID", "engine.Console_Print"}},
    {"GetEVFlCondition",
     "",
     "eval 14 CV_GetEVFl \"HP\"",
     "getevfl",
     nullptr,
     {},
     {"engine.GetRefID", "engine.IsConsoleMode"}},
    {"SetEVFo",
     "",
     "console 14 CV_SetEVFo \"Foe\" 16",
     "setevfo",
     nullptr,
     {},
     {"extract", "engine.GetRefID", "store.alloc"}},
    {"GetEVFo",
     "",
     "console 14 CV_GetEVFo \"ALLY\"",
     "getevfo",
     nullptr,
     {},
     {"extract", "engine.GetRefID", "engine.Console_Print"}},
    {"GetConversationPartner",
     "",
     "console 14 CV_GetConversationPartner",
     "getconvopartner",
     nullptr,
     {},
     {"engine.GetAIProcess", "engine.GetCurrentActivity", "engine.GetConversationSubject",
      "engine.Console_Print"}},
    {"ClrEVFl",
     "",
     "console 14 CV_ClrEVFl \"hp\" 2",
     "clrevfl",
     nullptr,
     {},
     {"extract", "engine.GetRefID"}},
    {"ClrEVFo",
     "",
     "console 14 CV_ClrEVFo \"ally\"",
     "clrevfo",
     nullptr,
     {},
     {"extract", "engine.GetRefID"}},
    {"ClrEVStAllKind",
     "",
     "console 14 CV_ClrEVSt",
     "clrevst",
     nullptr,
     {},
     {"extract", "engine.GetRefID"}},
    {"GetQVEVFl",
     "",
     "console 14 CV_GetQVEVFl 50 1",
     "getQVevfl",
     nullptr,
     {},
     {"extract", "GetString", "engine.GetRefID", "store.alloc", "engine.Console_Print"}},
    {"GetQVEVFlCondition",
     "",
     "eval 14 CV_GetQVEVFl 50 1",
     "getQVevfl",
     nullptr,
     {},
     {"GetString", "engine.GetRefID", "store.alloc"}},
    {"SetEVSt",
     "",
     "console 14 CV_SetEVSt \"Title\" \"Ranger\"",
     "setevst",
     nullptr,
     {},
     {"extract", "engine.GetRefID", "store.alloc"}},
    {"GetEVSt",
     "",
     "console 14 CV_GetEVSt \"Name\"",
     "getevst",
     nullptr,
     {},
     {"extract", "engine.GetRefID", "Assign", "engine.Console_Print"}},
    {"ClrEVSt",
     "",
     "console 14 CV_ClrEVSt \"na\" 2",
     "clrevst",
     nullptr,
     {},
     {"extract", "engine.GetRefID"}},
    {"GetEVFlArPrefix",
     "",
     "console 14 CV_GetEVFlAr \"hp\"",
     "getevflar",
     nullptr,
     {},
     {"CreateStringMap", "extract", "engine.FormHeap_Allocate", "SetElement",
      "AssignCommandResult"}},
    {"GetEVFoArPrefix",
     "",
     "console 14 CV_GetEVFoAr \"a\"",
     "getevfoar",
     nullptr,
     {},
     {"CreateStringMap", "engine.LookupFormByID", "SetElement", "AssignCommandResult"}},
    {"GetEVFoArExactNew",
     "",
     "console 14 CV_GetEVFoAr \"Foe\" 1",
     "getevfoar",
     nullptr,
     {},
     {"store.alloc", "engine.FormHeap_Allocate", "SetElement"}},
    {"GetEVStArWhole",
     "",
     "console 14 CV_GetEVStAr",
     "getevstar",
     nullptr,
     {},
     {"CreateStringMap", "engine.FormHeap_Allocate", "SetElement", "AssignCommandResult"}},
    {"GetEVStArExactNew",
     "",
     "console 14 CV_GetEVStAr \"Nick\" 1",
     "getevstar",
     nullptr,
     {},
     {"store.alloc", "engine.FormHeap_Allocate", "SetElement"}},
    {"GetRandom",
     "",
     "console - CV_GetRandom 10 3",
     "GetRandom",
     nullptr,
     {},
     {"extract", "random", "engine.Console_Print"}},
    {"GetSkeletonPath",
     "",
     "console 14 CV_GetSkeletonPath",
     "GetSkeletonPath",
     "GetSkeletonPathr",
     {},
     {"engine.GetBaseForm", "engine.GetSkeletonModelPath", "Assign", "engine.Console_Print"}},
    {"SetEvConversationSubject",
     "",
     "console 14 CV_SetEvConversationSubject \"Partner\"",
     "CV_SetEvConversationSubject",
     nullptr,
     {},
     {"engine.GetConversationSubject", "extract", "store.alloc", "engine.Console_Print"}},
    {"SetEvConversationTarget",
     "",
     "console 14 CV_SetEvConversationTarget \"Mark\" 1",
     "CV_SetEvConversationTarget",
     nullptr,
     {},
     {"engine.GetConversationTarget", "extract", "store.alloc", "engine.Console_Print"}},

    // --- host messages
    {"PostLoad", "", "message postload", "messagehandler"},
    {"ExitGame", "", "message exitgame", "messagehandler"},
    {"ExitToMenu", "", "message exittomenu", "messagehandler"},
    {"NewGame", "", "message newgame", "messagehandler"},
    {"LoadGame",
     kLoadSetup,
     "message loadgame \"walk-load\"",
     "loadsettings",
     nullptr,
     {{"dir.create", "setsavefile"},
      {"engine.GetModCount", "newmodmap"},
      {"engine.GetModName", "newmodmap"},
      {"store.alloc", "csvp_cb2"}},
     {"dir.create", "file.open", "engine.GetModName", "store.alloc"},
     nullptr,
     true},
    {"SaveGame",
     "message savegame \"walk-save\"\nrun 14 CV_SetEVFl \"later\" 7\n",
     "message savegame \"walk-save\"",
     "save",
     nullptr,
     {{"dir.create", "setsavefile"}},
     {"dir.create", "engine.GetModName", "file.open", "file.write", "file.close", "file.replace"},
     "walk-save"},
    {"DeleteGame",
     "message savegame \"walk-del\"\n",
     "message deletegame \"walk-del\"",
     "deleteSavegame",
     nullptr,
     {},
     {"file.delete"}},
    {"RenameGame",
     "message savegame \"walk-from\"\nmessage deletegame \"walk-to\"\n"
     "message renamegame \"walk-from\"\n",
     "message renamenewgame \"walk-to\"",
     "renameSavegame",
     nullptr,
     {},
     {"file.rename"}},
    {"IgnoredMessage", "", "message 5 \"walk\"", "messagehandler"},
    {"IgnoredHighMessage", "", "message 18", "messagehandler"},
};

}  // namespace

std::span<const WalkCase> WalkCases() { return kCases; }

}  // namespace cv::hardening
