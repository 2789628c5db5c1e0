// Editor ids and the keyword options of the scenario's world statements.
#include <gtest/gtest.h>

#include "sim/scenario/scenario.h"

namespace cv::sim {
namespace {

const char* kWorld =
    "npc 01000800 name SunnyBase script SunnyScript\n"
    "actor 01000801 SunnyBase name SunnyREF\n"
    "quest 01000900 delay 2 name MoodQuest script MoodScript\n";

struct NameCase {
  const char* line;
  std::vector<std::string> args;  // the statement's tokens after the names are applied
};

const NameCase kCases[] = {
    {"run SunnyREF CV_GetEVFl \"SunnyREF\"", {"0x01000801", "CV_GetEVFl", "SunnyREF"}},
    {"event sunnyref OnActivate player", {"0x01000801", "OnActivate", "0x00000014"}},
    {"event SunnyREF OnActivate PlayerREF", {"0x01000801", "OnActivate", "0x00000014"}},
    {"expect-var MoodQuest.fMood 3", {"0x01000900.fMood", "3"}},
    {"startquest MoodQuest", {"0x01000900"}},
    {"call MoodQuest SunnyREF", {"MoodQuest", "0x01000801"}},
    {"actor 01000802 SunnyBase", {"01000802", "0x01000800"}},
    {"questvar MoodQuest 1 5", {"0x01000900", "1", "5"}},
};

TEST(ScenarioNames, EditorIdsNameForms) {
  for (const NameCase& c : kCases) {
    std::vector<Statement> st;
    ParseError e;
    ASSERT_TRUE(ParseScenario(std::string(kWorld) + c.line + "\n", st, e))
        << c.line << ": " << e.message;
    std::vector<std::string> got;
    for (const Token& t : st.back().args) got.push_back(t.text);
    EXPECT_EQ(got, c.args) << c.line;
  }
}

TEST(ScenarioNames, OptionsComeOutOfTheArguments) {
  std::vector<Statement> st;
  ParseError e;
  ASSERT_TRUE(ParseScenario(kWorld, st, e)) << e.message;
  ASSERT_EQ(st[0].args.size(), 1U);  // npc 01000800
  ASSERT_EQ(st[0].options.size(), 2U);
  EXPECT_EQ(st[0].options[0].first, "name");
  EXPECT_EQ(st[0].options[1].second.text, "SunnyScript");
  ASSERT_EQ(st[2].options.size(), 3U);  // delay, name and script in any order
  EXPECT_EQ(st[2].options[0].first, "delay");
  EXPECT_EQ(st[2].options[0].second.text, "2");
}

struct BadCase {
  const char* line;
  const char* message;
};

const BadCase kBad[] = {
    {"ref 01000001 01000002 script S", "only npc, creature, form and quest take a script"},
    {"quest 01000001 delay soon", "bad delay"},
    {"npc 01000001 name", "name needs a value"},
    {"form 01000001 name \"quoted\"", "bad name"},
    {"frames 3 seconds 0", "bad seconds"},
    {"frames 3 later", "usage: frames N [menu] [seconds S]"},
    {"script unquoted.gek", "usage: script \"FILE\""},
    {"expect-var NoDot 1", "expected OWNER.VAR"},
};

TEST(ScenarioNames, RefusedShapes) {
  for (const BadCase& c : kBad) {
    std::vector<Statement> st;
    ParseError e;
    EXPECT_FALSE(ParseScenario(std::string(c.line) + "\n", st, e)) << c.line;
    EXPECT_NE(e.message.find(c.message), std::string::npos) << c.line << ": " << e.message;
  }
}

}  // namespace
}  // namespace cv::sim
