// Find must not allocate: it runs in per-frame scripts and game conditions.
// This file replaces the global allocator of the test program with a counting
// one.
#include <gtest/gtest.h>

#include <cstdlib>
#include <new>
#include <string>

#include "ev/store.h"

namespace {
std::size_t g_allocations = 0;
}

void* operator new(std::size_t n) {
  ++g_allocations;
  if (void* p = std::malloc(n == 0 ? 1 : n)) return p;
  throw std::bad_alloc();
}
void operator delete(void* p) noexcept { std::free(p); }
void operator delete(void* p, std::size_t) noexcept { std::free(p); }

namespace cv {
namespace {

TEST(FindAllocation, FoldingAndLookingUpALongKeyAllocatesNothing) {
  EvStore store;
  // Longer than any short-string buffer, so building a std::string would allocate.
  const std::string text = "Quest.Companion.Mood.Towards.Player.Level";
  store.Entry<EvKind::Float>(7, NormalizeKey(text)) = 2;
  store.Entry<EvKind::String>(7, NormalizeKey(text)) = "long enough to live on the heap, surely";

  std::size_t before = g_allocations;
  FoldedKey key(text);
  const float* f = store.Find<EvKind::Float>(7, key);
  const std::string* s = store.Find<EvKind::String>(7, key);
  const float* miss = store.Find<EvKind::Float>(7, FoldedKey("Quest.Companion.Missing.Key.Here"));
  const float* noOwner = store.Find<EvKind::Float>(8, key);
  EXPECT_EQ(g_allocations, before);

  ASSERT_NE(f, nullptr);
  EXPECT_EQ(*f, 2.0f);
  ASSERT_NE(s, nullptr);
  EXPECT_EQ(miss, nullptr);
  EXPECT_EQ(noOwner, nullptr);
  // The counter does count: an entry created now shows.
  store.Entry<EvKind::Float>(7, std::string(64, 'k'));
  EXPECT_GT(g_allocations, before);
}

}  // namespace
}  // namespace cv
