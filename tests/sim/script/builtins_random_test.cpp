// GetRandomPercent and Rand (script-language.md §7): their ranges, and the
// same numbers from the same seed.
#include "builtins_table.h"

namespace cv::sim::script::testing {
namespace {

struct RandomCase {
  const char* fact;
  const char* fn;
  double a, b;    // Rand's arguments
  double lo, hi;  // every result in [lo, hi)
  bool whole;     // every result a whole number
};

void PrintTo(const RandomCase& c, std::ostream* os) { *os << c.fn << " (" << c.fact << ")"; }

class RandomBuiltins : public ::testing::TestWithParam<RandomCase> {};

TEST_P(RandomBuiltins, StayInTheirRange) {
  const RandomCase& c = GetParam();
  FakeServices s;
  double seenLow = c.hi, seenHigh = c.lo;
  for (int i = 0; i < 2000; ++i) {
    Value r;
    ASSERT_TRUE(s.Call(c.fn, {Value::Number(c.a), Value::Number(c.b)}, r));
    ASSERT_GE(r.number(), c.lo);
    ASSERT_LT(r.number(), c.hi);
    if (c.whole) {
      ASSERT_EQ(r.number(), static_cast<double>(static_cast<long long>(r.number())));
    }
    seenLow = std::min(seenLow, r.number());
    seenHigh = std::max(seenHigh, r.number());
  }
  // Both ends of the range are reached (or nearly, for floats).
  EXPECT_LT(seenLow, c.lo + (c.hi - c.lo) * 0.02);
  EXPECT_GT(seenHigh, c.hi - (c.hi - c.lo) * 0.02 - (c.whole ? 1 : 0));
}

const RandomCase kRandomCases[] = {
    {"7 GetRandomPercent 0..99", "GetRandomPercent", 0, 0, 0, 100, true},
    {"7 Rand [min, max)", "Rand", 5, 10, 5, 10, false},
    {"7 Rand swaps", "Rand", 10, -2, -2, 10, false},
};

INSTANTIATE_TEST_SUITE_P(Facts, RandomBuiltins, ::testing::ValuesIn(kRandomCases));

// The same seed gives the same numbers (--seed; runs repeat by default);
// another seed other numbers.
TEST(RandomBuiltinsOnce, SeedRepeats) {
  auto draws = [](std::uint32_t seed) {
    FakeServices s;
    s.game().random.seed(seed);
    std::vector<double> out;
    for (int i = 0; i < 8; ++i) {
      Value r;
      s.Call(i % 2 ? "Rand" : "GetRandomPercent", {Value::Number(0), Value::Number(1)}, r);
      out.push_back(r.number());
    }
    return out;
  };
  EXPECT_EQ(draws(0), draws(0));
  EXPECT_NE(draws(0), draws(1));
  // The default seed's first percent is fixed on every platform: the
  // twister's first draw for seed 0 is 2357136044.
  EXPECT_EQ(draws(0)[0], 2357136044u % 100);
}

}  // namespace
}  // namespace cv::sim::script::testing

namespace cv::sim::script::testing {
namespace {

// Rand swaps min and max when max < min: from the same seed, Rand 10 -2
// gives what Rand -2 10 gives (§7, Cmd_Rand_Execute).
TEST(RandomBuiltinsOnce, RandSwapsReversedBounds) {
  for (std::uint32_t seed : {0u, 7u, 12345u}) {
    FakeServices a, b;
    a.game().random.seed(seed);
    b.game().random.seed(seed);
    Value x, y;
    ASSERT_TRUE(a.Call("Rand", {Value::Number(10), Value::Number(-2)}, x));
    ASSERT_TRUE(b.Call("Rand", {Value::Number(-2), Value::Number(10)}, y));
    EXPECT_EQ(x.number(), y.number()) << "seed " << seed;
  }
}

}  // namespace
}  // namespace cv::sim::script::testing
