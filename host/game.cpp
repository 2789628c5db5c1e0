#include "host/game.h"

#include <cstring>
#include <new>

namespace cv::game {

namespace {
const CVEngineInterface* g_engine = nullptr;

template <class T>
T* Cast(void* object, UInt32 kind) {
  if (g_engine == nullptr || object == nullptr || g_engine->DynamicCast == nullptr) return nullptr;
  return static_cast<T*>(g_engine->DynamicCast(object, kind));
}
}  // namespace

void Bind(const CVEngineInterface* engine) { g_engine = engine; }
const CVEngineInterface* Engine() { return g_engine; }

UInt32 RefId(const TESForm* form) {
  if (g_engine == nullptr || form == nullptr || g_engine->GetRefID == nullptr) return 0;
  return g_engine->GetRefID(form);
}

TESForm* BaseForm(TESObjectREFR* ref) {
  if (g_engine == nullptr || ref == nullptr || g_engine->GetBaseForm == nullptr) return nullptr;
  return g_engine->GetBaseForm(ref);
}

TESForm* AsActorBase(TESForm* form) { return Cast<TESForm>(form, kCVKind_ActorBase); }
TESForm* AsLinkedBase(TESForm* form) { return Cast<TESForm>(form, kCVKind_LinkedBase); }
TESObjectREFR* AsReference(TESForm* form) { return Cast<TESObjectREFR>(form, kCVKind_Reference); }
TESObjectREFR* AsActor(TESObjectREFR* ref) { return Cast<TESObjectREFR>(ref, kCVKind_Actor); }
void* AsConversation(void* activity) { return Cast<void>(activity, kCVKind_Conversation); }

const char* SkeletonModelPath(TESForm* actorBase) {
  if (g_engine == nullptr || actorBase == nullptr || g_engine->GetSkeletonModelPath == nullptr)
    return nullptr;
  return g_engine->GetSkeletonModelPath(actorBase);
}

TESForm* ParentLink(TESForm* linkedBase) {
  if (g_engine == nullptr || linkedBase == nullptr || g_engine->GetParentLink == nullptr)
    return nullptr;
  return g_engine->GetParentLink(linkedBase);
}

bool IsValidObject(const void* object) {
  if (g_engine == nullptr || object == nullptr || g_engine->IsValidObject == nullptr) return false;
  return g_engine->IsValidObject(object);
}

UInt32 FormListCount(TESForm* formList) {
  if (g_engine == nullptr || formList == nullptr || g_engine->GetFormListCount == nullptr) return 0;
  return g_engine->GetFormListCount(formList);
}

TESForm* FormListEntry(TESForm* formList, UInt32 index) {
  if (g_engine == nullptr || formList == nullptr || g_engine->GetFormListEntry == nullptr)
    return nullptr;
  return g_engine->GetFormListEntry(formList, index);
}

void* AIProcess(TESObjectREFR* actor) {
  if (g_engine == nullptr || actor == nullptr || g_engine->GetAIProcess == nullptr) return nullptr;
  return g_engine->GetAIProcess(actor);
}

void* CurrentActivity(void* process) {
  if (g_engine == nullptr || process == nullptr || g_engine->GetCurrentActivity == nullptr)
    return nullptr;
  return g_engine->GetCurrentActivity(process);
}

TESObjectREFR* ConversationSubject(void* conversation) {
  if (g_engine == nullptr || conversation == nullptr || g_engine->GetConversationSubject == nullptr)
    return nullptr;
  return g_engine->GetConversationSubject(conversation);
}

TESObjectREFR* ConversationTarget(void* conversation) {
  if (g_engine == nullptr || conversation == nullptr || g_engine->GetConversationTarget == nullptr)
    return nullptr;
  return g_engine->GetConversationTarget(conversation);
}

TESForm* LookupFormByID(UInt32 refID) {
  if (g_engine == nullptr || g_engine->LookupFormByID == nullptr) return nullptr;
  return g_engine->LookupFormByID(refID);
}

UInt32 ModCount() {
  if (g_engine == nullptr || g_engine->GetModCount == nullptr) return 0;
  UInt32 n = g_engine->GetModCount();
  return n > 255 ? 255 : n;
}

const char* ModName(UInt32 index) {
  if (g_engine == nullptr || g_engine->GetModName == nullptr) return "";
  const char* name = g_engine->GetModName(index);
  return name != nullptr ? name : "";
}

bool IsConsoleMode() {
  return g_engine != nullptr && g_engine->IsConsoleMode != nullptr && g_engine->IsConsoleMode();
}

char* HeapCopy(std::string_view text) {
  if (g_engine == nullptr || g_engine->FormHeap_Allocate == nullptr) throw std::bad_alloc();
  auto* block =
      static_cast<char*>(g_engine->FormHeap_Allocate(static_cast<UInt32>(text.size() + 1)));
  if (block == nullptr) throw std::bad_alloc();
  if (!text.empty()) std::memcpy(block, text.data(), text.size());
  block[text.size()] = '\0';
  return block;
}

void HeapFree(const char* block) noexcept {
  if (g_engine != nullptr && g_engine->FormHeap_Free != nullptr && block != nullptr)
    g_engine->FormHeap_Free(const_cast<char*>(block));
}

}  // namespace cv::game
