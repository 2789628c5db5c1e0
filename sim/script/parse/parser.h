// Tokens to the parse tree. Commands consume their arguments as the
// command table says (§4.3), so the parser asks Names what each word is.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "sim/script/lex/lexer.h"
#include "sim/script/parse/ast.h"

namespace cv::sim::script {

// Another script's variable (Quest.var, Ref.var), typed as its own script
// declares it (§4.3).
struct OtherVar {
  int slot = -1;
  VarType type = VarType::Float;
};

// What the words of a script may name besides its own variables.
class Names {
 public:
  virtual ~Names() = default;
  virtual std::optional<FormId> Form(std::string_view name) = 0;
  virtual std::optional<FunctionId> FunctionScript(std::string_view name) = 0;
  // A loaded plug-in's command, with its index in the host's table.
  virtual const CommandInfo* PluginCommand(std::string_view name, int& index) = 0;
  virtual std::optional<OtherVar> OwnerVar(FormId owner, std::string_view var) = 0;
  // A global variable (a GLOB form): its value, typed as the global is.
  virtual std::optional<OtherVar> GlobalVar(FormId) { return std::nullopt; }
};

struct Diagnostic {
  int line = 0;
  std::string message;
};

struct ParseResult {
  ScriptTree tree;
  std::vector<Diagnostic> errors;
  // Commands neither a plug-in's nor modelled, each once (first line).
  std::vector<Diagnostic> unmodelled;
};

// Parses a whole script. defaultName names it when no scn line does.
void ParseScript(const std::vector<Token>& tokens, const std::string& defaultName, Names& names,
                 ParseResult& out);

// --- the parser's own state, shared by its files (stmt.cpp, expr.cpp) ---

struct ParseFail {
  int line = 0;
  std::string message;
};

enum class Mode { Vanilla, Xnvse };

class Parser {
 public:
  Parser(const std::vector<Token>& tokens, Names& names, ParseResult& out)
      : t_(tokens), names_(names), out_(out) {}
  void Run(const std::string& defaultName);

  // tokens
  const Token& Peek(std::size_t k = 0) const;
  const Token& Next() { return t_[pos_ < t_.size() - 1 ? pos_++ : pos_]; }
  bool IsOp(std::string_view op, std::size_t k = 0) const;
  bool IsWord(std::string_view word, std::size_t k = 0) const;  // ignoring case
  bool AtLineEnd() const;
  void ExpectOp(std::string_view op);
  void ExpectLineEnd();
  void SkipLine();
  [[noreturn]] void Fail(const std::string& message) const;

  // expressions (expr.cpp, call_args.cpp)
  ExprPtr ParseExpr(Mode mode, int minBp = 0);
  ExprPtr Prefix(Mode mode);
  ExprPtr WordExpr(Mode mode);
  ExprPtr Postfix(ExprPtr left, Mode mode);
  ExprPtr CommandCall(const Token& name, Mode mode, ExprPtr ref);
  void CommandArgs(Expr& call, Mode mode, std::size_t maxArgs, bool singleWhole);
  bool ArgumentStarts(Mode mode) const;
  bool ExpressionStarts() const;
  ExprPtr LambdaExpr();
  // statements (stmt.cpp)
  std::vector<Stmt> Body(std::vector<std::string_view> ends);
  void Statement(std::vector<Stmt>& into);
  void Declaration(VarType type, std::vector<Stmt>* into, bool inLet);
  void ForEachAlt(Stmt& s);
  ExprPtr Condition(Mode mode);
  ExprPtr VarNode(int slot, int line);
  std::vector<int> ParamList();
  int Declare(const std::string& name, VarType type, int line);
  int FindVar(std::string_view name) const;
  void Unmodelled(const Token& name);

  static ExprPtr Node(ExprKind kind, int line) {
    auto e = std::make_unique<Expr>();
    e->kind = kind;
    e->line = line;
    return e;
  }

 private:
  const std::vector<Token>& t_;
  std::size_t pos_ = 0;
  Names& names_;
  ParseResult& out_;
  std::unordered_map<std::string, int> varIndex_;  // folded name -> slot
  static constexpr int kMaxNesting = 256;
  int depth_ = 0;  // expressions being parsed, one inside the other
  int ifDepth_ = 0;
  int loopDepth_ = 0;
  bool inBlock_ = false;
  friend void ParseScript(const std::vector<Token>&, const std::string&, Names&, ParseResult&);
};

}  // namespace cv::sim::script
