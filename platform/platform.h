// The operating-system layer. Everything that differs between Windows and
// POSIX lives behind these functions; the rest of the plug-in builds paths
// with backslashes and hands them here unchanged.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string>
#include <string_view>
#include <vector>

namespace cv::platform {

// Files the plug-in writes end every line with CR LF on disk, on every
// platform. kLineEnd is that byte sequence, for data written in binary mode
// (the save-data writer, WriteFileReplacing). kLogLineEnd is what to write to
// the stream OpenSharedLog returns so that CR LF lands on disk: "\n" where
// that stream is in text mode (Windows), "\r\n" where it is not.
extern const char* const kLineEnd;
extern const char* const kLogLineEnd;

// The full file name of the process's main executable with backslash
// separators, copied into buf the way GetModuleFileNameA does: returns the
// number of characters copied, or size when the name was cut (0 on failure).
std::uint32_t MainExecutablePath(char* buf, std::uint32_t size);
// The last error code of the platform (GetLastError / errno).
std::uint32_t LastError();
// The system's own words for the last error, without a line end.
std::string LastErrorText();

// Single-level directory creation; false when it failed or already exists.
bool CreateDir(const std::string& path);
// Deletes a file; false when it failed.
bool DeleteFile(const std::string& path);
// Moves a file; never replaces an existing target; across volumes allowed.
// False when it failed; LastErrorText() then says why.
bool MoveFileNoReplace(const std::string& from, const std::string& to);
// Moves a file within its volume, replacing the target in one step.
bool MoveFileReplacing(const std::string& from, const std::string& to);
// A file written through a temporary file beside path (TemporaryPathFor)
// that replaces path only when Commit succeeds: the previous file at path
// stays untouched unless every step succeeded, and no temporary file is left
// behind on failure, a failure thrown included.
class ReplacingFile {
 public:
  // Opens the temporary file; IsOpen() tells whether that worked.
  explicit ReplacingFile(const std::string& path);
  ReplacingFile(const ReplacingFile&) = delete;
  ReplacingFile& operator=(const ReplacingFile&) = delete;
  // Closes and removes the temporary file unless it took path's place.
  ~ReplacingFile();
  bool IsOpen() const noexcept { return file_ != nullptr; }
  // Appends bytes; false (and every later call false) once a write failed.
  bool Write(const char* data, std::size_t size);
  // Flushes and closes the temporary file, then replaces path with it. False
  // when any write or step failed; path is then as it was.
  bool Commit();

 private:
  std::string target_;
  std::string temporary_;
  std::FILE* file_ = nullptr;
  bool ok_ = false;
  bool kept_ = false;
};
// Writes data to path through a ReplacingFile.
bool WriteFileReplacing(const std::string& path, std::string_view data);
// The temporary file WriteFileReplacing uses for path (native form): beside
// it and never longer than it.
std::string TemporaryPathFor(const std::string& path);
// Opens an existing file for reading in binary mode; null when it fails.
// Then *missing (when given) tells whether there was no file to read (no
// such file or folder, a folder or a device in its place) rather than a file
// that could not be opened (held by another program, not permitted, ...);
// LastErrorText() says why.
std::FILE* OpenForReading(const std::string& path, bool* missing = nullptr);
// Reads up to size bytes into buf; *got is how many came. False on a read
// error (the bytes before it are in buf); LastErrorText() then says why.
bool ReadBytes(std::FILE* file, char* buf, std::size_t size, std::size_t* got);
bool FileExists(const std::string& path);
// Whether two host paths name one file as the file system compares names:
// on Windows without regard to letter case (CompareStringOrdinal with
// ignore-case on the names in UTF-16), elsewhere byte for byte.
bool SamePath(std::string_view a, std::string_view b);
// Text in the system's code page (the one file names are in) as UTF-16, for
// rules that must hold in every code page: MultiByteToWideChar on Windows;
// elsewhere each byte as the character of that number (code page 1252 and
// Latin-1 agree from A0 up). Bytes that do not convert come out as U+FFFD.
std::u16string Utf16Text(std::string_view text);

// Opens name for writing (truncated) so that other processes may read it but
// not write it; null when another process holds it or it cannot be opened.
std::FILE* OpenSharedLog(const char* name);

// One value from the system's cryptographic random source. Throws
// std::runtime_error("invalid random_device value") when the source fails.
std::uint32_t RandomU32();

// The address of a symbol that the process's main program exports by this
// name, or null when it exports none (the real game exports nothing the
// plug-in looks for).
void* ProgramSymbol(const char* name);

// Host path (backslashes) to the form the file system takes.
std::string NativePath(const std::string& path);

// Whether the file system reserves device names (CON, AUX, COM1, ...) in
// every folder: true on Windows.
extern const bool kReservedDeviceNames;
// The index of the character after the one at text[i], reading the text in
// the code page of the system's file names (CharNextExA on the active code
// page on Windows, where a character may take two bytes); i + 1 elsewhere.
// At most text.size().
std::size_t NextChar(std::string_view text, std::size_t i);
// A host path (the system's code page on Windows) in UTF-8, for libraries
// that take UTF-8 file names; unchanged where paths are bytes already.
std::string Utf8Path(const std::string& path);

}  // namespace cv::platform

namespace cv::platform::testing {
// Makes MainExecutablePath report this text (null restores the real answer).
void OverrideMainExecutablePath(const char* path);
// Makes NextChar and Utf8Path read text in this code page instead of the
// system's (0 restores it). On Windows any installed code page; elsewhere
// 932 (Shift-JIS, whose lead bytes are told apart) and 1252.
void OverrideCodePage(unsigned codePage);
// The most memory this process has held in RAM so far (peak resident set /
// peak working set), in bytes; 0 when unknown. For the measuring tools.
std::size_t PeakMemoryBytes();
// Runs a program (args[0], native path) with these arguments, sharing this
// process's standard streams, and waits for it: its exit code, or -1 when it
// could not be started. For the test tools, never used by the plug-in.
int RunProgram(const std::vector<std::string>& args);
// Points standard output at the null device, so that whatever else in the
// process prints there is dropped, and returns a stream on what standard
// output was before; null (and standard output unchanged) on failure. For the
// test tools, never used by the plug-in.
std::FILE* DivertStandardOutput();
}  // namespace cv::platform::testing
