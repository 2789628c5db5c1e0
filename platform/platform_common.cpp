// The parts of the platform layer that are the same on every system, built
// on the few primitives each system's file provides (platform_os.h).
#include <cstdio>
#include <cstring>
#include <string>
#include <utility>

#include "platform/fault.h"
#include "platform/platform.h"
#include "platform/platform_os.h"

namespace cv::platform {

namespace {
std::string g_exeOverride;
bool g_hasExeOverride = false;

// The temporary file of WriteFileReplacing: closed and removed on every way
// out (a failure thrown included) unless it took the target's place.
struct TempFile {
  std::string path;
  std::FILE* file = nullptr;
  bool kept = false;
  ~TempFile() {
    if (file != nullptr) std::fclose(file);
    if (!kept) os::RemoveQuietly(path);
  }
};
}  // namespace

bool detail::Failed(const char* op) { return fault::Hit(op) == fault::Kind::Return; }

std::uint32_t detail::CopyCut(const std::string& name, char* buf, std::uint32_t size) {
  if (size == 0) return 0;
  if (name.size() >= size) {
    std::memcpy(buf, name.data(), size - 1);
    buf[size - 1] = '\0';
    os::SetNameTooLongError();
    return size;
  }
  std::memcpy(buf, name.data(), name.size());
  buf[name.size()] = '\0';
  return static_cast<std::uint32_t>(name.size());
}

void testing::OverrideMainExecutablePath(const char* path) {
  g_hasExeOverride = path != nullptr;
  g_exeOverride = path != nullptr ? path : "";
}

std::uint32_t MainExecutablePath(char* buf, std::uint32_t size) {
  if (size == 0) return 0;
  if (g_hasExeOverride) return detail::CopyCut(g_exeOverride, buf, size);
  return os::ExecutablePath(buf, size);
}

std::string TemporaryPathFor(const std::string& path) {
  // Never longer than the final name, so that a name that fits the file
  // system's limits still fits as a temporary file: "X.csv" is written as
  // "X.tmp"; any other name has its last character replaced.
  std::string tmp = path;
  constexpr std::string_view kCsv = ".csv";
  if (tmp.size() > kCsv.size() && tmp.compare(tmp.size() - kCsv.size(), kCsv.size(), kCsv) == 0) {
    tmp.replace(tmp.size() - 3, 3, "tmp");
  } else if (!tmp.empty()) {
    tmp.back() = tmp.back() == '~' ? '#' : '~';
  }
  return tmp;
}

bool WriteFileReplacing(const std::string& path, std::string_view data) {
  using detail::Failed;
  std::string target = NativePath(path);
  if (Failed("file.open")) return false;
  TempFile tmp{TemporaryPathFor(target)};
  tmp.file = std::fopen(tmp.path.c_str(), "wb");
  if (tmp.file == nullptr) return false;
  bool ok =
      !Failed("file.write") && std::fwrite(data.data(), 1, data.size(), tmp.file) == data.size();
  ok = (std::fflush(tmp.file) == 0) && ok;
  bool closed = std::fclose(std::exchange(tmp.file, nullptr)) == 0;
  ok = closed && !Failed("file.close") && ok;
  if (!ok || Failed("file.replace")) return false;
  tmp.kept = os::MoveReplacing(tmp.path, target);
  return tmp.kept;
}

}  // namespace cv::platform
