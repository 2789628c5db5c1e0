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

bool MoveFileReplacing(const std::string& from, const std::string& to) {
  if (detail::Failed("file.rename")) return false;
  return os::MoveReplacing(NativePath(from), NativePath(to));
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

ReplacingFile::ReplacingFile(const std::string& path)
    : target_(NativePath(path)), temporary_(TemporaryPathFor(target_)) {
  if (detail::Failed("file.open")) return;
  file_ = std::fopen(temporary_.c_str(), "wb");
  ok_ = file_ != nullptr;
}

ReplacingFile::~ReplacingFile() {
  if (file_ != nullptr) std::fclose(file_);
  if (!kept_) os::RemoveQuietly(temporary_);
}

bool ReplacingFile::Write(const char* data, std::size_t size) {
  if (!ok_) return false;
  ok_ = !detail::Failed("file.write") && std::fwrite(data, 1, size, file_) == size;
  return ok_;
}

bool ReplacingFile::Commit() {
  using detail::Failed;
  if (file_ == nullptr) return false;
  bool ok = std::fflush(file_) == 0 && ok_;
  const bool closed = std::fclose(std::exchange(file_, nullptr)) == 0;
  ok = closed && !Failed("file.close") && ok;
  ok_ = false;
  if (!ok || Failed("file.replace")) return false;
  kept_ = os::MoveReplacing(temporary_, target_);
  return kept_;
}

bool WriteFileReplacing(const std::string& path, std::string_view data) {
  ReplacingFile file(path);
  return file.IsOpen() && file.Write(data.data(), data.size()) && file.Commit();
}

}  // namespace cv::platform
