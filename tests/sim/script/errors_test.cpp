// Run-time errors, as the host words them (script-language.md §5.2, §8,
// §12.6, §13).
#include "script_fixture.h"

namespace cv::sim::script {
namespace {

struct ErrorCase {
  const char* decls;
  const char* line;  // one xNVSE line, the function's only one
  const char* message;
};

const ErrorCase kErrors[] = {
    {"int i", "let i := 1 / 0", "Division by zero"},
    {"int i", "let i := 5 % 0", "Division by zero"},
    {"int i", "let i /= 0", "Division by zero"},
    {"int i", "let i := \"a\" + 1", "Cannot evaluate String + Number"},
    {"array_var a\nint i", "let i := a[0]",
     "Invalid array access - the array was not initialized. 0"},
    {"array_var a\nint i", "let a := &1\nlet i := a[5]", "Array does not contain key"},
    {"array_var a\nint i", "let i := a[\"k\"]",
     "Invalid array access - the array was not initialized. 1"},
    {"array_var a\nint i", "let i := a->k",
     "Invalid array access - the array was not initialized. 2"},
    {"array_var a\nint i", "let a := &1\nlet i := a[\"k\"]",
     "Invalid array access - expected numeric index, received string"},
    {"string_var s\nstring_var t", "let t := s[0]", "String var is uninitialized"},
    {"int i", "let i := *(&\"x\")", "Cannot assign a String to this variable"},
    {"ref r\nint i", "let i := r.GetSelf", "Attempting to call a function on a NULL reference"},
    {"ref r", "call r", "Could not extract function script."},
    {"ref r\nint i", "let i := r.GetAV Health",
     "Attempting to call a function on a NULL reference"},
    {"string_var s", "let s := \"ab\"\nlet s[\"a\":\"b\"] := \"x\"",
     "Invalid array access - expected numeric index, received string"},
};

TEST_F(ScriptTest, RunTimeErrors) {
  for (const ErrorCase& c : kErrors) {
    events.errors.clear();
    Run(c.line, c.decls);
    ASSERT_FALSE(events.errors.empty()) << c.line;
    const std::string& e = events.errors.back();
    EXPECT_NE(e.find(c.message), std::string::npos) << c.line << " gave " << e;
  }
}

TEST_F(ScriptTest, ErrorsNameTheirLine) {
  // Every error names the script's own line (here the body's third line,
  // the file's fifth).
  Run("let i := 1\nlet i := 2\nlet i := 1 / 0", "int i");
  ASSERT_EQ(events.errors.size(), 1U);
  EXPECT_EQ(events.errors[0], "6: Division by zero");
}

TEST_F(ScriptTest, ReturnEndsTheWholeRun) {
  // §2.4: return ends this run of the script, the blocks below too.
  world.Define(0x01000900, FormKind::Quest);
  ASSERT_TRUE(
      Load("scn Q\nint a\nint b\nBegin GameMode\nlet a := 1\nreturn\nEnd\n"
           "Begin GameMode\nlet b := 1\nEnd\n"));
  in.AttachScript(0x01000900, "Q");
  in.RunBlocks(0x01000900, "GameMode");
  Instance* inst = in.InstanceOf(0x01000900);
  ASSERT_NE(inst, nullptr);
  EXPECT_EQ(inst->vars[0].number(), 1);
  EXPECT_EQ(inst->vars[1].number(), 0);
  // Quest variables are the quest's, numbered from 1 (CV_GetQVEVFl reads them).
  EXPECT_EQ(world.Known(0x01000900)->variables[1], 1);
}

TEST_F(ScriptTest, GetSelfInAQuestIsNone) {
  // §5.3: a quest script has no calling reference.
  world.Define(0x01000900, FormKind::Quest);
  ASSERT_TRUE(Load("scn Q\nref r\nBegin GameMode\nlet r := GetSelf\nPrint r == 0\nEnd\n"));
  in.AttachScript(0x01000900, "Q");
  in.RunBlocks(0x01000900, "GameMode");
  EXPECT_EQ(Lines(), std::vector<std::string>{"1"});
}

}  // namespace
}  // namespace cv::sim::script
