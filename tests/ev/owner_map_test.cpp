// The owner map against std::map under a run of random inserts, look-ups and
// erasures, with hashes weak enough that probe runs form, wrap around the end
// of the block and are cut by erasures.
#include "ev/owner_map.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <random>
#include <string>
#include <vector>

namespace cv::detail {
namespace {

// The hash of a key: its first byte, scaled to one of a few home slots, and
// that byte again in the top bits, so that control bytes differ too.
struct FewHomes {
  std::size_t operator()(std::string_view key) const noexcept {
    const std::size_t b = key.empty() ? 0 : static_cast<unsigned char>(key[0]);
    return (b % 5) * 3 | (b << (8 * sizeof(std::size_t) - 8));
  }
};
struct OneHome {
  std::size_t operator()(std::string_view) const noexcept { return 7; }
};

template <class Map>
void CheckSame(const Map& map, const std::map<std::string, std::string>& want) {
  ASSERT_EQ(map.size(), want.size());
  std::map<std::string, std::string> seen;
  for (const auto& [key, value] : map) seen.emplace(std::string(key.view()), value);
  ASSERT_EQ(seen, want);
  for (const auto& [key, value] : want) {
    auto it = map.find(key);
    ASSERT_NE(it, map.end()) << key;
    EXPECT_EQ(it->second, value);
  }
}

template <class Hash>
void RandomRun(unsigned seed) {
  std::mt19937 rng(seed);
  OwnerMap<std::string, Hash> map;
  std::map<std::string, std::string> want;
  std::size_t peak = 0;  // the most entries the map held
  auto key = [&] {
    // Short keys inline, and now and then one on the heap.
    std::string k(1 + rng() % 3, static_cast<char>('a' + rng() % 20));
    if (rng() % 10 == 0) k += std::string(40, 'z');
    return k;
  };
  for (int step = 0; step < 4000; ++step) {
    const std::string k = key();
    switch (rng() % 4) {
      case 0:
      case 1: {  // insert or overwrite
        const std::string v = std::to_string(step);
        map.try_emplace(StoredKey(k)).first.value() = v;
        want[k] = v;
        peak = std::max(peak, map.size());
        break;
      }
      case 2: {  // erase one
        auto it = map.find(k);
        ASSERT_EQ(it != map.end(), want.count(k) == 1) << k;
        if (it != map.end()) map.erase(it);
        want.erase(k);
        break;
      }
      default: {  // erase every key of one letter while walking the map
        const char c = k[0];
        for (auto it = map.begin(); it != map.end();)
          it = it->first.view()[0] == c ? map.erase(it) : std::next(it);
        std::erase_if(want, [&](const auto& e) { return e.first[0] == c; });
        break;
      }
    }
    if (step % 50 == 0) {
      CheckSame(map, want);
      if (::testing::Test::HasFatalFailure()) return;
    }
    EXPECT_EQ(map.find(k + "?"), map.end());
  }
  CheckSame(map, want);
  // Growth is for the entries alone: a block of a power of two slots, filled
  // to three in four before it doubles.
  EXPECT_LE(map.bucket_count(), 3 * peak + 4);
  // Copies hold the same, and a moved-from map is empty.
  OwnerMap<std::string, Hash> copy(map);
  CheckSame(copy, want);
  OwnerMap<std::string, Hash> moved(std::move(copy));
  CheckSame(moved, want);
  EXPECT_EQ(copy.size(), 0u);  // NOLINT: moved from
  EXPECT_EQ(copy.find("a"), copy.end());
}

TEST(OwnerMap, AgreesWithAnOrderedMap) {
  for (unsigned seed : {1u, 2u, 3u}) {
    SCOPED_TRACE(seed);
    RandomRun<FewHomes>(seed);
    RandomRun<OneHome>(seed);
    RandomRun<KeyHash>(seed);
  }
}

// The first entry takes a block of one slot, the second one of four, and an
// empty map none.
TEST(OwnerMap, OneEntryTakesOneSlot) {
  OwnerMap<float> map;
  EXPECT_EQ(map.bucket_count(), 0u);
  EXPECT_EQ(map.find("k"), map.end());
  map.try_emplace(StoredKey("k")).first.value() = 2.0f;
  EXPECT_EQ(map.bucket_count(), 1u);
  EXPECT_EQ(map.find("k")->second, 2.0f);
  EXPECT_EQ(map.find("j"), map.end());
  map.try_emplace(StoredKey("j"));
  EXPECT_EQ(map.bucket_count(), 4u);
  map.clear();
  EXPECT_EQ(map.bucket_count(), 0u);
}

// A key of every length up to past the inline buffer keeps every byte,
// through a copy and a move.
TEST(StoredKey, KeepsEveryByteOfEveryLength) {
  for (std::size_t n = 0; n <= StoredKey::kInline + 9; ++n) {
    SCOPED_TRACE(n);
    std::string text;
    for (std::size_t i = 0; i < n; ++i) text += static_cast<char>(i == 3 ? '\0' : 'a' + i);
    const StoredKey key(text);
    EXPECT_EQ(key.view(), text);
    StoredKey copy(key);
    StoredKey moved(std::move(copy));
    EXPECT_EQ(moved.view(), text);
  }
}

// Keys of one length that share the bytes a small block's control byte is
// made from are told apart by comparing them, through erasures and through
// the growth into a hashed block.
TEST(OwnerMap, KeysSharingASmallBlocksMarkAreToldApart) {
  // Bytes 0, 2 and 4 are the same in all of them; 1 and 3 differ.
  std::vector<std::string> keys;
  for (char a : {'0', '1', '2', '3'})
    for (char b : {'x', 'y', 'z', 'w'}) keys.push_back(std::string{'k', a, 'm', b, 'k'});
  struct Case {
    std::size_t inserted;  // the first keys, in order
    std::vector<std::size_t> erased;
  };
  const Case cases[] = {{1, {0}},    {4, {1}},      {4, {0, 3}},     {7, {6, 0, 3}},
                        {8, {2, 5}}, {12, {0, 11}}, {16, {3, 4, 15}}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.inserted);
    OwnerMap<float> map;
    std::map<std::string, float> model;
    for (std::size_t i = 0; i < c.inserted; ++i) {
      map.try_emplace(StoredKey(keys[i])).first.value() = static_cast<float>(i);
      model[keys[i]] = static_cast<float>(i);
    }
    for (std::size_t i : c.erased) {
      map.erase(map.find(keys[i]));
      model.erase(keys[i]);
    }
    EXPECT_EQ(map.size(), model.size());
    for (const std::string& k : keys) {
      auto it = map.find(k);
      if (model.count(k) == 0) {
        EXPECT_EQ(it, map.end()) << k;
      } else {
        ASSERT_NE(it, map.end()) << k;
        EXPECT_EQ(it->second, model[k]) << k;
      }
    }
    // Put back, every key lands once.
    for (const std::string& k : keys) map.try_emplace(StoredKey(k));
    EXPECT_EQ(map.size(), keys.size());
  }
}

// Room made for n entries is the block n insertions one at a time grow to;
// the entries already there stay, and a map never shrinks.
TEST(OwnerMap, ReserveMakesTheBlockInsertionsWouldGrowTo) {
  for (std::size_t already : {0u, 1u, 3u}) {
    for (std::size_t n = 0; n <= 40; ++n) {
      SCOPED_TRACE(::testing::Message() << already << " entries, room for " << n);
      OwnerMap<float> reserved, grown;
      for (std::size_t i = 0; i < already; ++i) {
        reserved.try_emplace(StoredKey("old" + std::to_string(i))).first.value() = 1.0f;
        grown.try_emplace(StoredKey("old" + std::to_string(i)));
      }
      reserved.reserve(n);
      for (std::size_t i = already; i < n; ++i)
        grown.try_emplace(StoredKey("k" + std::to_string(i)));
      EXPECT_EQ(reserved.bucket_count(), grown.bucket_count());
      EXPECT_EQ(reserved.size(), already);
      for (std::size_t i = 0; i < already; ++i)
        EXPECT_EQ(reserved.find("old" + std::to_string(i))->second, 1.0f);
      // Filling the room takes no other block.
      const std::size_t slots = reserved.bucket_count();
      for (std::size_t i = already; i < n; ++i)
        reserved.try_emplace(StoredKey("k" + std::to_string(i)));
      EXPECT_EQ(reserved.bucket_count(), slots);
    }
  }
}

}  // namespace
}  // namespace cv::detail
