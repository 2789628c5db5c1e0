// The extended variable store: float, form and string values per owner
// (a reference's form id) and key. Knows nothing of the host or the game.
//
// Each kind has its own table: a hash map from owner id to an owner map, and
// each owner map a hash map from folded key to value. Both levels are open
// addressing maps (tsl::robin_map) that keep the owner map inline in the
// outer bucket and the key's hash beside it, so a look-up touches about two
// cache lines instead of the five or six a node-based map needs. Owner maps
// are looked up by std::string_view, so a look-up never allocates.
#pragma once

#include <tsl/robin_map.h>

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <new>
#include <string>
#include <string_view>
#include <unordered_map>

#include "platform/fault.h"

namespace cv {

enum class EvKind { Float, Form, String };
enum class EvMatch { Exact, Subkeys };

using EvOwnerId = std::uint32_t;
using EvKey = std::string;

// Longest key a command can hand in (the host fills a 512-byte buffer).
constexpr std::size_t kMaxKeyLength = 511;

template <EvKind K>
struct EvValue;
template <>
struct EvValue<EvKind::Float> {
  using type = float;
};
template <>
struct EvValue<EvKind::Form> {
  using type = std::uint32_t;
};
template <>
struct EvValue<EvKind::String> {
  using type = std::string;
};
template <EvKind K>
using EvValueT = typename EvValue<K>::type;

// Folds A-Z to a-z; every other byte stays. The key ends at the first NUL.
EvKey NormalizeKey(std::string_view text);

// A folded key held in a stack buffer, so look-ups never allocate. Keeps at
// most kMaxKeyLength bytes, the most a command can hand in.
class FoldedKey {
 public:
  explicit FoldedKey(std::string_view text) noexcept;
  std::string_view view() const noexcept { return {buf_, len_}; }
  operator std::string_view() const noexcept { return view(); }

 private:
  char buf_[kMaxKeyLength + 1];
  std::size_t len_;
};

bool KeyMatches(std::string_view stored, std::string_view given, EvMatch match) noexcept;

namespace detail {

inline std::uint64_t LoadWord(const char* p, std::size_t n) noexcept {
  std::uint64_t w = 0;
  std::memcpy(&w, p, n);
  return w;
}

// Eight bytes at a time, each word mixed in by a multiply and a shift; the
// last word overlaps the one before it instead of being loaded byte by byte.
// The final mix makes every input bit reach the low bits a power-of-two
// table uses. Only 64-bit arithmetic, so 32-bit targets hash alike.
struct KeyHash {
  using is_transparent = void;
  std::size_t operator()(std::string_view s) const noexcept {
    const char* p = s.data();
    const std::size_t n = s.size();
    std::uint64_t h = 0x9E3779B97F4A7C15ull ^ (n * 0xC2B2AE3D27D4EB4Full);
    if (n >= 8) {
      for (std::size_t i = 0; i + 8 < n; i += 8) {
        h = (h ^ LoadWord(p + i, 8)) * 0xBF58476D1CE4E5B9ull;
        h ^= h >> 31;
      }
      h ^= LoadWord(p + n - 8, 8);
    } else if (n >= 4) {
      h ^= LoadWord(p, 4) | (LoadWord(p + n - 4, 4) << 32);
    } else if (n > 0) {
      h ^= static_cast<unsigned char>(p[0]) |
           (static_cast<unsigned>(static_cast<unsigned char>(p[n / 2])) << 8) |
           (static_cast<unsigned>(static_cast<unsigned char>(p[n - 1])) << 16);
    }
    h *= 0x94D049BB133111EBull;
    h ^= h >> 29;
    h *= 0xD6E8FEB86659FD93ull;
    h ^= h >> 32;
    return static_cast<std::size_t>(h);
  }
};
struct KeyEq {
  using is_transparent = void;
  bool operator()(std::string_view a, std::string_view b) const noexcept { return a == b; }
};
// Form ids differ mostly in their low bits and in the mod index on top; the
// mix spreads both over the low bits that a power-of-two table uses.
struct OwnerHash {
  std::size_t operator()(EvOwnerId id) const noexcept {
    std::uint64_t h = static_cast<std::uint64_t>(id) * 0x9E3779B97F4A7C15ull;
    return static_cast<std::size_t>(h ^ (h >> 32));
  }
};

// The map families the store can be built on. The bench measures both.
struct RobinMaps {
  template <class V>
  using OwnerMap =
      tsl::robin_map<EvKey, V, KeyHash, KeyEq, std::allocator<std::pair<EvKey, V>>, true>;
  template <class V>
  using Table = tsl::robin_map<EvOwnerId, OwnerMap<V>, OwnerHash>;
  // An owner map is made with eight buckets, room for six entries: robin
  // hood probing stays short at high load, and a fuller owner map grows less
  // often and is shorter to walk.
  static constexpr std::size_t kOwnerMapBuckets = 8;
  static constexpr float kOwnerMapLoad = 0.8f;
  template <class Map>
  static void Prepare(Map& entries) {
    entries.max_load_factor(kOwnerMapLoad);
  }
};
struct StdMaps {
  template <class V>
  using OwnerMap = std::unordered_map<EvKey, V, KeyHash, KeyEq>;
  template <class V>
  using Table = std::unordered_map<EvOwnerId, OwnerMap<V>, OwnerHash>;
  static constexpr std::size_t kOwnerMapBuckets = 0;
  template <class Map>
  static void Prepare(Map&) {}
};

// The modifiable value an iterator points at (robin_map hands it out through
// value(), since its it->second is read-only).
template <class It>
decltype(auto) Slot(const It& it) {
  if constexpr (requires { it.value(); }) {
    return (it.value());
  } else {
    return (it->second);
  }
}

// Called before the store creates an owner map or an entry: throws
// std::bad_alloc when the "store.alloc" fault is armed.
inline void AllocationPoint() {
  if (fault::Hit("store.alloc") == fault::Kind::Return) throw std::bad_alloc();
}

}  // namespace detail

template <class Maps>
class BasicEvStore {
 public:
  // True when the kind's table holds the owner, even with no entries left.
  bool HasOwner(EvKind kind, EvOwnerId owner) const noexcept {
    return Visit(kind, [&](const auto& t) { return t.find(owner) != t.end(); });
  }

