// One owner's entries: a map from key to value in a single heap block, so
// that an owner costs its table one pointer and most owners one allocation.
//
// The block holds a count, the number of slots (a power of two), one control
// byte per slot and the slots. A control byte is 0 for a free slot, else 0x80
// and the top seven bits of the key's hash. Slots are probed one after the
// other from the one the hash names (linear probing), eight control bytes at
// a time: one word read shows which of them are free and which carry the
// key's seven bits, so a missing key is mostly decided without a branch per
// slot and without touching a key. (The first seven control bytes are kept
// again after the last, so that a word read near the end wraps around.) An
// erased entry is filled from the run behind it, so no slot is ever marked
// deleted and a look-up stops at the first free one. The map is made with no
// block; the first entry gets a block of one slot, which is what most
// references need, the second one of four.
//
// Keys are hashed with the seeded hash (Hash), so no file can choose keys
// that share a probe run; should they anyway, a look-up gets slower, but the
// block never grows beyond twice what its entries need.
//
// A block of up to eight slots is read whole at every look-up instead: one
// word holds all its control bytes. Its keys are not hashed at all (a few
// entries cannot crowd a probe run), an entry takes the first free slot,
// and its control byte holds 0x80 and seven bits mixed from the key's length
// and three of its bytes, which most other keys of the owner do not share.
// Most owners have such a block, so most keys are never hashed.
#pragma once

#include <bit>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <iterator>
#include <new>
#include <string_view>
#include <type_traits>
#include <utility>

#include "ev/key_hash.h"

namespace cv::detail {

template <class V, class Hash = KeyHash>
class OwnerMap {
 public:
  using key_type = StoredKey;
  using hasher = Hash;
  struct Slot {
    StoredKey first;
    V second;
  };

  template <bool Const>
  class Iter {
   public:
    using Map = std::conditional_t<Const, const OwnerMap, OwnerMap>;
    using Ref = std::conditional_t<Const, const Slot&, Slot&>;
    using iterator_category = std::forward_iterator_tag;
    using value_type = Slot;
    using difference_type = std::ptrdiff_t;
    using pointer = std::remove_reference_t<Ref>*;
    using reference = Ref;
    Iter() = default;
    Iter(Map* map, std::size_t i) : map_(map), i_(i) { Skip(); }
    operator Iter<true>() const { return Iter<true>(map_, i_); }
    Ref operator*() const { return map_->SlotAt(i_); }
    std::remove_reference_t<Ref>* operator->() const { return &map_->SlotAt(i_); }
    Iter& operator++() {
      ++i_;
      Skip();
      return *this;
    }
    Iter operator++(int) {
      Iter old = *this;
      ++*this;
      return old;
    }
    bool operator==(const Iter& o) const { return i_ == o.i_; }
    V& value() const requires(!Const) { return map_->SlotAt(i_).second; }
    std::size_t index() const { return i_; }

   private:
    void Skip() {
      while (i_ < map_->bucket_count() && map_->Ctrl()[i_] == 0) ++i_;
    }
    Map* map_ = nullptr;
    std::size_t i_ = 0;
  };
  using iterator = Iter<false>;
  using const_iterator = Iter<true>;

  OwnerMap() noexcept = default;
  explicit OwnerMap(std::size_t) noexcept {}
  OwnerMap(OwnerMap&& o) noexcept : block_(std::exchange(o.block_, nullptr)) {}
  OwnerMap& operator=(OwnerMap&& o) noexcept {
    if (this != &o) {
      Free();
      block_ = std::exchange(o.block_, nullptr);
    }
    return *this;
  }
  OwnerMap(const OwnerMap& o) {
    for (const Slot& s : o) try_emplace(StoredKey(s.first), s.second);
  }
  OwnerMap& operator=(const OwnerMap& o) {
    if (this != &o) {
      OwnerMap copy(o);
      swap(copy);
    }
    return *this;
  }
  ~OwnerMap() { Free(); }
  void swap(OwnerMap& o) noexcept { std::swap(block_, o.block_); }

