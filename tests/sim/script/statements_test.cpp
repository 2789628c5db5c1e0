// Statements, variables, functions and lambdas (script-language.md §1-§3,
// §11, §12, §13).
#include "script_fixture.h"

namespace cv::sim::script {
namespace {

struct Case {
  const char* decls;
  const char* body;
  std::vector<std::string> printed;
  const char* fact;
};

const Case kCases[] = {
    {"int i", "let i := -2.5\nPrint i", {"-3"}, "§1.4 an integer target is floored"},
    {"int i", "set i to 7 / 2\nPrint i", {"3"}, "§1.4 set into an integer floors"},
    {"int i", "let i := 1\nlet i += 1.9\nPrint i", {"2"}, "§1.4 += floors too"},
    {"float f", "let f := 7 / 2\nPrint f", {"3.5"}, "§1.4 a float keeps the fraction"},
    {"", "int a, b = 3, c\nPrint b\nPrint a", {"3", "0"}, "§1.2 comma lists and initialisers"},
    {"int a\nint b", "let a := b := 4\nPrint a + b", {"8"}, "§3.2 chained assignment"},
    {"int i",
     "i = 1\nif (i += 1) == 2\nPrint \"two\"\nendif",
     {"two"},
     "§3.2 an assignment is a value"},
    {"int i", "i += 2\ni *= 3\nPrint i", {"6"}, "§1.2 the assignment shorthand"},
    {"", "let int k := 9\nPrint k", {"9"}, "declarations inside let"},
    {"int i",
     "if i == 1\nPrint 1\nelseif i == 0\nPrint 0\nelse\nPrint 2\nendif",
     {"0"},
     "§3.3 elseif"},
    {"int i\nint s",
     "while i < 10\ni += 1\nif i == 3\ncontinue\nendif\nif i == 6\nbreak\nendif\ns += "
     "i\nloop\nPrint s",
     {"12"},
     "§3.4 while, break and continue"},
    {"array_var a\narray_var it\nint s",
     "let a := &4\nlet a[1] := 5\nlet a[9] := 6\nforeach it <- a\ns += it[\"value\"] * "
     "it[\"key\"]\nloop\n"
     "Print s\nPrint a",
     {"17", "[4, 5, 6]"},
     "§12.4 writing past the end appends; §12.7 foreach gives key and value"},
    {"string_var s\nstring_var c\nint n",
     "let s := \"abc\"\nforeach c <- s\nn += 1\nloop\nPrint n",
     {"3"},
     "§3.4 foreach over a string"},
    {"string_var s",
     "let s := \"Hello\"\nPrint s[-1]\nPrint s[1:2]\nlet s += \"!\"\nPrint s",
     {"o", "el", "Hello!"},
     "§13 a string_var's negative index; += appends"},
    {"string_var s",
     "let s := \"cat\"\nlet s[0] := \"b\"\nlet s[-1] := \"rs\"\nPrint s",
     {"bars"},
     "§13 s[i] := replaces part of a string_var"},
    {"array_var a\narray_var b",
     "let a := &1\nlet b := a\nlet b[0] := 7\nPrint a[0]",
     {"7"},
     "§12.8 arrays are shared by reference"},
    {"", "Print 1\nreturn\nPrint 2", {"1"}, "§2.4 return ends the function"},
    {"ref r\nint x",
     "let r := ({int p, int q} => p * q)\nPrint (call r 6 7)",
     {"42"},
     "§11.3 an arrow lambda returns its expression"},
    {"ref r\nint x",
     "let r := (begin function { }\n  x += 5\nend)\ncall r\ncall r\nPrint x",
     {"10"},
     "§11.3 a lambda changes the enclosing script's variables"},
    {"ref r\nint p",
     "let r := ({p} => p + 1)\ncall r 41\nPrint p",
     {"41"},
     "§11.3 a lambda's parameters are the enclosing script's variables"},
    {"array_var a",
     "let a := &({int p} => p * 3)\nPrint (call a[0] 5)\nPrint (call (*a) 2)",
     {"15", "6"},
     "§11.2 Call takes an array element or an expression's value"},
};

TEST_F(ScriptTest, Statements) {
  for (const Case& c : kCases) {
    std::size_t errors = events.errors.size();
    EXPECT_EQ(Run(c.body, c.decls), c.printed) << c.body << " (" << c.fact << ")";
    EXPECT_EQ(events.errors.size(), errors) << c.body << ": " << events.errors.back();
  }
}

TEST_F(ScriptTest, ForEachOverAFormList) {
  // §3.4: foreach over a form list gives each entry to a ref.
  Form& a = world.Define(0x01000A01, FormKind::Plain);
  Form& b = world.Define(0x01000A02, FormKind::Plain);
  Form& list = world.Define(0x01000A00, FormKind::FormList);
  list.entries = {&a, &b};
  in.NameForm("MyList", 0x01000A00);
  in.NameForm("ItemB", 0x01000A02);
  EXPECT_EQ(Run("foreach r <- MyList\nPrint r == ItemB\nloop\nPrint r == 0", "ref r"),
            (std::vector<std::string>{"0", "1", "1"}));
}

TEST_F(ScriptTest, FunctionCalls) {
  // §11.2: arguments copied into parameters, locals reset after each call,
  // the value SetFunctionValue set last, 0 when none.
  ASSERT_TRUE(
      Load("scn Add\nint total\nBegin Function { int a, int b }\n"
           "let total += a + b\nSetFunctionValue total\nSetFunctionValue total * 10\nEnd\n"));
  EXPECT_EQ(Run("Print (call Add 2 3)\nPrint (call Add 2 3)"),
            (std::vector<std::string>{"50", "50"}));
  ASSERT_TRUE(Load("scn Nothing\nBegin Function { }\nEnd\n"));
  EXPECT_EQ(Run("Print (call Nothing)"), std::vector<std::string>{"0"});
  // More arguments than parameters: the call fails (§11.2).
  Run("call Add 1 2 3");
  ASSERT_FALSE(events.errors.empty());
  EXPECT_NE(events.errors.back().find("Param index 02 out of bounds"), std::string::npos);
}

TEST_F(ScriptTest, RecursionStopsAtThirty) {
  // §11.2: kMaxNestDepth 30. Each call appends to the shared array, so its
  // size counts the calls that ran: this function and 29 nested ones.
  ASSERT_TRUE(
      Load("scn Deep\nBegin Function { array_var a }\nlet a[999] := 1\ncall Deep a\nEnd\n"));
  std::vector<std::string> lines = Run("let a := &0\ncall Deep a\nPrint ar_Size a", "array_var a");
  EXPECT_EQ(lines,
            (std::vector<std::string>{"Max nest depth 30 exceeded in function call.", "30"}));
}

TEST_F(ScriptTest, Asserts) {
  // §10.1: a check each; a failed one prints "Assertion failed!" and the
  // line, and the script goes on.
  std::vector<std::string> lines = Run("Assert 1 == 1\nAssert 1 == 2\nPrint \"on\"");
  EXPECT_EQ(events.passed, 1);
  ASSERT_EQ(events.failed.size(), 1U);
  EXPECT_EQ(events.failed[0], "Assert 1 == 2");
  EXPECT_EQ(lines, (std::vector<std::string>{"Assertion failed!", "\tAssert 1 == 2", "on"}));
  // An expression that fails fails the assertion (§10.1); so does a form,
  // whose GetNumber is 0.
  Run("Assert (1 / 0) == 0");
  EXPECT_EQ(events.failed.size(), 2U);
  EXPECT_EQ(events.errors.size(), 1U);
}

TEST_F(ScriptTest, WrongTypeIsAnError) {
  // §8.7: a wrong type makes no assignment.
  std::vector<std::string> lines = Run("let r := 5\nPrint r == 0", "ref r");
  EXPECT_EQ(events.errors.size(), 1U);
  EXPECT_EQ(lines.back(), "1");
}

}  // namespace
}  // namespace cv::sim::script
