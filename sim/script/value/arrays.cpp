#include "sim/script/value/arrays.h"

#include <cmath>

#include "sim/script/value/strings.h"

namespace cv::sim::script {

std::size_t ArrayData::Size() const {
  switch (kind) {
    case ArrayKind::Array: return list.size();
    case ArrayKind::Map: return map.size();
    default: return smap.size();
  }
}

namespace {

// A packed Array's index: the key truncated to an int, negative counting
// from the end (§12.1 ArrayVar::Get). -1 when outside.
long long PackedIndex(const ArrayData& a, double key) {
  long long i = static_cast<long long>(key);
  if (i < 0) i += static_cast<long long>(a.list.size());
  return i >= 0 && i < static_cast<long long>(a.list.size()) ? i : -1;
}

}  // namespace

const Element* ArrayData::Find(const Key& k) const { return const_cast<ArrayData*>(this)->Find(k); }

Element* ArrayData::Find(const Key& k) {
  if (k.isString != KeyIsString()) return nullptr;
  switch (kind) {
    case ArrayKind::Array: {
      long long i = PackedIndex(*this, k.number);
      return i < 0 ? nullptr : &list[static_cast<std::size_t>(i)];
    }
    case ArrayKind::Map: {
      auto it = map.find(k.number);
      return it == map.end() ? nullptr : &it->second;
    }
    default: {
      auto it = smap.find(k.text);
      return it == smap.end() ? nullptr : &it->second;
    }
  }
}

std::vector<Key> ArrayData::Keys() const {
  std::vector<Key> out;
  switch (kind) {
    case ArrayKind::Array:
      for (std::size_t i = 0; i < list.size(); ++i) out.push_back(Key::Num(static_cast<double>(i)));
      break;
    case ArrayKind::Map:
      for (const auto& [k, e] : map) out.push_back(Key::Num(k));
      break;
    default:
      for (const auto& [k, e] : smap) out.push_back(Key::Str(k));
  }
  return out;
}

ArrayId ArrayStore::Create(ArrayKind kind) {
  ArrayId id = next_++;
  ArrayData& a = arrays_[id];
  a.kind = kind;
  return id;
}

ArrayData* ArrayStore::Get(ArrayId id) {
  auto it = arrays_.find(id);
  return it == arrays_.end() ? nullptr : &it->second;
}

const ArrayData* ArrayStore::Get(ArrayId id) const {
  auto it = arrays_.find(id);
  return it == arrays_.end() ? nullptr : &it->second;
}

void ArrayStore::AddRef(ArrayId id) {
  if (ArrayData* a = Get(id)) {
    ++a->refs;
    a->temporary = false;
  }
}

// An array whose count drops to 0 is temporary again, deleted at the next
// Clean() (§12.8).
void ArrayStore::Release(ArrayId id) {
  if (ArrayData* a = Get(id)) {
    if (a->refs > 0) --a->refs;
    if (a->refs == 0) a->temporary = true;
  }
}

Value ArrayStore::ToValue(const Element& e) {
  switch (e.type) {
    case Type::Number: return Value::Number(e.number);
    case Type::Form: return Value::Form(e.id);
    case Type::String: return Value::String(strings_.New(e.text));
    case Type::Array: return Value::Array(e.id);
    default: return Value::Function(e.id);
  }
}

Element ArrayStore::ToElement(const Value& v) const {
  Element e;
  e.type = v.type();
  if (v.IsNumber())
    e.number = v.number();
  else if (v.IsString())
    e.text = std::string(strings_.Text(v.string()));
  else
    e.id = v.id();
  return e;
}

void ArrayStore::ReleaseElement(const Element& e) {
  if (e.type == Type::Array) Release(e.id);
}

bool ArrayStore::Set(ArrayId id, const Key& key, const Value& v) {
  ArrayData* a = Get(id);
  if (a == nullptr || key.isString != a->KeyIsString()) return false;
  Element e = ToElement(v);
  if (e.type == Type::Array) AddRef(e.id);
  Element* slot = nullptr;
  switch (a->kind) {
    case ArrayKind::Array: {
      long long i = PackedIndex(*a, key.number);
      if (i < 0) {
        a->list.push_back(std::move(e));
        return true;
      }
      slot = &a->list[static_cast<std::size_t>(i)];
      break;
    }
    case ArrayKind::Map: slot = &a->map[key.number]; break;
    default: {
      auto it = a->smap.find(key.text);
      slot = it != a->smap.end() ? &it->second : &a->smap[key.text];
    }
  }
  ReleaseElement(*slot);
  *slot = std::move(e);
  return true;
}

bool ArrayStore::Append(ArrayId id, const Value& v) {
  ArrayData* a = Get(id);
  if (a == nullptr || a->kind != ArrayKind::Array) return false;
  Element e = ToElement(v);
  if (e.type == Type::Array) AddRef(e.id);
  a->list.push_back(std::move(e));
  return true;
}

bool ArrayStore::Erase(ArrayId id, const Key& key) {
  ArrayData* a = Get(id);
  if (a == nullptr || key.isString != a->KeyIsString()) return false;
  switch (a->kind) {
    case ArrayKind::Array: {
      if (key.number < 0) return false;  // no negative index here (§12.4 ar_Erase)
      auto i = static_cast<std::size_t>(key.number);
      if (i >= a->list.size()) return false;
      ReleaseElement(a->list[i]);
      a->list.erase(a->list.begin() + static_cast<std::ptrdiff_t>(i));
      return true;
    }
    case ArrayKind::Map: {
      auto it = a->map.find(key.number);
      if (it == a->map.end()) return false;
      ReleaseElement(it->second);
      a->map.erase(it);
      return true;
    }
    default: {
      auto it = a->smap.find(key.text);
      if (it == a->smap.end()) return false;
      ReleaseElement(it->second);
      a->smap.erase(it);
      return true;
    }
  }
}

void ArrayStore::Clear(ArrayId id) {
  ArrayData* a = Get(id);
  if (a == nullptr) return;
  ForEach(id, [this](const Key&, const Element& e) { ReleaseElement(e); });
  a->list.clear();
  a->map.clear();
  a->smap.clear();
}

void ArrayStore::ForEach(ArrayId id,
                         const std::function<void(const Key&, const Element&)>& f) const {
  const ArrayData* a = Get(id);
  if (a == nullptr) return;
  switch (a->kind) {
    case ArrayKind::Array:
      for (std::size_t i = 0; i < a->list.size(); ++i)
        f(Key::Num(static_cast<double>(i)), a->list[i]);
      break;
    case ArrayKind::Map:
      for (const auto& [k, e] : a->map) f(Key::Num(k), e);
      break;
    default:
      for (const auto& [k, e] : a->smap) f(Key::Str(k), e);
  }
}

void ArrayStore::Clean() {
  // Deleting an array releases what it held, which may make more arrays
  // temporary: repeat until none is left.
  bool again = true;
  while (again) {
    again = false;
    for (auto it = arrays_.begin(); it != arrays_.end();) {
      if (!it->second.temporary) {
        ++it;
        continue;
      }
      ArrayData gone = std::move(it->second);
      it = arrays_.erase(it);
      auto drop = [&](const Element& e) {
        if (e.type == Type::Array && Get(e.id) != nullptr) {
          Release(e.id);
          again = again || Get(e.id)->temporary;
        }
      };
      for (const Element& e : gone.list) drop(e);
      for (const auto& [k, e] : gone.map) drop(e);
      for (const auto& [k, e] : gone.smap) drop(e);
    }
  }
}

ArrayStore::Saved ArrayStore::Save() const {
  Saved s;
  s.next = next_;
  for (const auto& [id, a] : arrays_)
    if (!a.temporary) s.arrays[id] = a;
  return s;
}

void ArrayStore::Load(const Saved& s) {
  arrays_ = s.arrays;
  next_ = s.next;
}

void ArrayStore::Reset() {
  arrays_.clear();
  next_ = 1;
}

}  // namespace cv::sim::script
