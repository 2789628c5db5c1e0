// The rest of the ar_ family (script-language.md §12.3-§12.6) and the game
// functions of builtins/game_more.cpp (§6.3, §7, §10.4, §13), one row per
// fact.
#include "builtins_table.h"

namespace cv::sim::script::testing {
namespace {

class MoreBuiltins : public ::testing::TestWithParam<Case> {
 protected:
  FakeServices s;
};

TEST_P(MoreBuiltins, GiveWhatTheHostGives) { RunCase(s, GetParam()); }

const Case kMoreCases[] = {
    {"12.3 ar_Packed", "ar_Packed", {"[1]"}, "1"},
    {"12.3 ar_Packed map", "ar_Packed", {"{\"k\" 1}"}, "0"},
    {"12.3 ar_Packed none", "ar_Packed", {"0"}, "0"},
    {"12.3 ar_Next", "ar_Next", {"[5, 6, 7]", "1"}, "2"},
    {"12.3 ar_Next last", "ar_Next", {"[5, 6, 7]", "2"}, "-99999"},
    {"12.3 ar_Next absent", "ar_Next", {"[5, 6, 7]", "9"}, "-99999"},
    {"12.3 ar_Prev", "ar_Prev", {"[5, 6, 7]", "1"}, "0"},
    {"12.3 ar_Prev first", "ar_Prev", {"[5, 6, 7]", "0"}, "-99999"},
    {"12.3 ar_Next string map", "ar_Next", {"{\"key\" 1}", "\"KEY\""}, "\"value\""},
    {"12.3 ar_Exists value", "ar_Exists", {"[1, \"A\"]", "\"a\""}, "1"},
    {"12.3 ar_Exists absent", "ar_Exists", {"[1, 2]", "3"}, "0"},
    {"12.3 ar_Exists type", "ar_Exists", {"[1, 2]", "\"1\""}, "0"},
    {"12.3 ar_Exists range", "ar_Exists", {"[1, 2, 3]", "1", "<1 2>"}, "0"},
    {"12.3 ar_Exists in range", "ar_Exists", {"[1, 2, 3]", "3", "<1 2>"}, "1"},
    {"12.3 ar_Exists map key", "ar_Exists", {"{\"k\" 5}", "\"VALUE\""}, "1"},
    {"12.3 ar_Exists map key absent", "ar_Exists", {"{\"k\" 5}", "\"k\""}, "0"},
    {"12.4 ar_Cat", "ar_Cat", {"[1]", "[2, 3]"}, "0", 0, "[1, 2, 3]"},
    {"12.4 ar_Cat kinds differ", "ar_Cat", {"[1]", "{\"k\" 2}"}, "0", 0, "[1]"},
    {"12.4 ar_DeepCopy", "ar_DeepCopy", {"[[1, 2], \"x\"]"}, "[[1, 2], \"x\"]"},
    {"12.6 ar_DeepEquals", "ar_DeepEquals", {"[[1, 2], \"X\"]", "[[1, 2], \"x\"]"}, "1"},
    {"12.6 ar_DeepEquals inner", "ar_DeepEquals", {"[[1, 2]]", "[[1, 3]]"}, "0"},
    {"12.6 ar_DeepEquals size", "ar_DeepEquals", {"[1]", "[1, 1]"}, "0"},
    {"12.6 ar_DeepEquals none", "ar_DeepEquals", {"0", "0"}, "1"},
    {"10.4 ToString number", "ToString", {"2.5"}, "\"2.5\""},
    {"10.4 ToString string", "ToString", {"\"x\""}, "\"x\""},
    {"10.4 ToString none", "ToString", {"#0"}, "\"NULL\""},
    {"10.4 ToString array", "ToString", {"[1]"}, "\"NULL\""},
    {"6.3 GetFormIDString", "GetFormIDString", {"#1A2B"}, "\"00001A2B\""},
    {"13 ToUpper", "ToUpper", {"97"}, "65"},
    {"13 ToLower", "ToLower", {"65"}, "97"},
    {"13 ToLower not a letter", "ToLower", {"49"}, "49"},
    {"7 MessageBoxEx", "MessageBoxEx", {"\"hp %g\"", "5"}, "0", -1, "", "hp 5"},
};

INSTANTIATE_TEST_SUITE_P(Facts, MoreBuiltins, ::testing::ValuesIn(kMoreCases));

// ar_Cat on maps adds the keys a lacks, or every key with bOverwrite (§12.4).
TEST(MoreBuiltinsOnce, CatOnMapsKeepsOrOverwrites) {
  FakeServices s;
  auto map = [&](double k, double v) {
    ArrayId id = s.arrays().Create(ArrayKind::Map);
    s.arrays().Set(id, Key::Num(k), Value::Number(v));
    return id;
  };
  ArrayId a = map(1, 10), b = map(1, 20);
  s.arrays().Set(b, Key::Num(2), Value::Number(30));
  Value result;
  ASSERT_TRUE(s.Call("ar_Cat", {Value::Array(a), Value::Array(b)}, result));
  EXPECT_EQ(s.Show(Value::Array(a)), "map[1: 10, 2: 30]");
  ASSERT_TRUE(s.Call("ar_Cat", {Value::Array(a), Value::Array(b), Value::Number(1)}, result));
  EXPECT_EQ(s.Show(Value::Array(a)), "map[1: 20, 2: 30]");
}

// ar_DeepCopy copies inner arrays; ar_Copy would share them (§12.4).
TEST(MoreBuiltinsOnce, DeepCopyCopiesInnerArrays) {
  FakeServices s;
  std::string_view t = "[[1]]";
  Value outer = ParseArg(s, t), copy;
  ASSERT_TRUE(s.Call("ar_DeepCopy", {outer}, copy));
  const ArrayData* c = s.arrays().Get(copy.array());
  ASSERT_NE(c, nullptr);
  const ArrayId inner = c->list.at(0).id;
  EXPECT_NE(inner, s.arrays().Get(outer.array())->list.at(0).id);
  ASSERT_NE(s.arrays().Get(inner), nullptr);
  EXPECT_FALSE(s.arrays().Get(inner)->temporary);  // held by the copy
}

// The functional helpers call the function with each element's iterator
// (§12.5): MapTo keeps each result; Any stops at the first true; All at the
// first false; FindWhere gives the element; ForEach visits every one.
TEST(MoreBuiltinsOnce, FunctionalHelpersCallPerElement) {
  FakeServices s;
  bool failOnTwo = false;
  s.function = [&](const std::vector<Value>& args, Value& result) {
    const ArrayData* it = s.arrays().Get(args.at(0).array());
    const Element* v = it != nullptr ? it->Find(Key::Str("value")) : nullptr;
    const double n = v != nullptr ? v->number : 0;
    if (failOnTwo && n == 2) return false;
    result = Value::Number(n * 10);
    return true;
  };
  std::string_view t = "[0, 2, 3]";
  Value list = ParseArg(s, t), result;
  ASSERT_TRUE(s.Call("ar_MapTo", {list, Value::Function(1)}, result));
  EXPECT_EQ(s.Show(result), "[0, 20, 30]");
  s.calls.clear();
  ASSERT_TRUE(s.Call("ar_Any", {list, Value::Function(1)}, result));
  EXPECT_EQ(s.Show(result), "1");
  EXPECT_EQ(s.calls.size(), 2u);  // 0 is false, 20 stops it
  s.calls.clear();
  ASSERT_TRUE(s.Call("ar_All", {list, Value::Function(1)}, result));
  EXPECT_EQ(s.Show(result), "0");
  EXPECT_EQ(s.calls.size(), 1u);
  ASSERT_TRUE(s.Call("ar_FindWhere", {list, Value::Function(1)}, result));
  EXPECT_EQ(s.Show(result), "2");
  s.calls.clear();
  ASSERT_TRUE(s.Call("ar_ForEach", {list, Value::Function(1)}, result));
  EXPECT_EQ(s.Show(result), "1");
  EXPECT_EQ(s.calls.size(), 3u);
  // A failed call: MapTo leaves the element out, All counts it false.
  failOnTwo = true;
  ASSERT_TRUE(s.Call("ar_MapTo", {list, Value::Function(1)}, result));
  EXPECT_EQ(s.Show(result), "[0, 30]");
  std::string_view t2 = "[]";
  ASSERT_TRUE(s.Call("ar_All", {ParseArg(s, t2), Value::Function(1)}, result));
  EXPECT_EQ(s.Show(result), "1");  // true for an empty array
}

// Actor values live on actors (§7 GetAV): set and changed per actor; a
// plain reference reads 0 and keeps nothing; names ignore case.
TEST(MoreBuiltinsOnce, ActorValuesLiveOnActors) {
  FakeServices s;
  World& w = s.world();
  w.Define(0x30, FormKind::Npc);
  w.Define(0x61, FormKind::Actor).base = w.Known(0x30);
  w.Define(0x62, FormKind::Reference).base = w.Known(0x30);
  Value health = s.Str("Health"), result;
  ASSERT_TRUE(s.Call("SetAV", {health, Value::Number(50)}, result, 0x61));
  ASSERT_TRUE(s.Call("ModAV", {s.Str("HEALTH"), Value::Number(-5)}, result, 0x61));
  ASSERT_TRUE(s.Call("GetActorValue", {health}, result, 0x61));
  EXPECT_EQ(s.Show(result), "45");
  ASSERT_TRUE(s.Call("SetAV", {health, Value::Number(50)}, result, 0x62));
  ASSERT_TRUE(s.Call("GetAV", {health}, result, 0x62));
  EXPECT_EQ(s.Show(result), "0");
  ASSERT_TRUE(s.Call("GetAV", {s.Str("Luck")}, result, 0x61));
  EXPECT_EQ(s.Show(result), "0");
}

// SetStage marks the stage done, makes it current and starts the quest;
// an index past one byte does nothing; a form that is not a quest fails
// (§14.3).
TEST(MoreBuiltinsOnce, StagesOfAQuest) {
  FakeServices s;
  World& w = s.world();
  w.Define(0x20, FormKind::Quest);
  w.Define(0x30, FormKind::Npc);
  const Value quest = Value::Form(0x20);
  Value result;
  ASSERT_TRUE(s.Call("GetStage", {quest}, result));
  EXPECT_EQ(s.Show(result), "0");
  ASSERT_TRUE(s.Call("SetStage", {quest, Value::Number(20)}, result));
  ASSERT_TRUE(s.Call("SetStage", {quest, Value::Number(10)}, result));
  ASSERT_TRUE(s.Call("SetStage", {quest, Value::Number(256)}, result));
  ASSERT_TRUE(s.Call("GetStage", {quest}, result));
  EXPECT_EQ(s.Show(result), "10");
  EXPECT_TRUE(s.game().QuestRunning(0x20));
  for (const auto& [stage, done] : {std::pair{20.0, "1"}, {10.0, "1"}, {15.0, "0"}, {256.0, "0"}}) {
    ASSERT_TRUE(s.Call("GetStageDone", {quest, Value::Number(stage)}, result));
    EXPECT_EQ(s.Show(result), done) << "stage " << stage;
  }
  EXPECT_FALSE(s.Call("SetStage", {Value::Form(0x30), Value::Number(10)}, result));
}

// GetName and GetFormIDString take the calling reference when no form is
// given (§6.3).
TEST(MoreBuiltinsOnce, NameAndIdOfTheCallingReference) {
  FakeServices s;
  s.names[0x61] = "Sunny Smiles";
  Value result;
  ASSERT_TRUE(s.Call("GetName", {}, result, 0x61));
  EXPECT_EQ(s.Show(result), "\"Sunny Smiles\"");
  ASSERT_TRUE(s.Call("GetFormIDString", {}, result, 0x61));
  EXPECT_EQ(s.Show(result), "\"00000061\"");
}

}  // namespace
}  // namespace cv::sim::script::testing
