// POSIX implementation of the platform layer (Linux).
#include <dlfcn.h>
#include <errno.h>
#include <fcntl.h>
#include <stdio.h>
#include <sys/file.h>
#include <sys/random.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstring>
#include <stdexcept>
#include <string>
#include <utility>

#include "platform/fault.h"
#include "platform/folders.h"
#include "platform/platform.h"
#include "platform/platform_os.h"

namespace cv::platform {

const char* const kLineEnd = "\r\n";
// The log stream is binary here, so it gets the bytes themselves.
const char* const kLogLineEnd = "\r\n";

using detail::Failed;

int testing::RunProgram(const std::vector<std::string>& args) {
  if (args.empty() || ::access(args[0].c_str(), X_OK) != 0) return -1;
  std::vector<char*> argv;
  for (const std::string& a : args) argv.push_back(const_cast<char*>(a.c_str()));
  argv.push_back(nullptr);
  std::fflush(nullptr);
  pid_t pid = ::fork();
  if (pid < 0) return -1;
  if (pid == 0) {
    ::execv(argv[0], argv.data());
    ::_exit(127);
  }
  int status = 0;
  while (::waitpid(pid, &status, 0) < 0)
    if (errno != EINTR) return -1;
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

std::FILE* testing::DivertStandardOutput() {
  std::fflush(stdout);
  int kept = ::fcntl(STDOUT_FILENO, F_DUPFD_CLOEXEC, 0);
  if (kept < 0) return nullptr;
  int null = ::open("/dev/null", O_WRONLY | O_CLOEXEC);
  if (null < 0 || ::dup2(null, STDOUT_FILENO) < 0) {
    if (null >= 0) ::close(null);
    ::close(kept);
    return nullptr;
  }
  ::close(null);
  std::FILE* out = ::fdopen(kept, "w");
  if (out == nullptr) {
    ::dup2(kept, STDOUT_FILENO);
    ::close(kept);
  }
  return out;
}

void* ProgramSymbol(const char* name) {
  if (name == nullptr) return nullptr;
  // The main program's handle; its symbols are found only when it was
  // linked to export them.
  void* program = ::dlopen(nullptr, RTLD_NOW);
  if (program == nullptr) return nullptr;
  void* symbol = ::dlsym(program, name);
  ::dlclose(program);
  return symbol;
}

namespace {
unsigned g_codePage = 0;
}  // namespace

void testing::OverrideCodePage(unsigned codePage) { g_codePage = codePage; }

std::size_t testing::PeakMemoryBytes() {
  struct rusage usage {};
  if (::getrusage(RUSAGE_SELF, &usage) != 0) return 0;
  return static_cast<std::size_t>(usage.ru_maxrss) * 1024;  // kilobytes on Linux
}

const bool kReservedDeviceNames = false;

std::size_t NextChar(std::string_view text, std::size_t i) {
  if (i >= text.size()) return text.size();
  const auto b = static_cast<unsigned char>(text[i]);
  const bool lead = g_codePage == 932 && ((b >= 0x81 && b <= 0x9F) || (b >= 0xE0 && b <= 0xFC));
  return lead && i + 1 < text.size() ? i + 2 : i + 1;
}

// Paths are bytes here; under an overridden code page 1252 the bytes from
// 0x80 up are read as Latin-1 (the code page's letters), for the tests.
std::string Utf8Path(const std::string& path) {
  if (g_codePage != 1252) return path;
  std::string out;
  for (char c : path) {
    const auto b = static_cast<unsigned char>(c);
    if (b < 0x80) {
      out += c;
    } else {
      out += static_cast<char>(0xC0 | (b >> 6));
      out += static_cast<char>(0x80 | (b & 0x3F));
    }
  }
  return out;
}

std::u16string Utf16Text(std::string_view text) {
  std::u16string out;
  out.reserve(text.size());
  for (char c : text) out += static_cast<char16_t>(static_cast<unsigned char>(c));
  return out;
}

// File names are bytes here: two names are one file only when every byte is
// the same.
bool SamePath(std::string_view a, std::string_view b) { return a == b; }

bool IdentityOf(const std::filesystem::path& path, FileId& id) {
  struct stat st;
  if (::stat(path.c_str(), &st) != 0) return false;
  id.volume = static_cast<std::uint64_t>(st.st_dev);
  id.index = static_cast<std::uint64_t>(st.st_ino);
  return true;
}

bool SameName(const std::filesystem::path& a, const std::filesystem::path& b) {
  return a.native() == b.native();
}

std::FILE* OpenPathForReading(const std::filesystem::path& path) {
  return std::fopen(path.c_str(), "rb");
}

bool MovePathNoReplace(const std::filesystem::path& from, const std::filesystem::path& to) {
  return MoveFileNoReplace(from.native(), to.native());
}

std::string NativePath(const std::string& path) {
  std::string p = path;
  for (std::size_t i = 0; i < p.size(); i = NextChar(p, i))
    if (p[i] == '\\') p[i] = '/';
  return p;
}

std::uint32_t os::ExecutablePath(char* buf, std::uint32_t size) {
  char tmp[4096];
  ssize_t n = ::readlink("/proc/self/exe", tmp, sizeof tmp - 1);
  if (n <= 0) return 0;
  std::string path(tmp, static_cast<std::size_t>(n));
  for (char& c : path)
    if (c == '/') c = '\\';
  return detail::CopyCut(path, buf, size);
}

void os::SetNameTooLongError() { errno = ENAMETOOLONG; }

std::uint32_t LastError() { return static_cast<std::uint32_t>(errno); }

std::string LastErrorText() { return std::strerror(errno); }

bool CreateDir(const std::string& path) {
  if (Failed("dir.create")) return false;
  return ::mkdir(NativePath(path).c_str(), 0755) == 0;
}

bool DeleteFile(const std::string& path) {
  if (Failed("file.delete")) return false;
  std::string p = NativePath(path);
  struct stat st;
  if (::lstat(p.c_str(), &st) != 0 || S_ISDIR(st.st_mode)) return false;
  return ::unlink(p.c_str()) == 0;
}

namespace {
bool CopyExclusive(const std::string& from, const std::string& to) {
  int in = ::open(from.c_str(), O_RDONLY | O_CLOEXEC);
  if (in < 0) return false;
  int out = ::open(to.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0644);
  if (out < 0) {
    ::close(in);
    return false;
  }
  char buf[65536];
  bool ok = true;
  for (;;) {
    ssize_t n = ::read(in, buf, sizeof buf);
    if (n == 0) break;
    if (n < 0) {
      if (errno == EINTR) continue;
      ok = false;
      break;
    }
    for (ssize_t off = 0; off < n && ok;) {
      ssize_t w = ::write(out, buf + off, static_cast<std::size_t>(n - off));
      if (w < 0 && errno == EINTR) continue;
      if (w <= 0)
        ok = false;
      else
        off += w;
    }
    if (!ok) break;
  }
  ::close(in);
  if (::close(out) != 0) ok = false;
  if (!ok) ::unlink(to.c_str());
  return ok;
}
}  // namespace

bool MoveFileNoReplace(const std::string& from, const std::string& to) {
  if (Failed("file.rename")) {
    errno = EACCES;
    return false;
  }
  std::string f = NativePath(from), t = NativePath(to);
  struct stat st;
  if (::lstat(f.c_str(), &st) != 0) return false;
  if (!S_ISREG(st.st_mode)) {
    errno = EISDIR;
    return false;
  }
  if (::renameat2(AT_FDCWD, f.c_str(), AT_FDCWD, t.c_str(), RENAME_NOREPLACE) == 0) return true;
  if (errno == EINVAL || errno == ENOSYS) {
    // The file system cannot rename without replacing: link, then unlink.
    if (::link(f.c_str(), t.c_str()) == 0) return ::unlink(f.c_str()) == 0;
    if (errno != EXDEV && errno != EPERM) return false;
  } else if (errno != EXDEV) {
    return false;
  }
  // Another volume: copy to a target that must not exist, then delete.
  if (!CopyExclusive(f, t)) return false;
  return ::unlink(f.c_str()) == 0;
}

bool os::MoveReplacing(const std::string& from, const std::string& to) {
  return ::rename(from.c_str(), to.c_str()) == 0;
}

void os::RemoveQuietly(const std::string& path) { ::unlink(path.c_str()); }

std::FILE* OpenForReading(const std::string& path, bool* missing) {
  if (missing != nullptr) *missing = false;
  if (Failed("file.open")) {
    errno = EACCES;  // as when the file may not be read
    return nullptr;
  }
  std::FILE* f = std::fopen(NativePath(path).c_str(), "rb");
  if (f == nullptr) {
    if (missing != nullptr) *missing = errno == ENOENT || errno == ENOTDIR || errno == ENAMETOOLONG;
    return nullptr;
  }
  struct stat st;
  if (::fstat(::fileno(f), &st) != 0) {
    const int error = errno;
    std::fclose(f);
    errno = error;
    return nullptr;
  }
  if (!S_ISREG(st.st_mode)) {  // a folder or a device: no file there
    std::fclose(f);
    if (missing != nullptr) *missing = true;
    errno = EISDIR;
    return nullptr;
  }
  return f;
}

bool ReadBytes(std::FILE* file, char* buf, std::size_t size, std::size_t* got) {
  *got = 0;
  if (Failed("file.read")) {
    errno = EIO;
    return false;
  }
  *got = std::fread(buf, 1, size, file);
  return *got == size || std::ferror(file) == 0;
}

bool FileExists(const std::string& path) {
  struct stat st;
  return ::stat(NativePath(path).c_str(), &st) == 0;
}

std::FILE* OpenSharedLog(const char* name) {
  int fd = ::open(name, O_WRONLY | O_CREAT | O_CLOEXEC, 0644);
  if (fd < 0) return nullptr;
  // Emulates "others may read, not write": whoever holds the lock writes.
  if (::flock(fd, LOCK_EX | LOCK_NB) != 0 || ::ftruncate(fd, 0) != 0) {
    ::close(fd);
    return nullptr;
  }
  std::FILE* f = ::fdopen(fd, "wb");
  if (f == nullptr) ::close(fd);
  return f;
}

std::uint32_t RandomU32() {
  if (fault::Hit("random") == fault::Kind::Return)
    throw std::runtime_error("invalid random_device value");
  std::uint32_t v = 0;
  for (;;) {
    ssize_t n = ::getrandom(&v, sizeof v, 0);
    if (n == static_cast<ssize_t>(sizeof v)) return v;
    if (n < 0 && errno == EINTR) continue;
    throw std::runtime_error("invalid random_device value");
  }
}

}  // namespace cv::platform
