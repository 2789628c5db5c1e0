// PrintToConsole/printc, MessageEx and the format specifiers
// (script-language.md §6.4), one row per specifier.
#include "builtins_table.h"

namespace cv::sim::script::testing {
namespace {

class OutputBuiltins : public ::testing::TestWithParam<Case> {
 protected:
  void SetUp() override { s.names[0x14] = "Sunny Smiles"; }
  FakeServices s;
};

TEST_P(OutputBuiltins, PrintTheFormattedLine) { RunCase(s, GetParam()); }

const Case kOutputCases[] = {
    {"6.4 %%", "printc", {"\"100%%\""}, "0", -1, "", "100%"},
    {"6.4 %g", "printc", {"\"%g %g\"", "5", "1234567"}, "0", -1, "", "5 1.23457e+06"},
    {"6.4 %.2f", "printc", {"\"%.2f\"", "3.14159"}, "0", -1, "", "3.14"},
    {"6.4 %5.0f", "printc", {"\"[%5.0f]\"", "42"}, "0", -1, "", "[   42]"},
    {"6.4 %.3e", "printc", {"\"%.3e\"", "1500"}, "0", -1, "", "1.500e+03"},
    {"6.4 %z", "printc", {"\"hi %z!\"", "\"there\""}, "0", -1, "", "hi there!"},
    {"6.4 %z none", "printc", {"\"[%z]\"", "nostring"}, "0", -1, "", "[]"},
    {"6.4 %r", "printc", {"\"a%rb\""}, "0", -1, "", "a\nb"},
    {"6.4 %e", "printc", {"\"[%e]\""}, "0", -1, "", "[]"},
    {"6.4 %a", "printc", {"\"%a%a\"", "72", "105"}, "0", -1, "", "Hi"},
    {"6.4 %n", "printc", {"\"%n waves\"", "#14"}, "0", -1, "", "Sunny Smiles waves"},
    {"6.4 %i", "printc", {"\"%i\"", "#14"}, "0", -1, "", "00000014"},
    {"6.4 %i none", "printc", {"\"%i\"", "#0"}, "0", -1, "", "00000000"},
    {"6.4 %q", "printc", {"\"%qquoted%q\""}, "0", -1, "", "\"quoted\""},
    {"6.4 %{ kept", "printc", {"\"a%{ b%} c\"", "1"}, "0", -1, "", "a b c"},
    {"6.4 %{ omitted", "printc", {"\"a%{ b%} c\"", "0"}, "0", -1, "", "a c"},
    {"6.4 %x", "printc", {"\"%x\"", "255"}, "0", -1, "", "FF"},
    {"6.4 %X digit", "printc", {"\"%X4\"", "255"}, "0", -1, "", "00FF"},
    {"6.4 printc alias", "PrintToConsole", {"\"%g\"", "2.5"}, "0", -1, "", "2.5"},
    {"7 MessageEx", "MessageEx", {"\"Mood %.0f\"", "3"}, "0", -1, "", "Mood 3"},
};

INSTANTIATE_TEST_SUITE_P(Facts, OutputBuiltins, ::testing::ValuesIn(kOutputCases));

// Fewer values than the format asks for: the command fails (§6.4: the
// number of specifiers must match the arguments).
TEST(OutputBuiltinsOnce, TooFewValuesFail) {
  FakeServices s;
  Value result;
  EXPECT_FALSE(s.Call("printc", {s.Str("%g and %g"), Value::Number(1)}, result));
  EXPECT_TRUE(s.console.empty());
}

// A line past the console's 511 characters is the host's refusal (§6.4).
TEST(OutputBuiltinsOnce, OverlongLineIsRefused) {
  FakeServices s;
  Value result;
  ASSERT_TRUE(s.Call("printc", {s.Str(std::string(511, 'x'))}, result));
  ASSERT_TRUE(s.Call("printc", {s.Str(std::string(512, 'x'))}, result));
  ASSERT_EQ(s.console.size(), 2u);
  EXPECT_EQ(s.console[0].size(), 511u);
  EXPECT_EQ(s.console[1], "PrintToConsole >> Max length exceeded (512 chars)");
}

// printc takes a format and 20 values (§6.4, kParams_FormatString).
TEST(OutputBuiltinsOnce, TakesTwentyValues) {
  const Builtin* b = Builtins().Find("printc");
  ASSERT_NE(b, nullptr);
  EXPECT_EQ(b->MaxArgs(), 21u);
}

}  // namespace
}  // namespace cv::sim::script::testing
