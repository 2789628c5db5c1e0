#include "plugin/random_command.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <cstdio>
#include <limits>
#include <vector>

#include "log/log.h"
#include "platform/fault.h"
#include "platform/platform.h"
#include "tests/queries/fake_game.h"

namespace cv::plugin {
namespace {

constexpr std::int32_t kMin = std::numeric_limits<std::int32_t>::min();
constexpr std::int32_t kMax = std::numeric_limits<std::int32_t>::max();
// kMin .. kThreeQuarters holds 3 * 2^30 values.
constexpr std::int32_t kThreeQuarters = 0x3FFFFFFF;

// Hands out the scripted values in order and counts the draws.
class Script {
 public:
  explicit Script(std::vector<std::uint32_t> values) : values_(std::move(values)) {}
  std::uint32_t operator()() {
    if (draws_ >= values_.size()) {
      ADD_FAILURE() << "more draws than scripted";
      return 0;
    }
    return values_[draws_++];
  }
  std::size_t draws() const { return draws_; }

 private:
  std::vector<std::uint32_t> values_;
  std::size_t draws_ = 0;
};

RandomDraw Draw(std::int32_t x, std::int32_t y, Script& s) {
  return DrawInRange(x, y, [&] { return s(); });
}

TEST(DrawInRange, EqualBoundsMakeNoDraw) {
  Script none({});
  EXPECT_EQ(Draw(7, 7, none).value, 7);
  EXPECT_EQ(Draw(kMin, kMin, none).value, kMin);
  EXPECT_EQ(Draw(kMax, kMax, none).value, kMax);
  EXPECT_EQ(none.draws(), 0u);
}

TEST(DrawInRange, BoundsAreSwapped) {
  Script s({0, 7});
  const RandomDraw d = Draw(10, 3, s);
  EXPECT_EQ(d.lo, 3);
  EXPECT_EQ(d.hi, 10);
  EXPECT_EQ(d.value, 3);
  EXPECT_EQ(Draw(10, 3, s).value, 10);
}

TEST(DrawInRange, FullRangeUsesOneDrawWhole) {
  Script s({0, 0xFFFFFFFFu, 0x80000000u, 0x12345678u});
  EXPECT_EQ(Draw(kMin, kMax, s).value, kMin);
  EXPECT_EQ(Draw(kMin, kMax, s).value, kMax);
  EXPECT_EQ(Draw(kMax, kMin, s).value, 0);
  EXPECT_EQ(Draw(kMin, kMax, s).value, static_cast<std::int32_t>(0x92345678u));
  EXPECT_EQ(s.draws(), 4u);
}

TEST(DrawInRange, ValueIsLowerBoundPlusDrawModuloCount) {
  Script s({0, 6, 7, 5, 1000});
  EXPECT_EQ(Draw(-3, 3, s).value, -3);
  EXPECT_EQ(Draw(-3, 3, s).value, 3);
  EXPECT_EQ(Draw(-3, 3, s).value, -3);
  EXPECT_EQ(Draw(-10, -5, s).value, -5);
  EXPECT_EQ(Draw(kMax - 9, kMax, s).value, kMax - 9);  // 1000 % 10 == 0
  EXPECT_EQ(s.draws(), 5u);
}

TEST(DrawInRange, DrawsInTheIncompleteLastBlockAreRejected) {
  // 0..2: 2^32 - 1 is a multiple of 3, so only the top value is cut off.
  Script three({0xFFFFFFFFu, 0xFFFFFFFEu});
  EXPECT_EQ(Draw(0, 2, three).value, 2);
  EXPECT_EQ(three.draws(), 2u);

  // 3 * 2^30 values: a quarter of all draws falls into the cut-off block.
  Script big({0xC0000000u, 0xFFFFFFFFu, 0xBFFFFFFFu});
  EXPECT_EQ(Draw(kMin, kThreeQuarters, big).value, kThreeQuarters);
  EXPECT_EQ(big.draws(), 3u);
}

TEST(DrawInRange, PowerOfTwoCountsNeverReject) {
  Script s({0xFFFFFFFFu, 0xFFFFFFFFu, 0xFFFFFFFFu});
  EXPECT_EQ(Draw(0, 1, s).value, 1);
  EXPECT_EQ(Draw(0, 255, s).value, 255);
  EXPECT_EQ(Draw(kMin, -1, s).value, -1);
  EXPECT_EQ(s.draws(), 3u);
}

// Chi-square statistic of counts against equal expected frequencies.
double ChiSquare(const std::vector<long>& counts, long total) {
  const double expected = static_cast<double>(total) / static_cast<double>(counts.size());
  double chi = 0;
  for (long c : counts)
    chi += (static_cast<double>(c) - expected) * (static_cast<double>(c) - expected) / expected;
  return chi;
}

// Every value of small ranges turns up with its expected frequency from the
// real source. The critical values are the chi-square quantiles at an upper
// tail of 1e-7 (df 1: 28.38, 2: 32.24, 6: 43.34, 9: 50.18), so the five
// checks together fail a correct generator with probability below 1e-6.
TEST(DrawInRange, RealSourceIsUniform) {
  struct Case {
    std::int32_t lo, hi;
    std::int64_t bucketWidth;
    double critical;
  };
  const Case cases[] = {{0, 1, 1, 28.38},
                        {0, 2, 1, 32.24},
                        {-3, 3, 1, 43.34},
                        {0, 9, 1, 50.18},
                        // 3 * 2^30 values in three buckets: plain modulo without the
                        // rejection would put half of all draws into the first.
                        {kMin, kThreeQuarters, std::int64_t{1} << 30, 32.24}};
  constexpr long kDraws = 100000;
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << c.lo << ".." << c.hi);
    const std::int64_t span = std::int64_t{c.hi} - c.lo + 1;
    std::vector<long> counts(static_cast<std::size_t>(span / c.bucketWidth), 0);
    for (long i = 0; i < kDraws; ++i) {
      const std::int32_t v = DrawInRange(c.lo, c.hi, platform::RandomU32).value;
      ASSERT_GE(v, c.lo);
      ASSERT_LE(v, c.hi);
      ++counts[static_cast<std::size_t>((std::int64_t{v} - c.lo) / c.bucketWidth)];
    }
    EXPECT_LT(ChiSquare(counts, kDraws), c.critical);
  }
}

