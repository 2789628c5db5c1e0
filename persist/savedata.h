// The save-data file: one CSV file per save game holding the load order of
// the moment and every non-empty value of the store.
//
//   IX, 0, "FalloutNV.esm",
//   ST, 16821197, "name", "Sunny"
//   FO, 16821197, "target", 662316
//   FL, 16821197, "hp", 12.5
//
// Every line ends with CR LF. Keys, mod names and string values are quoted
// with libcsv's csv_write; a line feed inside a quoted text is written as
// CR LF too, and the reader turns every CR LF back into a line feed, so any
// byte string comes back as it was. Floats are written as the shortest text
// that reads back to the same float.
//
// This code depends on the store, libcsv and the log only: no host, no OS.
#pragma once

#include <csv.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string>
#include <string_view>

#include "ev/store.h"

namespace cv::persist {

// ---------------------------------------------------------------------------
// Writing. Each function appends to out; the caller writes out to disk.

void AppendQuoted(std::string& out, std::string_view text);
void AppendFloat(std::string& out, float value);
void AppendModRow(std::string& out, std::uint32_t index, std::string_view modName);
// The rows of one kind, in the store's own order; zero/empty values skipped.
void AppendStringRows(std::string& out, const EvStore& store);
void AppendFormRows(std::string& out, const EvStore& store);
void AppendFloatRows(std::string& out, const EvStore& store);

// ---------------------------------------------------------------------------
// Reading: libcsv field and record callbacks assemble records in a
// csvp_record; each complete record goes to the store and the mod maps.

struct csvp_record {
  std::int32_t fieldCount = 0;
  std::string field1;    // record tag
  std::string field2;    // index or owner id
  std::string field3;    // mod name or key
  std::string field4;    // value
  bool dropped = false;  // a field of this record failed; skip the record
  // Whether a field may hold a NUL byte and must be cut there. The reader
  // clears it until the file shows its first NUL.
  bool scanForNul = true;
  // "IX" rows skipped because their index is no mod index (0 to 255).
  std::uint32_t skippedModRows = 0;
};

void csvp_cb1(void* field, std::size_t length, void* state) noexcept;
void csvp_cb2(int terminator, void* state) noexcept;

namespace testing {
// Called at the start of every field (1) and record (2) callback, so that
// tests can make a callback fail; null (the default) in the plug-in.
using CallbackProbe = void (*)(int callback);
void SetCallbackProbe(CallbackProbe probe);
}  // namespace testing

// Leading blanks skipped, then the decimal number; 0 when there is none or
// it does not fit in 32 bits. Text after the number is ignored.
std::uint32_t str2int(std::string_view text) noexcept;
// Leading blanks skipped, then an optionally signed decimal float (with
// exponent), "inf" or "nan"; 0 when there is none. Text after it is ignored.
float str2float(std::string_view text) noexcept;

// Feeds a save-data file to libcsv one line at a time, of any length: the
// line end (LF, or CR LF) is removed and one line feed appended, so a quoted
// field still open at the end of a line carries on into the next.
class SaveDataReader {
 public:
  SaveDataReader() = default;
  SaveDataReader(const SaveDataReader&) = delete;
  SaveDataReader& operator=(const SaveDataReader&) = delete;
  ~SaveDataReader();

  // csv_init with CSV_APPEND_NULL; its return code (0 on success).
  int Init();
  // Hands the complete lines in data to the parser; a partial last line is
  // kept for the next call. data may be changed in place.
  void Feed(char* data, std::size_t size);
  // Hands a last line that had no line end to the parser, and logs what the
  // file left unread: a record cut off inside a quoted field, and the
  // mod-index rows skipped.
  void Finish();
  // Reads the whole file from its current position; false on a read error
  // (the lines read before it have been handed on).
  bool ReadFile(std::FILE* file);

 private:
  void ParseLine(const char* line, std::size_t sizeWithLf);
  // Hands on the carried line with its line end made a single line feed.
  void ParseCarry();

  csv_parser parser_{};
  bool initialised_ = false;
  csvp_record record_ = NoNulSeen();
  static csvp_record NoNulSeen() {
    csvp_record r;
    r.scanForNul = false;
    return r;
  }
  std::string carry_;  // a line that began in an earlier chunk
  bool firstLine_ = true;
};

}  // namespace cv::persist
