// Text in and out of the command-line tools, as UTF-8 on every system (never
// used by the plug-in, which keeps the game's code page).
//
// A tool takes its arguments with Utf8Arguments, makes its paths with
// PathFromUtf8, names them with Utf8FromPath and prints through std::cout and
// std::cerr while a Utf8Console lives: every line it prints is then UTF-8,
// and a Windows console shows it as such.
#pragma once

#include <filesystem>
#include <iosfwd>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace cv::platform {

// The program's arguments after its name, in UTF-8. On Windows they are
// read from the UTF-16 command line (GetCommandLineW, split by
// CommandLineToArgvW), so that no letter is lost to the ANSI code page;
// elsewhere they are argv as it came (bytes, UTF-8 in a UTF-8 locale).
std::vector<std::string> Utf8Arguments(int argc, char** argv);

// UTF-8 text as a path (UTF-16 on Windows), and a path as UTF-8 text; with
// generic, its separators as "/". Bytes that are no UTF-8 come out as U+FFFD
// on Windows; elsewhere a path is bytes and passes unchanged both ways.
std::filesystem::path PathFromUtf8(std::string_view text);
std::string Utf8FromPath(const std::filesystem::path& path, bool generic = false);

// While it lives, std::cout and std::cerr take UTF-8 text. Where a stream is
// a Windows console, its lines are written as UTF-16 (WriteConsoleW), which
// the console shows whatever its code page; anywhere else (a file, a pipe,
// every stream on other systems) the UTF-8 bytes go out unchanged. The
// destructor flushes both and gives the streams back.
class Utf8Console {
 public:
  Utf8Console();
  ~Utf8Console();
  Utf8Console(const Utf8Console&) = delete;
  Utf8Console& operator=(const Utf8Console&) = delete;

 private:
  struct Streams;
  std::unique_ptr<Streams> streams_;
};

}  // namespace cv::platform
