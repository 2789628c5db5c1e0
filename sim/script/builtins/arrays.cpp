// The ar_ family (script-language.md §12): the shared helpers, the
// constructors and the look-ups. Changing, sorting and the functional
// helpers are in builtins/array_edit.cpp.
#include <cstdint>
#include <cstdio>

#include "sim/script/builtins/array_common.h"
#include "sim/script/value/text.h"

namespace cv::sim::script {

ArrayData* ArrayArg(CallContext& c, std::size_t i) {
  return c.Has(i) && c.args[i].IsArray() ? c.services.arrays().Get(c.args[i].array()) : nullptr;
}

bool KeyArg(CallContext& c, std::size_t i, Key& key) {
  if (!c.Has(i)) return false;
  const Value& v = c.args[i];
  if (v.IsNumber()) {
    key = Key::Num(v.number());
    return true;
  }
  if (v.IsString()) {
    key = Key::Str(std::string(c.services.strings().Text(v.string())));
    return true;
  }
  return false;
}

Value KeyValue(CallContext& c, const Key& k) {
  return k.isString ? Value::String(c.services.strings().New(k.text)) : Value::Number(k.number);
}

// A range arrives as a temporary StringMap {"lo": lo, "hi": hi}.
bool RangeArg(CallContext& c, std::size_t i, double& lo, double& hi) {
  const ArrayData* a = ArrayArg(c, i);
  if (a == nullptr || a->kind != ArrayKind::StringMap) return false;
  const Element* l = a->Find(Key::Str("lo"));
  const Element* h = a->Find(Key::Str("hi"));
  if (l == nullptr || h == nullptr || l->type != Type::Number || h->type != Type::Number)
    return false;
  lo = l->number;
  hi = h->number;
  return true;
}

void CopyElement(ArrayStore& store, ArrayId to, const Key& key, const Element& e) {
  ArrayData* a = store.Get(to);
  if (a == nullptr) return;
  if (e.type == Type::Array) store.AddRef(e.id);
  switch (a->kind) {
    case ArrayKind::Array: a->list.push_back(e); break;
    case ArrayKind::Map: a->map[key.number] = e; break;
    default: a->smap[key.text] = e;
  }
}

bool SameElement(const Element& a, const Element& b) {
  if (a.type != b.type) return false;
  switch (a.type) {
    case Type::Number: return a.number == b.number;
    case Type::String: return EqualsNoCase(a.text, b.text);
    default: return a.id == b.id;
  }
}

bool EqualElementShallow(const ArrayStore& store, const Element& a, const Element& b) {
  if (a.type != Type::Array || b.type != Type::Array) return SameElement(a, b);
  const ArrayData* x = store.Get(a.id);
  const ArrayData* y = store.Get(b.id);
  if (x == nullptr || y == nullptr) return x == y;
  if (x->kind != y->kind || x->Size() != y->Size()) return false;
  std::vector<Key> kx = x->Keys(), ky = y->Keys();
  for (std::size_t i = 0; i < kx.size(); ++i) {
    if (kx[i].isString ? !EqualsNoCase(kx[i].text, ky[i].text) : kx[i].number != ky[i].number)
      return false;
    if (!SameElement(*x->Find(kx[i]), *y->Find(ky[i]))) return false;
  }
  return true;
}

bool CallWithIterator(CallContext& c, const Value& udf, const Key& key, const Element& e,
                      Value& result) {
  ArrayStore& store = c.services.arrays();
  ArrayId it = store.Create(ArrayKind::StringMap);
  store.Set(it, Key::Str("key"), KeyValue(c, key));
  store.Set(it, Key::Str("value"), store.ToValue(e));
  Value arg = Value::Array(it);
  return c.services.CallFunction(udf, std::span<const Value>(&arg, 1), c.callingRef, result);
}

namespace {

Value NewArray(CallContext& c, ArrayKind kind) {
  return Value::Array(c.services.arrays().Create(kind));
}

// The code a missing key gives in this array: -99999, or "" in a StringMap.
Value BadIndex(CallContext& c, const ArrayData* a) {
  if (a != nullptr && a->kind == ArrayKind::StringMap)
    return Value::String(c.services.strings().New(""));
  return Value::Number(kBadNumericIndex);
}

// ar_List e1 ... e20 (§12.2): a new Array of the values, in order.
bool ArList(CallContext& c) {
  c.result = NewArray(c, ArrayKind::Array);
  for (const Value& v : c.args) c.services.arrays().Append(c.result.array(), v);
  return true;
}

// ar_Map k1::v1 ... (§12.2): the first pair's key makes a Map (a number) or
// a StringMap (a string); pairs with the other kind of key are skipped; a
// later key wins. 0 when the first argument is not such a pair.
bool ArMap(CallContext& c) {
  c.result = Value::Array(0);
  ArrayStore& store = c.services.arrays();
  ArrayId out = 0;
  for (std::size_t i = 0; i < c.args.size(); ++i) {
    const ArrayData* pair = ArrayArg(c, i);
    const Element* k = pair != nullptr ? pair->Find(Key::Str("key")) : nullptr;
    const Element* v = pair != nullptr ? pair->Find(Key::Str("value")) : nullptr;
    bool usable =
        k != nullptr && v != nullptr && (k->type == Type::Number || k->type == Type::String);
    if (i == 0) {
      if (!usable) return true;
      out = store.Create(k->type == Type::String ? ArrayKind::StringMap : ArrayKind::Map);
      c.result = Value::Array(out);
    }
    if (!usable || (k->type == Type::String) != store.Get(out)->KeyIsString()) continue;
    Key key = k->type == Type::String ? Key::Str(k->text) : Key::Num(k->number);
    Element copy = *v;  // the pair may move when the store grows
    store.Set(out, key, store.ToValue(copy));
  }
  return true;
}

// ar_Init n value (§12.2): n copies of value; 0 when n is not positive.
bool ArInit(CallContext& c) {
  double n = c.Number(0);
  if (n < 1 || !c.Has(1)) {
    c.result = Value::Array(0);
    return true;
  }
  c.result = NewArray(c, ArrayKind::Array);
  for (long long i = 0; i < static_cast<long long>(n); ++i)
    c.services.arrays().Append(c.result.array(), c.args[1]);
  return true;
}

// ar_Construct type (§12.1): "StringMap", "Map", anything else an Array;
// only inside an xNVSE expression.
bool ArConstruct(CallContext& c) {
  if (!c.services.InExpression()) {
    char line[96];
    std::snprintf(line, sizeof line,
                  "Error in script %08X: ar_Construct called outside of a valid context.",
                  static_cast<unsigned>(c.services.ScriptFormId()));
    c.services.Console(line);
    c.result = Value::Array(0);
    return true;
  }
  std::string_view type = c.Has(0) && c.args[0].IsString()
                              ? c.services.strings().Text(c.args[0].string())
                              : std::string_view();
  c.result = NewArray(c, EqualsNoCase(type, "StringMap") ? ArrayKind::StringMap
                         : EqualsNoCase(type, "Map")     ? ArrayKind::Map
                                                         : ArrayKind::Array);
  return true;
}

// ar_Range start end [step=1] (§12.2): integers up to and including end;
// empty when the step goes the wrong way. A step of 0 never ends in the
// host; here it fails.
bool ArRange(CallContext& c) {
  auto start = static_cast<long long>(c.Number(0)), end = static_cast<long long>(c.Number(1)),
       step = static_cast<long long>(c.Number(2, 1));
  if (step == 0) return false;
  c.result = NewArray(c, ArrayKind::Array);
  for (long long i = start; step > 0 ? i <= end : i >= end; i += step)
    c.services.arrays().Append(c.result.array(), Value::Number(static_cast<double>(i)));
  return true;
}

// ar_Null (§12.2): no array.
bool ArNull(CallContext& c) {
  c.result = Value::Array(0);
  return true;
}

// ar_BadNumericIndex / ar_BadStringIndex (§12.3): the codes a missing key gives.
bool ArBadNumericIndex(CallContext& c) {
  c.result = Value::Number(kBadNumericIndex);
  return true;
}
bool ArBadStringIndex(CallContext& c) {
  c.result = Value::String(c.services.strings().New(""));
  return true;
}

// ar_Size a (§12.3): the element count; -1 when a is not a valid array.
bool ArSize(CallContext& c) {
  const ArrayData* a = ArrayArg(c, 0);
  c.result = Value::Number(a != nullptr ? static_cast<double>(a->Size()) : -1);
  return true;
}

// ar_HasKey a key (§12.3): 1/0; a packed Array takes negative indices.
bool ArHasKey(CallContext& c) {
  const ArrayData* a = ArrayArg(c, 0);
  Key key;
  c.result = Value::Bool(a != nullptr && KeyArg(c, 1, key) && a->Find(key) != nullptr);
  return true;
}

// ar_Keys a (§12.3): a new Array of the keys in iteration order; only
// inside an xNVSE expression.
bool ArKeys(CallContext& c) {
  if (!c.services.InExpression()) {
    c.services.Console("ar_Keys must be called within an NVSE expression.");
    c.result = Value::Array(0);
    return true;
  }
  const ArrayData* a = ArrayArg(c, 0);
  std::vector<Key> keys = a != nullptr ? a->Keys() : std::vector<Key>();
  c.result = NewArray(c, ArrayKind::Array);
  for (const Key& k : keys) c.services.arrays().Append(c.result.array(), KeyValue(c, k));
  return true;
}

// ar_Find value a [lo:hi] (§12.3): the key of the first equal element;
// -99999 or "" when none. The range holds keys lo..hi, both included.
bool ArFind(CallContext& c) {
  ArrayData* a = ArrayArg(c, 1);
  c.result = BadIndex(c, a);
  if (a == nullptr || !c.Has(0)) return true;
  const Element want = c.services.arrays().ToElement(c.args[0]);
  double lo = 0, hi = 0;
  const bool ranged = RangeArg(c, 2, lo, hi);
  for (const Key& k : a->Keys()) {
    if (ranged && (k.isString || k.number < lo || k.number > hi)) continue;
    if (SameElement(*a->Find(k), want)) {
      c.result = KeyValue(c, k);
      return true;
    }
  }
  return true;
}

// ar_First a / ar_Last a (§12.3): the first or last key; -99999 or "" when
// the array is empty.
bool FirstOrLast(CallContext& c, bool last) {
  const ArrayData* a = ArrayArg(c, 0);
  std::vector<Key> keys = a != nullptr ? a->Keys() : std::vector<Key>();
  c.result = keys.empty() ? BadIndex(c, a) : KeyValue(c, last ? keys.back() : keys.front());
  return true;
}
bool ArFirst(CallContext& c) { return FirstOrLast(c, false); }
bool ArLast(CallContext& c) { return FirstOrLast(c, true); }

// ar_GetNth a n (§12.3): the n-th element in iteration order with its own
// type; 0 past the end or for a negative n (compared unsigned). The host
// does not check the array; here an invalid one gives 0 too.
bool ArGetNth(CallContext& c) {
  const ArrayData* a = ArrayArg(c, 0);
  double n = c.Number(1);
  c.result = Value::Number(0);
  if (a == nullptr || n < 0 || n >= static_cast<double>(a->Size())) return true;
  std::vector<Key> keys = a->Keys();
  Element e = *a->Find(keys[static_cast<std::size_t>(n)]);
  c.result = c.services.arrays().ToValue(e);
  return true;
}

// ar_Count a value (§12.3): how many elements equal value, nested arrays by
// contents one level deep. The host does not check the array; here an
// invalid one counts 0.
bool ArCount(CallContext& c) {
  const ArrayData* a = ArrayArg(c, 0);
  double n = 0;
  if (a != nullptr && c.Has(1)) {
    const Element want = c.services.arrays().ToElement(c.args[1]);
    c.services.arrays().ForEach(c.args[0].array(), [&](const Key&, const Element& e) {
      if (EqualElementShallow(c.services.arrays(), e, want)) ++n;
    });
  }
  c.result = Value::Number(n);
  return true;
}

}  // namespace

void RegisterArrays(Registry& r) {
  const ParamSpec arr{Param::Array}, any{Param::Any}, num{Param::Number};
  r.Add({"ar_List", "", {{Param::Any, true}}, false, Returns::Array, ArList, 19});  // §12.2
  r.Add({"ar_Map", "", {{Param::Pair, true}}, false, Returns::Array, ArMap, 19});   // §12.2
  r.Add({"ar_Init", "ar_Initialize", {num, any}, false, Returns::Array, ArInit});   // §12.2
  r.Add({"ar_Construct", "", {{Param::String}}, false, Returns::Array, ArConstruct});
  r.Add({"ar_Range", "", {num, num, {Param::Number, true}}, false, Returns::Array, ArRange});
  r.Add({"ar_Null", "", {}, false, Returns::Array, ArNull});
  r.Add({"ar_BadNumericIndex", "", {}, false, Returns::Number, ArBadNumericIndex});  // §12.3
  r.Add({"ar_BadStringIndex", "", {}, false, Returns::String, ArBadStringIndex});    // §12.3
  r.Add({"ar_Size", "", {arr}, false, Returns::Number, ArSize});
  r.Add({"ar_HasKey", "", {arr, any}, false, Returns::Number, ArHasKey});
  r.Add({"ar_Keys", "", {arr}, false, Returns::Array, ArKeys});
  r.Add({"ar_Find", "", {any, arr, {Param::Any, true}}, false, Returns::Any, ArFind});
  r.Add({"ar_First", "", {arr}, false, Returns::Any, ArFirst});
  r.Add({"ar_Last", "", {arr}, false, Returns::Any, ArLast});
  r.Add({"ar_GetNth", "", {arr, num}, false, Returns::Any, ArGetNth});
  r.Add({"ar_Count", "", {arr, any}, false, Returns::Number, ArCount});
  RegisterArrayEdits(r);
  RegisterArrayWalks(r);
}

}  // namespace cv::sim::script
