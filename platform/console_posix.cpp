// The tools' text on POSIX systems: paths and arguments are bytes already,
// and the terminal takes the bytes as they are.
#include "platform/console.h"

namespace cv::platform {

std::vector<std::string> Utf8Arguments(int argc, char** argv) {
  return std::vector<std::string>(argv + (argc > 0 ? 1 : 0), argv + argc);
}

std::filesystem::path PathFromUtf8(std::string_view text) {
  return std::filesystem::path(std::string(text));
}

std::string Utf8FromPath(const std::filesystem::path& path, bool generic) {
  return generic ? path.generic_string() : path.string();
}

struct Utf8Console::Streams {};

Utf8Console::Utf8Console() = default;
Utf8Console::~Utf8Console() = default;

}  // namespace cv::platform
