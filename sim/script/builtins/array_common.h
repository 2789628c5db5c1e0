// What the ar_ family's two files share (builtins/arrays.cpp,
// builtins/array_edit.cpp; script-language.md §12).
#pragma once

#include <cstddef>

#include "sim/script/builtins/registry.h"

namespace cv::sim::script {

// The codes a missing key gives (§12.3, s_arrayErrorCodeNum/Str).
constexpr double kBadNumericIndex = -99999;

// The array an argument names; null when it is none or not valid.
ArrayData* ArrayArg(CallContext& c, std::size_t i);
// A key argument as a Key (a number or a string).
bool KeyArg(CallContext& c, std::size_t i, Key& key);
// A key as a value: a number, or a new temporary string.
Value KeyValue(CallContext& c, const Key& k);
// A lo:hi range argument (§12.3, §12.4); false when the argument is none.
bool RangeArg(CallContext& c, std::size_t i, double& lo, double& hi);
// The next key-value pair of an Element list, added to a new array of kind.
void CopyElement(ArrayStore& store, ArrayId to, const Key& key, const Element& e);
// Element equality as ar_Find uses it (§12.3): the same type, numbers
// exact, strings ignoring case, forms and arrays by id.
bool SameElement(const Element& a, const Element& b);
// As ar_Count uses it: nested arrays by contents, one level deep.
bool EqualElementShallow(const ArrayStore& store, const Element& a, const Element& b);
// Calls udf with the key/value iterator of one element (§12.5); false when
// the call failed.
bool CallWithIterator(CallContext& c, const Value& udf, const Key& key, const Element& e,
                      Value& result);

void RegisterArrayEdits(Registry& r);  // builtins/array_edit.cpp
void RegisterArrayWalks(Registry& r);  // builtins/array_walk.cpp

}  // namespace cv::sim::script
