// The engine table over FalloutNV.exe 1.4.0.525's own memory. Every
// operation first proves what it reads (memory.h), casts by walking the RTTI
// class hierarchy and then the form-type byte (never the game's own cast,
// which throws on bad pointers), copies game strings at once, and answers
// "nothing" for anything it cannot prove.
#include <windows.h>

#include <array>
#include <cstdarg>
#include <cstdio>

#include "host/fnv/memory.h"
#include "host/game_binding.h"

namespace cv::fnv {

namespace {

// Bounds of the binding's own choosing (not game facts): how far a template
// chain, a form-map bucket chain or a form list is followed before it counts
// as corrupt.
constexpr int kMaxTemplateSteps = 256;
constexpr Addr kMaxChainSteps = 1u << 16;
constexpr Addr kMaxListNodes = 1u << 20;

std::uint8_t TypeOf(Addr form) { return At<std::uint8_t>(form + kFormTypeID); }

// Every class the binding casts to, with whether its type descriptor named
// it when the engine was chosen. TESForm's must, or the image is not the
// game's at all; any other that does not switches off only what needs it.
struct GameClass {
  Addr td;
  const char* decorated;
  const char* name;
  bool named;
};
std::array<GameClass, 11> g_classes = {{
    {kTD_TESForm, kTESFormName, "TESForm", false},
    {kTD_TESObjectREFR, kTESObjectREFRName, "TESObjectREFR", false},
    {kTD_Actor, kActorName, "Actor", false},
    {kTD_TESActorBase, kTESActorBaseName, "TESActorBase", false},
    {kTD_TESNPC, kTESNPCName, "TESNPC", false},
    {kTD_TESCreature, kTESCreatureName, "TESCreature", false},
    {kTD_BGSListForm, kBGSListFormName, "BGSListForm", false},
    {kTD_TESQuest, kTESQuestName, "TESQuest", false},
    {kTD_TESPackage, kTESPackageName, "TESPackage", false},
    {kTD_DialoguePackage, kDialoguePackageName, "DialoguePackage", false},
    {kTD_BaseProcess, kBaseProcessName, "BaseProcess", false},
}};

bool Named(Addr typeDescriptor) {
  for (const GameClass& c : g_classes)
    if (c.td == typeDescriptor) return c.named;
  return false;
}

// The object when it is of the class, with span bytes (at least a form's)
// readable; 0 otherwise, and always 0 for a class whose descriptor did not
// name it. The callers check the type byte.
Addr AsClass(Addr p, Addr typeDescriptor, Addr span) {
  return Named(typeDescriptor) && IsA(p, typeDescriptor, span) ? p : 0;
}

Addr AsForm(Addr p) { return AsClass(p, kTD_TESForm, kFormSize); }

Addr AsReference(Addr p) {
  if (AsClass(p, kTD_TESObjectREFR, kRefReadSpan) == 0) return 0;
  const std::uint8_t t = TypeOf(p);
  return (t >= kTypeReference && t <= kTypeLastProjectile) || t == kTypeBeamProjectile ? p : 0;
}

Addr AsActor(Addr p) {
  if (AsClass(p, kTD_Actor, kActorReadSpan) == 0) return 0;
  const std::uint8_t t = TypeOf(p);
  return t == kTypeCharacter || t == kTypeCreatureRef ? p : 0;
}

Addr AsActorBase(Addr p) {
  if (AsClass(p, kTD_TESActorBase, kBaseReadSpan) == 0) return 0;
  const std::uint8_t t = TypeOf(p);
  return t == kTypeNPC || t == kTypeCreature ? p : 0;
}

// The NPC and creature template chain (§3b): an NPC or a creature.
Addr AsLinkedBase(Addr p) {
  if (AsClass(p, kTD_TESNPC, kBaseReadSpan) != 0 && TypeOf(p) == kTypeNPC) return p;
  if (AsClass(p, kTD_TESCreature, kBaseReadSpan) != 0 && TypeOf(p) == kTypeCreature) return p;
  return 0;
}

Addr AsFormList(Addr p) {
  return AsClass(p, kTD_BGSListForm, kListReadSpan) != 0 && TypeOf(p) == kTypeFormList ? p : 0;
}

Addr AsQuest(Addr p) {
  return AsClass(p, kTD_TESQuest, kFormSize) != 0 && TypeOf(p) == kTypeQuest ? p : 0;
}

// By the RTTI class alone: no source gives the form-type byte of a dialogue
// package made at run time (§8.4); every one tells it by its class.
Addr AsConversation(Addr p) { return AsClass(p, kTD_DialoguePackage, kDialogueReadSpan); }

Addr AsProcess(Addr p) {
  if (AsClass(p, kTD_BaseProcess, kProcessReadSpan) == 0) return 0;
  return At<std::uint32_t>(p + kProcessLevel) <= kLowestProcessLevel ? p : 0;
}

template <class T>
T* Out(Addr a) {
  return PointerTo<T>(a);
}

void* DynamicCast(void* object, UInt32 wantedKind) {
  const Addr p = AddrOf(object);
  switch (wantedKind) {
    case kCVKind_Reference: return Out<void>(AsReference(p));
    case kCVKind_Actor: return Out<void>(AsActor(p));
    case kCVKind_ActorBase: return Out<void>(AsActorBase(p));
    case kCVKind_LinkedBase: return Out<void>(AsLinkedBase(p));
    case kCVKind_FormList: return Out<void>(AsFormList(p));
    case kCVKind_Quest: return Out<void>(AsQuest(p));
    case kCVKind_Conversation: return Out<void>(AsConversation(p));
    default: return nullptr;
  }
}

UInt32 GetRefID(const TESForm* form) {
  const Addr f = AsForm(AddrOf(form));
  return f != 0 ? At<UInt32>(f + kFormRefID) : 0;
}

TESForm* GetBaseForm(TESObjectREFR* ref) {
  const Addr r = AsReference(AddrOf(ref));
  return r != 0 ? Out<TESForm>(AsForm(At<Addr>(r + kRefBaseForm))) : nullptr;
}

// The game's strings are borrowed: each is copied here at once, and the
// copy stays until the same operation is asked again.
std::array<char, 0x10000> g_modelPath;
std::array<char, kModNameMax + 1> g_modName;

// The actor base whose model the game uses: the template's while the "use
// model" flag is set (§3a), stopping at no template or a leveled list. 0
// for a broken template or a chain that never ends.
Addr ModelSource(Addr base) {
  for (int step = 0; step < kMaxTemplateSteps; ++step) {
    if ((At<std::uint16_t>(base + kBaseTemplateFlags) & kTemplateUseModel) == 0) return base;
    const Addr t = At<Addr>(base + kBaseTemplate);
    if (t == 0) return base;
    if (const Addr next = AsActorBase(t)) {
      base = next;
      continue;
    }
    const Addr form = AsForm(t);
    if (form == 0) return 0;
    const std::uint8_t type = TypeOf(form);
    return type == kTypeLevCreature || type == kTypeLevCharacter ? base : 0;
  }
  return 0;
}

const char* GetSkeletonModelPath(TESForm* actorBase) {
  Addr base = AsActorBase(AddrOf(actorBase));
  if (base != 0) base = ModelSource(base);
  if (base == 0) return nullptr;
  const Addr text = At<Addr>(base + kBaseModelPath);
  const std::uint16_t length = At<std::uint16_t>(base + kBaseModelLength);
  std::size_t n = 0;
  if (text != 0 && length != 0) {
    if (!SafeCopy(g_modelPath.data(), text, length)) return nullptr;
    while (n < length && g_modelPath[n] != '\0') ++n;
  }
  g_modelPath[n] = '\0';
  return g_modelPath.data();
}

TESForm* GetParentLink(TESForm* linkedBase) {
  const Addr child = AsLinkedBase(AddrOf(linkedBase));
  if (child == 0) return nullptr;
  const Addr parent = AsLinkedBase(At<Addr>(child + kBaseTemplate));
  return parent != 0 && TypeOf(parent) == TypeOf(child) ? Out<TESForm>(parent) : nullptr;
}

// Every object the plug-in handles (forms, processes, packages) is at least
// a form header long.
bool IsValidObject(const void* object) { return IsGameObject(AddrOf(object), kFormSize); }

// The node after node, or 0 at the end or at a node that cannot be read.
Addr NextNode(Addr node) {
  const Addr next = At<Addr>(node + kNodeNext);
  return next != 0 && next % 4 == 0 && Readable(next, kNodeSize) ? next : 0;
}

// The last entry found, so that reading a list front to back is one step
// per entry. Forgotten whenever a list is counted.
struct ListCursor {
  Addr list = 0;
  UInt32 index = 0;
  Addr node = 0;
};
ListCursor g_cursor;

UInt32 GetFormListCount(TESForm* formList) {
  g_cursor = {};
  const Addr list = AsFormList(AddrOf(formList));
  if (list == 0 || At<Addr>(list + kListHead + kNodeData) == 0) return 0;
  // Brent's cycle test: a list that loops is corrupt and counts as empty.
  UInt32 count = 1;
  Addr node = list + kListHead;
  Addr mark = node;
  UInt32 power = 1;
  UInt32 lambda = 0;
  while ((node = NextNode(node)) != 0) {
    if (node == mark || count >= kMaxListNodes) return 0;
    ++count;
    if (++lambda == power) {
      mark = node;
      power *= 2;
      lambda = 0;
    }
  }
  return count;
}

TESForm* GetFormListEntry(TESForm* formList, UInt32 index) {
  const Addr list = AsFormList(AddrOf(formList));
  if (list == 0 || At<Addr>(list + kListHead + kNodeData) == 0 || index >= kMaxListNodes)
    return nullptr;
  Addr node = list + kListHead;
  UInt32 at = 0;
  if (g_cursor.list == list && g_cursor.node != 0 && g_cursor.index <= index &&
      Readable(g_cursor.node, kNodeSize)) {
    node = g_cursor.node;
    at = g_cursor.index;
  }
  for (; at < index && node != 0; ++at) node = NextNode(node);
  if (node == 0) {
    g_cursor = {};
    return nullptr;
  }
  g_cursor = {list, index, node};
  return Out<TESForm>(AsForm(At<Addr>(node + kNodeData)));
}

void* GetAIProcess(TESObjectREFR* actor) {
  const Addr a = AsActor(AddrOf(actor));
  return a != 0 ? Out<void>(AsProcess(At<Addr>(a + kActorProcess))) : nullptr;
}

// The game's thiscall methods (this in ECX, arguments on the stack, popped
// by the callee) are called as fastcall functions whose first argument is
// this and whose second, the EDX word, is unused: the same calling sequence.
using RunningPackageFn = void*(__attribute__((fastcall)) *)(void* process);

void* GetCurrentActivity(void* process) {
  const Addr p = AsProcess(AddrOf(process));
  if (p == 0) return nullptr;
  const Addr slot = At<Addr>(p) + kProcessRunningPackageSlot;
  if (!InImage(slot, 4)) return nullptr;  // a vtable lies in the image
  const Addr fn = At<Addr>(slot);
  if (!InCode(fn)) return nullptr;
  const Addr package = AddrOf(reinterpret_cast<RunningPackageFn>(fn)(process));
  return Out<void>(AsClass(package, kTD_TESPackage, kFormSize));
}

TESObjectREFR* ConversationParty(void* conversation, Addr field) {
  const Addr c = AsConversation(AddrOf(conversation));
  return c != 0 ? Out<TESObjectREFR>(AsActor(At<Addr>(c + field))) : nullptr;
}
TESObjectREFR* GetConversationSubject(void* c) { return ConversationParty(c, kDialogueSubject); }
TESObjectREFR* GetConversationTarget(void* c) { return ConversationParty(c, kDialogueTarget); }

TESForm* LookupFormByID(UInt32 refID) {
  Addr map = 0;
  if (!ReadAt(kFormMapPtr, map) || map == 0 || !Readable(map, kMapSize)) return nullptr;
  const UInt32 buckets = At<UInt32>(map + kMapBucketCount);
  const Addr table = At<Addr>(map + kMapBuckets);
  if (buckets == 0) return nullptr;
  Addr entry = 0;
  if (!ReadAt(table + (refID % buckets) * 4, entry)) return nullptr;
  for (Addr step = 0; entry != 0 && step < kMaxChainSteps; ++step) {
    if (!Readable(entry, kEntrySize)) return nullptr;
    if (At<UInt32>(entry + kEntryKey) == refID) {
      const Addr form = AsForm(At<Addr>(entry + kEntryData));
      return form != 0 && At<UInt32>(form + kFormRefID) == refID ? Out<TESForm>(form) : nullptr;
    }
    entry = At<Addr>(entry + kEntryNext);
  }
  return nullptr;
}

Addr DataHandler() {
  Addr handler = 0;
  return ReadAt(kDataHandlerPtr, handler) && handler != 0 &&
                 Readable(handler, kDataMods + kMaxMods * 4)
             ? handler
             : 0;
}

// The handler's count of loaded mods, no more than its array holds.
UInt32 ModCount(Addr handler) {
  const UInt32 n = At<UInt32>(handler + kDataModCount);
  return n > kMaxMods ? kMaxMods : n;
}

UInt32 GetModCount() {
  const Addr handler = DataHandler();
  return handler != 0 ? ModCount(handler) : 0;
}

const char* GetModName(UInt32 index) {
  const Addr handler = DataHandler();
  if (handler == 0 || index >= ModCount(handler)) return nullptr;
  const Addr mod = At<Addr>(handler + kDataMods + index * 4);
  if (mod == 0 || !SafeCopy(g_modName.data(), mod + kModName, kModNameMax)) return nullptr;
  for (UInt32 i = 0; i < kModNameMax; ++i)
    if (g_modName[i] == '\0') return g_modName.data();
  return nullptr;
}

bool IsConsoleMode() {
  std::uint8_t open = 0;
  if (!ReadAt(kConsoleOpenByte, open) || open == 0) return false;
  UInt32 index = 0;
  Addr slots = 0;
  Addr block = 0;
  std::uint8_t flag = 0;
  // The thread's own block array (TEB->ThreadLocalStoragePointer).
  asm volatile("movl %%fs:(%1), %0" : "=r"(slots) : "r"(kTebTlsPointer));
  return ReadAt(kTlsIndexVar, index) && index < 0x10000 && slots != 0 &&
         ReadAt(slots + index * 4, block) && block != 0 && ReadAt(block + kTlsConsoleFlag, flag) &&
         flag != 0;
}

using ConsoleSingletonFn = void* (*)(bool create);
using ConsolePrintFn = void(__attribute__((fastcall)) *)(void* console, void* unused,
                                                         const char* fmt, va_list args);

void Console_Print(const char* fmt, ...) {
  if (fmt == nullptr || !InCode(kConsoleSingleton) || !InCode(kConsolePrint)) return;
  static std::array<char, 0x4000> line;
  va_list args;
  va_start(args, fmt);
  const int n = std::vsnprintf(line.data(), line.size(), fmt, args);
  va_end(args);
  if (n < 0) return;
  void* console = reinterpret_cast<ConsoleSingletonFn>(kConsoleSingleton)(true);
  if (console == nullptr) return;
  // The game formats again: it gets the finished text as one "%s" argument,
  // its argument area a plain pointer to that one argument.
  const char* argument[1] = {line.data()};
  reinterpret_cast<ConsolePrintFn>(kConsolePrint)(
      console, nullptr, "%s", reinterpret_cast<va_list>(const_cast<char**>(argument)));
}

UInt32 GetFormCount() {
  Addr map = 0;
  if (!ReadAt(kFormMapPtr, map) || map == 0 || !Readable(map, kMapSize)) return 0;
  return At<UInt32>(map + kMapItemCount);
}

UInt32 GetProcessLevel(void* process) {
  const Addr p = AsProcess(AddrOf(process));
  return p != 0 ? At<UInt32>(p + kProcessLevel) : kCVNoProcessLevel;
}

using HeapAllocateFn = void* (*)(UInt32 size);
using HeapFreeFn = void (*)(void* block);

void* FormHeap_Allocate(UInt32 size) {
  return InCode(kHeapAllocate) ? reinterpret_cast<HeapAllocateFn>(kHeapAllocate)(size) : nullptr;
}

void FormHeap_Free(void* block) {
  // Whether the game's free takes null is not known (§2.5): never given.
  if (block != nullptr && InCode(kHeapFree)) reinterpret_cast<HeapFreeFn>(kHeapFree)(block);
}

const CVEngineInterface g_table = {
    CVEngineInterface::kVersion,
    DynamicCast,
    GetRefID,
    GetBaseForm,
    GetSkeletonModelPath,
    GetParentLink,
    IsValidObject,
    GetFormListCount,
    GetFormListEntry,
    GetAIProcess,
    GetCurrentActivity,
    GetConversationSubject,
    GetConversationTarget,
    LookupFormByID,
    GetModCount,
    GetModName,
    IsConsoleMode,
    Console_Print,
    FormHeap_Allocate,
    FormHeap_Free,
    GetFormCount,
    GetProcessLevel,
};

}  // namespace

}  // namespace cv::fnv

namespace cv::host {

// The reads' fault handler goes in first: even the image's header is read
// through it.
const CVEngineInterface* GameEngine() {
  bool game = fnv::InstallSafeReads() && fnv::IsGameImage();
  for (fnv::GameClass& c : fnv::g_classes) {
    c.named = game && fnv::NamesClass(c.td, c.decorated);
    if (c.td == fnv::kTD_TESForm) game = c.named;
  }
  return game ? &fnv::g_table : nullptr;
}

std::vector<std::string> GameClassesNotNamed() {
  std::vector<std::string> names;
  if (!fnv::InstallSafeReads() || !fnv::IsGameImage()) return names;
  for (const fnv::GameClass& c : fnv::g_classes)
    if (!c.named) names.emplace_back(c.name);
  return names;
}

}  // namespace cv::host
