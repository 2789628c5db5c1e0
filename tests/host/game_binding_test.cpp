// The game binding (host/fnv/) against the miniature FalloutNV image: every
// operation on objects laid out as the game lays them out, and every hostile
// pointer the game can hand over, each of which must give "nothing".
#include "host/game_binding.h"

#include <gtest/gtest.h>
#include <windows.h>

#include <cstdint>
#include <cstring>
#include <functional>
#include <string>
#include <utility>
#include <vector>

#include "game_binding_fixture.h"
#include "host/engine_choice.h"

namespace cv::binding_test {

std::vector<std::string> g_printed;
std::vector<void*> g_allocated;
std::vector<void*> g_freed;

namespace {

void* Allocate(std::uint32_t size) {
  void* block = ::HeapAlloc(::GetProcessHeap(), 0, size);
  g_allocated.push_back(block);
  return block;
}
void Free(void* block) {
  g_freed.push_back(block);
  ::HeapFree(::GetProcessHeap(), 0, block);
}
void Print(std::string_view line) { g_printed.emplace_back(line); }

}  // namespace

World& W() {
  static World w = [] {
    World w;
    if (!image::Build()) return w;
    image::SetHooks({Allocate, Free, Print});
    auto npc = [](UInt32 id, const char* model) {
      void* n = image::New(Class::NPC, kTypeNPC, id);
      image::PutString(n, kBaseModelPath, model);
      return n;
    };
    auto withTemplate = [](void* base, void* templ, bool useModel) {
      image::Put(base, kBaseTemplate, templ);
      image::Put<std::uint16_t>(base, kBaseTemplateFlags, useModel ? kTemplateUseModel : 0);
    };
    w.npc = npc(0x100, "Characters\\_Male\\Skeleton.nif");
    w.usesModel = npc(0x101, "Own\\Skeleton.nif");
    withTemplate(w.usesModel, w.npc, true);
    w.ownModel = npc(0x102, "Own\\Skeleton.nif");
    withTemplate(w.ownModel, w.npc, false);
    w.creature = image::New(Class::CreatureBase, kTypeCreature, 0x103);
    image::PutString(w.creature, kBaseModelPath, "Creatures\\Dog\\Skeleton.nif");
    w.leveled = image::New(Class::Form, kTypeLevCharacter, 0x104);
    w.onLeveled = npc(0x105, "Leveled\\Skeleton.nif");
    withTemplate(w.onLeveled, w.leveled, true);
    w.cycleA = npc(0x106, "A.nif");
    w.cycleB = npc(0x107, "B.nif");
    withTemplate(w.cycleA, w.cycleB, true);
    withTemplate(w.cycleB, w.cycleA, true);
    w.toCreature = npc(0x108, "C.nif");
    withTemplate(w.toCreature, w.creature, true);
    w.childCreature = image::New(Class::CreatureBase, kTypeCreature, 0x109);
    withTemplate(w.childCreature, w.creature, false);

    const Class processClass[4] = {Class::HighProcess, Class::MiddleHighProcess,
                                   Class::MiddleLowProcess, Class::LowProcess};
    for (std::uint32_t level = 0; level < 4; ++level) {
      w.processes[level] = image::New(processClass[level]);
      image::Put(w.processes[level], kProcessLevel, level);
    }
    w.ref = image::New(Class::Reference, kTypeReference, 0x200);
    image::Put(w.ref, kRefBaseForm, w.npc);
    w.actor = image::New(Class::Character, kTypeCharacter, 0x201);
    image::Put(w.actor, kRefBaseForm, w.npc);
    image::Put(w.actor, kActorProcess, w.processes[0]);
    w.creatureRef = image::New(Class::Creature, kTypeCreatureRef, 0x202);
    image::Put(w.creatureRef, kRefBaseForm, w.creature);
    image::Put(w.creatureRef, kActorProcess, w.processes[3]);
    w.player = image::New(Class::PlayerCharacter, kTypeCharacter, 0x14);

    w.quest = image::New(Class::Quest, kTypeQuest, 0x400);
    w.list = image::New(Class::FormList, kTypeFormList, 0x300);
    image::PutList(w.list, kListHead, {w.npc, nullptr, w.ref});
    w.emptyList = image::New(Class::FormList, kTypeFormList, 0x301);
    w.loopList = image::New(Class::FormList, kTypeFormList, 0x302);
    image::PutList(w.loopList, kListHead, {w.npc, w.ref, w.quest});
    void* second = image::Get<void*>(w.loopList, kListHead + kNodeNext);
    image::Put(second, kNodeNext, second);

    w.talk = image::New(Class::DialoguePackage, kTypePackage, 0x500);
    image::Put(w.talk, kDialogueSubject, w.actor);
    image::Put(w.talk, kDialogueTarget, w.player);
    w.plainPackage = image::New(Class::Package, kTypePackage, 0x501);
    w.oddTalk = image::New(Class::DialoguePackage, 0x1C, 0x503);

    image::SetForms({w.npc, w.usesModel, w.creature, w.leveled, w.ref, w.actor, w.creatureRef,
                     w.player, w.list, w.quest, w.talk});
    image::SetMods({"FalloutNV.esm", "DeadMoney.esm", "Corvane Test.esp"});
    return w;
  }();
  return w;
}

const CVEngineInterface& E() {
  W();
  static const CVEngineInterface* e = cv::host::GameEngine();
  return *e;
}

namespace {

TEST_F(GameBinding, ChosenOnlyForTheStandardRuntimeInTheGamesImage) {
  EXPECT_STREQ(cv::host::ChooseEngine(kRuntimeVersion).name, "game");
  EXPECT_EQ(cv::host::ChooseEngine(kRuntimeVersion).table, cv::host::GameEngine());
  // The NoGore exe and any other runtime never get the binding.
  EXPECT_STRNE(cv::host::ChooseEngine(0x040020D1).name, "game");
  EXPECT_STRNE(cv::host::ChooseEngine(0x040020C0).name, "game");
}

TEST_F(GameBinding, CastsFollowTheClassHierarchyAndTheTypeByte) {
  const World& w = W();
  struct Case {
    void* object;
    UInt32 kind;
    bool is;
  };
  const Case cases[] = {
      {w.ref, kCVKind_Reference, true},
      {w.actor, kCVKind_Reference, true},
      {w.player, kCVKind_Reference, true},
      {w.npc, kCVKind_Reference, false},
      {w.actor, kCVKind_Actor, true},
      {w.creatureRef, kCVKind_Actor, true},
      {w.player, kCVKind_Actor, true},
      {w.ref, kCVKind_Actor, false},
      {w.npc, kCVKind_ActorBase, true},
      {w.creature, kCVKind_ActorBase, true},
      {w.leveled, kCVKind_ActorBase, false},
      {w.ref, kCVKind_ActorBase, false},
      {w.npc, kCVKind_LinkedBase, true},
      {w.creature, kCVKind_LinkedBase, true},
      {w.leveled, kCVKind_LinkedBase, false},
      {w.list, kCVKind_LinkedBase, false},
      {w.list, kCVKind_FormList, true},
      {w.quest, kCVKind_FormList, false},
      {w.quest, kCVKind_Quest, true},
      {w.list, kCVKind_Quest, false},
      {w.talk, kCVKind_Conversation, true},
      {w.oddTalk, kCVKind_Conversation, true},  // by its class alone, whatever its type byte
      {w.plainPackage, kCVKind_Conversation, false},
      {w.processes[0], kCVKind_Conversation, false},
      {w.npc, 0, false},
      {w.npc, 99, false},
  };
  for (const Case& c : cases) {
    void* got = E().DynamicCast(c.object, c.kind);
    EXPECT_EQ(got, c.is ? c.object : nullptr)
        << "refID " << std::hex << image::Get<UInt32>(c.object, kFormRefID) << " kind " << c.kind;
  }
}

TEST_F(GameBinding, FormsReferencesAndLookUp) {
  const World& w = W();
  EXPECT_EQ(E().GetRefID(F(w.npc)), 0x100u);
  EXPECT_EQ(E().GetRefID(F(w.player)), 0x14u);
  EXPECT_EQ(E().GetBaseForm(R(w.ref)), F(w.npc));
  EXPECT_EQ(E().GetBaseForm(R(w.creatureRef)), F(w.creature));
  EXPECT_EQ(E().GetBaseForm(R(w.npc)), nullptr);  // not a reference
  for (void* f : {w.npc, w.creature, w.ref, w.player, w.list, w.quest, w.talk})
    EXPECT_EQ(E().LookupFormByID(image::Get<UInt32>(f, kFormRefID)), F(f));
  EXPECT_EQ(E().LookupFormByID(0x12345), nullptr);
  EXPECT_EQ(E().LookupFormByID(0x102), nullptr);   // a form the map does not hold
  EXPECT_TRUE(E().IsValidObject(w.processes[2]));  // any object of the game's classes
  EXPECT_TRUE(E().IsValidObject(w.talk));
}

TEST_F(GameBinding, LookUpGivesOnlyLiveFormsOfTheAskedId) {
  const World& w = W();
  void* stray = image::NewRaw(0x40);  // a map entry whose data is no object
  void* renamed = image::New(Class::Form, 0x10, 0x777);
  image::SetForms({w.npc, renamed});
  image::Put<UInt32>(renamed, kFormRefID, 0x778);  // the form now says another id
  EXPECT_EQ(E().LookupFormByID(0x777), nullptr);
  EXPECT_EQ(E().LookupFormByID(0x778), nullptr);
  image::SetForms({stray});
  EXPECT_EQ(E().LookupFormByID(0), nullptr);
  image::SetForms({});
  EXPECT_EQ(E().LookupFormByID(0x100), nullptr);
  image::SetForms({w.npc, w.usesModel, w.creature, w.leveled, w.ref, w.actor, w.creatureRef,
                   w.player, w.list, w.quest, w.talk});
  EXPECT_EQ(E().LookupFormByID(0x100), F(w.npc));
}

// The game makes its form map and DataHandler after plug-ins load: until
// then their pointers are null, and nothing is found.
TEST_F(GameBinding, BeforeTheGameMadeItsTablesNothingIsFound) {
  auto& formMap = *reinterpret_cast<Addr*>(std::uintptr_t{kFormMapPtr});
  auto& dataHandler = *reinterpret_cast<Addr*>(std::uintptr_t{kDataHandlerPtr});
  const Addr savedMap = std::exchange(formMap, 0);
  const Addr savedHandler = std::exchange(dataHandler, 0);
  EXPECT_EQ(E().LookupFormByID(0x100), nullptr);
  EXPECT_EQ(E().GetModCount(), 0u);
  EXPECT_EQ(E().GetModName(0), nullptr);
  formMap = savedMap;
  dataHandler = savedHandler;
  EXPECT_EQ(E().LookupFormByID(0x100), F(W().npc));
  EXPECT_EQ(E().GetModCount(), 3u);
}

TEST_F(GameBinding, SkeletonFollowsTheTemplateWhileItGivesTheModel) {
  const World& w = W();
  struct Case {
    void* base;
    const char* path;  // null: nothing
  };
  const Case cases[] = {
      {w.npc, "Characters\\_Male\\Skeleton.nif"},
      {w.usesModel, "Characters\\_Male\\Skeleton.nif"},  // the template's
      {w.ownModel, "Own\\Skeleton.nif"},                 // flag off: its own
      {w.creature, "Creatures\\Dog\\Skeleton.nif"},
      {w.onLeveled, "Leveled\\Skeleton.nif"},  // a leveled list ends the chain
      {w.toCreature, "Creatures\\Dog\\Skeleton.nif"},
      {w.cycleA, nullptr},  // a template cycle
      {w.cycleB, nullptr},
      {w.ref, nullptr},
      {w.leveled, nullptr},
  };
  for (const Case& c : cases) {
    const char* got = E().GetSkeletonModelPath(F(c.base));
    if (c.path == nullptr) {
      EXPECT_EQ(got, nullptr) << image::Get<UInt32>(c.base, kFormRefID);
    } else {
      ASSERT_NE(got, nullptr) << image::Get<UInt32>(c.base, kFormRefID);
      EXPECT_STREQ(got, c.path);
    }
  }
  // The path is the binding's own copy: the game may change its string.
  void* changing = image::New(Class::NPC, kTypeNPC, 0x10B);
  image::PutString(changing, kBaseModelPath, "Before\\Skeleton.nif");
  const char* copy = E().GetSkeletonModelPath(F(changing));
  std::memcpy(image::Get<char*>(changing, kBaseModelPath), "Change", 6);
  EXPECT_STREQ(copy, "Before\\Skeleton.nif");
  void* empty = image::New(Class::NPC, kTypeNPC, 0x10A);
  ASSERT_NE(E().GetSkeletonModelPath(F(empty)), nullptr);
  EXPECT_STREQ(E().GetSkeletonModelPath(F(empty)), "");
}

TEST_F(GameBinding, ParentLinksStayWithinOneFormType) {
  const World& w = W();
  EXPECT_EQ(E().GetParentLink(F(w.usesModel)), F(w.npc));
  EXPECT_EQ(E().GetParentLink(F(w.ownModel)), F(w.npc));  // the link, whatever the flags
  EXPECT_EQ(E().GetParentLink(F(w.childCreature)), F(w.creature));
  EXPECT_EQ(E().GetParentLink(F(w.npc)), nullptr);         // no template
  EXPECT_EQ(E().GetParentLink(F(w.onLeveled)), nullptr);   // a leveled list ends it
  EXPECT_EQ(E().GetParentLink(F(w.toCreature)), nullptr);  // another form type
  EXPECT_EQ(E().GetParentLink(F(w.cycleA)), F(w.cycleB));  // the plug-in bounds its walks
  EXPECT_EQ(E().GetParentLink(F(w.ref)), nullptr);
}

TEST_F(GameBinding, FormListsCountAndIndexTheirNodes) {
  const World& w = W();
  EXPECT_EQ(E().GetFormListCount(F(w.list)), 3u);
  EXPECT_EQ(E().GetFormListEntry(F(w.list), 0), F(w.npc));
  EXPECT_EQ(E().GetFormListEntry(F(w.list), 1), nullptr);  // a null entry
  EXPECT_EQ(E().GetFormListEntry(F(w.list), 2), F(w.ref));
  EXPECT_EQ(E().GetFormListEntry(F(w.list), 3), nullptr);
  EXPECT_EQ(E().GetFormListEntry(F(w.list), 0), F(w.npc));  // back to the front
  EXPECT_EQ(E().GetFormListEntry(F(w.list), 2), F(w.ref));  // and skipping ahead
  EXPECT_EQ(E().GetFormListCount(F(w.emptyList)), 0u);
  EXPECT_EQ(E().GetFormListEntry(F(w.emptyList), 0), nullptr);
  EXPECT_EQ(E().GetFormListCount(F(w.loopList)), 0u);  // a list that loops is corrupt
  EXPECT_EQ(E().GetFormListCount(F(w.quest)), 0u);
}

TEST_F(GameBinding, ConversationsThroughTheProcessAtEveryLevel) {
  const World& w = W();
  EXPECT_EQ(E().GetAIProcess(R(w.actor)), w.processes[0]);
  EXPECT_EQ(E().GetAIProcess(R(w.creatureRef)), w.processes[3]);
  EXPECT_EQ(E().GetAIProcess(R(w.player)), nullptr);  // no process
  EXPECT_EQ(E().GetAIProcess(R(w.ref)), nullptr);     // not an actor
  for (std::uint32_t level = 0; level < 4; ++level) {
    void* p = w.processes[level];
    SCOPED_TRACE("process level " + std::to_string(level));
    // The running package: the run-once one on the upper levels, else the current one.
    const Addr field = level <= 1 ? kProcessRunOncePackage : kProcessCurrentPackage;
    EXPECT_EQ(E().GetCurrentActivity(p), nullptr);
    image::Put(p, field, w.plainPackage);
    EXPECT_EQ(E().GetCurrentActivity(p), w.plainPackage);
    EXPECT_EQ(E().DynamicCast(E().GetCurrentActivity(p), kCVKind_Conversation), nullptr);
    image::Put(p, field, w.talk);
    void* talk = E().DynamicCast(E().GetCurrentActivity(p), kCVKind_Conversation);
    EXPECT_EQ(talk, w.talk);
    EXPECT_EQ(E().GetConversationSubject(talk), R(w.actor));
    EXPECT_EQ(E().GetConversationTarget(talk), R(w.player));
    image::Put(p, field, w.npc);  // a form that is no package
    EXPECT_EQ(E().GetCurrentActivity(p), nullptr);
    image::Put(p, field, image::NewRaw(0x100));  // no object at all
    EXPECT_EQ(E().GetCurrentActivity(p), nullptr);
    image::Put<void*>(p, field, nullptr);
  }
  void* broken = image::New(Class::LowProcess);
  image::Put<std::uint32_t>(broken, kProcessLevel, 7);  // no such level
  EXPECT_EQ(E().GetCurrentActivity(broken), nullptr);
  // Parties that are not actors give nothing.
  void* odd = image::New(Class::DialoguePackage, kTypePackage, 0x502);
  image::Put(odd, kDialogueSubject, w.ref);
  image::Put(odd, kDialogueTarget, image::NewRaw(0x100));
  EXPECT_EQ(E().GetConversationSubject(odd), nullptr);
  EXPECT_EQ(E().GetConversationTarget(odd), nullptr);
}

TEST_F(GameBinding, ModsConsoleAndHeap) {
  EXPECT_EQ(E().GetModCount(), 3u);
  EXPECT_STREQ(E().GetModName(0), "FalloutNV.esm");
  EXPECT_STREQ(E().GetModName(2), "Corvane Test.esp");
  EXPECT_EQ(E().GetModName(3), nullptr);
  // The name is the binding's own copy: the game may change or free its own.
  const char* name = E().GetModName(1);
  image::SetMods({"FalloutNV.esm", "Renamed.esm", "Corvane Test.esp"});
  EXPECT_STREQ(name, "DeadMoney.esm");
  EXPECT_STREQ(E().GetModName(1), "Renamed.esm");
  EXPECT_EQ(E().GetModName(0xFFFFFFFF), nullptr);

  EXPECT_FALSE(E().IsConsoleMode());
  image::SetConsoleMode(true);
  EXPECT_TRUE(E().IsConsoleMode());
  image::SetConsoleMode(false);
  EXPECT_FALSE(E().IsConsoleMode());

  g_printed.clear();
  E().Console_Print("%s has %d value(s), %.2f %%", "CV_Test", 3, 1.5);
  E().Console_Print("%s", "100% done");  // a per cent sign in the text stays text
  EXPECT_EQ(g_printed, (std::vector<std::string>{"CV_Test has 3 value(s), 1.50 %", "100% done"}));
  // The image takes what the game's console takes: a longer line is misuse.
  E().Console_Print("%s", std::string(511, 'x').c_str());
  EXPECT_EQ(image::TakeErrors(), std::vector<std::string>{});
  E().Console_Print("%s", std::string(512, 'x').c_str());
  EXPECT_EQ(image::TakeErrors().size(), 1u) << "a line of 512 bytes";

  g_allocated.clear();
  g_freed.clear();
  void* block = E().FormHeap_Allocate(24);
  ASSERT_NE(block, nullptr);
  EXPECT_EQ(g_allocated, std::vector<void*>{block});
  E().FormHeap_Free(block);
  E().FormHeap_Free(nullptr);  // never handed to the game
  EXPECT_EQ(g_freed, std::vector<void*>{block});
}

// Every pointer the game can hand over that is no live object of the wanted
// kind, through every operation that takes one: each gives nothing.
TEST_F(GameBinding, HostilePointersGiveNothing) {
  const World& w = W();
  // An unmapped page, and a form on a page that was then given back.
  void* page = ::VirtualAlloc(nullptr, 0x1000, MEM_COMMIT | MEM_RESERVE, PAGE_READWRITE);
  ASSERT_NE(page, nullptr);
  std::memcpy(page, w.npc, 0x200);
  ASSERT_TRUE(::VirtualFree(page, 0, MEM_RELEASE));
  void* guarded = ::VirtualAlloc(nullptr, 0x1000, MEM_COMMIT | MEM_RESERVE, PAGE_READWRITE);
  std::memcpy(guarded, w.npc, 0x200);
  DWORD old = 0;
  ASSERT_TRUE(::VirtualProtect(guarded, 0x1000, PAGE_NOACCESS, &old));
  // A guard page: a read must neither fault nor take the owner's guard.
  void* guardPage = ::VirtualAlloc(nullptr, 0x1000, MEM_COMMIT | MEM_RESERVE, PAGE_READWRITE);
  std::memcpy(guardPage, w.npc, 0x200);
  ASSERT_TRUE(::VirtualProtect(guardPage, 0x1000, PAGE_READWRITE | PAGE_GUARD, &old));
  // A form whose fields run off its page into an unmapped one.
  char* edge =
      static_cast<char*>(::VirtualAlloc(nullptr, 0x2000, MEM_COMMIT | MEM_RESERVE, PAGE_READWRITE));
  ASSERT_TRUE(::VirtualFree(edge + 0x1000, 0x1000, MEM_DECOMMIT));
  void* edgeNpc = edge + 0x1000 - 0x10;
  std::memcpy(edgeNpc, w.npc, 0x10);
  // A freed object: the heap wrote its own link over the vtable.
  void* freed = image::New(Class::NPC, kTypeNPC, 0x600);
  image::Put(freed, 0, image::NewRaw(0x20));
  // Pointers that are no vtable (a type descriptor, code, the header), and a
  // vtable slot whose locator pointer is no locator.
  void* dataVtable = image::New(Class::NPC, kTypeNPC, 0x601);
  image::Put<Addr>(dataVtable, 0, kTD_TESNPC);
  void* codeVtable = image::New(Class::NPC, kTypeNPC, 0x602);
  image::Put<Addr>(codeVtable, 0, kHeapAllocate);
  void* headerVtable = image::New(Class::NPC, kTypeNPC, 0x603);
  image::Put<Addr>(headerVtable, 0, kImageBase + 0x100);
  void* brokenLocator = image::New(Class::NPC, kTypeNPC, 0x604);
  image::Put<Addr>(brokenLocator, 0, kVT_TESNPC + 0x40);  // a slot, not a vtable start
  // The TESModel part of an NPC: inside a form, not a form.
  void* part = static_cast<char*>(w.npc) + 0xDC;

  const std::vector<std::pair<const char*, void*>> hostile = {
      {"null", nullptr},
      {"low address", reinterpret_cast<void*>(0x1234)},
      {"unmapped", page},
      {"no access", guarded},
      {"guard page", guardPage},
      {"misaligned", static_cast<char*>(w.npc) + 1},
      {"off its page", edgeNpc},
      {"no RTTI", image::NewRaw(0x200)},
      {"freed", freed},
      {"vtable in data", dataVtable},
      {"vtable in code", codeVtable},
      {"vtable in the header", headerVtable},
      {"broken locator", brokenLocator},
      {"part of a form", part},
      {"image header", reinterpret_cast<void*>(kImageBase)},
      {"type descriptor", reinterpret_cast<void*>(kTD_TESForm)},
      {"a vtable itself", reinterpret_cast<void*>(kVT_TESNPC)},
      {"last page", reinterpret_cast<void*>(0xFFFFF000)},
  };
  for (const auto& [what, p] : hostile) {
    SCOPED_TRACE(what);
    for (UInt32 kind = kCVKind_Reference; kind <= kCVKind_Conversation; ++kind)
      EXPECT_EQ(E().DynamicCast(p, kind), nullptr) << "kind " << kind;
    EXPECT_EQ(E().GetRefID(F(p)), 0u);
    EXPECT_EQ(E().GetBaseForm(R(p)), nullptr);
    EXPECT_EQ(E().GetSkeletonModelPath(F(p)), nullptr);
    EXPECT_EQ(E().GetParentLink(F(p)), nullptr);
    EXPECT_FALSE(E().IsValidObject(p));
    EXPECT_EQ(E().GetFormListCount(F(p)), 0u);
    EXPECT_EQ(E().GetFormListEntry(F(p), 0), nullptr);
    EXPECT_EQ(E().GetAIProcess(R(p)), nullptr);
    EXPECT_EQ(E().GetCurrentActivity(p), nullptr);
    EXPECT_EQ(E().GetConversationSubject(p), nullptr);
    EXPECT_EQ(E().GetConversationTarget(p), nullptr);
  }

  // Non-forms where a form is expected: a process is an object, not a form.
  EXPECT_EQ(E().GetRefID(F(w.processes[0])), 0u);
  EXPECT_EQ(E().DynamicCast(w.processes[0], kCVKind_Reference), nullptr);
  // Forms pointing at hostile objects give nothing in turn.
  void* badRef = image::New(Class::Reference, kTypeReference, 0x605);
  image::Put(badRef, kRefBaseForm, freed);
  EXPECT_EQ(E().GetBaseForm(R(badRef)), nullptr);
  void* badActor = image::New(Class::Character, kTypeCharacter, 0x606);
  image::Put(badActor, kActorProcess, w.npc);  // a form where a process belongs
  EXPECT_EQ(E().GetAIProcess(R(badActor)), nullptr);
  void* badTemplate = image::New(Class::NPC, kTypeNPC, 0x607);
  image::Put(badTemplate, kBaseTemplate, page);
  image::Put<std::uint16_t>(badTemplate, kBaseTemplateFlags, kTemplateUseModel);
  EXPECT_EQ(E().GetSkeletonModelPath(F(badTemplate)), nullptr);
  EXPECT_EQ(E().GetParentLink(F(badTemplate)), nullptr);
  void* badList = image::New(Class::FormList, kTypeFormList, 0x608);
  image::PutList(badList, kListHead, {w.npc, freed, page});
  EXPECT_EQ(E().GetFormListCount(F(badList)), 3u);
  EXPECT_EQ(E().GetFormListEntry(F(badList), 1), nullptr);
  EXPECT_EQ(E().GetFormListEntry(F(badList), 2), nullptr);
  // A type byte that contradicts the class: the cast needs both.
  void* liar = image::New(Class::NPC, kTypeFormList, 0x609);
  EXPECT_EQ(E().DynamicCast(liar, kCVKind_FormList), nullptr);
  EXPECT_EQ(E().DynamicCast(liar, kCVKind_ActorBase), nullptr);
  MEMORY_BASIC_INFORMATION m;
  ASSERT_EQ(::VirtualQuery(guardPage, &m, sizeof m), sizeof m);
  EXPECT_NE(m.Protect & PAGE_GUARD, 0u) << "a read took the guard page's guard";
  ::VirtualFree(guarded, 0, MEM_RELEASE);
  ::VirtualFree(guardPage, 0, MEM_RELEASE);
}

}  // namespace
}  // namespace cv::binding_test
