// What the operators do with each kind of operand (script-language.md
// §4.2, §12.6, §13), and how a variable takes a value (§1.4, §6.2, §12.8).
#include <cfloat>
#include <cmath>
#include <cstdint>

#include "sim/script/runtime/interpreter.h"
#include "sim/script/value/convert.h"
#include "sim/script/value/represent.h"
#include "sim/script/value/text.h"

namespace cv::sim::script {

namespace {

const char* OpText(BinOp op) {
  static const char* const kText[] = {"+",  "-",  "*", "/", "%",  "^",  "|",  "&",  "<<", ">>",
                                      "==", "!=", "<", ">", "<=", ">=", "&&", "||", "::", ":"};
  const auto i = static_cast<std::size_t>(op);
  return i < sizeof kText / sizeof kText[0] ? kText[i] : "?";
}

// Number equality is the host's float comparison: both as 32-bit floats,
// equal within 0.0001 (§4.2, FloatEqual).
bool FloatEqual(double a, double b) {
  return std::fabs(static_cast<float>(a) - static_cast<float>(b)) < 0.0001f;
}

// Array == array (§12.6, ArrayVar::Equals): both invalid, or the same size,
// the same keys in the same order and equal elements of the same types
// (numbers exact, strings ignoring case, forms and inner arrays by id).
bool ArraysEqual(const ArrayData* x, const ArrayData* y) {
  if (x == nullptr || y == nullptr) return x == y;
  if (x->kind != y->kind || x->Size() != y->Size()) return false;
  const std::vector<Key> kx = x->Keys(), ky = y->Keys();
  for (std::size_t i = 0; i < kx.size(); ++i) {
    if (kx[i].isString ? !EqualsNoCase(kx[i].text, ky[i].text) : kx[i].number != ky[i].number)
      return false;
    const Element &a = *x->Find(kx[i]), &b = *y->Find(ky[i]);
    if (a.type != b.type) return false;
    if (a.type == Type::Number   ? a.number != b.number
        : a.type == Type::String ? !EqualsNoCase(a.text, b.text)
                                 : a.id != b.id)
      return false;
  }
  return true;
}

}  // namespace

bool Interpreter::Binary(BinOp op, const Value& l, const Value& r, Value& out) {
  const bool nums = l.IsNumber() && r.IsNumber();
  const double a = l.number(), b = r.number();
  switch (op) {
    case BinOp::And:
    case BinOp::Or: {
      bool x = Truthy(l, strings_), y = Truthy(r, strings_);
      out = Value::Bool(op == BinOp::And ? x && y : x || y);
      return true;
    }
    case BinOp::Pair: {
      // key::value: a pair, shaped as a foreach iterator (§12.2).
      ArrayId id = arrays_.Create(ArrayKind::StringMap);
      arrays_.Set(id, Key::Str("key"), l);
      arrays_.Set(id, Key::Str("value"), r);
      out = Value::Array(id);
      return true;
    }
    case BinOp::Range: {
      // lo:hi outside [ ]: the range the ar_ commands read (§12.3, §12.4).
      ArrayId id = arrays_.Create(ArrayKind::StringMap);
      arrays_.Set(id, Key::Str("lo"), l);
      arrays_.Set(id, Key::Str("hi"), r);
      out = Value::Array(id);
      return true;
    }
    case BinOp::Eq:
    case BinOp::Ne: {
      bool eq = false;
      if (nums) {
        eq = FloatEqual(a, b);
      } else if (l.IsString() && r.IsString()) {
        eq = CompareNoCase(strings_.Text(l.string()), strings_.Text(r.string())) == 0;  // §4.2
      } else if ((l.IsForm() || l.IsFunction()) && (r.IsForm() || r.IsFunction())) {
        eq = l.id() == r.id();
      } else if ((l.IsForm() && r.IsNumber()) || (l.IsNumber() && r.IsForm())) {
        // A form equals a number only when both are 0 (§4.2 Eval_Eq_Form_Number).
        eq = (l.IsForm() ? l.form() : r.form()) == 0 && (l.IsNumber() ? a : b) == 0;
      } else if (l.IsArray() && r.IsArray()) {
        eq = l.array() == r.array() || ArraysEqual(arrays_.Get(l.array()), arrays_.Get(r.array()));
      } else {
        error_ = std::string("Cannot evaluate ") + TypeName(l.type()) + " " + OpText(op) + " " +
                 TypeName(r.type());
        return false;
      }
      out = Value::Bool(op == BinOp::Eq ? eq : !eq);
      return true;
    }
    default: break;
  }
  if (l.IsString() && r.IsString()) {
    std::string_view x = strings_.Text(l.string()), y = strings_.Text(r.string());
    switch (op) {
      case BinOp::Add:
        out = Value::String(strings_.New(std::string(x) + std::string(y)));
        return true;
      case BinOp::Lt: out = Value::Bool(CompareNoCase(x, y) < 0); return true;
      case BinOp::Gt: out = Value::Bool(CompareNoCase(x, y) > 0); return true;
      case BinOp::Le: out = Value::Bool(CompareNoCase(x, y) <= 0); return true;
      case BinOp::Ge: out = Value::Bool(CompareNoCase(x, y) >= 0); return true;
      default: break;
    }
  }
  if (l.IsString() && r.IsNumber() && op == BinOp::Mul) {  // repeats the string (§13)
    std::string s;
    for (double i = 0; i < b; ++i) s += strings_.Text(l.string());
    out = Value::String(strings_.New(std::move(s)));
    return true;
  }
  if (!nums) {
    // A string and a number are not converted (§13): "Cannot evaluate".
    error_ = std::string("Cannot evaluate ") + TypeName(l.type()) + " " + OpText(op) + " " +
             TypeName(r.type());
    return false;
  }
  switch (op) {
    case BinOp::Add: out = Value::Number(a + b); return true;
    case BinOp::Sub: out = Value::Number(a - b); return true;
    case BinOp::Mul: out = Value::Number(a * b); return true;
    case BinOp::Div:
      if (b == 0) {
        error_ = "Division by zero";  // §8
        return false;
      }
      out = Value::Number(a / b);
      return true;
    case BinOp::Pow: out = Value::Number(std::pow(a, b)); return true;  // ^ is power (§4.2)
    case BinOp::Mod:
    case BinOp::BitOr:
    case BinOp::BitAnd:
    case BinOp::Shl:
    case BinOp::Shr: {
      // Both sides as 64-bit integers, truncated toward zero (§4.2 Eval_Integer).
      const auto x = static_cast<std::int64_t>(a), y = static_cast<std::int64_t>(b);
      std::int64_t v = 0;
      if (op == BinOp::Mod) {
        if (y == 0) {
          error_ = "Division by zero";
          return false;
        }
        v = x % y;
      } else if (op == BinOp::BitOr) {
        v = x | y;
      } else if (op == BinOp::BitAnd) {
        v = x & y;
      } else if (op == BinOp::Shl) {
        v = y < 0 || y > 63 ? 0 : static_cast<std::int64_t>(static_cast<std::uint64_t>(x) << y);
      } else {
        v = y < 0 || y > 63 ? 0 : x >> y;
      }
      out = Value::Number(static_cast<double>(v));
      return true;
    }
    // > and < need a difference above DBL_EPSILON; >= and <= are plain (§4.2).
    case BinOp::Gt: out = Value::Bool(a - b > DBL_EPSILON); return true;
    case BinOp::Lt: out = Value::Bool(b - a > DBL_EPSILON); return true;
    case BinOp::Ge: out = Value::Bool(a >= b); return true;
    case BinOp::Le: out = Value::Bool(a <= b); return true;
    default: error_ = std::string("Unhandled operator ") + OpText(op); return false;
  }
}

bool Interpreter::Unary(UnOp op, const Value& in, Value& out) {
  const Value v = in;
  switch (op) {
    case UnOp::Not: out = Value::Bool(!Truthy(v, strings_)); return true;
    case UnOp::ToString: out = Value::String(strings_.New(ToText(v, *this))); return true;  // §10.4
    case UnOp::ToNumber:
      if (v.IsString()) {
        out = Value::Number(TextToNumber(strings_.Text(v.string())));
        return true;
      }
      if (v.IsNumber()) {
        out = v;
        return true;
      }
      break;
    case UnOp::Box: {  // &x: a one-element Array (§12.6)
      ArrayId id = arrays_.Create(ArrayKind::Array);
      arrays_.Append(id, v);
      out = Value::Array(id);
      return true;
    }
    case UnOp::Unbox: {  // *a: an iterator's value, else the first element (§12.6)
      const ArrayData* a = v.IsArray() ? arrays_.Get(v.array()) : nullptr;
      if (a == nullptr || a->Size() == 0) {
        error_ = "Invalid array access - the array was not initialized.";
        return false;
      }
      const Element* e = nullptr;
      if (a->kind == ArrayKind::StringMap && a->Size() == 2 && a->Find(Key::Str("key")) != nullptr)
        e = a->Find(Key::Str("value"));
      if (e == nullptr) {
        arrays_.ForEach(v.array(), [&](const Key&, const Element& x) {
          if (e == nullptr) e = &x;
        });
      }
      out = arrays_.ToValue(*e);
      return true;
    }
    default:
      if (v.IsNumber()) {
        out = Value::Number(op == UnOp::Neg
                                ? -v.number()
                                : static_cast<double>(~static_cast<std::int64_t>(v.number())));
        return true;
      }
  }
  error_ = "Operator failed to evaluate to a valid result";
  return false;
}

bool Interpreter::StoreVar(Value& slot, VarType type, const Value& v, Value& stored) {
  switch (type) {
    case VarType::Int:
    case VarType::Float:
      if (!v.IsNumber()) break;
      slot = Value::Number(type == VarType::Int ? std::floor(v.number()) : v.number());
      stored = slot;
      return true;
    case VarType::Ref:
      if (v.IsNumber() && v.number() == 0) {
        slot = Value::Form(0);
      } else if (v.IsForm() || v.IsFunction()) {
        slot = v;
      } else {
        break;
      }
      stored = slot;
      return true;
    case VarType::String: {
      if (!v.IsString()) break;
      // The variable keeps a string of its own; the value is copied (§6.2).
      std::string text(strings_.Text(v.string()));
      if (text.size() > StringStore::kMaxLength) text.clear();
      if (std::string* own = slot.IsString() ? strings_.GetMutable(slot.string()) : nullptr;
          own != nullptr && slot.string() != v.string()) {
        *own = std::move(text);
      } else if (own == nullptr) {
        slot = Value::String(strings_.New(std::move(text), false));
      }
      stored = slot;
      return true;
    }
    case VarType::Array:
      if (!(v.IsArray() || (v.IsNumber() && v.number() == 0))) break;
      // Arrays are shared by reference, counted (§12.8).
      if (v.IsArray() && v.array() != 0) arrays_.AddRef(v.array());
      if (slot.IsArray() && slot.array() != 0) arrays_.Release(slot.array());
      slot = Value::Array(v.IsArray() ? v.array() : 0);
      stored = slot;
      return true;
  }
  error_ = std::string("Cannot assign a ") + TypeName(v.type()) + " to this variable";
  return false;
}

void Interpreter::ResetVars(const CompiledScript& s, std::vector<Value>& vars) {
  vars.assign(s.vars.size(), Value());
  for (std::size_t i = 0; i < s.vars.size(); ++i) {
    switch (s.vars[i].type) {
      case VarType::Ref: vars[i] = Value::Form(0); break;
      case VarType::String: vars[i] = Value::String(0); break;
      case VarType::Array: vars[i] = Value::Array(0); break;
      default: break;
    }
  }
}

}  // namespace cv::sim::script
