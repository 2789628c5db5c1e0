// The debug log of corvane-savedata: see tool_log.h.
#include "tools/savedata/tool_log.h"

#include <cstdarg>
#include <cstdio>

#include "log/guard.h"
#include "log/log.h"

namespace cv {

namespace {

savedata::LogSink* g_sink = nullptr;
int g_indent = 0;

void Collect(const char* fmt, va_list args) noexcept {
  char buffer[kLogBufferSize];
  int n = std::vsnprintf(buffer, sizeof buffer, fmt, args);
  if (n < 0) buffer[0] = '\0';
  if (g_sink == nullptr || g_sink->notes == nullptr) return;
  try {
    g_sink->notes->push_back({g_sink->line, g_indent, buffer});
  } catch (...) {  // out of memory: the note is lost, as a log line would be
  }
}

}  // namespace

void savedata::SetLogSink(LogSink* sink) {
  g_sink = sink;
  g_indent = 0;
}

void LogMessage(const char* fmt, ...) noexcept {
  va_list args;
  va_start(args, fmt);
  Collect(fmt, args);
  va_end(args);
}

void LogMessageNoEcho(const char* fmt, ...) noexcept {
  va_list args;
  va_start(args, fmt);
  Collect(fmt, args);
  va_end(args);
}

void LogIndent() noexcept { ++g_indent; }

void LogOutdent() noexcept {
  if (g_indent > 0) --g_indent;
}

int LogIndentLevel() noexcept { return g_indent; }

const char* LogOpen(const char*) noexcept { return nullptr; }
void LogClose() noexcept {}
const char* LogFileName() noexcept { return nullptr; }

}  // namespace cv
