// The shortened failure output: a long text keeps its head and tail and says
// how much was left out; two long texts that differ show where.
#include "short_output.h"

#include <gtest/gtest.h>

#include <string>

namespace cv::testing {
namespace {

TEST(Shortened, KeepsHeadAndTailAndCountsWhatIsLeftOut) {
  struct Case {
    const char* what;
    std::string text;
    std::size_t most;
    std::string shown;
  };
  const std::string digits = "0123456789";
  const Case cases[] = {
      {"empty", "", 4, ""},
      {"shorter than the limit", "abc", 4, "abc"},
      {"exactly the limit", "abcd", 4, "abcd"},
      {"one byte over", "abcde", 4, "ab\n[... 1 bytes left out ...]\nde"},
      {"an odd limit gives the tail the extra byte", digits, 5,
       "01\n[... 5 bytes left out ...]\n789"},
      {"line ends are kept as they are", "a\r\nb\r\nc", 2, "a\n[... 5 bytes left out ...]\nc"},
  };
  for (const Case& c : cases) EXPECT_EQ(Shortened(c.text, c.most), c.shown) << c.what;
}

TEST(Shortened, AMegabyteLineComesOutInAFewKilobytes) {
  const std::string big = "start" + std::string(1 << 20, 'x') + "end";
  const std::string shown = Shortened(big);
  EXPECT_LE(shown.size(), kShownBytes + 64);
  EXPECT_EQ(shown.rfind("start", 0), 0u);
  EXPECT_EQ(shown.substr(shown.size() - 3), "end");
  EXPECT_NE(shown.find("[... " + std::to_string(big.size() - kShownBytes) + " bytes left out"),
            std::string::npos);
}

TEST(SameText, ShowsWhereTwoTextsPart) {
  struct Case {
    const char* what;
    std::string actual, expected;
    const char* message;  // a text the failure message holds; null: passes
  };
  const std::string big(1 << 20, 'y');
  const Case cases[] = {
      {"equal texts", "abc", "abc", nullptr},
      {"equal long texts", big, big, nullptr},
      {"a changed byte", "abcdef", "abcXef", "at byte 3:"},
      {"one a prefix of the other", "abc", "abcd", "(3 bytes) differs from e (4 bytes) at byte 3"},
      {"a line end differs, shown escaped", "a\r\nb", "a\nb", "\"a\\r\\nb\""},
      {"a difference deep in a megabyte", big + "1" + big, big + "2" + big, "at byte 1048576:"},
  };
  for (const Case& c : cases) {
    const ::testing::AssertionResult r = SameText("a", "e", c.actual, c.expected);
    if (c.message == nullptr) {
      EXPECT_TRUE(r) << c.what;
      continue;
    }
    ASSERT_FALSE(r) << c.what;
    const std::string message = r.message();
    EXPECT_NE(message.find(c.message), std::string::npos) << c.what << ": " << message;
    EXPECT_LE(message.size(), 4 * kShownBytes) << c.what;
  }
}

}  // namespace
}  // namespace cv::testing
