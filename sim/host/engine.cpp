// The engine table: the game operations the plug-in relies on, answered from
// the world. Every operation checks the pointers it is given against the
// world's objects, so a stale or foreign pointer gives "nothing", never a fault.
#include <algorithm>
#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <string>

#include "platform/fault.h"
#include "platform/program_export.h"
#include "sim/host/host.h"
#include "sim/image/game_image.h"

namespace cv::sim {

namespace {

// The longest line the game's console holds: game-facts §8.1, "limited to
// 512 chars", the NUL included.
constexpr std::size_t kConsoleLineMax = 511;

// The world of the active host, or null when the operation is made to fail
// (or no host is active).
World* WorldFor(const char* op) {
  if (fault::Hit(op) == fault::Kind::Return) return nullptr;
  Host* h = Host::Active();
  return h != nullptr ? &h->world : nullptr;
}

template <class T>
T* Out(Form* f) {
  return reinterpret_cast<T*>(f);
}

// The kinds as the game's classes give them (the binding's casts over the
// game image): an actor is a reference; NPCs and creatures are the actor
// bases, and both carry the template chain, the linked kind.
bool KindMatches(const Form& f, UInt32 wanted) {
  switch (wanted) {
    case kCVKind_Reference: return f.kind == FormKind::Reference || f.kind == FormKind::Actor;
    case kCVKind_Actor: return f.kind == FormKind::Actor;
    case kCVKind_ActorBase:
    case kCVKind_LinkedBase: return IsActorBase(f.kind);
    case kCVKind_FormList: return f.kind == FormKind::FormList;
    case kCVKind_Quest: return f.kind == FormKind::Quest;
    default: return false;
  }
}

void* DynamicCast(void* object, UInt32 wanted) {
  World* w = WorldFor("engine.DynamicCast");
  if (w == nullptr || object == nullptr) return nullptr;
  if (wanted == kCVKind_Conversation) return w->AsConversation(object);
  Form* f = w->AsForm(object);
  return f != nullptr && KindMatches(*f, wanted) ? object : nullptr;
}

UInt32 GetRefID(const TESForm* form) {
  World* w = WorldFor("engine.GetRefID");
  Form* f = w != nullptr ? w->AsForm(form) : nullptr;
  return f != nullptr ? f->id : 0;
}

TESForm* GetBaseForm(TESObjectREFR* ref) {
  World* w = WorldFor("engine.GetBaseForm");
  Form* f = w != nullptr ? w->AsForm(ref) : nullptr;
  if (f == nullptr || (f->kind != FormKind::Reference && f->kind != FormKind::Actor))
    return nullptr;
  return Out<TESForm>(f->base);
}

// How far a template chain is followed before it counts as endless: the
// bound the game binding uses, so that both give up on the same chains.
constexpr int kMaxTemplateSteps = 256;

// The actor base whose model the game shows (game-facts §3a): the
// template's while "use model/animation" is set, until a base without a
// template or with a leveled one. Null for a template of any other kind and
// for a chain that never ends.
const Form* ModelSource(const Form* base) {
  for (int step = 0; step < kMaxTemplateSteps; ++step) {
    if (!base->useModel || base->parent == nullptr) return base;
    const Form* t = base->parent;
    if (!IsActorBase(t->kind)) return t->kind == FormKind::Leveled ? base : nullptr;
    base = t;
  }
  return nullptr;
}

const char* GetSkeletonModelPath(TESForm* actorBase) {
  World* w = WorldFor("engine.GetSkeletonModelPath");
  Form* f = w != nullptr ? w->AsForm(actorBase) : nullptr;
  const Form* source = f != nullptr && IsActorBase(f->kind) ? ModelSource(f) : nullptr;
  return source != nullptr ? source->skeleton.c_str() : nullptr;
}

// The game gives a template only when it is a valid object of the child's
// own type: a template of another kind (a leveled list) ends the chain.
TESForm* GetParentLink(TESForm* linkedBase) {
  World* w = WorldFor("engine.GetParentLink");
  Form* f = w != nullptr ? w->AsForm(linkedBase) : nullptr;
  if (f == nullptr || !IsActorBase(f->kind)) return nullptr;
  Form* parent = w->AsForm(f->parent);
  return parent != nullptr && parent->kind == f->kind ? Out<TESForm>(parent) : nullptr;
}

bool IsValidObject(const void* object) {
  World* w = WorldFor("engine.IsValidObject");
  return w != nullptr && w->TypeOf(object).has_value();
}

UInt32 GetFormListCount(TESForm* list) {
  World* w = WorldFor("engine.GetFormListCount");
  Form* f = w != nullptr ? w->AsForm(list) : nullptr;
  // The game's list embeds its first node: an empty first node is an empty
  // list, whatever follows it.
  if (f == nullptr || f->kind != FormKind::FormList || f->entries.empty() ||
      f->entries.front() == nullptr)
    return 0;
  return static_cast<UInt32>(f->entries.size());
}

TESForm* GetFormListEntry(TESForm* list, UInt32 index) {
  World* w = WorldFor("engine.GetFormListEntry");
  Form* f = w != nullptr ? w->AsForm(list) : nullptr;
  if (f == nullptr || f->kind != FormKind::FormList || index >= f->entries.size() ||
      f->entries.front() == nullptr)
    return nullptr;
  return Out<TESForm>(f->entries[index]);
}

void* GetAIProcess(TESObjectREFR* actor) {
  World* w = WorldFor("engine.GetAIProcess");
  Form* f = w != nullptr ? w->AsForm(actor) : nullptr;
  return f != nullptr && f->kind == FormKind::Actor ? f->process : nullptr;
}

void* GetCurrentActivity(void* process) {
  World* w = WorldFor("engine.GetCurrentActivity");
  Process* p = w != nullptr ? w->AsProcess(process) : nullptr;
  return p != nullptr ? p->activity : nullptr;
}

// A conversation's side counts only when it is a valid actor, as in the game.
TESObjectREFR* ActorOrNull(World& w, Form* side) {
  Form* f = w.AsForm(side);
  return f != nullptr && f->kind == FormKind::Actor ? Out<TESObjectREFR>(f) : nullptr;
}

TESObjectREFR* GetConversationSubject(void* conversation) {
  World* w = WorldFor("engine.GetConversationSubject");
  Conversation* c = w != nullptr ? w->AsConversation(conversation) : nullptr;
  return c != nullptr ? ActorOrNull(*w, c->subject) : nullptr;
}

TESObjectREFR* GetConversationTarget(void* conversation) {
  World* w = WorldFor("engine.GetConversationTarget");
  Conversation* c = w != nullptr ? w->AsConversation(conversation) : nullptr;
  return c != nullptr ? ActorOrNull(*w, c->target) : nullptr;
}

TESForm* LookupFormByID(UInt32 refID) {
  World* w = WorldFor("engine.LookupFormByID");
  return w != nullptr ? Out<TESForm>(w->Lookup(refID)) : nullptr;
}

// The game keeps at most 0xFF loaded mods (DataHandler's loadedMods[0xFF],
// game-facts §2.2.8), each name in a buffer of 0x100 bytes with its NUL.
constexpr std::size_t kMaxMods = 0xFF;
constexpr std::size_t kModNameMax = 0x100 - 1;

UInt32 GetModCount() {
  World* w = WorldFor("engine.GetModCount");
  return w != nullptr ? static_cast<UInt32>(std::min(w->mods.size(), kMaxMods)) : 0;
}

// The name is copied, as the game's is, and stays until the next call.
const char* GetModName(UInt32 index) {
  World* w = WorldFor("engine.GetModName");
  if (w == nullptr || index >= std::min(w->mods.size(), kMaxMods)) return nullptr;
  static std::string name;
  name = w->mods[index].substr(0, kModNameMax);
  return name.c_str();
}

bool IsConsoleMode() {
  if (fault::Hit("engine.IsConsoleMode") == fault::Kind::Return) return false;
  Host* h = Host::Active();
  return h != nullptr && h->consoleMode;
}

void Console_Print(const char* fmt, ...) {
  if (fault::Hit("engine.Console_Print") == fault::Kind::Return) return;
  Host* h = Host::Active();
  if (h == nullptr || fmt == nullptr) return;
  va_list ap;
  va_start(ap, fmt);
  va_list measure;
  va_copy(measure, ap);
  int n = std::vsnprintf(nullptr, 0, fmt, measure);
  va_end(measure);
  std::string line;
  if (n > 0) {
    line.resize(static_cast<std::size_t>(n) + 1);
    std::vsnprintf(line.data(), line.size(), fmt, ap);
    line.resize(static_cast<std::size_t>(n));
  }
  va_end(ap);
  // The game formats into a buffer of about 512 bytes (game-facts §8.1): a
  // longer line overruns it.
  if (line.size() > kConsoleLineMax)
    h->Error("Console_Print of a line of " + std::to_string(line.size()) +
             " bytes; the game's console holds " + std::to_string(kConsoleLineMax));
  h->ConsoleLine(line);
}

void* FormHeap_Allocate(UInt32 size) {
  World* w = WorldFor("engine.FormHeap_Allocate");
  return w != nullptr ? w->HeapAllocate(size) : nullptr;
}

void FormHeap_Free(void* block) {
  Host* h = Host::Active();
  if (h == nullptr) return;
  // Whether the game's free takes null is not known: a plug-in must not try.
  if (block == nullptr)
    h->Error("FormHeap_Free of null");
  else if (!h->world.HeapFree(block))
    h->Error("FormHeap_Free of a block not from the game heap");
}

UInt32 GetFormCount() {
  World* w = WorldFor("engine.GetFormCount");
  return w != nullptr ? static_cast<UInt32>(w->PresentForms()) : 0;
}

// Every actor's process is a high one (level 0), as the image lays it out.
UInt32 GetProcessLevel(void* process) {
  World* w = WorldFor("engine.GetProcessLevel");
  return w != nullptr && w->AsProcess(process) != nullptr ? 0 : kCVNoProcessLevel;
}

const CVEngineInterface g_engine = {
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

// The miniature game image's functions, served by the active host as the
// engine table's are (with the same fault names).
void* ImageAllocate(std::uint32_t size) { return FormHeap_Allocate(size); }
void ImageFree(void* block) { FormHeap_Free(block); }
void ImagePrint(std::string_view line) {
  if (fault::Hit("engine.Console_Print") == fault::Kind::Return) return;
  if (Host* h = Host::Active()) h->ConsoleLine(line);
}
void ImageError(std::string message) {
  if (Host* h = Host::Active()) h->Error("game image: " + message);
}

}  // namespace

const CVEngineInterface* EngineInterface() { return &g_engine; }

void StartGameImage() {
  if (image::Start()) image::SetHooks({ImageAllocate, ImageFree, ImagePrint, ImageError});
}

}  // namespace cv::sim

// The simulated game's table, found by the plug-in the way it would look for
// any game it runs in: by the program it was loaded into.
// Once the world lives in the miniature game image, the program serves no
// table of its own, exactly like the game.
CORVANE_PROGRAM_EXPORT const CVEngineInterface* CorvaneSimEngine() {
  const cv::sim::Host* h = cv::sim::Host::Active();
  const bool inImage = h != nullptr ? h->world.InImage() : cv::sim::image::Built();
  return inImage ? nullptr : cv::sim::EngineInterface();
}
