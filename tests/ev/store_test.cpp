// The store's invariants, checked on both map families it can be built on.
#include "ev/store.h"

#include <gtest/gtest.h>

#include <map>
#include <string>
#include <vector>

#include "platform/fault.h"
#include "test_support.h"
#include "tests/ev/flood_keys.h"

namespace cv {
namespace {

using cv::testing::Found;

template <class Store>
class StoreTest : public ::testing::Test {
 protected:
  Store store;
  float& F(EvOwnerId o, std::string_view k) { return store.template Entry<EvKind::Float>(o, k); }
};

using Stores = ::testing::Types<BasicEvStore<detail::RobinMaps>, BasicEvStore<detail::StdMaps>>;
TYPED_TEST_SUITE(StoreTest, Stores);

constexpr EvOwnerId kA = 0x0100ABCD;
constexpr EvOwnerId kB = 0x0100ABCE;  // another reference of the same base form

TEST(KeyFolding, OnlyAtoZAreFoldedAndTheKeyEndsAtNul) {
  EXPECT_EQ(NormalizeKey("MyKey.Z"), "mykey.z");
  // '@' and '[' sit just outside A-Z; bytes from 0x80 up stay as they are.
  EXPECT_EQ(NormalizeKey("@AZ[`az{"), "@az[`az{");
  EXPECT_EQ(NormalizeKey("\xC4\xD6x\xE4"), "\xC4\xD6x\xE4");
  EXPECT_EQ(NormalizeKey(std::string_view("Ab\0Cd", 5)), "ab");
  EXPECT_EQ(FoldedKey(std::string_view("Ab\0Cd", 5)).view(), "ab");
  EXPECT_EQ(FoldedKey("Skill.KEY7").view(), NormalizeKey("Skill.KEY7"));
}

// The word-at-a-time fold against the byte-at-a-time one: every byte value
// at every place of a word, keys of every length around a word's, and a NUL
// anywhere. The hash made while folding is the key hash of the folded key.
TEST(KeyFolding, FoldedKeyFoldsEveryByteAsNormalizeKeyDoes) {
  std::vector<std::string> texts;
  for (int b = 0; b < 256; ++b)
    for (std::size_t at : {0u, 3u, 7u, 8u, 12u}) {
      std::string t = "Ab.Cd_Ef.Gh|Ij";
      t.resize(std::max<std::size_t>(t.size(), at + 1), 'Z');
      t[at] = static_cast<char>(b);
      texts.push_back(t);
    }
  for (std::size_t n = 0; n <= 24; ++n) texts.push_back(std::string(n, 'M'));
  for (std::size_t nul = 0; nul < 17; ++nul) {
    std::string t(17, 'K');
    t[nul] = '\0';
    texts.push_back(t);
  }
  texts.push_back(std::string(kMaxKeyLength - 3, 'x') + "A\0B");
  for (std::size_t n : {kMaxKeyLength - 1, kMaxKeyLength, kMaxKeyLength + 1, std::size_t{600}})
    texts.push_back(std::string(n, 'Q'));
  for (const std::string& t : texts) {
    const std::string folded = NormalizeKey(t).substr(0, kMaxKeyLength);
    const FoldedKey key(t);
    EXPECT_EQ(key.view(), folded) << t.size();
    EXPECT_EQ(key.hash(), detail::KeyHash()(folded)) << t.size() << " " << folded;
  }
}

// The owner hash spreads the ids files hold (runs of one mod's forms, the
// same form of many mods) over a table about as a random function would:
// for a given key, some runs fare worse than chance, but none by much (a
// hash that kept the ids' low bits would put a run of 4096ths in one bucket).
TEST(OwnerHashing, StructuredIdsSpreadOverTheBuckets) {
  const detail::OwnerHashKey keys[] = {{0x9E3779B97F4A7C15ull, 0x243F6A8885A308D3ull},
                                       {0xD1B54A32D192ED03ull, 0x13198A2E03707344ull},
                                       {0x2545F4914F6CDD1Dull, 0xA4093822299F31D0ull}};
  struct Case {
    const char* name;
    std::uint32_t first, step;
  };
  const Case cases[] = {{"one mod's forms", 0x01000800u, 1},
                        {"every 256th form", 0x0A000000u, 256},
                        {"every 4096th form", 0u, 4096},
                        {"one form of every mod", 0x00001234u, 1u << 24}};
  constexpr std::size_t kBuckets = 256;
  for (const auto& key : keys)
    for (const Case& c : cases) {
      std::vector<std::size_t> load(kBuckets);
      std::size_t pairs = 0;
      for (std::uint32_t i = 0; i < kBuckets; ++i)
        pairs += load[detail::MultiplyAddShift(key, c.first + i * c.step) % kBuckets]++;
      // Chance makes 256 * 255 / 2 / 256 = 127.5 pairs on average.
      EXPECT_LE(pairs, 4 * 128u) << c.name;
    }
}

TEST(KeyFolding, FoldedKeyKeepsAtMost511Bytes) {
  std::string longKey(600, 'Q');
  FoldedKey k(longKey);
  EXPECT_EQ(k.view().size(), kMaxKeyLength);
  EXPECT_EQ(k.view(), std::string(kMaxKeyLength, 'q'));
}

TEST(KeyMatching, SubkeysArePlainPrefixesWithoutSeparators) {
  const std::vector<std::string> stored = {"ab", "abc", "abcd", "b"};
  auto select = [&](std::string_view given, EvMatch m) {
    std::vector<std::string> out;
    for (const auto& s : stored)
      if (KeyMatches(s, given, m)) out.push_back(s);
    return out;
  };
  EXPECT_EQ(select("abc", EvMatch::Subkeys), (std::vector<std::string>{"abc", "abcd"}));
  EXPECT_EQ(select("abc", EvMatch::Exact), (std::vector<std::string>{"abc"}));
  EXPECT_TRUE(select("abcde", EvMatch::Subkeys).empty());
  EXPECT_TRUE(KeyMatches("abc_1", "abc", EvMatch::Subkeys));
  EXPECT_FALSE(KeyMatches("ab", "abc", EvMatch::Subkeys));
}

TYPED_TEST(StoreTest, FindCreatesNothing) {
  auto& s = this->store;
  EXPECT_EQ(s.template Find<EvKind::Float>(kA, "hp"), nullptr);
  EXPECT_FALSE(s.HasOwner(EvKind::Float, kA));

  this->F(kA, "mood") = 3;
  EXPECT_EQ(s.template Find<EvKind::Float>(kA, "hp"), nullptr);
  EXPECT_EQ(s.EntryCount(EvKind::Float), 1u);
  EXPECT_FALSE(s.HasOwner(EvKind::Form, kA));
  EXPECT_FALSE(s.HasOwner(EvKind::Float, kB));
}

TYPED_TEST(StoreTest, EntryCreatesOwnerAndZeroEntryOfEachKind) {
  auto& s = this->store;
  EXPECT_EQ(s.template Entry<EvKind::Float>(kA, "k"), 0.0f);
  EXPECT_EQ(s.template Entry<EvKind::Form>(kA, "k"), 0u);
  EXPECT_EQ(s.template Entry<EvKind::String>(kA, "k"), "");
  for (EvKind k : {EvKind::Float, EvKind::Form, EvKind::String}) {
    EXPECT_TRUE(s.HasOwner(k, kA));
    EXPECT_EQ(s.EntryCount(k), 1u);
  }
  // A zero entry still exists: it is listed.
  int listed = 0;
  s.template ForEachOwnerEntry<EvKind::Float>(kA, [&](std::string_view key, float v) {
    EXPECT_EQ(key, "k");
    EXPECT_EQ(v, 0.0f);
    ++listed;
  });
  EXPECT_EQ(listed, 1);
}

TYPED_TEST(StoreTest, OneValuePerKeyAndKindsAndOwnersAreIndependent) {
  auto& s = this->store;
  this->F(kA, "x") = 1;
  this->F(kA, "x") = 2;  // replaces
  s.template Entry<EvKind::Form>(kA, "x") = 0x0200AAAA;
  s.template Entry<EvKind::String>(kA, "x") = "text";
  this->F(kB, "x") = 9;

  EXPECT_EQ(Found(s.template Find<EvKind::Float>(kA, "x")), 2.0f);
  EXPECT_EQ(Found(s.template Find<EvKind::Float>(kB, "x")), 9.0f);
  EXPECT_EQ(s.EntryCount(EvKind::Float), 2u);

  s.ClearKind(EvKind::Float);
  EXPECT_FALSE(s.HasOwner(EvKind::Float, kA));
  EXPECT_FALSE(s.HasOwner(EvKind::Float, kB));
  EXPECT_EQ(Found(s.template Find<EvKind::Form>(kA, "x")), 0x0200AAAAu);
  EXPECT_EQ(Found(s.template Find<EvKind::String>(kA, "x")), "text");

  EXPECT_TRUE(s.EraseKey(EvKind::String, kA, "x"));
  EXPECT_EQ(Found(s.template Find<EvKind::Form>(kA, "x")), 0x0200AAAAu);
  s.ClearAll();
  for (EvKind k : {EvKind::Float, EvKind::Form, EvKind::String}) EXPECT_EQ(s.EntryCount(k), 0u);
  EXPECT_FALSE(s.HasOwner(EvKind::Form, kA));
}

TYPED_TEST(StoreTest, ErasingNeverRemovesTheOwner) {
  auto& s = this->store;
  for (const char* k : {"ab", "abc", "abcd", "b"}) this->F(kA, k) = 1;
  this->F(kB, "abc") = 1;

  EXPECT_FALSE(s.EraseKey(EvKind::Float, kA, "zz"));
  EXPECT_FALSE(s.EraseKey(EvKind::Float, 0x77, "abc"));
  EXPECT_EQ(s.EraseSubkeys(EvKind::Float, kA, "abcde"), 0u);
  EXPECT_EQ(s.EraseSubkeys(EvKind::Float, kA, "abc"), 2u);
  EXPECT_NE(s.template Find<EvKind::Float>(kA, "ab"), nullptr);
  EXPECT_NE(s.template Find<EvKind::Float>(kA, "b"), nullptr);
  EXPECT_NE(s.template Find<EvKind::Float>(kB, "abc"), nullptr);  // other owner untouched

  EXPECT_TRUE(s.EraseKey(EvKind::Float, kA, "ab"));
  EXPECT_EQ(s.EraseSubkeys(EvKind::Float, kA, "b"), 1u);
  EXPECT_TRUE(s.HasOwner(EvKind::Float, kA));
  int listed = 0;
  s.template ForEachOwnerEntry<EvKind::Float>(kA, [&](std::string_view, float) { ++listed; });
  EXPECT_EQ(listed, 0);
  EXPECT_EQ(s.EraseSubkeys(EvKind::Float, 0x77, "a"), 0u);
  EXPECT_FALSE(s.HasOwner(EvKind::Float, 0x77));
}

// Erasing while walking an open-addressing map shifts later entries back into
// the freed bucket; one pass must still remove every match and nothing else.
TYPED_TEST(StoreTest, EraseSubkeysRemovesEveryMatchInOnePass) {
  auto& s = this->store;
  std::map<std::string, float> expected;
  for (int i = 0; i < 500; ++i) {
    std::string key = (i % 3 == 0 ? "skill." : "stat.") + std::to_string(i);
    this->F(kA, key) = static_cast<float>(i);
    if (i % 3 != 0) expected[key] = static_cast<float>(i);
  }
  EXPECT_EQ(s.EraseSubkeys(EvKind::Float, kA, "skill."), 167u);
  std::map<std::string, float> left;
  s.template ForEachOwnerEntry<EvKind::Float>(
      kA, [&](std::string_view k, float v) { EXPECT_TRUE(left.emplace(k, v).second); });
  EXPECT_EQ(left, expected);
}

TYPED_TEST(StoreTest, ValuesSurviveTheTablesGrowing) {
  auto& s = this->store;
  for (EvOwnerId o = 0; o < 3000; ++o)
    for (int k = 0; k < 10; ++k)
      this->F(0x01000000u + o * 0x100u, "skill.key" + std::to_string(k)) =
          static_cast<float>(o * 10 + k);
  ASSERT_EQ(s.EntryCount(EvKind::Float), 30000u);
  std::size_t seen = 0;
  s.template ForEachEntry<EvKind::Float>([&](EvOwnerId o, std::string_view k, float v) {
    ++seen;
    ASSERT_EQ(v, static_cast<float>((o - 0x01000000u) / 0x100u * 10 + (k.back() - '0')));
  });
  EXPECT_EQ(seen, 30000u);
  const float* v = s.template Find<EvKind::Float>(0x01000000u + 1234u * 0x100u, "skill.key7");
  ASSERT_NE(v, nullptr);
  EXPECT_EQ(*v, 12347.0f);
}

TYPED_TEST(StoreTest, FailedAllocationLeavesTheStoreConsistent) {
  auto& s = this->store;
  // A short key is built in the string's own buffer and inserted straight
  // away; a long one is looked up first. Both must fail the same way.
  for (const std::string key : {"hp", "a.key.longer.than.any.short.string.buffer"}) {
    SCOPED_TRACE(key);
    s.ClearAll();
    fault::DisarmAll();
    fault::Arm("store.alloc", 1, fault::Kind::Return);  // the owner map
    EXPECT_THROW(this->F(kA, key), std::bad_alloc);
    EXPECT_FALSE(s.HasOwner(EvKind::Float, kA));

    fault::DisarmAll();
    fault::Arm("store.alloc", 2, fault::Kind::Return);  // the entry, after the owner
    EXPECT_THROW(this->F(kA, key), std::bad_alloc);
    EXPECT_TRUE(s.HasOwner(EvKind::Float, kA));
    EXPECT_EQ(s.template Find<EvKind::Float>(kA, key), nullptr);
    EXPECT_EQ(s.EntryCount(EvKind::Float), 0u);

    // An existing entry is only read, never created again.
    fault::DisarmAll();
    this->F(kA, key) = 4;
    std::uint32_t calls = fault::Calls("store.alloc");
    fault::Arm("store.alloc", calls + 1, fault::Kind::Return);
    EXPECT_EQ(this->F(kA, key), 4.0f);
    EXPECT_EQ(fault::Calls("store.alloc"), calls);
    fault::DisarmAll();
  }
}

// An owner run is a remembered owner map. It must never be used once the
// map may have moved: after owners were added (the table grows and moves
// every map) or the table was emptied. Under the address sanitizer a stale
// map would show as a use after free.
TYPED_TEST(StoreTest, AnOwnerRunFollowsEveryChangeOfTheOwners) {
  auto& s = this->store;
  typename TypeParam::template OwnerRun<EvKind::Float> run;
  s.template Entry<EvKind::Float>(kA, "a1", run) = 1;
  s.template Entry<EvKind::Float>(kA, "a2", run) = 2;
  s.template Entry<EvKind::Float>(kB, "b1", run) = 3;  // another owner
  s.template Entry<EvKind::Float>(kA, "a3", run) = 4;  // and back
  // Many owners created without the run: the table grows under it.
  for (EvOwnerId o = 1; o <= 2000; ++o) this->F(0x05000000u + o, "other") = 1;
  s.template Entry<EvKind::Float>(kA, "a4", run) = 5;
  std::map<std::string, float> a;
  s.template ForEachOwnerEntry<EvKind::Float>(
      kA, [&](std::string_view k, float v) { a.emplace(k, v); });
  EXPECT_EQ(a, (std::map<std::string, float>{{"a1", 1}, {"a2", 2}, {"a3", 4}, {"a4", 5}}));
  ASSERT_NE(s.template Find<EvKind::Float>(kB, "b1"), nullptr);
  EXPECT_EQ(Found(s.template Find<EvKind::Float>(kB, "b1")), 3.0f);

  // Emptied, whole or by kind: the owner is made again, not written into
  // the map that was freed.
  s.ClearAll();
  s.template Entry<EvKind::Float>(kA, "after.clear", run) = 6;
  EXPECT_TRUE(s.HasOwner(EvKind::Float, kA));
  EXPECT_EQ(s.EntryCount(EvKind::Float), 1u);
  s.ClearKind(EvKind::Float);
  s.template Entry<EvKind::Float>(kA, "after.kind", run) = 7;
  ASSERT_NE(s.template Find<EvKind::Float>(kA, "after.kind"), nullptr);
  EXPECT_EQ(s.EntryCount(EvKind::Float), 1u);
}

TYPED_TEST(StoreTest, ClearingAnOwnersLastValueGivesItsMemoryBack) {
  for (int i = 0; i < 200; ++i) this->F(kA, "skill." + std::to_string(i)) = 1;
  this->F(kB, "kept") = 1;
  const std::size_t full = this->store.BucketCount(EvKind::Float);
  this->store.EraseSubkeys(EvKind::Float, kA, "skill.");
  const std::size_t cleared = this->store.BucketCount(EvKind::Float);
  EXPECT_LT(cleared + 200, full);
  EXPECT_TRUE(this->store.HasOwner(EvKind::Float, kA));
  // One key cleared singly, the last one: the same.
  this->F(kA, "one") = 1;
  EXPECT_TRUE(this->store.EraseKey(EvKind::Float, kA, "one"));
  EXPECT_EQ(this->store.BucketCount(EvKind::Float), cleared);
  this->F(kA, "again") = 2;
  EXPECT_EQ(Found(this->store.template Find<EvKind::Float>(kA, "again")), 2.0f);
}

// Keys inline and on the heap, of every length around the inline limit,
// survive copies, moves and the tables' growth.
TEST(StoredKeys, EveryLengthSurvivesCopiesMovesAndGrowth) {
  std::vector<std::string> texts;
  for (std::size_t n = 0; n <= StoredKey::kInline + 2; ++n) texts.push_back(std::string(n, 'a'));
  texts.push_back(std::string(600, 'z'));
  texts.push_back(std::string("nul\0inside", 11));
  for (const std::string& t : texts) {
    StoredKey k(t);
    EXPECT_EQ(k.view(), t);
    StoredKey copy(k);
    StoredKey moved(std::move(copy));
    EXPECT_EQ(moved.view(), t);
    EXPECT_EQ(copy.view(), "");  // NOLINT: a moved-from key is empty
    StoredKey assigned("x");
    assigned = k;
    EXPECT_EQ(assigned.view(), t);
    assigned = StoredKey(std::string(40, 'q'));
    EXPECT_EQ(assigned.view(), std::string(40, 'q'));
    EXPECT_TRUE(StoredKey(t) == k);
  }
  EvStore store;
  for (int round = 0; round < 50; ++round)
    for (const std::string& t : texts)
      store.Entry<EvKind::String>(1, t + std::to_string(round)) = t;
  for (int round = 0; round < 50; ++round)
    for (const std::string& t : texts)
      ASSERT_EQ(Found(store.Find<EvKind::String>(1, t + std::to_string(round))), t);
}

// The construction against the vectors its authors published (key bytes
// 00..0F, message bytes 00, 01, ...), at their round counts 2-4: a wrong
// rotation, constant or padding would leave the store's 1-3 hash weaker
// against chosen keys with nothing else to show it. The one-word shortcut
// the owner hash takes equals hashing the id's four bytes.
TEST(KeyHash, MatchesThePublishedVectors) {
  const detail::HashSeed seed{0x0706050403020100ull, 0x0F0E0D0C0B0A0908ull};
  char m[16];
  for (int i = 0; i < 16; ++i) m[i] = static_cast<char>(i);
  EXPECT_EQ((detail::SipHash<2, 4>(seed)(m, 0)), 0x726fdb47dd0e0e31ull);
  EXPECT_EQ((detail::SipHash<2, 4>(seed)(m, 15)), 0xa129ca6149be45e5ull);
  EXPECT_EQ((detail::HalfSipHash<2, 4>(seed)(m, 0)), 0x5b9f35a9u);
  EXPECT_EQ((detail::HalfSipHash<2, 4>(seed)(m, 1)), 0xb85a4727u);
  EXPECT_EQ(detail::SipHash13(seed).Word(0x03020100u, 4), detail::SipHash13(seed)(m, 4));
  EXPECT_EQ(detail::HalfSipHash13(seed).Word(0x03020100u), detail::HalfSipHash13(seed)(m, 4));
}

// The word-at-a-time hashes read each length's last bytes exactly: bytes
// around the message change nothing, and every byte of it counts.
TEST(KeyHash, EveryLengthReadsItsLastBytesWhole) {
  const detail::HashSeed seed{0x0706050403020100ull, 0x0F0E0D0C0B0A0908ull};
  const std::string text = "Quest.Companion.Mood.Towards.Player.Level\x80\xFF";
  std::map<std::uint64_t, std::size_t> seen;
  for (std::size_t n = 0; n <= text.size(); ++n) {
    // The same bytes after the message and before it change nothing.
    std::string buf = "\xAA" + text.substr(0, n) + "\x55\x55\x55\x55\x55\x55\x55\x55";
    const char* p = buf.data() + 1;
    std::string other = "\x11" + text.substr(0, n) + "\x22\x22\x22\x22\x22\x22\x22\x22";
    const char* q = other.data() + 1;
    EXPECT_EQ(detail::SipHash13(seed)(p, n), detail::SipHash13(seed)(q, n)) << n;
    EXPECT_EQ(detail::HalfSipHash13(seed)(p, n), detail::HalfSipHash13(seed)(q, n)) << n;
    // Every prefix hashes apart (no byte is lost or read twice).
    EXPECT_TRUE(seen.emplace(detail::SipHash13(seed)(p, n), n).second) << n;
    for (std::size_t i = 0; i < n; ++i) {
      std::string flipped = text.substr(0, n);
      flipped[i] ^= 1;
      EXPECT_NE(detail::SipHash13(seed)(flipped.data(), n), detail::SipHash13(seed)(p, n)) << n;
      EXPECT_NE(detail::HalfSipHash13(seed)(flipped.data(), n), detail::HalfSipHash13(seed)(p, n))
          << n << " " << i;
    }
  }
  // Another seed, other hashes.
  const detail::HashSeed other{seed.k0 + 1, seed.k1};
  EXPECT_NE(detail::SipHash13(seed)("skill.key0", 10), detail::SipHash13(other)("skill.key0", 10));
  EXPECT_NE(detail::HalfSipHash13(seed)("skill.key0", 10),
            detail::HalfSipHash13(other)("skill.key0", 10));
}

// The hash of a key read from a buffer padded with zeros is the hash of the
// key, at every length; and a look-up by folded key (which hashes that way)
// finds what a look-up by its text finds.
TEST(KeyHash, PaddedBuffersHashAsTheirKeys) {
  const std::string text = "Quest.Companion.Mood.Towards.Player.Level.Z";
  EvStore store;
  for (std::size_t n = 0; n <= text.size(); ++n) {
    std::string padded = text.substr(0, n) + std::string(8, '\0');
    EXPECT_EQ(detail::KeyHash().Padded(std::string_view(padded.data(), n)),
              detail::KeyHash()(text.substr(0, n)))
        << n;
    const FoldedKey folded(text.substr(0, n));
    store.Entry<EvKind::Float>(kA, folded) = static_cast<float>(n + 1);
    EXPECT_EQ(Found(store.Find<EvKind::Float>(kA, folded)), static_cast<float>(n + 1)) << n;
    EXPECT_EQ(Found(store.Find<EvKind::Float>(kA, NormalizeKey(text.substr(0, n)))),
              static_cast<float>(n + 1));
  }
  const FoldedKey cut(std::string_view("Ab\0Cdefghijk", 13));
  EXPECT_EQ(Found(store.Find<EvKind::Float>(kA, cut)), std::nullopt);
  store.Entry<EvKind::Float>(kA, "ab") = 9.0f;
  EXPECT_EQ(Found(store.Find<EvKind::Float>(kA, cut)), 9.0f);
}

// 8,300 keys that shared one hash under the former unseeded hash, for each
// of 12 owners: every key is kept, and the tables stay near the size their
// entries need. (The former hash doubled the owner's table with every key
// after the 8,192nd until memory ran out.)
TEST(HashFlood, KeysMadeToCollideSpreadOutUnderTheSeededHash) {
  EvStore store;
  const std::vector<std::string> keys = testing::FormerHashCollisions(8300);
  for (EvOwnerId owner = 1; owner <= 12; ++owner) {
    for (std::size_t i = 0; i < keys.size(); ++i) {
      store.Entry<EvKind::Float>(owner, keys[i]) = 1.0f;
      if (i > 8000) {
        ASSERT_LE(store.BucketCount(EvKind::Float), 4 * store.EntryCount(EvKind::Float) + 64)
            << "owner " << owner << ", key " << i;
      }
    }
  }
  EXPECT_EQ(store.EntryCount(EvKind::Float), 12u * 8300u);
  for (const std::string& k : keys) ASSERT_NE(store.Find<EvKind::Float>(12, k), nullptr);
}

// Should keys cluster anyway (here: a hash that is one constant), the
// owner table, which would grow for anything but its size, refuses the
// owner instead and stays bounded; an owner map only gets slower, keeps
// every key and grows for its size alone.
struct ConstantHash {
  using is_transparent = void;
  std::size_t operator()(std::string_view) const noexcept { return 42; }
  std::size_t operator()(EvOwnerId) const noexcept { return 42; }
};
struct ClusteringMaps : detail::RobinMaps {
  template <class V>
  using OwnerMap = detail::OwnerMap<V, ConstantHash>;
  template <class V>
  using Table = tsl::robin_map<EvOwnerId, OwnerMap<V>, ConstantHash, std::equal_to<EvOwnerId>,
                               std::allocator<std::pair<EvOwnerId, OwnerMap<V>>>, false,
                               detail::BoundedGrowth>;
};

TEST(HashFlood, AnOwnerTableThatWouldGrowWithoutBoundRefusesTheOwner) {
  BasicEvStore<ClusteringMaps> store;
  std::size_t refused = 0;
  for (EvOwnerId owner = 1; owner <= 8600; ++owner) {
    try {
      store.Entry<EvKind::Float>(owner, "k") = 1.0f;
    } catch (const TableRefused&) {
      ++refused;
    }
    // Eight buckets an owner at most, and each owner's own block of one.
    ASSERT_LE(store.BucketCount(EvKind::Float), 9 * store.EntryCount(EvKind::Float) + 1024)
        << owner;
  }
  EXPECT_GT(refused, 0u);
  EXPECT_EQ(store.EntryCount(EvKind::Float) + refused, 8600u);
  ASSERT_NE(store.Find<EvKind::Float>(1, "k"), nullptr);
}

TEST(HashFlood, AnOwnerMapOfKeysThatShareAHashKeepsThemAll) {
  BasicEvStore<ClusteringMaps> store;
  for (int i = 0; i < 3000; ++i) {
    store.Entry<EvKind::Float>(7, "k" + std::to_string(i)) = static_cast<float>(i);
    ASSERT_LE(store.BucketCount(EvKind::Float), 3 * store.EntryCount(EvKind::Float) + 64) << i;
  }
  EXPECT_EQ(store.EntryCount(EvKind::Float), 3000u);
  EXPECT_EQ(Found(store.Find<EvKind::Float>(7, "k0")), 0.0f);
  EXPECT_EQ(Found(store.Find<EvKind::Float>(7, "k2999")), 2999.0f);
  EXPECT_EQ(store.Find<EvKind::Float>(7, "k3000"), nullptr);
}

TEST(TheStore, IsOneProcessWideStore) {
  TheStore().ClearAll();
  TheStore().Entry<EvKind::String>(kA, "name") = "Vera";
  EvStore& again = TheStore();
  EXPECT_EQ(&again, &TheStore());
  ASSERT_NE(again.Find<EvKind::String>(kA, "name"), nullptr);
  TheStore().ClearAll();
}

}  // namespace
}  // namespace cv
