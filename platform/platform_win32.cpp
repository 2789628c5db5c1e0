// Windows implementation of the platform layer (the game's own platform).
#include <windows.h>
// GetProcessMemoryInfo from kernel32 itself (no psapi.dll to import).
#define PSAPI_VERSION 2
#include <psapi.h>
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
#include "platform/folders.h"
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

namespace {
unsigned g_codePage = CP_ACP;
}  // namespace

void testing::OverrideCodePage(unsigned codePage) { g_codePage = codePage; }

std::size_t testing::PeakMemoryBytes() {
  PROCESS_MEMORY_COUNTERS counters{};
  counters.cb = sizeof counters;
  if (!::GetProcessMemoryInfo(::GetCurrentProcess(), &counters, sizeof counters)) return 0;
  return counters.PeakWorkingSetSize;
}

const bool kReservedDeviceNames = true;

std::size_t NextChar(std::string_view text, std::size_t i) {
  if (i >= text.size()) return text.size();
  // The character and the byte after it, terminated, as CharNextExA reads.
  const char pair[3] = {text[i], i + 1 < text.size() ? text[i + 1] : '\0', '\0'};
  const std::size_t step =
      static_cast<std::size_t>(::CharNextExA(static_cast<WORD>(g_codePage), pair, 0) - pair);
  return i + (step == 0 ? 1 : step);
}

std::string Utf8Path(const std::string& path) {
  if (path.empty()) return path;
  const UINT cp = g_codePage;
  const int wide =
      ::MultiByteToWideChar(cp, 0, path.data(), static_cast<int>(path.size()), nullptr, 0);
  if (wide <= 0) return path;
  std::wstring w(static_cast<std::size_t>(wide), L'\0');
  ::MultiByteToWideChar(cp, 0, path.data(), static_cast<int>(path.size()), w.data(), wide);
  const int bytes = ::WideCharToMultiByte(CP_UTF8, 0, w.data(), wide, nullptr, 0, nullptr, nullptr);
  if (bytes <= 0) return path;
  std::string out(static_cast<std::size_t>(bytes), '\0');
  ::WideCharToMultiByte(CP_UTF8, 0, w.data(), wide, out.data(), bytes, nullptr, nullptr);
  return out;
}

namespace {
// Text in the code page of file names as UTF-16; false when it does not
// convert.
bool Wide(std::string_view text, std::wstring& out) {
  out.clear();
  if (text.empty()) return true;
  const int n = static_cast<int>(text.size());
  const int wide = ::MultiByteToWideChar(g_codePage, 0, text.data(), n, nullptr, 0);
  if (wide <= 0) return false;
  out.resize(static_cast<std::size_t>(wide));
  return ::MultiByteToWideChar(g_codePage, 0, text.data(), n, out.data(), wide) == wide;
}
}  // namespace

std::u16string Utf16Text(std::string_view text) {
  std::wstring wide;
  if (!Wide(text, wide)) return std::u16string(text.size(), u'\xFFFD');
  return std::u16string(wide.begin(), wide.end());
}

bool SamePath(std::string_view a, std::string_view b) {
  if (a == b) return true;
  std::wstring wa, wb;
  if (!Wide(a, wa) || !Wide(b, wb)) return false;
  // NTFS compares names by their upper-case forms, which is what the
  // ordinal comparison with ignore-case does.
  return ::CompareStringOrdinal(wa.data(), static_cast<int>(wa.size()), wb.data(),
                                static_cast<int>(wb.size()), TRUE) == CSTR_EQUAL;
}

