// Calls: modelled built-ins, plug-in commands through the host, and
// function scripts and lambdas (script-language.md §5, §6.1, §11).
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <optional>

#include "sim/script/runtime/interpreter.h"

namespace cv::sim::script {

namespace {

// The most nested function calls (§11.2, kMaxNestDepth).
constexpr int kMaxNestDepth = 30;

bool IsReferenceForm(const cv::sim::Form* f) {
  return f->kind == FormKind::Reference || f->kind == FormKind::Actor;
}

}  // namespace

bool Interpreter::CallSiteRun(const CallSite& site, const Value* args, FormId implicitRef,
                              Value& out, bool& stop) {
  FormId ref = implicitRef;
  cv::sim::Form* refForm = nullptr;  // looked up once, for the plug-in's call
  if (site.hasRef) {
    // ref.Command: the reference must resolve, and be a reference (§5.2).
    const Value& r = args[0];
    cv::sim::Form* f = r.IsForm() && r.form() != 0 ? host_.world.Lookup(r.form()) : nullptr;
    if (f == nullptr) {
      error_ = "Attempting to call a function on a NULL reference";
      return false;
    }
    if (!IsReferenceForm(f) && f->kind != FormKind::Quest) {
      error_ = "Attempting to call a function on a base object (this must be a reference)";
      return false;
    }
    ref = r.form();
    refForm = f;
    ++args;
  }
  const bool needsRef =
      site.builtin != nullptr ? site.builtin->needsRef : site.plugin->needsParent != 0;
  if (needsRef && ref == 0) {
    error_ =
        "Function " + site.name + " requires a calling reference but none or NULL was provided";
    return false;
  }
  if (site.plugin != nullptr) {
    if (refForm == nullptr && ref != 0) refForm = host_.world.Lookup(ref);
    return CallPlugin(site, refForm, args, out, stop);
  }
  CallContext ctx{std::span<const Value>(args, static_cast<std::size_t>(site.argc)),
                  ref,
                  *this,
                  *site.builtin,
                  Value(),
                  {}};
  inExpression_ = site.inExpression;
  const bool ran = site.builtin->fn(ctx);
  inExpression_ = true;
  if (!ran) {
    error_ = ctx.error.empty() ? "Command " + site.name + " failed to execute" : ctx.error;
    return false;
  }
  out = ctx.result;
  return true;
}

bool Interpreter::CallPlugin(const CallSite& site, cv::sim::Form* ref, const Value* args,
                             Value& out, bool&) {
  // The arguments go in a buffer kept per call depth (a command may run
  // scripts that call commands), so that their strings reuse their room.
  if (pluginCalls_.size() <= pluginDepth_) pluginCalls_.resize(pluginDepth_ + 1);
  PluginCall& state = pluginCalls_[pluginDepth_];
  std::vector<TypedArg>& typed = state.args;
  typed.resize(static_cast<std::size_t>(site.argc));
  for (std::size_t i = 0; i < typed.size(); ++i) {
    const Value& v = args[i];
    TypedArg& t = typed[i];
    t.kind = TypedArg::Kind::Number;
    t.number = 0;
    t.form = 0;
    t.text.clear();
    switch (v.type()) {
      case Type::Number: t.number = v.number(); break;
      case Type::String:
        t.kind = TypedArg::Kind::String;
        t.text.assign(strings_.Text(v.string()));
        break;
      case Type::Form:
        t.kind = TypedArg::Kind::Form;
        t.form = v.form();
        break;
      default:
        error_ = "argument " + std::to_string(i + 1) + " of " + site.name + " is " +
                 TypeName(v.type()) + ", which a plug-in command cannot take";
        return false;
    }
  }
  for (const CallSite::Literal& l : site.literals) {
    TypedArg& t = typed[static_cast<std::size_t>(l.arg)];
    t.kind = TypedArg::Kind::String;
    t.text.assign(l.text);
  }
  // The plug-in reads string variables and quest variables from the host.
  strings_.PushToHost();
  for (auto& [owner, inst] : instances_) SyncQuestToWorld(*inst);
  ++pluginDepth_;
  CallWithValues(host_, *site.plugin, ref, typed, state.frame, state.call);
  const CommandCall& call = state.call;
  --pluginDepth_;
  strings_.PullFromHost();
  for (const std::string& e : call.hostErrors)
    ReportError(*frames_.back().script, frames_.back().line, e);
  if (call.escaped) {
    error_ = site.name + " let an exception out into the host";
    return false;
  }
  if (call.heapLeft > 0) {
    error_ = site.name + " left " + std::to_string(call.heapLeft) + " game-heap block(s) behind";
    return false;
  }
  if (!call.ok) {
    error_ = "Command " + site.name + " failed to execute";  // §5.2
    return false;
  }
  switch (call.value.type) {
    case CallValue::Type::Number: out = Value::Number(call.value.number); break;
    case CallValue::Type::Form: out = Value::Form(call.value.FormId()); break;
    case CallValue::Type::String:
      if (!call.value.text) {
        char buf[64];
        std::snprintf(buf, sizeof buf, "%g", call.value.number);
        error_ = std::string("Failed to resolve string return result (string ID was ") + buf + ")";
        return false;
      }
      out = Value::String(strings_.New(*call.value.text));
      break;
    case CallValue::Type::Array: {
      if (!call.value.array) {
        error_ = "A command returned an invalid array";  // §6.1
        return false;
      }
      ArrayKind kind = call.arrayKind == ArrayVar::Kind::Map         ? ArrayKind::Map
                       : call.arrayKind == ArrayVar::Kind::StringMap ? ArrayKind::StringMap
                                                                     : ArrayKind::Array;
      ArrayId id = arrays_.Create(kind);
      std::vector<std::pair<double, const ElementValue*>> numbered;
      for (const auto& [k, e] : *call.value.array) {
        if (kind == ArrayKind::StringMap) continue;
        numbered.emplace_back(std::strtod(k.c_str(), nullptr), &e);
      }
      std::sort(numbered.begin(), numbered.end(),
                [](const auto& a, const auto& b) { return a.first < b.first; });
      auto value = [&](const ElementValue& e) {
        switch (e.type) {
          case ElementValue::Type::Number: return Value::Number(e.number);
          case ElementValue::Type::Form: return Value::Form(e.form);
          default: return Value::String(strings_.New(e.text));
        }
      };
      if (kind == ArrayKind::StringMap) {
        for (const auto& [k, e] : *call.value.array) arrays_.Set(id, Key::Str(k), value(e));
      } else {
        for (const auto& [k, e] : numbered)
          kind == ArrayKind::Map ? (void)arrays_.Set(id, Key::Num(k), value(*e))
                                 : (void)arrays_.Append(id, value(*e));
      }
      out = Value::Array(id);
      break;
    }
  }
  return true;
}

FunctionId Interpreter::LambdaFunction(const CompiledScript& s, int lambda, Value* vars) {
  // One function per lambda and variables it runs over (§11.3).
  const Chunk* chunk = &s.lambdas[static_cast<std::size_t>(lambda)];
  auto key = std::make_pair(chunk, vars);
  if (auto it = lambdaIds_.find(key); it != lambdaIds_.end()) return it->second;
  functions_.push_back(Function{&s, lambda, vars});
  FunctionId id = static_cast<FunctionId>(functions_.size());
  lambdaIds_[key] = id;
  return id;
}

bool Interpreter::CallFunction(const Value& fn, std::span<const Value> args, FormId callingRef,
                               Value& result) {
  result = Value::Number(0);  // no value set, or a failed call: 0 (§11.2)
  // A copy: the call may make lambdas, which grows functions_ and moves it.
  const std::optional<Function> f =
      fn.IsFunction() && fn.function() >= 1 && fn.function() <= functions_.size()
          ? std::optional<Function>(functions_[fn.function() - 1])
          : std::nullopt;
  const CompiledScript* caller = frames_.empty() ? nullptr : frames_.back().script;
  const int line = frames_.empty() ? 0 : frames_.back().line;
  if (!f || f->script == nullptr || (f->lambda < 0 && f->script->functionBlock < 0)) {
    if (caller != nullptr) ReportError(*caller, line, "Could not extract function script.");
    return false;
  }
  if (callDepth_ >= kMaxNestDepth) {
    Console("Max nest depth 30 exceeded in function call.");
    return false;
  }
  const CompiledScript& s = *f->script;
  const Chunk& chunk = f->lambda >= 0 ? s.lambdas[static_cast<std::size_t>(f->lambda)]
                                      : s.blocks[static_cast<std::size_t>(s.functionBlock)].chunk;
  // A function's variables start at 0 each call; a lambda runs on its
  // enclosing script's own (§11.2, §11.3).
  auto locals = std::make_unique<std::vector<Value>>();
  Value* vars = f->parentVars;
  if (f->lambda < 0) {
    ResetVars(s, *locals);
    vars = locals->data();
  }
  if (args.size() > chunk.params.size()) {
    if (caller != nullptr) {
      char buf[64];
      std::snprintf(buf, sizeof buf, "Param index %02X out of bounds",
                    static_cast<unsigned>(chunk.params.size()));
      ReportError(*caller, line, buf);
    }
    return false;
  }
  for (std::size_t i = 0; i < args.size(); ++i) {
    // Each argument is copied into its parameter; one that does not fit is
    // skipped (§11.2).
    const std::size_t slot = static_cast<std::size_t>(chunk.params[i]);
    Value stored;
    StoreVar(vars[slot], s.vars[slot].type, args[i], stored);
  }
  ++callDepth_;
  Value value = Value::Number(0);
  Execute(s, chunk, vars, callingRef, &value);
  --callDepth_;
  result = value;
  if (f->lambda < 0) {
    bool captured = false;
    for (const auto& [key, id] : lambdaIds_) captured = captured || key.second == vars;
    if (captured) {
      retained_.push_back(std::move(locals));  // a lambda made here still runs on them
    } else {
      for (const Value& v : *locals)
        if (v.IsArray() && v.array() != 0) arrays_.Release(v.array());
    }
  }
  return true;
}

}  // namespace cv::sim::script
