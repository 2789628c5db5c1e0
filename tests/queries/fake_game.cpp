#include "tests/queries/fake_game.h"

#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <stdexcept>

#include "host/game.h"

namespace cv::fake {

namespace {
FakeGame* g_current = nullptr;

TESForm* AsTes(FakeForm* f) { return reinterpret_cast<TESForm*>(f); }
TESObjectREFR* AsRef(FakeForm* f) { return reinterpret_cast<TESObjectREFR*>(f); }
}  // namespace

// The engine table and host interfaces, served from the current game.
struct FakeEngine {
  static FakeGame& G() { return FakeGame::Current(); }

  static bool KindFits(UInt32 have, UInt32 want) {
    if (have == want) return true;
    return want == kCVKind_Reference && have == kCVKind_Actor;
  }

  static void* DynamicCast(void* object, UInt32 wanted) {
    FakeForm* f = G().Find(object);
    return (f != nullptr && f->valid && KindFits(f->kind, wanted)) ? object : nullptr;
  }
  static UInt32 GetRefID(const TESForm* form) {
    FakeForm* f = G().Find(form);
    return f != nullptr ? f->id : 0;
  }
  static TESForm* GetBaseForm(TESObjectREFR* ref) {
    FakeForm* f = G().Find(ref);
    return f != nullptr ? AsTes(f->base) : nullptr;
  }
  static const char* GetSkeletonModelPath(TESForm* actorBase) {
    G().Enter("skeleton");
    FakeForm* f = G().Find(actorBase);
    return f != nullptr ? f->skeleton.c_str() : nullptr;
  }
  static TESForm* GetParentLink(TESForm* linked) {
    G().Enter("parent");
    FakeForm* f = G().Find(linked);
    return f != nullptr ? AsTes(f->parent) : nullptr;
  }
  static bool IsValidObject(const void* object) {
    FakeForm* f = G().Find(object);
    return f != nullptr && f->valid;
  }
  static UInt32 GetFormListCount(TESForm* list) {
    FakeForm* f = G().Find(list);
    return f != nullptr ? static_cast<UInt32>(f->entries.size()) : 0;
  }
  static TESForm* GetFormListEntry(TESForm* list, UInt32 i) {
    G().Enter("entry");
    FakeForm* f = G().Find(list);
    return (f != nullptr && i < f->entries.size()) ? f->entries[i] : nullptr;
  }
  // An actor with a process serves as its own process object.
  static void* GetAIProcess(TESObjectREFR* actor) {
    G().Enter("process");
    FakeForm* f = G().Find(actor);
    return (f != nullptr && f->hasProcess) ? static_cast<void*>(f) : nullptr;
  }
  static void* GetCurrentActivity(void* process) {
    G().Enter("activity");
    FakeForm* f = G().Find(process);
    return f != nullptr ? static_cast<void*>(f->activity) : nullptr;
  }
  static TESObjectREFR* GetConversationSubject(void* conversation) {
    FakeForm* f = G().Find(conversation);
    return f != nullptr ? AsRef(f->subject) : nullptr;
  }
  static TESObjectREFR* GetConversationTarget(void* conversation) {
    FakeForm* f = G().Find(conversation);
    return f != nullptr ? AsRef(f->target) : nullptr;
  }
  static TESForm* LookupFormByID(UInt32 id) {
    for (auto& f : G().forms_)
      if (f->id == id) return AsTes(f.get());
    return nullptr;
  }
  static UInt32 GetModCount() { return 0; }
  static const char* GetModName(UInt32) { return ""; }
  static bool IsConsoleMode() { return G().consoleMode_; }
  static void ConsolePrint(const char* fmt, ...) {
    char line[1024];
    va_list ap;
    va_start(ap, fmt);
    std::vsnprintf(line, sizeof line, fmt, ap);
    va_end(ap);
    G().console_.emplace_back(line);
  }
  static void* Allocate(UInt32 size) { return ::operator new(size); }
  static void Free(void* block) { ::operator delete(block); }

