#include "short_output.h"

#include <algorithm>
#include <cstdio>
#include <memory>

namespace cv::testing {

namespace {

// The bytes around at in text, each shown as C escapes would show it, so a
// line end or a control byte where two texts part is seen.
std::string Around(std::string_view text, std::size_t at) {
  constexpr std::size_t kContext = 40;
  const std::size_t from = at > kContext ? at - kContext : 0;
  const std::string_view part = text.substr(std::min(from, text.size()), 2 * kContext);
  std::string shown = "\"";
  for (char c : part) {
    const auto u = static_cast<unsigned char>(c);
    if (c == '\n') {
      shown += "\\n";
    } else if (c == '\r') {
      shown += "\\r";
    } else if (c == '\t') {
      shown += "\\t";
    } else if (c == '"' || c == '\\') {
      shown += '\\';
      shown += c;
    } else if (u < 0x20 || u == 0x7F) {
      char buf[8];
      std::snprintf(buf, sizeof buf, "\\x%02X", u);
      shown += buf;
    } else {
      shown += c;
    }
  }
  return shown + "\"" + (from > 0 ? " (from byte " + std::to_string(from) + ")" : "");
}

// gtest's default printer, shown each failure Shortened.
class ShorteningPrinter : public ::testing::TestEventListener {
 public:
  explicit ShorteningPrinter(::testing::TestEventListener* inner) : inner_(inner) {}

  void OnTestProgramStart(const ::testing::UnitTest& u) override { inner_->OnTestProgramStart(u); }
  void OnTestIterationStart(const ::testing::UnitTest& u, int i) override {
    inner_->OnTestIterationStart(u, i);
  }
  void OnEnvironmentsSetUpStart(const ::testing::UnitTest& u) override {
    inner_->OnEnvironmentsSetUpStart(u);
  }
  void OnEnvironmentsSetUpEnd(const ::testing::UnitTest& u) override {
    inner_->OnEnvironmentsSetUpEnd(u);
  }
  void OnTestSuiteStart(const ::testing::TestSuite& s) override { inner_->OnTestSuiteStart(s); }
#ifndef GTEST_REMOVE_LEGACY_TEST_CASEAPI_
  void OnTestCaseStart(const ::testing::TestCase& s) override { inner_->OnTestCaseStart(s); }
  void OnTestCaseEnd(const ::testing::TestCase& s) override { inner_->OnTestCaseEnd(s); }
#endif
  void OnTestStart(const ::testing::TestInfo& t) override {
    shown_ = 0;
    hidden_ = 0;
    inner_->OnTestStart(t);
  }
  void OnTestDisabled(const ::testing::TestInfo& t) override { inner_->OnTestDisabled(t); }
  void OnTestPartResult(const ::testing::TestPartResult& r) override {
    if (r.failed() && shown_ >= kFailuresShown) {
      ++hidden_;
      return;
    }
    if (r.failed()) ++shown_;
    const std::string message = Shortened(r.message(), kFailureBytes);
    inner_->OnTestPartResult(
        ::testing::TestPartResult(r.type(), r.file_name(), r.line_number(), message.c_str()));
  }
  void OnTestEnd(const ::testing::TestInfo& t) override {
    if (hidden_ > 0)
      std::printf("[... %d more failed checks in this test not shown ...]\n", hidden_);
    inner_->OnTestEnd(t);
  }
  void OnTestSuiteEnd(const ::testing::TestSuite& s) override { inner_->OnTestSuiteEnd(s); }
  void OnEnvironmentsTearDownStart(const ::testing::UnitTest& u) override {
    inner_->OnEnvironmentsTearDownStart(u);
  }
  void OnEnvironmentsTearDownEnd(const ::testing::UnitTest& u) override {
    inner_->OnEnvironmentsTearDownEnd(u);
  }
  void OnTestIterationEnd(const ::testing::UnitTest& u, int i) override {
    inner_->OnTestIterationEnd(u, i);
  }
  void OnTestProgramEnd(const ::testing::UnitTest& u) override { inner_->OnTestProgramEnd(u); }

 private:
  std::unique_ptr<::testing::TestEventListener> inner_;
  int shown_ = 0;
  int hidden_ = 0;
};

}  // namespace

std::string Shortened(std::string_view text, std::size_t most) {
  if (text.size() <= most) return std::string(text);
  const std::size_t head = most / 2;
  const std::size_t tail = most - head;
  return std::string(text.substr(0, head)) + "\n[... " + std::to_string(text.size() - head - tail) +
         " bytes left out ...]\n" + std::string(text.substr(text.size() - tail));
}

::testing::AssertionResult SameText(const char* actualExpr, const char* expectedExpr,
                                    std::string_view actual, std::string_view expected) {
  if (actual == expected) return ::testing::AssertionSuccess();
  const auto parted = std::mismatch(actual.begin(), actual.end(), expected.begin(), expected.end());
  const auto at = static_cast<std::size_t>(parted.first - actual.begin());
  return ::testing::AssertionFailure()
         << actualExpr << " (" << actual.size() << " bytes) differs from " << expectedExpr << " ("
         << expected.size() << " bytes) at byte " << at << ":\n  actual:   " << Around(actual, at)
         << "\n  expected: " << Around(expected, at) << "\nactual:\n"
         << Shortened(actual) << "\nexpected:\n"
         << Shortened(expected);
}

void ShortenFailureOutput() {
  ::testing::TestEventListeners& listeners = ::testing::UnitTest::GetInstance()->listeners();
  ::testing::TestEventListener* printer = listeners.Release(listeners.default_result_printer());
  if (printer != nullptr) listeners.Append(new ShorteningPrinter(printer));
}

}  // namespace cv::testing
