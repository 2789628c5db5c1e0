// Compiled code: one instruction per operation, each with its source line,
// made once when the script loads and never reparsed.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "sim/script/parse/ast.h"
#include "sim/script/value/value.h"

struct CommandInfo;

namespace cv::sim::script {

// Each opcode, with what it does to the stack.
enum class Op : std::uint8_t {
  Const,            // push constants[a]
  Str,              // push a new temporary string of texts[a]
  Load,             // push vars[a]
  Store,            // vars[a] := top, as a variable of type b; the stored value replaces top
  LoadExt,          // push the variable a of the script running on form constants[b]
  StoreExt,         // that variable := top
  Pop,              // drop top
  Dup2,             // push a copy of the top two (for a[k] op= v)
  Jump,             // pc := a
  JumpIfFalse,      // pop; if false pc := a
  JumpIfFalseKeep,  // && : if top is false, replace it with 0 and jump to a; else pop
  JumpIfTrueKeep,   // || : if top is true, replace it with 1 and jump to a; else pop
  ToBool,           // top := 1 or 0
  Binary,           // pop r, l; push l (op a) r (BinOp)
  Unary,            // top := (op a) top (UnOp)
  Index,            // pop key, container; push container[key]; b=1: the container is a string_var;
                    // pad bit 1: a missing key reads as "" (Print); bit 2: a->key
  Slice,            // pop hi, lo, container; push container[lo:hi]
  StoreIndex,       // pop value, key, container; container[key] := value; push value
  Call,             // calls[a] with b values on the stack (calling reference first when it has one)
  CallFunction,     // pop b arguments and a function; push its result
  Lambda,           // push the function of lambda a over this frame's variables
  SetResult,        // pop; the function's value := it
  Print,            // pop; a console line of its representation (pad=1: PrintVar's line
                    // for variable c)
  Eval,             // top := GetBool(top) as 1/0; b=1: top is an array element
  Assert,           // pop; a check: fails when not a number other than 0 (b=1: a string_var
                    // holding no string); a = the statement
  TryBegin,         // TestExpr: errors until TryEnd push 0 and resume at a
  TryEnd,           // TestExpr: the value is good: top := 1
  IterInit,         // pop the source; start a foreach over it into variable b
  IterNext,         // next element into variable b, or end the foreach and jump to a
  IterEnd,          // drop the innermost foreach (break) and release its variable b
  Return,           // end this run of the script, or this function
  // Fused forms of the commonest loop code (the same semantics, one
  // dispatch instead of four or five):
  AddConst,   // vars[a] op= constants[c] (b: the variable's type, pad: Add or Sub)
  JumpIfNot,  // if !(vars[b] (pad: BinOp) constants[c]) pc := a; with kJumpIfHolds, if it holds;
              // with kRightIsVar, vars[c] instead of constants[c]
};

// JumpIfNot's flags in pad: jump when the comparison holds; the right
// operand is a variable. The rest of pad is the BinOp.
constexpr int kJumpIfHolds = 0x80;
constexpr int kRightIsVar = 0x40;
constexpr int kCompareMask = 0x3f;

enum class BinOp : std::uint8_t {
  Add,
  Sub,
  Mul,
  Div,
  Mod,
  Pow,
  BitOr,
  BitAnd,
  Shl,
  Shr,
  Eq,
  Ne,
  Lt,
  Gt,
  Le,
  Ge,
  And,
  Or,
  Pair,
  Range,  // lo:hi as a command's argument: a StringMap {"lo": lo, "hi": hi}
};
enum class UnOp : std::uint8_t { Neg, Not, BitNot, ToString, ToNumber, Box, Unbox };

struct Instr {
  Op op;
  std::uint8_t pad = 0;
  std::uint16_t b = 0;
  std::int32_t a = 0;
  std::int32_t c = 0;
};

// A command the code calls: a modelled built-in or a plug-in's command.
struct CallSite {
  const Builtin* builtin = nullptr;
  const CommandInfo* plugin = nullptr;
  bool hasRef = false;
  int argc = 0;
  std::string name;
  bool inExpression = true;  // false: a game expression or command line runs it (§12.1)
  // A plug-in command's string literal arguments, handed to it as they are;
  // their stack slots hold a stand-in. arg counts from 0 after the reference.
  struct Literal {
    int arg = 0;
    std::string text;
  };
  std::vector<Literal> literals;
};

// A statement's span of code: an error inside an xNVSE statement resumes at
// `resume`; inside a vanilla one it stops the script for this run (§5.2, §8).
struct StmtSpan {
  int begin = 0;
  int end = 0;
  int resume = 0;
  bool vanilla = false;
  int line = 0;
};

struct Chunk {
  std::vector<Instr> code;
  std::vector<int> lines;  // per instruction
  std::vector<Value> constants;
  std::vector<std::string> texts;
  std::vector<CallSite> calls;
  std::vector<StmtSpan> stmts;               // innermost last for the same pc
  std::vector<int> params;                   // a function's parameter slots
  std::vector<std::vector<int>> assertVars;  // per Assert (its c): the variables it names
  int maxStack = 0;
};

}  // namespace cv::sim::script
