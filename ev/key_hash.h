// The keys' side of the store: the key an owner map keeps, and the seeded
// hashes of keys and owner ids (SipHash-1-3, HalfSipHash-1-3). Plain C++,
// no host or OS.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string_view>
#include <type_traits>
#include <utility>

namespace cv {

// A key as an owner map keeps it: the bytes inline when they fit (23 bytes
// on 64-bit targets, 15 on 32-bit ones, so most keys cost no allocation),
// else on the heap. Byte-aligned and smaller than a std::string, so that a
// float entry's bucket shrinks by a sixth.
class StoredKey {
 public:
  static constexpr std::size_t kBytes = sizeof(void*) == 8 ? 24 : 16;
  static constexpr std::size_t kInline = kBytes - 1;

  explicit StoredKey(std::string_view text) { Init(text); }
  StoredKey(const StoredKey& other) { Init(other.view()); }
  StoredKey(StoredKey&& other) noexcept {
    std::memcpy(bytes_, other.bytes_, kBytes);
    other.bytes_[kInline] = 0;  // the other keeps nothing (an empty key)
  }
  StoredKey& operator=(const StoredKey& other) {
    if (this != &other) {
      StoredKey copy(other);
      *this = std::move(copy);
    }
    return *this;
  }
  StoredKey& operator=(StoredKey&& other) noexcept {
    if (this != &other) {
      Release();
      std::memcpy(bytes_, other.bytes_, kBytes);
      other.bytes_[kInline] = 0;
    }
    return *this;
  }
  ~StoredKey() { Release(); }

  std::string_view view() const noexcept {
    if (!OnHeap()) return {bytes_, static_cast<unsigned char>(bytes_[kInline])};
    const char* p;
    std::uint32_t n;
    std::memcpy(&p, bytes_, sizeof p);
    std::memcpy(&n, bytes_ + sizeof p, sizeof n);
    return {p, n};
  }
  operator std::string_view() const noexcept { return view(); }
  friend bool operator==(const StoredKey& a, const StoredKey& b) noexcept {
    return a.view() == b.view();
  }

 private:
  static constexpr unsigned char kHeap = 0xFF;
  bool OnHeap() const noexcept { return static_cast<unsigned char>(bytes_[kInline]) == kHeap; }
  void Init(std::string_view text) {
    if (text.size() <= kInline) {
      CopyShort(text.data(), text.size());
      bytes_[kInline] = static_cast<char>(text.size());
      return;
    }
    char* p = new char[text.size()];
    std::memcpy(p, text.data(), text.size());
    const auto n = static_cast<std::uint32_t>(text.size());
    std::memcpy(bytes_, &p, sizeof p);
    std::memcpy(bytes_ + sizeof p, &n, sizeof n);
    bytes_[kInline] = static_cast<char>(kHeap);
  }
  // Copies n bytes (at most kInline) into the inline buffer with a few
  // overlapping loads and stores instead of a call for a copy of any size.
  void CopyShort(const char* p, std::size_t n) noexcept {
    auto copy = [&](std::size_t at, auto word) {
      std::memcpy(&word, p + at, sizeof word);
      std::memcpy(bytes_ + at, &word, sizeof word);
    };
    if (n >= 8) {
      copy(0, std::uint64_t{});
      if (n > 16) copy(8, std::uint64_t{});
      copy(n - 8, std::uint64_t{});
    } else if (n >= 4) {
      copy(0, std::uint32_t{});
      copy(n - 4, std::uint32_t{});
    } else {
      for (std::size_t i = 0; i < n; ++i) bytes_[i] = p[i];
    }
  }
  void Release() noexcept {
    if (!OnHeap()) return;
    char* p;
    std::memcpy(&p, bytes_, sizeof p);
    delete[] p;
    bytes_[kInline] = 0;
  }
  char bytes_[kBytes];
};

namespace detail {

template <class Word>
inline Word Load(const char* p) noexcept {
  Word w;
  std::memcpy(&w, p, sizeof w);
  return w;
}

// The last r bytes of the n bytes at p (r less than the word size, r <= n)
// as a little-endian word, read without a copy of variable length: one
// load that ends at the last byte when n holds a whole word, else two
// overlapping half-word loads, else single bytes.
template <class Word>
inline Word LoadTail(const char* p, std::size_t n, std::size_t r) noexcept {
  using Half = std::conditional_t<sizeof(Word) == 8, std::uint32_t, std::uint16_t>;
  constexpr std::size_t kBits = 8 * sizeof(Word);
  if (r == 0) return 0;
  if (n >= sizeof(Word)) return Load<Word>(p + n - sizeof(Word)) >> (kBits - 8 * r);
  // Here n == r: the whole message is shorter than a word.
  if (r >= sizeof(Half))
    return static_cast<Word>(Load<Half>(p)) |
           (static_cast<Word>(Load<Half>(p + r - sizeof(Half))) << (8 * (r - sizeof(Half))));
  auto byte = [&](std::size_t i) { return static_cast<Word>(static_cast<unsigned char>(p[i])); };
  return byte(0) | (byte(r / 2) << (8 * (r / 2))) | (byte(r - 1) << (8 * (r - 1)));
}

// The key of the hashes below: drawn once per process from the system's
// random source (store.cpp), so that no input can be made to collide.
struct HashSeed {
  std::uint64_t k0, k1;
};
extern const HashSeed g_hashSeed;

// SipHash-C-D (C compression rounds, D finalisation rounds): a keyed hash
// made to withstand chosen inputs, unlike a multiply-and-shift mix, whose
// collisions hold whatever its seed. 64-bit words. The store uses 1-3; the
// round counts are parameters so that the tests can check the construction
// against the published 2-4 vectors.
template <int C, int D>
class SipHash {
 public:
  explicit SipHash(const HashSeed& k) noexcept
      : v0_(k.k0 ^ 0x736f6d6570736575ull),
        v1_(k.k1 ^ 0x646f72616e646f6dull),
        v2_(k.k0 ^ 0x6c7967656e657261ull),
        v3_(k.k1 ^ 0x7465646279746573ull) {}
  std::uint64_t operator()(const char* p, std::size_t n) noexcept {
    const std::size_t whole = n & ~std::size_t{7};
    for (std::size_t i = 0; i < whole; i += 8) Absorb(Load<std::uint64_t>(p + i));
    Absorb((static_cast<std::uint64_t>(n) << 56) | LoadTail<std::uint64_t>(p, n, n - whole));
    return Finish();
  }
  // The same hash of n bytes followed by zeros up to the next multiple of
  // eight, which it reads.
  std::uint64_t Padded(const char* p, std::size_t n) noexcept {
    const std::size_t whole = n & ~std::size_t{7};
    for (std::size_t i = 0; i < whole; i += 8) Absorb(Load<std::uint64_t>(p + i));
    Absorb((static_cast<std::uint64_t>(n) << 56) |
           (n == whole ? 0 : Load<std::uint64_t>(p + whole)));
    return Finish();
  }
  // A single value of up to 56 bits as the whole message.
  std::uint64_t Word(std::uint64_t w, std::size_t n) noexcept {
    Absorb((static_cast<std::uint64_t>(n) << 56) | w);
    return Finish();
  }
  // The message a word at a time, for a caller that makes the words as it
  // goes: every whole word, then the last one (the length in its top byte
  // and the bytes that remain), then Finish.
  void Absorb(std::uint64_t m) noexcept {
    v3_ ^= m;
    for (int i = 0; i < C; ++i) Round();
    v0_ ^= m;
  }
  std::uint64_t Finish() noexcept {
    v2_ ^= 0xff;
    for (int i = 0; i < D; ++i) Round();
    return v0_ ^ v1_ ^ v2_ ^ v3_;
  }

