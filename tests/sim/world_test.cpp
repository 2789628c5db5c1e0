// World statements as the engine table reports them, and the file checks.
#include <filesystem>
#include <fstream>

#include "platform/fault.h"
#include "sim_fixture.h"

namespace cv::sim {
namespace {

template <class T = TESForm>
T* F(World& w, UInt32 id) {
  return reinterpret_cast<T*>(w.Known(id));
}

TEST_F(ProbeSession, EngineTableAnswersFromTheWorld) {
  ASSERT_EQ(Run("loadorder \"FalloutNV.esm\" \"Mine.esp\"\nmod \"Late.esp\"\n"
                "npc 30 \"Skel\\Male.nif\"\nlinked 41\nlinked 40 41\nlinked 41 40\nlinked 42 42\n"
                "form 14\nquest 20\nlist 50 14 none 30\nactor 61 30\nref 62 none\nref 63 14\n"
                "actor 64 none\ntalk 61 62 64\nlist 51 none 14\nlinked 43 14\n"
                "npc 36 \"Own.nif\" template 30 use-model\nleveled 37\n"
                "creature 38 \"C.nif\" template 37 use-model\ncreature 39 \"D.nif\" template 14 "
                "use-model\n"),
            kPassed)
      << err.str();
  const CVEngineInterface* e = EngineInterface();
  World& w = world();

  EXPECT_EQ(e->GetModCount(), 3u);
  EXPECT_STREQ(e->GetModName(1), "Mine.esp");
  EXPECT_EQ(e->GetModName(3), nullptr);

  EXPECT_EQ(e->GetRefID(F(w, 0x61)), 0x61u);
  EXPECT_EQ(e->LookupFormByID(0x30), F(w, 0x30));
  EXPECT_EQ(e->LookupFormByID(0x31), nullptr);

  // Kinds: an actor is also a reference; base forms are not references.
  EXPECT_NE(e->DynamicCast(F(w, 0x61), kCVKind_Actor), nullptr);
  EXPECT_NE(e->DynamicCast(F(w, 0x61), kCVKind_Reference), nullptr);
  EXPECT_EQ(e->DynamicCast(F(w, 0x62), kCVKind_Actor), nullptr);
  EXPECT_EQ(e->DynamicCast(F(w, 0x30), kCVKind_Reference), nullptr);
  EXPECT_NE(e->DynamicCast(F(w, 0x30), kCVKind_ActorBase), nullptr);
  EXPECT_NE(e->DynamicCast(F(w, 0x20), kCVKind_Quest), nullptr);
  EXPECT_NE(e->DynamicCast(F(w, 0x50), kCVKind_FormList), nullptr);
  EXPECT_EQ(e->DynamicCast(nullptr, kCVKind_Quest), nullptr);

  EXPECT_EQ(e->GetBaseForm(F<TESObjectREFR>(w, 0x61)), F(w, 0x30));
  EXPECT_EQ(e->GetBaseForm(F<TESObjectREFR>(w, 0x62)), nullptr);
  EXPECT_EQ(e->GetBaseForm(F<TESObjectREFR>(w, 0x30)), nullptr);
  EXPECT_STREQ(e->GetSkeletonModelPath(F(w, 0x30)), "Skel\\Male.nif");
  EXPECT_EQ(e->GetSkeletonModelPath(F(w, 0x14)), nullptr);

  // NPCs and creatures are the actor bases and the linked kind alike, as in
  // the game; a leveled list is neither.
  EXPECT_NE(e->DynamicCast(F(w, 0x30), kCVKind_LinkedBase), nullptr);
  EXPECT_NE(e->DynamicCast(F(w, 0x40), kCVKind_ActorBase), nullptr);
  EXPECT_EQ(e->DynamicCast(F(w, 0x37), kCVKind_ActorBase), nullptr);
  EXPECT_EQ(e->DynamicCast(F(w, 0x37), kCVKind_LinkedBase), nullptr);
  // The model follows the template while "use model" is set, stops at a
  // leveled template, and is none through a template of another kind.
  EXPECT_STREQ(e->GetSkeletonModelPath(F(w, 0x36)), "Skel\\Male.nif");
  EXPECT_STREQ(e->GetSkeletonModelPath(F(w, 0x38)), "C.nif");
  EXPECT_EQ(e->GetSkeletonModelPath(F(w, 0x39)), nullptr);
  EXPECT_STREQ(e->GetSkeletonModelPath(F(w, 0x40)), "");
  EXPECT_EQ(e->GetSkeletonModelPath(F(w, 0x42)), std::string(""));
  EXPECT_EQ(e->GetParentLink(F(w, 0x36)), F(w, 0x30));
  EXPECT_EQ(e->GetParentLink(F(w, 0x38)), nullptr);

  // Parent links may form cycles, and a form may name itself; a parent of
  // another kind is no parent, as a leveled list is none in the game.
  EXPECT_EQ(e->GetParentLink(F(w, 0x40)), F(w, 0x41));
  EXPECT_EQ(e->GetParentLink(F(w, 0x41)), F(w, 0x40));
  EXPECT_EQ(e->GetParentLink(F(w, 0x42)), F(w, 0x42));
  EXPECT_EQ(e->GetParentLink(F(w, 0x43)), nullptr);

  EXPECT_EQ(e->GetFormListCount(F(w, 0x50)), 3u);
  EXPECT_EQ(e->GetFormListEntry(F(w, 0x50), 0), F(w, 0x14));
  EXPECT_EQ(e->GetFormListEntry(F(w, 0x50), 1), nullptr);
  EXPECT_EQ(e->GetFormListEntry(F(w, 0x50), 2), F(w, 0x30));
  EXPECT_EQ(e->GetFormListEntry(F(w, 0x50), 3), nullptr);
  // The game's list embeds its first node: an empty one is an empty list.
  EXPECT_EQ(e->GetFormListCount(F(w, 0x51)), 0u);
  EXPECT_EQ(e->GetFormListEntry(F(w, 0x51), 1), nullptr);

  void* process = e->GetAIProcess(F<TESObjectREFR>(w, 0x61));
  ASSERT_NE(process, nullptr);
  EXPECT_EQ(e->GetAIProcess(F<TESObjectREFR>(w, 0x62)), nullptr);
  EXPECT_EQ(e->GetCurrentActivity(e->GetAIProcess(F<TESObjectREFR>(w, 0x64))), nullptr);
  void* talk = e->DynamicCast(e->GetCurrentActivity(process), kCVKind_Conversation);
  ASSERT_NE(talk, nullptr);
  // Only an actor counts as a side of a conversation, as in the game.
  EXPECT_EQ(e->GetConversationSubject(talk), nullptr);
  EXPECT_EQ(e->GetConversationTarget(talk), F<TESObjectREFR>(w, 0x64));
  EXPECT_EQ(e->DynamicCast(process, kCVKind_Conversation), nullptr);

  // Whether the game's free takes null is not known: freeing it is misuse,
  // as is freeing what the game heap never gave.
  host().errors.clear();
  int local = 0;
  e->FormHeap_Free(nullptr);
  e->FormHeap_Free(&local);
  EXPECT_EQ(host().errors,
            (std::vector<std::string>{"FormHeap_Free of null",
                                      "FormHeap_Free of a block not from the game heap"}));
  host().errors.clear();

  // Validity never dereferences: foreign pointers are simply not objects.
  EXPECT_TRUE(e->IsValidObject(F(w, 0x14)));
  EXPECT_TRUE(e->IsValidObject(process));
  EXPECT_FALSE(e->IsValidObject(&local));
  EXPECT_FALSE(e->IsValidObject(nullptr));
  EXPECT_EQ(e->GetRefID(reinterpret_cast<TESForm*>(&local)), 0u);

  ASSERT_EQ(Run("talk 61 none"), kPassed);
  EXPECT_EQ(e->GetCurrentActivity(process), nullptr);

  // The game holds at most 0xFF mods, each name in 0x100 bytes.
  std::string order = "loadorder \"" + std::string(300, 'N') + ".esp\"";
  for (int i = 1; i < 256; ++i) order += " M" + std::to_string(i) + ".esp";
  ASSERT_EQ(Run(order), kPassed) << err.str();
  EXPECT_EQ(e->GetModCount(), 255u);
  EXPECT_EQ(std::string(e->GetModName(0)), std::string(255, 'N'));
  EXPECT_STREQ(e->GetModName(254), "M254.esp");
  EXPECT_EQ(e->GetModName(255), nullptr);
}

TEST_F(ProbeSession, RedefinitionAndRemovalKeepTheObject) {
  ASSERT_EQ(Run("form 14\nactor 61 14\nremove 14"), kPassed) << err.str();
  const CVEngineInterface* e = EngineInterface();
  TESForm* form = F(world(), 0x14);
  EXPECT_EQ(e->LookupFormByID(0x14), nullptr);
  // A reference still names its removed base, which stays a valid object.
  EXPECT_EQ(e->GetBaseForm(F<TESObjectREFR>(world(), 0x61)), form);
  EXPECT_TRUE(e->IsValidObject(form));
  ASSERT_EQ(Run("quest 14\nquestvar 14 2 3.9\nrun - GetQuestVariable 14 2\nexpect 3.9"), kPassed)
      << err.str();
  EXPECT_EQ(e->LookupFormByID(0x14), form);
  EXPECT_NE(e->DynamicCast(form, kCVKind_Quest), nullptr);

  double result = -1;
  EXPECT_FALSE(GetQuestVariableEval(nullptr, form, reinterpret_cast<void*>(1), &result));
  EXPECT_TRUE(GetQuestVariableEval(nullptr, form, reinterpret_cast<void*>(2), &result));
  EXPECT_EQ(result, 3.9);
  EXPECT_FALSE(
      GetQuestVariableEval(nullptr, F(world(), 0x61), reinterpret_cast<void*>(2), &result));
}

TEST_F(ProbeSession, WorldStatementsNeedDefinedForms) {
  // Each case uses ids no earlier case defined.
  const char* cases[] = {"remove 14",
                         "ref 61 15",
                         "list 50 16",
                         "linked 40 41",
                         "talk 62 none",
                         "form 17\ntalk 17 none",
                         "form 20\nquestvar 20 1 1",
                         "actor 63 none\ntalk 63 18 none",
                         "questvar 21 1 1"};
  for (const char* text : cases) {
    EXPECT_EQ(Run(text), kUnreadable) << text;
    EXPECT_NE(err.str().find("t.scn:"), std::string::npos) << err.str();
  }
}

TEST_F(ProbeSession, EngineFaultsGiveTheFailingAnswer) {
  ASSERT_EQ(Run("form 14\nfault engine.LookupFormByID 1 return"), kPassed);
  EXPECT_EQ(EngineInterface()->LookupFormByID(0x14), nullptr);
  EXPECT_NE(EngineInterface()->LookupFormByID(0x14), nullptr);
  ASSERT_EQ(Run("fault engine.FormHeap_Allocate 1 std"), kPassed);
  EXPECT_THROW(EngineInterface()->FormHeap_Allocate(4), std::runtime_error);
  ASSERT_EQ(Run("fault engine.IsConsoleMode 1 return\nconsole - Probe_Console\nexpect 0"), kPassed)
      << err.str();
  fault::DisarmAll();
}

TEST_F(ProbeSession, ExpectLogSearchesForwardInOrder) {
  {
    std::ofstream log("corvane.log", std::ios::binary);
    log << "first\r\n\t\tsecond\r\nthird\r\nsecond\r\n";
  }
  EXPECT_EQ(Run("expect-log \"second\"\nexpect-log \"third\"\nexpect-log \"second\""), kPassed)
      << err.str();
  // The search goes on from the last match, also in later runs.
  EXPECT_EQ(Run("expect-log \"first\""), kCheckFailed);
  EXPECT_EQ(err.str(),
            "t.scn:1: FAIL expected log line \"first\" after log line 4, got none (the log has 4 "
            "lines)\n");
  std::filesystem::remove("corvane.log");
}

TEST_F(ProbeSession, FilesBelowTheGameRoot) {
  std::filesystem::create_directories("Data/Sub");
  { std::ofstream("Data/Sub/a.csv", std::ios::binary) << "x,1\r\ny,2\r\n"; }
  EXPECT_EQ(Run("expect-file \"Data\\Sub\\a.csv\" present\nexpect-file \"Data/Sub/b.csv\" absent\n"
                "show-file \"Data\\Sub\\a.csv\"\nshow-file \"nope\""),
            kPassed)
      << err.str();
  EXPECT_EQ(out.str(),
            "--- begin Data\\Sub\\a.csv\nx,1\ny,2\n--- end Data\\Sub\\a.csv\n--- nope: absent\n");
  EXPECT_EQ(Run("expect-file \"Data\\Sub\\a.csv\" absent"), kCheckFailed);
  EXPECT_EQ(err.str(), "t.scn:1: FAIL expected \"Data\\Sub\\a.csv\" absent, got present\n");
  std::filesystem::remove_all("Data");
}

TEST_F(ProbeSession, ExpectNeedsACall) {
  EXPECT_EQ(Run("expect 19"), kCheckFailed);
  EXPECT_EQ(err.str(), "t.scn:1: FAIL expected 19, got no call before this check\n");
}

}  // namespace
}  // namespace cv::sim
