// Plays a second game process: holds a log file open the way the plug-in
// does (others may read, not write) while it runs a program, then releases
// it. Exits with the program's exit code.
//   log_holder NAME PROGRAM [ARG...]
#include <cstdio>
#include <string>
#include <vector>

#include "platform/platform.h"

int main(int argc, char** argv) {
  if (argc < 3) {
    std::fprintf(stderr, "usage: log_holder NAME PROGRAM [ARG...]\n");
    return 2;
  }
  std::FILE* held = cv::platform::OpenSharedLog(argv[1]);
  if (held == nullptr) {
    std::fprintf(stderr, "log_holder: cannot hold %s\n", argv[1]);
    return 2;
  }
  std::vector<std::string> args(argv + 2, argv + argc);
  int rc = cv::platform::testing::RunProgram(args);
  std::fclose(held);
  if (rc < 0) std::fprintf(stderr, "log_holder: cannot run %s\n", argv[2]);
  return rc < 0 ? 2 : rc;
}
