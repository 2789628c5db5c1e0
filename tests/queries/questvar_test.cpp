#include "queries/questvar.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "ev/store.h"
#include "log/log.h"
#include "queries/query_commands.h"
#include "tests/queries/fake_game.h"

namespace cv::queries {
namespace {

using fake::FakeGame;

TEST(StringVarId, DropsTheFraction) {
  EXPECT_EQ(StringVarId(3.9), 3u);
  EXPECT_EQ(StringVarId(3.0), 3u);
  EXPECT_EQ(StringVarId(0.0), 0u);
  EXPECT_EQ(StringVarId(-0.5), 0u);
  EXPECT_EQ(StringVarId(4294967295.7), 4294967295u);
}

TEST(StringVarId, ValuesNoIdCanHoldAreNone) {
  EXPECT_FALSE(StringVarId(-1.0));
  EXPECT_FALSE(StringVarId(4294967296.0));
  EXPECT_FALSE(StringVarId(std::numeric_limits<double>::quiet_NaN()));
  EXPECT_FALSE(StringVarId(std::numeric_limits<double>::infinity()));
}

class QuestVariableFloat : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_NE(LogOpen("questvar_test.log"), nullptr);
    TheStore().ClearAll();
    quest = game.Quest(0x500);
    actor = game.Actor(0x100, game.ActorBase(0x200, "a\\b.nif"));
    game.ProvideGetQuestVariable();
    game.StringVar(7, "Health");
    game.QuestVar(quest, 2, 7.0);
  }
  void TearDown() override {
    TheStore().ClearAll();
    LogClose();
  }

  double Eval(TESObjectREFR* thisObj, UInt32 variable) {
    double r = fake::kUnsetResult;
    EXPECT_TRUE(GetQVEVFlEval(thisObj, quest, VariableArg(variable), &r));
    return r;
  }

  FakeGame game;
  TESForm* quest = nullptr;
  TESObjectREFR* actor = nullptr;
};

TEST_F(QuestVariableFloat, KeyIsTheFoldedStringText) {
  TheStore().Entry<EvKind::Float>(0x100, "health") = 5.0f;
  EXPECT_EQ(game.Run(GetQVEVFl, actor, {quest, SInt32{2}}, true), 5.0);
  EXPECT_EQ(game.console(), std::vector<std::string>{"GetQVEVFl: 5.00000"});
  EXPECT_EQ(game.questVariableRequests(), std::vector<UInt32>{2});
  EXPECT_EQ(game.Run(GetQVEVFl, actor, {quest, SInt32{2}}), 5.0);
  EXPECT_TRUE(game.console().empty());
}

TEST_F(QuestVariableFloat, ConditionAgreesWithScriptCall) {
  TheStore().Entry<EvKind::Float>(0x100, "health") = 0.25f;
  EXPECT_EQ(Eval(actor, 2), 0.25);
  EXPECT_EQ(game.Run(GetQVEVFl, actor, {quest, SInt32{2}}), 0.25);
  game.QuestVar(quest, 3, 8.0);  // no string variable 8
  EXPECT_EQ(Eval(actor, 3), 0);
  EXPECT_EQ(game.Run(GetQVEVFl, actor, {quest, SInt32{3}}), 0);
}

TEST_F(QuestVariableFloat, MissingStringVariableGivesZero) {
  game.QuestVar(quest, 4, 99.0);
  EXPECT_EQ(game.Run(GetQVEVFl, actor, {quest, SInt32{4}}, true), 0);
  EXPECT_EQ(game.console(), std::vector<std::string>{"GetQVEVFl: no such key"});
  EXPECT_FALSE(TheStore().HasOwner(EvKind::Float, 0x100));
}

TEST_F(QuestVariableFloat, MissingKeyIsCreatedWithZero) {
  game.StringVar(8, "Unknown.KEY");
  game.QuestVar(quest, 5, 8.0);
  EXPECT_EQ(game.Run(GetQVEVFl, actor, {quest, SInt32{5}}, true), 0);
  EXPECT_EQ(game.console(), std::vector<std::string>{"GetQVEVFl: 0.00000"});
  const float* created = TheStore().Find<EvKind::Float>(0x100, "unknown.key");
  ASSERT_NE(created, nullptr);
  EXPECT_EQ(*created, 0.0f);
}

TEST_F(QuestVariableFloat, FractionIsDropped) {
  game.StringVar(3, "three");
  game.QuestVar(quest, 6, 3.9);
  TheStore().Entry<EvKind::Float>(0x100, "three") = 33.0f;
  EXPECT_EQ(game.Run(GetQVEVFl, actor, {quest, SInt32{6}}), 33.0);
  EXPECT_EQ(Eval(actor, 6), 33.0);
}

TEST_F(QuestVariableFloat, LeftOutVariableHandsOnZero) {
  game.QuestVar(quest, 0, 7.0);
  TheStore().Entry<EvKind::Float>(0x100, "health") = 2.0f;
  EXPECT_EQ(game.Run(GetQVEVFl, actor, {quest}), 2.0);
  EXPECT_EQ(game.questVariableRequests(), std::vector<UInt32>{0});
}

TEST_F(QuestVariableFloat, EarlyEndsGiveZero) {
  TheStore().Entry<EvKind::Float>(0x100, "health") = 5.0f;
  // No calling reference: the quest variable's own value is not handed on.
  EXPECT_EQ(game.Run(GetQVEVFl, nullptr, {quest, SInt32{2}}, true), 0);
  EXPECT_EQ(Eval(nullptr, 2), 0);
  // The quest-variable evaluation reports failure after writing a value.
  game.FailGetQuestVariable(7.0);
  EXPECT_EQ(game.Run(GetQVEVFl, actor, {quest, SInt32{2}}, true), 0);
  EXPECT_TRUE(game.console().empty());
  // A failed extraction never reaches the quest variable.
  const std::size_t asked = game.questVariableRequests().size();
  EXPECT_EQ(game.RunFailingExtraction(GetQVEVFl, actor, true), 0);
  EXPECT_EQ(game.questVariableRequests().size(), asked);
  EXPECT_TRUE(game.console().empty());
}

TEST_F(QuestVariableFloat, RecordNotFoundGivesZero) {
  host::TheSlots().getQuestVariable = nullptr;
  TheStore().Entry<EvKind::Float>(0x100, "health") = 5.0f;
  EXPECT_EQ(game.Run(GetQVEVFl, actor, {quest, SInt32{2}}, true), 0);
  EXPECT_TRUE(game.console().empty());
  EXPECT_EQ(Eval(actor, 2), 0);
}

TEST_F(QuestVariableFloat, FailuresAreLoggedInBothHandlers) {
  game.Throw("string");
  EXPECT_EQ(game.Run(GetQVEVFl, actor, {quest, SInt32{2}}, true), 7.0);  // as it stood
  EXPECT_EQ(Eval(actor, 2), 7.0);
  game.Throw("extract");
  EXPECT_EQ(game.Run(GetQVEVFl, actor, {quest, SInt32{2}}), 0);
  EXPECT_EQ(fake::ReadLines("questvar_test.log"),
            (std::vector<std::string>{"Exception in getQVevfl: engine fault",
                                      "Exception in getQVevfl: engine fault",
                                      "Exception in getQVevfl: engine fault"}));
}

}  // namespace
}  // namespace cv::queries
