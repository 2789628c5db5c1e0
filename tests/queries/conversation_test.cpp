#include "queries/conversation.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>

#include "ev/store.h"
#include "host/game.h"
#include "log/log.h"
#include "queries/query_commands.h"
#include "tests/queries/fake_game.h"

namespace cv::queries {
namespace {

using fake::FakeGame;

class ConversationCommands : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_NE(LogOpen("conversation_test.log"), nullptr);
    TheStore().ClearAll();
    npc = game.ActorBase(0x200, "Characters\\_Male\\skeleton.nif");
    speaker = game.Actor(0x100, npc);
    player = game.Actor(0x14, npc);
    listener = game.Actor(0x101, npc);
  }
  void TearDown() override {
    TheStore().ClearAll();
    LogClose();
  }

  const std::uint32_t* Stored(TESObjectREFR* owner, const char* key) {
    return TheStore().Find<EvKind::Form>(cv::game::RefId(owner), key);
  }

  FakeGame game;
  TESForm* npc = nullptr;
  TESObjectREFR* speaker = nullptr;
  TESObjectREFR* player = nullptr;
  TESObjectREFR* listener = nullptr;
};

TEST_F(ConversationCommands, PartnerIsTheSubject) {
  game.Talk(speaker, player, listener);
  game.Run(GetConversationPartner, speaker, {}, true);
  EXPECT_EQ(game.lastForm(), 0x14u);
  EXPECT_EQ(game.console(), std::vector<std::string>{"CV_GetConversatioNPartner: 14"});
  game.Run(SetEvConversationSubject, speaker, {std::string("Who")});
  EXPECT_EQ(game.lastForm(), 0x14u);
}

TEST_F(ConversationCommands, ResultUpperBitsAreZero) {
  game.Talk(speaker, player, listener);
  const double r = game.Run(GetConversationPartner, speaker);
  std::uint64_t bits = 0;
  std::memcpy(&bits, &r, sizeof bits);
  EXPECT_EQ(bits, 0x14u);
}

TEST_F(ConversationCommands, NotInAConversation) {
  TESObjectREFR* busy = game.Actor(0x102, npc);
  game.SetActivity(busy, game.Form(0x300));  // an activity of another kind
  TESObjectREFR* noProcess = game.Actor(0x103, npc, false);
  TESObjectREFR* chair = game.Ref(0x104, game.Form(0x301));
  game.Talk(chair, player, listener);  // not an actor: its activity is never asked for
  for (TESObjectREFR* who :
       {speaker, busy, noProcess, chair, static_cast<TESObjectREFR*>(nullptr)}) {
    EXPECT_EQ(game.Run(GetConversationPartner, who, {}, true), 0);
    EXPECT_EQ(game.console(), std::vector<std::string>{"CV_GetConversatioNPartner: 0"});
    EXPECT_EQ(game.Run(SetEvConversationSubject, who, {std::string("k")}, true), 0);
    EXPECT_EQ(game.console(), std::vector<std::string>{"CV_SetEvConversationSubject: 0"});
    EXPECT_EQ(game.Run(SetEvConversationTarget, who, {std::string("k")}, true), 0);
    EXPECT_EQ(game.console(), std::vector<std::string>{"CV_SetEvConversationTarget: 0"});
  }
  EXPECT_EQ(TheStore().EntryCount(EvKind::Form), 0u);
}

TEST_F(ConversationCommands, SubjectAndTargetStoredUnderFoldedKey) {
  game.Talk(speaker, player, listener);
  game.Run(SetEvConversationSubject, speaker, {std::string("MyKey"), SInt32{1}}, true);
  EXPECT_EQ(game.console(), std::vector<std::string>{"CV_SetEvConversationSubject: 14"});
  game.Run(SetEvConversationTarget, speaker, {std::string("Other.KEY")}, true);
  EXPECT_EQ(game.lastForm(), 0x101u);
  EXPECT_EQ(game.console(), std::vector<std::string>{"CV_SetEvConversationTarget: 101"});

  ASSERT_NE(Stored(speaker, "mykey"), nullptr);
  EXPECT_EQ(*Stored(speaker, "mykey"), 0x14u);
  ASSERT_NE(Stored(speaker, "other.key"), nullptr);
  EXPECT_EQ(*Stored(speaker, "other.key"), 0x101u);
  EXPECT_EQ(Stored(speaker, "MyKey"), nullptr);
  EXPECT_EQ(TheStore().EntryCount(EvKind::Form), 2u);
}