  static bool ExtractArgsEx(ParamInfo*, void*, UInt32*, Script*, ScriptEventList* last, ...) {
    FakeGame& g = G();
    g.Enter("extract");
    if (g.failExtraction_) return false;
    va_list ap;
    va_start(ap, last);
    for (const Arg& arg : g.args_) {
      if (const auto* s = std::get_if<std::string>(&arg)) {
        char* out = va_arg(ap, char*);
        std::snprintf(out, host::kArgBufferSize, "%s", s->c_str());
      } else if (const auto* i = std::get_if<SInt32>(&arg)) {
        *va_arg(ap, SInt32*) = *i;
      } else if (const auto* x = std::get_if<float>(&arg)) {
        *va_arg(ap, float*) = *x;
      } else {
        *va_arg(ap, TESForm**) = std::get<TESForm*>(arg);
      }
    }
    va_end(ap);
    return true;
  }
  static const char* GetString(UInt32 id) {
    G().Enter("string");
    auto it = G().stringVars_.find(id);
    return it != G().stringVars_.end() ? it->second.c_str() : nullptr;
  }
  static bool Assign(ParamInfo*, void*, TESObjectREFR*, TESObjectREFR*, Script*, ScriptEventList*,
                     double* result, UInt32*, const char* text) {
    G().assigned_ = text;
    *result = 77;  // the string's id, as the host would give it
    return true;
  }
  static bool GetQuestVariable(TESObjectREFR*, void* quest, void* variable, double* result) {
    FakeGame& g = G();
    const auto n = static_cast<UInt32>(reinterpret_cast<std::uintptr_t>(variable));
    g.qvRequests_.push_back(n);
    if (g.qvFailure_) {
      *result = *g.qvFailure_;
      return false;
    }
    FakeForm* q = g.Find(quest);
    if (q == nullptr || q->kind != kCVKind_Quest) return false;
    auto it = q->variables.find(n);
    *result = it != q->variables.end() ? it->second : 0.0;
    return true;
  }
};

namespace {
const CVEngineInterface kEngine{CVEngineInterface::kVersion,
                                FakeEngine::DynamicCast,
                                FakeEngine::GetRefID,
                                FakeEngine::GetBaseForm,
                                FakeEngine::GetSkeletonModelPath,
                                FakeEngine::GetParentLink,
                                FakeEngine::IsValidObject,
                                FakeEngine::GetFormListCount,
                                FakeEngine::GetFormListEntry,
                                FakeEngine::GetAIProcess,
                                FakeEngine::GetCurrentActivity,
                                FakeEngine::GetConversationSubject,
                                FakeEngine::GetConversationTarget,
                                FakeEngine::LookupFormByID,
                                FakeEngine::GetModCount,
                                FakeEngine::GetModName,
                                FakeEngine::IsConsoleMode,
                                FakeEngine::ConsolePrint,
                                FakeEngine::Allocate,
                                FakeEngine::Free,
                                nullptr,
                                nullptr};
NVSEScriptInterface g_script{nullptr, nullptr, FakeEngine::ExtractArgsEx, nullptr, nullptr, nullptr,
                             nullptr, nullptr};
NVSEStringVarInterface g_stringVar{1,       FakeEngine::GetString, nullptr, nullptr,
                                   nullptr, FakeEngine::Assign};
}  // namespace

FakeGame::FakeGame() {
  g_current = this;
  game::Bind(&kEngine);
  host::Slots& s = host::TheSlots();
  s.script = &g_script;
  s.stringVar = &g_stringVar;
  s.getQuestVariable = nullptr;
}

FakeGame::~FakeGame() {
  host::Slots& s = host::TheSlots();
  s.script = nullptr;
  s.stringVar = nullptr;
  s.getQuestVariable = nullptr;
  game::Bind(nullptr);
  g_current = nullptr;
}

FakeGame& FakeGame::Current() {
  if (g_current == nullptr) throw std::logic_error("no fake game");
  return *g_current;
}

FakeForm* FakeGame::Make(UInt32 id, UInt32 kind) {
  forms_.push_back(std::make_unique<FakeForm>());
  forms_.back()->id = id;
  forms_.back()->kind = kind;
  return forms_.back().get();
}

FakeForm* FakeGame::Find(const void* object) const {
  if (object == nullptr) return nullptr;
  for (const auto& f : forms_)
    if (f.get() == object) return f.get();
  return nullptr;
}

void FakeGame::Enter(const char* operation) {
  trace_.emplace_back(operation);
  if (throwing_ != operation) return;
  if (throwInteger_) throw 0x0BADF00D;
  throw std::runtime_error("engine fault");
}

TESForm* FakeGame::Form(UInt32 id) { return AsTes(Make(id, 0)); }
TESForm* FakeGame::Quest(UInt32 id) { return AsTes(Make(id, kCVKind_Quest)); }

TESForm* FakeGame::ActorBase(UInt32 id, const std::string& skeletonPath) {
  FakeForm* f = Make(id, kCVKind_ActorBase);
  f->skeleton = skeletonPath;
  return AsTes(f);
}

TESForm* FakeGame::Linked(UInt32 id, TESForm* parent) {
  FakeForm* f = Make(id, kCVKind_LinkedBase);
  f->parent = Find(parent);
  return AsTes(f);
}

void FakeGame::SetParent(TESForm* linked, TESForm* parent) { Find(linked)->parent = Find(parent); }

TESForm* FakeGame::Invalid(UInt32 id) {
  FakeForm* f = Make(id, kCVKind_LinkedBase);
  f->valid = false;
  return AsTes(f);
}

TESForm* FakeGame::List(UInt32 id, std::vector<TESForm*> entries) {
  FakeForm* f = Make(id, kCVKind_FormList);
  f->entries = std::move(entries);
  return AsTes(f);
}

TESObjectREFR* FakeGame::Ref(UInt32 id, TESForm* base) {
  FakeForm* f = Make(id, kCVKind_Reference);
  f->base = Find(base);
  return AsRef(f);
}

TESObjectREFR* FakeGame::Actor(UInt32 id, TESForm* base, bool withProcess) {
  FakeForm* f = Make(id, kCVKind_Actor);
  f->base = Find(base);
  f->hasProcess = withProcess;
  return AsRef(f);
}

void FakeGame::Talk(TESObjectREFR* actor, TESObjectREFR* subject, TESObjectREFR* target) {
  FakeForm* talk = Make(0, kCVKind_Conversation);
  talk->subject = Find(subject);
  talk->target = Find(target);
  Find(actor)->activity = talk;
}

void FakeGame::EndTalk(TESObjectREFR* actor) { Find(actor)->activity = nullptr; }

void FakeGame::SetActivity(TESObjectREFR* actor, TESForm* activity) {
  Find(actor)->activity = Find(activity);
}

void FakeGame::StringVar(UInt32 id, const std::string& text) { stringVars_[id] = text; }

void FakeGame::QuestVar(TESForm* quest, UInt32 variable, double value) {
  Find(quest)->variables[variable] = value;
}

void FakeGame::ProvideGetQuestVariable() {
  getQuestVariable_ = CommandInfo{};
  getQuestVariable_.longName = "GetQuestVariable";
  getQuestVariable_.eval = FakeEngine::GetQuestVariable;
  host::TheSlots().getQuestVariable = &getQuestVariable_;
}

double FakeGame::Call(Handler handler, TESObjectREFR* thisObj, bool console) {
  console_.clear();
  assigned_.reset();
  trace_.clear();
  consoleMode_ = console;
  result_ = kUnsetResult;
  UInt32 offset = 0;
  handler(
      host::CommandArgs{nullptr, nullptr, thisObj, nullptr, nullptr, nullptr, &result_, &offset});
  consoleMode_ = false;
  return result_;
}

double FakeGame::Run(Handler handler, TESObjectREFR* thisObj, std::vector<Arg> args, bool console) {
  args_ = std::move(args);
  failExtraction_ = false;
  return Call(handler, thisObj, console);
}

double FakeGame::RunFailingExtraction(Handler handler, TESObjectREFR* thisObj, bool console) {
  args_.clear();
  failExtraction_ = true;
  return Call(handler, thisObj, console);
}

std::vector<std::string> ReadLines(const char* path) {
  std::vector<std::string> lines;
  std::ifstream in(path, std::ios::binary);
  std::string line;
  while (std::getline(in, line)) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    lines.push_back(line);
  }
  return lines;
}

}  // namespace cv::fake
