#include "log/log.h"

#include <cstdarg>
#include <cstdio>
#include <cstring>

#include "log/guard.h"
#include "platform/platform.h"

namespace cv {

namespace {

struct LogState {
  std::FILE* file = nullptr;
  char name[1024] = {};
  char buffer[kLogBufferSize] = {};
  int indent = 0;

  ~LogState() {
    if (file != nullptr) std::fclose(file);
  }
};

LogState& State() noexcept {
  static LogState state;
  return state;
}

// The log is opened when the library is loaded, before any entry point runs.
[[maybe_unused]] const bool kOpenedAtLoad = (LogOpen("corvane.log"), true);

void Format(const char* fmt, va_list args) noexcept {
  LogState& s = State();
  int n = std::vsnprintf(s.buffer, sizeof s.buffer, fmt, args);
  if (n < 0) s.buffer[0] = '\0';
}

void WriteLine(bool echo) noexcept {
  LogState& s = State();
  if (s.file != nullptr) {
    for (int i = 0; i < s.indent; ++i) std::fputc('\t', s.file);
    std::fputs(s.buffer, s.file);
    std::fflush(s.file);
    std::fputs(platform::kLogLineEnd, s.file);
    std::fflush(s.file);
  }
  if (echo) {
    std::fputs(s.buffer, stdout);
    std::fputc('\n', stdout);
    std::fflush(stdout);
  }
}

}  // namespace

const char* LogOpen(const char* baseName) noexcept {
  LogClose();
  LogState& s = State();
  std::snprintf(s.name, sizeof s.name, "%s", baseName);
  s.file = platform::OpenSharedLog(s.name);
  for (int i = 0; s.file == nullptr && i < 5; ++i) {
    std::snprintf(s.name, sizeof s.name, "%s%d", baseName, i);
    s.file = platform::OpenSharedLog(s.name);
  }
  if (s.file == nullptr) {
    s.name[0] = '\0';
    return nullptr;
  }
  return s.name;
}

void LogClose() noexcept {
  LogState& s = State();
  if (s.file != nullptr) std::fclose(s.file);
  s.file = nullptr;
  s.name[0] = '\0';
}

const char* LogFileName() noexcept {
  const LogState& s = State();
  return s.file != nullptr ? s.name : nullptr;
}

void LogMessage(const char* fmt, ...) noexcept {
  va_list args;
  va_start(args, fmt);
  Format(fmt, args);
  va_end(args);
  WriteLine(true);
}

void LogMessageNoEcho(const char* fmt, ...) noexcept {
  va_list args;
  va_start(args, fmt);
  Format(fmt, args);
  va_end(args);
  WriteLine(false);
}

void LogIndent() noexcept { ++State().indent; }

void LogOutdent() noexcept {
  LogState& s = State();
  if (s.indent > 0) --s.indent;
}

int LogIndentLevel() noexcept { return State().indent; }

}  // namespace cv
