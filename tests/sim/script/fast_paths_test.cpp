// The VM's fast paths behave as the general code does: the fused
// `x += n` and loop tests (integer targets floored, the comparisons' own
// epsilon and float equality, a string or array operand taking the general
// path with its error), and a statement's temporary strings dropped once the
// statement is done while what outlives it (a function's value) stays
// (script-language.md §1.4, §4.2, §8, §12.8).
#include <algorithm>

#include "script_fixture.h"

namespace cv::sim::script {
namespace {

// A broken loop test must fail its case, not hang the program: every loop
// body gets a guard that breaks out after far more passes than any case
// takes. `guard` is declared after the case's own variables.
std::string Guarded(const std::string& body) {
  static const std::string kLoop = "\nloop";
  std::string out;
  std::size_t from = 0;
  for (std::size_t at = body.find(kLoop); at != std::string::npos; at = body.find(kLoop, from)) {
    out +=
        body.substr(from, at - from) + "\nlet guard += 1\nif guard > 100000\nbreak\nendif" + kLoop;
    from = at + kLoop.size();
  }
  return out + body.substr(from);
}

struct FusedCase {
  const char* name;
  const char* decls;
  const char* body;
  std::vector<std::string> printed;
  std::vector<std::string> errors;  // "LINE: message"
  Op fused;                         // the instruction the code must hold
};

// The script is "scn", the declarations (and `guard`), "Begin", then the
// body: with two lines of declarations the body's second line is line 7.
const FusedCase kFused[] = {
    {"IntegerAddFloors", "int i", "let i := 1\nlet i += 1.5\nPrint i", {"2"}, {}, Op::AddConst},
    {"IntegerSubtractFloorsDown", "int i", "let i -= 0.5\nPrint i", {"-1"}, {}, Op::AddConst},
    {"FloatKeepsTheFraction",
     "float f",
     "let f += 0.25\nlet f += 0.25\nlet f -= 1\nPrint f",
     {"-0.5"},
     {},
     Op::AddConst},
    {"LoopAgainstAVariable",
     "int i\nint n",
     "let n := 5\nwhile i < n\nlet i += 1\nloop\nPrint i",
     {"5"},
     {},
     Op::JumpIfNot},
    {"LoopAgainstAVariableNeverEntered",
     "int i\nint n",
     "let i := 7\nlet n := 5\nwhile i < n\nlet i += 1\nloop\nPrint i",
     {"7"},
     {},
     Op::JumpIfNot},
    {"LessNeedsMoreThanEpsilon",
     "float f\nint n\nint c",
     "let n := 1\nlet f := 0.9999999999999999\nwhile f < n\nlet c += 1\nlet f += 1\nloop\nPrint c",
     {"0"},
     {},
     Op::JumpIfNot},
    {"GreaterNeedsMoreThanEpsilon",
     "float f\nint n\nint c",
     "let n := 1\nlet f := 1.0000000000000002\nwhile f > n\nlet c += 1\nlet f -= 1\nloop\nPrint c",
     {"0"},
     {},
     Op::JumpIfNot},
    {"GreaterOrEqualIsPlain",
     "int i\nint n",
     "let i := 3\nwhile i >= n\nlet i -= 1\nloop\nPrint i",
     {"-1"},
     {},
     Op::JumpIfNot},
    {"LessOrEqualAgainstANumber",
     "float f",
     "while f <= 2\nlet f += 0.5\nloop\nPrint f",
     {"2.5"},
     {},
     Op::JumpIfNot},
    {"NotEqualIsAFloatCompare",
     "float f\nfloat g\nint c",
     "let g := 0.00001\nwhile f != g\nlet c += 1\nlet f := g\nloop\nPrint c",
     {"0"},
     {},
     Op::JumpIfNot},
    {"EqualIsAFloatCompare",
     "float f\nint c",
     "let f := 0.00001\nwhile f == 0\nlet c += 1\nlet f := 1\nloop\nPrint c",
     {"1"},
     {},
     Op::JumpIfNot},
    {"AStringOperandFails",
     "int i\nstring_var s",
     "let s := \"abc\"\nwhile i < s\nlet i += 1\nloop\nPrint i",
     {"Error in script 00FFF000 (F1) in mod ", "Cannot evaluate Number < String", "0"},
     {"7: Cannot evaluate Number < String"},
     Op::JumpIfNot},
    {"AnArrayOperandFails",
     "int i\narray_var a",
     "let a := ar_List 1 2\nwhile a > i\nlet i += 1\nloop\nPrint i",
     {"Error in script 00FFF000 (F1) in mod ", "Cannot evaluate Array > Number", "0"},
     {"7: Cannot evaluate Array > Number"},
     Op::JumpIfNot},
    {"TwoStringsCompareWithoutCase",
     "string_var s\nstring_var t\nint c",
     "let s := \"abc\"\nlet t := \"ABD\"\nwhile s < t\nlet c += 1\nlet s := \"abe\"\nloop\nPrint c",
     {"1"},
     {},
     Op::JumpIfNot},
};

class FusedOps : public ScriptTest, public ::testing::WithParamInterface<FusedCase> {};

TEST_P(FusedOps, BehaveAsTheGeneralCode) {
  const FusedCase& c = GetParam();
  EXPECT_EQ(Run(Guarded(c.body), std::string(c.decls) + "\nint guard"), c.printed);
  EXPECT_EQ(events.errors, c.errors);
  // The case runs the fused instruction, not the general code.
  const CompiledScript* s = in.FindScript("F1");
  ASSERT_NE(s, nullptr);
  ASSERT_GE(s->functionBlock, 0);
  const Chunk& chunk = s->blocks[static_cast<std::size_t>(s->functionBlock)].chunk;
  EXPECT_TRUE(std::any_of(chunk.code.begin(), chunk.code.end(),
                          [&](const Instr& i) { return i.op == c.fused; }));
}

INSTANTIATE_TEST_SUITE_P(Vm, FusedOps, ::testing::ValuesIn(kFused),
                         [](const auto& info) { return std::string(info.param.name); });

struct TemporaryCase {
  const char* name;
  const char* decls;
  const char* body;     // run with n = the passes
  const char* printed;  // the last console line
};

constexpr int kPasses = 500;
// Well under the passes: the kept strings and a statement's own.
constexpr std::size_t kBound = 16;

const TemporaryCase kTemporaries[] = {
    {"AssignedInALoop", "string_var s\nint i",
     "while i < n\nlet s := \"pass \" + $i\nlet i += 1\nloop\nPrint s", "pass 499"},
    {"TestedInACondition", "string_var s\nint i\nint c",
     "while i < n\nif eval (\"a\" + $i == \"a7\")\nlet c += 1\nendif\nlet i += 1\nloop\nPrint $c",
     "1"},
    {"AFailedStatement", "int i\nint c",
     "while i < n\nlet c := \"x\" + $i + 1\nlet i += 1\nloop\nPrint $c", "0"},
    {"ACharacterLoop", "string_var s\nint i",
     "while i < n\nlet s := \"\"\nforeach iter <- \"hey\"\nlet s += iter\nloop\nlet i += "
     "1\nloop\nPrint "
     "s",
     "hey"},
};

class Temporaries : public ScriptTest, public ::testing::WithParamInterface<TemporaryCase> {};

TEST_P(Temporaries, AreDroppedAfterTheirStatement) {
  const TemporaryCase& c = GetParam();
  const std::string decls = std::string(c.decls) + "\nint n\nstring_var iter\nint guard";
  const std::vector<std::string> lines =
      Run("let n := " + std::to_string(kPasses) + "\n" + Guarded(c.body), decls);
  ASSERT_FALSE(lines.empty());
  EXPECT_EQ(lines.back(), c.printed);
  EXPECT_LE(in.strings().Count(), kBound);
}

INSTANTIATE_TEST_SUITE_P(Vm, Temporaries, ::testing::ValuesIn(kTemporaries),
                         [](const auto& info) { return std::string(info.param.name); });

// What a statement hands on outlives it: a function's string value, set
// before later statements make (and drop) their own temporaries, reaches
// the caller; so does a value replaced by a later SetFunctionValue.
struct ResultCase {
  const char* name;
  const char* function;  // G's body
  const char* printed;
};

const ResultCase kResults[] = {
    {"SetFirst", "SetFunctionValue \"r\" + \"s\"\nlet t := \"u\" + \"v\"\nlet t := t + \"w\"",
     "rs"},
    {"SetTwice",
     "SetFunctionValue \"first\" + \"\"\nlet t := \"u\" + \"v\"\nSetFunctionValue \"second\" + "
     "t\nlet t := \"x\" + \"y\"",
     "seconduv"},
    {"SetInALoop", "int i\nwhile i < 50\nSetFunctionValue \"at \" + $i\nlet i += 1\nloop", "at 49"},
};

class FunctionValues : public ScriptTest, public ::testing::WithParamInterface<ResultCase> {};

TEST_P(FunctionValues, OutliveTheStatementsAfterThem) {
  const ResultCase& c = GetParam();
  ASSERT_TRUE(Load("scn G\nstring_var t\nint guard\nBegin Function { }\n" + Guarded(c.function) +
                   "\nEnd\n"))
      << (loadErrors.empty() ? "" : loadErrors[0]);
  // Called in the middle of an expression whose own temporary must stay.
  EXPECT_EQ(Run("let s := \"<\" + (call G) + \">\"\nPrint s", "string_var s"),
            std::vector<std::string>{std::string("<") + c.printed + ">"});
  EXPECT_TRUE(events.errors.empty()) << events.errors.front();
  EXPECT_LE(in.strings().Count(), kBound);
}

INSTANTIATE_TEST_SUITE_P(Vm, FunctionValues, ::testing::ValuesIn(kResults),
                         [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace cv::sim::script
