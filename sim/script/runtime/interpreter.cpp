#include "sim/script/runtime/interpreter.h"

#include <cmath>
#include <cstdio>

#include "sim/script/compile/emit.h"
#include "sim/script/lex/lexer.h"
#include "sim/script/value/text.h"

namespace cv::sim::script {

namespace {

// A script's own form id, in its mod's range.
constexpr FormId kScriptIdBase = 0x00FFF000;

std::string At(const std::string& file, int line) {
  return file + ":" + std::to_string(line) + ": ";
}

}  // namespace

Interpreter::Interpreter(Host& host, ScriptEvents& events, std::uint32_t seed)
    : host_(host), events_(events), game_(seed) {
  strings_.Attach(&host_.world.stringVars);
}

Interpreter::~Interpreter() = default;

bool Interpreter::Load(const std::string& file, std::string_view source,
                       const std::string& defaultName, int modIndex,
                       std::vector<std::string>& errors, std::vector<std::string>& unmodelled) {
  const std::size_t errorsBefore = errors.size(), unmodelledBefore = unmodelled.size();
  std::vector<Token> tokens;
  LexError lexError;
  if (!Lex(source, tokens, lexError)) {
    errors.push_back(At(file, lexError.line) + lexError.message);
    return false;
  }
  // A function may call itself by name: its name and id are known before
  // it is parsed.
  pendingName_ = defaultName;
  std::size_t first = 0;
  while (first < tokens.size() && tokens[first].kind == Tok::Newline) ++first;
  if (first + 1 < tokens.size() && tokens[first + 1].kind == Tok::Word &&
      (EqualsNoCase(tokens[first].text, "scn") || EqualsNoCase(tokens[first].text, "scriptname")))
    pendingName_ = tokens[first + 1].text;
  functions_.push_back(Function{});
  pendingFunction_ = static_cast<FunctionId>(functions_.size());
  ParseResult parsed;
  ParseScript(tokens, defaultName, *this, parsed);
  pendingName_.clear();
  // Each refusal quotes the script's own line under its message.
  const std::vector<std::string> lines = SourceLines(source);
  for (const Diagnostic& d : parsed.errors) {
    std::string text = At(file, d.line) + d.message;
    if (d.line >= 1 && static_cast<std::size_t>(d.line) <= lines.size())
      text += "\n    " + lines[static_cast<std::size_t>(d.line) - 1];
    errors.push_back(std::move(text));
  }
  for (const Diagnostic& d : parsed.unmodelled)
    unmodelled.push_back(At(file, d.line) + d.message + " is not modelled by corvane-sim");
  if (FindScript(parsed.tree.name) != nullptr)
    errors.push_back(At(file, 1) + "a script named " + parsed.tree.name + " is already loaded");
  if (errors.size() != errorsBefore || unmodelled.size() != unmodelledBefore) return false;

  auto s = std::make_unique<CompiledScript>();
  const ScriptTree& tree = parsed.tree;
  s->name = tree.name;
  s->file = file;
  s->lines = lines;
  s->vars = tree.vars;
  s->modIndex = modIndex;
  s->formId = (static_cast<FormId>(modIndex) << 24) |
              (kScriptIdBase + static_cast<FormId>(scripts_.size()));
  for (const Block& b : tree.blocks) {
    CompiledBlock cb;
    cb.type = b.type;
    if (b.param && b.param->kind == ExprKind::Form) {
      cb.hasParam = true;
      cb.param = b.param->form;
    }
    cb.chunk = CompileBody(tree, b.body, b.params);
    if (b.type == "Function" && s->functionBlock < 0)
      s->functionBlock = static_cast<int>(s->blocks.size());
    s->blocks.push_back(std::move(cb));
  }
  for (const Lambda& l : tree.lambdas) s->lambdas.push_back(CompileBody(tree, l.body, l.params));
  if (s->functionBlock >= 0) {
    functions_[pendingFunction_ - 1] = Function{s.get(), -1, nullptr};
    s->function = pendingFunction_;
  }
  scripts_.push_back(std::move(s));
  return true;
}

const CompiledScript* Interpreter::FindScript(std::string_view name) const {
  for (const auto& s : scripts_)
    if (EqualsNoCase(s->name, name)) return s.get();
  return nullptr;
}

const CompiledScript* Interpreter::FunctionScriptOf(std::string_view name) const {
  const CompiledScript* s = FindScript(name);
  return s != nullptr && s->functionBlock >= 0 ? s : nullptr;
}

void Interpreter::NameForm(const std::string& editorId, FormId id) {
  editorIds_[Fold(editorId)] = id;
  editorNames_[id] = editorId;
}

void Interpreter::AttachScript(FormId form, const std::string& scriptName) {
  attached_[form] = scriptName;
  instances_.erase(form);
}

void Interpreter::NoteReference(FormId ref) {
  for (FormId r : references_)
    if (r == ref) return;
  references_.push_back(ref);
  instances_.erase(ref);
}

Instance* Interpreter::InstanceOf(FormId owner) {
  if (auto it = instances_.find(owner); it != instances_.end()) {
    SyncQuestFromWorld(*it->second);
    return it->second.get();
  }
  const cv::sim::Form* f = host_.world.Known(owner);
  if (f == nullptr) return nullptr;
  auto a = attached_.find(owner);
  if (a == attached_.end() && f->base != nullptr) a = attached_.find(f->base->id);
  if (a == attached_.end()) return nullptr;
  const CompiledScript* s = FindScript(a->second);
  if (s == nullptr) return nullptr;
  auto inst = std::make_unique<Instance>();
  inst->script = s;
  inst->owner = owner;
  // An object script runs on its reference; a quest script on none (§5.1).
  if (f->kind == FormKind::Reference || f->kind == FormKind::Actor) inst->self = owner;
  ResetVars(*s, inst->vars);
  Instance* raw = inst.get();
  instances_[owner] = std::move(inst);
  SyncQuestFromWorld(*raw);
  return raw;
}

void Interpreter::DefineGlobal(FormId id, VarType type, double initial) {
  GlobalDef& g = globals_[id];
  g.script = std::make_unique<CompiledScript>();
  g.script->vars.push_back(VarDecl{"value", type, 0});
  g.initial = initial;
  auto inst = std::make_unique<Instance>();
  inst->script = g.script.get();
  inst->owner = id;
  inst->global = true;
  inst->vars.push_back(Value());
  instances_[id] = std::move(inst);
  ResetGlobals();
}

// A global's value at the start of a game: a global is a 32-bit float, and
// a short or long one is floored (§1.4).
Value Interpreter::StartValue(const GlobalDef& g) {
  double v = static_cast<float>(g.initial);
  if (g.script->vars[0].type == VarType::Int) v = std::floor(v);
  return Value::Number(v);
}

void Interpreter::ResetGlobals() {
  for (auto& [id, g] : globals_) {
    Instance* inst = InstanceOf(id);
    if (inst != nullptr && !inst->vars.empty()) inst->vars[0] = StartValue(g);
  }
}

std::optional<OtherVar> Interpreter::GlobalVar(FormId id) {
  auto it = globals_.find(id);
  if (it == globals_.end()) return std::nullopt;
  return OtherVar{0, it->second.script->vars[0].type};
}

std::optional<FormId> Interpreter::Form(std::string_view name) {
  auto it = editorIds_.find(Fold(name));
  if (it == editorIds_.end()) return std::nullopt;
  return it->second;
}

std::optional<FunctionId> Interpreter::FunctionScript(std::string_view name) {
  if (!pendingName_.empty() && EqualsNoCase(name, pendingName_)) return pendingFunction_;
  const CompiledScript* s = FunctionScriptOf(name);
  if (s == nullptr) return std::nullopt;
  return s->function;
}

const CommandInfo* Interpreter::PluginCommand(std::string_view name, int& index) {
  const CommandInfo* c = host_.FindCommand(name);
  if (c != nullptr) index = static_cast<int>(c - host_.commands.data());
  return c;
}

std::optional<OtherVar> Interpreter::OwnerVar(FormId owner, std::string_view var) {
  const cv::sim::Form* f = host_.world.Known(owner);
  auto a = attached_.find(owner);
  if (a == attached_.end() && f != nullptr && f->base != nullptr) a = attached_.find(f->base->id);
  if (a == attached_.end()) return std::nullopt;
  const CompiledScript* s = FindScript(a->second);
  if (s == nullptr) return std::nullopt;
  for (std::size_t i = 0; i < s->vars.size(); ++i)
    if (EqualsNoCase(s->vars[i].name, var)) return OtherVar{static_cast<int>(i), s->vars[i].type};
  return std::nullopt;
}

RunStatus Interpreter::RunBlocks(FormId owner, std::string_view type, FormId param) {
  if (frames_.empty()) {
    strings_.Clean();
    arrays_.Clean();
  }
  Instance* inst = InstanceOf(owner);
  if (inst == nullptr) return RunStatus::Done;
  RunStatus status = RunStatus::Done;
  for (const CompiledBlock& b : inst->script->blocks) {
    if (!EqualsNoCase(b.type, type)) continue;
    if (b.hasParam && param != 0 && b.param != param) continue;
    if (b.hasParam && param == 0) continue;
    // return and a stopping error end the whole run, later blocks too (§2.4).
    status = Execute(*inst->script, b.chunk, inst->vars.data(), inst->self, nullptr);
    if (status != RunStatus::Done) break;
  }
  SyncQuestToWorld(*inst);
  strings_.PushToHost();  // the plug-in reads them between runs too
  return status;
}

bool Interpreter::CallScript(std::string_view name, const std::vector<Value>& args, Value& result) {
  const CompiledScript* s = FunctionScriptOf(name);
  if (s == nullptr) return false;
  bool ok = CallFunction(Value::Function(s->function), args, 0, result);
  strings_.PushToHost();
  return ok;
}

void Interpreter::Console(std::string_view line) { host_.ConsoleLine(line); }

std::string Interpreter::EditorId(FormId id) {
  auto it = editorNames_.find(id);
  return it == editorNames_.end() ? std::string() : it->second;
}

// The display name a scenario gave the form (`fullname "TEXT"`); "" when none.
std::string Interpreter::FullName(FormId id) {
  auto it = fullNames_.find(id);
  return it == fullNames_.end() ? std::string() : it->second;
}

std::string_view Interpreter::ScriptName() {
  return frames_.empty() ? std::string_view() : std::string_view(frames_.back().script->name);
}

int Interpreter::ModIndex() { return frames_.empty() ? 0 : frames_.back().script->modIndex; }

FormId Interpreter::ScriptFormId() { return frames_.empty() ? 0 : frames_.back().script->formId; }

void Interpreter::ReportError(const CompiledScript& s, int line, const std::string& message) {
  if (suppress_ > 0) return;  // TestExpr keeps errors quiet (§10.2)
  // The host's report (§8): "Error in script <id> (<name>) in mod <mod>",
  // then the message.
  char head[128];
  std::string mod =
      s.modIndex >= 0 && static_cast<std::size_t>(s.modIndex) < host_.world.mods.size()
          ? host_.world.mods[static_cast<std::size_t>(s.modIndex)]
          : std::string();
  std::snprintf(head, sizeof head, "Error in script %08X (", s.formId);
  Console(std::string(head) + s.name + ") in mod " + mod);
  Console(message);
  events_.Error(s.file, line, message);
}

void Interpreter::SyncQuestToWorld(Instance& inst) {
  cv::sim::Form* f = host_.world.Known(inst.owner);
  if (f == nullptr || f->kind != FormKind::Quest) return;
  // Quest variables are numbered from 1 in declaration order; each holds a
  // number, or a form, string or array id (§1.4).
  for (std::size_t i = 0; i < inst.vars.size(); ++i) {
    const Value& v = inst.vars[i];
    f->variables[static_cast<UInt32>(i + 1)] =
        v.IsNumber() ? v.number() : static_cast<double>(v.id());
  }
}

void Interpreter::SyncQuestFromWorld(Instance& inst) {
  cv::sim::Form* f = host_.world.Known(inst.owner);
  if (f == nullptr || f->kind != FormKind::Quest) return;
  for (std::size_t i = 0; i < inst.vars.size(); ++i) {
    VarType t = inst.script->vars[i].type;
    if (t != VarType::Int && t != VarType::Float) continue;
    auto it = f->variables.find(static_cast<UInt32>(i + 1));
    if (it != f->variables.end()) inst.vars[i] = Value::Number(it->second);
  }
}

}  // namespace cv::sim::script
