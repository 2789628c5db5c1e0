// The interpreter as a built-in sees it, faked: the stores, the game state
// and a world of its own, a console that records lines, and function calls
// that a test answers. Each test makes a fresh one.
#pragma once

#include <gtest/gtest.h>

#include <functional>
#include <map>
#include <string>
#include <vector>

#include "sim/script/builtins/registry.h"
#include "sim/world/world.h"

namespace cv::sim::script::testing {

class FakeServices : public Services {
 public:
  StringStore& strings() override { return strings_; }
  ArrayStore& arrays() override { return arrays_; }
  GameState& game() override { return game_; }
  World& world() override { return world_; }
  void Console(std::string_view line) override { console.emplace_back(line); }
  bool CallFunction(const Value& fn, std::span<const Value> args, FormId ref,
                    Value& result) override {
    calls.push_back({fn, std::vector<Value>(args.begin(), args.end()), ref});
    if (!function) return false;
    return function(std::vector<Value>(args.begin(), args.end()), result);
  }
  std::string EditorId(FormId id) override { return editorIds[id]; }
  std::string FullName(FormId id) override { return names[id]; }
  std::string_view ScriptName() override { return scriptName; }
  int ModIndex() override { return modIndex; }
  bool InExpression() override { return inExpression; }
  FormId ScriptFormId() override { return scriptFormId; }

  // Runs the built-in by name (or alias) with these arguments.
  bool Call(std::string_view name, std::vector<Value> args, Value& result, FormId ref = 0) {
    const Builtin* b = Builtins().Find(name);
    EXPECT_NE(b, nullptr) << name << " is not registered";
    if (b == nullptr) return false;
    CallContext c{std::span<const Value>(args), ref, *this, *b, Value(), {}};
    bool ok = b->fn(c);
    result = c.result;
    lastError = c.error;
    return ok;
  }

  Value Str(std::string text) { return Value::String(strings_.New(std::move(text), false)); }
  std::string Text(const Value& v) { return std::string(strings_.Text(v.string())); }
  // A Number, String or Array of numbers/strings, as text for comparing:
  // numbers with %g, strings quoted, arrays as [k: v, ...].
  std::string Show(const Value& v);
  // A new array of the kind with the values at keys 0.. (Array) or at the
  // given keys.
  Value List(std::vector<Value> items);

  struct Recorded {
    Value fn;
    std::vector<Value> args;
    FormId ref = 0;
  };
  std::vector<std::string> console;
  std::vector<Recorded> calls;
  std::function<bool(const std::vector<Value>&, Value&)> function;
  std::map<FormId, std::string> editorIds, names;
  std::string scriptName = "TestScript";
  int modIndex = 1;
  bool inExpression = true;
  FormId scriptFormId = 0;
  std::string lastError;

 private:
  StringStore strings_;
  ArrayStore arrays_{strings_};
  GameState game_;
  World world_;
};

inline std::string FakeServices::Show(const Value& v) {
  char buf[64];
  switch (v.type()) {
    case Type::Number: std::snprintf(buf, sizeof buf, "%g", v.number()); return buf;
    case Type::String: return "\"" + Text(v) + "\"";
    case Type::Form: std::snprintf(buf, sizeof buf, "form %X", v.form()); return buf;
    case Type::Function: return "function " + std::to_string(v.function());
    case Type::Array: break;
  }
  const ArrayData* a = arrays_.Get(v.array());
  if (a == nullptr) return "no array";
  std::string out = a->kind == ArrayKind::Array ? "["
                    : a->kind == ArrayKind::Map ? "map["
                                                : "smap[";
  bool first = true;
  arrays_.ForEach(v.array(), [&](const Key& k, const Element& e) {
    if (!first) out += ", ";
    first = false;
    if (a->kind == ArrayKind::Map) {
      std::snprintf(buf, sizeof buf, "%g: ", k.number);
      out += buf;
    }
    if (a->kind == ArrayKind::StringMap) out += k.text + ": ";
    out += e.type == Type::String ? "\"" + e.text + "\""
           : e.type == Type::Number
               ? (std::snprintf(buf, sizeof buf, "%g", e.number), std::string(buf))
               : Show(arrays_.ToValue(e));
  });
  return out + "]";
}

inline Value FakeServices::List(std::vector<Value> items) {
  ArrayId id = arrays_.Create(ArrayKind::Array);
  for (const Value& v : items) arrays_.Append(id, v);
  return Value::Array(id);
}

}  // namespace cv::sim::script::testing
