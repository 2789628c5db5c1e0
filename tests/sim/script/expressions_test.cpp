// The two expression grammars and their operators (script-language.md §4).
#include "script_fixture.h"

namespace cv::sim::script {
namespace {

struct Case {
  const char* expr;
  const char* printed;
  const char* fact;
};

// Each xNVSE expression, printed with Print (%g for numbers, §10.3).
const Case kXnvse[] = {
    {"2 ^ 3", "8", "§4.2 ^ is an exponent"},
    {"2 ^ 3 ^ 2", "64", "§4.2 ^ is left-associative"},
    {"1 | 2 == 2", "0", "§4.2 | binds tighter than =="},
    {"6 & 3 == 2", "1", "§4.2 & binds tighter than =="},
    {"-7 % 3", "-1", "§4.2 % truncates toward zero, sign of the left"},
    {"7.9 % 3", "1", "§4.2 % on 64-bit integers"},
    {"5 / 2", "2.5", "§4.2 no integer division"},
    {"2 + 3 * 4", "14", "§4.2 * before +"},
    {"10 - 2 - 3", "5", "§4.2 left-associative -"},
    {"1 << 4", "16", "§4.2 shifts"},
    {"0.00005 == 0", "1", "§4.2 number equality within 0.0001 as floats"},
    {"0.001 == 0", "0", "§4.2 FloatEqual is not loose beyond 0.0001"},
    {"\"abc\" == \"ABC\"", "1", "§4.2 strings compare ignoring case"},
    {"\"b\" > \"A\"", "1", "§4.2 string order ignores case"},
    {"\"ab\" + \"cd\"", "abcd", "§13 + concatenates"},
    {"\"ab\" * 3", "ababab", "§13 string * n repeats"},
    {"$5 + \"x\"", "5x", "§10.4 $ gives %g text"},
    {"#\"0x1F\"", "31", "§10.4 # reads 0x as hex"},
    {"#\"12abc\"", "12", "§10.4 # ignores trailing junk"},
    {"#\"0b101\"", "5", "§10.4 # reads 0b as binary"},
    {"!0", "1", "§4.2 logical not"},
    {"*(&7)", "7", "§12.6 box then unbox"},
    {"0 && (1 / 0)", "0", "§4.2 && short-circuits"},
    {"1 || (1 / 0)", "1", "§4.2 || short-circuits"},
    {"3 > 2 && 2 > 3", "0", "§4.2 comparisons bind tighter than &&"},
    {"1234567", "1.23457e+06", "§10.3 %g"},
    {"\"abc\"[1]", "b", "§13 indexing a string value"},
    {"\"abc\"[-1]", "", "§13 a string value's negative index is out of range"},
    {"\"abcd\"[1:2]", "bc", "§13 slices are inclusive"},
};

TEST_F(ScriptTest, XnvseOperators) {
  for (const Case& c : kXnvse) {
    std::vector<std::string> lines = Run(std::string("Print ") + c.expr);
    ASSERT_EQ(lines.size(), 1U) << c.expr << " (" << c.fact << ")";
    EXPECT_EQ(lines[0], c.printed) << c.expr << " (" << c.fact << ")";
  }
  EXPECT_TRUE(events.errors.empty()) << events.errors[0];
}

// Vanilla expressions (set, if): the recommended precedence and no
// short-circuit (§4.1).
const Case kVanilla[] = {
    {"2 + 3 * 4", "14", "§4.1 * before +"},
    {"4 * 3 % 2", "0", "§4.1 % after *, left to right"},
    {"1 + 2 % 3", "3", "§4.1 % before +"},
    {"1 < 2 == 1", "1", "§4.1 comparisons before equality"},
    {"0 || 1 && 0", "0", "§4.1 && before ||"},
    {"-2 * 3", "-6", "§4.1 unary minus first"},
};

TEST_F(ScriptTest, VanillaPrecedence) {
  for (const Case& c : kVanilla) {
    std::vector<std::string> lines =
        Run(std::string("set f to ") + c.expr + "\nPrint f", "float f");
    ASSERT_EQ(lines.size(), 1U) << c.expr;
    EXPECT_EQ(lines[0], c.printed) << c.expr << " (" << c.fact << ")";
  }
}

TEST_F(ScriptTest, VanillaAndEvaluatesBothSides) {
  // §4.1: no short-circuit, so the division fails and the vanilla line
  // stops the script for this run (§5.2).
  std::vector<std::string> lines = Run("set f to 0 && (1 / 0)\nPrint \"after\"", "float f");
  ASSERT_EQ(events.errors.size(), 1U);
  EXPECT_EQ(events.errors[0], "4: Division by zero");
  for (const std::string& l : lines) EXPECT_NE(l, "after");
}

TEST_F(ScriptTest, FailedXnvseLineGoesOn) {
  // §3.2, §8: no assignment, the error printed, the next line runs.
  std::vector<std::string> lines = Run("let i := 5\nlet i := 1 / 0\nPrint i", "int i");
  ASSERT_EQ(events.errors.size(), 1U);
  EXPECT_EQ(events.errors[0], "5: Division by zero");
  ASSERT_GE(lines.size(), 3U);
  EXPECT_EQ(lines[0].rfind("Error in script ", 0), 0U) << lines[0];
  EXPECT_EQ(lines[1], "Division by zero");
  EXPECT_EQ(lines.back(), "5");
}

TEST_F(ScriptTest, TestExprAndEval) {
  // §10.2: TestExpr is quiet and gives 0 on an error; eval prints it and
  // gives 0 (§3.3).
  EXPECT_EQ(Run("Print TestExpr (1 / 0)"), std::vector<std::string>{"0"});
  EXPECT_EQ(Run("Print TestExpr (1 / 1)"), std::vector<std::string>{"1"});
  EXPECT_TRUE(events.errors.empty());
  std::vector<std::string> lines = Run("if eval (1 / 0)\nPrint \"yes\"\nelse\nPrint \"no\"\nendif");
  EXPECT_EQ(events.errors.size(), 1U);
  EXPECT_EQ(lines.back(), "no");
}

}  // namespace
}  // namespace cv::sim::script
