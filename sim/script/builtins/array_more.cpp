// More of the ar_ family (script-language.md §12.3-§12.6): neighbouring
// keys, existence, in-place concatenation, deep copies and comparisons, and
// the functional helpers that call a function per element.
#include <functional>

#include "sim/script/builtins/array_common.h"
#include "sim/script/value/convert.h"
#include "sim/script/value/text.h"

namespace cv::sim::script {

namespace {

// The code a missing key gives in this array: -99999, or "" in a StringMap
// (§12.3).
Value BadIndexOf(CallContext& c, const ArrayData* a) {
  if (a != nullptr && a->kind == ArrayKind::StringMap)
    return Value::String(c.services.strings().New(""));
  return Value::Number(kBadNumericIndex);
}

bool SameKey(const Key& a, const Key& b) {
  return a.isString ? b.isString && EqualsNoCase(a.text, b.text)
                    : !b.isString && a.number == b.number;
}

// ar_Packed a (§12.3): 1 for a packed Array, 0 for a map or no array.
bool ArPacked(CallContext& c) {
  const ArrayData* a = ArrayArg(c, 0);
  c.result = Value::Bool(a != nullptr && a->kind == ArrayKind::Array);
  return true;
}

// ar_Next a key / ar_Prev a key (§12.3): the neighbouring key in iteration
// order; -99999 or "" when there is none or the key is not there.
bool Neighbour(CallContext& c, int step) {
  const ArrayData* a = ArrayArg(c, 0);
  c.result = BadIndexOf(c, a);
  Key key;
  if (a == nullptr || !KeyArg(c, 1, key)) return true;
  std::vector<Key> keys = a->Keys();
  for (std::size_t i = 0; i < keys.size(); ++i) {
    if (!SameKey(keys[i], key)) continue;
    const std::ptrdiff_t j = static_cast<std::ptrdiff_t>(i) + step;
    if (j >= 0 && j < static_cast<std::ptrdiff_t>(keys.size()))
      c.result = KeyValue(c, keys[static_cast<std::size_t>(j)]);
    return true;
  }
  return true;
}
bool ArNext(CallContext& c) { return Neighbour(c, 1); }
bool ArPrev(CallContext& c) { return Neighbour(c, -1); }

// A key::value pair argument (a StringMap of exactly "key" and "value").
bool PairArg(CallContext& c, std::size_t i, Key& key, Element& value) {
  const ArrayData* p = ArrayArg(c, i);
  if (p == nullptr || p->kind != ArrayKind::StringMap || p->Size() != 2) return false;
  const Element* k = p->Find(Key::Str("key"));
  const Element* v = p->Find(Key::Str("value"));
  if (k == nullptr || v == nullptr) return false;
  if (k->type == Type::Number)
    key = Key::Num(k->number);
  else if (k->type == Type::String)
    key = Key::Str(k->text);
  else
    return false;
  value = *v;
  return true;
}

// ar_Exists a value|key::value [lo:hi] (§12.3): in an Array, 1 when the
// value occurs (within the range of keys when one is given); in a map, 1
// when the key exists; with a pair, 1 when that key holds that value.
bool ArExists(CallContext& c) {
  const ArrayData* a = ArrayArg(c, 0);
  c.result = Value::Bool(false);
  if (a == nullptr || !c.Has(1)) return true;
  Key key;
  Element value;
  if (PairArg(c, 1, key, value)) {
    const Element* e = a->Find(key);
    c.result = Value::Bool(e != nullptr && SameElement(*e, value));
    return true;
  }
  if (a->kind != ArrayKind::Array) {
    c.result = Value::Bool(KeyArg(c, 1, key) && a->Find(key) != nullptr);
    return true;
  }
  const Element want = c.services.arrays().ToElement(c.args[1]);
  double lo = 0, hi = 0;
  const bool ranged = RangeArg(c, 2, lo, hi);
  for (std::size_t i = 0; i < a->list.size(); ++i) {
    const auto at = static_cast<double>(i);
    if (ranged && (at < lo || at > hi)) continue;
    if (SameElement(a->list[i], want)) {
      c.result = Value::Bool(true);
      return true;
    }
  }
  return true;
}

// ar_Cat a b [bOverwrite] (§12.4): b's elements into a, in place. Arrays
// append; maps add b's keys that a lacks, or every key with bOverwrite.
// Nothing when the kinds differ. Gives 0.
bool ArCat(CallContext& c) {
  c.result = Value::Number(0);
  const ArrayData* a = ArrayArg(c, 0);
  const ArrayData* b = ArrayArg(c, 1);
  if (a == nullptr || b == nullptr || a->kind != b->kind) return true;
  ArrayStore& store = c.services.arrays();
  const ArrayId to = c.args[0].array();
  const bool overwrite = c.Number(2) != 0;
  std::vector<std::pair<Key, Element>> items;
  store.ForEach(c.args[1].array(), [&](const Key& k, const Element& e) { items.emplace_back(k, e); });
  for (const auto& [k, e] : items) {
    ArrayData* now = store.Get(to);
    if (now == nullptr) return true;
    if (now->kind == ArrayKind::Array)
      store.Append(to, store.ToValue(e));
    else if (overwrite || now->Find(k) == nullptr)
      store.Set(to, k, store.ToValue(e));
  }
  return true;
}

// A copy of the array with its inner arrays copied too (ar_DeepCopy, §12.4).
// depth stops an array that holds itself.
ArrayId DeepCopy(ArrayStore& store, StringStore& strings, ArrayId id, int depth) {
  const ArrayData* a = store.Get(id);
  if (a == nullptr || depth > 64) return 0;
  const ArrayId out = store.Create(a->kind);
  std::vector<std::pair<Key, Element>> items;
  store.ForEach(id, [&](const Key& k, const Element& e) { items.emplace_back(k, e); });
  for (auto& [k, e] : items) {
    if (e.type == Type::Array) {
      const ArrayId inner = DeepCopy(store, strings, e.id, depth + 1);
      e.id = inner;
    }
    CopyElement(store, out, k, e);
  }
  // The inner copies are held by the outer one now, not temporaries of
  // their own.
  return out;
}

bool ArDeepCopy(CallContext& c) {
  c.result = Value::Array(0);
  if (ArrayArg(c, 0) == nullptr) return true;
  c.result =
      Value::Array(DeepCopy(c.services.arrays(), c.services.strings(), c.args[0].array(), 0));
  return true;
}

// Deep equality (ar_DeepEquals, §12.6): the same kind, keys and element
// types in the same order, inner arrays by contents.
bool DeepEqual(const ArrayStore& store, ArrayId x, ArrayId y, int depth) {
  const ArrayData* a = store.Get(x);
  const ArrayData* b = store.Get(y);
  if (a == nullptr || b == nullptr) return a == b;
  if (x == y) return true;
  if (depth > 64 || a->kind != b->kind || a->Size() != b->Size()) return false;
  const std::vector<Key> ka = a->Keys(), kb = b->Keys();
  for (std::size_t i = 0; i < ka.size(); ++i) {
    if (!SameKey(ka[i], kb[i])) return false;
    const Element& ea = *a->Find(ka[i]);
    const Element& eb = *b->Find(kb[i]);
    if (ea.type == Type::Array && eb.type == Type::Array) {
      if (!DeepEqual(store, ea.id, eb.id, depth + 1)) return false;
    } else if (!SameElement(ea, eb)) {
      return false;
    }
  }
  return true;
}

bool ArDeepEquals(CallContext& c) {
  const ArrayId x = c.Has(0) && c.args[0].IsArray() ? c.args[0].array() : 0;
  const ArrayId y = c.Has(1) && c.args[1].IsArray() ? c.args[1].array() : 0;
  c.result = Value::Bool(DeepEqual(c.services.arrays(), x, y, 0));
  return true;
}

// Calls the function (argument 1) once per element with its key/value
// iterator (§12.5); f gets the key, the element, whether the call gave a
// result, and the result, and returns false to stop.
void EachCall(CallContext& c,
              const std::function<bool(const Key&, const Element&, bool, const Value&)>& f) {
  const ArrayData* a = ArrayArg(c, 0);
  if (a == nullptr || !c.Has(1)) return;
  const ArrayId id = c.args[0].array();
  for (const Key& k : a->Keys()) {
    const ArrayData* now = c.services.arrays().Get(id);  // the function may change it
    const Element* e = now != nullptr ? now->Find(k) : nullptr;
    if (e == nullptr) continue;
    const Element copy = *e;
    Value result;
    const bool ok = CallWithIterator(c, c.args[1], k, copy, result);
    if (!f(k, copy, ok, result)) return;
  }
}

// ar_MapTo a udf (§12.5): a new array of the same kind whose values are the
// function's results; an element whose call fails is left out.
bool ArMapTo(CallContext& c) {
  const ArrayData* a = ArrayArg(c, 0);
  c.result = Value::Array(0);
  if (a == nullptr) return true;
  ArrayStore& store = c.services.arrays();
  const ArrayId out = store.Create(a->kind);
  c.result = Value::Array(out);
  EachCall(c, [&](const Key& k, const Element&, bool ok, const Value& r) {
    if (!ok) return true;
    if (store.Get(out)->kind == ArrayKind::Array)
      store.Append(out, r);
    else
      store.Set(out, k, r);
    return true;
  });
  return true;
}

// ar_Any a udf / ar_All a udf (§12.5): the results are read as GetNumber
// reads them. Any: 1 at the first true. All: 0 at the first false or failed
// call; 1 for an empty array.
bool ArAny(CallContext& c) {
  bool any = false;
  EachCall(c, [&](const Key&, const Element&, bool ok, const Value& r) {
    any = ok && NumberOf(r) != 0;
    return !any;
  });
  c.result = Value::Bool(any);
  return true;
}
bool ArAll(CallContext& c) {
  bool all = ArrayArg(c, 0) != nullptr;
  EachCall(c, [&](const Key&, const Element&, bool ok, const Value& r) {
    all = ok && NumberOf(r) != 0;
    return all;
  });
  c.result = Value::Bool(all);
  return true;
}

// ar_FindWhere a udf (§12.5): the first element (not its key) the function
// holds true for (GetBool); 0 when none.
bool ArFindWhere(CallContext& c) {
  c.result = Value::Number(0);
  EachCall(c, [&](const Key&, const Element& e, bool ok, const Value& r) {
    if (!ok || !Truthy(r, c.services.strings())) return true;
    c.result = c.services.arrays().ToValue(e);
    return false;
  });
  return true;
}

// ar_ForEach a udf (§12.5): calls the function for each element; gives 1.
bool ArForEach(CallContext& c) {
  EachCall(c, [](const Key&, const Element&, bool, const Value&) { return true; });
  c.result = Value::Number(1);
  return true;
}

}  // namespace

void RegisterArrayMore(Registry& r) {
  const ParamSpec arr{Param::Array}, any{Param::Any}, fn{Param::Function};
  const ParamSpec optAny{Param::Any, true}, optNum{Param::Number, true};
  r.Add({"ar_Packed", "", {arr}, false, Returns::Number, ArPacked});                 // §12.3
  r.Add({"ar_Next", "", {arr, any}, false, Returns::Any, ArNext});                   // §12.3
  r.Add({"ar_Prev", "", {arr, any}, false, Returns::Any, ArPrev});                   // §12.3
  r.Add({"ar_Exists", "", {arr, any, optAny}, false, Returns::Number, ArExists});    // §12.3
  r.Add({"ar_Cat", "", {arr, arr, optNum}, false, Returns::Number, ArCat});          // §12.4
  r.Add({"ar_DeepCopy", "", {arr}, false, Returns::Array, ArDeepCopy});              // §12.4
  r.Add({"ar_DeepEquals", "", {any, any}, false, Returns::Number, ArDeepEquals});    // §12.6
  r.Add({"ar_MapTo", "", {arr, fn}, false, Returns::Array, ArMapTo});                // §12.5
  r.Add({"ar_Any", "", {arr, fn}, false, Returns::Number, ArAny});                   // §12.5
  r.Add({"ar_All", "", {arr, fn}, false, Returns::Number, ArAll});                   // §12.5
  r.Add({"ar_FindWhere", "", {arr, fn}, false, Returns::Any, ArFindWhere});          // §12.5
  r.Add({"ar_ForEach", "", {arr, fn}, false, Returns::Number, ArForEach});           // §12.5
}

}  // namespace cv::sim::script
