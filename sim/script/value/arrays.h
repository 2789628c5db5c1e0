// The array store: arrays behind ids with reference counts, as the host
// keeps them (script-language.md §12). Three kinds (§12.1): Array (packed,
// keys 0..n-1), Map (double keys, ascending) and StringMap (string keys,
// ascending, case-insensitive). An element is a number, a form, a string
// (held as text) or an array (by id, counted as a reference, §12.8).
// A new array is temporary until something refers to it; Clean() deletes
// the temporaries and, in cascade, what they held (§12.8).
#pragma once

#include <cstddef>
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "sim/script/value/text.h"
#include "sim/script/value/value.h"

namespace cv::sim::script {

class StringStore;

enum class ArrayKind { Array, Map, StringMap };

struct Element {
  Type type = Type::Number;  // Number, Form, String, Array or Function
  double number = 0;
  std::uint32_t id = 0;  // form, array or function id
  std::string text;      // String
};

struct Key {
  bool isString = false;
  double number = 0;
  std::string text;
  static Key Num(double n) { return Key{false, n, {}}; }
  static Key Str(std::string s) { return Key{true, 0, std::move(s)}; }
};

struct ArrayData {
  ArrayKind kind = ArrayKind::Array;
  std::vector<Element> list;                        // Array
  std::map<double, Element> map;                    // Map
  std::map<std::string, Element, NoCaseLess> smap;  // StringMap
  int refs = 0;
  bool temporary = true;

  std::size_t Size() const;
  bool KeyIsString() const { return kind == ArrayKind::StringMap; }
  // The element at the key, or null. A packed Array truncates the key and
  // counts a negative one from the end (§12.1).
  const Element* Find(const Key& k) const;
  Element* Find(const Key& k);
  // Keys in iteration order (§12.1).
  std::vector<Key> Keys() const;
};

class ArrayStore {
 public:
  explicit ArrayStore(StringStore& strings) : strings_(strings) {}

  ArrayId Create(ArrayKind kind);
  ArrayData* Get(ArrayId id);
  const ArrayData* Get(ArrayId id) const;

  // A variable or element refers to it, or stops referring (§12.8).
  void AddRef(ArrayId id);
  void Release(ArrayId id);

  // Element <-> Value. A string element read as a value is a new temporary
  // string; a function or array element keeps its id.
  Value ToValue(const Element& e);
  Element ToElement(const Value& v) const;

  // Writes the element, counting array references. A packed Array appends
  // at its end when the index is past it (§12.4). False when the key's type
  // does not fit the array.
  bool Set(ArrayId id, const Key& key, const Value& v);
  // Appends to a packed Array.
  bool Append(ArrayId id, const Value& v);
  // Removes the element at the key; a packed Array's later elements shift
  // down. False when there is none.
  bool Erase(ArrayId id, const Key& key);
  void Clear(ArrayId id);

  // Deletes every temporary array (and what it alone held).
  void Clean();
  std::size_t Count() const { return arrays_.size(); }

  // Visits every element, in iteration order, for the ones a caller reads.
  void ForEach(ArrayId id, const std::function<void(const Key&, const Element&)>& f) const;

  struct Saved {
    std::map<ArrayId, ArrayData> arrays;
    ArrayId next = 1;
  };
  Saved Save() const;
  void Load(const Saved& s);
  void Reset();

 private:
  void ReleaseElement(const Element& e);
  std::map<ArrayId, ArrayData> arrays_;
  ArrayId next_ = 1;
  StringStore& strings_;
};

}  // namespace cv::sim::script
