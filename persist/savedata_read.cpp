// The save-data reader: the file to libcsv, fields to a csvp_record, records
// to the store through the mod maps.
#include <algorithm>
#include <cstdint>
#include <cstring>
#include <new>
#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

#include "log/guard.h"
#include "log/log.h"
#include "persist/kept_rows.h"
#include "persist/mod_maps.h"
#include "persist/number_text.h"
#include "persist/savedata.h"

namespace cv::persist {

namespace {

testing::CallbackProbe g_probe = nullptr;

// One line per value that cannot be mapped, then the mods that are missing.
void LogLostValue(const char* kind, const std::string& key, ModMaps& maps,
                  std::initializer_list<std::uint32_t> unmappedIds) {
  LogMessage("Lost %s '%s': its mod is missing", kind, key.c_str());
  LogIndent();
  for (std::uint32_t id : unmappedIds)
    LogMessage("Cannot map mod %s", maps.SavedName(id >> 24).c_str());
  LogOutdent();
}

// Whether any of the eight bytes of w is a CR.
bool WordHoldsCr(std::uint64_t w) noexcept {
  constexpr std::uint64_t kOnes = 0x0101010101010101ull, kHighs = 0x8080808080808080ull;
  w ^= kOnes * '\r';  // a CR becomes a zero byte
  return ((w - kOnes) & ~w & kHighs) != 0;
}

// Whether the text holds a CR. Most texts are keys of a few words, for
// which eight bytes a step (the last step reading the text's last eight
// bytes again) costs less than a call to memchr.
bool HoldsCr(std::string_view t) noexcept {
  const std::size_t n = t.size();
  if (n > 64) return std::memchr(t.data(), '\r', n) != nullptr;
  if (n < 8) return t.find('\r') != std::string_view::npos;
  auto crAt = [&](std::size_t i) {
    std::uint64_t w;
    std::memcpy(&w, t.data() + i, sizeof w);
    return WordHoldsCr(w);
  };
  for (std::size_t i = 0; i + 8 <= n; i += 8)
    if (crAt(i)) return true;
  return crAt(n - 8);
}

// Inside a quoted field the parser keeps a CR LF as it stands; the writer
// wrote each line feed of the text that way.
void DropCrBeforeLf(std::string& s) {
  if (!HoldsCr(s)) return;
  std::size_t w = s.find("\r\n");
  if (w == std::string::npos) return;
  for (std::size_t r = w; r < s.size(); ++r)
    if (s[r] != '\r' || r + 1 == s.size() || s[r + 1] != '\n') s[w++] = s[r];
  s.resize(w);
}

constexpr int Tag(char a, char b) { return (a << 8) | b; }

// libcsv's own block size, the least the field buffer grows by.
constexpr std::size_t kMinBlock = 128;

using RecordTag = csvp_record::Tag;

const char* TagText(RecordTag tag) {
  switch (tag) {
    case RecordTag::ModIndex: return "IX";
    case RecordTag::String: return "ST";
    case RecordTag::Form: return "FO";
    case RecordTag::Float: return "FL";
    case RecordTag::None: break;
  }
  return "";
}

RecordTag TagOf(std::string_view text) {
  if (text.size() != 2) return RecordTag::None;
  switch (Tag(text[0], text[1])) {
    case Tag('I', 'X'): return RecordTag::ModIndex;
    case Tag('S', 'T'): return RecordTag::String;
    case Tag('F', 'O'): return RecordTag::Form;
    case Tag('F', 'L'): return RecordTag::Float;
    default: return RecordTag::None;
  }
}

// A kept text: copied whole, and inside a quoted field every CR LF read
// back as the line feed it was written for. Most kept texts are short keys
// and values: up to 15 bytes fit the string's own buffer, and are copied
// and checked for a CR a word or two at a time, without a call. Longer ones
// mostly fit in the last one's place, which spares the general assignment.
void Keep(std::string& dest, std::string_view text) {
  const std::size_t n = text.size();
  const char* from = text.data();
  if (n <= 15) {
    dest.resize(n);  // within the string's own buffer: no allocation
    char* to = dest.data();
    std::uint64_t a = 0, b = 0;
    if (n >= 8) {
      std::memcpy(&a, from, 8);
      std::memcpy(&b, from + n - 8, 8);
      std::memcpy(to, &a, 8);
      std::memcpy(to + n - 8, &b, 8);
    } else {
      // Fewer than eight bytes: copied one by one, and gathered into the
      // word a, whose bytes past them stay zero, to look for a CR.
      for (std::size_t i = 0; i < n; ++i) {
        to[i] = from[i];
        a |= std::uint64_t{static_cast<unsigned char>(from[i])} << (8 * i);
      }
      b = a;
    }
    if (!WordHoldsCr(a) && !WordHoldsCr(b)) return;
  } else if (n <= dest.size()) {
    std::memcpy(dest.data(), from, n);
    dest.resize(n);
  } else {
    dest.assign(text);
  }
  DropCrBeforeLf(dest);
}

void ReadField(csvp_record& r, std::string_view text) {
  switch (r.fieldCount) {
    case 1:
      r.tag = TagOf(text);
      if (r.tag == RecordTag::None) Keep(r.unknownTag, text);
      r.id = 0;
      r.modIndexValid = false;
      r.form = 0;
      r.number = 0;
      return;
    case 2:
      if (r.tag == RecordTag::ModIndex)
        r.modIndexValid = ReadModIndex(text, r.id);
      else if (r.tag != RecordTag::None)
        r.id = ReadNumber(text);
      return;
    case 3: return Keep(r.field3, text);
    case 4:
      switch (r.tag) {
        case RecordTag::String: return Keep(r.text, text);
        case RecordTag::Form: r.form = ReadNumber(text); return;
        case RecordTag::Float: r.number = ReadDecimal(text); return;
        default: return;  // the empty last field of a mod-index row
      }
    default: return;  // fields after the fourth are ignored
  }
}

// Whether the row needs a mod whose "IX" row has not come yet.
bool WaitsForModRow(const csvp_record& r) {
  if (r.modRowsComplete) return false;
  if (!r.modRowRead[r.id >> 24]) return true;
  return r.tag == RecordTag::Form && !r.modRowRead[r.form >> 24];
}

// Keeps a value row for the end of the file.
void Defer(csvp_record& r) {
  r.deferred.push_back({r.tag, r.id, r.form, r.number, r.field3, r.text, r.records});
  NoteKept(r);
}

void LogRefused(const std::string& key, std::uint32_t id) {
  LogMessage("Refusing key '%s' of %u: its table would grow without bound", key.c_str(),
             static_cast<unsigned>(id));
}

// Stores the held row, if there is one; expected as EvStore::Entry takes it.
// A key its table refuses is logged and skipped. Should memory run out, the
// records read so far end before the held one.
void StoreHeld(csvp_record& r, std::size_t expected = 0) {
  csvp_record::Held& h = r.held;
  if (!h.active) return;
  h.active = false;
  try {
    switch (h.tag) {
      case RecordTag::String:
        r.store->Entry<EvKind::String>(h.owner, h.key, r.stringRun, expected) = h.text;
        break;
      case RecordTag::Form:
        r.store->Entry<EvKind::Form>(h.owner, h.key, r.formRun, expected) = h.form;
        break;
      case RecordTag::Float:
        r.store->Entry<EvKind::Float>(h.owner, h.key, r.floatRun, expected) = h.number;
        break;
      default: return;
    }
    r.runTag = h.tag;
    r.runOwner = h.owner;
  } catch (const TableRefused&) {
    LogRefused(h.key, h.id);
  } catch (const std::bad_alloc&) {
    r.records = h.record;
    throw;
  }
}

// Whether nothing can tell that a row is stored one row late: no observer
// sees the records, no probe may fail a callback, and no row waits for the
// end of the file (its bookkeeping counts on the order of the stores).
bool MayHold(const csvp_record& r) {
  return r.observer == nullptr && g_probe == nullptr && r.deferred.empty() && !r.storingKept;
}

template <EvKind K>
EvStore::OwnerRun<K>& RunOf(csvp_record& r) {
  if constexpr (K == EvKind::Float)
    return r.floatRun;
  else if constexpr (K == EvKind::Form)
    return r.formRun;
  else
    return r.stringRun;
}

// Stores the value row in hand under owner (as stored), with value as
// stored; or holds it back when it may begin an owner's run.
template <EvKind K>
void Put(csvp_record& r, std::uint32_t owner, const EvValueT<K>& value) {
  csvp_record::Held& h = r.held;
  const bool goesOn = h.active && h.tag == r.tag && h.owner == owner;
  StoreHeld(r, goesOn ? 2 : 0);  // the held row and this one: two at least
  const bool inRun = goesOn || (r.runTag == r.tag && r.runOwner == owner);
  if (!inRun && MayHold(r)) {
    h.active = true;
    h.tag = r.tag;
    h.id = r.id;
    h.owner = owner;
    h.record = r.records;
    h.key.swap(r.field3);
    if constexpr (K == EvKind::String)
      h.text.swap(r.text);
    else if constexpr (K == EvKind::Form)
      h.form = value;
    else
      h.number = value;
    return;
  }
  r.store->Entry<K>(owner, r.field3, RunOf<K>(r)) = value;
  r.runTag = r.tag;
  r.runOwner = owner;
  NoteStored(r, owner);
}

void StoreRecord(csvp_record& r) {
  if (r.store == nullptr) {
    r.store = &TheStore();
    r.maps = &TheModMaps();
  }
  ModMaps& maps = *r.maps;
  if (r.tag == RecordTag::ModIndex) {
    StoreHeld(r);
    if (!r.modIndexValid) {
      ++r.skippedModRows;
      return;
    }
    maps.SetSavedName(r.id, r.field3);
    r.modRowRead.set(r.id);
    return;
  }
  if (r.tag != RecordTag::None && WaitsForModRow(r)) {
    StoreHeld(r);
    return Defer(r);
  }
  // A row that is lost logs why; what was read before it is stored first.
  auto lost = [&](const char* kind, std::initializer_list<std::uint32_t> ids) {
    StoreHeld(r);
    LogLostValue(kind, r.field3, maps, ids);
  };
  switch (r.tag) {
    case RecordTag::ModIndex: return;
    case RecordTag::String: {
      auto mapped = maps.Remap(r.id);
      if (!mapped) return lost("EVST", {r.id});
      if (StoredByLaterRow(r, *mapped)) return;
      return Put<EvKind::String>(r, *mapped, r.text);
    }
    case RecordTag::Form: {
      auto mappedOwner = maps.Remap(r.id);
      auto mappedValue = maps.Remap(r.form);
      if (!mappedOwner && !mappedValue) return lost("EVFO", {r.id, r.form});
      if (!mappedOwner) return lost("EVFO", {r.id});
      if (!mappedValue) return lost("EVFO", {r.form});
      if (StoredByLaterRow(r, *mappedOwner)) return;
      return Put<EvKind::Form>(r, *mappedOwner, *mappedValue);
    }
    case RecordTag::Float: {
      auto mapped = maps.Remap(r.id);
      if (!mapped) return lost("EVFL", {r.id});
      if (StoredByLaterRow(r, *mapped)) return;
      return Put<EvKind::Float>(r, *mapped, r.number);
    }
    case RecordTag::None:
      StoreHeld(r);
      LogMessage("Unknown record type '%s'", r.unknownTag.c_str());
  }
}

}  // namespace

void testing::SetCallbackProbe(CallbackProbe probe) { g_probe = probe; }

namespace {

// Stores the record; a key its table refuses is logged and skipped.
void StoreRefusing(csvp_record& r) {
  try {
    StoreRecord(r);
  } catch (const TableRefused&) {
    LogRefused(r.field3, r.id);
  }
}

// Runs body, and turns an allocation failure into the record's out-of-memory
// state instead of a log line: reading stops there, with one line in all.
template <class Body>
void StopOnBadAlloc(csvp_record& r, Body&& body) {
  try {
    body();
  } catch (const std::bad_alloc&) {
    r.outOfMemory = true;
  }
}

}  // namespace

std::uint64_t RecordLine(csvp_record& r) noexcept {
  if (r.recordLine == 0 && r.lines != nullptr) r.recordLine = r.lines->LineOfField(r.recordField);
  return r.recordLine;
}

void csvp_cb1(void* field, std::size_t length, void* state) noexcept {
  auto& r = *static_cast<csvp_record*>(state);
  const std::uint64_t fieldEnd = r.fieldEnds++;
  if (r.outOfMemory) return;
  bool ok = Guarded({"csvp_cb1"}, [&] {
    StopOnBadAlloc(r, [&] {
      if (r.fieldCount < 5) ++r.fieldCount;  // fields after the fourth are ignored
      if (r.fieldCount == 1) r.recordField = fieldEnd, r.recordLine = 0;
      if (g_probe != nullptr) g_probe(1);
      // The parser appends a NUL; the field is the text before the first NUL.
      // The reader says when no NUL has been read, which spares the search.
      const char* s = field != nullptr ? static_cast<const char*>(field) : "";
      std::size_t size = field != nullptr ? length : 0;
      if (r.scanForNul) {
        if (const void* nul = std::memchr(s, '\0', size); nul != nullptr)
          size = static_cast<std::size_t>(static_cast<const char*>(nul) - s);
      }
      ReadField(r, std::string_view(s, size));
    });
  });
  if (!ok) r.dropped = true;
}

void csvp_cb2(int, void* state) noexcept {
  auto& r = *static_cast<csvp_record*>(state);
  const std::int32_t fields = std::exchange(r.fieldCount, 0);
  if (std::exchange(r.dropped, false) || r.outOfMemory) return;
  Guarded({"csvp_cb2"}, [&] {
    StopOnBadAlloc(r, [&] {
      if (g_probe != nullptr) g_probe(2);
      // The kept texts still hold the last record's until their field comes;
      // a record cut short reads the missing ones as empty.
      if (fields < 3) r.field3.clear();
      if (fields < 4) r.text.clear();
      if (r.observer != nullptr) r.observer(r, fields, r.observerContext);
      // Every kind takes four fields. More come from a hand-edited file, as
      // when a quote left open swallows the next line: the record is read
      // as it always was, and the log says where to look.
      if (fields > 4 && r.tag != RecordTag::None) {
        StoreHeld(r);
        LogMessage(
            "Too many fields in the %s row at line %llu: the fields after the fourth are "
            "ignored",
            TagText(r.tag), static_cast<unsigned long long>(RecordLine(r)));
      }
      StoreRefusing(r);
      ++r.records;
    });
  });
}

namespace {

// Stores the rows kept for the end of the file, in the order they came, now
// that every "IX" row has been read. Each takes its place in the file: an
// entry that a later row stored keeps that row's value.
void StoreDeferred(csvp_record& r) {
  r.modRowsComplete = true;
  r.storingKept = true;
  std::vector<csvp_record::Deferred> rows = std::move(r.deferred);
  r.deferred = {};
  for (csvp_record::Deferred& row : rows) {
    if (r.outOfMemory) return;
    Guarded({"csvp_cb2"}, [&] {
      StopOnBadAlloc(r, [&] {
        r.tag = row.tag;
        r.id = row.id;
        r.form = row.form;
        r.number = row.number;
        r.field3 = std::move(row.key);
        r.text = std::move(row.text);
        r.keptRecord = row.record;
        if (r.replay != nullptr) r.replay(row.record, r.observerContext);
        StoreRefusing(r);
      });
    });
  }
  ForgetKept(r);
}

}  // namespace

SaveDataReader::~SaveDataReader() {
  if (initialised_) csv_free(&parser_);
}

int SaveDataReader::Init() {
  if (initialised_) csv_free(&parser_);
  int rc = csv_init(&parser_, CSV_APPEND_NULL);
  initialised_ = rc == 0;
  record_.lines = &lines_;
  return rc;
}

void SaveDataReader::Parse(const char* data, std::size_t size) {
  if (!initialised_) throw std::logic_error("the reader was not initialised");
  if (record_.outOfMemory) return;
  if (!record_.scanForNul && std::memchr(data, '\0', size) != nullptr) record_.scanForNul = true;
  // Two pieces: up to the last line end, and the rest. A record rarely
  // spans the cut after a line end, so the line of a record still open
  // when a piece ends is seldom looked for in more than its last line.
  std::size_t cut = size;
  while (cut > 0 && data[cut - 1] != '\n' && data[cut - 1] != '\r') --cut;
  if (cut == 0) cut = size;
  ParsePiece(data, cut);
  if (cut < size) ParsePiece(data + cut, size - cut);
}

void SaveDataReader::ParsePiece(const char* data, std::size_t size) {
  if (size == 0 || record_.outOfMemory) return;
  // libcsv grows its field buffer by a fixed block, and every growth may
  // copy the buffer. A block as large as the buffer and the piece keeps a
  // long field linear to read: one growth per piece at most, and a field
  // that spans pieces doubles the buffer.
  csv_set_blk_size(&parser_, std::max({kMinBlock, csv_get_buffer_size(&parser_), size}));
  lines_.BeginPiece(parser_, data, size);
  record_.fieldEnds = 0;
  // A short count is the only failure outside strict mode: the parser's
  // buffer could not grow.
  if (csv_parse(&parser_, data, size, csvp_cb1, csvp_cb2, &record_) != size)
    record_.outOfMemory = true;
  // The piece goes; the line of a record it leaves open is found while the
  // piece is still here.
  if (record_.fieldCount > 0) RecordLine(record_);
  lines_.EndPiece();
  // Every complete record is stored once the piece is read.
  if (record_.held.active)
    Guarded({"csvp_cb2"}, [&] { StopOnBadAlloc(record_, [&] { StoreHeld(record_); }); });
}

void SaveDataReader::Feed(const char* data, std::size_t size) {
  if (record_.outOfMemory) return;
  if (!atStart_) return Parse(data, size);
  // A spreadsheet saving "CSV UTF-8" puts a byte-order mark first. The
  // first bytes are kept until they show whether one is there.
  constexpr std::string_view kBom = "\xEF\xBB\xBF";
  std::string_view head(data, size);
  if (!start_.empty() || head.size() < kBom.size()) {
    start_.append(head);
    if (start_.size() < kBom.size() && kBom.starts_with(start_)) return;
    head = start_;
  }
  atStart_ = false;
  if (head.starts_with(kBom)) {
    LogMessage("Skipped the byte-order mark at the start of the file");
    head.remove_prefix(kBom.size());
  }
  Parse(head.data(), head.size());
  start_ = std::string();
}

void SaveDataReader::Finish() {
  if (std::exchange(atStart_, false)) Parse(start_.data(), start_.size());
  start_ = std::string();
  // A last line without a line end ends here; after a line end the parser
  // skips it as an empty line.
  Parse("\n", 1);
  // So whatever the parser still holds lies inside a quoted field that never
  // closed: the file was cut off. Its record is dropped, not stored with a
  // torn key or value.
  if (record_.outOfMemory) return;
  bool pending = record_.fieldCount > 0;
  csv_fini(
      &parser_, [](void*, std::size_t, void* p) { *static_cast<bool*>(p) = true; },
      [](int, void* p) { *static_cast<bool*>(p) = true; }, &pending);
  record_.fieldCount = 0;
  record_.dropped = false;
  if (pending) LogMessage("The file ends inside a quoted field; its last record is skipped");
  if (record_.skippedModRows > 0)
    LogMessage("Skipped %u mod-index rows whose index is not a number from 0 to 255",
               static_cast<unsigned>(record_.skippedModRows));
  record_.skippedModRows = 0;
  StoreDeferred(record_);
}

}  // namespace cv::persist
