#include "sim/script/compile/emit.h"

#include <algorithm>
#include <string>

namespace cv::sim::script {

namespace {

// Room for what a built-in call or an error path pushes beyond the count.
constexpr int kStackSlack = 8;

struct Loop {
  std::vector<int> continues;
  bool foreach = false;
  std::vector<int> breaks;
  int iterSlot = -1;  // foreach: the iterator variable
};

class Emitter {
 public:
  explicit Emitter(Chunk& c) : c_(c) {}

  void Statements(const std::vector<Stmt>& body) {
    for (const Stmt& s : body) Statement(s);
  }

  void Finish() {
    line_ = 0;
    Emit(Op::Return, 0, 0, 0);
    c_.maxStack = max_ + kStackSlack;
  }

 private:
  int Here() const { return static_cast<int>(c_.code.size()); }

  int Emit(Op op, int a, int b, int effect, int c = 0, int pad = 0) {
    c_.code.push_back(
        Instr{op, static_cast<std::uint8_t>(pad), static_cast<std::uint16_t>(b), a, c});
    c_.lines.push_back(line_);
    depth_ += effect;
    if (depth_ > max_) max_ = depth_;
    return Here() - 1;
  }
  void Patch(int at, int target) { c_.code[static_cast<std::size_t>(at)].a = target; }

  int Constant(Value v) {
    c_.constants.push_back(v);
    return static_cast<int>(c_.constants.size()) - 1;
  }

  // The span of one statement's own code, for errors (§5.2, §8).
  std::size_t Span(int begin, bool vanilla, int line) {
    c_.stmts.push_back(StmtSpan{begin, Here(), Here(), vanilla, line});
    return c_.stmts.size() - 1;
  }

  void Statement(const Stmt& s) {
    line_ = s.line;
    switch (s.kind) {
      case StmtKind::Expr: {
        int begin = Here();
        const struct Expr& e = *s.expr;
        if (e.kind == ExprKind::Assign && (e.op == "+=" || e.op == "-=") &&
            e.kids[0]->kind == ExprKind::Var && e.kids[1]->kind == ExprKind::Number &&
            (e.kids[0]->varType == VarType::Int || e.kids[0]->varType == VarType::Float)) {
          // x += n, x -= n as a line of its own: nothing left on the stack
          Emit(Op::AddConst, e.kids[0]->slot, static_cast<int>(e.kids[0]->varType), 0,
               Constant(Value::Number(e.kids[1]->number)),
               static_cast<int>(e.op == "+=" ? BinOp::Add : BinOp::Sub));
        } else {
          Gen(e);
          Emit(Op::Pop, 0, 0, -1);
        }
        Span(begin, s.vanilla, s.line);
        break;
      }
      case StmtKind::If: {
        std::vector<int> ends;
        for (const Stmt::Branch& b : s.branches) {
          line_ = b.line;
          int skip = -1;
          if (b.cond) {
            int begin = Here();
            Gen(*b.cond);
            skip = Emit(Op::JumpIfFalse, 0, 0, -1);
            Span(begin, b.vanilla, b.line);
          }
          Statements(b.body);
          line_ = b.line;
          ends.push_back(Emit(Op::Jump, 0, 0, 0));
          if (skip >= 0) Patch(skip, Here());
        }
        for (int e : ends) Patch(e, Here());
        break;
      }
      case StmtKind::While: {
        int top = Here();
        const struct Expr& cond = *s.expr;
        int exit = 0;
        const bool fused = IsVarCompare(cond);
        const bool rightVar = fused && cond.kids[1]->kind == ExprKind::Var;
        const int k = !fused     ? 0
                      : rightVar ? cond.kids[1]->slot
                                 : Constant(Value::Number(cond.kids[1]->number));
        const int op =
            fused ? static_cast<int>(BinaryOf(cond.op)) | (rightVar ? kRightIsVar : 0) : 0;
        if (fused) {
          // while x < n or x < y (and the other comparisons): tested at the top once,
          // then at the bottom, jumping back while it holds.
          exit = Emit(Op::JumpIfNot, 0, cond.kids[0]->slot, 0, k, op);
        } else {
          Gen(cond);
          exit = Emit(Op::JumpIfFalse, 0, 0, -1);
        }
        std::size_t span = Span(top, false, s.line);
        const int body = Here();
        loops_.push_back(Loop{{}, false, {}});
        Statements(s.body);
        line_ = s.line;
        for (int cont : loops_.back().continues) Patch(cont, Here());
        if (fused) {
          const int bottom = Emit(Op::JumpIfNot, body, cond.kids[0]->slot, 0, k, op | kJumpIfHolds);
          c_.stmts.push_back(StmtSpan{bottom, bottom + 1, bottom + 1, false, s.line});
        } else {
          Emit(Op::Jump, top, 0, 0);
        }
        Patch(exit, Here());
        c_.stmts[span].resume = Here();  // a failed condition ends the loop
        for (int b : loops_.back().breaks) Patch(b, Here());
        loops_.pop_back();
        break;
      }
      case StmtKind::ForEach: {
        const struct Expr& iter = *s.expr->kids[0];
        int begin = Here();
        Gen(*s.expr->kids[1]);
        Emit(Op::IterInit, 0, iter.slot, -1);
        // A source that fails or is no array, string or form list makes the
        // ForEach command return false, which stops the script for this run
        // (§8.3, §5.2).
        std::size_t span = Span(begin, true, s.line);
        int top = Emit(Op::IterNext, 0, iter.slot, 0);
        loops_.push_back(Loop{{}, true, {}, iter.slot});
        Statements(s.body);
        line_ = s.line;
        for (int cont : loops_.back().continues) Patch(cont, top);
        Emit(Op::Jump, top, 0, 0);
        Patch(top, Here());
        c_.stmts[span].resume = Here();
        for (int b : loops_.back().breaks) Patch(b, Here());
        loops_.pop_back();
        break;
      }
      case StmtKind::Break:
        if (loops_.back().foreach) Emit(Op::IterEnd, 0, loops_.back().iterSlot, 0);
        loops_.back().breaks.push_back(Emit(Op::Jump, 0, 0, 0));
        break;
      case StmtKind::Continue: loops_.back().continues.push_back(Emit(Op::Jump, 0, 0, 0)); break;
      case StmtKind::Return: Emit(Op::Return, 0, 0, 0); break;
    }
  }

