// Indexing and slices of arrays and strings (script-language.md §12.1,
// §12.4, §12.6, §13).
#include <algorithm>

#include "sim/script/runtime/interpreter.h"

namespace cv::sim::script {

namespace {

bool KeyOf(const Value& v, const StringStore& strings, Key& out) {
  if (v.IsNumber()) {
    out = Key::Num(v.number());
    return true;
  }
  if (v.IsString()) {
    out = Key::Str(std::string(strings.Text(v.string())));
    return true;
  }
  return false;
}

}  // namespace

bool Interpreter::IndexOf(const Value& c, const Value& keyValue, bool stringVar, Value& out,
                          bool missingIsEmpty, bool member) {
  if (c.IsString()) {
    if (!strings_.Exists(c.string())) {
      error_ = "String var is uninitialized";
      return false;
    }
    std::string text(strings_.Text(c.string()));
    if (!keyValue.IsNumber()) {
      error_ = "Invalid array access - expected numeric index, received string";
      return false;
    }
    long long i = static_cast<long long>(keyValue.number());
    // A string_var counts a negative index from the end; a string value
    // does not (§13).
    if (i < 0 && stringVar) i += static_cast<long long>(text.size());
    std::string ch = i >= 0 && i < static_cast<long long>(text.size())
                         ? text.substr(static_cast<std::size_t>(i), 1)
                         : std::string();
    out = Value::String(strings_.New(std::move(ch)));
    return true;
  }
  const ArrayData* a = c.IsArray() ? arrays_.Get(c.array()) : nullptr;
  Key key;
  const bool keyOk = KeyOf(keyValue, strings_, key);
  if (a == nullptr) {
    error_ = std::string("Invalid array access - the array was not initialized. ") +
             (member         ? "2"
              : key.isString ? "1"
                             : "0");  // §12.6
    return false;
  }
  if (!keyOk || key.isString != a->KeyIsString()) {
    error_ = a->KeyIsString() ? "Invalid array access - expected string index, received numeric."
                              : "Invalid array access - expected numeric index, received string";
    return false;
  }
  const Element* e = a->Find(key);
  if (e == nullptr && missingIsEmpty) {
    out = Value::String(strings_.New(""));
    return true;
  }
  if (e == nullptr) {
    error_ = "Array does not contain key";  // §12.6
    return false;
  }
  out = arrays_.ToValue(*e);
  return true;
}

bool Interpreter::SliceOf(const Value& c, const Value& lo, const Value& hi, bool stringVar,
                          Value& out) {
  if (c.IsString()) {
    std::string text(strings_.Text(c.string()));
    const long long n = static_cast<long long>(text.size());
    long long a = static_cast<long long>(lo.number()), b = static_cast<long long>(hi.number());
    // Inclusive both ends; negative bounds count from the end (§13).
    if (a < 0) a += n;
    if (b < 0) b += n;
    if (stringVar) {
      if (a > b) a = 0;
      b = std::min(b, n - 1);
    }
    std::string part = a >= 0 && a <= b && b < n ? text.substr(static_cast<std::size_t>(a),
                                                               static_cast<std::size_t>(b - a + 1))
                                                 : std::string();
    out = Value::String(strings_.New(std::move(part)));
    return true;
  }
  const ArrayData* a = c.IsArray() ? arrays_.Get(c.array()) : nullptr;
  if (a == nullptr) {
    error_ = "Invalid array access - the array was not initialized. 0";
    return false;
  }
  ArrayId id = arrays_.Create(a->kind);
  Key klo, khi;
  if (!KeyOf(lo, strings_, klo) || !KeyOf(hi, strings_, khi) || klo.isString != a->KeyIsString() ||
      khi.isString != a->KeyIsString()) {
    out = Value::Array(id);  // a key-type mismatch gives an empty array (§12.6)
    return true;
  }
  std::vector<std::pair<Key, Element>> picked;
  arrays_.ForEach(c.array(), [&](const Key& k, const Element& e) {
    bool in = k.isString
                  ? CompareNoCase(k.text, klo.text) >= 0 && CompareNoCase(k.text, khi.text) <= 0
                  : k.number >= klo.number && k.number <= khi.number;
    if (in) picked.emplace_back(k, e);
  });
  for (auto& [k, e] : picked) {
    Value v = arrays_.ToValue(e);
    if (a->kind == ArrayKind::Array)
      arrays_.Append(id, v);  // re-indexed from 0
    else
      arrays_.Set(id, k, v);
  }
  out = Value::Array(id);
  return true;
}

bool Interpreter::StoreSlice(std::string& text, const ArrayData& range, std::string_view part) {
  // s[lo:hi] := "..." replaces that part of the string_var (§13,
  // AssignableSubstringToken): both ends included, negative bounds count
  // from the end, a reversed range starts at 0, hi past the end is clamped.
  const Element* l = range.Find(Key::Str("lo"));
  const Element* h = range.Find(Key::Str("hi"));
  if (range.kind != ArrayKind::StringMap || l == nullptr || h == nullptr ||
      l->type != Type::Number || h->type != Type::Number) {
    error_ = "Invalid array access - expected numeric index, received string";
    return false;
  }
  const auto n = static_cast<long long>(text.size());
  auto a = static_cast<long long>(l->number), b = static_cast<long long>(h->number);
  if (a < 0) a += n;
  if (b < 0) b += n;
  if (a > b) a = 0;
  b = std::min(b, n - 1);
  if (a >= 0 && a <= b)
    text.replace(static_cast<std::size_t>(a), static_cast<std::size_t>(b - a + 1), part);
  return true;
}

bool Interpreter::StoreIndex(const Value& c, const Value& keyValue, const Value& v) {
  if (c.IsString()) {
    // s[i] := "xy" replaces that character of the string_var (§13); a
    // negative index counts from the end.
    std::string* own = strings_.GetMutable(c.string());
    if (own == nullptr) {
      error_ = "String var is uninitialized";
      return false;
    }
    if (const ArrayData* r = keyValue.IsArray() ? arrays_.Get(keyValue.array()) : nullptr;
        r != nullptr && v.IsString()) {
      return StoreSlice(*own, *r, strings_.Text(v.string()));
    }
    if (!keyValue.IsNumber() || !v.IsString()) {
      error_ = "Invalid array access - expected numeric index, received string";
      return false;
    }
    long long i = static_cast<long long>(keyValue.number());
    if (i < 0) i += static_cast<long long>(own->size());
    if (i >= 0 && i < static_cast<long long>(own->size()))
      own->replace(static_cast<std::size_t>(i), 1, std::string(strings_.Text(v.string())));
    return true;
  }
  const ArrayData* a = c.IsArray() ? arrays_.Get(c.array()) : nullptr;
  if (a == nullptr) {
    error_ = "Invalid array access - the array was not initialized.";
    return false;
  }
  Key key;
  if (!KeyOf(keyValue, strings_, key) || !arrays_.Set(c.array(), key, v)) {
    error_ = a->KeyIsString() ? "Invalid array access - expected string index, received numeric."
                              : "Invalid array access - expected numeric index, received string";
    return false;
  }
  return true;
}

}  // namespace cv::sim::script
