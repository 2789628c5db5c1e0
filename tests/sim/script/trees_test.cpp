// The parse tree of each grammar feature, written as an S-expression
// (script-language.md §3, §4, §11): one small script and its tree per case.
#include <gtest/gtest.h>

#include "sim/script/lex/lexer.h"
#include "sim/script/parse/parser.h"

namespace cv::sim::script {
namespace {

struct NoNames : Names {
  std::optional<FormId> Form(std::string_view n) override {
    if (n == "SunnyREF") return 0x01000801;
    return std::nullopt;
  }
  std::optional<FunctionId> FunctionScript(std::string_view n) override {
    if (n == "MyFn") return 1;
    return std::nullopt;
  }
  const CommandInfo* PluginCommand(std::string_view, int&) override { return nullptr; }
  std::optional<OtherVar> OwnerVar(FormId, std::string_view v) override {
    if (v == "iCount") return OtherVar{0, VarType::Int};
    return std::nullopt;
  }
};

std::string Dump(const Expr& e) {
  std::string kids;
  for (const auto& k : e.kids) kids += " " + Dump(*k);
  switch (e.kind) {
    case ExprKind::Number: {
      std::string n = std::to_string(e.number);
      n.erase(n.find_last_not_of('0') + 1);
      if (n.back() == '.') n.pop_back();
      return n;
    }
    case ExprKind::String: return "\"" + e.text + "\"";
    case ExprKind::Var: return e.text;
    case ExprKind::ExtVar: return "ext:" + e.text;
    case ExprKind::Form: return "form";
    case ExprKind::Function: return "fn:" + e.text;
    case ExprKind::Lambda: return "lambda" + std::to_string(e.lambda);
    case ExprKind::Index: return "(index" + kids + ")";
    case ExprKind::Call: return "(" + e.text + kids + ")";
    default:
      return "(" + e.op + (e.kind == ExprKind::Binary && !e.shortCircuit ? "!" : "") + kids + ")";
  }
}

struct TreeCase {
  const char* line;  // one line inside a GameMode block
  const char* tree;  // the first statement's expression
  const char* fact;
};

const TreeCase kTrees[] = {
    {"let x := 1 + 2 * 3", "(:= x (+ 1 (* 2 3)))", "§4.2 precedence"},
    {"set x to 1 + 2 * 3", "(:= x (+! 1 (*! 2 3)))", "§4.1 vanilla, no short-circuit mark"},
    {"let x := a || b && c", "(:= x (|| a (&& b c)))", "§4.2 && binds tighter than ||"},
    {"set x to a || b && c", "(:= x (||! a (&&! b c)))", "§4.1 vanilla logic evaluates both sides"},
    {"let x := a | b == c", "(:= x (== (| a b) c))", "§4.2 | tighter than =="},
    {"let x := 2 ^ 3 ^ 2", "(:= x (^ (^ 2 3) 2))", "§4.2 ^ left-associative"},
    {"let x := y := 3", "(:= x (:= y 3))", "§3.2 := right-associative"},
    {"x += 1", "(+= x 1)", "§1.2 shorthand"},
    {"x = -a", "(:= x (- a))", "§3.2 a lone = assigns"},
    {"let x := a[1][2]", "(:= x (index (index a 1) 2))", "§12.6 indexing"},
    {"let x := a[1:2]", "(:= x (index a (: 1 2)))", "§12.6 slices"},
    {"let x := a->key", "(:= x (index a \"key\"))", "§12.6 -> is [\"key\"]"},
    {"let x := $a + #b", "(:= x (+ ($ a) (# b)))", "§4.2 unary before +"},
    {"let x := *&a", "(:= x (* (& a)))", "§12.6 box and unbox"},
    {"let x := SunnyREF.iCount", "(:= x ext:SunnyREF.iCount)", "§4.3 Ref.var"},
    {"let x := ar_Size a == 2", "(:= x (ar_Size (== a 2)))",
     "§4.3 a one-parameter command takes the whole"},
    {"let x := (ar_Size a) == 2", "(:= x (== (ar_Size a) 2))", "§4.3 parentheses group the call"},
    {"let x := GetSelf == SunnyREF", "(:= x (== (GetSelf) form))",
     "§4.3 no parameters, no arguments"},
    {"let x := call MyFn 1, 2", "(:= x (call fn:MyFn 1 2))", "§11.2 Call's arguments"},
    {"let x := ({a} => a)", "(:= x lambda0)", "§11.3 an arrow lambda"},
    {"Assert (TestExpr x = 1) == 0", "(Assert (== (TestExpr (:= x 1)) 0))",
     "§10 commands in expressions"},
    {"SunnyREF.GetSelf", "(GetSelf form)", "§4.3 ref.Command"},
};

TEST(ScriptTrees, GrammarFeatures) {
  for (const TreeCase& c : kTrees) {
    std::string src = "int x\nint y\nint a\nint b\nint c\narray_var arr\nBegin GameMode\n" +
                      std::string(c.line) + "\nEnd\n";
    std::vector<Token> tokens;
    LexError le;
    ASSERT_TRUE(Lex(src, tokens, le)) << c.line;
    NoNames names;
    ParseResult r;
    ParseScript(tokens, "T", names, r);
    ASSERT_TRUE(r.errors.empty()) << c.line << ": " << r.errors[0].message;
    ASSERT_EQ(r.tree.blocks.size(), 1U) << c.line;
    ASSERT_FALSE(r.tree.blocks[0].body.empty()) << c.line;
    EXPECT_EQ(Dump(*r.tree.blocks[0].body[0].expr), c.tree) << c.line << " (" << c.fact << ")";
  }
}

TEST(ScriptTrees, StatementsAndBlocks) {
  const char* src =
      "scn Named\nint i\nBegin OnActivate SunnyREF\nif i\nelseif i == 1\nelse\nendif\n"
      "while i < 3\ni += 1\nloop\nEnd\nBegin Function { int p, float q }\nreturn\nEnd\n";
  std::vector<Token> tokens;
  LexError le;
  ASSERT_TRUE(Lex(src, tokens, le));
  NoNames names;
  ParseResult r;
  ParseScript(tokens, "File", names, r);
  ASSERT_TRUE(r.errors.empty()) << r.errors[0].message;
  EXPECT_EQ(r.tree.name, "Named");
  ASSERT_EQ(r.tree.blocks.size(), 2U);
  EXPECT_EQ(r.tree.blocks[0].type, "OnActivate");
  ASSERT_TRUE(r.tree.blocks[0].param);
  const std::vector<Stmt>& body = r.tree.blocks[0].body;
  ASSERT_EQ(body.size(), 2U);
  EXPECT_EQ(body[0].kind, StmtKind::If);
  EXPECT_EQ(body[0].branches.size(), 3U);
  EXPECT_EQ(body[1].kind, StmtKind::While);
  EXPECT_EQ(body[1].body.size(), 1U);
  EXPECT_EQ(r.tree.blocks[1].params, (std::vector<int>{1, 2}));  // p and q, declared there
  EXPECT_EQ(r.tree.vars[2].type, VarType::Float);
}

}  // namespace
}  // namespace cv::sim::script
