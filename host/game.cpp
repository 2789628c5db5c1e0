#include "host/game.h"

#include <algorithm>
#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <new>

#include "platform/platform.h"

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

namespace {
// Where the piece of text that starts at `from` ends: as many whole
// characters of the system's code page as fit in kConsolePieceBytes.
std::size_t PieceEnd(std::string_view text, std::size_t from) {
  const std::size_t limit = std::min(text.size(), from + kConsolePieceBytes);
  std::size_t end = from;
  while (end < limit) {
    const std::size_t next = platform::NextChar(text, end);
    if (next <= end || next > limit) break;
    end = next;
  }
  // A character longer than a piece (none is) is cut rather than stalled on.
  return end > from ? end : limit;
}

void PrintLine(const CVEngineInterface& e, const std::string& line) {
  e.Console_Print("%s", line.c_str());
}
}  // namespace

std::string LeftOutLine(std::size_t bytes) {
  return "(" + std::to_string(bytes) + " more bytes not shown)";
}

void ConsoleText(std::string_view text) {
  if (g_engine == nullptr || g_engine->Console_Print == nullptr) return;
  std::size_t at = 0;
  for (std::size_t piece = 0;; ++piece) {
    if (piece == kConsoleMaxPieces) {
      PrintLine(*g_engine, LeftOutLine(text.size() - at));
      return;
    }
    const std::size_t end = PieceEnd(text, at);
    PrintLine(*g_engine, std::string(text.substr(at, end - at)));
    at = end;
    if (at >= text.size()) return;
  }
}

void ConsolePrint(const char* fmt, ...) {
  if (g_engine == nullptr || g_engine->Console_Print == nullptr || fmt == nullptr) return;
  va_list args;
  va_start(args, fmt);
  va_list measure;
  va_copy(measure, args);
  const int n = std::vsnprintf(nullptr, 0, fmt, measure);
  va_end(measure);
  std::string text;
  if (n > 0) {
    text.resize(static_cast<std::size_t>(n) + 1);
    std::vsnprintf(text.data(), text.size(), fmt, args);
    text.resize(static_cast<std::size_t>(n));
  }
  va_end(args);
  if (n >= 0) ConsoleText(text);
}

UInt32 FormCount() {
  if (g_engine == nullptr || g_engine->GetFormCount == nullptr) return 0;
  return g_engine->GetFormCount();
}

UInt32 ProcessLevel(void* process) {
  if (g_engine == nullptr || process == nullptr || g_engine->GetProcessLevel == nullptr)
    return kCVNoProcessLevel;
  return g_engine->GetProcessLevel(process);
}

namespace {
std::string Counted(UInt32 n, const char* what) {
  return std::to_string(n) + " " + what + (n == 1 ? "" : "s");
}
}  // namespace

std::string GameCheckLine() {
  // The player's reference is form 00000014 in every game (game-facts §2.3).
  constexpr UInt32 kPlayerRef = 0x14;
  std::string line = "Game check: ";
  const UInt32 forms = FormCount();
  line += forms == 0 ? "no forms" : Counted(forms, "form");
  const UInt32 mods = ModCount();
  if (mods == 0) {
    line += ", no mods";
  } else {
    const std::string first = ModName(0);
    line += ", " + Counted(mods, "mod") +
            (first.empty() ? std::string(" (first unreadable)") : " (first " + first + ")");
  }
  TESForm* player = LookupFormByID(kPlayerRef);
  TESObjectREFR* actor = AsActor(AsReference(player));
  if (player == nullptr) {
    line += ", no player 00000014";
  } else if (actor == nullptr) {
    line += ", player 00000014 is not an actor";
  } else {
    const UInt32 level = ProcessLevel(AIProcess(actor));
    line += ", player 00000014 is an actor, ";
    line += level == kCVNoProcessLevel ? std::string("no AI process")
                                       : "process level " + std::to_string(level);
  }
  return line;
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