bool IdentityOf(const std::filesystem::path& path, FileId& id) {
  // Backup semantics open folders too; the share flags never disturb
  // another program.
  HANDLE h = ::CreateFileW(path.c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                           nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
  if (h == INVALID_HANDLE_VALUE) return false;
  BY_HANDLE_FILE_INFORMATION info{};
  const bool ok = ::GetFileInformationByHandle(h, &info) != 0;
  ::CloseHandle(h);
  if (!ok) return false;
  id.volume = info.dwVolumeSerialNumber;
  id.index = (std::uint64_t{info.nFileIndexHigh} << 32) | info.nFileIndexLow;
  return true;
}

bool SameName(const std::filesystem::path& a, const std::filesystem::path& b) {
  const std::wstring& wa = a.native();
  const std::wstring& wb = b.native();
  return ::CompareStringOrdinal(wa.data(), static_cast<int>(wa.size()), wb.data(),
                                static_cast<int>(wb.size()), TRUE) == CSTR_EQUAL;
}

std::FILE* OpenPathForReading(const std::filesystem::path& path) {
  return ::_wfopen(path.c_str(), L"rb");
}

bool MovePathNoReplace(const std::filesystem::path& from, const std::filesystem::path& to) {
  if (Failed("file.rename")) {
    ::SetLastError(ERROR_ACCESS_DENIED);
    return false;
  }
  return ::MoveFileExW(from.c_str(), to.c_str(), MOVEFILE_COPY_ALLOWED) != 0;
}

// The Windows API takes backslash paths as the plug-in builds them.
std::string NativePath(const std::string& path) { return path; }

std::uint32_t os::ExecutablePath(char* buf, std::uint32_t size) {
  return ::GetModuleFileNameA(nullptr, buf, size);
}

void os::SetNameTooLongError() { ::SetLastError(ERROR_INSUFFICIENT_BUFFER); }

std::uint32_t LastError() { return ::GetLastError(); }

std::string LastErrorText() {
  const DWORD code = ::GetLastError();
  char buf[512];
  DWORD n = ::FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr,
                             code, 0, buf, sizeof buf, nullptr);
  std::string text(buf, n);
  while (!text.empty() && (text.back() == '\n' || text.back() == '\r' || text.back() == ' '))
    text.pop_back();
  if (text.empty()) text = "error " + std::to_string(code);
  return text;
}

bool CreateDir(const std::string& path) {
  if (Failed("dir.create")) return false;
  return ::CreateDirectoryA(path.c_str(), nullptr) != 0;
}

bool DeleteFile(const std::string& path) {
  if (Failed("file.delete")) return false;
  return ::DeleteFileA(path.c_str()) != 0;
}

bool MoveFileNoReplace(const std::string& from, const std::string& to) {
  if (Failed("file.rename")) {
    ::SetLastError(ERROR_ACCESS_DENIED);
    return false;
  }
  // Without MOVEFILE_REPLACE_EXISTING an existing target makes the move fail.
  return ::MoveFileExA(from.c_str(), to.c_str(), MOVEFILE_COPY_ALLOWED) != 0;
}

bool os::MoveReplacing(const std::string& from, const std::string& to) {
  return ::MoveFileExA(from.c_str(), to.c_str(), MOVEFILE_REPLACE_EXISTING) != 0;
}

void os::RemoveQuietly(const std::string& path) { ::DeleteFileA(path.c_str()); }

std::FILE* OpenForReading(const std::string& path, bool* missing) {
  if (missing != nullptr) *missing = false;
  if (Failed("file.open")) {
    ::SetLastError(ERROR_SHARING_VIOLATION);  // as when another program holds it
    return nullptr;
  }
  if (IsDirectory(path)) {
    if (missing != nullptr) *missing = true;
    ::SetLastError(ERROR_DIRECTORY);
    return nullptr;
  }
  HANDLE h = ::CreateFileA(path.c_str(), GENERIC_READ,
                           FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                           OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (h == INVALID_HANDLE_VALUE) {
    const DWORD error = ::GetLastError();
    if (missing != nullptr)
      *missing = error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND ||
                 error == ERROR_INVALID_NAME || error == ERROR_FILENAME_EXCED_RANGE;
    return nullptr;
  }
  if (::GetFileType(h) != FILE_TYPE_DISK) {  // a device: no file there
    ::CloseHandle(h);
    if (missing != nullptr) *missing = true;
    ::SetLastError(ERROR_BAD_FILE_TYPE);
    return nullptr;
  }
  const int fd = ::_open_osfhandle(reinterpret_cast<intptr_t>(h), _O_RDONLY | _O_BINARY);
  if (fd < 0) {
    ::CloseHandle(h);
    return nullptr;
  }
  std::FILE* f = ::_fdopen(fd, "rb");
  if (f == nullptr) ::_close(fd);
  return f;
}

bool ReadBytes(std::FILE* file, char* buf, std::size_t size, std::size_t* got) {
  *got = 0;
  if (Failed("file.read")) {
    ::SetLastError(ERROR_READ_FAULT);
    return false;
  }
  ::SetLastError(ERROR_SUCCESS);
  *got = std::fread(buf, 1, size, file);
  if (*got == size || std::ferror(file) == 0) return true;
  if (::GetLastError() == ERROR_SUCCESS) ::SetLastError(ERROR_READ_FAULT);
  return false;
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