  // A comparison of a variable with a number or another variable.
  static bool IsVarCompare(const struct Expr& e) {
    if (e.kind != ExprKind::Binary || e.kids[0]->kind != ExprKind::Var ||
        (e.kids[1]->kind != ExprKind::Number && e.kids[1]->kind != ExprKind::Var))
      return false;
    BinOp op = BinaryOf(e.op);
    return op == BinOp::Lt || op == BinOp::Le || op == BinOp::Gt || op == BinOp::Ge ||
           op == BinOp::Eq || op == BinOp::Ne;
  }

  static BinOp BinaryOf(const std::string& op) {
    if (op == "+" || op == "+=") return BinOp::Add;
    if (op == "-" || op == "-=") return BinOp::Sub;
    if (op == "*" || op == "*=") return BinOp::Mul;
    if (op == "/" || op == "/=") return BinOp::Div;
    if (op == "%" || op == "%=") return BinOp::Mod;
    if (op == "^" || op == "^=") return BinOp::Pow;
    if (op == "|" || op == "|=") return BinOp::BitOr;
    if (op == "&" || op == "&=") return BinOp::BitAnd;
    if (op == "<<") return BinOp::Shl;
    if (op == ">>") return BinOp::Shr;
    if (op == "==") return BinOp::Eq;
    if (op == "!=") return BinOp::Ne;
    if (op == "<") return BinOp::Lt;
    if (op == ">") return BinOp::Gt;
    if (op == "<=") return BinOp::Le;
    if (op == ">=") return BinOp::Ge;
    if (op == "&&") return BinOp::And;
    if (op == "||") return BinOp::Or;
    if (op == ":") return BinOp::Range;
    return BinOp::Pair;  // ::
  }

  static UnOp UnaryOf(const std::string& op) {
    if (op == "-") return UnOp::Neg;
    if (op == "!") return UnOp::Not;
    if (op == "~") return UnOp::BitNot;
    if (op == "$") return UnOp::ToString;
    if (op == "#") return UnOp::ToNumber;
    if (op == "&") return UnOp::Box;
    return UnOp::Unbox;
  }

  void Gen(const struct Expr& e) {
    const int saved = line_;
    line_ = e.line;
    switch (e.kind) {
      case ExprKind::Number: Emit(Op::Const, Constant(Value::Number(e.number)), 0, 1); break;
      case ExprKind::String:
        c_.texts.push_back(e.text);
        Emit(Op::Str, static_cast<int>(c_.texts.size()) - 1, 0, 1);
        break;
      case ExprKind::Var: Emit(Op::Load, e.slot, 0, 1); break;
      case ExprKind::ExtVar: Emit(Op::LoadExt, e.slot, Constant(Value::Form(e.form)), 1); break;
      case ExprKind::Form: Emit(Op::Const, Constant(Value::Form(e.form)), 0, 1); break;
      case ExprKind::Function: Emit(Op::Const, Constant(Value::Function(e.function)), 0, 1); break;
      case ExprKind::Lambda: Emit(Op::Lambda, e.lambda, 0, 1); break;
      case ExprKind::Unary:
        Gen(*e.kids[0]);
        Emit(Op::Unary, static_cast<int>(UnaryOf(e.op)), 0, 0);
        break;
      case ExprKind::Binary: BinaryExpr(e); break;
      case ExprKind::Assign: Assign(e); break;
      case ExprKind::Index: IndexExpr(e); break;
      case ExprKind::Call: CallExpr(e); break;
    }
    line_ = saved;
  }

