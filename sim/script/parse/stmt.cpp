// Scripts, blocks, declarations and statements (script-language.md §1-§3,
// §11).
#include <array>

#include "sim/script/parse/parser.h"
#include "sim/script/value/text.h"

namespace cv::sim::script {

namespace {

// The if stack holds 10 levels (§3.3, kStackDepth = 10); whether the 10th
// is allowed is UNCONFIRMED: an 11th nested level is refused.
constexpr int kMaxIfDepth = 10;
// The most parameters a function takes (§11.1, kMaxUdfParams).
constexpr std::size_t kMaxParams = 15;

// The block types a script may begin (§2.2); any other is refused by name.
constexpr std::array<std::string_view, 36> kBlockTypes = {"GameMode",
                                                          "MenuMode",
                                                          "OnActivate",
                                                          "OnLoad",
                                                          "OnAdd",
                                                          "OnEquip",
                                                          "OnUnequip",
                                                          "OnDrop",
                                                          "OnDeath",
                                                          "OnHit",
                                                          "OnHitWith",
                                                          "OnMurder",
                                                          "OnTriggerEnter",
                                                          "OnTriggerLeave",
                                                          "OnTrigger",
                                                          "OnStartCombat",
                                                          "OnCombatEnd",
                                                          "OnReset",
                                                          "ScriptEffectStart",
                                                          "ScriptEffectUpdate",
                                                          "ScriptEffectFinish",
                                                          "Function",
                                                          "SayToDone",
                                                          "OnPackageStart",
                                                          "OnPackageDone",
                                                          "OnPackageChange",
                                                          "OnMagicEffectHit",
                                                          "OnActorEquip",
                                                          "OnActorUnequip",
                                                          "OnGrab",
                                                          "OnRelease",
                                                          "OnSell",
                                                          "OnOpen",
                                                          "OnClose",
                                                          "OnFire",
                                                          "OnDestructionStageChange"};

// Variable type keywords (§1.3, g_validVariableTypeNames).
std::optional<VarType> TypeKeyword(std::string_view word) {
  std::string w = Fold(word);
  if (w == "short" || w == "int" || w == "long") return VarType::Int;
  if (w == "float") return VarType::Float;
  if (w == "ref" || w == "reference") return VarType::Ref;
  if (w == "string_var") return VarType::String;
  if (w == "array_var") return VarType::Array;
  return std::nullopt;
}

// The keyword a type is declared with (short and long are int).
const char* TypeName(VarType t) {
  switch (t) {
    case VarType::Int: return "int";
    case VarType::Float: return "float";
    case VarType::Ref: return "ref";
    case VarType::String: return "string_var";
    default: return "array_var";
  }
}

}  // namespace

const Token& Parser::Peek(std::size_t k) const {
  std::size_t i = pos_ + k;
  return t_[i < t_.size() ? i : t_.size() - 1];
}
bool Parser::IsOp(std::string_view op, std::size_t k) const {
  return Peek(k).kind == Tok::Op && Peek(k).text == op;
}
bool Parser::IsWord(std::string_view word, std::size_t k) const {
  return Peek(k).kind == Tok::Word && EqualsNoCase(Peek(k).text, word);
}
bool Parser::AtLineEnd() const { return Peek().kind == Tok::Newline || Peek().kind == Tok::End; }
void Parser::ExpectOp(std::string_view op) {
  if (!IsOp(op)) Fail("expected '" + std::string(op) + "'");
  Next();
}
void Parser::ExpectLineEnd() {
  if (!AtLineEnd()) Fail("unexpected '" + Peek().text + "' at the end of the line");
  if (Peek().kind == Tok::Newline) Next();
}
void Parser::SkipLine() {
  while (!AtLineEnd()) Next();
  if (Peek().kind == Tok::Newline) Next();
}
void Parser::Fail(const std::string& message) const { throw ParseFail{Peek().line, message}; }

int Parser::FindVar(std::string_view name) const {
  auto it = varIndex_.find(Fold(name));
  return it == varIndex_.end() ? -1 : it->second;
}

int Parser::Declare(const std::string& name, VarType type, int line) {
  if (int slot = FindVar(name); slot >= 0) {
    // xNVSE refuses a redeclaration with another type (§1.3, ValidateVariable).
    if (const VarType first = out_.tree.vars[static_cast<std::size_t>(slot)].type; first != type)
      Fail(std::string("Variable redefinition with a different type (saw first '") +
           TypeName(first) + "', then '" + TypeName(type) + "')");
    return slot;
  }
  int slot = static_cast<int>(out_.tree.vars.size());
  out_.tree.vars.push_back({name, type, line});
  varIndex_[Fold(name)] = slot;
  return slot;
}

void Parser::Declaration(VarType type, std::vector<Stmt>* into, bool inLet) {
  // short a, b = 5, c (§1.2: comma lists and initialisers)
  for (;;) {
    if (Peek().kind != Tok::Word) Fail("expected a variable name");
    Token name = Next();
    int slot = Declare(name.text, type, name.line);
    if (IsOp("=") || IsOp(":=")) {
      Token op = Next();
      if (into == nullptr) Fail("an initialiser must be inside a Begin ... End block");
      ExprPtr target = Node(ExprKind::Var, name.line);
      target->slot = slot;
      target->varType = type;
      target->text = name.text;
      ExprPtr assign = Node(ExprKind::Assign, op.line);
      assign->op = ":=";
      assign->kids.push_back(std::move(target));
      assign->kids.push_back(ParseExpr(Mode::Xnvse, 3));
      Stmt s;
      s.line = name.line;
      s.expr = std::move(assign);
      into->push_back(std::move(s));
    } else if (inLet) {
      Fail("Expected assignment in Let statement.");
    }
    if (!IsOp(",")) break;
    Next();
  }
}

std::vector<int> Parser::ParamList() {
  // { [type] name, ... } (§11.1): a type keyword declares a new variable,
  // a bare name must be declared already.
  ExpectOp("{");
  std::vector<int> params;
  std::optional<VarType> type;
  while (!IsOp("}")) {
    if (Peek().kind != Tok::Word)
      Fail("Could not parse user function parameter list in function definition.");
    Token w = Next();
    if (std::optional<VarType> t = TypeKeyword(w.text)) {
      type = t;
      continue;
    }
    int slot = type ? Declare(w.text, *type, w.line) : FindVar(w.text);
    if (slot < 0) Fail("Could not parse user function parameter list in function definition.");
    params.push_back(slot);
    type.reset();
    if (IsOp(",")) Next();
  }
  Next();
  if (params.size() > kMaxParams) Fail("a function takes at most 15 parameters");
  return params;
}

ExprPtr Parser::LambdaExpr() {
  int line = Next().line;  // (
  Lambda lambda;
  lambda.line = line;
  const int savedIf = ifDepth_, savedLoop = loopDepth_;
  ifDepth_ = loopDepth_ = 0;
  if (IsOp("{")) {
    // ({args} => expr): a function whose body is SetFunctionValue expr (§11.3).
    lambda.params = ParamList();
    ExpectOp("=>");
    ExprPtr body = ParseExpr(Mode::Xnvse);
    ExprPtr set = Node(ExprKind::Call, line);
    set->special = Special::SetFunctionValue;
    set->text = "SetFunctionValue";
    set->kids.push_back(std::move(body));
    Stmt s;
    s.line = line;
    s.expr = std::move(set);
    lambda.body.push_back(std::move(s));
  } else {
    Next();  // begin
    if (!IsWord("function")) Fail("a lambda begins with 'begin function'");
    Next();
    lambda.params = ParamList();
    ExpectLineEnd();
    lambda.body = Body({"end"});
    Next();  // end
  }
  ExpectOp(")");
  ifDepth_ = savedIf;
  loopDepth_ = savedLoop;
  ExprPtr e = Node(ExprKind::Lambda, line);
  e->lambda = static_cast<int>(out_.tree.lambdas.size());
  out_.tree.lambdas.push_back(std::move(lambda));
  return e;
}

std::vector<Stmt> Parser::Body(std::vector<std::string_view> ends) {
  std::vector<Stmt> body;
  for (;;) {
    while (Peek().kind == Tok::Newline) Next();
    if (Peek().kind == Tok::End) Fail("missing '" + std::string(ends.front()) + "'");
    for (std::string_view e : ends)
      if (IsWord(e)) return body;
    try {
      Statement(body);
    } catch (const ParseFail& f) {
      out_.errors.push_back({f.line, f.message});
      SkipLine();
    }
  }
}

void Parser::Statement(std::vector<Stmt>& into) {
  const Token& first = Peek();
  Stmt s;
  s.line = first.line;
  std::string w = first.kind == Tok::Word ? Fold(first.text) : "";
  if (std::optional<VarType> type = TypeKeyword(w)) {
    Next();
    Declaration(*type, &into, false);
    ExpectLineEnd();
    return;
  }
  if (w == "set") {  // set VAR to EXPR, a vanilla expression (§3.1)
    Next();
    ExprPtr target = Prefix(Mode::Vanilla);
    if (target->kind != ExprKind::Var && target->kind != ExprKind::ExtVar)
      Fail("set needs a variable");
    if (!IsWord("to")) Fail("expected 'to'");
    Token to = Next();
    ExprPtr assign = Node(ExprKind::Assign, to.line);
    assign->op = ":=";
    assign->kids.push_back(std::move(target));
    assign->kids.push_back(ParseExpr(Mode::Vanilla));
    s.expr = std::move(assign);
    s.vanilla = true;
  } else if (w == "let") {  // let EXPR, an assignment (§3.2)
    Next();
    if (Peek().kind == Tok::Word && TypeKeyword(Peek().text)) {
      VarType type = *TypeKeyword(Next().text);
      Declaration(type, &into, true);
      ExpectLineEnd();
      return;
    }
    s.expr = ParseExpr(Mode::Xnvse);
    if (s.expr->kind != ExprKind::Assign) Fail("Expected assignment in Let statement.");
  } else if (w == "if") {
    if (++ifDepth_ > kMaxIfDepth) {
      --ifDepth_;
      Fail("if statements are nested more than 10 deep");
    }
    s.kind = StmtKind::If;
    for (bool more = true; more;) {
      Stmt::Branch b;
      Token kw = Next();
      b.line = kw.line;
      std::string k = Fold(kw.text);
      if (k != "else") {
        b.cond = Condition(Mode::Vanilla);  // if/elseif: vanilla (§4.1)
        b.vanilla = true;
      } else {
        ExpectLineEnd();
      }
      b.body = Body({"elseif", "else", "endif"});
      s.branches.push_back(std::move(b));
      if (IsWord("endif")) {
        Next();
        more = false;
      } else if (k == "else") {
        Fail("'" + Peek().text + "' after else");
      }
    }
    --ifDepth_;
  } else if (w == "while" || w == "foreach") {  // §3.4
    Next();
    s.kind = w == "while" ? StmtKind::While : StmtKind::ForEach;
    s.expr = s.kind == StmtKind::While ? Condition(Mode::Xnvse) : ParseExpr(Mode::Xnvse);
    if (s.kind == StmtKind::ForEach && (s.expr->kind != ExprKind::Binary || s.expr->op != "<-" ||
                                        s.expr->kids[0]->kind != ExprKind::Var))
      Fail("foreach needs 'variable <- source'");
    if (s.kind == StmtKind::ForEach) ExpectLineEnd();
    ++loopDepth_;
    s.body = Body({"loop"});
    --loopDepth_;
    Next();
  } else if (w == "foreachalt") {
    ForEachAlt(s);
  } else if (w == "break" || w == "continue") {
    if (loopDepth_ == 0)
      Fail(std::string(w == "break" ? "Break" : "Continue") +
           " called outside of a valid loop context.");
    Next();
    s.kind = w == "break" ? StmtKind::Break : StmtKind::Continue;
  } else if (w == "return") {
    Next();
    s.kind = StmtKind::Return;
  } else if (w == "loop") {
    Fail("'Loop' encountered without matching 'While' or 'ForEach'.");
  } else if (w == "elseif" || w == "else" || w == "endif" || w == "end" || w == "begin") {
    Fail("'" + first.text + "' out of place");
  } else {
    // A command line, or the assignment shorthand x = 1, x += 1 (§1.2).
    bool shorthand = first.kind == Tok::Word && (FindVar(first.text) >= 0 || IsOp(".", 1));
    s.expr = ParseExpr(shorthand ? Mode::Xnvse : Mode::Vanilla);
    if (s.expr->kind == ExprKind::Call)
      s.vanilla = s.expr->special == Special::None;
    else if (s.expr->kind != ExprKind::Assign)
      Fail("a line must be a command or an assignment");
  }
  if (s.kind != StmtKind::If && s.kind != StmtKind::While && s.kind != StmtKind::ForEach)
    ExpectLineEnd();
  into.push_back(std::move(s));
}

ExprPtr Parser::VarNode(int slot, int line) {
  ExprPtr e = Node(ExprKind::Var, line);
  e->slot = slot;
  e->varType = out_.tree.vars[static_cast<std::size_t>(slot)].type;
  e->text = out_.tree.vars[static_cast<std::size_t>(slot)].name;
  return e;
}

void Parser::ForEachAlt(Stmt& s) {
  // ForEachAlt (value, key) <- array (§3.4): each pass the element's value
  // goes to the first variable and its key to the second (which may be left
  // out). Run as a foreach over a hidden iterator whose body begins by
  // copying the two out of it.
  Next();
  const bool paren = IsOp("(");
  if (paren) Next();
  std::vector<int> slots;
  for (;;) {
    if (Peek().kind != Tok::Word) Fail("ForEachAlt needs a variable for the value");
    Token v = Next();
    const int slot = FindVar(v.text);
    if (slot < 0) Fail("unknown variable " + v.text);
    slots.push_back(slot);
    if (!IsOp(",") || slots.size() == 2) break;
    Next();
  }
  if (paren) ExpectOp(")");
  ExpectOp("<-");
  const int iter = Declare(" foreachalt " + std::to_string(s.line), VarType::Array, s.line);
  s.kind = StmtKind::ForEach;
  ExprPtr source = ParseExpr(Mode::Xnvse);
  s.expr = Node(ExprKind::Binary, s.line);
  s.expr->op = "<-";
  s.expr->kids.push_back(VarNode(iter, s.line));
  s.expr->kids.push_back(std::move(source));
  ExpectLineEnd();
  constexpr std::array<const char*, 2> kParts = {"value", "key"};
  for (std::size_t i = 0; i < slots.size(); ++i) {
    ExprPtr part = Node(ExprKind::String, s.line);
    part->text = kParts[i];
    ExprPtr index = Node(ExprKind::Index, s.line);
    index->kids.push_back(VarNode(iter, s.line));
    index->kids.push_back(std::move(part));
    ExprPtr assign = Node(ExprKind::Assign, s.line);
    assign->op = ":=";
    assign->kids.push_back(VarNode(slots[i], s.line));
    assign->kids.push_back(std::move(index));
    Stmt copy;
    copy.line = s.line;
    copy.expr = std::move(assign);
    s.body.push_back(std::move(copy));
  }
  ++loopDepth_;
  std::vector<Stmt> rest = Body({"loop"});
  --loopDepth_;
  Next();
  for (Stmt& r : rest) s.body.push_back(std::move(r));
}

ExprPtr Parser::Condition(Mode mode) {
  // The condition line of an if, elseif or while. A fault in it is listed
  // and the block is still read, so its endif or loop is not a fault too.
  try {
    ExprPtr cond = ParseExpr(mode);
    ExpectLineEnd();
    return cond;
  } catch (const ParseFail& f) {
    out_.errors.push_back({f.line, f.message});
    SkipLine();
    return Node(ExprKind::Number, f.line);
  }
}

void Parser::Run(const std::string& defaultName) {
  out_.tree.name = defaultName;
  for (;;) {
    while (Peek().kind == Tok::Newline) Next();
    if (Peek().kind == Tok::End) return;
    bool header = false;
    try {
      const Token& first = Peek();
      std::string w = first.kind == Tok::Word ? Fold(first.text) : "";
      header = w == "begin";
      if (w == "scn" || w == "scriptname") {
        Next();
        if (Peek().kind != Tok::Word) Fail("ScriptName needs a name");
        out_.tree.name = Next().text;
        ExpectLineEnd();
      } else if (std::optional<VarType> type = TypeKeyword(w)) {
        Next();
        Declaration(*type, nullptr, false);
        ExpectLineEnd();
      } else if (w == "begin") {
        Block b;
        b.line = Next().line;
        if (Peek().kind != Tok::Word) Fail("Begin needs a block type");
        Token type = Next();
        std::string_view known;
        for (std::string_view k : kBlockTypes)
          if (EqualsNoCase(k, type.text)) known = k;
        if (known.empty()) Fail("unknown block type " + type.text);
        b.type = std::string(known);
        if (b.type == "Function") {
          b.params = ParamList();
        } else if (!AtLineEnd()) {
          b.param = ParseExpr(Mode::Vanilla, 100);
        }
        ExpectLineEnd();
        b.body = Body({"end"});
        Next();
        if (!AtLineEnd()) Next();  // End GameMode: the type after End is allowed
        ExpectLineEnd();
        out_.tree.blocks.push_back(std::move(b));
      } else {
        Fail("every command must be inside a Begin ... End block");
      }
    } catch (const ParseFail& f) {
      out_.errors.push_back({f.line, f.message});
      if (Peek().kind == Tok::End) return;
      SkipLine();
      // A refused Begin line: its block is passed over to its End.
      while (header && Peek().kind != Tok::End && !IsWord("end")) SkipLine();
      if (header && IsWord("end")) SkipLine();
    }
  }
}

void ParseScript(const std::vector<Token>& tokens, const std::string& defaultName, Names& names,
                 ParseResult& out) {
  Parser p(tokens, names, out);
  p.Run(defaultName);
}

}  // namespace cv::sim::script
