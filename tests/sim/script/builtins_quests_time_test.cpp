// Quests, game state and timing (script-language.md §2.3, §7, §11.4, §14).
#include "builtins_table.h"

namespace cv::sim::script::testing {
namespace {

class QuestTimeBuiltins : public ::testing::Test {
 protected:
  void SetUp() override {
    s.world().Define(0x20, FormKind::Quest);
    s.world().Define(0x30, FormKind::Npc);
  }
  double Num(std::string_view fn, std::vector<Value> args) {
    Value result;
    EXPECT_TRUE(s.Call(fn, std::move(args), result)) << fn;
    return result.number();
  }
  FakeServices s;
  const Value quest = Value::Form(0x20);
};

// StartQuest sets the counter to the delay and runs nothing (the pinned
// timer, §2.3); StopQuest stops it; GetQuestRunning says which (§7).
TEST_F(QuestTimeBuiltins, StartStopAndRunning) {
  EXPECT_EQ(Num("GetQuestRunning", {quest}), 0);
  Num("StartQuest", {quest});
  EXPECT_EQ(Num("GetQuestRunning", {quest}), 1);
  EXPECT_EQ(s.game().quests[0x20].counter, 5);  // the default delay, §2.3
  Num("StopQuest", {quest});
  EXPECT_EQ(Num("GetQuestRunning", {quest}), 0);
}

// A form that is not a quest makes them fail, as a command that returns false.
TEST_F(QuestTimeBuiltins, NotAQuestFails) {
  Value result;
  EXPECT_FALSE(s.Call("StartQuest", {Value::Form(0x30)}, result));
  EXPECT_FALSE(s.Call("SetQuestDelay", {Value::Form(0x30), Value::Number(1)}, result));
  EXPECT_FALSE(s.game().QuestRunning(0x30));
}

// SetQuestDelay changes the delay, and cuts a longer countdown to it.
TEST_F(QuestTimeBuiltins, SetQuestDelay) {
  Num("StartQuest", {quest});
  Num("SetQuestDelay", {quest, Value::Number(0.5)});
  EXPECT_EQ(s.game().quests[0x20].delay, 0.5);
  EXPECT_EQ(s.game().quests[0x20].counter, 0.5);
  s.game().quests[0x20].counter = 0.2;
  Num("SetQuestDelay", {quest, Value::Number(2)});
  EXPECT_EQ(s.game().quests[0x20].counter, 0.2);
}

// GetGameLoaded: 0 before any load; then 1 once per script (§14.1).
TEST_F(QuestTimeBuiltins, GetGameLoadedOncePerScript) {
  EXPECT_EQ(Num("GetGameLoaded", {}), 0);
  s.game().gameLoaded = true;
  EXPECT_EQ(Num("GetGameLoaded", {}), 1);
  EXPECT_EQ(Num("GetGameLoaded", {}), 0);
  s.scriptName = "OTHERscript";
  EXPECT_EQ(Num("GetGameLoaded", {}), 1);
  s.scriptName = "otherScript";  // names ignore case
  EXPECT_EQ(Num("GetGameLoaded", {}), 0);
}

// GetGameRestarted: 1 the first time per script in the process (§14.1).
TEST_F(QuestTimeBuiltins, GetGameRestartedOncePerScript) {
  EXPECT_EQ(Num("GetGameRestarted", {}), 1);
  EXPECT_EQ(Num("GetGameRestarted", {}), 0);
  s.scriptName = "Another";
  EXPECT_EQ(Num("GetGameRestarted", {}), 1);
}

// Mod-local data: per mod, keys ignoring case; arrays and empty keys
// refused; missing -> 0 (§14.2).
TEST_F(QuestTimeBuiltins, ModLocalData) {
  EXPECT_EQ(Num("SetModLocalData", {s.Str("Mood"), Value::Number(3)}), 1);
  EXPECT_EQ(Num("GetModLocalData", {s.Str("MOOD")}), 3);
  EXPECT_EQ(Num("SetModLocalData", {s.Str("mood"), s.Str("calm")}), 1);
  Value result;
  ASSERT_TRUE(s.Call("GetModLocalData", {s.Str("Mood")}, result));
  EXPECT_EQ(s.Show(result), "\"calm\"");
  EXPECT_EQ(Num("SetModLocalData", {s.Str("list"), s.List({})}), 0);
  EXPECT_EQ(Num("SetModLocalData", {s.Str(""), Value::Number(1)}), 0);
  EXPECT_EQ(Num("GetModLocalData", {s.Str("list")}), 0);
  EXPECT_EQ(Num("ModLocalDataExists", {s.Str("mood")}), 1);
  ASSERT_TRUE(s.Call("GetAllModLocalData", {}, result));  // §14.2: every entry of the mod
  EXPECT_EQ(s.Show(result), "smap[Mood: \"calm\"]");      // the first spelling kept
  s.modIndex = 2;                                         // another mod sees none of it
  EXPECT_EQ(Num("ModLocalDataExists", {s.Str("mood")}), 0);
  ASSERT_TRUE(s.Call("GetAllModLocalData", {}, result));
  EXPECT_EQ(s.Show(result), "smap[]");
  s.modIndex = 1;
  EXPECT_EQ(Num("RemoveModLocalData", {s.Str("MOOD")}), 1);
  EXPECT_EQ(Num("ModLocalDataExists", {s.Str("mood")}), 0);
}

// CallAfterSeconds / CallAfter / CallAfterFrames register one call with the
// mode, the calling reference and the trailing arguments by value; 0 when
// the second argument is no function (§11.4).
TEST_F(QuestTimeBuiltins, DelayedCallsAreRegistered) {
  s.game().gameSeconds = 10;
  Value result;
  ASSERT_TRUE(s.Call(
      "CallAfter",
      {Value::Number(2.5), Value::Function(4), Value::Number(1), Value::Number(7), s.Str("x")},
      result, 0x61));
  EXPECT_EQ(result.number(), 1);
  ASSERT_TRUE(s.Call("CallAfterFrames", {Value::Number(3), Value::Function(5)}, result));
  EXPECT_EQ(result.number(), 1);
  ASSERT_TRUE(s.Call("CallAfterSeconds", {Value::Number(1), Value::Number(5)}, result));
  EXPECT_EQ(result.number(), 0);
  ASSERT_EQ(s.game().delayed.size(), 2u);
  const DelayedCall& a = s.game().delayed[0];
  EXPECT_FALSE(a.byFrames);
  EXPECT_EQ(a.due, 12.5);
  EXPECT_EQ(a.mode, 1);
  EXPECT_EQ(a.function.function(), 4u);
  EXPECT_EQ(a.callingRef, 0x61u);
  ASSERT_EQ(a.args.size(), 2u);
  EXPECT_EQ(a.args[0].number, 7);
  EXPECT_EQ(a.args[1].text, "x");
  const DelayedCall& b = s.game().delayed[1];
  EXPECT_TRUE(b.byFrames);
  EXPECT_EQ(b.due, 3);
  EXPECT_EQ(b.mode, 0);  // game mode only by default
}

// Up to 15 trailing arguments (§11.4).
TEST_F(QuestTimeBuiltins, DelayedCallsTakeFifteenArguments) {
  EXPECT_EQ(Builtins().Find("CallAfterSeconds")->MaxArgs(), 18u);
  EXPECT_EQ(Builtins().Find("CallAfterFrames")->MaxArgs(), 18u);
}

}  // namespace
}  // namespace cv::sim::script::testing