  void BinaryExpr(const struct Expr& e) {
    BinOp op = BinaryOf(e.op);
    if ((op == BinOp::And || op == BinOp::Or) && e.shortCircuit) {
      // xNVSE skips the right operand once the left decides (§4.2).
      Gen(*e.kids[0]);
      int jump = Emit(op == BinOp::And ? Op::JumpIfFalseKeep : Op::JumpIfTrueKeep, 0, 0, -1);
      Gen(*e.kids[1]);
      Emit(Op::ToBool, 0, 0, 0);
      Patch(jump, Here());
      return;
    }
    Gen(*e.kids[0]);
    Gen(*e.kids[1]);
    Emit(Op::Binary, static_cast<int>(op), 0, -1);
  }

  // missingIsEmpty: Print shows a missing element as an empty line, with no
  // error (§10.3).
  void IndexExpr(const struct Expr& e, bool missingIsEmpty = false) {
    const struct Expr& key = *e.kids[1];
    Gen(*e.kids[0]);
    const bool stringVar =
        e.kids[0]->kind == ExprKind::Var && e.kids[0]->varType == VarType::String;
    if (key.kind == ExprKind::Binary && key.op == ":") {
      Gen(*key.kids[0]);
      Gen(*key.kids[1]);
      Emit(Op::Slice, 0, stringVar ? 1 : 0, -2);
      return;
    }
    Gen(key);
    Emit(Op::Index, 0, stringVar ? 1 : 0, -1, 0, (missingIsEmpty ? 1 : 0) | (e.op == "->" ? 2 : 0));
  }

  void Assign(const struct Expr& e) {
    const struct Expr& target = *e.kids[0];
    const bool plain = e.op == ":=";
    const int op = static_cast<int>(BinaryOf(e.op));
    switch (target.kind) {
      case ExprKind::Var:
        if (!plain) Emit(Op::Load, target.slot, 0, 1);
        Gen(*e.kids[1]);
        if (!plain) Emit(Op::Binary, op, 0, -1);
        Emit(Op::Store, target.slot, static_cast<int>(target.varType), 0);
        break;
      case ExprKind::ExtVar: {
        int owner = Constant(Value::Form(target.form));
        if (!plain) Emit(Op::LoadExt, target.slot, owner, 1);
        Gen(*e.kids[1]);
        if (!plain) Emit(Op::Binary, op, 0, -1);
        Emit(Op::StoreExt, target.slot, owner, 0);
        break;
      }
      default:  // Index
        Gen(*target.kids[0]);
        Gen(*target.kids[1]);
        if (!plain) {
          Emit(Op::Dup2, 0, 0, 2);
          Emit(Op::Index, 0, 0, -1);
        }
        Gen(*e.kids[1]);
        if (!plain) Emit(Op::Binary, op, 0, -1);
        Emit(Op::StoreIndex, 0, 0, -2);
    }
  }

  // The script's variables an expression names, each once, in order (a
  // lambda's body is its own).
  static void NamedVars(const struct Expr& e, std::vector<int>& out) {
    if (e.kind == ExprKind::Var && std::find(out.begin(), out.end(), e.slot) == out.end())
      out.push_back(e.slot);
    for (const auto& k : e.kids) NamedVars(*k, out);
  }

