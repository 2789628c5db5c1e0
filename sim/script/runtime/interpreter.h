// The script interpreter: loads script files, keeps each script's running
// copies and their variables, and runs blocks and functions on the VM.
// It serves the built-ins (Services) and tells the parser what words name
// (Names).
#pragma once

#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "sim/host/host.h"
#include "sim/script/builtins/registry.h"
#include "sim/script/compile/chunk.h"
#include "sim/script/parse/parser.h"
#include "sim/script/runtime/game_state.h"

namespace cv::sim::script {

struct CompiledBlock {
  std::string type;
  FormId param = 0;  // the block's parameter form, 0 when none
  bool hasParam = false;
  Chunk chunk;
};

struct CompiledScript {
  std::string name;
  std::string file;  // as the scenario names it, for FILE:LINE
  std::vector<std::string> lines;
  std::vector<VarDecl> vars;
  std::vector<CompiledBlock> blocks;
  std::vector<Chunk> lambdas;
  FormId formId = 0;
  int modIndex = 0;
  int functionBlock = -1;  // the Begin Function block, if any
  FunctionId function = 0;
};

// One running copy of a script: a quest's, a reference's, or a function
// call's, with its own variables.
struct Instance {
  const CompiledScript* script = nullptr;
  std::vector<Value> vars;
  FormId self = 0;      // the calling reference (references' scripts)
  FormId owner = 0;     // the quest or reference it belongs to
  bool global = false;  // a global variable's value, a 32-bit float (§1.4)
};

// What the scenario sees of a run.
class ScriptEvents {
 public:
  virtual ~ScriptEvents() = default;
  // A run-time error: its first line, at the script's file and line.
  virtual void Error(const std::string& file, int line, const std::string& message) = 0;
  // An Assert: passed or failed, with the script's own line.
  virtual void Assertion(const std::string& file, int line, bool passed,
                         const std::string& text) = 0;
};

enum class RunStatus { Done, Returned, Stopped };

class Interpreter : public Services, public Names {
 public:
  Interpreter(Host& host, ScriptEvents& events, std::uint32_t seed = 0);
  ~Interpreter() override;

  // Loads a script. False with FILE:LINE: messages in errors (compile
  // errors) or unmodelled (commands not modelled), nothing loaded.
  bool Load(const std::string& file, std::string_view source, const std::string& defaultName,
            int modIndex, std::vector<std::string>& errors, std::vector<std::string>& unmodelled);
  const CompiledScript* FindScript(std::string_view name) const;

  // Editor ids, and scripts attached to base forms and quests by name.
  void NameForm(const std::string& editorId, FormId id);
  // The form's display name (its FULL name in the GECK), as %n, $ and
  // GetName give it.
  void SetFullName(FormId id, const std::string& name) { fullNames_[id] = name; }
  void AttachScript(FormId form, const std::string& scriptName);
  void NoteReference(FormId ref);
  // The running copy of a quest's or reference's script; null when it has
  // none (or its script is not loaded).
  Instance* InstanceOf(FormId owner);

  // Runs the blocks of this type of the owner's script, in order (§2.1).
  RunStatus RunBlocks(FormId owner, std::string_view type, FormId param = 0);
  // Calls a Function script by name with no calling reference.
  bool CallScript(std::string_view name, const std::vector<Value>& args, Value& result);
  const CompiledScript* FunctionScriptOf(std::string_view name) const;
  // One frame: references' GameMode (or MenuMode), due quests, due calls.
  void RunFrame(double seconds, bool menu);

  // Saving keeps every script variable and the kept strings and arrays;
  // loading brings them back; a new game resets them (§14.4).
  void SaveGame();
  void LoadGame();
  void NewGame();

  // Services
  StringStore& strings() override { return strings_; }
  ArrayStore& arrays() override { return arrays_; }
  GameState& game() override { return game_; }
  World& world() override { return host_.world; }
  void Console(std::string_view line) override;
  bool CallFunction(const Value& function, std::span<const Value> args, FormId callingRef,
                    Value& result) override;
  std::string EditorId(FormId id) override;
  std::string FullName(FormId id) override;
  std::string_view ScriptName() override;
  int ModIndex() override;
  bool InExpression() override { return inExpression_; }
  FormId ScriptFormId() override;

  // Names
  std::optional<FormId> Form(std::string_view name) override;
  std::optional<FunctionId> FunctionScript(std::string_view name) override;
  const CommandInfo* PluginCommand(std::string_view name, int& index) override;
  std::optional<OtherVar> OwnerVar(FormId owner, std::string_view var) override;
  std::optional<OtherVar> GlobalVar(FormId id) override;
  // A global variable (the GECK's GLOB form): short, long or float, with
  // its value at the start of a game.
  void DefineGlobal(FormId id, VarType type, double initial);

