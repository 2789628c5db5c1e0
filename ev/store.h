// The extended variable store: float, form and string values per owner
// (a reference's form id) and key. Knows nothing of the host or the game.
//
// Each kind has its own table: a hash map from owner id to an owner map, and
// each owner map a hash map from folded key to value. The owner table is an
// open addressing map (tsl::robin_map) whose bucket holds the owner id and
// one pointer; the owner map behind it is one heap block of control bytes
// and slots with the keys inline (owner_map.h), so a look-up touches about
// three cache lines instead of the five or six a node-based map needs, and a
// reference with one value costs about 80 bytes on 64-bit builds. Owner maps
// are looked up by std::string_view, so a look-up never allocates. Keys and
// owner ids come from save-data files, so both are hashed with a seeded
// hash (key_hash.h), and no table may grow past eight buckets an entry.
#pragma once

#include <tsl/robin_map.h>

#include <algorithm>
#include <bit>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <functional>
#include <new>
#include <stdexcept>
#include <string>
#include <string_view>
#include <type_traits>
#include <unordered_map>

#include "ev/folded_key.h"
#include "ev/key_hash.h"
#include "ev/owner_map.h"
#include "platform/fault.h"

namespace cv {

enum class EvKind { Float, Form, String };

using EvOwnerId = std::uint32_t;
using EvKey = std::string;

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

namespace detail {

// Thrown instead of inserting a key that would make its table grow far
// beyond what its size needs: only keys whose hashes cluster do that, and
// such a table would go on doubling until memory ran out.
class TableRefused : public std::runtime_error {
 public:
  TableRefused() : std::runtime_error("the table refuses the key: it would grow without bound") {}
};

// The most buckets a table may grow to during the insertion under way. The
// store sets it before each insertion (GrowthCap); the store is used from
// one thread only.
inline std::size_t g_growthCap = static_cast<std::size_t>(-1);
class GrowthCap {
 public:
  // Room for eight buckets an entry once the insertion is made (a table
  // grown for its size alone has fewer than five), and never less than a
  // small table's.
  explicit GrowthCap(std::size_t size) noexcept : previous_(g_growthCap) {
    g_growthCap = std::max<std::size_t>(1024, 8 * (size + 1));
  }
  ~GrowthCap() { g_growthCap = previous_; }
  GrowthCap(const GrowthCap&) = delete;
  GrowthCap& operator=(const GrowthCap&) = delete;

