// Failure output that stays small: a failed check prints at most a few
// kilobytes, however long the texts it shows (a log, a file, a table).
#pragma once

#include <gtest/gtest.h>

#include <cstddef>
#include <string>
#include <string_view>

namespace cv::testing {

// The most bytes of one text a failure shows, and the most of one failure
// message (its texts, its expression and gtest's own words).
constexpr std::size_t kShownBytes = 1024;
constexpr std::size_t kFailureBytes = 4096;
// The most failed checks printed in full for one test; later ones are
// counted.
constexpr int kFailuresShown = 10;

// text itself when it has at most most bytes; else its head and its tail,
// most bytes in all, around a line saying how many bytes were left out.
std::string Shortened(std::string_view text, std::size_t most = kShownBytes);

// EXPECT_PRED_FORMAT2(cv::testing::SameText, actual, expected): whether two
// texts are equal, as EXPECT_EQ; on failure it shows the byte where they
// first differ with the bytes around it in each, and each text Shortened.
::testing::AssertionResult SameText(const char* actualExpr, const char* expectedExpr,
                                    std::string_view actual, std::string_view expected);

// Puts a listener in place of gtest's default printer that prints every
// failure message Shortened to kFailureBytes and, after kFailuresShown
// failures in one test, only counts the rest: the net under every check,
// EXPECT_EQ on long texts included.
void ShortenFailureOutput();

}  // namespace cv::testing
