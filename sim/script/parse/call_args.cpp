// How a command takes its arguments (script-language.md §4.3): as many as
// its parameters, separated by spaces or commas. When a command has more
// than one parameter, a top-level comparison or logic operator ends its
// arguments, so `ar_Find 2 arr != x` compares the call's result. The
// compiler's checks on plug-in commands' arguments are here too.
#include <algorithm>

#include "host/nvse_records.h"
#include "sim/script/parse/parser.h"
#include "sim/script/value/text.h"

namespace cv::sim::script {

namespace {

// Each argument of a multi-parameter command stops before the comparisons
// (binding power 15 and below, §4.2).
constexpr int kArgBp = 15;
// Vanilla arguments are single operands (§4.1): a literal, a name, a
// parenthesised expression or a negative number.
constexpr int kVanillaArgBp = 100;
// The most arguments Call passes to a function (§11.1, kMaxUdfParams).
constexpr std::size_t kMaxUdfArgs = 15;

struct SpecialName {
  std::string_view name;
  Special special;
};
constexpr SpecialName kSpecials[] = {
    {"print", Special::Print},
    {"eval", Special::Eval},
    {"testexpr", Special::TestExpr},
    {"assert", Special::Assert},
    {"asserttrue", Special::Assert},
    {"call", Special::Call},
    {"setfunctionvalue", Special::SetFunctionValue},
    {"printvar", Special::PrintVar},
    {"printv", Special::PrintVar},
};

const char* ParamTypeName(UInt32 type) {
  switch (type) {
    case kParamType_String: return "a string";
    case kParamType_Integer: return "an integer";
    case kParamType_Float: return "a float";
    default: return "a form";
  }
}

}  // namespace

bool Parser::ArgumentStarts(Mode mode) const {
  const Token& t = Peek();
  switch (t.kind) {
    case Tok::Number:
    case Tok::String:
    case Tok::Word: return true;
    case Tok::Op: break;
    default: return false;
  }
  if (t.text == "(" || t.text == ",") return true;
  // A minus right before an operand, with space before it, is a sign
  // (§3.6): `GetAV Health -5` passes -5.
  if (t.text == "-") return t.spaced && !Peek(1).spaced;
  if (mode == Mode::Xnvse) return t.text == "$" || t.text == "#" || t.text == "!";
  return false;
}

// A command of one expression (Print, eval, Assert...) takes any
// expression, the unary operators included.
bool Parser::ExpressionStarts() const {
  const Token& t = Peek();
  if (t.kind == Tok::Op && (t.text == "*" || t.text == "&" || t.text == "-" || t.text == "~" ||
                            t.text == "$" || t.text == "#" || t.text == "!" || t.text == "("))
    return true;
  return ArgumentStarts(Mode::Xnvse) && !IsOp(",");
}

void Parser::CommandArgs(Expr& call, Mode mode, std::size_t maxArgs, bool singleWhole) {
  for (std::size_t i = 0; i < maxArgs; ++i) {
    if (i > 0 && IsOp(",")) Next();
    if (singleWhole ? !ExpressionStarts() : (!ArgumentStarts(mode) || IsOp(","))) break;
    ExprPtr arg;
    const std::size_t pi = std::min(i, call.builtin != nullptr ? call.builtin->params.size() : 0);
    if (call.builtin != nullptr && pi < call.builtin->params.size() &&
        call.builtin->params[pi].type == Param::Name && Peek().kind == Tok::Word) {
      arg = Node(ExprKind::String, Peek().line);
      arg->text = Next().text;
    } else if (singleWhole)
      arg = ParseExpr(Mode::Xnvse);
    else if (mode == Mode::Vanilla)
      arg = ParseExpr(Mode::Vanilla, kVanillaArgBp);
    else {
      arg = ParseExpr(Mode::Xnvse, kArgBp);
      // A key::value pair (§12.2 ar_Map) or a range lo:hi (§12.3 ar_Find,
      // §12.4 ar_Erase) is one argument.
      if (IsOp("::") || IsOp(":")) {
        Token op = Next();
        ExprPtr joined = Node(ExprKind::Binary, op.line);
        joined->op = op.text;
        joined->kids.push_back(std::move(arg));
        joined->kids.push_back(ParseExpr(Mode::Xnvse, kArgBp));
        arg = std::move(joined);
      }
    }
    call.kids.push_back(std::move(arg));
  }
}

ExprPtr Parser::CommandCall(const Token& name, Mode mode, ExprPtr ref) {
  ExprPtr call = Node(ExprKind::Call, name.line);
  call->text = name.text;
  call->inExpression = mode == Mode::Xnvse;
  if (ref) {
    call->hasRef = true;
    call->kids.push_back(std::move(ref));
  }
  const std::string folded = Fold(name.text);
  for (const SpecialName& s : kSpecials) {
    if (folded != s.name) continue;
    call->special = s.special;
    if (s.special == Special::PrintVar) {
      // PrintVar var1 [var2 ... up to 15] (§10.3): variables of this script.
      for (std::size_t i = 0; i < kMaxUdfArgs; ++i) {
        if (i > 0 && IsOp(",")) Next();
        if (Peek().kind != Tok::Word) break;
        const int slot = FindVar(Peek().text);
        if (slot < 0) Fail("PrintVar takes variables: " + Peek().text + " is none");
        Token v = Next();
        ExprPtr var = Node(ExprKind::Var, v.line);
        var->slot = slot;
        var->varType = out_.tree.vars[static_cast<std::size_t>(slot)].type;
        var->text = v.text;
        call->kids.push_back(std::move(var));
      }
      if (call->kids.size() == (call->hasRef ? 1U : 0U)) Fail(name.text + " needs a variable");
    } else if (s.special == Special::Call) {
      // Call's function: a name, variable, element, result or lambda.
      if (!ArgumentStarts(Mode::Xnvse)) Fail("Call needs a function");
      call->kids.push_back(ParseExpr(Mode::Xnvse, kVanillaArgBp));
      // Commas may separate the arguments, the function's too (§4.3).
      if (IsOp(",") && (Peek(1).kind != Tok::Newline && Peek(1).kind != Tok::End)) Next();
      CommandArgs(*call, Mode::Xnvse, kMaxUdfArgs, false);
    } else {
      CommandArgs(*call, Mode::Xnvse, 1, true);
      if (call->kids.size() == (call->hasRef ? 1U : 0U)) Fail(name.text + " needs an expression");
    }
    return call;
  }
  if (const Builtin* b = Builtins().Find(name.text)) {
    call->builtin = b;
    // In a game expression (set, if) each argument is one operand, as for
    // a plug-in's command (§4.1, §4.3), so `if GetStage Q < 20` compares the
    // result.
    const bool single = mode == Mode::Xnvse && b->params.size() == 1 && b->repeatLast == 0;
    CommandArgs(*call, mode, b->MaxArgs(), single);
    std::size_t given = call->kids.size() - (call->hasRef ? 1 : 0);
    for (std::size_t i = given; i < b->params.size(); ++i)
      if (!b->params[i].optional)
        Fail(std::string(b->name) + ": argument " + std::to_string(i + 1) + " is required");
    return call;
  }
  int index = -1;
  if (const CommandInfo* cmd = names_.PluginCommand(name.text, index)) {
    call->plugin = cmd;
    call->pluginIndex = index;
    const std::size_t n = cmd->numParams;
    CommandArgs(*call, mode, n, mode == Mode::Xnvse && n == 1);
    const std::size_t first = call->hasRef ? 1 : 0;
    const std::size_t given = call->kids.size() - first;
    // The script compiler's checks (docs/corvane-sim.md, "Calls are checked
    // as the script compiler checks them"): every required argument given,
    // and a literal of a kind its parameter takes.
    for (std::size_t i = 0; i < n; ++i) {
      const ParamInfo& p = cmd->params[i];
      std::string which = "argument " + std::to_string(i + 1) + " (" +
                          (p.typeStr != nullptr ? p.typeStr : "") + ") of " + cmd->longName;
      if (i >= given) {
        if (p.isOptional == 0) Fail(which + " is required");
        continue;
      }
      const Expr& a = *call->kids[first + i];
      const bool number = p.typeID == kParamType_Integer || p.typeID == kParamType_Float;
      if ((number && (a.kind == ExprKind::String || a.kind == ExprKind::Form)) ||
          (p.typeID == kParamType_String && a.kind == ExprKind::Form) ||
          (!number && p.typeID != kParamType_String &&
           (a.kind == ExprKind::String || (a.kind == ExprKind::Number && a.number != 0))))
        Fail(which + " must be " + ParamTypeName(p.typeID));
    }
    return call;
  }
  Unmodelled(name);
  while (!AtLineEnd() && !IsOp(")")) Next();
  return call;  // neither built-in nor plug-in: the load refuses it
}

void Parser::Unmodelled(const Token& name) {
  for (const Diagnostic& d : out_.unmodelled)
    if (EqualsNoCase(d.message, name.text)) return;
  out_.unmodelled.push_back({name.line, name.text});
}

}  // namespace cv::sim::script
