// The save-data writer: each row is sized exactly, then formatted straight
// into the writer's buffer, which goes to the sink whenever the next row does
// not fit.
#include <algorithm>
#include <charconv>
#include <cstring>

#include "persist/savedata.h"

namespace cv::persist {

namespace {

// The line end of the file on every platform.
constexpr std::string_view kCrLf = "\r\n";

// A number's text, kept in the caller's frame while its row is written.
struct Digits {
  char buf[64];
  std::size_t size = 0;
  std::string_view text() const { return {buf, size}; }
};

Digits UintText(std::uint32_t value) {
  Digits d;
  d.size = static_cast<std::size_t>(std::to_chars(d.buf, d.buf + sizeof d.buf, value).ptr - d.buf);
  return d;
}

// The shortest text that reads back to the same float.
Digits FloatText(float value) {
  Digits d;
  d.size = static_cast<std::size_t>(std::to_chars(d.buf, d.buf + sizeof d.buf, value).ptr - d.buf);
  return d;
}

// csv_write takes no null source, which an empty view may carry.
const char* Source(std::string_view text) { return text.empty() ? "" : text.data(); }

std::size_t LineFeeds(std::string_view text) {
  return static_cast<std::size_t>(std::count(text.begin(), text.end(), '\n'));
}

// The quoted text's exact size: what csv_write writes (the quotes, and each
// quote inside doubled), and a CR before each line feed.
std::size_t QuotedSize(std::string_view text, std::size_t lineFeeds) {
  return csv_write(nullptr, 0, Source(text), text.size()) + lineFeeds;
}

// Writes the quoted text into exactly size bytes at dest. A line feed inside
// the quotes is written as CR LF like every other line end; the reader drops
// the CR of each CR LF, so the text comes back whole.
void WriteQuoted(char* dest, std::string_view text, std::size_t size, std::size_t lineFeeds) {
  const std::size_t written = size - lineFeeds;
  csv_write(dest, written, Source(text), text.size());
  if (lineFeeds == 0) return;
  // Spread out from the back, in place: each line feed takes one more byte.
  char* from = dest + written;
  char* to = dest + size;
  while (from != to) {
    const char c = *--from;
    *--to = c;
    if (c == '\n') *--to = '\r';
  }
}

bool AppendToString(void* context, const char* data, std::size_t size) {
  static_cast<std::string*>(context)->append(data, size);
  return true;
}

// The rows appended to a string, through a writer with a small buffer.
template <class Rows>
void AppendRows(std::string& out, Rows&& rows) {
  SaveDataWriter writer({&AppendToString, &out}, std::size_t{1} << 16);
  rows(writer);
  writer.Finish();
}

}  // namespace

void SaveDataWriter::Row(std::initializer_list<Piece> pieces) {
  if (failed_) return;
  constexpr std::size_t kMostPieces = 8;
  std::size_t sizes[kMostPieces];
  std::size_t feeds[kMostPieces];
  std::size_t total = 0;
  std::size_t n = 0;
  for (const Piece& p : pieces) {
    feeds[n] = p.quoted ? LineFeeds(p.text) : 0;
    sizes[n] = p.quoted ? QuotedSize(p.text, feeds[n]) : p.text.size();
    total += sizes[n++];
  }
  // The row goes into the buffer when it fits there, after the buffer was
  // handed on if need be; a row larger than the whole buffer gets a block
  // of exactly its size.
  std::unique_ptr<char[]> large;
  char* dest = nullptr;
  if (capacity_ - used_ < total && !Flush()) return;
  if (total <= capacity_) {
    if (buffer_ == nullptr) buffer_.reset(new char[capacity_]);
    dest = buffer_.get() + used_;
  } else {
    large.reset(new char[total]);
    dest = large.get();
  }
  char* at = dest;
  n = 0;
  for (const Piece& p : pieces) {
    if (p.quoted)
      WriteQuoted(at, p.text, sizes[n], feeds[n]);
    else if (!p.text.empty())
      std::memcpy(at, p.text.data(), p.text.size());
    at += sizes[n++];
  }
  if (large == nullptr) {
    used_ += total;
  } else if (!sink_.write(sink_.context, dest, total)) {
    failed_ = true;
  }
}

bool SaveDataWriter::Flush() {
  if (failed_) return false;
  if (used_ > 0 && !sink_.write(sink_.context, buffer_.get(), used_)) failed_ = true;
  used_ = 0;
  return !failed_;
}

bool SaveDataWriter::Finish() { return Flush(); }

void SaveDataWriter::ModRow(std::uint32_t index, std::string_view modName) {
  const Digits i = UintText(index);
  Row({{"IX, "}, {i.text()}, {", "}, {modName, true}, {","}, {kCrLf}});
}

void SaveDataWriter::StringRows(const EvStore& store) {
  store.ForEachEntry<EvKind::String>(
      [&](EvOwnerId owner, std::string_view key, const std::string& value) {
        if (value.empty()) return;
        const Digits o = UintText(owner);
        Row({{"ST, "}, {o.text()}, {", "}, {key, true}, {", "}, {value, true}, {kCrLf}});
      });
}

void SaveDataWriter::FormRows(const EvStore& store) {
  store.ForEachEntry<EvKind::Form>([&](EvOwnerId owner, std::string_view key, std::uint32_t value) {
    if (value == 0) return;
    const Digits o = UintText(owner);
    const Digits v = UintText(value);
    Row({{"FO, "}, {o.text()}, {", "}, {key, true}, {", "}, {v.text()}, {kCrLf}});
  });
}

void SaveDataWriter::FloatRows(const EvStore& store) {
  store.ForEachEntry<EvKind::Float>([&](EvOwnerId owner, std::string_view key, float value) {
    if (value == 0.0f) return;  // both zeros; a NaN is written
    const Digits o = UintText(owner);
    const Digits v = FloatText(value);
    Row({{"FL, "}, {o.text()}, {", "}, {key, true}, {", "}, {v.text()}, {kCrLf}});
  });
}

void AppendQuoted(std::string& out, std::string_view text) {
  const std::size_t feeds = LineFeeds(text);
  const std::size_t size = QuotedSize(text, feeds);
  const std::size_t start = out.size();
  out.resize(start + size);
  WriteQuoted(out.data() + start, text, size, feeds);
}

void AppendFloat(std::string& out, float value) { out += FloatText(value).text(); }

void AppendModRow(std::string& out, std::uint32_t index, std::string_view modName) {
  AppendRows(out, [&](SaveDataWriter& w) { w.ModRow(index, modName); });
}

void AppendStringRows(std::string& out, const EvStore& store) {
  AppendRows(out, [&](SaveDataWriter& w) { w.StringRows(store); });
}

void AppendFormRows(std::string& out, const EvStore& store) {
  AppendRows(out, [&](SaveDataWriter& w) { w.FormRows(store); });
}

void AppendFloatRows(std::string& out, const EvStore& store) {
  AppendRows(out, [&](SaveDataWriter& w) { w.FloatRows(store); });
}

}  // namespace cv::persist