  std::size_t size() const noexcept { return block_ ? block_->size : 0; }
  bool empty() const noexcept { return size() == 0; }
  std::size_t bucket_count() const noexcept { return block_ ? block_->slots : 0; }
  hasher hash_function() const { return hasher(); }

  iterator begin() noexcept { return iterator(this, 0); }
  iterator end() noexcept { return iterator(this, bucket_count()); }
  const_iterator begin() const noexcept { return const_iterator(this, 0); }
  const_iterator end() const noexcept { return const_iterator(this, bucket_count()); }

  iterator find(std::string_view key) { return iterator(this, LocateKey(key)); }
  const_iterator find(std::string_view key) const { return const_iterator(this, LocateKey(key)); }
  iterator find(std::string_view key, std::size_t hash) {
    return iterator(this, Locate(key, hash));
  }
  const_iterator find(std::string_view key, std::size_t hash) const {
    return const_iterator(this, Locate(key, hash));
  }

  // The entry of key, made with a value-initialised V when absent.
  template <class... Args>
  std::pair<iterator, bool> try_emplace(StoredKey&& key, Args&&... args) {
    if (std::size_t at = LocateKey(key.view()); at != bucket_count())
      return {iterator(this, at), false};
    return Add(nullptr, std::move(key), std::forward<Args>(args)...);
  }
  // The same with the key's hash (Hash's) already made.
  template <class... Args>
  std::pair<iterator, bool> try_emplace_hashed(std::size_t hash, StoredKey&& key, Args&&... args) {
    if (std::size_t at = Locate(key.view(), hash); at != bucket_count())
      return {iterator(this, at), false};
    return Add(&hash, std::move(key), std::forward<Args>(args)...);
  }

  // Removes the entry; returns the iterator to look at next (the entry that
  // moved into its slot, or the one after it).
  iterator erase(const_iterator it) {
    std::size_t hole = it.index();
    const std::size_t mask = bucket_count() - 1;
    SlotAt(hole).~Slot();
    SetCtrl(hole, 0);
    --block_->size;
    if (Scanned(bucket_count())) return iterator(this, hole);
    // Every entry of the run behind the hole whose home lies at or before
    // the hole moves into it (a free slot ends the run).
    for (std::size_t i = (hole + 1) & mask; Ctrl()[i] != 0; i = (i + 1) & mask) {
      const std::size_t home = hasher()(SlotAt(i).first.view()) & mask;
      // Does home lie cyclically in (hole, i]? Then the entry stays.
      const bool stays = hole <= i ? (hole < home && home <= i) : (hole < home || home <= i);
      if (stays) continue;
      ::new (static_cast<void*>(&SlotAt(hole))) Slot(std::move(SlotAt(i)));
      SlotAt(i).~Slot();
      SetCtrl(hole, Ctrl()[i]);
      SetCtrl(i, 0);
      hole = i;
    }
    return iterator(this, it.index());
  }

  void clear() noexcept { Free(); }

  // Makes room for n entries at once, so that a map known to be about to
  // hold them skips the blocks it would grow through. Never shrinks.
  void reserve(std::size_t n) {
    std::size_t slots = bucket_count();
    if (n <= MaxEntries(slots)) return;
    while (n > MaxEntries(slots)) slots = NextSlots(slots);
    Grow(slots);
  }