 private:
  std::size_t previous_;
};

// Power-of-two growth, except past the cap. A robin hood table also grows
// when one probe run gets too long, and keeps doubling within one insertion
// while it stays too long, which keys sharing a hash make it do without end:
// the insertion is refused before the table passes the cap, and the key is
// not kept.
class BoundedGrowth : public tsl::rh::power_of_two_growth_policy<2> {
 public:
  using power_of_two_growth_policy::power_of_two_growth_policy;
  std::size_t next_bucket_count() const {
    const std::size_t next = power_of_two_growth_policy::next_bucket_count();
    if (next > g_growthCap) throw TableRefused();
    return next;
  }
};

// The map families the store can be built on. The bench measures both.
struct RobinMaps {
  template <class V>
  using OwnerMap = detail::OwnerMap<V>;
  template <class V>
  using Table =
      tsl::robin_map<EvOwnerId, OwnerMap<V>, OwnerHash, std::equal_to<EvOwnerId>,
                     std::allocator<std::pair<EvOwnerId, OwnerMap<V>>>, false, BoundedGrowth>;
  // An owner map is made empty and takes its first block at its first
  // entry. Robin hood probing stays short at high load, so the owner table
  // fills to 0.8 before it grows: its buckets are a large part of the
  // store's memory.
  static constexpr std::size_t kOwnerMapBuckets = 0;
  static constexpr float kMaxLoad = 0.8f;
  template <class Map>
  static void Prepare(Map& map) {
    if constexpr (requires { map.max_load_factor(kMaxLoad); }) map.max_load_factor(kMaxLoad);
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

using detail::TableRefused;

template <class Maps>
class BasicEvStore {
 public:
  BasicEvStore() {
    Maps::Prepare(floats_);
    Maps::Prepare(forms_);
    Maps::Prepare(strings_);
  }

  // True when the kind's table holds the owner, even with no entries left.
  bool HasOwner(EvKind kind, EvOwnerId owner) const noexcept {
    return Visit(kind, [&](const auto& t) { return t.find(owner) != t.end(); });
  }

  // The stored value, or null. Creates nothing and never allocates; key is
  // already folded.
  template <EvKind K>
  const EvValueT<K>* Find(EvOwnerId owner, std::string_view key) const noexcept {
    // The owner map hashes the key only if its block is a hashed one.
    const auto& t = table<K>();
    auto o = t.find(owner);
    if (o == t.end()) return nullptr;
    auto e = o->second.find(key);
    return e == o->second.end() ? nullptr : &e->second;
  }
  // The same for a folded key, whose hash was made as it was folded.
  template <EvKind K>
  const EvValueT<K>* Find(EvOwnerId owner, const FoldedKey& key) const noexcept {
    return FindHashed<K>(owner, key.view(), [&](const auto& hash) {
      if constexpr (std::is_same_v<std::decay_t<decltype(hash)>, detail::KeyHash>)
        return key.hash();
      else
        return hash(key.view());
    });
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
  // Throws std::bad_alloc when memory runs out, and TableRefused when the
  // key's or the owner's table would grow without bound; the failed entry
  // is then not in the table (an owner created just before it stays).
  template <EvKind K>
  EvValueT<K>& Entry(EvOwnerId owner, std::string_view key) {
    return EntryIn(OwnerEntries<K>(owner), key);
  }
  // The same for a folded key, whose hash was made as it was folded.
  template <EvKind K>
  EvValueT<K>& Entry(EvOwnerId owner, const FoldedKey& key) {
    const std::size_t hash = key.hash();
    return EntryIn(OwnerEntries<K>(owner), key.view(), &hash);
  }
  // expected: how many entries the owner is known to be about to hold; an
  // owner map with room for fewer takes a block for that many first.
  template <EvKind K>
  EvValueT<K>& Entry(EvOwnerId owner, std::string_view key, OwnerRun<K>& run,
                     std::size_t expected = 0) {
    if (run.entries_ == nullptr || run.owner_ != owner || run.generation_ != generation_) {
      auto* entries = &OwnerEntries<K>(owner);
      run.owner_ = owner;
      run.entries_ = entries;
      run.generation_ = generation_;
    }
    if constexpr (requires { run.entries_->reserve(expected); }) {
      if (expected > 1) run.entries_->reserve(expected);
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
      ReleaseIfEmpty(entries);
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
      ReleaseIfEmpty(entries);
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

  // Buckets of one owner's map of a kind; 0 for an owner not in the table
  // (diagnostics and tests).
  std::size_t OwnerBucketCount(EvKind kind, EvOwnerId owner) const noexcept {
    return Visit(kind, [&](const auto& t) -> std::size_t {
      auto o = t.find(owner);
      return o == t.end() ? 0 : o->second.bucket_count();
    });
  }

  // Buckets of a kind's tables, every owner's map included (diagnostics and
  // tests: what the tables hold room for).
  std::size_t BucketCount(EvKind kind) const noexcept {
    return Visit(kind, [](const auto& t) {
      std::size_t n = t.bucket_count();
      for (const auto& [owner, entries] : t) n += entries.bucket_count();
      return n;
    });
  }

 private:
  template <class V>
  using Table = typename Maps::template Table<V>;

  template <EvKind K, class KeyHashOf>
  const EvValueT<K>* FindHashed(EvOwnerId owner, std::string_view key,
                                KeyHashOf&& keyHashOf) const noexcept {
    const auto& t = table<K>();
    if constexpr (requires { t.find(owner, std::size_t{0}); }) {
      // Both hashes first: they do not depend on each other, so the
      // processor computes them side by side.
      const std::size_t ownerHash = t.hash_function()(owner);
      const std::size_t keyHash =
          keyHashOf(typename Maps::template OwnerMap<EvValueT<K>>::hasher());
      auto o = t.find(owner, ownerHash);
      if (o == t.end()) return nullptr;
      auto e = o->second.find(key, keyHash);
      return e == o->second.end() ? nullptr : &e->second;
    } else {
      auto o = t.find(owner);
      if (o == t.end()) return nullptr;
      auto e = o->second.find(key);
      return e == o->second.end() ? nullptr : &e->second;
    }
  }

  // What was just inserted at it stays only when the allocation point
  // passes; should it fail, it comes out again.
  template <class Map, class It>
  static void KeepOrUndo(Map& map, It it) {
    try {
      detail::AllocationPoint();
    } catch (...) {
      map.erase(it);
      throw;
    }
  }

  // An owner map left empty gives its buckets back; the owner stays.
  template <class Entries>
  static void ReleaseIfEmpty(Entries& entries) {
    if (!entries.empty() || entries.bucket_count() == 0) return;
    Entries().swap(entries);
    Maps::Prepare(entries);
  }

  // The owner's map, created when absent. Creating an owner may move every
  // owner map of the table.
  template <EvKind K>
  auto& OwnerEntries(EvOwnerId owner) {
    auto& t = table<K>();
    // One probe: the owner goes straight in, and comes out again should its
    // map fail to be made.
    detail::GrowthCap cap(t.size());
    auto made = t.try_emplace(owner, Maps::kOwnerMapBuckets);
    auto& entries = detail::Slot(made.first);
    if (made.second) {
      ++generation_;
      Maps::Prepare(entries);
      KeepOrUndo(t, made.first);
    }
    return entries;
  }
  // hash, when given, is the key's KeyHash, which an owner map then takes
  // instead of hashing the key again.
  template <class Entries>
  static auto& EntryIn(Entries& entries, std::string_view key, const std::size_t* hash = nullptr) {
    // A key that fits the string's own buffer costs no allocation to build,
    // so it goes straight in: one hash and one probe instead of two.
    detail::GrowthCap cap(entries.size());
    using Stored = typename Entries::key_type;
    constexpr bool kTakesHash = requires { entries.try_emplace_hashed(0, Stored(key)); };
    auto insert = [&](Stored&& stored) {
      if constexpr (kTakesHash) {
        if (hash != nullptr) return entries.try_emplace_hashed(*hash, std::move(stored));
      }
      return entries.try_emplace(std::move(stored));
    };
    if (key.size() <= InlineLength<Stored>()) {
      auto [e, inserted] = insert(Stored(key));
      if (inserted) KeepOrUndo(entries, e);
      return detail::Slot(e);
    }
    auto e = [&] {
      if constexpr (kTakesHash) {
        if (hash != nullptr) return entries.find(key, *hash);
      }
      return entries.find(key);
    }();
    if (e != entries.end()) return detail::Slot(e);
    detail::AllocationPoint();
    return detail::Slot(insert(Stored(key)).first);
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
  // The longest key a stored key holds without allocating (for a
  // std::string, 15 bytes in the standard libraries the plug-in is built
  // with; were it less, a short key already present would only cost a
  // needless allocation).
  template <class Stored>
  static constexpr std::size_t InlineLength() {
    if constexpr (std::is_same_v<Stored, StoredKey>)
      return StoredKey::kInline;
    else
      return 15;
  }
  // Counts the changes to the tables' owners, for OwnerRun.
  std::uint64_t generation_ = 1;
};

// The store the plug-in uses (a class, so other modules may declare it).
class EvStore final : public BasicEvStore<detail::RobinMaps> {};

// The process-wide store the commands and persistence share.
EvStore& TheStore();

}  // namespace cv