  // The stored value, or null. Creates nothing and never allocates; key is
  // already folded.
  template <EvKind K>
  const EvValueT<K>* Find(EvOwnerId owner, std::string_view key) const noexcept {
    const auto& t = table<K>();
    auto o = t.find(owner);
    if (o == t.end()) return nullptr;
    auto e = o->second.find(key);
    return e == o->second.end() ? nullptr : &e->second;
  }

  // Remembers the owner map the last Entry call with it used, so that a run
  // of entries for one owner (as a save-data file lists them) looks the
  // owner up once. The store checks it on each use: once owners were added
  // or the table emptied, the next call looks the owner up again.
  template <EvKind K>
  class OwnerRun {
    friend class BasicEvStore;
    EvOwnerId owner_ = 0;
    typename Maps::template OwnerMap<EvValueT<K>>* entries_ = nullptr;
    std::uint64_t generation_ = 0;
  };

  // Get-or-create: the owner and a zero/empty entry are created when absent.
  // Throws std::bad_alloc when memory runs out; the failed entry is then not
  // in the table (an owner created just before it stays).
  template <EvKind K>
  EvValueT<K>& Entry(EvOwnerId owner, std::string_view key) {
    return EntryIn(OwnerEntries<K>(owner), key);
  }
  template <EvKind K>
  EvValueT<K>& Entry(EvOwnerId owner, std::string_view key, OwnerRun<K>& run) {
    if (run.entries_ == nullptr || run.owner_ != owner || run.generation_ != generation_) {
      auto* entries = &OwnerEntries<K>(owner);
      run.owner_ = owner;
      run.entries_ = entries;
      run.generation_ = generation_;
    }
    return EntryIn(*run.entries_, key);
  }

  // Removes the entry with exactly this key; true when there was one.
  bool EraseKey(EvKind kind, EvOwnerId owner, std::string_view key) {
    return Visit(kind, [&](auto& t) {
      auto o = t.find(owner);
      if (o == t.end()) return false;
      auto& entries = detail::Slot(o);
      auto e = entries.find(key);
      if (e == entries.end()) return false;
      entries.erase(e);
      return true;
    });
  }

  // Removes, in one pass, every entry of the owner whose key begins with
  // prefix; returns how many went. The owner stays present.
  std::size_t EraseSubkeys(EvKind kind, EvOwnerId owner, std::string_view prefix) {
    return Visit(kind, [&](auto& t) -> std::size_t {
      auto o = t.find(owner);
      if (o == t.end()) return 0;
      auto& entries = detail::Slot(o);
      std::size_t removed = 0;
      for (auto it = entries.begin(); it != entries.end();) {
        if (KeyMatches(it->first, prefix, EvMatch::Subkeys)) {
          it = entries.erase(it);
          ++removed;
        } else {
          ++it;
        }
      }
      return removed;
    });
  }

