#include "log/guard.h"

#include <gtest/gtest.h>

#include <fstream>
#include <iterator>
#include <new>
#include <stdexcept>
#include <string>

#include "log/log.h"

namespace {

std::string ReadAll(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

struct Unrelated {};

std::string LogOf(void (*body)()) {
  cv::LogOpen("guard.log");
  ::testing::internal::CaptureStdout();
  bool ok = cv::Guarded({"setevfl"}, body);
  ::testing::internal::GetCapturedStdout();
  cv::LogClose();
  std::string text = ReadAll("guard.log");
  cv::LogOpen("corvane.log");
  EXPECT_FALSE(ok);
  return text;
}

TEST(Guard, EachFailureKindBecomesItsOneLogLine) {
  EXPECT_EQ(LogOf([] { throw std::runtime_error("boom %s"); }),
            "Exception in setevfl: boom %s\r\n");
  EXPECT_EQ(LogOf([] { throw std::bad_alloc(); }), "Exception in setevfl: std::bad_alloc\r\n");
  EXPECT_EQ(LogOf([] { throw 0x2A; }), "Exception in setevfl: 0x0000002a\r\n");
  EXPECT_EQ(LogOf([] { throw 7u; }), "Exception in setevfl: 0x00000007\r\n");
  EXPECT_EQ(LogOf([] { throw Unrelated{}; }), "Unknown exception in setevfl\r\n");
  EXPECT_EQ(LogOf([] { throw "text"; }), "Unknown exception in setevfl\r\n");
}

TEST(Guard, IntegerLineMayUseItsOwnName) {
  cv::LogOpen("guard2.log");
  ::testing::internal::CaptureStdout();
  cv::Guarded({"GetSkeletonPath", "GetSkeletonPathr"}, [] { throw 1; });
  cv::Guarded({"GetSkeletonPath", "GetSkeletonPathr"}, [] { throw std::logic_error("x"); });
  ::testing::internal::GetCapturedStdout();
  cv::LogClose();
  EXPECT_EQ(ReadAll("guard2.log"),
            "Exception in GetSkeletonPathr: 0x00000001\r\nException in GetSkeletonPath: x\r\n");
  cv::LogOpen("corvane.log");
}

TEST(Guard, SuccessfulBodyRunsOnceAndLogsNothing) {
  int runs = 0;
  cv::LogOpen("guard3.log");
  EXPECT_TRUE(cv::Guarded({"getver"}, [&] { ++runs; }));
  cv::LogClose();
  EXPECT_EQ(runs, 1);
  EXPECT_EQ(ReadAll("guard3.log"), "");
  cv::LogOpen("corvane.log");
}

}  // namespace
