#include "plugin/command_table.h"

#include "ev/ev_commands.h"
#include "host/host.h"
#include "plugin/random_command.h"
#include "plugin/version_command.h"
#include "queries/query_commands.h"

namespace cv::plugin {

namespace {

using host::Execute;

// Parameter lists; commands with identical lists share one.
ParamInfo kParamsString[] = {{"string", kParamType_String, 0}};
ParamInfo kParamsIsInList[] = {{"formlist", kParamType_FormList, 0},
                               {"form", kParamType_AnyForm, 0},
                               {"recurse", kParamType_Integer, 1}};
ParamInfo kParamsSetFloat[] = {{"key", kParamType_String, 0},
                               {"val", kParamType_Float, 0},
                               {"persist", kParamType_Integer, 1}};
ParamInfo kParamsKey[] = {{"key", kParamType_String, 0}};
ParamInfo kParamsSetForm[] = {{"key", kParamType_String, 0},
                              {"val", kParamType_AnyForm, 0},
                              {"persist", kParamType_Integer, 1}};
ParamInfo kParamsKeyMatch[] = {{"key", kParamType_String, 1}, {"match", kParamType_Integer, 1}};
ParamInfo kParamsQuestVar[] = {{"quest", kParamType_Quest, 0}, {"variable", kParamType_Integer, 1}};
ParamInfo kParamsSetString[] = {{"key", kParamType_String, 0},
                                {"val", kParamType_String, 0},
                                {"persist", kParamType_Integer, 1}};
ParamInfo kParamsRandom[] = {{"x", kParamType_Integer, 0}, {"y", kParamType_Integer, 0}};
ParamInfo kParamsKeyPersist[] = {{"key", kParamType_String, 0}, {"persist", kParamType_Integer, 1}};

template <std::size_t N>
constexpr UInt16 Count(const ParamInfo (&)[N]) {
  return static_cast<UInt16>(N);
}

constexpr const char* kClearHelp = "\"Clears an EV entry or the whole array\"";

// clang-format off
CommandRow g_table[] = {
  /* 0x2140 */ {{"CV_GetVersion", "", 0, "\"Returns the version of this plugin\"", 0, 0, nullptr,
                 Execute<GetVersion>, nullptr, nullptr, 0}, false, kRetnType_Default},
  /* 0x2141 */ {{"CV_IsUsingSkeleton", "", 0, "\"Returns 1 if the actor is using the given skeleton\"", 1,
                 Count(kParamsString), kParamsString, Execute<queries::IsUsingSkeleton>, nullptr, nullptr, 0},
                false, kRetnType_Default},
  /* 0x2142 */ {{"CV_IsInList", "", 0, "\"Returns > 0 if the item is in the list, see documentation\"", 0,
                 Count(kParamsIsInList), kParamsIsInList, Execute<queries::IsInList>, nullptr, nullptr, 0},
                false, kRetnType_Default},
  /* 0x2143 */ {{"CV_SetEVFl", "", 0, "\"Sets an extended actor float value\"", 1,
                 Count(kParamsSetFloat), kParamsSetFloat, Execute<ev::SetEVFl>, nullptr, nullptr, 0},
                false, kRetnType_Default},
  /* 0x2144 */ {{"CV_GetEVFl", "GetEVFl", 0, "\"Gets an extended actor float value\"", 1,
                 Count(kParamsKey), kParamsKey, Execute<ev::GetEVFl>, nullptr, ev::GetEVFlEval, 1},
                false, kRetnType_Default},
  /* 0x2145 */ {{"CV_SetEVFo", "", 0, "\"Sets an extended actor form value\"", 1,
                 Count(kParamsSetForm), kParamsSetForm, Execute<ev::SetEVFo>, nullptr, nullptr, 0},
                false, kRetnType_Default},
  /* 0x2146 */ {{"CV_GetEVFo", "", 0, "\"Gets an extended actor form value\"", 1,
                 Count(kParamsKey), kParamsKey, Execute<ev::GetEVFo>, nullptr, nullptr, 0},
                false, kRetnType_Default},
  /* 0x2147 */ {{"CV_GetConversationPartner", "", 0, "\"Returns conversation partner or null\"", 1,
                 0, nullptr, Execute<queries::GetConversationPartner>, nullptr, nullptr, 0},
                false, kRetnType_Default},
  /* 0x2148 */ {{"CV_ClrEVFl", "", 0, kClearHelp, 1,
                 Count(kParamsKeyMatch), kParamsKeyMatch, Execute<ev::ClrEVFl>, nullptr, nullptr, 0},
                false, kRetnType_Default},
  /* 0x2149 */ {{"CV_ClrEVFo", "", 0, kClearHelp, 1,
                 Count(kParamsKeyMatch), kParamsKeyMatch, Execute<ev::ClrEVFo>, nullptr, nullptr, 0},
                false, kRetnType_Default},
  /* 0x214A */ {{"CV_GetQVEVFl", "GetQVEVFl", 0,
                 "\"Gets an extended actor float value named in a stringVar quest variable\"", 1,
                 Count(kParamsQuestVar), kParamsQuestVar, Execute<queries::GetQVEVFl>, nullptr,
                 queries::GetQVEVFlEval, 1},
                false, kRetnType_Default},
  /* 0x214B */ {{"CV_SetEVSt", "", 0, "\"Sets an extended actor string value\"", 1,
                 Count(kParamsSetString), kParamsSetString, Execute<ev::SetEVSt>, nullptr, nullptr, 0},
                false, kRetnType_Default},
  /* 0x214C */ {{"CV_GetEVSt", "", 0, "\"Gets an extended actor string value\"", 1,
                 Count(kParamsKey), kParamsKey, Execute<ev::GetEVSt>, nullptr, nullptr, 0},
                true, kRetnType_String},
  /* 0x214D */ {{"CV_ClrEVSt", "", 0, kClearHelp, 1,
                 Count(kParamsKeyMatch), kParamsKeyMatch, Execute<ev::ClrEVSt>, nullptr, nullptr, 0},
                false, kRetnType_Default},
  /* 0x214E */ {{"CV_GetEVFlAr", "", 0,
                 "\"Returns an array of all floats matched by key, match: 1: exact key otherwise all subkeys. "
                 "If no key specified, then the whole values are returned\"", 1,
                 Count(kParamsKeyMatch), kParamsKeyMatch, Execute<ev::GetEVFlAr>, nullptr, nullptr, 0},
                true, kRetnType_Array},
  /* 0x214F */ {{"CV_GetEVFoAr", "", 0,
                 "\"Returns an array of all forms matched by key, match: 1: exact key otherwise all subkeys. "
                 "If no key specified, then the whole values are returned\"", 1,
                 Count(kParamsKeyMatch), kParamsKeyMatch, Execute<ev::GetEVFoAr>, nullptr, nullptr, 0},
                true, kRetnType_Array},
  /* 0x2150 */ {{"CV_GetEVStAr", "", 0,
                 "\"Returns an array of all strings matched by key, match: 1: exact key otherwise all subkeys. "
                 "If no key specified, then the whole values are returned\"", 1,
                 Count(kParamsKeyMatch), kParamsKeyMatch, Execute<ev::GetEVStAr>, nullptr, nullptr, 0},
                true, kRetnType_Array},
  /* 0x2151 */ {{"CV_GetRandom", "", 0, "\"Returns a random integer between x and y (inclusive).\"", 0,
                 Count(kParamsRandom), kParamsRandom, Execute<GetRandom>, nullptr, nullptr, 0},
                false, kRetnType_Default},
  /* 0x2152 */ {{"CV_GetSkeletonPath", "", 0, "\"Gets the skeleton name of the reference\"", 1,
                 0, nullptr, Execute<queries::GetSkeletonPath>, nullptr, nullptr, 0},
                true, kRetnType_String},
  /* 0x2153 */ {{"CV_SetEvConversationSubject", "", 0, "\"Stores conversation subject in an CV variable\"", 1,
                 Count(kParamsKeyPersist), kParamsKeyPersist, Execute<queries::SetEvConversationSubject>,
                 nullptr, nullptr, 0},
                false, kRetnType_Default},
  /* 0x2154 */ {{"CV_SetEvConversationTarget", "", 0, "\"Stores conversation target in an CV variable\"", 1,
                 Count(kParamsKeyPersist), kParamsKeyPersist, Execute<queries::SetEvConversationTarget>,
                 nullptr, nullptr, 0},
                false, kRetnType_Default},
};
// clang-format on

static_assert(sizeof g_table / sizeof g_table[0] == kCommandCount,
              "the command table must hold exactly the 21 commands, opcodes 0x2140 to 0x2154");

}  // namespace

CommandRow* CommandTable() { return g_table; }

}  // namespace cv::plugin
