// The parse tree of a script: declarations, blocks, statements and
// expressions, every node with its source line.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "sim/script/builtins/registry.h"
#include "sim/script/value/value.h"

struct CommandInfo;

namespace cv::sim::script {

// Declared variable types (§1.3): short/int/long are one integer kind.
enum class VarType : std::uint8_t { Int, Float, Ref, String, Array };

struct VarDecl {
  std::string name;  // as first written
  VarType type = VarType::Float;
  int line = 0;
};

// The commands the language itself runs (§10, §11.2): not in the built-in
// table, compiled to their own instructions.
enum class Special : std::uint8_t {
  None,
  Print,
  Eval,
  TestExpr,
  Assert,
  Call,
  SetFunctionValue,
  PrintVar,  // its arguments are variables, printed with their names
};

enum class ExprKind : std::uint8_t {
  Number,    // number
  String,    // text
  Var,       // a variable of this script: slot, varType
  ExtVar,    // another script's variable: form (quest or reference), slot, varType
  Form,      // a form named by editor id or id: form
  Function,  // a function script named by its name: function
  Lambda,    // an inline lambda: lambda (index in the script's lambdas)
  Unary,     // op, kids[0]
  Binary,    // op, kids[0], kids[1]
  Assign,    // op (":=", "+=", ...), kids[0] target, kids[1] value
  Index,     // kids[0][kids[1]]; a slice when kids[1] is Binary ":"
  Call,      // a command: builtin / plugin / special; args in kids; ref when hasRef
};

struct Expr {
  ExprKind kind = ExprKind::Number;
  int line = 0;
  std::string op;  // Unary, Binary, Assign
  double number = 0;
  std::string text;  // String; Call: the command name as written
  int slot = -1;
  VarType varType = VarType::Float;
  FormId form = 0;
  FunctionId function = 0;
  int lambda = -1;
  bool shortCircuit = true;  // &&, ||: xNVSE short-circuits, vanilla does not (§4.1)
  // Call
  Special special = Special::None;
  const Builtin* builtin = nullptr;
  const CommandInfo* plugin = nullptr;
  int pluginIndex = -1;
  bool hasRef = false;  // ref.Command: the reference is kids[0], arguments after it
  // Call: false when a game expression or a command line of its own runs it,
  // outside any script extender expression (ar_Construct needs one, §12.1).
  bool inExpression = true;
  std::vector<std::unique_ptr<Expr>> kids;
};
using ExprPtr = std::unique_ptr<Expr>;

enum class StmtKind : std::uint8_t { Expr, If, While, ForEach, Break, Continue, Return };

struct Stmt {
  StmtKind kind = StmtKind::Expr;
  int line = 0;
  bool vanilla = false;  // set / plain if / a bare command line (§5.2 errors stop the script)
  ExprPtr expr;          // Expr; While: condition; ForEach: Binary "<-"
  // If: each branch's condition (null for else) and body; vanilla per branch.
  struct Branch {
    ExprPtr cond;
    bool vanilla = false;
    int line = 0;
    std::vector<Stmt> body;
  };
  std::vector<Branch> branches;
  std::vector<Stmt> body;  // While, ForEach
};

struct Block {
  std::string type;         // as written (GameMode, OnActivate, Function...)
  ExprPtr param;            // the block's parameter, if any (a form)
  std::vector<int> params;  // Function: the parameter variables' slots
  int line = 0;
  std::vector<Stmt> body;
};

// A lambda: its body runs on the enclosing script's variables (§11.3).
struct Lambda {
  std::vector<int> params;
  std::vector<Stmt> body;
  int line = 0;
};

struct ScriptTree {
  std::string name;  // from scn/ScriptName, else the file name
  std::vector<VarDecl> vars;
  std::vector<Block> blocks;
  std::vector<Lambda> lambdas;
};

}  // namespace cv::sim::script
