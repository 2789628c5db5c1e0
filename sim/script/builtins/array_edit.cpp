// The ar_ family, part two (script-language.md §12.4, §12.5): erasing,
// appending, inserting and resizing in place; copies and sorts; and the
// helpers that call a function for each element.
#include <algorithm>
#include <cmath>

#include "sim/script/builtins/array_common.h"
#include "sim/script/value/convert.h"
#include "sim/script/value/text.h"

namespace cv::sim::script {

namespace {

// What ar_Erase's error cases give: UInt32 -1 as a number (§12.4).
constexpr double kEraseError = 4294967295.0;

// ar_Erase a [key | lo:hi] (§12.4): how many elements went. No key: all of
// them. A key: 1 or 0; a packed Array renumbers the rest and takes no
// negative index. A range on an Array: lo..hi both included, hi clamped; on
// a Map: the whole-number keys lo, lo+1 ... below hi. An invalid array, an
// empty one with a key, a key of the wrong type or a range of strings: the
// error code.
bool ArErase(CallContext& c) {
  ArrayData* a = ArrayArg(c, 0);
  ArrayStore& store = c.services.arrays();
  c.result = Value::Number(kEraseError);
  if (a == nullptr) return true;
  const ArrayId id = c.args[0].array();
  if (!c.Has(1)) {
    c.result = Value::Number(static_cast<double>(a->Size()));
    store.Clear(id);
    return true;
  }
  if (a->Size() == 0) return true;
  double lo = 0, hi = 0;
  if (RangeArg(c, 1, lo, hi)) {
    double n = 0;
    if (a->kind == ArrayKind::Array) {
      hi = std::min(hi, static_cast<double>(a->list.size()) - 1);
      if (lo >= 0)
        for (double i = std::floor(lo); i <= hi; ++i)
          if (store.Erase(id, Key::Num(std::floor(lo)))) ++n;
    } else if (a->kind == ArrayKind::Map) {
      for (double k = std::floor(lo); k < hi; ++k)
        if (store.Erase(id, Key::Num(k))) ++n;
    } else {
      return true;  // a numeric range on a StringMap: a key type mismatch
    }
    c.result = Value::Number(n);
    return true;
  }
  Key key;
  if (!KeyArg(c, 1, key) || key.isString != a->KeyIsString()) return true;
  c.result = Value::Bool(store.Erase(id, key));
  return true;
}

// ar_Append a v (§12.4): 1, or 0 for a map.
bool ArAppend(CallContext& c) {
  c.result = Value::Bool(c.Has(1) && ArrayArg(c, 0) != nullptr &&
                         c.services.arrays().Append(c.args[0].array(), c.args[1]));
  return true;
}

// The packed Array an argument names; null for maps and invalid arrays.
ArrayData* PackedArg(CallContext& c, std::size_t i) {
  ArrayData* a = ArrayArg(c, i);
  return a != nullptr && a->kind == ArrayKind::Array ? a : nullptr;
}

// An insertion index: 0..size; -1 when outside.
long long InsertIndex(const ArrayData& a, double idx) {
  return idx >= 0 && idx <= static_cast<double>(a.list.size()) ? static_cast<long long>(idx) : -1;
}

// ar_Insert a idx v (§12.4): before idx (idx = size appends); 0 for maps or
// an index past the end.
bool ArInsert(CallContext& c) {
  ArrayData* a = PackedArg(c, 0);
  long long at = a != nullptr && c.Has(2) ? InsertIndex(*a, c.Number(1, -1)) : -1;
  if (at >= 0) {
    ArrayStore& store = c.services.arrays();
    Element e = store.ToElement(c.args[2]);
    if (e.type == Type::Array) store.AddRef(e.id);
    a->list.insert(a->list.begin() + at, std::move(e));
  }
  c.result = Value::Bool(at >= 0);
  return true;
}

// ar_InsertRange a idx src (§12.4): every element of src at idx; both must
// be Arrays; 0 when idx is past the end.
bool ArInsertRange(CallContext& c) {
  ArrayData* a = PackedArg(c, 0);
  const ArrayData* src = PackedArg(c, 2);
  long long at = a != nullptr && src != nullptr ? InsertIndex(*a, c.Number(1, -1)) : -1;
  if (at >= 0) {
    std::vector<Element> items = src->list;  // src may be a itself
    for (const Element& e : items)
      if (e.type == Type::Array) c.services.arrays().AddRef(e.id);
    a->list.insert(a->list.begin() + at, items.begin(), items.end());
  }
  c.result = Value::Bool(at >= 0);
  return true;
}

// ar_Resize a n [pad=0] (§12.4): grows with pad or cuts; 0 for maps.
bool ArResize(CallContext& c) {
  ArrayData* a = PackedArg(c, 0);
  double n = c.Number(1, -1);
  if (a == nullptr || n < 0) {
    c.result = Value::Number(0);
    return true;
  }
  ArrayStore& store = c.services.arrays();
  const ArrayId id = c.args[0].array();
  const auto size = static_cast<std::size_t>(n);
  while (a->list.size() > size) store.Erase(id, Key::Num(static_cast<double>(a->list.size() - 1)));
  const Value pad = c.Has(2) ? c.args[2] : Value::Number(0);
  while (a->list.size() < size) store.Append(id, pad);
  c.result = Value::Number(1);
  return true;
}

// ar_Copy a (§12.4): a new array of the same kind and keys; inner arrays
// are shared, by id.
bool ArCopy(CallContext& c) {
  const ArrayData* a = ArrayArg(c, 0);
  c.result = Value::Array(0);
  if (a == nullptr) return true;
  ArrayStore& store = c.services.arrays();
  ArrayId out = store.Create(a->kind);
  store.ForEach(c.args[0].array(),
                [&](const Key& k, const Element& e) { CopyElement(store, out, k, e); });
  c.result = Value::Array(out);
  return true;
}

// ar_Sort a [bDescending] (§12.5): a new Array of the elements of the first
// element's type, ascending (numbers by value, strings ignoring case, forms
// by id); empty when the first element is an array.
bool ArSort(CallContext& c) {
  const ArrayData* a = ArrayArg(c, 0);
  ArrayStore& store = c.services.arrays();
  ArrayId out = store.Create(ArrayKind::Array);
  c.result = Value::Array(out);
  if (a == nullptr || a->Size() == 0) return true;
  std::vector<Element> items;
  store.ForEach(c.args[0].array(), [&](const Key&, const Element& e) { items.push_back(e); });
  const Type type = items.front().type;
  if (type == Type::Array) return true;
  std::erase_if(items, [&](const Element& e) { return e.type != type; });
  auto less = [type](const Element& x, const Element& y) {
    if (type == Type::Number) return x.number < y.number;
    if (type == Type::String) return CompareNoCase(x.text, y.text) < 0;
    return x.id < y.id;
  };
  std::stable_sort(items.begin(), items.end(), less);
  if (c.Number(1, 0) != 0) std::reverse(items.begin(), items.end());
  for (const Element& e : items) CopyElement(store, out, Key::Num(0), e);
  return true;
}

// Calls udf for each element with its key/value iterator; f gets the key,
// the element and whether the result is true (GetBool, §12.5). A call that
// fails counts as false.
template <class F>
void ForEachTested(CallContext& c, const F& f) {
  ArrayData* a = ArrayArg(c, 0);
  if (a == nullptr || !c.Has(1)) return;
  const ArrayId id = c.args[0].array();
  for (const Key& k : a->Keys()) {
    ArrayData* now = c.services.arrays().Get(id);  // the function may change it
    const Element* e = now != nullptr ? now->Find(k) : nullptr;
    if (e == nullptr) continue;
    const Element copy = *e;
    Value result;
    bool ok = CallWithIterator(c, c.args[1], k, copy, result);
    f(k, copy, ok && Truthy(result, c.services.strings()));
  }
}

// ar_Filter a udf (§12.5): a new array of the same kind with the elements
// the function holds true for; an Array is packed again, maps keep keys.
bool ArFilter(CallContext& c) {
  const ArrayData* a = ArrayArg(c, 0);
  c.result = Value::Array(0);
  if (a == nullptr) return true;
  ArrayStore& store = c.services.arrays();
  ArrayId out = store.Create(a->kind);
  c.result = Value::Array(out);
  ForEachTested(c, [&](const Key& k, const Element& e, bool keep) {
    if (keep) CopyElement(store, out, k, e);
  });
  return true;
}

// ar_CountWhere a udf (§12.5): how many elements the function holds true for.
bool ArCountWhere(CallContext& c) {
  double n = 0;
  ForEachTested(c, [&](const Key&, const Element&, bool keep) { n += keep ? 1 : 0; });
  c.result = Value::Number(n);
  return true;
}

}  // namespace

void RegisterArrayEdits(Registry& r) {
  const ParamSpec arr{Param::Array}, any{Param::Any}, num{Param::Number}, fn{Param::Function};
  r.Add({"ar_Erase", "", {arr, {Param::Any, true}}, false, Returns::Number, ArErase});  // §12.4
  r.Add({"ar_Append", "", {arr, any}, false, Returns::Number, ArAppend});
  r.Add({"ar_Insert", "", {arr, num, any}, false, Returns::Number, ArInsert});
  r.Add({"ar_InsertRange", "", {arr, num, arr}, false, Returns::Number, ArInsertRange});
  r.Add({"ar_Resize", "", {arr, num, {Param::Any, true}}, false, Returns::Number, ArResize});
  r.Add({"ar_Copy", "", {arr}, false, Returns::Array, ArCopy});
  r.Add({"ar_Sort", "", {arr, {Param::Number, true}}, false, Returns::Array, ArSort});  // §12.5
  r.Add({"ar_Filter", "", {arr, fn}, false, Returns::Array, ArFilter});
  r.Add({"ar_CountWhere", "", {arr, fn}, false, Returns::Number, ArCountWhere});
}

}  // namespace cv::sim::script
