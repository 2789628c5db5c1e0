// Reading a save-data file through the plug-in's reader, line by line, so
// that every record and every log line gets the line where its record starts.
#include "tools/savedata/savedata_file.h"

#include <algorithm>
#include <cstdio>
#include <map>
#include <memory>
#include <string>
#include <tuple>
#include <utility>
#include <vector>

#include "ev/store.h"
#include "persist/mod_maps.h"
#include "persist/savedata.h"
#include "platform/console.h"
#include "platform/folders.h"
#include "tools/savedata/tool_log.h"

namespace cv::savedata {

namespace {

using Tag = persist::csvp_record::Tag;

struct ReadState {
  FileReport* report = nullptr;
  LogSink sink;
  int line = 0;                  // the line being fed
  int recordStart = 0;           // where the record in the parser began; 0: none
  std::vector<int> recordLines;  // where each record began, by its number
};

// Each complete record, before the reader stores it.
void Observe(const persist::csvp_record& r, std::int32_t, void* context) {
  auto& st = *static_cast<ReadState*>(context);
  const int start = st.recordStart != 0 ? st.recordStart : st.line;
  st.recordStart = 0;
  st.sink.line = start;
  if (st.recordLines.size() <= r.records) st.recordLines.resize(r.records + 1);
  st.recordLines[r.records] = start;
  FileReport& rep = *st.report;
  switch (r.tag) {
    case Tag::ModIndex:
      if (!r.modIndexValid) {
        rep.notes.push_back(
            {start, 0, "Skipped mod-index row: its index is not a number from 0 to 255"});
        return;
      }
      rep.mods.push_back({start, r.id, r.field3});
      // Every mod the file names counts as loaded where it was saved.
      persist::TheModMaps().SetLoaded(r.field3, r.id);
      return;
    case Tag::String:
      rep.values.push_back({start, Kind::String, r.id, r.field3, r.text, 0, 0});
      return;
    case Tag::Form:
      rep.values.push_back({start, Kind::Form, r.id, r.field3, {}, r.form, 0});
      return;
    case Tag::Float:
      rep.values.push_back({start, Kind::Float, r.id, r.field3, {}, 0, r.number});
      return;
    case Tag::None: return;  // the reader logs it
  }
}

// A row that came before its mod's "IX" row, stored at the end of the file:
// what the reader logs for it belongs to the row's own line.
void Replay(std::uint64_t record, void* context) {
  auto& st = *static_cast<ReadState*>(context);
  if (record < st.recordLines.size()) st.sink.line = st.recordLines[record];
}

// The length of the line at the start of text, with its line end (CR LF, LF
// or CR: each ends a record for the parser).
std::size_t LineLength(std::string_view text) {
  std::size_t end = text.find_first_of("\r\n");
  if (end == std::string_view::npos) return text.size();
  if (text[end] == '\r' && end + 1 < text.size() && text[end + 1] == '\n') return end + 2;
  return end + 1;
}

bool IsBlankLine(std::string_view line) {
  return line.find_first_not_of(" \t\r\n") == std::string_view::npos;
}

const char* KindTag(Kind kind) {
  switch (kind) {
    case Kind::String: return "ST";
    case Kind::Form: return "FO";
    case Kind::Float: return "FL";
  }
  return "";
}

// Notes every value row whose entry a later row stores again: the load
// keeps the later row's value, wherever the rows' mod-index rows stand.
// Rows the load loses (their mod is missing) store nothing and replace
// nothing. Owners are compared as the load stores them, remapped.
void NoteReplacedRows(FileReport& report) {
  persist::ModMaps& maps = persist::TheModMaps();
  std::map<std::tuple<Kind, std::uint32_t, std::string>, const ValueRow*> last;
  std::vector<std::pair<const ValueRow*, const ValueRow*>> replaced;
  for (const ValueRow& v : report.values) {
    const auto owner = maps.Remap(v.owner);
    if (!owner || (v.kind == Kind::Form && !maps.Remap(v.form))) continue;
    auto [it, added] = last.try_emplace({v.kind, *owner, v.key}, &v);
    if (!added) replaced.emplace_back(std::exchange(it->second, &v), &v);
  }
  for (const auto& [earlier, later] : replaced)
    report.notes.push_back({earlier->line, 0,
                            std::string("Replaced by the later ") + KindTag(later->kind) +
                                " row for '" + later->key + "' at line " +
                                std::to_string(later->line)});
  std::stable_sort(report.notes.begin(), report.notes.end(),
                   [](const Note& a, const Note& b) { return a.line < b.line; });
}

}  // namespace

void ReadSaveData(std::string_view bytes, FileReport& report) {
  report = FileReport{};
  persist::TheModMaps().Reset();
  TheStore().ClearAll();
  ReadState st;
  st.report = &report;
  st.sink.notes = &report.notes;
  SetLogSink(&st.sink);
  persist::SaveDataReader reader;
  if (int rc = reader.Init(); rc != 0) {
    report.notes.push_back({0, 0, "csv_init failed with " + std::to_string(rc)});
    SetLogSink(nullptr);
    return;
  }
  reader.Observe(Observe, &st, Replay);
  try {
    while (!bytes.empty()) {
      std::size_t n = LineLength(bytes);
      std::string_view line = bytes.substr(0, n);
      ++st.line;
      if (st.recordStart == 0 && !IsBlankLine(line)) st.recordStart = st.line;
      st.sink.line = st.recordStart != 0 ? st.recordStart : st.line;
      reader.Feed(line.data(), line.size());
      bytes.remove_prefix(n);
    }
    // What the end of the file brings belongs to the record still open, or
    // else to the last line.
    st.sink.line = st.recordStart != 0 ? st.recordStart : st.line;
    reader.Finish();
    NoteReplacedRows(report);
  } catch (const std::exception& e) {
    report.notes.push_back(
        {st.sink.line, 0, std::string("Exception in loadsettings: ") + e.what()});
  }
  report.lines = st.line;
  SetLogSink(nullptr);
  TheStore().ClearAll();
}

bool ReadSaveDataFile(const std::string& path, FileReport& report, std::string& error) {
  std::unique_ptr<std::FILE, int (*)(std::FILE*)> f(
      platform::OpenPathForReading(platform::PathFromUtf8(path)), std::fclose);
  if (!f) {
    error = "cannot open " + path;
    return false;
  }
  std::string bytes;
  char chunk[65536];
  for (std::size_t n; (n = std::fread(chunk, 1, sizeof chunk, f.get())) > 0;)
    bytes.append(chunk, n);
  if (std::ferror(f.get())) {
    error = "cannot read " + path;
    return false;
  }
  ReadSaveData(bytes, report);
  return true;
}

std::string ModName(const FileReport& report, std::uint32_t id) {
  const std::uint32_t index = id >> 24;
  // A later row for the same index replaces an earlier one, as in the loader.
  for (auto m = report.mods.rbegin(); m != report.mods.rend(); ++m)
    if (m->index == index) return m->name;
  if (index == persist::kDynamicModIndex) return std::string(persist::kDynamicModName);
  return {};
}

}  // namespace cv::savedata
