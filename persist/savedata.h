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

#include <array>
#include <bitset>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <initializer_list>
#include <memory>
#include <string>
#include <string_view>
#include <unordered_map>
#include <unordered_set>
#include <vector>

#include "ev/store.h"
#include "persist/field_lines.h"

namespace cv::persist {

class ModMaps;

// ---------------------------------------------------------------------------
// Writing. A SaveDataWriter formats rows into a buffer of its own and hands
// the buffer to its sink whenever the next row does not fit, so that a save
// of any size takes that buffer and at most one block the size of a row
// larger than it.

class SaveDataWriter {
 public:
  // Takes the next bytes of the file; false when they could not be written.
  struct Sink {
    bool (*write)(void* context, const char* data, std::size_t size) = nullptr;
    void* context = nullptr;
  };
  static constexpr std::size_t kBufferSize = std::size_t{1} << 20;

  explicit SaveDataWriter(Sink sink, std::size_t bufferSize = kBufferSize)
      : sink_(sink), capacity_(bufferSize) {}
  SaveDataWriter(const SaveDataWriter&) = delete;
  SaveDataWriter& operator=(const SaveDataWriter&) = delete;

  void ModRow(std::uint32_t index, std::string_view modName);
  // The rows of one kind, in the store's own order; zero/empty values skipped.
  void StringRows(const EvStore& store);
  void FormRows(const EvStore& store);
  void FloatRows(const EvStore& store);
  // Hands on what is still buffered. False when any write failed (the rows
  // after a failed write are not formatted).
  bool Finish();
  bool Failed() const noexcept { return failed_; }

 private:
  // One piece of a row: text as it stands, or text to be quoted.
  struct Piece {
    std::string_view text;
    bool quoted = false;
  };
  void Row(std::initializer_list<Piece> pieces);
  bool Flush();

  Sink sink_;
  std::size_t capacity_;
  std::unique_ptr<char[]> buffer_;  // made at the first row
  std::size_t used_ = 0;
  bool failed_ = false;
};

// The same rows appended to a string (tests and tools).
void AppendQuoted(std::string& out, std::string_view text);
void AppendFloat(std::string& out, float value);
void AppendModRow(std::string& out, std::uint32_t index, std::string_view modName);
void AppendStringRows(std::string& out, const EvStore& store);
void AppendFormRows(std::string& out, const EvStore& store);
void AppendFloatRows(std::string& out, const EvStore& store);

// ---------------------------------------------------------------------------
// Reading: libcsv field and record callbacks assemble records in a
// csvp_record; each complete record goes to the store and the mod maps.
// Fields that hold numbers are read as they arrive, so only the texts the
// record keeps (a key, a mod name, a string value) are copied.

struct csvp_record {
  std::int32_t fieldCount = 0;
  // Field 1, the record tag: which of the four it is, or none; the text of a
  // tag that is none of them is kept for the log.
  enum class Tag { None, ModIndex, String, Form, Float };
  Tag tag = Tag::None;
  std::string unknownTag;
  // Field 2: the owner id, or the index of a mod-index row (valid only when
  // it is a number from 0 to 255).
  std::uint32_t id = 0;
  bool modIndexValid = false;
  // Field 3: the key, or the mod name.
  std::string field3;
  // Field 4: the value, read as the tag says.
  std::string text;
  std::uint32_t form = 0;
  float number = 0;
  bool dropped = false;  // a field of this record failed; skip the record
  // Whether a field may hold a NUL byte and must be cut there. The reader
  // clears it until the file shows its first NUL.
  bool scanForNul = true;
  // "IX" rows skipped because their index is no mod index (0 to 255).
  std::uint32_t skippedModRows = 0;
  // Where the records go: the process-wide store and mod maps, looked up at
  // the first record.
  EvStore* store = nullptr;
  ModMaps* maps = nullptr;
  // Records handed on to the store and the mod maps.
  std::uint64_t records = 0;
  // Where the lines are found (null: nowhere, every line reads as 0), how
  // many fields the parser ended in the piece it is reading, the one of
  // them that was the record in hand's first, and the line where that field
  // ended: 0 until someone asks (RecordLine).
  FieldLines* lines = nullptr;
  std::uint64_t fieldEnds = 0;
  std::uint64_t recordField = 0;
  std::uint64_t recordLine = 0;
  // Memory ran out: every record after that is ignored.
  bool outOfMemory = false;
  // The mod indices whose "IX" row has been read; 255, the forms made at
  // run time, needs none.
  std::bitset<256> modRowRead = std::bitset<256>().set(255);
  // A value row that came before the "IX" row of a mod it needs (a file
  // whose rows a spreadsheet sorted puts "FL" and "FO" before "IX"): kept
  // until the file ends, then stored, or lost, like any other row, in its
  // place in the file: it never replaces what a later row stored.
  struct Deferred {
    Tag tag;
    std::uint32_t id;
    std::uint32_t form;
    float number;
    std::string key;
    std::string text;
    std::uint64_t record;  // the record's number in the file, from 0
  };
  std::vector<Deferred> deferred;
  // Set once the file has ended: no row waits any longer.
  bool modRowsComplete = false;
  // The keys of the rows kept, by kind (string, form, float); for those keys
  // alone, the record that last stored each entry (kind, owner as stored,
  // key), so that a kept row gives way to a later row that stored it.
  std::array<std::unordered_set<std::string>, 3> keptKeys;
  std::unordered_map<std::string, std::uint64_t> storedBy;
  // While the kept rows are stored: the number of the one in hand.
  bool storingKept = false;
  std::uint64_t keptRecord = 0;
  // The owner the last row of each kind went to: a file lists an owner's
  // rows together.
  EvStore::OwnerRun<EvKind::Float> floatRun;
  EvStore::OwnerRun<EvKind::Form> formRun;
  EvStore::OwnerRun<EvKind::String> stringRun;
  // A value row held back until the next row shows whether its owner's
  // run goes on. A file lists an owner's rows of one kind together, and an
  // owner known to get two entries or more then takes a block for them at
  // once, not a one-slot block first that it outgrows at the next row. A row
  // is held only while nothing can tell (no observer, no probe, no row kept
  // for the end), and is stored before anything else happens: before the
  // next row of another owner or kind, any log line, and the end of the
  // piece being parsed.
  struct Held {
    bool active = false;
    Tag tag = Tag::None;
    std::uint32_t id = 0;     // the owner as the file gives it (for the log)
    std::uint32_t owner = 0;  // as stored
    std::uint64_t record = 0;
    std::string key;
    std::string text;
    std::uint32_t form = 0;  // as stored
    float number = 0;
  };
  Held held;
  // The kind and owner (as stored) of the last value row stored: a row that
  // goes on with them is stored at once.
  Tag runTag = Tag::None;
  std::uint32_t runOwner = 0;
  // When set, sees every complete record (fields: how many it had) just
  // before it is stored; the save-data tool reads files through it.
  using Observer = void (*)(const csvp_record& record, std::int32_t fields, void* context);
  Observer observer = nullptr;
  void* observerContext = nullptr;
  // When set, called with a kept row's record number just before the row is
  // stored at the end of the file.
  using Replay = void (*)(std::uint64_t record, void* context);
  Replay replay = nullptr;
};

// The line where the record in hand began (where its first field ended),
// found now if it was not yet.
std::uint64_t RecordLine(csvp_record& r) noexcept;

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

// Feeds a save-data file to libcsv as it comes, in chunks of any size. The
// parser ends a record at a CR or an LF, so CR LF and LF line ends read
// alike; inside a quoted field the reader turns every CR LF back into the
// line feed it was written for.
class SaveDataReader {
 public:
  SaveDataReader() = default;
  SaveDataReader(const SaveDataReader&) = delete;
  SaveDataReader& operator=(const SaveDataReader&) = delete;
  ~SaveDataReader();

