// The main of every test program: its working folder is emptied, then its
// tests run, each failure printed shortened.
#include <gtest/gtest.h>

#include "short_output.h"
#include "test_support.h"

int main(int argc, char** argv) {
  ::testing::InitGoogleTest(&argc, argv);
  cv::testing::ShortenFailureOutput();
  // The plug-in's log was opened, and emptied, when the program started.
  if (!cv::testing::EmptyWorkingFolder({"corvane.log"})) return 1;
  return RUN_ALL_TESTS();
}
