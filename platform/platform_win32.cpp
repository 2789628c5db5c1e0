// Windows implementation of the platform layer (the game's own platform).
#include <windows.h>
// <windows.h> maps DeleteFile to DeleteFileA; the layer has its own.
#undef DeleteFile
#include <bcrypt.h>
#include <fcntl.h>
#include <io.h>
#include <share.h>

#include <cstdio>
#include <cstring>
#include <stdexcept>
#include <string>
#include <utility>

#include "platform/fault.h"
#include "platform/platform.h"
#include "platform/platform_os.h"

namespace cv::platform {

using detail::Failed;

const char* const kLineEnd = "\r\n";
// The log stream is in text mode: the run-time library turns "\n" into CR LF.
const char* const kLogLineEnd = "\n";

namespace {
bool IsDirectory(const std::string& path) {
  DWORD attrs = ::GetFileAttributesA(path.c_str());
  return attrs != INVALID_FILE_ATTRIBUTES && (attrs & FILE_ATTRIBUTE_DIRECTORY) != 0;
}
}  // namespace

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

std::FILE* testing::DivertStandardOutput() {
  std::fflush(stdout);
  const int out = _fileno(stdout);
  int kept = _dup(out);
  if (kept < 0) return nullptr;
  int null = _open("NUL", _O_WRONLY);
  if (null < 0 || _dup2(null, out) != 0) {
    if (null >= 0) _close(null);
    _close(kept);
    return nullptr;
  }
  _close(null);
  std::FILE* stream = _fdopen(kept, "w");
  if (stream == nullptr) {
    _dup2(kept, out);
    _close(kept);
  }
  return stream;
}

void* ProgramSymbol(const char* name) {
  HMODULE program = ::GetModuleHandleA(nullptr);
  if (program == nullptr || name == nullptr) return nullptr;
  return reinterpret_cast<void*>(::GetProcAddress(program, name));
}

// The Windows API takes backslash paths as the plug-in builds them.
std::string NativePath(const std::string& path) { return path; }

std::uint32_t os::ExecutablePath(char* buf, std::uint32_t size) {
  return ::GetModuleFileNameA(nullptr, buf, size);
}

void os::SetNameTooLongError() { ::SetLastError(ERROR_INSUFFICIENT_BUFFER); }

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

bool os::MoveReplacing(const std::string& from, const std::string& to) {
  return ::MoveFileExA(from.c_str(), to.c_str(), MOVEFILE_REPLACE_EXISTING) != 0;
}

void os::RemoveQuietly(const std::string& path) { ::DeleteFileA(path.c_str()); }

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