  // csv_init with CSV_APPEND_NULL; its return code (0 on success).
  int Init();
  // Hands the next bytes of the file to the parser. Once memory ran out, it
  // takes nothing more.
  void Feed(const char* data, std::size_t size);
  // True once an allocation failed while reading: the records after it were
  // not stored, and the rest of the file should not be fed.
  bool OutOfMemory() const noexcept { return record_.outOfMemory; }
  // How many records were read so far.
  std::uint64_t Records() const noexcept { return record_.records; }
  // Ends a last line that had no line end, and logs what the file left
  // unread: a record cut off inside a quoted field, and the mod-index rows
  // skipped. Then stores the rows that came before their mod's "IX" row.
  void Finish();
  // Feeds the whole file, read in pieces by read(buffer, size, &got), which
  // is false on a read error, then finishes it. False on a read error (the
  // bytes read before it have been handed on, and the file is not
  // finished). Stops reading once memory ran out.
  template <class Read>
  bool ReadAll(Read&& read) {
    std::vector<char> piece(kPiece);
    for (;;) {
      std::size_t got = 0;
      const bool ok = read(piece.data(), piece.size(), &got);
      Feed(piece.data(), got);
      if (OutOfMemory()) break;
      if (!ok) return false;
      if (got < piece.size()) break;
    }
    Finish();
    return true;
  }
  // Every complete record goes to observer before it is stored; a row kept
  // for the end of the file goes to replay (when given) before it is stored.
  void Observe(csvp_record::Observer observer, void* context,
               csvp_record::Replay replay = nullptr) {
    record_.observer = observer;
    record_.observerContext = context;
    record_.replay = replay;
  }

 private:
  // The bytes ReadAll reads at a time.
  static constexpr std::size_t kPiece = std::size_t{1} << 16;
  void Parse(const char* data, std::size_t size);
  void ParsePiece(const char* data, std::size_t size);

  csv_parser parser_{};
  bool initialised_ = false;
  csvp_record record_ = NoNulSeen();
  static csvp_record NoNulSeen() {
    csvp_record r;
    r.scanForNul = false;
    return r;
  }
  FieldLines lines_;
  // The first bytes of the file, kept until they show whether a byte-order
  // mark opens it.
  std::string start_;
  bool atStart_ = true;
};

}  // namespace cv::persist
