#include "log/log.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <iterator>
#include <string>

#include "platform/platform.h"

namespace {

std::string ReadAll(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

// Each test writes its own log file and restores the default one afterwards.
class LogTest : public ::testing::Test {
 protected:
  void SetUp() override {
    while (cv::LogIndentLevel() > 0) cv::LogOutdent();
  }
  void TearDown() override {
    while (cv::LogIndentLevel() > 0) cv::LogOutdent();
    cv::LogOpen("corvane.log");
  }
};

TEST_F(LogTest, LinesEndInCrLfAndCarryOneTabPerLevel) {
  ASSERT_STREQ(cv::LogOpen("indent.log"), "indent.log");
  cv::LogMessage("top");
  cv::LogIndent();
  cv::LogIndent();
  cv::LogMessage("abc");
  cv::LogMessageNoEcho("%s=%d", "x", 5);
  cv::LogMessage("%s", "");
  cv::LogOutdent();
  cv::LogOutdent();
  cv::LogOutdent();  // never below 0
  EXPECT_EQ(cv::LogIndentLevel(), 0);
  cv::LogMessage("back");
  cv::LogClose();
  EXPECT_EQ(ReadAll("indent.log"), "top\r\n\t\tabc\r\n\t\tx=5\r\n\t\t\r\nback\r\n");
}

TEST_F(LogTest, TextIsWrittenUnchanged) {
  ASSERT_NE(cv::LogOpen("raw.log"), nullptr);
  cv::LogMessage("a\tb\nc %s", "%d%s");
  cv::LogClose();
  // A text-mode log stream (Windows) stores a "\n" inside the text as CR LF.
  const std::string nl = std::string(cv::platform::kLogLineEnd) == "\n" ? "\r\n" : "\n";
  EXPECT_EQ(ReadAll("raw.log"), "a\tb" + nl + "c %d%s\r\n");
}

TEST_F(LogTest, EchoesToStandardOutputAlsoWithoutLogFile) {
  cv::LogClose();
  ::testing::internal::CaptureStdout();
  cv::LogMessage("echo %d", 7);
  cv::LogMessageNoEcho("quiet");
  EXPECT_EQ(::testing::internal::GetCapturedStdout(), "echo 7\n");
}

TEST_F(LogTest, LongMessagesAreCutAt8191Characters) {
  ASSERT_NE(cv::LogOpen("long.log"), nullptr);
  std::string big(10000, 'x');
  big[8190] = 'y';
  ::testing::internal::CaptureStdout();
  cv::LogMessage("%s", big.c_str());
  std::string out = ::testing::internal::GetCapturedStdout();
  cv::LogClose();
  std::string expected = big.substr(0, 8191);
  EXPECT_EQ(expected.back(), 'y');
  EXPECT_EQ(ReadAll("long.log"), expected + "\r\n");
  EXPECT_EQ(out, expected + "\n");
}

TEST_F(LogTest, FallsBackToNumberedNamesWhileAnotherHolderHasTheLog) {
  // Holders opened the way another running game would open them.
  std::FILE* first = cv::platform::OpenSharedLog("held.log");
  ASSERT_NE(first, nullptr);
  EXPECT_STREQ(cv::LogOpen("held.log"), "held.log0");
  cv::LogMessage("second instance");
  cv::LogClose();
  EXPECT_EQ(ReadAll("held.log0"), "second instance\r\n");

  std::FILE* holders[5] = {};
  for (int i = 0; i < 5; ++i) {
    holders[i] = cv::platform::OpenSharedLog(("held.log" + std::to_string(i)).c_str());
    ASSERT_NE(holders[i], nullptr) << i;
  }
  EXPECT_EQ(cv::LogOpen("held.log"), nullptr);
  EXPECT_EQ(cv::LogFileName(), nullptr);
  ::testing::internal::CaptureStdout();
  cv::LogMessage("nowhere");
  EXPECT_EQ(::testing::internal::GetCapturedStdout(), "nowhere\n");

  std::fclose(holders[3]);
  EXPECT_STREQ(cv::LogOpen("held.log"), "held.log3");
  cv::LogClose();
  for (std::FILE* h : holders)
    if (h != nullptr && h != holders[3]) std::fclose(h);
  std::fclose(first);
  // Once released, the base name is used again.
  EXPECT_STREQ(cv::LogOpen("held.log"), "held.log");
}

TEST_F(LogTest, OpeningTruncatesThePreviousLog) {
  ASSERT_NE(cv::LogOpen("trunc.log"), nullptr);
  cv::LogMessage("old line");
  cv::LogClose();
  ASSERT_NE(cv::LogOpen("trunc.log"), nullptr);
  cv::LogMessage("new");
  cv::LogClose();
  EXPECT_EQ(ReadAll("trunc.log"), "new\r\n");
}

}  // namespace