 private:
  struct Block {
    std::uint32_t size;
    std::uint32_t slots;
  };
  static constexpr std::size_t kCopies = 7;  // control bytes kept twice
  static constexpr std::uint64_t kOnes = 0x0101010101010101ull, kHighs = 0x8080808080808080ull;
  static constexpr std::size_t kSlotAlign = alignof(Slot) > alignof(Block) ? alignof(Slot)
                                                                           : alignof(Block);
  static std::size_t SlotsOffset(std::size_t slots) {
    const std::size_t ctrlEnd = sizeof(Block) + slots + kCopies;
    return (ctrlEnd + kSlotAlign - 1) / kSlotAlign * kSlotAlign;
  }
  static std::size_t BlockBytes(std::size_t slots) {
    return SlotsOffset(slots) + slots * sizeof(Slot);
  }
  // Entries a block of n slots holds before it doubles: all of them while
  // it is small (a probe never passes more than four slots), later seven in
  // eight, then three in four, so that runs stay short.
  static std::size_t MaxEntries(std::size_t n) {
    if (n <= 4) return n;
    if (n <= 16) return n - n / 8;
    return n - n / 4;
  }
  // Blocks read whole at every look-up, and the control byte of a key in one.
  static constexpr std::size_t kScanned = 8;
  static bool Scanned(std::size_t slots) noexcept { return slots <= kScanned; }
  static std::uint8_t Mark(std::string_view key) noexcept {
    const std::size_t n = key.size();
    if (n == 0) return 0x80;
    auto byte = [&](std::size_t i) { return static_cast<unsigned char>(key[i]) + 0u; };
    return static_cast<std::uint8_t>(0x80u |
                                     ((n + byte(0) + 3 * byte(n - 1) + 5 * byte(n / 2)) & 0x7Fu));
  }
  static std::uint8_t Fragment(std::size_t hash) {
    return static_cast<std::uint8_t>(0x80u | ((hash >> (8 * sizeof(std::size_t) - 7)) & 0x7Fu));
  }

  std::uint8_t* Ctrl() const noexcept {
    return reinterpret_cast<std::uint8_t*>(block_) + sizeof(Block);
  }
  Slot& SlotAt(std::size_t i) const noexcept {
    auto* base = reinterpret_cast<unsigned char*>(block_) + SlotsOffset(block_->slots);
    return *std::launder(reinterpret_cast<Slot*>(base + i * sizeof(Slot)));
  }

  // The slot of key, or bucket_count() when it is absent. Inlined into each
  // look-up, so that a miss, which mostly reads one word of control bytes,
  // pays for no call and no saved registers.
  [[gnu::always_inline]] std::size_t Locate(std::string_view key, std::size_t hash) const noexcept {
    if (block_ == nullptr) return 0;
    if (Scanned(block_->slots)) return LocateScanned(key);
    const std::size_t n = block_->slots, mask = n - 1;
    const std::uint64_t fragments = kOnes * Fragment(hash);
    const std::uint8_t* ctrl = Ctrl();
    std::size_t i = hash & mask;
    for (std::size_t seen = 0; seen < n; seen += 8, i = (i + 8) & mask) {
      std::uint64_t w;
      std::memcpy(&w, ctrl + i, 8);
      // Bytes past the slots not yet seen (a block of fewer than eight
      // slots, or the last word) are left out.
      const std::uint64_t valid =
          n - seen >= 8 ? ~std::uint64_t{0} : (std::uint64_t{1} << (8 * (n - seen))) - 1;
      // The lowest zero byte of a word is found exactly; bytes above it may
      // show as zero too, which only adds a key comparison.
      const std::uint64_t x = w ^ fragments;
      std::uint64_t free = (w - kOnes) & ~w & kHighs & valid;
      std::uint64_t same = (x - kOnes) & ~x & kHighs & valid;
      if (free != 0) same &= (free & (0 - free)) - 1;  // only before the first free slot
      for (; same != 0; same &= same - 1) {
        const std::size_t at = (i + static_cast<std::size_t>(std::countr_zero(same)) / 8) & mask;
        if (SlotAt(at).first.view() == key) return at;
      }
      if (free != 0) break;
    }
    return n;
  }
  // The same when the key's hash is not made yet: made only when needed.
  std::size_t LocateKey(std::string_view key) const noexcept {
    if (block_ == nullptr) return 0;
    if (Scanned(block_->slots)) return LocateScanned(key);
    return Locate(key, hasher()(key));
  }
  // A block read whole: every occupied slot whose control byte is the key's
  // mark is compared. (A block of n slots has n + 7 control bytes, so the
  // word is always there to read.)
  std::size_t LocateScanned(std::string_view key) const noexcept {
    const std::size_t n = block_->slots;
    std::uint64_t w;
    std::memcpy(&w, Ctrl(), 8);
    const std::uint64_t valid = n >= 8 ? ~std::uint64_t{0} : (std::uint64_t{1} << (8 * n)) - 1;
    const std::uint64_t x = w ^ (kOnes * Mark(key));
    // Bytes above a matching one may show as matching too: only occupied
    // slots are compared.
    for (std::uint64_t same = (x - kOnes) & ~x & w & kHighs & valid; same != 0; same &= same - 1) {
      const std::size_t at = static_cast<std::size_t>(std::countr_zero(same)) / 8;
      if (SlotAt(at).first.view() == key) return at;
    }
    return n;
  }
  // Puts a new entry in, growing the block first when it is full; hash,
  // when given, is the key's, else it is made only for a hashed block.
  template <class... Args>
  std::pair<iterator, bool> Add(const std::size_t* hash, StoredKey&& key, Args&&... args) {
    if (size() + 1 > MaxEntries(bucket_count())) Grow();
    std::size_t at;
    std::uint8_t control;
    if (Scanned(block_->slots)) {
      at = FirstFree();
      control = Mark(key.view());
    } else {
      const std::size_t h = hash != nullptr ? *hash : hasher()(key.view());
      at = FreeSlot(h);
      control = Fragment(h);
    }
    ::new (static_cast<void*>(&SlotAt(at))) Slot{std::move(key), V(std::forward<Args>(args)...)};
    SetCtrl(at, control);
    ++block_->size;
    return {iterator(this, at), true};
  }
  std::size_t FirstFree() const noexcept {
    std::size_t i = 0;
    while (Ctrl()[i] != 0) ++i;
    return i;
  }
  // Sets slot i's control byte, and its copy after the last slot.
  void SetCtrl(std::size_t i, std::uint8_t c) noexcept {
    std::uint8_t* ctrl = Ctrl();
    const std::size_t n = block_->slots;
    ctrl[i] = c;
    for (std::size_t j = i; j < kCopies; j += n) ctrl[n + j] = c;
  }
  std::size_t FreeSlot(std::size_t hash) const noexcept {
    const std::size_t mask = block_->slots - 1;
    std::size_t i = hash & mask;
    while (Ctrl()[i] != 0) i = (i + 1) & mask;
    return i;
  }