TEST_F(ConversationCommands, SecondConversationWinsAndValueOutlivesIt) {
  game.Talk(speaker, player, listener);
  game.Run(SetEvConversationSubject, speaker, {std::string("k")});
  game.Talk(speaker, listener, player);
  game.Run(SetEvConversationSubject, speaker, {std::string("K")});
  game.EndTalk(speaker);
  EXPECT_EQ(game.Run(GetConversationPartner, speaker), 0);
  ASSERT_NE(Stored(speaker, "k"), nullptr);
  EXPECT_EQ(*Stored(speaker, "k"), 0x101u);
  // A call after the conversation ended stores nothing and keeps the value.
  EXPECT_EQ(game.Run(SetEvConversationSubject, speaker, {std::string("k")}), 0);
  EXPECT_EQ(*Stored(speaker, "k"), 0x101u);
}

TEST_F(ConversationCommands, AbsentPartyStoresNothingAndReadsNoArguments) {
  game.Talk(speaker, nullptr, listener);
  EXPECT_EQ(game.Run(SetEvConversationSubject, speaker, {std::string("k")}), 0);
  EXPECT_EQ(std::count(game.trace().begin(), game.trace().end(), "extract"), 0);
  game.Run(SetEvConversationTarget, speaker, {std::string("k")});
  EXPECT_EQ(game.lastForm(), 0x101u);
  EXPECT_EQ(Stored(speaker, "k") ? *Stored(speaker, "k") : 0u, 0x101u);
}

TEST_F(ConversationCommands, ConversationIsLookedUpBeforeTheArguments) {
  game.Talk(speaker, player, listener);
  game.Run(SetEvConversationTarget, speaker, {std::string("k")});
  const auto& t = game.trace();
  const auto activity = std::find(t.begin(), t.end(), "activity");
  const auto extract = std::find(t.begin(), t.end(), "extract");
  ASSERT_NE(activity, t.end());
  ASSERT_NE(extract, t.end());
  EXPECT_LT(activity, extract);

  // A failed extraction keeps the party's id as the result and stores nothing.
  game.RunFailingExtraction(SetEvConversationSubject, speaker, true);
  EXPECT_EQ(game.lastForm(), 0x14u);
  EXPECT_EQ(game.console(), std::vector<std::string>{"CV_SetEvConversationSubject: 14"});
  EXPECT_EQ(Stored(speaker, ""), nullptr);
  EXPECT_EQ(TheStore().EntryCount(EvKind::Form), 1u);
}

TEST_F(ConversationCommands, FailuresAreLoggedUnderEachName) {
  game.Talk(speaker, player, listener);
  game.Throw("activity");
  game.Run(GetConversationPartner, speaker, {}, true);
  game.Run(SetEvConversationSubject, speaker, {std::string("k")}, true);
  game.Run(SetEvConversationTarget, speaker, {std::string("k")}, true);
  EXPECT_TRUE(game.console().empty());
  game.Throw("extract");
  game.Run(SetEvConversationSubject, speaker, {std::string("k")});
  EXPECT_EQ(game.lastForm(), 0x14u);  // the result as it stood
  EXPECT_EQ(fake::ReadLines("conversation_test.log"),
            (std::vector<std::string>{"Exception in getconvopartner: engine fault",
                                      "Exception in CV_SetEvConversationSubject: engine fault",
                                      "Exception in CV_SetEvConversationTarget: engine fault",
                                      "Exception in CV_SetEvConversationSubject: engine fault"}));
  EXPECT_EQ(TheStore().EntryCount(EvKind::Form), 0u);
}

}  // namespace
}  // namespace cv::queries
