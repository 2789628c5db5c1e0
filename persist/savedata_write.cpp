// The save-data writer: rows appended to one buffer that the caller writes
// to disk in one go.
#include <charconv>
#include <cstring>

#include "persist/savedata.h"

namespace cv::persist {

namespace {

// The line end of the file on every platform.
constexpr std::string_view kCrLf = "\r\n";

void AppendUint(std::string& out, std::uint32_t value) {
  char buf[16];
  auto r = std::to_chars(buf, buf + sizeof buf, value);
  out.append(buf, r.ptr);
}

// "TAG, owner, "key", " -- the common start of a value row.
void AppendRowStart(std::string& out, std::string_view tag, EvOwnerId owner, std::string_view key) {
  out += tag;
  out += ", ";
  AppendUint(out, owner);
  out += ", ";
  AppendQuoted(out, key);
  out += ", ";
}

}  // namespace

void AppendQuoted(std::string& out, std::string_view text) {
  const std::size_t start = out.size();
  // Every byte doubled at worst, plus the two quotes.
  out.resize(start + 2 * text.size() + 2);
  std::size_t n = csv_write(out.data() + start, out.size() - start, text.data(), text.size());
  out.resize(start + n);
  if (text.find('\n') == std::string_view::npos) return;
  // A line feed inside the quotes is written as CR LF like every other line
  // end; the reader drops the CR of each CR LF, so the text comes back whole.
  std::string quoted = out.substr(start);
  out.resize(start);
  for (char c : quoted) {
    if (c == '\n')
      out += kCrLf;
    else
      out += c;
  }
}

void AppendFloat(std::string& out, float value) {
  char buf[64];
  auto r = std::to_chars(buf, buf + sizeof buf, value);
  out.append(buf, r.ptr);
}

void AppendModRow(std::string& out, std::uint32_t index, std::string_view modName) {
  out += "IX, ";
  AppendUint(out, index);
  out += ", ";
  AppendQuoted(out, modName);
  out += ',';
  out += kCrLf;
}

void AppendStringRows(std::string& out, const EvStore& store) {
  store.ForEachEntry<EvKind::String>(
      [&](EvOwnerId owner, std::string_view key, const std::string& value) {
        if (value.empty()) return;
        AppendRowStart(out, "ST", owner, key);
        AppendQuoted(out, value);
        out += kCrLf;
      });
}

void AppendFormRows(std::string& out, const EvStore& store) {
  store.ForEachEntry<EvKind::Form>([&](EvOwnerId owner, std::string_view key, std::uint32_t value) {
    if (value == 0) return;
    AppendRowStart(out, "FO", owner, key);
    AppendUint(out, value);
    out += kCrLf;
  });
}

void AppendFloatRows(std::string& out, const EvStore& store) {
  store.ForEachEntry<EvKind::Float>([&](EvOwnerId owner, std::string_view key, float value) {
    if (value == 0.0f) return;  // both zeros; a NaN is written
    AppendRowStart(out, "FL", owner, key);
    AppendFloat(out, value);
    out += kCrLf;
  });
}

}  // namespace cv::persist
