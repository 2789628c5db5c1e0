// The two expression grammars (script-language.md §4). Each table row is a
// fact of §4.1 (vanilla) or §4.2 (xNVSE).
#include <array>

#include "sim/script/parse/parser.h"
#include "sim/script/value/text.h"

namespace cv::sim::script {

namespace {

struct OpRow {
  std::string_view op;
  int bp;  // higher binds tighter
  bool rightAssoc;
};

// xNVSE's operator table (§4.2, s_operators): `|`/`&` bind tighter than the
// comparisons, `^` is a left-associative exponent, and a lone `=` assigns
// as `:=` does (§3.2, the let macro).
constexpr std::array<OpRow, 27> kXnvseOps = {{
    {":=", 2, true},   {"=", 2, true},   {"+=", 2, true},   {"-=", 2, true},   {"*=", 2, true},
    {"/=", 2, true},   {"^=", 2, true},  {"|=", 2, false},  {"&=", 2, false},  {"%=", 2, false},
    {"<-", 2, false},  {"::", 3, false}, {"||", 5, false},  {"&&", 7, false},  {"==", 13, false},
    {"!=", 13, false}, {">", 15, false}, {"<", 15, false},  {">=", 15, false}, {"<=", 15, false},
    {"|", 16, false},  {"&", 17, false}, {"<<", 18, false}, {">>", 18, false}, {"+", 19, false},
    {"-", 19, false},  {"*", 21, false},
}};
constexpr std::array<OpRow, 4> kXnvseOpsMore = {
    {{"/", 21, false}, {"%", 21, false}, {"^", 23, false}, {":", 9, false}}};
constexpr int kXnvseUnaryBp = 25;  // unary - $ # * & (§4.2)
constexpr int kXnvseNotBp = 27;    // ! ~ (§4.2)
// The slice operator inside [ ] (§4.2 prec 9).
constexpr int kSliceBp = 9;

// Vanilla precedence is UNCONFIRMED (§4.1): the recommended model, unary
// minus > * / % > + - > comparisons > && > ||, all left-associative.
constexpr std::array<OpRow, 13> kVanillaOps = {{
    {"||", 1, false},
    {"&&", 2, false},
    {"==", 3, false},
    {"!=", 3, false},
    {"<", 4, false},
    {">", 4, false},
    {"<=", 4, false},
    {">=", 4, false},
    {"+", 5, false},
    {"-", 5, false},
    {"*", 6, false},
    {"/", 6, false},
    {"%", 6, false},
}};
constexpr int kVanillaUnaryBp = 7;

const OpRow* FindOp(Mode mode, std::string_view op) {
  if (mode == Mode::Vanilla) {
    for (const OpRow& r : kVanillaOps)
      if (r.op == op) return &r;
    return nullptr;
  }
  for (const OpRow& r : kXnvseOps)
    if (r.op == op) return &r;
  for (const OpRow& r : kXnvseOpsMore)
    if (r.op == op) return &r;
  return nullptr;
}

bool IsAssignOp(std::string_view op) {
  return op == ":=" || op == "=" || op == "+=" || op == "-=" || op == "*=" || op == "/=" ||
         op == "^=" || op == "|=" || op == "&=" || op == "%=";
}

bool Assignable(const Expr& e) {
  return e.kind == ExprKind::Var || e.kind == ExprKind::ExtVar || e.kind == ExprKind::Index;
}

}  // namespace

ExprPtr Parser::ParseExpr(Mode mode, int minBp) {
  // The line buffer holds 512 characters (§1.2); no real expression nests
  // deeper than this, and the parser's stack stays bounded.
  struct Depth {
    int& d;
    explicit Depth(int& x) : d(++x) {}
    ~Depth() { --d; }
  } depth(depth_);
  if (depth_ > kMaxNesting) Fail("the expression is nested too deeply");
  ExprPtr left = Prefix(mode);
  for (;;) {
    const Token& t = Peek();
    if (t.kind != Tok::Op) break;
    const OpRow* row = FindOp(mode, t.text);
    if (row == nullptr || row->bp <= minBp) break;
    Token op = Next();
    int rhsBp = row->rightAssoc ? row->bp - 1 : row->bp;
    ExprPtr right = ParseExpr(mode, rhsBp);
    ExprPtr node;
    if (IsAssignOp(op.text)) {
      if (!Assignable(*left)) Fail("the left side of " + op.text + " cannot be assigned");
      node = Node(ExprKind::Assign, op.line);
      node->op = op.text == "=" ? ":=" : op.text;
    } else {
      node = Node(ExprKind::Binary, op.line);
      node->op = op.text;
      node->shortCircuit = mode == Mode::Xnvse;
    }
    node->kids.push_back(std::move(left));
    node->kids.push_back(std::move(right));
    left = std::move(node);
  }
  return left;
}

ExprPtr Parser::Prefix(Mode mode) {
  const Token& t = Peek();
  switch (t.kind) {
    case Tok::Number: {
      ExprPtr e = Node(ExprKind::Number, t.line);
      e->number = Next().number;
      return Postfix(std::move(e), mode);
    }
    case Tok::String: {
      ExprPtr e = Node(ExprKind::String, t.line);
      e->text = Next().text;
      return Postfix(std::move(e), mode);
    }
    case Tok::Word: return Postfix(WordExpr(mode), mode);
    case Tok::Op: break;
    default: Fail("expected an expression");
  }
  if (t.text == "(") {
    // Parentheses hold an xNVSE expression, in vanilla lines too (§3.3).
    if (IsOp("{", 1) || IsWord("begin", 1)) return Postfix(LambdaExpr(), mode);
    Next();
    ExprPtr inner = ParseExpr(Mode::Xnvse);
    ExpectOp(")");
    return Postfix(std::move(inner), mode);
  }
  const bool vanilla = mode == Mode::Vanilla;
  if (t.text == "-" || (!vanilla && (t.text == "$" || t.text == "#" || t.text == "*" ||
                                     t.text == "&" || t.text == "!" || t.text == "~"))) {
    Token op = Next();
    int bp = vanilla ? kVanillaUnaryBp
                     : (op.text == "!" || op.text == "~" ? kXnvseNotBp : kXnvseUnaryBp);
    ExprPtr operand = ParseExpr(mode, bp);
    if (op.text == "-" && operand->kind == ExprKind::Number) {
      operand->number = -operand->number;
      return operand;
    }
    ExprPtr e = Node(ExprKind::Unary, op.line);
    e->op = op.text;
    e->kids.push_back(std::move(operand));
    return e;
  }
  Fail("unexpected '" + t.text + "'");
}

ExprPtr Parser::Postfix(ExprPtr left, Mode mode) {
  for (;;) {
    if (IsOp("[") && mode == Mode::Xnvse) {
      int line = Next().line;
      ExprPtr key = ParseExpr(Mode::Xnvse, kSliceBp);
      if (IsOp(":")) {  // a slice lo:hi (§12.6, §13)
        Token colon = Next();
        ExprPtr hi = ParseExpr(Mode::Xnvse, kSliceBp);
        ExprPtr slice = Node(ExprKind::Binary, colon.line);
        slice->op.assign(1, ':');
        slice->kids.push_back(std::move(key));
        slice->kids.push_back(std::move(hi));
        key = std::move(slice);
      }
      ExpectOp("]");
      ExprPtr e = Node(ExprKind::Index, line);
      e->kids.push_back(std::move(left));
      e->kids.push_back(std::move(key));
      left = std::move(e);
    } else if (IsOp("[") && mode == Mode::Vanilla) {
      // The game's own expressions have no [ ] (§3.1): only the script
      // extender's do.
      Fail("'[' is not part of the game's expressions: use 'if eval', 'let' or parentheses");
    } else if (IsOp("->") && mode == Mode::Xnvse && Peek(1).kind == Tok::Word) {
      // a->key is a["key"] (§12.6).
      int line = Next().line;
      ExprPtr key = Node(ExprKind::String, line);
      key->text = Next().text;
      ExprPtr e = Node(ExprKind::Index, line);
      e->op = "->";  // its errors name member access (§12.6)
      e->kids.push_back(std::move(left));
      e->kids.push_back(std::move(key));
      left = std::move(e);
    } else if (IsOp(".") && Peek(1).kind == Tok::Word && left->kind != ExprKind::Number) {
      // Chained dot syntax: the left value is the calling reference (§4.3).
      Next();
      Token name = Next();
      left = CommandCall(name, mode, std::move(left));
    } else {
      return left;
    }
  }
}

ExprPtr Parser::WordExpr(Mode mode) {
  Token w = Next();
  // Owner.member: a quest's or reference's variable, or a command called
  // on a reference (§4.3).
  if (IsOp(".") && Peek(1).kind == Tok::Word) {
    int slot = FindVar(w.text);
    if (slot < 0) {
      std::optional<FormId> owner = names_.Form(w.text);
      if (!owner) {
        if (Fold(w.text) == "player" || Fold(w.text) == "playerref")
          owner = 0x14;
        else
          Fail("unknown reference " + w.text);
      }
      Next();
      Token member = Next();
      if (std::optional<OtherVar> v = names_.OwnerVar(*owner, member.text)) {
        ExprPtr e = Node(ExprKind::ExtVar, member.line);
        e->form = *owner;
        e->slot = v->slot;
        e->varType = v->type;
        e->text = w.text;
        e->text += '.';
        e->text += member.text;
        return e;
      }
      int index = -1;
      if (Builtins().Find(member.text) == nullptr && !names_.PluginCommand(member.text, index) &&
          !IsOp("(") && AtLineEnd() == false && (IsOp(":=") || IsOp("=") || IsOp("+=")))
        Fail(w.text + " has no variable " + member.text);
      ExprPtr ref = Node(ExprKind::Form, w.line);
      ref->form = *owner;
      return CommandCall(member, mode, std::move(ref));
    }
    ExprPtr ref = Node(ExprKind::Var, w.line);
    ref->slot = slot;
    ref->varType = out_.tree.vars[static_cast<std::size_t>(slot)].type;
    ref->text = w.text;
    Next();
    Token member = Next();
    return CommandCall(member, mode, std::move(ref));
  }
  if (int slot = FindVar(w.text); slot >= 0) {
    ExprPtr e = Node(ExprKind::Var, w.line);
    e->slot = slot;
    e->varType = out_.tree.vars[static_cast<std::size_t>(slot)].type;
    e->text = w.text;
    return e;
  }
  std::string folded = Fold(w.text);
  if (folded == "player" || folded == "playerref") {  // 00000014 (§3 of the scenario language)
    ExprPtr e = Node(ExprKind::Form, w.line);
    e->form = 0x14;
    return e;
  }
  if (std::optional<FormId> f = names_.Form(w.text)) {
    // A global's name reads and sets its value, as a variable (§1.4).
    if (std::optional<OtherVar> g = names_.GlobalVar(*f)) {
      ExprPtr e = Node(ExprKind::ExtVar, w.line);
      e->form = *f;
      e->slot = g->slot;
      e->varType = g->type;
      e->text = w.text;
      return e;
    }
    ExprPtr e = Node(ExprKind::Form, w.line);
    e->form = *f;
    e->text = w.text;
    return e;
  }
  if (std::optional<FunctionId> fn = names_.FunctionScript(w.text)) {
    ExprPtr e = Node(ExprKind::Function, w.line);
    e->function = *fn;
    e->text = w.text;
    return e;
  }
  return CommandCall(w, mode, nullptr);
}

}  // namespace cv::sim::script
