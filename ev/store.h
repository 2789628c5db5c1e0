// The extended variable store: float, form and string values per owner
// (a reference's form id) and key. Knows nothing of the host or the game.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <unordered_map>

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

// A folded key held in a stack buffer, so look-ups never allocate.
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
struct KeyHash {
  using is_transparent = void;
  std::size_t operator()(std::string_view s) const noexcept;
};
struct KeyEq {
  using is_transparent = void;
  bool operator()(std::string_view a, std::string_view b) const noexcept { return a == b; }
};
template <class V>
using OwnerMap = std::unordered_map<EvKey, V, KeyHash, KeyEq>;
template <class V>
using Table = std::unordered_map<EvOwnerId, OwnerMap<V>>;
}  // namespace detail

class EvStore {
 public:
  bool HasOwner(EvKind kind, EvOwnerId owner) const noexcept;

  // The stored value, or null. Creates nothing and never allocates.
  template <EvKind K>
  const EvValueT<K>* Find(EvOwnerId owner, std::string_view key) const noexcept {
    const auto& t = table<K>();
    auto o = t.find(owner);
    if (o == t.end()) return nullptr;
    auto e = o->second.find(key);
    return e == o->second.end() ? nullptr : &e->second;
  }

  // Get-or-create: the owner and a zero/empty entry are created when absent.
  template <EvKind K>
  EvValueT<K>& Entry(EvOwnerId owner, std::string_view key) {
    auto& m = table<K>()[owner];
    auto e = m.find(key);
    if (e != m.end()) return e->second;
    return m.emplace(EvKey(key), EvValueT<K>{}).first->second;
  }

  bool EraseKey(EvKind kind, EvOwnerId owner, std::string_view key);
  std::size_t EraseSubkeys(EvKind kind, EvOwnerId owner, std::string_view prefix);
  void ClearKind(EvKind kind) noexcept;
  void ClearAll() noexcept;

  template <EvKind K, class Visitor>
  void ForEachOwnerEntry(EvOwnerId owner, Visitor&& visit) const {
    const auto& t = table<K>();
    auto o = t.find(owner);
    if (o == t.end()) return;
    for (const auto& [key, value] : o->second) visit(std::string_view(key), value);
  }

  template <EvKind K, class Visitor>
  void ForEachEntry(Visitor&& visit) const {
    for (const auto& [owner, entries] : table<K>())
      for (const auto& [key, value] : entries) visit(owner, std::string_view(key), value);
  }

  // Number of entries of a kind over all owners (diagnostics and tests).
  std::size_t EntryCount(EvKind kind) const noexcept;

 private:
  template <EvKind K>
  detail::Table<EvValueT<K>>& table() noexcept {
    if constexpr (K == EvKind::Float)
      return floats_;
    else if constexpr (K == EvKind::Form)
      return forms_;
    else
      return strings_;
  }
  template <EvKind K>
  const detail::Table<EvValueT<K>>& table() const noexcept {
    return const_cast<EvStore*>(this)->table<K>();
  }

  detail::Table<float> floats_;
  detail::Table<std::uint32_t> forms_;
  detail::Table<std::string> strings_;
};

// The process-wide store the commands and persistence share.
EvStore& TheStore();

}  // namespace cv