 private:
  static std::uint64_t Rotl(std::uint64_t x, int b) noexcept { return (x << b) | (x >> (64 - b)); }
  void Round() noexcept {
    v0_ += v1_, v1_ = Rotl(v1_, 13), v1_ ^= v0_, v0_ = Rotl(v0_, 32);
    v2_ += v3_, v3_ = Rotl(v3_, 16), v3_ ^= v2_;
    v0_ += v3_, v3_ = Rotl(v3_, 21), v3_ ^= v0_;
    v2_ += v1_, v1_ = Rotl(v1_, 17), v1_ ^= v2_, v2_ = Rotl(v2_, 32);
  }
  std::uint64_t v0_, v1_, v2_, v3_;
};
using SipHash13 = SipHash<1, 3>;

// HalfSipHash-C-D: the same construction on 32-bit words with a 64-bit key
// and a 32-bit result, for 32-bit targets, where it is the faster of the
// two. The store uses 1-3.
template <int C, int D>
class HalfSipHash {
 public:
  explicit HalfSipHash(const HashSeed& k) noexcept
      : v0_(static_cast<std::uint32_t>(k.k0)),
        v1_(static_cast<std::uint32_t>(k.k0 >> 32)),
        v2_(0x6c796765u ^ static_cast<std::uint32_t>(k.k0)),
        v3_(0x74656462u ^ static_cast<std::uint32_t>(k.k0 >> 32)) {}
  std::uint32_t operator()(const char* p, std::size_t n) noexcept {
    const std::size_t whole = n & ~std::size_t{3};
    for (std::size_t i = 0; i < whole; i += 4) Absorb(Load<std::uint32_t>(p + i));
    Absorb((static_cast<std::uint32_t>(n) << 24) | LoadTail<std::uint32_t>(p, n, n - whole));
    return Finish();
  }
  // The same hash of n bytes followed by zeros up to the next multiple of
  // four, which it reads.
  std::uint32_t Padded(const char* p, std::size_t n) noexcept {
    const std::size_t whole = n & ~std::size_t{3};
    for (std::size_t i = 0; i < whole; i += 4) Absorb(Load<std::uint32_t>(p + i));
    Absorb((static_cast<std::uint32_t>(n) << 24) |
           (n == whole ? 0 : Load<std::uint32_t>(p + whole)));
    return Finish();
  }
  std::uint32_t Word(std::uint32_t w) noexcept {
    Absorb(w);
    Absorb(4u << 24);
    return Finish();
  }
  // A word at a time, as SipHash's Absorb and Finish.
  void Absorb(std::uint32_t m) noexcept {
    v3_ ^= m;
    for (int i = 0; i < C; ++i) Round();
    v0_ ^= m;
  }
  std::uint32_t Finish() noexcept {
    v2_ ^= 0xff;
    for (int i = 0; i < D; ++i) Round();
    return v1_ ^ v3_;
  }

