// The scenario statements that load and run a mod's scripts: script, call,
// event, frames, startquest, stopquest, expect-var, expect-var-float, and
// the options name, fullname, script and delay of the world statements.
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "sim/scenario/runner.h"
#include "sim/script/runtime/interpreter.h"
#include "sim/script/value/text.h"

namespace cv::sim {

// Run-time script errors and Asserts are checks of the scenario.
class Runner::ScriptSink : public script::ScriptEvents {
 public:
  explicit ScriptSink(Runner& r) : r_(r) {}
  void Error(const std::string& file, int line, const std::string& message) override {
    std::string first = message.substr(0, message.find('\n'));
    Failure(file, line, "no script error", first,
            file + ":" + std::to_string(line) + ": error: " + first);
  }
  void Assertion(const std::string& file, int line, bool passed, const std::string& text) override {
    if (passed) {
      r_.report_.Add(Record(file, line, CheckRecord::Outcome::Held, text));
      return;
    }
    Failure(file, line, "the assertion to hold", "false",
            file + ":" + std::to_string(line) + ": FAIL Assertion failed: " + text);
  }

 private:
  // A script's check names the script's own file and line.
  static CheckRecord Record(const std::string& file, int line, CheckRecord::Outcome outcome,
                            const std::string& statement) {
    CheckRecord c;
    c.outcome = outcome;
    c.file = file;
    c.line = line;
    c.statement = statement;
    return c;
  }
  void Failure(const std::string& file, int line, const std::string& expected,
               const std::string& got, const std::string& text) {
    r_.failed_ = true;
    CheckRecord c = Record(file, line, CheckRecord::Outcome::Failed, text);
    c.expected = expected;
    c.got = got;
    r_.report_.Add(std::move(c));
    r_.out_.flush();
    r_.err_ << text << std::endl;
  }
  Runner& r_;
};

Runner::~Runner() = default;

namespace {

// A script value as the checks compare it.
CallValue ToCallValue(script::Interpreter& in, const script::Value& v) {
  CallValue c;
  switch (v.type()) {
    case script::Type::Number: c.number = v.number(); break;
    case script::Type::String:
      c.type = CallValue::Type::String;
      if (in.strings().Exists(v.string())) c.text = std::string(in.strings().Text(v.string()));
      break;
    case script::Type::Array: {
      c.type = CallValue::Type::Array;
      if (in.arrays().Get(v.array()) == nullptr) break;
      ArrayValue items;
      in.arrays().ForEach(v.array(), [&](const script::Key& k, const script::Element& e) {
        ElementValue ev;
        if (e.type == script::Type::String) {
          ev.type = ElementValue::Type::String;
          ev.text = e.text;
        } else if (e.type == script::Type::Number) {
          ev.number = e.number;
        } else {
          ev.type = ElementValue::Type::Form;
          ev.form = e.id;
        }
        items[k.isString ? k.text : FormatNumber(k.number)] = ev;
      });
      c.array = std::move(items);
      break;
    }
    default: {  // a form or function: its id in the low 32 bits
      c.type = CallValue::Type::Form;
      std::uint64_t bits = v.id();
      std::memcpy(&c.number, &bits, sizeof bits);
    }
  }
  return c;
}

}  // namespace

script::Interpreter& Runner::Scripts() {
  if (!scripts_) {
    sink_ = std::make_shared<ScriptSink>(*this);
    scripts_ = std::make_shared<script::Interpreter>(host_, *sink_, seed_);
  }
  return *scripts_;
}

void Runner::ScriptStatement(const Statement& s) {
  const std::vector<Token>& a = s.args;
  switch (s.verb) {
    case Verb::Script: return LoadScript(s);
    case Verb::CallScript: return CallScript(s);
    case Verb::Event: {
      Form* ref = Resolve(a[0]);
      if (Scripts().InstanceOf(ref->id) == nullptr)
        throw ScenarioError{"event: " + FormatForm(ref->id) + " runs no script"};
      Form* param = a.size() > 2 ? ResolveOrNone(a[2]) : nullptr;
      Scripts().RunBlocks(ref->id, a[1].text, param != nullptr ? param->id : 0);
      return;
    }
    case Verb::Frames: {
      auto n = *ParseInteger(a[0]);
      bool menu = a.size() > 1 && a[1].text == "menu";
      double seconds = 1.0 / 30;  // a frame's default length
      if (a.size() >= 3) seconds = *ParseNumber(a.back());
      for (long long i = 0; i < n; ++i) Scripts().RunFrame(seconds, menu);
      return;
    }
    default: {  // startquest, stopquest
      Form* q = Resolve(a[0]);
      if (q->kind != FormKind::Quest) throw ScenarioError{FormatForm(q->id) + " is not a quest"};
      if (s.verb == Verb::StartQuest)
        Scripts().game().StartQuest(q->id);
      else
        Scripts().game().StopQuest(q->id);
    }
  }
}

void Runner::LoadScript(const Statement& s) {
  const std::string& name = s.args[0].text;
  std::filesystem::path path = std::filesystem::path(file_).parent_path() / name;
  std::ifstream in(path, std::ios::binary);
  if (!in) throw ScenarioError{"cannot read script " + name};
  std::stringstream text;
  text << in.rdbuf();
  // A script belongs to the last mod of the load order.
  World& w = host_.world;
  int mod = w.mods.empty() ? 0 : static_cast<int>(w.mods.size() - 1);
  std::vector<std::string> errors, unmodelled;
  if (Scripts().Load(name, text.str(), std::filesystem::path(name).stem().string(), mod, errors,
                     unmodelled))
    return;
  out_.flush();
  for (const std::string& e : errors) err_ << e << '\n';
  for (const std::string& e : unmodelled) err_ << e << '\n';
  err_.flush();
  scriptsBroken_ = true;
}

void Runner::CallScript(const Statement& s) {
  const std::vector<Token>& a = s.args;
  const script::CompiledScript* fs = Scripts().FunctionScriptOf(a[0].text);
  if (fs == nullptr) throw ScenarioError{"call: no function script " + a[0].text};
  const script::Chunk& chunk = fs->blocks[static_cast<std::size_t>(fs->functionBlock)].chunk;
  if (a.size() - 1 > chunk.params.size())
    throw ScenarioError{"call: " + a[0].text + " takes " + std::to_string(chunk.params.size()) +
                        " argument(s)"};
  // Each argument is read as its parameter declares it.
  std::vector<script::Value> args;
  for (std::size_t i = 1; i < a.size(); ++i) {
    const script::VarDecl& p = fs->vars[static_cast<std::size_t>(chunk.params[i - 1])];
    const Token& t = a[i];
    std::string which = "call: argument " + std::to_string(i) + " (" + p.name + ")";
    switch (p.type) {
      case script::VarType::Int:
      case script::VarType::Float:
        if (auto n = ParseNumber(t)) {
          args.push_back(script::Value::Number(*n));
          break;
        }
        throw ScenarioError{which + " must be a number, not " + Spell(t)};
      case script::VarType::Ref:
        if (IsNone(t)) {
          args.push_back(script::Value::Form(0));
          break;
        }
        if (ParseFormId(t)) {
          args.push_back(script::Value::Form(Resolve(t)->id));
          break;
        }
        throw ScenarioError{which + " must be a form, not " + Spell(t)};
      case script::VarType::String:
        if (t.kind != TokenKind::String)
          throw ScenarioError{which + " must be a quoted string, not " + Spell(t)};
        args.push_back(script::Value::String(Scripts().strings().New(t.text)));
        break;
      default: throw ScenarioError{which + " is an array, which a scenario cannot give"};
    }
  }
  script::Value result;
  Scripts().CallScript(a[0].text, args, result);
  CallValue v = ToCallValue(Scripts(), result);
  out_ << fs->name << " => " << FormatValue(v) << '\n' << std::flush;
  last_ = std::move(v);
  lastConsole_.clear();
}

void Runner::ApplyOptions(const Statement& s) {
  if (s.args.empty()) return;
  std::optional<UInt32> id = ParseFormId(s.args[0]);
  if (!id) return;
  if (s.verb == Verb::Ref || s.verb == Verb::Actor) Scripts().NoteReference(*id);
  for (const auto& [word, value] : s.options) {
    if (word == "name")
      Scripts().NameForm(value.text, *id);
    else if (word == "fullname")
      Scripts().SetFullName(*id, value.text);
    else if (word == "script")
      Scripts().AttachScript(*id, value.text);
    else if (word == "delay")
      Scripts().game().quests[*id].delay = *ParseNumber(value);
  }
}

// global ID short|long|float VALUE: a global variable scripts read and set
// by its editor id.
void Runner::DefineGlobal(const Statement& s) {
  const std::vector<Token>& a = s.args;
  Scripts().DefineGlobal(*ParseFormId(a[0]),
                         a[1].text == "float" ? script::VarType::Float : script::VarType::Int,
                         *ParseNumber(a[2]));
}

void Runner::ScriptMessage(const Statement& s) {
  if (!scripts_) return;
  const std::string& m = s.args[0].text;
  if (m == "savegame") scripts_->SaveGame();
  if (m == "loadgame") scripts_->LoadGame();
  if (m == "newgame") scripts_->NewGame();
}

void Runner::ExpectVar(const Statement& s) {
  const std::string& target = s.args[0].text;
  std::size_t dot = target.find('.');
  std::optional<UInt32> owner = dot == std::string::npos
                                    ? std::nullopt
                                    : ParseFormId(Token{TokenKind::Word, target.substr(0, dot)});
  if (!owner) throw ScenarioError{"expected OWNER.VAR, not " + target};
  script::Instance* inst = Scripts().InstanceOf(*owner);
  if (inst == nullptr) throw ScenarioError{FormatForm(*owner) + " runs no script"};
  std::string var = target.substr(dot + 1);
  for (std::size_t i = 0; i < inst->script->vars.size(); ++i) {
    if (!script::EqualsNoCase(inst->script->vars[i].name, var)) continue;
    CallValue v = ToCallValue(Scripts(), inst->vars[i]);
    const Token& want = s.args[1];
    if (s.verb == Verb::ExpectVar ? !Matches(v, want) : !MatchesFloat(v, want))
      Fail(s.line, target + " = " + Spell(want), FormatValue(v));
    return;
  }
  throw ScenarioError{inst->script->name + " has no variable " + var};
}

}  // namespace cv::sim
