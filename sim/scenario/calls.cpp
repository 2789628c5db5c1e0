// run, console and eval: one command call through the plug-in's handlers.
#include <array>
#include <cstdint>
#include <cstring>
#include <string_view>

#include "sim/scenario/runner.h"

namespace cv::sim {

namespace {

// Stand-ins for the calling script and its variables; the plug-in only
// passes them back to the host.
struct ScriptTag {
  int unused;
};
ScriptTag g_script{0};
ScriptTag g_eventList{0};

const char* TypeName(UInt32 type) {
  switch (type) {
    case kParamType_String: return "a string";
    case kParamType_Integer: return "an integer";
    case kParamType_Float: return "a float";
    case kParamType_Quest: return "a quest";
    case kParamType_FormList: return "a form list";
    default: return "a form";
  }
}

// Whether a written argument is of a kind the parameter takes: a string
// takes any token; a number needs a number; a form needs a form id or none.
// Whether the form is of the right kind, or still in the world, is known
// only when the call runs, and the host's extraction judges it then.
// The longest string literal a script can hold.
constexpr std::size_t kMaxLiteral = 65535;

bool Fits(const Token& t, UInt32 type) {
  switch (type) {
    case kParamType_String: return true;
    case kParamType_Integer:
    case kParamType_Float: return ParseNumber(t).has_value();
    default: return !IsFormParam(type) || IsNone(t) || ParseFormId(t).has_value();
  }
}

}  // namespace

void Runner::CheckArguments(const CommandInfo& cmd, const std::vector<Token>& args,
                            bool condition) const {
  std::string name = cmd.longName;
  if (args.size() > cmd.numParams)
    throw ScenarioError{name + " takes " + std::to_string(cmd.numParams) + " argument(s), " +
                        std::to_string(args.size()) + " given"};
  for (std::size_t i = 0; i < cmd.numParams; ++i) {
    const ParamInfo& p = cmd.params[i];
    std::string which = "argument " + std::to_string(i + 1) + " (" +
                        (p.typeStr != nullptr ? p.typeStr : "") + ") of " + name;
    // A condition record holds two 4-byte parameter words and has no room
    // for text (game-facts §8.2): the GECK cannot give a condition a text,
    // and the game hands the handler a word that is none.
    if (condition && p.typeID == kParamType_String) {
      if (i < args.size())
        throw ScenarioError{which +
                            " cannot be given in a condition: a condition's parameters are "
                            "4-byte words, never text"};
      continue;
    }
    if (i >= args.size()) {
      if (p.isOptional == 0) throw ScenarioError{which + " is required"};
      continue;
    }
    // The script compiler stores a literal's length in 16 bits.
    if (p.typeID == kParamType_String && args[i].kind == TokenKind::String &&
        args[i].text.size() > kMaxLiteral)
      throw ScenarioError{which + " is a literal of " + std::to_string(args[i].text.size()) +
                          " bytes; a script's literal holds at most " +
                          std::to_string(kMaxLiteral)};
    if (!Fits(args[i], p.typeID))
      throw ScenarioError{which + " must be " + TypeName(p.typeID) + ", not " + Spell(args[i])};
    if (IsFormParam(p.typeID) && !IsNone(args[i])) Resolve(args[i]);
  }
}

void Runner::Call(const Statement& s) {
  const std::vector<Token>& a = s.args;
  bool noRef = a[0].kind == TokenKind::Word && a[0].text == "-";
  Form* ref = noRef ? nullptr : Resolve(a[0]);
  const CommandInfo* cmd = host_.FindCommand(a[1].text);
  if (cmd == nullptr) throw ScenarioError{"unknown command " + a[1].text};
  std::vector<Token> args(a.begin() + 2, a.end());
  CheckArguments(*cmd, args, s.verb == Verb::Eval);

  CallFrame frame;
  frame.command = cmd;
  frame.args = &args;
  double result = 0;
  frame.result = &result;
  host_.errors.clear();
  const std::size_t heapBefore = host_.world.HeapBlocks();
  host_.frame = &frame;
  host_.consoleMode = s.verb == Verb::Console;
  host_.world.Publish(host_.consoleMode);
  bool ok = false;
  bool escaped = false;
  try {
    ok = Invoke(s, *cmd, static_cast<TESObjectREFR*>(host_.world.Handle(ref)), args, frame, result);
  } catch (const ScenarioError&) {
    host_.frame = nullptr;
    host_.consoleMode = false;
    throw;
  } catch (...) {
    escaped = true;
  }
  host_.frame = nullptr;
  host_.consoleMode = false;

  CallValue value = ValueOf(*cmd, frame, result);
  out_ << cmd->longName << " => " << FormatValue(value) << '\n' << std::flush;
  last_ = std::move(value);
  lastConsole_ = std::move(frame.console);
  std::string name = cmd->longName;
  if (escaped)
    Fail(s.line, name + " to keep its failures inside", "an exception in the host");
  else if (!ok && !host_.IsGameCommand(cmd))  // the game's own commands may fail
    Fail(s.line, name + " to return true", "false");
  // The host copies every string it is given, so a block the plug-in made
  // and kept past its call is lost to the game for good.
  if (std::size_t now = host_.world.HeapBlocks(); now > heapBefore)
    Fail(s.line, name + " to give back every game-heap block it made",
         std::to_string(now - heapBefore) + " block(s) left behind");
  ReportHostErrors(s.line);
}

bool Runner::Invoke(const Statement& s, const CommandInfo& cmd, TESObjectREFR* thisObj,
                    const std::vector<Token>& args, CallFrame& frame, double& result) {
  if (s.verb != Verb::Eval) {
    if (cmd.execute == nullptr)
      throw ScenarioError{std::string(cmd.longName) + " has no execute handler"};
    return cmd.execute(cmd.params, &frame, thisObj, nullptr, reinterpret_cast<Script*>(&g_script),
                       reinterpret_cast<ScriptEventList*>(&g_eventList), &result,
                       &frame.opcodeOffset);
  }
  if (cmd.eval == nullptr) throw ScenarioError{std::string(cmd.longName) + " has no eval handler"};
  if (args.size() > 2) throw ScenarioError{"a condition takes at most two arguments"};
  // A condition hands its first two arguments over as words: a number by
  // value, a float as a pointer to it, a form as the form; a left-out
  // argument, and a text parameter (which no condition can give), as 0.
  std::array<void*, 2> words{};
  std::array<float, 2> floats{};
  for (std::size_t i = 0; i < 2 && i < args.size(); ++i) {
    ArgValue v;
    if (!ConvertArg(host_.world, args[i], cmd.params[i].typeID, v))
      throw ScenarioError{"argument " + std::to_string(i + 1) + " of " + cmd.longName + " (" +
                          Spell(args[i]) + ") does not fit its parameter"};
    switch (cmd.params[i].typeID) {
      case kParamType_Integer:
        words[i] = reinterpret_cast<void*>(static_cast<std::uintptr_t>(v.integer));
        break;
      case kParamType_Float:
        floats[i] = v.number;
        words[i] = &floats[i];
        break;
      default: words[i] = host_.world.Handle(v.form);
    }
  }
  return cmd.eval(thisObj, words[0], words[1], &result);
}

CallValue Runner::ValueOf(const CommandInfo& cmd, const CallFrame& frame, double result) const {
  return ResultOf(host_, cmd, frame, result);
}

}  // namespace cv::sim
