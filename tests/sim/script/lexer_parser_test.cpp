// Script files, lines and words (script-language.md §1.2), the parser's
// argument rule (§4.3) and what a load refuses (§2.2, §3).
#include "host/nvse_records.h"
#include "script_fixture.h"
#include "sim/script/lex/lexer.h"
#include "sim/script/parse/parser.h"

namespace cv::sim::script {
namespace {

struct LexCase {
  const char* source;
  std::vector<std::string> words;  // every token's text; "\n" for a line end
  const char* fact;
};

std::vector<std::string> Texts(const std::vector<Token>& t) {
  std::vector<std::string> out;
  for (const Token& k : t) {
    if (k.kind == Tok::End) break;
    out.push_back(k.kind == Tok::Newline ? "\n" : k.text);
  }
  return out;
}

const LexCase kLex[] = {
    {"set x to 1 ; a comment\n", {"set", "x", "to", "1", "\n"}, "§1.2 ; starts a comment"},
    {"a\r\nb", {"a", "\n", "b", "\n"}, "CR LF, and a last line without its end"},
    {"\xEF\xBB\xBFscn A\n", {"scn", "A", "\n"}, "a UTF-8 byte-order mark"},
    {"1stRecon 2.5 3", {"1stRecon", "2.5", "3", "\n"}, "digit-led words"},
    {"a:=b+=c<-d::e", {"a", ":=", "b", "+=", "c", "<-", "d", "::", "e", "\n"}, "§4.2 operators"},
    {"\"a ; b\"", {"a ; b", "\n"}, "§1.2 ; inside a string"},
};

TEST(ScriptLexer, Tokens) {
  for (const LexCase& c : kLex) {
    std::vector<Token> tokens;
    LexError e;
    ASSERT_TRUE(Lex(c.source, tokens, e)) << c.fact;
    EXPECT_EQ(Texts(tokens), c.words) << c.fact;
  }
  std::vector<Token> tokens;
  LexError e;
  EXPECT_FALSE(Lex("print \"open\nx", tokens, e));
  EXPECT_EQ(e.line, 1);
}

// A command of two numbers, for the argument rule.
ParamInfo kTwo[2] = {{"a", kParamType_Float, 0}, {"b", kParamType_Float, 0}};
ParamInfo kOne[1] = {{"a", kParamType_Float, 0}};

struct FakeNames : Names {
  CommandInfo two{}, one{};
  FakeNames() {
    two.longName = "Two";
    two.numParams = 2;
    two.params = kTwo;
    one.longName = "One";
    one.numParams = 1;
    one.params = kOne;
  }
  std::optional<FormId> Form(std::string_view) override { return std::nullopt; }
  std::optional<FunctionId> FunctionScript(std::string_view) override { return std::nullopt; }
  const CommandInfo* PluginCommand(std::string_view n, int& i) override {
    i = 0;
    if (n == "Two") return &two;
    if (n == "One") return &one;
    return nullptr;
  }
  std::optional<OtherVar> OwnerVar(FormId, std::string_view) override { return std::nullopt; }
};

const Expr& Value0(const ParseResult& r) { return *r.tree.blocks.at(0).body.at(0).expr->kids[1]; }

TEST(ScriptParser, CommandArgumentsEndAtAComparison) {
  // §4.3: `Two 1 2 != 3` compares the call's result.
  FakeNames names;
  std::vector<Token> tokens;
  LexError e;
  ASSERT_TRUE(Lex("int x\nBegin GameMode\nlet x := Two 1, 2 != 3\nEnd\n", tokens, e));
  ParseResult r;
  ParseScript(tokens, "T", names, r);
  ASSERT_TRUE(r.errors.empty()) << r.errors[0].message;
  const Expr& v = Value0(r);
  ASSERT_EQ(v.kind, ExprKind::Binary);
  EXPECT_EQ(v.op, "!=");
  EXPECT_EQ(v.kids[0]->kind, ExprKind::Call);
  EXPECT_EQ(v.kids[0]->kids.size(), 2U);
}

TEST(ScriptParser, PluginArgumentsCheckedAtLoad) {
  // docs/corvane-sim.md "Calls are checked as the script compiler checks
  // them": a literal of the wrong kind, a required argument left out.
  const std::pair<const char*, const char*> kCases[] = {
      {"Begin GameMode\nOne \"text\"\nEnd\n", "must be a float"},
      {"Begin GameMode\nTwo 1\nEnd\n", "is required"},
  };
  for (const auto& [source, message] : kCases) {
    FakeNames names;
    std::vector<Token> tokens;
    LexError e;
    ASSERT_TRUE(Lex(source, tokens, e));
    ParseResult r;
    ParseScript(tokens, "T", names, r);
    ASSERT_EQ(r.errors.size(), 1U) << source;
    EXPECT_NE(r.errors[0].message.find(message), std::string::npos) << r.errors[0].message;
  }
}

struct RefusedCase {
  const char* source;
  const char* message;
  int line;
};

const RefusedCase kRefused[] = {
    {"Begin Frobnicate\nEnd\n", "unknown block type Frobnicate", 1},
    {"int x\nBegin GameMode\nlet x + 1\nEnd\n", "Expected assignment in Let statement.", 3},
    {"Begin GameMode\nloop\nEnd\n", "'Loop' encountered without matching 'While' or 'ForEach'.", 2},
    {"Begin Function { nope }\nEnd\n", "Could not parse user function parameter list", 1},
    {"set x to 1\n", "every command must be inside a Begin ... End block", 1},
    {"int x = 1\n", "an initialiser must be inside a Begin ... End block", 1},
    {"array_var a\nBegin GameMode\nif a[0] == 1\nendif\nEnd\n",
     "'[' is not part of the game's expressions", 3},
    {"Begin GameMode\nif 1\nelse 5\nendif\nEnd\n", "unexpected '5' at the end of the line", 3},
    {"int x\nfloat x\n",
     "Variable redefinition with a different type (saw first 'int', then 'float')", 2},
    {"Begin GameMode\nbreak\nEnd\n", "Break called outside of a valid loop context.", 2},
    {"Begin GameMode\nPrint ((((((((((((((((((((((((((((((((((((((((((((((((((((((((((((((((((((("
     "(((((((((((((((((((((((((((((((((((((((((((((((((((((((((((((((((((((((((((((((((((((((((("
     "(((((((((((((((((((((((((((((((((((((((((((((((((((((((((((((((((((((((((((((((((((((((((("
     "((((((((((((((((((((((((((((((1\nEnd\n",
     "the expression is nested too deeply", 2},
};

TEST_F(ScriptTest, LoadRefuses) {
  for (const RefusedCase& c : kRefused) {
    loadErrors.clear();
    EXPECT_FALSE(Load(c.source)) << c.source;
    ASSERT_FALSE(loadErrors.empty()) << c.source;
    EXPECT_NE(loadErrors[0].find(c.message), std::string::npos) << loadErrors[0];
    EXPECT_EQ(loadErrors[0].rfind("t.gek:" + std::to_string(c.line) + ": ", 0), 0U)
        << loadErrors[0];
  }
}

// A fault in a condition line is listed once: the block under it is still
// read, so its endif and loop are no faults of their own.
TEST_F(ScriptTest, FaultyConditionsAreListedOnce) {
  EXPECT_FALSE(
      Load("array_var a\nBegin GameMode\nif a[0] == 1\nPrint 1\nendif\nwhile )\nloop\nEnd\n"));
  ASSERT_EQ(loadErrors.size(), 2U) << loadErrors[0];
  EXPECT_EQ(loadErrors[0].rfind("t.gek:3: ", 0), 0U) << loadErrors[0];
  EXPECT_EQ(loadErrors[1].rfind("t.gek:6: ", 0), 0U) << loadErrors[1];
}

TEST_F(ScriptTest, IfNestingStopsAtTen) {
  // §3.3: ten levels load, an eleventh is refused.
  auto nested = [](int n) {
    std::string s = "Begin GameMode\n";
    for (int i = 0; i < n; ++i) s += "if 1\n";
    for (int i = 0; i < n; ++i) s += "endif\n";
    return s + "End\n";
  };
  EXPECT_TRUE(Load("scn Ten\n" + nested(10)));
  EXPECT_FALSE(Load("scn Eleven\n" + nested(11)));
}

TEST_F(ScriptTest, UnmodelledCommandsListedOnce) {
  EXPECT_FALSE(Load("Begin GameMode\nFooBar 1\nBazQux\nFooBar 2\nEnd\n"));
  EXPECT_EQ(unmodelled,
            (std::vector<std::string>{"t.gek:2: FooBar is not modelled by corvane-sim",
                                      "t.gek:3: BazQux is not modelled by corvane-sim"}));
}

TEST_F(ScriptTest, ScriptNameAndCase) {
  // §1.1 scn names the script, else the file name; §1.2 words ignore case.
  ASSERT_TRUE(
      Load("ScriptName MyFn\nINT Count\nbegin function { }\nLET count := 3\nprint COUNT\nend\n"));
  EXPECT_NE(in.FunctionScriptOf("myfn"), nullptr);
  Value v;
  out.str("");
  in.CallScript("MYFN", {}, v);
  EXPECT_EQ(Lines(), std::vector<std::string>{"3"});
}

}  // namespace
}  // namespace cv::sim::script
