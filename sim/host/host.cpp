// The load-time interface, command registration, messaging and the command
// table of the simulated host.
#include "sim/host/host.h"

#include <strings.h>

#include <cstring>

#include "platform/fault.h"

namespace cv::sim {

namespace {

Host* g_active = nullptr;

// The host reserves room so that the records it hands out never move.
constexpr std::size_t kMaxCommands = 1024;
constexpr UInt32 kHostOpcodeBase = 0x1000;

bool RegisterCommand(CommandInfo* info) {
  Host* h = Host::Active();
  return h != nullptr && h->Register(info, kRetnType_Default, false);
}

bool RegisterTypedCommand(CommandInfo* info, CommandReturnType type) {
  Host* h = Host::Active();
  return h != nullptr && h->Register(info, type, true);
}

void SetOpcodeBase(UInt32 opcode) {
  if (Host* h = Host::Active()) h->nextOpcode = opcode;
}

PluginHandle GetPluginHandle() {
  Host* h = Host::Active();
  return h != nullptr ? h->loadingHandle : kPluginHandle_Invalid;
}

void* QueryInterface(UInt32 id) {
  Host* h = Host::Active();
  if (h == nullptr) return nullptr;
  h->interfaceQueries.push_back(id);
  // Only the interfaces the real host serves; it answers every other id,
  // the ones it has that the simulator does not model included, with null.
  switch (id) {
    case kInterface_Messaging: return MessagingInterface();
    case kInterface_CommandTable: return CommandTableInterface();
    case kInterface_StringVar: return StringVarInterface();
    case kInterface_ArrayVar: return ArrayVarInterface();
    case kInterface_Script: return ScriptInterface();
    default: return nullptr;
  }
}

// --- messaging ---

bool RegisterListener(PluginHandle listener, const char* sender,
                      NVSEMessagingInterface::EventCallback handler) {
  Host* h = Host::Active();
  if (h == nullptr || handler == nullptr || listener >= h->pluginNames.size()) return false;
  h->listeners.push_back(Listener{listener, sender != nullptr ? sender : "", handler});
  return true;
}

bool Dispatch(PluginHandle sender, UInt32 type, void* data, UInt32 dataLen, const char* receiver) {
  Host* h = Host::Active();
  if (h == nullptr || sender >= h->pluginNames.size()) return false;
  const std::string& from = h->pluginNames[sender];
  for (const Listener& l : std::vector<Listener>(h->listeners)) {
    if (!l.sender.empty() && l.sender != from) continue;
    if (receiver != nullptr && h->pluginNames[l.owner] != receiver) continue;
    NVSEMessagingInterface::Message m{from.c_str(), type, dataLen, data};
    l.callback(&m);
  }
  return true;
}

NVSEMessagingInterface g_messaging = {NVSEMessagingInterface::kVersion, RegisterListener, Dispatch};

// --- command table ---

const CommandInfo* TableStart() {
  Host* h = Host::Active();
  return h != nullptr ? h->commands.data() : nullptr;
}

const CommandInfo* TableEnd() {
  Host* h = Host::Active();
  return h != nullptr ? h->commands.data() + h->commands.size() : nullptr;
}

const CommandInfo* GetByOpcode(UInt32 opcode) {
  Host* h = Host::Active();
  if (h == nullptr) return nullptr;
  for (const CommandInfo& c : h->commands)
    if (c.opcode == opcode) return &c;
  return nullptr;
}

const CommandInfo* GetByName(const char* name) {
  Host* h = Host::Active();
  return h != nullptr && name != nullptr ? h->FindCommand(name) : nullptr;
}

NVSECommandTableInterface MakeCommandTable() {
  NVSECommandTableInterface t{};
  t.version = NVSECommandTableInterface::kVersion;
  t.Start = TableStart;
  t.End = TableEnd;
  t.GetByOpcode = GetByOpcode;
  t.GetByName = GetByName;
  return t;
}

NVSECommandTableInterface g_commandTable = MakeCommandTable();

// --- the game's GetQuestVariable ---

ParamInfo g_questVarParams[] = {{"quest", kParamType_Quest, 0},
                                {"variable", kParamType_Integer, 0}};

bool GetQuestVariableExecute(ParamInfo* paramInfo, void* scriptData, TESObjectREFR* thisObj,
                             TESObjectREFR*, Script* scriptObj, ScriptEventList* eventList,
                             double* result, UInt32* opcodeOffsetPtr) {
  *result = 0;
  TESForm* quest = nullptr;
  UInt32 variable = 0;
  if (!ScriptInterface()->ExtractArgsEx(paramInfo, scriptData, opcodeOffsetPtr, scriptObj,
                                        eventList, &quest, &variable))
    return true;
  GetQuestVariableEval(thisObj, quest,
                       reinterpret_cast<void*>(static_cast<std::uintptr_t>(variable)), result);
  return true;
}

}  // namespace

bool GetQuestVariableEval(TESObjectREFR*, void* quest, void* variable, double* result) {
  Host* h = Host::Active();
  if (h == nullptr) return false;
  Form* q = h->world.AsForm(quest);
  if (q == nullptr || q->kind != FormKind::Quest) return false;
  auto it = q->variables.find(static_cast<UInt32>(reinterpret_cast<std::uintptr_t>(variable)));
  if (it == q->variables.end()) return false;
  *result = it->second;
  return true;
}

NVSEMessagingInterface* MessagingInterface() { return &g_messaging; }
NVSECommandTableInterface* CommandTableInterface() { return &g_commandTable; }

Host::Host(World& w, std::ostream& o, bool editor, UInt32 runtime) : world(w), out(o) {
  nvse.nvseVersion = 0x06030000;
  nvse.runtimeVersion = runtime;
  nvse.editorVersion = 0;
  nvse.isEditor = editor ? 1 : 0;
  nvse.RegisterCommand = RegisterCommand;
  nvse.SetOpcodeBase = SetOpcodeBase;
  nvse.QueryInterface = QueryInterface;
  nvse.GetPluginHandle = GetPluginHandle;
  nvse.RegisterTypedCommand = RegisterTypedCommand;
  commands.reserve(kMaxCommands);
  returnTypes.reserve(kMaxCommands);
  previous_ = g_active;
  g_active = this;

  CommandInfo gqv{};
  gqv.longName = "GetQuestVariable";
  gqv.shortName = "GetQV";
  gqv.opcode = kHostOpcodeBase;
  gqv.helpText = "";
  gqv.numParams = 2;
  gqv.params = g_questVarParams;
  gqv.execute = GetQuestVariableExecute;
  gqv.eval = GetQuestVariableEval;
  gqv.flags = 1;
  commands.push_back(gqv);
  returnTypes.push_back(kRetnType_Default);
  gameCommands_ = commands.size();
}

Host::~Host() { g_active = previous_; }

Host* Host::Active() { return g_active; }

void Host::Activate() { g_active = this; }

namespace {
// Script command names are matched without regard to case.
bool SameName(const char* a, std::string_view b) {
  if (a == nullptr || *a == '\0' || std::strlen(a) != b.size()) return false;
  for (std::size_t i = 0; i < b.size(); ++i)
    if (std::tolower(static_cast<unsigned char>(a[i])) !=
        std::tolower(static_cast<unsigned char>(b[i])))
      return false;
  return true;
}
}  // namespace

const CommandInfo* Host::FindCommand(std::string_view name) const {
  for (const CommandInfo& c : commands)
    if (SameName(c.longName, name) || SameName(c.shortName, name)) return &c;
  return nullptr;
}

CommandReturnType Host::ReturnTypeOf(const CommandInfo* info) const {
  if (info < commands.data() || info >= commands.data() + commands.size()) return kRetnType_Default;
  return returnTypes[static_cast<std::size_t>(info - commands.data())];
}

bool Host::IsGameCommand(const CommandInfo* info) const {
  return info >= commands.data() && info < commands.data() + gameCommands_;
}

bool Host::Register(CommandInfo* info, CommandReturnType type, bool typed) {
  if (info == nullptr || commands.size() == kMaxCommands) return false;
  info->opcode = nextOpcode++;
  commands.push_back(*info);
  returnTypes.push_back(type);
  registrations.push_back(
      Registration{info->longName != nullptr ? info->longName : "", info->opcode, typed, type});
  return true;
}

void Host::SendMessage(UInt32 type, const char* text) {
  world.Publish(false);
  std::string copy = text != nullptr ? text : "";
  for (const Listener& l : std::vector<Listener>(listeners)) {
    if (!l.sender.empty() && l.sender != "NVSE") continue;
    NVSEMessagingInterface::Message m{"NVSE", type,
                                      text != nullptr ? static_cast<UInt32>(copy.size()) : 0,
                                      text != nullptr ? copy.data() : nullptr};
    l.callback(&m);
  }
}

void Host::ConsoleLine(std::string_view text) {
  // One print may hold several lines; a final newline ends the last one.
  if (!text.empty() && text.back() == '\n') text.remove_suffix(1);
  std::size_t start = 0;
  while (true) {
    std::size_t nl = text.find('\n', start);
    std::string line(text.substr(start, nl == std::string_view::npos ? nl : nl - start));
    out << "console: " << line << '\n' << std::flush;
    if (frame != nullptr) frame->console.push_back(std::move(line));
    if (nl == std::string_view::npos) break;
    start = nl + 1;
  }
}

ArrayVar* Host::FindArray(const void* handle) const {
  auto it = arrays.find(handle);
  return it == arrays.end() ? nullptr : it->second.get();
}

}  // namespace cv::sim