  // One slot, then four (an owner with a second value mostly gets a few
  // more, and each growth moves every entry), then doubling.
  static std::size_t NextSlots(std::size_t slots) {
    return slots == 0 ? 1 : slots == 1 ? 4 : 2 * slots;
  }
  void Grow() { Grow(NextSlots(bucket_count())); }
  void Grow(std::size_t slots) {
    OwnerMap bigger;
    bigger.block_ = static_cast<Block*>(::operator new(BlockBytes(slots)));
    bigger.block_->size = 0;
    bigger.block_->slots = static_cast<std::uint32_t>(slots);
    std::memset(bigger.Ctrl(), 0, slots + kCopies);
    // Moving entries allocates nothing and cannot fail. A block read whole
    // takes them in order and keeps their marks (the smaller block was one
    // too); a hashed block hashes every key.
    const bool scanned = Scanned(slots);
    for (std::size_t i = 0, n = bucket_count(); i < n; ++i) {
      if (Ctrl()[i] == 0) continue;
      Slot& s = SlotAt(i);
      std::size_t at = bigger.block_->size;
      std::uint8_t control = Ctrl()[i];
      if (!scanned) {
        const std::size_t hash = hasher()(s.first.view());
        at = bigger.FreeSlot(hash);
        control = Fragment(hash);
      }
      ::new (static_cast<void*>(&bigger.SlotAt(at))) Slot(std::move(s));
      bigger.SetCtrl(at, control);
      ++bigger.block_->size;
    }
    swap(bigger);
  }
  void Free() noexcept {
    if (block_ == nullptr) return;
    if constexpr (!std::is_trivially_destructible_v<Slot>) {
      for (std::size_t i = 0, n = block_->slots; i < n; ++i)
        if (Ctrl()[i] != 0) SlotAt(i).~Slot();
    }
    ::operator delete(block_);
    block_ = nullptr;
  }

  Block* block_ = nullptr;
};

}  // namespace cv::detail