  // The VM (vm/*.cpp).
  RunStatus Execute(const CompiledScript& script, const Chunk& chunk, Value* vars,
                    FormId callingRef, Value* result);

 private:
  friend class VmAccess;
  struct Function {
    const CompiledScript* script = nullptr;
    int lambda = -1;              // -1: the script's Function block
    Value* parentVars = nullptr;  // a lambda's enclosing variables (§11.3)
  };
  struct Frame {
    const CompiledScript* script = nullptr;
    int line = 0;
  };

  // vm/ops.cpp
  bool Binary(BinOp op, const Value& l, const Value& r, Value& out);
  bool Unary(UnOp op, const Value& v, Value& out);
  // missingIsEmpty: a key the array lacks reads as an empty string (Print, §10.3).
  // member: a->key, whose uninitialised-array error ends in 2 (§12.6).
  bool IndexOf(const Value& c, const Value& key, bool stringVar, Value& out,
               bool missingIsEmpty = false, bool member = false);
  bool SliceOf(const Value& c, const Value& lo, const Value& hi, bool stringVar, Value& out);
  bool StoreIndex(const Value& c, const Value& key, const Value& v);
  bool StoreSlice(std::string& text, const ArrayData& range, std::string_view part);
  bool StoreVar(Value& slot, VarType type, const Value& v, Value& stored);
  void ResetVars(const CompiledScript& s, std::vector<Value>& vars);
  // vm/assert_text.cpp: a failed Assert's lines (§10.1)
  std::string AssertLineText(const CompiledScript& script, int line) const;
  std::string WhereText(const CompiledScript& script, const std::vector<int>& slots,
                        const Value* vars);
  // PrintVar's line for one variable (§10.3).
  std::string PrintVarText(const CompiledScript& script, int slot, const Value& v);
  // vm/calls.cpp
  bool CallSiteRun(const CallSite& site, const Value* args, FormId implicitRef, Value& out,
                   bool& stop);
  bool CallPlugin(const CallSite& site, cv::sim::Form* ref, const Value* args, Value& out,
                  bool& stop);
  FunctionId LambdaFunction(const CompiledScript& s, int lambda, Value* vars);
  bool ArgsToParams(const CompiledScript& s, const Chunk& c, Value* vars,
                    std::span<const Value> args);
  // runtime/frames.cpp: one pass of a conditional repeated call; false when
  // it is over.
  bool RunConditional(DelayedCall& d, bool menu);
  // errors
  void ReportError(const CompiledScript& s, int line, const std::string& message);
  void SyncQuestToWorld(Instance& inst);
  void SyncQuestFromWorld(Instance& inst);

  Host& host_;
  ScriptEvents& events_;
  StringStore strings_;
  ArrayStore arrays_{strings_};
  GameState game_;
  std::vector<std::unique_ptr<CompiledScript>> scripts_;
  std::vector<Function> functions_;  // by FunctionId - 1
  std::map<std::pair<const Chunk*, Value*>, FunctionId> lambdaIds_;
  std::map<std::string, FormId> editorIds_;  // folded
  std::map<FormId, std::string> editorNames_;
  std::map<FormId, std::string> fullNames_;
  struct GlobalDef {
    std::unique_ptr<CompiledScript> script;  // one variable, "value"
    double initial = 0;
  };
  std::map<FormId, GlobalDef> globals_;
  void ResetGlobals();
  static Value StartValue(const GlobalDef& g);
  std::map<FormId, std::string> attached_;  // form -> script name
  std::vector<FormId> references_;
  std::string pendingName_;  // the script being loaded
  FunctionId pendingFunction_ = 0;
  std::vector<std::unique_ptr<std::vector<Value>>> retained_;  // functions' variables lambdas hold
  std::map<FormId, std::unique_ptr<Instance>> instances_;
  std::vector<Frame> frames_;  // the scripts running, innermost last
  // CallPlugin's arguments, frame and result, per call depth, kept from call
  // to call. A deque: a deeper call adding its own moves none of the
  // outer ones, which the host still points at.
  struct PluginCall {
    std::vector<TypedArg> args;
    CallFrame frame;
    CommandCall call;
  };
  std::deque<PluginCall> pluginCalls_;
  std::size_t pluginDepth_ = 0;
  int callDepth_ = 0;
  int suppress_ = 0;          // TestExpr depth (§10.2)
  bool inExpression_ = true;  // the built-in running was called from an xNVSE expression
  long long errorCount_ = 0;
  std::string error_;  // the message of the operation that failed
  // What a save holds.
  struct Saved {
    std::map<FormId, std::vector<Value>> vars;
    StringStore::Saved strings;
    ArrayStore::Saved arrays;
    std::map<FormId, QuestInfo> quests;
    decltype(GameState::actorValues) actorValues;
  };
  std::optional<Saved> saved_;
};

}  // namespace cv::sim::script
