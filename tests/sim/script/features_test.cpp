// Assignment into string slices, ranges as arguments, ForEachAlt, array
// equality, Print of a missing element, and what a failed Assert prints
// (script-language.md §3.4, §10.1, §10.3, §12, §13).
#include "script_fixture.h"

namespace cv::sim::script {
namespace {

struct FeatureCase {
  const char* fact;  // the section it is built on
  const char* decls;
  const char* body;
  std::vector<std::string> printed;
};

void PrintTo(const FeatureCase& c, std::ostream* os) { *os << c.fact; }

class Features : public ScriptTest, public ::testing::WithParamInterface<FeatureCase> {};

TEST_P(Features, PrintWhatTheHostPrints) {
  const FeatureCase& c = GetParam();
  EXPECT_EQ(Run(c.body, c.decls), c.printed) << c.body;
  EXPECT_TRUE(events.errors.empty()) << events.errors.front();
}

const FeatureCase kFeatures[] = {
    {"13 a slice of a string_var is replaced",
     "string_var s",
     "let s := \"hello\"\nlet s[0:1] := \"J\"\nPrint s",
     {"Jllo"}},
    {"13 negative slice bounds count from the end",
     "string_var s",
     "let s := \"hello\"\nlet s[-2:-1] := \"p!\"\nPrint s",
     {"help!"}},
    {"13 a reversed slice starts at 0",
     "string_var s",
     "let s := \"hello\"\nlet s[3:1] := \"J\"\nPrint s",
     {"Jllo"}},
    {"13 hi past the end is clamped",
     "string_var s",
     "let s := \"hello\"\nlet s[3:99] := \"p\"\nPrint s",
     {"help"}},
    {"13 a slice may grow the string",
     "string_var s",
     "let s := \"ab\"\nlet s[1:1] := \"xyz\"\nPrint s\nPrint sv_Length s",
     {"axyz", "4"}},
    {"12.4 ar_Erase takes a range argument",
     "array_var a",
     "let a := ar_List 1 2 3 4\nPrint ar_Erase a 1:2\nPrint a",
     {"2", "[1, 4]"}},
    {"12.3 ar_Find takes a range argument",
     "array_var a",
     "let a := ar_List 7 1 7 7\nPrint ar_Find 7 a 1:2\nPrint ar_Find 7, a, 1:1",
     {"2", "-99999"}},
    {"12.3 a range from expressions",
     "array_var a\nint i",
     "let a := ar_List 5 6 7\ni = 1\nPrint ar_Find 7 a (i + 1):(i * 2)",
     {"2"}},
    {"12.6 arrays equal by their elements",
     "",
     "Print (ar_List 1 \"a\") == (ar_List 1 \"A\")\nPrint (ar_List 1) == (ar_List 2)\n"
     "Print (ar_List 1) != (ar_List 1 1)\nPrint (ar_Map 0::1) == (ar_List 1)",
     {"1", "0", "1", "0"}},
    {"12.6 inner arrays by id",
     "array_var a",
     "let a := ar_List 1\nPrint (ar_List a) == (ar_List a)\n"
     "Print (ar_List (ar_List 1)) == (ar_List (ar_List 1))",
     {"1", "0"}},
    {"10.3 Print of a missing element is an empty line",
     "array_var a",
     "let a := ar_List 1\nPrint a[5]\nPrint a[0]",
     {"", "1"}},
    {"12.7 a foreach left by break releases its iterator",
     "array_var it\nint n",
     "foreach it <- ar_List 1 2 3\nn += 1\nif eval *it == 2\nbreak\nendif\nloop\n"
     "Print n\nPrint it == ar_Null",
     {"2", "1"}},
    {"3.4 ForEachAlt gives the value, then the key",
     "int v\nfloat k",
     "ForEachAlt (v, k) <- ar_Map 1::10 2::20\nPrint $k + \":\" + $v\nloop",
     {"1:10", "2:20"}},
    {"3.4 ForEachAlt without parentheses or key, with continue",
     "int v\nint n",
     "foreachalt v <- ar_List 3 4 5\nif v == 4\ncontinue\nendif\nn += v\nloop\nPrint n",
     {"8"}},
    {"3.4 ForEachAlt with break",
     "string_var s\nstring_var k",
     "ForEachAlt s, k <- ar_Map \"a\"::\"x\" \"b\"::\"y\"\nbreak\nloop\nPrint k + s",
     {"ax"}},
    {"4.3 a comma after Call's function",
     "ref r",
     "let r := ({int p, int q} => p - q)\nPrint (call r, 9, 2)",
     {"7"}},
    {"10.3 PrintVar and PrintV: each variable with its name",
     "int i\nstring_var s\nref r\narray_var a",
     "let i := 2\nlet s := \"x\"\nPrintVar i, s\nPrintV r a\nlet a := ar_List 1\nprintvar a",
     {"i: 2", "s: \"x\"", "r: invalid form", "a: uninitialized or invalid array", "a: [1]"}},
    {"12.6 unboxing takes an iterator's value, else the first element",
     "",
     "Print *(ar_Map \"a\"::5 \"value\"::6)\nPrint *(ar_Map \"key\"::5 \"value\"::6)",
     {"5", "6"}},
    {"10.4 ToString", "", "Print ToString 2.5\nPrint ToString \"s\"", {"2.5", "s"}},
    {"10.2 eval of an array element: a number or form other than 0",
     "array_var a",
     "let a := ar_List \"x\" 0 5 (ar_List 1)\nPrint eval a[0]\nPrint eval a[1]\nPrint eval "
     "a[2]\nPrint eval a[3]\nPrint eval \"\"\nPrint eval a",
     {"0", "0", "1", "0", "1", "1"}},
};

INSTANTIATE_TEST_SUITE_P(Facts, Features, ::testing::ValuesIn(kFeatures));

// ar_Construct outside an expression names the running script (§8, §12.1).
TEST_F(ScriptTest, ArConstructOutsideAnExpressionNamesTheScript) {
  std::vector<std::string> lines =
      Run("ar_Construct \"array\"\nset a to ar_Construct \"map\"\nlet b := ar_Construct \"map\"\n"
          "Print TypeOf b",
          "array_var a\narray_var b");
  const CompiledScript* s = in.FindScript("F1");
  ASSERT_NE(s, nullptr);
  char expected[96];
  std::snprintf(expected, sizeof expected,
                "Error in script %08X: ar_Construct called outside of a valid context.",
                static_cast<unsigned>(s->formId));
  EXPECT_NE(s->formId, 0U);
  EXPECT_EQ(lines, (std::vector<std::string>{expected, expected, "Map"}));
}

// Assert tests GetNumber: a string_var's is its string's id, so one that
// holds any string passes; an element's is its number (§10.1).
TEST_F(ScriptTest, AssertOfAStringVariableTestsItHoldsOne) {
  Run("Assert s\nlet s := \"\"\nAssert s\nlet a := ar_List \"x\" 2\nAssert a[0]\nAssert a[1]",
      "string_var s\narray_var a");
  EXPECT_EQ(events.passed, 2);
  EXPECT_EQ(events.failed, (std::vector<std::string>{"Assert s", "Assert a[0]"}));
}

// A SetFunctionValue whose value fails: the error, then the host's line,
// and the function gives no value (§11.2).
TEST_F(ScriptTest, FailedSetFunctionValueSaysSo) {
  std::vector<std::string> lines =
      Run("let r := ({} => 1 / 0)\nPrint call r\nlet r := ({} => 4)\nPrint call r", "ref r");
  ASSERT_EQ(lines.size(), 5U);
  EXPECT_EQ(lines[1], "Division by zero");
  EXPECT_EQ(lines[2], "SetFunctionValue statement failed.");
  EXPECT_EQ(lines[3], "0");
  EXPECT_EQ(lines[4], "4");
  EXPECT_EQ(events.errors.size(), 1U);
}

// A foreach over no array, string or form list: the command fails, which
// stops the script for this run (§3.4, §8.3).
TEST_F(ScriptTest, ForEachOverNothingStopsTheScript) {
  std::vector<std::string> lines =
      Run("Print \"before\"\nforeach it <- 5\nloop\nPrint \"after\"", "array_var it");
  ASSERT_EQ(events.errors.size(), 1U);
  EXPECT_NE(events.errors[0].find("Cmd_ForEach: Expression does not evaluate to a ForEach context"),
            std::string::npos);
  ASSERT_FALSE(lines.empty());
  EXPECT_EQ(lines.front(), "before");
  EXPECT_NE(lines.back(), "after");
}

// A failed Assert: its line under the long name without the comment, and
// the variables it names (§10.1).
TEST_F(ScriptTest, FailedAssertNamesItsVariables) {
  world.Define(0x01000A01, FormKind::Plain);
  in.NameForm("Thing", 0x01000A01);
  std::vector<std::string> lines =
      Run("let s := \"x\"\nlet a := ar_Map \"k\"::1\nlet r := Thing\n"
          "AssertTrue i == 1 && s == \"y;\" && a == ar_Null && r == 0 && q == 0 ; why\n"
          "Assert (i == 0)",
          "int i\nstring_var s\narray_var a\nref r\nref q");
  ASSERT_EQ(lines.size(), 3U);
  EXPECT_EQ(lines[0], "Assertion failed!");
  EXPECT_EQ(lines[1], "\tAssert i == 1 && s == \"y;\" && a == ar_Null && r == 0 && q == 0");
  EXPECT_EQ(lines[2],
            "\tWhere i=0, s=\"x\", a=array keys [\"k\"], r=[id: 1000A01, edid: \"Thing\", "
            "name: \"<no name>\"], q=uninitialized form (0)");
  EXPECT_EQ(events.passed, 1);
}

}  // namespace
}  // namespace cv::sim::script
