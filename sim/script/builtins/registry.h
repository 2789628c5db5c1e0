// The table of functions the simulator models itself (the game's and the
// script extender's own: GetSelf, the ar_ and sv_ families, output, quests,
// timing, random numbers). Plug-in commands are not here: the host's
// command table serves them.
//
// Adding a family: write builtins/FAMILY.cpp with a table of Builtin rows
// and one function RegisterFAMILY(Registry&) that adds them; declare it
// below and call it from Builtins() in registry.cpp. Each row names the fact
// it models (script-language.md section). A built-in gets its arguments
// already evaluated, as Values in order (a left-out optional one is absent),
// sets ctx.result and returns true, or returns ctx.Fail("message") with the
// host's text, which the interpreter reports as the host does (§8).
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "sim/script/runtime/game_state.h"
#include "sim/script/value/arrays.h"
#include "sim/script/value/strings.h"
#include "sim/script/value/value.h"

namespace cv::sim {
class World;
}

namespace cv::sim::script {

// What a parameter takes. The parser reads only how many there are and
// which are optional; the types are checked when the script loads where a
// literal is given, and by the built-in itself at run time.
enum class Param : std::uint8_t {
  Number,    // any number
  Integer,   // a number the built-in floors
  Form,      // a form (editor id, ref variable, form result)
  String,    // a string (literal, string_var, string result)
  Array,     // an array id
  Function,  // a UDF or lambda
  Pair,      // key::value (ar_Map)
  Any,       // any value
  Name,      // a bare word read as its text (an actor value's name: GetAV Health)
};

struct ParamSpec {
  Param type = Param::Any;
  bool optional = false;
};

// The kind of value a built-in hands back (the host's CommandReturnType,
// §6.1), which Quest.var-style typing and string/array targets use.
enum class Returns : std::uint8_t { Number, Form, String, Array, Any };

class Services;
struct Builtin;

struct CallContext {
  std::span<const Value> args;  // evaluated arguments, in order
  FormId callingRef = 0;        // 0: none (a quest script, a UDF called with none)
  Services& services;
  const Builtin& builtin;
  Value result;       // what the call gives; a number 0 unless set
  std::string error;  // set by Fail

  bool Fail(std::string message) {
    error = std::move(message);
    return false;
  }
  bool Has(std::size_t i) const { return i < args.size(); }
  // The argument as a number, or `fallback` when it is left out or not a
  // number.
  double Number(std::size_t i, double fallback = 0) const {
    return Has(i) && args[i].IsNumber() ? args[i].number() : fallback;
  }
};

using BuiltinFn = bool (*)(CallContext&);

struct Builtin {
  std::string_view name;
  std::string_view alias;  // "" when none
  std::vector<ParamSpec> params;
  bool needsRef = false;  // a reference function (§5.1)
  Returns returns = Returns::Number;
  BuiltinFn fn = nullptr;
  // How many more times the last parameter may repeat (ar_List takes 20
  // values, printc a format and 20 values: §6.4, §12.2).
  int repeatLast = 0;

  std::size_t MaxArgs() const { return params.size() + static_cast<std::size_t>(repeatLast); }
};

// What a built-in may use of the interpreter and the simulated game.
class Services {
 public:
  virtual ~Services() = default;
  virtual StringStore& strings() = 0;
  virtual ArrayStore& arrays() = 0;
  virtual GameState& game() = 0;
  virtual World& world() = 0;
  // A console line, as the host prints it (the scenario shows it as
  // "console: TEXT").
  virtual void Console(std::string_view line) = 0;
  // Runs a function script (UDF or lambda) with these arguments and calling
  // reference; false when the call failed. result is its SetFunctionValue
  // value, a number 0 when none was set (§11.2).
  virtual bool CallFunction(const Value& function, std::span<const Value> args, FormId callingRef,
                            Value& result) = 0;
  // A form's editor id ("" when none), and its display name ("" when none).
  virtual std::string EditorId(FormId id) = 0;
  virtual std::string FullName(FormId id) = 0;
  // The name of the running script (GetGameLoaded keeps one flag per script,
  // §14.1) and the load-order index of its mod (mod-local data, §14.2).
  virtual std::string_view ScriptName() = 0;
  virtual int ModIndex() = 0;
  // Whether the running expression is an xNVSE one (ar_Construct and
  // ar_Keys need one, §12.1, §12.3).
  virtual bool InExpression() = 0;
  // The running script's form id (the host's error lines name it, §8);
  // 0 when none runs.
  virtual FormId ScriptFormId() = 0;
};

class Registry {
 public:
  void Add(Builtin b);
  // By name or alias, ignoring case; null when not modelled.
  const Builtin* Find(std::string_view name) const;
  const std::vector<Builtin>& All() const { return builtins_; }

 private:
  std::vector<Builtin> builtins_;
  std::unordered_map<std::string, std::size_t> byName_;  // folded name -> index
};

// Every modelled built-in, registered once.
const Registry& Builtins();

// The families, one file each.
void RegisterForms(Registry& r);       // builtins/forms.cpp
void RegisterOutput(Registry& r);      // builtins/output.cpp
void RegisterStrings(Registry& r);     // builtins/strings.cpp
void RegisterArrays(Registry& r);      // builtins/arrays.cpp
void RegisterQuestsTime(Registry& r);  // builtins/quests_time.cpp
void RegisterRandom(Registry& r);      // builtins/random.cpp
void RegisterGameMore(Registry& r);    // builtins/game_more.cpp

}  // namespace cv::sim::script
