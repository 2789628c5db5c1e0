// The game binding at the game's edges: condition words, never read,
// console lines the game holds, classes whose type descriptor is broken, and
// the executables the image models.
#include <cstdarg>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <functional>
#include <iterator>
#include <string>
#include <vector>

#include "ev/ev_commands.h"
#include "ev/store.h"
#include "game_binding_fixture.h"
#include "host/engine_choice.h"
#include "host/fnv/memory.h"
#include "host/game.h"
#include "host/host.h"
#include "log/log.h"
#include "sim/image/game_image_sections.h"

namespace cv::binding_test {
namespace {

// A condition's words are never text in the game, and the handler never
// reads them: whatever the first word points at, text of a stored key,
// guarded or given-back pages, the image or a form, the key is the empty
// key, and nothing faults.
TEST_F(GameBinding, ConditionWordsAreNeverRead) {
  const World& w = W();
  // A fault the handler caught would show in its log.
  const char* logName = cv::LogOpen("condition.log");
  ASSERT_NE(logName, nullptr);
  const std::string logPath = logName;
  cv::game::Bind(&E());
  cv::TheStore().ClearAll();
  cv::TheStore().Entry<cv::EvKind::Float>(0x14, "") = 9;
  cv::TheStore().Entry<cv::EvKind::Float>(0x14, "mood") = 2;
  // A page given back, and a guard page, each holding a stored key's text.
  char* pages =
      static_cast<char*>(::VirtualAlloc(nullptr, 0x1000, MEM_COMMIT | MEM_RESERVE, PAGE_READWRITE));
  ASSERT_NE(pages, nullptr);
  std::memcpy(pages, "Mood", 5);
  ASSERT_TRUE(::VirtualFree(pages, 0x1000, MEM_DECOMMIT));
  char* guarded =
      static_cast<char*>(::VirtualAlloc(nullptr, 0x1000, MEM_COMMIT | MEM_RESERVE, PAGE_READWRITE));
  ASSERT_NE(guarded, nullptr);
  std::memcpy(guarded, "Mood", 5);
  DWORD old = 0;
  ASSERT_TRUE(::VirtualProtect(guarded, 0x1000, PAGE_READWRITE | PAGE_GUARD, &old));
  char text[] = "Mood";
  struct Case {
    const char* what;
    const void* word;
  };
  const Case cases[] = {
      {"a stored key's text", text},
      {"0", nullptr},
      {"1", reinterpret_cast<void*>(1)},
      {"the image base", reinterpret_cast<void*>(kImageBase)},
      {"a guard page", guarded},
      {"a page given back", pages},
      {"a form", w.npc},
  };
  for (const Case& c : cases) {
    double result = -1;
    EXPECT_TRUE(cv::ev::GetEVFlEval(R(w.player), const_cast<void*>(c.word), text, &result));
    EXPECT_EQ(result, 9) << c.what;
  }
  cv::TheStore().ClearAll();
  cv::game::Bind(nullptr);
  cv::LogClose();
  // The guard page is still a guard page: nothing touched it.
  MEMORY_BASIC_INFORMATION info;
  ASSERT_EQ(::VirtualQuery(guarded, &info, sizeof info), sizeof info);
  EXPECT_NE(info.Protect & PAGE_GUARD, 0u);
  std::ifstream log(logPath, std::ios::binary);
  EXPECT_EQ(std::string(std::istreambuf_iterator<char>(log), {}), "");
  ::VirtualFree(pages, 0, MEM_RELEASE);
  ::VirtualFree(guarded, 0, MEM_RELEASE);
}

// Objects whose classes have a base at a non-zero offset (an actor base's
// TESModel part at +0xDC): the object is not of that base's class, and a
// pointer to the part, which carries the part's own vtable of the game's,
// is no object of any class at all.
TEST_F(GameBinding, APartOrABaseAtAnOffsetIsNotTheClass) {
  const World& w = W();
  void* npcPart = static_cast<char*>(w.npc) + kBaseModelComponent;
  void* creaturePart = static_cast<char*>(w.creature) + kBaseModelComponent;
  // The image gave each part a vtable whose locator leads to its class.
  ASSERT_NE(image::Get<Addr>(npcPart, 0), 0u);
  ASSERT_NE(image::Get<Addr>(creaturePart, 0), 0u);
  ASSERT_NE(image::Get<Addr>(npcPart, 0), image::Get<Addr>(w.npc, 0));
  struct Case {
    const char* what;
    void* object;
    Addr td;  // 0: any game class
    bool is;
  };
  const Case cases[] = {
      {"an NPC as TESNPC", w.npc, kTD_TESNPC, true},
      {"an NPC as TESActorBase", w.npc, kTD_TESActorBase, true},
      {"an NPC as any class", w.npc, 0, true},
      {"an NPC as its TESModel base", w.npc, kTD_TESModel, false},
      {"a creature as its TESModel base", w.creature, kTD_TESModel, false},
      {"an NPC's part as TESNPC", npcPart, kTD_TESNPC, false},
      {"an NPC's part as TESForm", npcPart, kTD_TESForm, false},
      {"an NPC's part as TESModel", npcPart, kTD_TESModel, false},
      {"an NPC's part as any class", npcPart, 0, false},
      {"a creature's part as TESCreature", creaturePart, kTD_TESCreature, false},
      {"a creature's part as any class", creaturePart, 0, false},
  };
  for (const Case& c : cases) {
    const Addr p = static_cast<Addr>(reinterpret_cast<std::uintptr_t>(c.object));
    const bool is = c.td != 0 ? cv::fnv::IsA(p, c.td, cv::fnv::kFormSize)
                              : cv::fnv::IsGameObject(p, cv::fnv::kFormSize);
    EXPECT_EQ(is, c.is) << c.what;
  }
  for (void* part : {npcPart, creaturePart}) {
    EXPECT_EQ(cv::fnv::HierarchyOf(static_cast<Addr>(reinterpret_cast<std::uintptr_t>(part)), 4),
              0u);
    EXPECT_FALSE(E().IsValidObject(part));
    EXPECT_EQ(E().GetRefID(F(part)), 0u);
    for (UInt32 kind = kCVKind_Reference; kind <= kCVKind_Conversation; ++kind)
      EXPECT_EQ(E().DynamicCast(part, kind), nullptr) << "kind " << kind;
  }
}

// The game's functions the binding calls: the heap's and the console's at
// their published addresses, and a process's running package through its
// vtable. Each is called only when it lies in a section flagged as code:
// where the executable puts one in a readable section that is not code
// (the code-in-data image: the heap's functions and the running-package
// functions), it is never called and the operation gives nothing.
TEST_F(GameBinding, CodeOutsideACodeSectionIsNeverCalled) {
  const World& w = W();
  const char* variable = std::getenv(image::kVariantVariable);
  const bool codeInData = variable != nullptr && std::string(variable) == "code-in-data";
  void* process = w.processes[0];
  void* lowProcess = w.processes[3];
  struct Case {
    const char* what;
    bool inData;  // lies in the section that is not code under code-in-data
    std::function<bool()> called;
  };
  const Case cases[] = {
      {"the heap's allocate", true,
       [] {
         g_allocated.clear();
         void* block = E().FormHeap_Allocate(24);
         if (block != nullptr) ::HeapFree(::GetProcessHeap(), 0, block);
         return block != nullptr && g_allocated.size() == 1;
       }},
      {"the heap's free", true,
       [] {
         g_freed.clear();
         void* block = ::HeapAlloc(::GetProcessHeap(), 0, 24);
         E().FormHeap_Free(block);
         const bool freed = g_freed == std::vector<void*>{block};
         if (!freed) ::HeapFree(::GetProcessHeap(), 0, block);
         return freed;
       }},
      {"a high process's running package", true,
       [&] {
         image::Put(process, kProcessRunOncePackage, w.talk);
         const bool found = E().GetCurrentActivity(process) == w.talk;
         image::Put<void*>(process, kProcessRunOncePackage, nullptr);
         return found;
       }},
      {"a low process's running package", true,
       [&] {
         image::Put(lowProcess, kProcessCurrentPackage, w.talk);
         const bool found = E().GetCurrentActivity(lowProcess) == w.talk;
         image::Put<void*>(lowProcess, kProcessCurrentPackage, nullptr);
         return found;
       }},
      {"the console", false,
       [] {
         g_printed.clear();
         E().Console_Print("%s", "line");
         return g_printed == std::vector<std::string>{"line"};
       }},
  };
  for (const Case& c : cases) EXPECT_EQ(c.called(), !(codeInData && c.inData)) << c.what;
}

// A mod's name is a field of 256 bytes (game-facts §2.2.8): a name whose NUL
// lies within it is read whole; one with no NUL in it is unreadable, never
// cut to what fits, whatever follows the field.
TEST_F(GameBinding, ModNamesAreReadWholeOrNotAtAll) {
  const std::vector<std::string> mods = {"FalloutNV.esm", "DeadMoney.esm", "Corvane Test.esp"};
  const std::string full(kModNameMax - 1, 'n');
  struct Case {
    const char* what;
    std::string field;  // the field's bytes from its start
    std::string after;  // the bytes that follow the field
    const char* name;   // what the binding gives; null: nothing
  };
  const Case cases[] = {
      {"a name", std::string("Plain.esp\0", 10), "", "Plain.esp"},
      {"the empty name", std::string(1, '\0'), "", ""},
      {"255 bytes and a NUL", full + '\0', "", full.c_str()},
      {"256 bytes, a NUL right after them", full + 'x', std::string(1, '\0'), nullptr},
      {"256 bytes, more text after them", full + 'x', std::string("tail.esp\0", 9), nullptr},
  };
  const Addr handler =
      image::Get<Addr>(reinterpret_cast<void*>(std::uintptr_t{kDataHandlerPtr}), 0);
  ASSERT_NE(handler, 0u);
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    image::SetMods(mods);
    auto* info = image::Get<char*>(reinterpret_cast<void*>(std::uintptr_t{handler}), kDataMods + 4);
    ASSERT_NE(info, nullptr);
    std::memcpy(info + kModName, c.field.data(), c.field.size());
    std::memcpy(info + kModName + kModNameMax, c.after.data(), c.after.size());
    const char* got = E().GetModName(1);
    if (c.name == nullptr) {
      EXPECT_EQ(got, nullptr) << got;
    } else {
      ASSERT_NE(got, nullptr);
      EXPECT_EQ(std::string(got), c.name);
    }
    EXPECT_STREQ(E().GetModName(2), "Corvane Test.esp");  // the others are unaffected
  }
  image::SetMods(mods);
}

// The host's side of one CV_GetEVSt call: the key extracted, the string
// result taken.
bool ExtractBig(ParamInfo*, void*, UInt32*, Script*, ScriptEventList* events, ...) {
  va_list args;
  va_start(args, events);
  std::strcpy(va_arg(args, char*), "big");
  va_end(args);
  return true;
}
std::size_t g_assigned = 0;
bool TakeString(ParamInfo*, void*, TESObjectREFR*, TESObjectREFR*, Script*, ScriptEventList*,
                double*, UInt32*, const char* text) {
  g_assigned = std::strlen(text);
  return true;
}

// A 1 MiB string value printed from the console: the game's console sees
// sixteen lines of at most 500 bytes and one saying how much was left out.
TEST_F(GameBinding, AHugeValueReachesTheConsoleInLinesItHolds) {
  const World& w = W();
  cv::game::Bind(&E());
  cv::host::Slots saved = cv::host::TheSlots();
  NVSEScriptInterface script{};
  script.ExtractArgsEx = ExtractBig;
  NVSEStringVarInterface strings{};
  strings.Assign = TakeString;
  cv::host::TheSlots().script = &script;
  cv::host::TheSlots().stringVar = &strings;
  cv::TheStore().ClearAll();
  const std::string value(1u << 20, 'v');
  cv::TheStore().Entry<cv::EvKind::String>(0x14, "big") = value;
  image::SetConsoleMode(true);
  g_printed.clear();
  g_assigned = 0;
  double result = 0;
  UInt32 offset = 0;
  EXPECT_TRUE(cv::ev::GetEVSt(
      {nullptr, nullptr, R(w.player), nullptr, nullptr, nullptr, &result, &offset}));
  image::SetConsoleMode(false);
  cv::host::TheSlots() = saved;
  cv::TheStore().ClearAll();
  cv::game::Bind(nullptr);
  EXPECT_EQ(g_assigned, value.size());
  ASSERT_EQ(g_printed.size(), 17u);
  for (const std::string& line : g_printed) EXPECT_LE(line.size(), 500u);
  EXPECT_EQ(g_printed.front(), "GetEVSt: " + std::string(491, 'v'));
  const std::size_t shown = 16 * 500 - 9;
  EXPECT_EQ(g_printed.back(),
            "(" + std::to_string(value.size() - shown) + " more bytes not shown)");
}

// Every class the binding casts to is checked by name when the engine is
// chosen: one whose type descriptor names another class switches off only
// what needs it, and is named for the start-up log.
TEST_F(GameBinding, AClassWhoseDescriptorIsBrokenSwitchesOffOnlyItsOwnOperations) {
  const World& w = W();
  void* process = w.processes[0];
  struct Case {
    const char* name;
    Addr td;
    std::function<bool()> works;  // an operation that needs the class
  };
  const Case cases[] = {
      {"TESObjectREFR", kTD_TESObjectREFR, [&] { return E().GetBaseForm(R(w.ref)) != nullptr; }},
      {"Actor", kTD_Actor, [&] { return E().DynamicCast(w.actor, kCVKind_Actor) != nullptr; }},
      {"TESActorBase", kTD_TESActorBase,
       [&] { return E().GetSkeletonModelPath(F(w.npc)) != nullptr; }},
      {"TESNPC", kTD_TESNPC, [&] { return E().GetParentLink(F(w.usesModel)) != nullptr; }},
      {"TESCreature", kTD_TESCreature,
       [&] { return E().GetParentLink(F(w.childCreature)) != nullptr; }},
      {"BGSListForm", kTD_BGSListForm, [&] { return E().GetFormListCount(F(w.list)) == 3; }},
      {"TESQuest", kTD_TESQuest,
       [&] { return E().DynamicCast(w.quest, kCVKind_Quest) != nullptr; }},
      {"TESPackage", kTD_TESPackage,
       [&] {
         image::Put(process, kProcessRunOncePackage, w.talk);
         const bool found = E().GetCurrentActivity(process) == w.talk;
         image::Put<void*>(process, kProcessRunOncePackage, nullptr);
         return found;
       }},
      {"DialoguePackage", kTD_DialoguePackage,
       [&] { return E().DynamicCast(w.talk, kCVKind_Conversation) != nullptr; }},
      {"BaseProcess", kTD_BaseProcess, [&] { return E().GetAIProcess(R(w.actor)) == process; }},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    char& letter = *reinterpret_cast<char*>(std::uintptr_t{c.td + kTypeName + 4});
    ASSERT_TRUE(c.works());
    letter ^= 0x20;  // the descriptor now names another class
    const cv::host::EngineChoice broken = cv::host::ChooseEngine(kRuntimeVersion);
    const bool worksBroken = c.works();
    // Everything else still answers.
    const bool othersWork = E().GetRefID(F(w.npc)) == 0x100 &&
                            E().LookupFormByID(0x201) == F(w.actor) && E().GetModCount() == 3 &&
                            E().IsValidObject(w.quest);
    letter ^= 0x20;
    ASSERT_NE(cv::host::GameEngine(), nullptr);
    EXPECT_STREQ(broken.name, "game");
    EXPECT_EQ(broken.classesNotNamed, std::vector<std::string>{c.name});
    EXPECT_FALSE(worksBroken);
    EXPECT_TRUE(othersWork);
    EXPECT_TRUE(c.works()) << "once the name is right again";
  }
  EXPECT_EQ(cv::host::ChooseEngine(kRuntimeVersion).classesNotNamed, std::vector<std::string>{});
  // TESForm's name is what tells the game's image: without it, no game.
  char& letter = *reinterpret_cast<char*>(std::uintptr_t{kTD_TESForm + kTypeName + 4});
  letter ^= 0x20;
  const bool chosen = cv::host::GameEngine() != nullptr;
  letter ^= 0x20;
  EXPECT_FALSE(chosen);
  EXPECT_NE(cv::host::GameEngine(), nullptr);
}

// The image models the executable the environment names, so that every
// test run under each proves the binding reads that one: its header says
// so, and its pages are protected so.
TEST_F(GameBinding, TheImageIsTheChosenExecutable) {
  const char* variable = std::getenv(image::kVariantVariable);
  const std::string variant = variable != nullptr ? variable : "";
  const auto& dos = *reinterpret_cast<const IMAGE_DOS_HEADER*>(std::uintptr_t{kImageBase});
  const auto& nt = *reinterpret_cast<const IMAGE_NT_HEADERS32*>(
      std::uintptr_t{kImageBase + static_cast<Addr>(dos.e_lfanew)});
  const IMAGE_SECTION_HEADER* table = IMAGE_FIRST_SECTION(&nt);
  auto sectionAt = [&](Addr a) -> const IMAGE_SECTION_HEADER* {
    for (WORD i = 0; i < nt.FileHeader.NumberOfSections; ++i)
      if (a >= kImageBase + table[i].VirtualAddress &&
          a < kImageBase + table[i].VirtualAddress + table[i].Misc.VirtualSize)
        return &table[i];
    return nullptr;
  };
  auto protection = [](Addr a) {
    MEMORY_BASIC_INFORMATION info{};
    ::VirtualQuery(reinterpret_cast<const void*>(std::uintptr_t{a}), &info, sizeof info);
    return info.Protect;
  };
  const IMAGE_SECTION_HEADER* heap = sectionAt(kHeapAllocate);
  const IMAGE_SECTION_HEADER* code = sectionAt(kConsolePrint);
  const IMAGE_SECTION_HEADER* rdata = sectionAt(kVT_TESNPC);
  ASSERT_TRUE(heap != nullptr && code != nullptr && rdata != nullptr);
  const bool codeInData = variant == "code-in-data";
  const bool extra = variant == "extra-section" || codeInData;
  EXPECT_EQ(heap != code, extra);
  EXPECT_EQ(std::string(reinterpret_cast<const char*>(heap->Name), 5) == ".bind", extra);
  EXPECT_EQ((heap->Characteristics & IMAGE_SCN_MEM_EXECUTE) != 0, !codeInData);
  EXPECT_NE(heap->Characteristics & IMAGE_SCN_MEM_READ, 0u);
  EXPECT_NE(code->Characteristics & IMAGE_SCN_MEM_EXECUTE, 0u);
  const bool textWritable = variant == "text-writable";
  EXPECT_EQ((code->Characteristics & IMAGE_SCN_MEM_WRITE) != 0, textWritable);
  // An image page made writable reads as copy-on-write until written.
  const DWORD codePages = protection(kConsolePrint);
  EXPECT_EQ(codePages == PAGE_EXECUTE_READWRITE || codePages == PAGE_EXECUTE_WRITECOPY,
            textWritable)
      << codePages;
  EXPECT_TRUE(codePages == (textWritable ? codePages : PAGE_EXECUTE_READ)) << codePages;
  const bool rdataWritable = variant == "rdata-writable";
  EXPECT_EQ((rdata->Characteristics & IMAGE_SCN_MEM_WRITE) != 0, rdataWritable);
  const DWORD dataPages = protection(kVT_TESNPC);
  EXPECT_EQ(dataPages == PAGE_READWRITE || dataPages == PAGE_WRITECOPY, rdataWritable) << dataPages;
  EXPECT_TRUE(dataPages == (rdataWritable ? dataPages : PAGE_READONLY)) << dataPages;
}

}  // namespace
}  // namespace cv::binding_test
