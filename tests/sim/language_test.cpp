// The scenario language: tokens, statement shapes and the value notation.
#include <gtest/gtest.h>

#include <cstring>
#include <limits>

#include "sim/scenario/scenario.h"
#include "sim/host/tokens.h"
#include "sim/host/values.h"

namespace cv::sim {
namespace {

std::vector<Token> Tokens(std::string_view line) {
  std::vector<Token> t;
  std::string error;
  EXPECT_TRUE(TokenizeLine(line, t, error)) << error;
  return t;
}

Token Word(std::string s) { return {TokenKind::Word, std::move(s)}; }
Token Num(std::string s) { return {TokenKind::Number, std::move(s)}; }
Token Str(std::string s) { return {TokenKind::String, std::move(s)}; }

TEST(Tokens, KindsSeparatorsAndQuotes) {
  EXPECT_EQ(Tokens("run\t- CV_SetEVSt  \"a \"\"b\"\" c\" -12 3.5 0x1F 0100ABCD"),
            (std::vector<Token>{Word("run"), Word("-"), Word("CV_SetEVSt"), Str("a \"b\" c"),
                                Num("-12"), Num("3.5"), Num("0x1F"), Word("0100ABCD")}));
  // Backslashes are plain bytes; an empty string is a token.
  EXPECT_EQ(Tokens(R"("C:\x\y.nif" "")"), (std::vector<Token>{Str(R"(C:\x\y.nif)"), Str("")}));
  EXPECT_TRUE(Tokens("   \t ").empty());
  // Not numbers: a trailing dot, a lone minus, a leading dot, an exponent
  // without digits; and 1e5, which spells a form id like every word of
  // hexadecimal digits.
  EXPECT_EQ(Tokens("3. 1e5 - .5 1e+ 0100e5 1.5e"),
            (std::vector<Token>{Word("3."), Word("1e5"), Word("-"), Word(".5"), Word("1e+"),
                                Word("0100e5"), Word("1.5e")}));
  // Every number the runner prints is a number: exponent forms, inf, nan.
  EXPECT_EQ(Tokens("9.999999747378752e-06 1e+20 -1e5 2.5E3 inf -inf nan"),
            (std::vector<Token>{Num("9.999999747378752e-06"), Num("1e+20"), Num("-1e5"),
                                Num("2.5E3"), Num("inf"), Num("-inf"), Num("nan")}));
}

TEST(Tokens, MalformedTokensAreRefused) {
  std::vector<Token> t;
  std::string error;
  for (const char* bad : {"expect \"open", "ab\"c\"", "\"a\"b", "x \"\"\""}) {
    EXPECT_FALSE(TokenizeLine(bad, t, error)) << bad;
    EXPECT_FALSE(error.empty());
  }
}

TEST(Tokens, FormIdsAndNumbers) {
  EXPECT_EQ(ParseFormId(Word("0100ABCD")), 0x0100ABCDu);
  EXPECT_EQ(ParseFormId(Num("0x0100abcd")), 0x0100ABCDu);
  EXPECT_EQ(ParseFormId(Num("14")), 0x14u);  // form ids are always hexadecimal
  EXPECT_FALSE(ParseFormId(Word("0x")));
  EXPECT_FALSE(ParseFormId(Word("100000000")));  // nine digits
  EXPECT_FALSE(ParseFormId(Str("0100ABCD")));    // quoted is text
  EXPECT_FALSE(ParseFormId(Word("none")));

  EXPECT_EQ(ParseNumber(Num("-12")), -12.0);
  EXPECT_EQ(ParseNumber(Num("0x10")), 16.0);
  EXPECT_EQ(ParseNumber(Num("-0x10")), -16.0);
  EXPECT_FALSE(ParseNumber(Str("3")));
  EXPECT_EQ(ParseInteger(Num("4294967295")), 4294967295LL);
  EXPECT_EQ(ParseInteger(Num("-2147483648")), -2147483648LL);
  EXPECT_FALSE(ParseInteger(Num("4294967296")));
  EXPECT_FALSE(ParseInteger(Num("3.5")));
  EXPECT_FALSE(ParseInteger(Num("1e+20")));  // far outside long long
  EXPECT_FALSE(ParseInteger(Num("-1e+300")));
  EXPECT_EQ(ParseNumber(Num("9.999999747378752e-06")), 9.999999747378752e-06);
  EXPECT_EQ(ParseNumber(Num("-2.5E3")), -2500.0);
  EXPECT_EQ(ParseInteger(Num("1e+3")), 1000);
  EXPECT_FALSE(ParseFormId(Num("1e+3")));
}

TEST(Parser, CountsLinesAndSkipsComments) {
  std::vector<Statement> s;
  ParseError e;
  ASSERT_TRUE(ParseScenario(
      "# header\r\n\r\n  \t# indented comment\nform 14\r\n\nrun - CV_GetVersion", s, e))
      << e.message;
  ASSERT_EQ(s.size(), 2u);
  EXPECT_EQ(s[0].line, 4);
  EXPECT_EQ(s[0].verb, Verb::Form);
  EXPECT_EQ(s[1].line, 6);
  EXPECT_EQ(s[1].verb, Verb::Run);
  EXPECT_EQ(s[1].args, (std::vector<Token>{Word("-"), Word("CV_GetVersion")}));
}

struct BadLine {
  const char* text;
  int line;
  const char* needle;  // part of the message
};

TEST(Parser, ReportsTheFirstBadLine) {
  const BadLine cases[] = {
      {"form 14\nfrobnicate 1\nbogus", 2, "unknown statement frobnicate"},
      {"\"run\" - X", 1, "unknown statement"},
      {"form\n", 1, "usage: form ID"},
      {"form 14 15", 1, "usage"},
      {"form xyz", 1, "bad form id"},
      {"ref 14", 1, "usage: ref ID BASE"},
      {"npc", 1, "usage: npc ID [MODEL]"},
      {"npc 30 \"a.nif\" template", 1, "unexpected template"},
      {"npc 30 template \"31\"", 1, "bad template"},
      {"creature 30 \"a.nif\" \"b.nif\"", 1, "unexpected"},
      {"creature 30 use-model use-model", 1, "unexpected use-model"},
      {"npc 30 template 31 template 32", 1, "unexpected template"},
      {"leveled 30 31", 1, "usage: leveled ID"},
      {"ref 14 \"15\"", 1, "bad base form"},
      {"list 14 15 zz", 1, "bad form id"},
      {"talk 14 15", 1, "usage"},
      {"stringvar 1.5 \"x\"", 1, "whole number"},
      {"questvar 20 1 \"3\"", 1, "bad value"},
      {"run", 1, "usage"},
      {"run 14", 1, "usage"},
      {"run x14 CV_GetVersion", 1, "bad reference"},
      {"run - \"CV_GetVersion\"", 1, "bad command name"},
      {"message loadgame", 1, "needs a text"},
      {"message postload \"x\"", 1, "takes no text"},
      {"message reboot", 1, "unknown message"},
      {"expect", 1, "usage"},
      {"expect-float \"0.1\"", 1, "bad number"},
      {"expect-float 1e5", 1, "bad number"},
      {"expect-array \"k\"", 1, "usage"},
      {"expect-file \"a\" maybe", 1, "present or absent"},
      {"fault extract 0 return", 1, "bad call number"},
      {"fault extract 1 crash", 1, "bad fault kind"},
      {"\n\nexpect \"open", 3, "bad token"},
  };
  for (const BadLine& c : cases) {
    std::vector<Statement> s;
    ParseError e;
    EXPECT_FALSE(ParseScenario(c.text, s, e)) << c.text;
    EXPECT_EQ(e.line, c.line) << c.text;
    EXPECT_NE(e.message.find(c.needle), std::string::npos) << c.text << " -> " << e.message;
  }
}

TEST(Parser, AcceptsEveryStatementShape) {
  std::vector<Statement> s;
  ParseError e;
  const char* text =
      "loadorder\nloadorder \"A.esm\" B.esp\nmod \"X.esp\"\nform 0x14\nquest 20\n"
      "npc 30 \"skel\\a.nif\"\nnpc 31\nnpc 32 template 30 use-model\n"
      "creature 33 a.nif use-model template none\ncreature 34 \"template\"\nleveled 35\nlinked "
      "40\nlinked 41 40\nlist 50\nlist 51 14 none 30\n"
      "ref 60 none\nactor 61 30\ntalk 61 14 none\ntalk 61 none\nstringvar 3 Health\n"
      "questvar 20 1 -3.5\nremove 14\nrun - CV_GetVersion\nconsole 61 CV_SetEVFl k 1 1\n"
      "eval 61 CV_GetEVFl \"k\"\nmessage postload\nmessage savegame \"S 1\"\nmessage 42\n"
      "message 5 \"x\"\nexpect 19\nexpect-float -1.5e-3\nexpect-array\nexpect-array k 1 \"j\" "
      "\"s\"\nexpect-console "
      "none\n"
      "expect-log \"x\"\nexpect-file \"a\\b\" absent\nshow-file \"a\"\nfault clear\n"
      "fault engine.LookupFormByID 2 std\n";
  ASSERT_TRUE(ParseScenario(text, s, e)) << e.line << ": " << e.message;
  EXPECT_EQ(s.size(), 39u);
  EXPECT_EQ(MessageTypeByName("renamenewgame"), 17);
  EXPECT_EQ(MessageTypeByName("newgame"), 14);
  EXPECT_EQ(MessageTypeByName("deletegame"), 15);
}

TEST(Values, Notation) {
  EXPECT_EQ(FormatNumber(19), "19");
  EXPECT_EQ(FormatNumber(-12), "-12");
  EXPECT_EQ(FormatNumber(0.1), "0.1");
  EXPECT_EQ(FormatNumber(static_cast<double>(3.3f)), "3.299999952316284");
  EXPECT_EQ(FormatForm(0xABC), "0x00000ABC");
  EXPECT_EQ(Quote("say \"hi\""), "\"say \"\"hi\"\"\"");

  ArrayValue a;
  a["b"] = {ElementValue::Type::Number, 2, 0, ""};
  a["a"] = {ElementValue::Type::String, 0, 0, "x\"y"};
  a["c"] = {ElementValue::Type::Form, 0, 0x0100000A, ""};
  a["d"] = {ElementValue::Type::Form, 0, 0, ""};
  EXPECT_EQ(FormatArray(a), "{\"a\": \"x\"\"y\", \"b\": 2, \"c\": 0x0100000A, \"d\": none}");
  EXPECT_EQ(FormatArray({}), "{}");
}

TEST(Values, Matching) {
  CallValue n;
  n.number = 3.5;
  EXPECT_TRUE(Matches(n, Num("3.5")));
  EXPECT_FALSE(Matches(n, Num("3.4")));
  EXPECT_FALSE(Matches(n, Str("3.5")));
  EXPECT_FALSE(Matches(n, Word("none")));

  // A form result: the low 32 bits, whatever the upper ones hold.
  CallValue f;
  f.type = CallValue::Type::Form;
  f.number = std::numeric_limits<double>::quiet_NaN();
  UInt32 id = 0x0100ABCD;
  std::memcpy(&f.number, &id, sizeof id);
  EXPECT_EQ(FormatValue(f), "0x0100ABCD");
  EXPECT_TRUE(Matches(f, Num("0x0100ABCD")));
  EXPECT_TRUE(Matches(f, Word("0100abcd")));
  EXPECT_FALSE(Matches(f, Num("0x0100ABCE")));
  EXPECT_FALSE(Matches(f, Word("none")));
  CallValue noForm;
  noForm.type = CallValue::Type::Form;
  EXPECT_TRUE(Matches(noForm, Word("none")));

  CallValue s;
  s.type = CallValue::Type::String;
  EXPECT_TRUE(Matches(s, Word("none")));
  EXPECT_FALSE(Matches(s, Str("")));
  s.text = "";
  EXPECT_TRUE(Matches(s, Str("")));
  EXPECT_FALSE(Matches(s, Word("none")));

  CallValue arr;
  arr.type = CallValue::Type::Array;
  EXPECT_TRUE(Matches(arr, Word("none")));
  arr.array = ArrayValue{};
  EXPECT_FALSE(Matches(arr, Word("none")));
  EXPECT_EQ(FormatValue(arr), "{}");

  // Whatever the runner prints reads back as the same number.
  for (double d :
       {9.999999747378752e-06, 1e+20, -0.1, 1.0 / 3, 123456789.0,
        std::numeric_limits<double>::infinity(), -std::numeric_limits<double>::max(),
        std::numeric_limits<double>::denorm_min(), std::numeric_limits<double>::quiet_NaN()}) {
    CallValue v;
    v.number = d;
    std::vector<Token> t = Tokens(FormatValue(v));
    ASSERT_EQ(t.size(), 1u);
    EXPECT_EQ(t[0].kind, TokenKind::Number) << t[0].text;
    EXPECT_TRUE(Matches(v, t[0])) << t[0].text;
  }
  // expect-float compares as 32-bit floats; expect stays exact.
  CallValue tenth;
  tenth.number = static_cast<double>(0.1f);
  EXPECT_TRUE(MatchesFloat(tenth, Num("0.1")));
  EXPECT_FALSE(Matches(tenth, Num("0.1")));
  EXPECT_FALSE(MatchesFloat(tenth, Num("0.10000003")));  // the next float up
  EXPECT_TRUE(MatchesFloat(tenth, Num("0.100000001")));  // rounds to the same float
  EXPECT_FALSE(MatchesFloat(s, Num("0.1")));             // not a number result
  EXPECT_FALSE(MatchesFloat(f, Num("0x0100ABCD")));

  ElementValue e{ElementValue::Type::Number, 2, 0, ""};
  EXPECT_TRUE(ElementMatches(e, Num("2")));
  EXPECT_FALSE(ElementMatches(e, Str("2")));
  ElementValue fe{ElementValue::Type::Form, 0, 0x14, ""};
  EXPECT_TRUE(ElementMatches(fe, Num("0x14")));
  EXPECT_FALSE(ElementMatches(fe, Num("20")));  // decimal 20 is a number, not a form
}

}  // namespace
}  // namespace cv::sim
