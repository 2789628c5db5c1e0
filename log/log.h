// The debug log: "corvane.log" in the current directory, one line per message,
// indented with one tab per level. Formatting uses one fixed 8192-byte buffer;
// longer messages are cut at 8191 characters.
#pragma once

#if defined(__GNUC__)
#define CV_PRINTF_FORMAT(f, a) __attribute__((format(printf, f, a)))
#else
#define CV_PRINTF_FORMAT(f, a)
#endif

namespace cv {

constexpr int kLogBufferSize = 8192;

// Writes one line to the log and echoes it, with "\n", to standard output.
void LogMessage(const char* fmt, ...) noexcept CV_PRINTF_FORMAT(1, 2);
// Writes one line to the log only.
void LogMessageNoEcho(const char* fmt, ...) noexcept CV_PRINTF_FORMAT(1, 2);
void LogIndent() noexcept;
void LogOutdent() noexcept;
int LogIndentLevel() noexcept;

// Opens the log under baseName (falling back to baseName0 .. baseName4) and
// returns the name that opened, or null. The library does this once at load
// with "corvane.log"; tests call it to reopen elsewhere.
const char* LogOpen(const char* baseName) noexcept;
void LogClose() noexcept;
const char* LogFileName() noexcept;

}  // namespace cv
