#include "persist/game_root.h"

#include <gtest/gtest.h>

#include <fstream>
#include <iterator>
#include <string>

#include "log/log.h"
#include "platform/platform.h"
#include "short_output.h"

namespace {

std::string ReadAll(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

class GameRootTest : public ::testing::Test {
 protected:
  void SetUp() override {
    cv::persist::ResetGameRootForTesting();
    cv::LogOpen("root.log");
    ::testing::internal::CaptureStdout();
  }
  void TearDown() override {
    ::testing::internal::GetCapturedStdout();
    cv::platform::testing::OverrideMainExecutablePath(nullptr);
    cv::persist::ResetGameRootForTesting();
    cv::LogOpen("corvane.log");
  }
  std::string Log() {
    cv::LogClose();
    return ReadAll("root.log");
  }
};

std::string PathOfLength(std::size_t n) {
  std::string p = "C:\\Games\\FNV\\";
  p += std::string(n - p.size() - 4, 'a');
  p += ".exe";
  return p;
}

TEST_F(GameRootTest, PathOf259CharactersIsAccepted) {
  std::string exe = PathOfLength(259);
  ASSERT_EQ(exe.size(), 259u);
  cv::platform::testing::OverrideMainExecutablePath(exe.c_str());
  EXPECT_EQ(cv::persist::FindGameRoot(), "C:\\Games\\FNV\\");
  // Cached: later answers of the platform no longer matter.
  cv::platform::testing::OverrideMainExecutablePath("elsewhere");
  EXPECT_EQ(cv::persist::FindGameRoot(), "C:\\Games\\FNV\\");
  EXPECT_EQ(Log(), "fallout root = C:\\Games\\FNV\\\r\n");
}

TEST_F(GameRootTest, RootLineIsNotEchoed) {
  cv::platform::testing::OverrideMainExecutablePath("C:\\FNV\\game.exe");
  ::testing::internal::GetCapturedStdout();
  ::testing::internal::CaptureStdout();
  EXPECT_EQ(cv::persist::FindGameRoot(), "C:\\FNV\\");
  EXPECT_EQ(::testing::internal::GetCapturedStdout(), "");
  ::testing::internal::CaptureStdout();
  EXPECT_EQ(Log(), "fallout root = C:\\FNV\\\r\n");
}

TEST_F(GameRootTest, PathOf260OrMoreGivesEmptyRootAndIsRetried) {
  std::string exe = PathOfLength(260);
  cv::platform::testing::OverrideMainExecutablePath(exe.c_str());
  EXPECT_EQ(cv::persist::FindGameRoot(), "");
  cv::platform::testing::OverrideMainExecutablePath(PathOfLength(400).c_str());
  EXPECT_EQ(cv::persist::FindGameRoot(), "");
  cv::platform::testing::OverrideMainExecutablePath("D:\\x\\y.exe");
  EXPECT_EQ(cv::persist::FindGameRoot(), "D:\\x\\");
  std::string log = Log();
  EXPECT_EQ(log.rfind("couldn't find fallout path (len = 260, err = ", 0), 0u)
      << cv::testing::Shortened(log);
  std::size_t second = log.find("\r\ncouldn't find fallout path (len = 260, err = ");
  EXPECT_NE(second, std::string::npos) << cv::testing::Shortened(log);
  EXPECT_NE(log.find("fallout root = D:\\x\\\r\n"), std::string::npos);
}

TEST_F(GameRootTest, NoSeparatorGivesEmptyRoot) {
  cv::platform::testing::OverrideMainExecutablePath("game.exe");
  EXPECT_EQ(cv::persist::FindGameRoot(), "");
  cv::platform::testing::OverrideMainExecutablePath("");
  EXPECT_EQ(cv::persist::FindGameRoot(), "");
  std::string log = Log();
  EXPECT_EQ(
      log.rfind(
          "no slash in fallout path? (game.exe)\r\ncouldn't find fallout path (len = 0, err = ", 0),
      0u)
      << cv::testing::Shortened(log);
}

TEST_F(GameRootTest, RealExecutablePathEndsInItsFolder) {
  std::string root = cv::persist::FindGameRoot();
  ASSERT_FALSE(root.empty());
  EXPECT_EQ(root.back(), '\\');
}

}  // namespace