class RandomCommand : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_NE(LogOpen("random_test.log"), nullptr);
    fault::DisarmAll();
  }
  void TearDown() override {
    fault::DisarmAll();
    LogClose();
  }
  std::vector<std::string> Log() const { return fake::ReadLines("random_test.log"); }

  fake::FakeGame game;
};

TEST_F(RandomCommand, EqualBoundsFromTheConsole) {
  fault::Arm("random", 1, fault::Kind::Return);  // any draw would fail
  EXPECT_EQ(game.Run(GetRandom, nullptr, {SInt32{7}, SInt32{7}}, true), 7);
  EXPECT_EQ(game.console(), std::vector<std::string>{"GetRandom(7, 7) == 7.000000 7"});
  EXPECT_EQ(fault::Calls("random"), 0u);
  EXPECT_TRUE(Log().empty());
}

TEST_F(RandomCommand, SwappedBoundsShowInOrder) {
  for (int i = 0; i < 50; ++i) {
    const double r = game.Run(GetRandom, nullptr, {SInt32{10}, SInt32{3}}, true);
    ASSERT_GE(r, 3);
    ASSERT_LE(r, 10);
    ASSERT_EQ(game.console().size(), 1u);
    int lo = 0, hi = 0, drawn = 0;
    double shown = 0;
    ASSERT_EQ(std::sscanf(game.console()[0].c_str(), "GetRandom(%d, %d) == %lf %d", &lo, &hi,
                          &shown, &drawn),
              4);
    EXPECT_EQ(lo, 3);
    EXPECT_EQ(hi, 10);
    EXPECT_EQ(shown, r);
    EXPECT_EQ(drawn, static_cast<int>(r));
  }
  game.Run(GetRandom, nullptr, {SInt32{1}, SInt32{2}});
  EXPECT_TRUE(game.console().empty());
  EXPECT_TRUE(Log().empty());
}

TEST_F(RandomCommand, FullRangeMakesOneDraw) {
  fault::Arm("random", 2, fault::Kind::Return);  // a second draw would fail
  const double r = game.Run(GetRandom, nullptr, {SInt32{kMin}, SInt32{kMax}});
  EXPECT_EQ(fault::Calls("random"), 1u);
  EXPECT_EQ(r, static_cast<double>(static_cast<std::int32_t>(r)));
  EXPECT_TRUE(Log().empty());
}

TEST_F(RandomCommand, FailingSourceIsLoggedAndGivesZero) {
  fault::Arm("random", 1, fault::Kind::Return);
  EXPECT_EQ(game.Run(GetRandom, nullptr, {SInt32{5}, SInt32{9}}, true), 0);
  EXPECT_TRUE(game.console().empty());
  EXPECT_EQ(Log(), std::vector<std::string>{"Exception in GetRandom: invalid random_device value"});
}

TEST_F(RandomCommand, FailedExtractionDrawsNothing) {
  fault::Arm("random", 1, fault::Kind::Return);
  EXPECT_EQ(game.RunFailingExtraction(GetRandom, nullptr, true), 0);
  EXPECT_TRUE(game.console().empty());
  EXPECT_EQ(fault::Calls("random"), 0u);
  EXPECT_TRUE(Log().empty());
}

}  // namespace
}  // namespace cv::plugin