 private:
  static std::uint32_t Rotl(std::uint32_t x, int b) noexcept { return (x << b) | (x >> (32 - b)); }
  void Round() noexcept {
    v0_ += v1_, v1_ = Rotl(v1_, 5), v1_ ^= v0_, v0_ = Rotl(v0_, 16);
    v2_ += v3_, v3_ = Rotl(v3_, 8), v3_ ^= v2_;
    v0_ += v3_, v3_ = Rotl(v3_, 7), v3_ ^= v0_;
    v2_ += v1_, v1_ = Rotl(v1_, 13), v1_ ^= v2_, v2_ = Rotl(v2_, 16);
  }
  std::uint32_t v0_, v1_, v2_, v3_;
};
using HalfSipHash13 = HalfSipHash<1, 3>;

// Keys come from save-data files, so they are hashed with the seeded hash:
// the 64-bit one where size_t has 64 bits, the 32-bit one where it has 32.
constexpr bool kHalfHash = sizeof(std::size_t) < 8;

struct KeyHash {
  using is_transparent = void;
  std::size_t operator()(std::string_view s) const noexcept {
    if constexpr (kHalfHash)
      return HalfSipHash13(g_hashSeed)(s.data(), s.size());
    else
      return static_cast<std::size_t>(SipHash13(g_hashSeed)(s.data(), s.size()));
  }
  // The same hash of a key whose buffer holds zeros after it up to the next
  // multiple of eight bytes.
  std::size_t Padded(std::string_view s) const noexcept {
    if constexpr (kHalfHash)
      return HalfSipHash13(g_hashSeed).Padded(s.data(), s.size());
    else
      return static_cast<std::size_t>(SipHash13(g_hashSeed).Padded(s.data(), s.size()));
  }
};
// KeyHash's hash of a key made eight bytes at a time (as a FoldedKey makes
// it), without reading it back: Whole for each word that the key fills,
// then Last with the word that holds the rest (its bytes from the key's
// end on zero) and the key's length.
class KeyWordHash {
 public:
  void Whole(std::uint64_t w) noexcept {
    if constexpr (kHalfHash) {
      h_.Absorb(static_cast<Word>(static_cast<std::uint32_t>(w)));
      h_.Absorb(static_cast<Word>(w >> 32));
    } else {
      h_.Absorb(static_cast<Word>(w));
    }
  }
  std::size_t Last(std::uint64_t rest, std::size_t length) noexcept {
    if constexpr (kHalfHash) {
      // Four bytes or more left: the first four are a whole 32-bit word.
      const auto size = static_cast<Word>(static_cast<std::uint32_t>(length) << 24);
      if (length % 8 >= 4) {
        h_.Absorb(static_cast<Word>(static_cast<std::uint32_t>(rest)));
        h_.Absorb(size | static_cast<Word>(rest >> 32));
      } else {
        h_.Absorb(size | static_cast<Word>(static_cast<std::uint32_t>(rest)));
      }
    } else {
      h_.Absorb(static_cast<Word>((static_cast<std::uint64_t>(length) << 56) | rest));
    }
    return static_cast<std::size_t>(h_.Finish());
  }

 private:
  using Word = std::conditional_t<kHalfHash, std::uint32_t, std::uint64_t>;
  std::conditional_t<kHalfHash, HalfSipHash13, SipHash13> h_{g_hashSeed};
};

struct KeyEq {
  using is_transparent = void;
  bool operator()(std::string_view a, std::string_view b) const noexcept { return a == b; }
};
// Owner ids are one 32-bit word, for which a keyed hash far cheaper than
// SipHash gives the same guarantee against a file that picks its ids:
// multiply-add-shift, ((a * id + b) mod 2^64) >> 32 with a and b drawn at
// random, puts any two distinct ids on the same 32-bit value with
// probability 2^-32, and so (every bit of the result being as good as
// another) in the same bucket of a power-of-two table with probability
// 1/buckets, whatever the ids are. Drawn once per process (store.cpp).
struct OwnerHashKey {
  std::uint64_t a, b;
};
extern const OwnerHashKey g_ownerKey;
inline std::uint32_t MultiplyAddShift(const OwnerHashKey& k, std::uint32_t id) noexcept {
  return static_cast<std::uint32_t>((k.a * id + k.b) >> 32);
}
struct OwnerHash {
  std::size_t operator()(std::uint32_t id) const noexcept {  // an owner id
    return MultiplyAddShift(g_ownerKey, id);
  }
};

}  // namespace detail
}  // namespace cv
