// The rest of the ar_ family (script-language.md §12.3-§12.6): stepping
// through keys, membership, joining, deep copies and deep equality, and the
// helpers that call a function for each element.
#include "sim/script/builtins/array_common.h"
#include "sim/script/value/convert.h"
#include "sim/script/value/text.h"

namespace cv::sim::script {

namespace {

bool SameKey(const Key& a, const Key& b) {
  return a.isString == b.isString &&
         (a.isString ? EqualsNoCase(a.text, b.text) : a.number == b.number);
}

// The code a missing key gives in this array (§12.3): -99999, or "" in a
// StringMap.
Value MissingKey(CallContext& c, const ArrayData* a) {
  if (a != nullptr && a->kind == ArrayKind::StringMap)
    return Value::String(c.services.strings().New(""));
  return Value::Number(kBadNumericIndex);
}

// ar_Packed a (§12.3): 1 for an Array, 0 for a map or no array.
bool ArPacked(CallContext& c) {
  const ArrayData* a = ArrayArg(c, 0);
  c.result = Value::Bool(a != nullptr && a->kind == ArrayKind::Array);
  return true;
}

// ar_Next a key / ar_Prev a key (§12.3): the neighbouring key in iteration
// order; -99999 or "" when there is none or the key is not there.
bool NextOrPrev(CallContext& c, bool next) {
  const ArrayData* a = ArrayArg(c, 0);
  Key key;
  c.result = MissingKey(c, a);
  if (a == nullptr || !KeyArg(c, 1, key)) return true;
  const std::vector<Key> keys = a->Keys();
  for (std::size_t i = 0; i < keys.size(); ++i) {
    if (!SameKey(keys[i], key)) continue;
    if (next && i + 1 < keys.size()) c.result = KeyValue(c, keys[i + 1]);
    if (!next && i > 0) c.result = KeyValue(c, keys[i - 1]);
    break;
  }
  return true;
}
bool ArNext(CallContext& c) { return NextOrPrev(c, true); }
bool ArPrev(CallContext& c) { return NextOrPrev(c, false); }

// ar_Exists a value|key::value [lo:hi] (§12.3): an Array holds the value
// (within the range, both ends included); a map holds the key; with a pair,
// the key holds that value.
bool ArExists(CallContext& c) {
  const ArrayData* a = ArrayArg(c, 0);
  c.result = Value::Bool(false);
  if (a == nullptr || !c.Has(1)) return true;
  ArrayStore& store = c.services.arrays();
  const ArrayData* pair = c.args[1].IsArray() ? store.Get(c.args[1].array()) : nullptr;
  const Element* pk = pair != nullptr && pair->kind == ArrayKind::StringMap && pair->Size() == 2
                          ? pair->Find(Key::Str("key"))
                          : nullptr;
  const Element* pv = pk != nullptr ? pair->Find(Key::Str("value")) : nullptr;
  if (pk != nullptr && pv != nullptr) {
    Key key = pk->type == Type::String ? Key::Str(pk->text) : Key::Num(pk->number);
    const Element* e = key.isString == a->KeyIsString() ? a->Find(key) : nullptr;
    c.result = Value::Bool(e != nullptr && SameElement(*e, *pv));
    return true;
  }
  if (a->kind != ArrayKind::Array) {
    Key key;
    c.result = Value::Bool(KeyArg(c, 1, key) && key.isString == a->KeyIsString() &&
                           a->Find(key) != nullptr);
    return true;
  }
  double lo = 0, hi = static_cast<double>(a->list.size()) - 1;
  RangeArg(c, 2, lo, hi);
  const Element wanted = store.ToElement(c.args[1]);
  for (std::size_t i = 0; i < a->list.size(); ++i)
    if (static_cast<double>(i) >= lo && static_cast<double>(i) <= hi &&
        SameElement(a->list[i], wanted))
      c.result = Value::Bool(true);
  return true;
}

// ar_Cat a b [bOverwrite] (§12.4): b's elements appended into a (Arrays),
// or b's keys added to a where a lacks them, or always with bOverwrite
// (maps); nothing when the kinds differ. Gives 0.
bool ArCat(CallContext& c) {
  c.result = Value::Number(0);
  ArrayData* a = ArrayArg(c, 0);
  const ArrayData* b = ArrayArg(c, 1);
  if (a == nullptr || b == nullptr || a->kind != b->kind) return true;
  ArrayStore& store = c.services.arrays();
  const ArrayId to = c.args[0].array();
  const bool overwrite = c.Number(2) != 0;
  std::vector<std::pair<Key, Element>> items;
  store.ForEach(c.args[1].array(),
                [&](const Key& k, const Element& e) { items.emplace_back(k, e); });
  for (const auto& [k, e] : items) {
    if (a->kind == ArrayKind::Array || overwrite || store.Get(to)->Find(k) == nullptr) {
      if (a->kind == ArrayKind::Array)
        store.Append(to, store.ToValue(e));
      else
        store.Set(to, k, store.ToValue(e));
    }
  }
  return true;
}

ArrayId DeepCopy(ArrayStore& store, ArrayId from, int depth) {
  const ArrayData* a = store.Get(from);
  ArrayId out = store.Create(a != nullptr ? a->kind : ArrayKind::Array);
  if (a == nullptr) return out;
  std::vector<std::pair<Key, Element>> items;
  store.ForEach(from, [&](const Key& k, const Element& e) { items.emplace_back(k, e); });
  for (const auto& [k, e] : items) {
    // An array that holds itself would copy forever: deeper than any real
    // nesting, the inner array is shared instead.
    Value v = e.type == Type::Array && depth < 64 ? Value::Array(DeepCopy(store, e.id, depth + 1))
                                                  : store.ToValue(e);
    if (store.Get(out)->kind == ArrayKind::Array)
      store.Append(out, v);
    else
      store.Set(out, k, v);
  }
  return out;
}

// ar_DeepCopy a (§12.4): a copy with every inner array copied too.
bool ArDeepCopy(CallContext& c) {
  c.result = Value::Array(0);
  if (ArrayArg(c, 0) != nullptr)
    c.result = Value::Array(DeepCopy(c.services.arrays(), c.args[0].array(), 0));
  return true;
}

// Calls udf with each element's key/value iterator (§12.5), in iteration
// order; f gets the key, the element, whether the call gave a value, and the
// value. Stops when f returns false.
template <class F>
void Walk(CallContext& c, const F& f) {
  ArrayData* a = ArrayArg(c, 0);
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

// GetNumber of a function's result (§12.5): the number, else 0.
bool NumberTrue(const Value& v) { return v.IsNumber() && v.number() != 0; }

// ar_MapTo a udf (§12.5): a new array of the same kind holding each
// function result; an element whose call fails is left out.
bool ArMapTo(CallContext& c) {
  const ArrayData* a = ArrayArg(c, 0);
  c.result = Value::Array(0);
  if (a == nullptr) return true;
  ArrayStore& store = c.services.arrays();
  const ArrayId out = store.Create(a->kind);
  c.result = Value::Array(out);
  Walk(c, [&](const Key& k, const Element&, bool ok, const Value& v) {
    if (ok) store.Get(out)->kind == ArrayKind::Array ? store.Append(out, v) : store.Set(out, k, v);
    return true;
  });
  return true;
}

// ar_Any a udf (§12.5): 1 at the first element the function gives a
// number other than 0 for.
bool ArAny(CallContext& c) {
  bool any = false;
  Walk(c, [&](const Key&, const Element&, bool ok, const Value& v) {
    any = ok && NumberTrue(v);
    return !any;
  });
  c.result = Value::Bool(any);
  return true;
}

// ar_All a udf (§12.5): 0 at the first false or failed call; 1 for an empty
// array.
bool ArAll(CallContext& c) {
  bool all = ArrayArg(c, 0) != nullptr;
  Walk(c, [&](const Key&, const Element&, bool ok, const Value& v) {
    all = ok && NumberTrue(v);
    return all;
  });
  c.result = Value::Bool(all);
  return true;
}

// ar_FindWhere a udf (§12.5): the first element (not its key) the function
// holds true for (GetBool); a number 0 when none.
bool ArFindWhere(CallContext& c) {
  c.result = Value::Number(0);
  Walk(c, [&](const Key&, const Element& e, bool ok, const Value& v) {
    if (!ok || !Truthy(v, c.services.strings())) return true;
    c.result = c.services.arrays().ToValue(e);
    return false;
  });
  return true;
}

// ar_ForEach a udf (§12.5): calls the function for each element; gives 1.
bool ArForEach(CallContext& c) {
  Walk(c, [](const Key&, const Element&, bool, const Value&) { return true; });
  c.result = Value::Number(1);
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

}  // namespace

void RegisterArrayWalks(Registry& r) {
  const ParamSpec arr{Param::Array}, any{Param::Any}, fn{Param::Function};
  r.Add({"ar_Packed", "", {arr}, false, Returns::Number, ArPacked});  // §12.3
  r.Add({"ar_Next", "", {arr, any}, false, Returns::Any, ArNext});
  r.Add({"ar_Prev", "", {arr, any}, false, Returns::Any, ArPrev});
  r.Add({"ar_Exists", "", {arr, any, {Param::Any, true}}, false, Returns::Number, ArExists});
  r.Add({"ar_Cat", "", {arr, arr, {Param::Number, true}}, false, Returns::Number, ArCat});
  r.Add({"ar_DeepCopy", "", {arr}, false, Returns::Array, ArDeepCopy});  // §12.4
  r.Add({"ar_DeepEquals", "", {{Param::Any}, {Param::Any}}, false, Returns::Number, ArDeepEquals});
  r.Add({"ar_MapTo", "", {arr, fn}, false, Returns::Array, ArMapTo});  // §12.5
  r.Add({"ar_Any", "", {arr, fn}, false, Returns::Number, ArAny});
  r.Add({"ar_All", "", {arr, fn}, false, Returns::Number, ArAll});
  r.Add({"ar_FindWhere", "", {arr, fn}, false, Returns::Any, ArFindWhere});
  r.Add({"ar_ForEach", "", {arr, fn}, false, Returns::Number, ArForEach});
}

}  // namespace cv::sim::script
