#include "probe_plugin.h"

#include <cstdint>
#include <cstring>

#include "host/host.h"
#include "sim/host/host.h"

namespace probe {

namespace {

struct Interfaces {
  NVSEScriptInterface* script = nullptr;
  NVSEStringVarInterface* strings = nullptr;
  NVSEArrayVarInterface* arrays = nullptr;
  const CVEngineInterface* engine = nullptr;
};

Interfaces& Host() {
  static Interfaces i;
  return i;
}

int g_presetTag = 0;

using Element = NVSEArrayVarInterface::Element;

char* HeapText(const char* text) {
  auto* block = static_cast<char*>(Host().engine->FormHeap_Allocate(std::strlen(text) + 1));
  std::strcpy(block, text);
  return block;
}

Element Text(const char* text) {
  Element e{};
  e.type = Element::kType_String;
  e.str = HeapText(text);
  return e;
}

using cv::host::CommandArgs;

bool Args(const CommandArgs& a) {
  Seen& s = LastSeen();
  std::strcpy(s.text, "preset");
  s.integer = kPresetInteger;
  s.number = kPresetNumber;
  s.quest = s.list = s.any = PresetForm();
  s.ok = Host().script->ExtractArgsEx(a.paramInfo, a.scriptData, a.opcodeOffsetPtr, a.scriptObj,
                                      a.eventList, s.text, &s.integer, &s.number, &s.quest, &s.list,
                                      &s.any);
  *a.result = s.ok ? 1 : 0;
  return true;
}

// Prints one formatted line and answers whether the console runs it.
bool Console(const CommandArgs& a) {
  Host().engine->Console_Print("n=%d s=%s", 42, "text");
  *a.result = Host().engine->IsConsoleMode() ? 1 : 0;
  return true;
}

bool Str(const CommandArgs& a) {
  Host().strings->Assign(a.paramInfo, a.scriptData, a.thisObj, a.containingObj, a.scriptObj,
                         a.eventList, a.result, a.opcodeOffsetPtr, "say \"hi\"");
  return true;
}

void Free(const Element& e) { Host().engine->FormHeap_Free(e.str); }

// Sets key to value and gives back the heap strings: the host copies them.
// With keep, the key's block is kept (and lost).
void Set(NVSEArrayVarInterface::Array* arr, const char* key, const Element& value,
         bool keep = false) {
  Element k = Text(key);
  Host().arrays->SetElement(arr, k, value);
  if (!keep) Free(k);
  if (value.type == Element::kType_String) Free(value);
}

// A string map {"a": "x", "b": 2, "f": <thisObj>}, with heap strings; with
// leak, one key's block is never given back.
bool MakeArray(const CommandArgs& a, bool leak) {
  NVSEArrayVarInterface* av = Host().arrays;
  auto* arr = av->CreateStringMap(nullptr, nullptr, 0, a.scriptObj);
  if (arr == nullptr) return true;
  Element num{};
  num.num = 2;
  num.type = Element::kType_Numeric;
  Element form{};
  form.form = reinterpret_cast<TESForm*>(a.thisObj);
  form.type = Element::kType_Form;
  Set(arr, "b", num, leak);
  Set(arr, "a", Text("x"));
  Set(arr, "f", form);
  av->AssignCommandResult(arr, a.result);
  return true;
}

bool Arr(const CommandArgs& a) { return MakeArray(a, false); }
bool Leak(const CommandArgs& a) { return MakeArray(a, true); }

// Makes an array with no calling script, which the real host dereferences.
bool BadArr(const CommandArgs& a) {
  Host().arrays->CreateStringMap(nullptr, nullptr, 0, nullptr);
  *a.result = 0;
  return true;
}

bool Refuse(const CommandArgs& a) {
  *a.result = 5;
  return false;
}

// Condition: string length * 1000 + the integer word.
// The number, plus 1000 when the text parameter's word is not 0 (a
// condition can give no text, so it always is).
bool Cond(TESObjectREFR*, void* number, void* text, double* result) {
  *result = static_cast<double>(reinterpret_cast<std::uintptr_t>(number)) +
            (text != nullptr ? 1000.0 : 0.0);
  return true;
}

ParamInfo kAllParams[] = {{"text", kParamType_String, 0},   {"int", kParamType_Integer, 0},
                          {"float", kParamType_Float, 1},   {"quest", kParamType_Quest, 1},
                          {"list", kParamType_FormList, 1}, {"any", kParamType_AnyForm, 1}};
ParamInfo kCondParams[] = {{"int", kParamType_Integer, 0}, {"text", kParamType_String, 0}};

using cv::host::Execute;

CommandInfo g_commands[] = {
    {"Probe_Args", "PArgs", 0, "", 0, 6, kAllParams, Execute<Args>, nullptr, nullptr, 0},
    {"Probe_Console", "", 0, "", 0, 0, nullptr, Execute<Console>, nullptr, nullptr, 0},
    {"Probe_Str", "", 0, "", 0, 0, nullptr, Execute<Str>, nullptr, nullptr, 0},
    {"Probe_Arr", "", 0, "", 0, 0, nullptr, Execute<Arr>, nullptr, nullptr, 0},
    {"Probe_BadArr", "", 0, "", 0, 0, nullptr, Execute<BadArr>, nullptr, nullptr, 0},
    {"Probe_Cond", "", 0, "", 0, 2, kCondParams, nullptr, nullptr, Cond, 1},
    {"Probe_Refuse", "", 0, "", 0, 0, nullptr, Execute<Refuse>, nullptr, nullptr, 0},
    {"Probe_Leak", "", 0, "", 0, 0, nullptr, Execute<Leak>, nullptr, nullptr, 0},
};

void OnMessage(NVSEMessagingInterface::Message* m) { MessagesSeen().push_back(m->type); }

bool Query(const NVSEInterface*, PluginInfo* info) {
  info->infoVersion = 1;
  info->name = "Probe";
  info->version = 1;
  return true;
}

bool Load(const NVSEInterface* nvse) {
  PluginHandle handle = nvse->GetPluginHandle();
  nvse->SetOpcodeBase(kOpcodeBase);
  nvse->RegisterCommand(&g_commands[0]);
  nvse->RegisterCommand(&g_commands[1]);
  nvse->RegisterTypedCommand(&g_commands[2], kRetnType_String);
  nvse->RegisterTypedCommand(&g_commands[3], kRetnType_Array);
  nvse->RegisterTypedCommand(&g_commands[4], kRetnType_Array);
  nvse->RegisterCommand(&g_commands[5]);
  nvse->RegisterCommand(&g_commands[6]);
  nvse->RegisterCommand(&g_commands[7]);
  auto* messaging =
      static_cast<NVSEMessagingInterface*>(nvse->QueryInterface(kInterface_Messaging));
  messaging->RegisterListener(handle, "NVSE", OnMessage);
  Interfaces& i = Host();
  i.script = static_cast<NVSEScriptInterface*>(nvse->QueryInterface(kInterface_Script));
  i.strings = static_cast<NVSEStringVarInterface*>(nvse->QueryInterface(kInterface_StringVar));
  i.arrays = static_cast<NVSEArrayVarInterface*>(nvse->QueryInterface(kInterface_ArrayVar));
  i.engine = CorvaneSimEngine();
  return true;
}

}  // namespace

TESForm* PresetForm() { return reinterpret_cast<TESForm*>(&g_presetTag); }

Seen& LastSeen() {
  static Seen s;
  return s;
}

std::vector<UInt32>& MessagesSeen() {
  static std::vector<UInt32> m;
  return m;
}

cv::sim::PluginEntry Entry() { return {"probe", Query, Load}; }

}  // namespace probe