  // Empties the kind's whole table: every owner, every entry.
  void ClearKind(EvKind kind) noexcept {
    ++generation_;
    Visit(kind, [](auto& t) {
      t.clear();
      return 0;
    });
  }

  void ClearAll() noexcept {
    ++generation_;
    floats_.clear();
    forms_.clear();
    strings_.clear();
  }

  // visit(key, value) for every entry of one owner, in table order.
  template <EvKind K, class Visitor>
  void ForEachOwnerEntry(EvOwnerId owner, Visitor&& visit) const {
    const auto& t = table<K>();
    auto o = t.find(owner);
    if (o == t.end()) return;
    for (const auto& [key, value] : o->second) visit(std::string_view(key), value);
  }

  // visit(owner, key, value) for every entry of the kind, in table order.
  template <EvKind K, class Visitor>
  void ForEachEntry(Visitor&& visit) const {
    for (const auto& [owner, entries] : table<K>())
      for (const auto& [key, value] : entries) visit(owner, std::string_view(key), value);
  }

  // Number of entries of a kind over all owners (diagnostics and tests).
  std::size_t EntryCount(EvKind kind) const noexcept {
    return Visit(kind, [](const auto& t) {
      std::size_t n = 0;
      for (const auto& [owner, entries] : t) n += entries.size();
      return n;
    });
  }

 private:
  template <class V>
  using Table = typename Maps::template Table<V>;

  // What was just inserted at it stays only when the allocation point and
  // then finish pass; should either fail, it comes out again.
  template <class Map, class It, class Finish>
  static void KeepOrUndo(Map& map, It it, Finish&& finish) {
    try {
      detail::AllocationPoint();
      finish();
    } catch (...) {
      map.erase(it);
      throw;
    }
  }

  // The owner's map, created when absent. Creating an owner may move every
  // owner map of the table.
  template <EvKind K>
  auto& OwnerEntries(EvOwnerId owner) {
    auto& t = table<K>();
    // One probe: the owner goes straight in, and comes out again should its
    // map fail to be made.
    auto made = t.try_emplace(owner, Maps::kOwnerMapBuckets);
    auto& entries = detail::Slot(made.first);
    if (made.second) {
      ++generation_;
      KeepOrUndo(t, made.first, [&] { Maps::Prepare(entries); });
    }
    return entries;
  }
  template <class Entries>
  static auto& EntryIn(Entries& entries, std::string_view key) {
    // A key that fits the string's own buffer costs no allocation to build,
    // so it goes straight in: one hash and one probe instead of two.
    if (key.size() <= kInlineKeyLength) {
      auto [e, inserted] = entries.try_emplace(EvKey(key));
      if (inserted) KeepOrUndo(entries, e, [] {});
      return detail::Slot(e);
    }
    auto e = entries.find(key);
    if (e != entries.end()) return detail::Slot(e);
    detail::AllocationPoint();
    EvKey stored(key);
    return detail::Slot(entries.try_emplace(std::move(stored)).first);
  }

  template <EvKind K>
  Table<EvValueT<K>>& table() noexcept {
    if constexpr (K == EvKind::Float)
      return floats_;
    else if constexpr (K == EvKind::Form)
      return forms_;
    else
      return strings_;
  }
  template <EvKind K>
  const Table<EvValueT<K>>& table() const noexcept {
    return const_cast<BasicEvStore*>(this)->table<K>();
  }

  // Runs f on the table of a kind given at run time.
  template <class F>
  decltype(auto) Visit(EvKind kind, F&& f) {
    switch (kind) {
      case EvKind::Form: return f(forms_);
      case EvKind::String: return f(strings_);
      case EvKind::Float: break;
    }
    return f(floats_);
  }
  template <class F>
  decltype(auto) Visit(EvKind kind, F&& f) const {
    return const_cast<BasicEvStore*>(this)->Visit(kind, [&](const auto& t) { return f(t); });
  }

  Table<float> floats_;
  Table<std::uint32_t> forms_;
  Table<std::string> strings_;
  // The longest key a string holds without allocating (15 bytes in the
  // standard libraries the plug-in is built with; were it less, a short key
  // already present would only cost a needless allocation).
  static constexpr std::size_t kInlineKeyLength = 15;
  // Counts the changes to the tables' owners, for OwnerRun.
  std::uint64_t generation_ = 1;
};

// The store the plug-in uses (a class, so other modules may declare it).
class EvStore final : public BasicEvStore<detail::RobinMaps> {};

// The process-wide store the commands and persistence share.
EvStore& TheStore();

}  // namespace cv
