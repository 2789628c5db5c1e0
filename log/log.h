// The debug log: "corvane.log" in the current directory, one line per message,
// indented with one tab per level. Formatting uses one fixed 8192-byte buffer;
// longer messages are cut at 8191 characters.
#pragma once

namespace cv {

constexpr int kLogBufferSize = 8192;

// Writes one line to the log and echoes it, with "\n", to standard output.
[[gnu::format(printf, 1, 2)]] void LogMessage(const char* fmt, ...) noexcept;
// Writes one line to the log only.
[[gnu::format(printf, 1, 2)]] void LogMessageNoEcho(const char* fmt, ...) noexcept;
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
