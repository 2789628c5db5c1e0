// What a failed Assert prints besides "Assertion failed!" (script-language.md
// §10.1): the line as the command wrote it, and the values of the variables
// it names.
#include <cstdio>

#include "sim/script/runtime/interpreter.h"
#include "sim/script/value/convert.h"
#include "sim/script/value/represent.h"

namespace cv::sim::script {

std::string Interpreter::AssertLineText(const CompiledScript& script, int line) const {
  // The command's own name, then the expression, without a comment after it.
  const std::size_t n = static_cast<std::size_t>(line);
  std::string text = n >= 1 && n <= script.lines.size() ? script.lines[n - 1] : "";
  bool quoted = false;
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '"') quoted = !quoted;
    if (text[i] == ';' && !quoted) {
      text.resize(i);
      break;
    }
  }
  const std::size_t b = text.find_first_not_of(" \t");
  text = b == std::string::npos ? "" : text.substr(b);
  while (!text.empty() && (text.back() == ' ' || text.back() == '\t')) text.pop_back();
  std::size_t word = 0;
  while (word < text.size() && text[word] != ' ' && text[word] != '\t' && text[word] != '(') ++word;
  // AssertTrue, assert, ASSERT: the host names the command by its long name.
  if (word > 0) text = "Assert" + text.substr(word);
  return text;
}

std::string Interpreter::WhereText(const CompiledScript& script, const std::vector<int>& slots,
                                   const Value* vars) {
  // "Where name=value, ..." (GetVariablesText): numbers with %g, strings
  // quoted, forms as Print shows them, arrays by their keys (up to 10) or
  // their size.
  std::string out;
  for (int slot : slots) {
    const Value& v = vars[slot];
    std::string value;
    switch (script.vars[static_cast<std::size_t>(slot)].type) {
      case VarType::Int:
      case VarType::Float: value = FormatG(v.number()); break;
      case VarType::String:
        value = "\"" + std::string(v.IsString() ? strings_.Text(v.string()) : "") + "\"";
        break;
      case VarType::Ref: {
        const FormId id = v.IsForm() || v.IsFunction() ? v.id() : 0;
        char hex[40];
        std::snprintf(hex, sizeof hex, "invalid form (%X)", id);
        value = id == 0                             ? "uninitialized form (0)"
                : host_.world.Lookup(id) != nullptr ? Represent(Value::Form(id), *this)
                                                    : hex;
        break;
      }
      case VarType::Array: {
        const ArrayData* a = v.IsArray() ? arrays_.Get(v.array()) : nullptr;
        if (a == nullptr) {
          value = "uninitialized array";
        } else if (a->Size() > 10) {
          value = "array size " + std::to_string(a->Size());
        } else {
          value = "array keys [";
          bool first = true;
          for (const Key& k : a->Keys()) {
            value += first ? "" : ", ";
            value += k.isString ? "\"" + k.text + "\"" : FormatG(k.number);
            first = false;
          }
          value += "]";
        }
        break;
      }
    }
    out += (out.empty() ? "Where " : ", ") + script.vars[static_cast<std::size_t>(slot)].name +
           "=" + value;
  }
  return out;
}

std::string Interpreter::PrintVarText(const CompiledScript& script, int slot, const Value& v) {
  // "NAME: VALUE": numbers with %g, strings quoted, arrays and forms as
  // Print shows them, or the host's words for none (Cmd_PrintVar_Execute).
  const VarDecl& decl = script.vars[static_cast<std::size_t>(slot)];
  std::string value;
  switch (decl.type) {
    case VarType::Int:
    case VarType::Float: value = FormatG(v.number()); break;
    case VarType::String:
      value = "\"" + std::string(v.IsString() ? strings_.Text(v.string()) : "") + "\"";
      break;
    case VarType::Array:
      value = v.IsArray() && arrays_.Get(v.array()) != nullptr ? Represent(v, *this)
                                                               : "uninitialized or invalid array";
      break;
    case VarType::Ref: {
      const FormId id = v.IsForm() || v.IsFunction() ? v.id() : 0;
      value = id != 0 && host_.world.Lookup(id) != nullptr ? Represent(Value::Form(id), *this)
                                                           : "invalid form";
      break;
    }
  }
  return decl.name + ": " + value;
}

}  // namespace cv::sim::script