  void CallExpr(const struct Expr& e) {
    switch (e.special) {
      case Special::SetFunctionValue: {
        // A value that fails to evaluate is reported, leaves the function
        // no value, and says so (§11.2).
        const int begin = Emit(Op::TryBegin, 0, 1, 0);
        Gen(*e.kids[e.hasRef ? 1 : 0]);
        Emit(Op::TryEnd, 0, 1, 0);
        Emit(Op::SetResult, 0, 0, 0);
        const int done = Emit(Op::Jump, 0, 0, 0);
        Patch(begin, Here());
        Emit(Op::SetResult, 0, 0, 0);  // the failure's 0: no value
        c_.texts.emplace_back("SetFunctionValue statement failed.");
        Emit(Op::Str, static_cast<int>(c_.texts.size()) - 1, 0, 1);
        Emit(Op::Print, 0, 0, 0);
        Emit(Op::Pop, 0, 0, -1);
        Patch(done, Here());
        return;
      }
      case Special::PrintVar:
        // One line per variable, NAME: VALUE (§10.3).
        for (std::size_t i = e.hasRef ? 1 : 0; i < e.kids.size(); ++i) {
          Gen(*e.kids[i]);
          Emit(Op::Print, 0, 0, 0, e.kids[i]->slot, 1);
          Emit(Op::Pop, 0, 0, -1);
        }
        Emit(Op::Const, Constant(Value::Number(1)), 0, 1);
        return;
      case Special::Print:
        if (const struct Expr& v = *e.kids[e.hasRef ? 1 : 0];
            e.special == Special::Print && v.kind == ExprKind::Index)
          IndexExpr(v, true);
        else
          Gen(v);
        Emit(e.special == Special::Print ? Op::Print : Op::SetResult, 0, 0, 0);
        return;
      case Special::Assert: {
        // An expression that fails fails the assertion, its error reported
        // as well (§10.1).
        int begin = Emit(Op::TryBegin, 0, 1, 0);
        Gen(*e.kids[e.hasRef ? 1 : 0]);
        Emit(Op::TryEnd, 0, 1, 0);
        Patch(begin, Here());
        std::vector<int> named;
        NamedVars(*e.kids[e.hasRef ? 1 : 0], named);
        c_.assertVars.push_back(std::move(named));
        // A string_var's GetNumber is its string's id: true when it holds one.
        const struct Expr& tested = *e.kids[e.hasRef ? 1 : 0];
        const bool stringVar = tested.kind == ExprKind::Var && tested.varType == VarType::String;
        Emit(Op::Assert, e.line, stringVar ? 1 : 0, 0, static_cast<int>(c_.assertVars.size()) - 1);
        return;
      }
      case Special::Eval:
      case Special::TestExpr: {
        // eval reports its errors and gives 0 on one (§3.3); TestExpr
        // keeps them quiet and gives 1 when none happened (§10.2).
        const int report = e.special == Special::Eval ? 1 : 0;
        int begin = Emit(Op::TryBegin, 0, report, 0);
        Gen(*e.kids[e.hasRef ? 1 : 0]);
        // An array element is true only as a number or form other than 0
        // (§10.2, ArrayElementToken::GetBool).
        const struct Expr& v = *e.kids[e.hasRef ? 1 : 0];
        const bool element = v.kind == ExprKind::Index &&
                             !(v.kids[1]->kind == ExprKind::Binary && v.kids[1]->op == ":");
        if (report != 0) Emit(Op::Eval, 0, element ? 1 : 0, 0);
        Emit(Op::TryEnd, 0, report, 0);
        Patch(begin, Here());
        return;
      }
      case Special::Call: {
        std::size_t first = e.hasRef ? 1 : 0;
        for (std::size_t i = first; i < e.kids.size(); ++i) Gen(*e.kids[i]);
        int argc = static_cast<int>(e.kids.size() - first) - 1;
        Emit(Op::CallFunction, 0, argc, -argc);
        return;
      }
      case Special::None: break;
    }
    if (e.builtin == nullptr && e.plugin == nullptr) {  // not modelled: the load refuses it
      Emit(Op::Const, Constant(Value::Number(0)), 0, 1);
      return;
    }
    CallSite site;
    const int first = e.hasRef ? 1 : 0;
    for (int i = 0; i < static_cast<int>(e.kids.size()); ++i) {
      const struct Expr& k = *e.kids[static_cast<std::size_t>(i)];
      if (e.plugin != nullptr && i >= first && k.kind == ExprKind::String) {
        // A plug-in command takes a literal's text as it is: no string made
        // per call.
        site.literals.push_back(CallSite::Literal{i - first, k.text});
        Emit(Op::Const, Constant(Value::Number(0)), 0, 1);
        continue;
      }
      Gen(k);
    }
    site.builtin = e.builtin;
    site.plugin = e.plugin;
    site.hasRef = e.hasRef;
    site.argc = static_cast<int>(e.kids.size()) - (e.hasRef ? 1 : 0);
    site.name = e.text;
    site.inExpression = e.inExpression;
    c_.calls.push_back(std::move(site));
    int n = static_cast<int>(e.kids.size());
    Emit(Op::Call, static_cast<int>(c_.calls.size()) - 1, n, 1 - n);
  }

  Chunk& c_;
  int line_ = 0;
  int depth_ = 0;
  int max_ = 0;
  std::vector<Loop> loops_;
};

}  // namespace

Chunk CompileBody(const ScriptTree& /*tree*/, const std::vector<Stmt>& body,
                  const std::vector<int>& params) {
  Chunk c;
  c.params = params;
  Emitter e(c);
  e.Statements(body);
  e.Finish();
  return c;
}

}  // namespace cv::sim::script
