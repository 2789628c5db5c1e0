// The save-data reader: lines to libcsv, fields to a csvp_record, records to
// the store through the mod maps.
#include <algorithm>
#include <charconv>
#include <cstdint>
#include <cstring>
#include <new>
#include <utility>
#include <vector>

#include "log/guard.h"
#include "log/log.h"
#include "persist/mod_maps.h"
#include "persist/savedata.h"

namespace cv::persist {

namespace {

testing::CallbackProbe g_probe = nullptr;

bool IsBlank(char c) {
  return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}

// The text from its first non-blank, without a leading '+'.
std::string_view NumberStart(std::string_view text) {
  std::size_t i = 0;
  while (i < text.size() && IsBlank(text[i])) ++i;
  if (i < text.size() && text[i] == '+') ++i;
  return text.substr(i);
}

// One line per value that cannot be mapped, then the mods that are missing.
void LogLostValue(const char* kind, const std::string& key, ModMaps& maps,
                  std::initializer_list<std::uint32_t> unmappedIds) {
  LogMessage("Lost %s '%s': its mod is missing", kind, key.c_str());
  LogIndent();
  for (std::uint32_t id : unmappedIds)
    LogMessage("Cannot map mod %s", maps.SavedName(id >> 24).c_str());
  LogOutdent();
}

constexpr int Tag(char a, char b) { return (a << 8) | b; }

// libcsv's own block size, the least the field buffer grows by.
constexpr std::size_t kMinBlock = 128;

// The index of a mod-index row: a number from 0 to 255, read as str2int
// reads it. Anything else (no digits, a sign, a larger number) is none, so
// that it cannot pass for mod 0 or fill the map with indices no form has.
bool ReadModIndex(std::string_view text, std::uint32_t& index) {
  std::string_view s = NumberStart(text);
  if (s.empty() || s[0] < '0' || s[0] > '9') return false;
  std::uint32_t value = 0;
  auto r = std::from_chars(s.data(), s.data() + s.size(), value);
  if (r.ec != std::errc() || value > 255) return false;
  index = value;
  return true;
}

void StoreRecord(csvp_record& r) {
  ModMaps& maps = TheModMaps();
  EvStore& store = TheStore();
  const std::string& tag = r.field1;
  switch (tag.size() == 2 ? Tag(tag[0], tag[1]) : 0) {
    case Tag('I', 'X'): {
      std::uint32_t index = 0;
      if (ReadModIndex(r.field2, index))
        maps.SetSavedName(index, r.field3);
      else
        ++r.skippedModRows;
      return;
    }
    case Tag('S', 'T'): {
      std::uint32_t owner = str2int(r.field2);
      auto mapped = maps.Remap(owner);
      if (!mapped) return LogLostValue("EVST", r.field3, maps, {owner});
      store.Entry<EvKind::String>(*mapped, r.field3) = r.field4;
      return;
    }
    case Tag('F', 'O'): {
      std::uint32_t owner = str2int(r.field2);
      std::uint32_t value = str2int(r.field4);
      auto mappedOwner = maps.Remap(owner);
      auto mappedValue = maps.Remap(value);
      if (!mappedOwner && !mappedValue) return LogLostValue("EVFO", r.field3, maps, {owner, value});
      if (!mappedOwner) return LogLostValue("EVFO", r.field3, maps, {owner});
      if (!mappedValue) return LogLostValue("EVFO", r.field3, maps, {value});
      store.Entry<EvKind::Form>(*mappedOwner, r.field3) = *mappedValue;
      return;
    }
    case Tag('F', 'L'): {
      std::uint32_t owner = str2int(r.field2);
      auto mapped = maps.Remap(owner);
      if (!mapped) return LogLostValue("EVFL", r.field3, maps, {owner});
      store.Entry<EvKind::Float>(*mapped, r.field3) = str2float(r.field4);
      return;
    }
    default: LogMessage("Unknown record type '%s'", tag.c_str());
  }
}

}  // namespace

void testing::SetCallbackProbe(CallbackProbe probe) { g_probe = probe; }

std::uint32_t str2int(std::string_view text) noexcept {
  std::uint32_t result = 0;
  Guarded({"str2int"}, [&] {
    std::string_view s = NumberStart(text);
    std::uint64_t value = 0;
    std::size_t i = 0;
    for (; i < s.size() && s[i] >= '0' && s[i] <= '9'; ++i) {
      value = value * 10 + static_cast<unsigned>(s[i] - '0');
      if (value > 0xFFFFFFFFu) return;  // does not fit: not a 32-bit number
    }
    result = static_cast<std::uint32_t>(value);
  });
  return result;
}

float str2float(std::string_view text) noexcept {
  float result = 0;
  Guarded({"str2float"}, [&] {
    std::string_view s = NumberStart(text);
    float value = 0;
    auto r = std::from_chars(s.data(), s.data() + s.size(), value);
    if (r.ec == std::errc()) result = value;
  });
  return result;
}

void csvp_cb1(void* field, std::size_t length, void* state) noexcept {
  auto& r = *static_cast<csvp_record*>(state);
  bool ok = Guarded({"csvp_cb1"}, [&] {
    if (r.fieldCount < 5) ++r.fieldCount;  // fields after the fourth are ignored
    if (g_probe != nullptr) g_probe(1);
    // The parser appends a NUL; the field is the text before the first NUL.
    // The reader says when no NUL has been read, which spares the search.
    const char* s = field != nullptr ? static_cast<const char*>(field) : "";
    std::size_t size = field != nullptr ? length : 0;
    if (r.scanForNul) {
      if (const void* nul = std::memchr(s, '\0', size); nul != nullptr)
        size = static_cast<std::size_t>(static_cast<const char*>(nul) - s);
    }
    std::string_view text(s, size);
    switch (r.fieldCount) {
      case 1:
        r.field1.assign(text);
        r.field2.clear();
        r.field3.clear();
        r.field4.clear();
        break;
      case 2: r.field2.assign(text); break;
      case 3: r.field3.assign(text); break;
      case 4: r.field4.assign(text); break;
      default: break;
    }
  });
  if (!ok) r.dropped = true;
}

void csvp_cb2(int, void* state) noexcept {
  auto& r = *static_cast<csvp_record*>(state);
  r.fieldCount = 0;
  if (std::exchange(r.dropped, false)) return;
  Guarded({"csvp_cb2"}, [&] {
    if (g_probe != nullptr) g_probe(2);
    StoreRecord(r);
  });
}

SaveDataReader::~SaveDataReader() {
  if (initialised_) csv_free(&parser_);
}

int SaveDataReader::Init() {
  if (initialised_) csv_free(&parser_);
  int rc = csv_init(&parser_, CSV_APPEND_NULL);
  initialised_ = rc == 0;
  return rc;
}

void SaveDataReader::ParseLine(const char* line, std::size_t sizeWithLf) {
  // A spreadsheet saving "CSV UTF-8" puts a byte-order mark first.
  constexpr std::string_view kBom = "\xEF\xBB\xBF";
  if (std::exchange(firstLine_, false) && std::string_view(line, sizeWithLf).starts_with(kBom)) {
    LogMessage("Skipped the byte-order mark at the start of the file");
    line += kBom.size();
    sizeWithLf -= kBom.size();
  }
  if (!record_.scanForNul && std::memchr(line, '\0', sizeWithLf) != nullptr)
    record_.scanForNul = true;
  // libcsv grows its field buffer by a fixed block, and every growth may
  // copy the buffer. A block as large as the buffer and the line keeps a
  // long field linear to read: one growth per line at most, and a field that
  // spans lines doubles the buffer.
  csv_set_blk_size(&parser_, std::max({kMinBlock, csv_get_buffer_size(&parser_), sizeWithLf}));
  if (csv_parse(&parser_, line, sizeWithLf, csvp_cb1, csvp_cb2, &record_) != sizeWithLf)
    throw std::bad_alloc();  // the only failure outside strict mode
}

void SaveDataReader::Feed(char* data, std::size_t size) {
  char* p = data;
  char* const end = data + size;
  while (p < end) {
    char* lf = static_cast<char*>(std::memchr(p, '\n', static_cast<std::size_t>(end - p)));
    if (lf == nullptr) {
      carry_.append(p, end);
      return;
    }
    if (!carry_.empty()) {
      carry_.append(p, lf);
      ParseCarry();
    } else {
      // The line is whole in this chunk: a CR before the LF becomes the
      // line feed handed on, and the LF itself is left out.
      char* last = lf;
      if (lf > p && lf[-1] == '\r') {
        --last;
        *last = '\n';
      }
      ParseLine(p, static_cast<std::size_t>(last - p) + 1);
    }
    p = lf + 1;
  }
}

void SaveDataReader::ParseCarry() {
  if (carry_.back() == '\r')
    carry_.back() = '\n';
  else
    carry_.push_back('\n');
  ParseLine(carry_.data(), carry_.size());
  carry_.clear();
}

void SaveDataReader::Finish() {
  if (!carry_.empty()) ParseCarry();
  // Every line handed on ended with a line feed, so whatever the parser
  // still holds lies inside a quoted field that never closed: the file was
  // cut off. Its record is dropped, not stored with a torn key or value.
  bool pending = record_.fieldCount > 0;
  if (initialised_) {
    csv_fini(
        &parser_, [](void*, std::size_t, void* p) { *static_cast<bool*>(p) = true; },
        [](int, void* p) { *static_cast<bool*>(p) = true; }, &pending);
  }
  record_.fieldCount = 0;
  record_.dropped = false;
  if (pending) LogMessage("The file ends inside a quoted field; its last record is skipped");
  if (record_.skippedModRows > 0)
    LogMessage("Skipped %u mod-index rows whose index is not a number from 0 to 255",
               static_cast<unsigned>(record_.skippedModRows));
  record_.skippedModRows = 0;
}

bool SaveDataReader::ReadFile(std::FILE* file) {
  std::vector<char> chunk(std::size_t{1} << 16);
  for (;;) {
    std::size_t n = std::fread(chunk.data(), 1, chunk.size(), file);
    if (n > 0) Feed(chunk.data(), n);
    if (n < chunk.size()) {
      if (std::ferror(file)) return false;
      break;
    }
  }
  Finish();
  return true;
}

}  // namespace cv::persist
