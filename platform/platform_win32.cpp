// Windows implementation of the platform layer (the game's own platform).
#include <windows.h>
// <windows.h> maps DeleteFile to DeleteFileA; the layer has its own.
#undef DeleteFile
#include <bcrypt.h>
#include <share.h>

#include <cstdio>
#include <cstring>
#include <stdexcept>
#include <string>
#include <utility>

#include "platform/fault.h"
#include "platform/platform.h"

namespace cv::platform {

const char* const kLineEnd = "\r\n";
// The log stream is in text mode: the run-time library turns "\n" into CR LF.
const char* const kLogLineEnd = "\n";

namespace {
std::string g_exeOverride;
bool g_hasExeOverride = false;

bool Failed(const char* op) { return fault::Hit(op) == fault::Kind::Return; }

bool IsDirectory(const std::string& path) {
  DWORD attrs = ::GetFileAttributesA(path.c_str());
  return attrs != INVALID_FILE_ATTRIBUTES && (attrs & FILE_ATTRIBUTE_DIRECTORY) != 0;
}
}  // namespace

void testing::OverrideMainExecutablePath(const char* path) {
  g_hasExeOverride = path != nullptr;
  g_exeOverride = path != nullptr ? path : "";
}

int testing::RunProgram(const std::vector<std::string>& args) {
  if (args.empty()) return -1;
  // Each argument quoted, the way the C run-time splits a command line
  // (the test tools pass paths and words without quotes of their own).
  std::string line;
  for (const std::string& a : args) line += (line.empty() ? "\"" : " \"") + a + "\"";
  std::fflush(nullptr);
  STARTUPINFOA si{};
  si.cb = sizeof si;
  PROCESS_INFORMATION pi{};
  if (!::CreateProcessA(args[0].c_str(), line.data(), nullptr, nullptr, TRUE, 0, nullptr, nullptr,
                        &si, &pi))
    return -1;
  ::WaitForSingleObject(pi.hProcess, INFINITE);
  DWORD code = 0;
  bool ok = ::GetExitCodeProcess(pi.hProcess, &code) != 0;
  ::CloseHandle(pi.hThread);
  ::CloseHandle(pi.hProcess);
  return ok ? static_cast<int>(code) : -1;
}

// The Windows API takes backslash paths as the plug-in builds them.
std::string NativePath(const std::string& path) { return path; }

std::uint32_t MainExecutablePath(char* buf, std::uint32_t size) {
  if (size == 0) return 0;
  if (!g_hasExeOverride) return ::GetModuleFileNameA(nullptr, buf, size);
  const std::string& path = g_exeOverride;
  if (path.size() >= size) {
    // Cut the way GetModuleFileNameA cuts: size - 1 characters, a terminator.
    std::memcpy(buf, path.data(), size - 1);
    buf[size - 1] = '\0';
    ::SetLastError(ERROR_INSUFFICIENT_BUFFER);
    return size;
  }
  std::memcpy(buf, path.data(), path.size());
  buf[path.size()] = '\0';
  return static_cast<std::uint32_t>(path.size());
}

std::uint32_t LastError() { return ::GetLastError(); }

bool CreateDir(const std::string& path) {
  if (Failed("dir.create")) return false;
  return ::CreateDirectoryA(path.c_str(), nullptr) != 0;
}

bool DeleteFile(const std::string& path) {
  if (Failed("file.delete")) return false;
  return ::DeleteFileA(path.c_str()) != 0;
}

bool MoveFileNoReplace(const std::string& from, const std::string& to) {
  if (Failed("file.rename")) return false;
  // Without MOVEFILE_REPLACE_EXISTING an existing target makes the move fail.
  return ::MoveFileExA(from.c_str(), to.c_str(), MOVEFILE_COPY_ALLOWED) != 0;
}

namespace {
// The temporary file of WriteFileReplacing: closed and removed on every way
// out (a failure thrown included) unless it took the target's place.
struct TempFile {
  std::string path;
  std::FILE* file = nullptr;
  bool kept = false;
  ~TempFile() {
    if (file != nullptr) std::fclose(file);
    if (!kept) ::DeleteFileA(path.c_str());
  }
};
}  // namespace

bool WriteFileReplacing(const std::string& path, std::string_view data) {
  if (Failed("file.open")) return false;
  TempFile tmp{path + ".tmp"};
  tmp.file = std::fopen(tmp.path.c_str(), "wb");
  if (tmp.file == nullptr) return false;
  bool ok =
      !Failed("file.write") && std::fwrite(data.data(), 1, data.size(), tmp.file) == data.size();
  ok = (std::fflush(tmp.file) == 0) && ok;
  bool closed = std::fclose(std::exchange(tmp.file, nullptr)) == 0;
  ok = closed && !Failed("file.close") && ok;
  if (!ok || Failed("file.replace")) return false;
  tmp.kept = ::MoveFileExA(tmp.path.c_str(), path.c_str(), MOVEFILE_REPLACE_EXISTING) != 0;
  return tmp.kept;
}

std::FILE* OpenForReading(const std::string& path) {
  if (Failed("file.open")) return nullptr;
  if (IsDirectory(path)) return nullptr;
  return std::fopen(path.c_str(), "rb");
}

bool FileExists(const std::string& path) {
  return ::GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

std::FILE* OpenSharedLog(const char* name) {
  // Text mode; others may read the file but nobody else may write it, so a
  // second game process gets a sharing violation and takes a fallback name.
  return ::_fsopen(name, "w", _SH_DENYWR);
}

std::uint32_t RandomU32() {
  if (fault::Hit("random") == fault::Kind::Return)
    throw std::runtime_error("invalid random_device value");
  std::uint32_t v = 0;
  NTSTATUS status = ::BCryptGenRandom(nullptr, reinterpret_cast<PUCHAR>(&v), sizeof v,
                                      BCRYPT_USE_SYSTEM_PREFERRED_RNG);
  if (!BCRYPT_SUCCESS(status)) throw std::runtime_error("invalid random_device value");
  return v;
}

}  // namespace cv::platform
