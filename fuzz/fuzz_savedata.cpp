// The save-data reader and writer.
//
// Input: one mode byte, then
//   mode even: a save-data file, any bytes. It is read once whole and once
//     in chunks of (second byte % 64 + 1) bytes; both reads must give the
//     same store and mod maps, and neither may crash. What was read is then
//     saved and the save read again: it must give the same store, less the
//     zero/empty entries that are never written.
//   mode odd: entries to round-trip, separated by 0xFF bytes. An entry is a
//     kind byte, four owner bytes, then the key and the value separated by
//     the first 0xFE byte (a float value takes the first four value bytes as
//     its bits, a form value as its id). Written and read back, every
//     non-empty entry must come back exactly, and nothing else.
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <map>
#include <string>
#include <string_view>
#include <tuple>

#include "ev/store.h"
#include "log/log.h"
#include "persist/mod_maps.h"
#include "persist/savedata.h"

namespace {

using cv::EvKind;
using cv::EvStore;
using cv::persist::TheModMaps;

void Check(bool ok) {
  if (!ok) std::abort();
}

using Snapshot = std::map<std::tuple<int, std::uint32_t, std::string>, std::string>;

Snapshot Take(const EvStore& s) {
  Snapshot out;
  s.ForEachEntry<EvKind::String>([&](std::uint32_t o, std::string_view k, const std::string& v) {
    out[{0, o, std::string(k)}] = v;
  });
  s.ForEachEntry<EvKind::Form>([&](std::uint32_t o, std::string_view k, std::uint32_t v) {
    out[{1, o, std::string(k)}] = std::to_string(v);
  });
  s.ForEachEntry<EvKind::Float>([&](std::uint32_t o, std::string_view k, float v) {
    std::uint32_t bits;
    std::memcpy(&bits, &v, sizeof bits);
    out[{2, o, std::string(k)}] = std::isnan(v) ? std::string("nan") : std::to_string(bits);
  });
  return out;
}

// Reads text as a save-data file into the process-wide store and maps.
Snapshot Read(std::string text, std::size_t chunk) {
  cv::TheStore().ClearAll();
  TheModMaps().Reset();
  TheModMaps().SetLoaded("A.esm", 0);
  TheModMaps().SetLoaded("B.esp", 7);
  cv::persist::SaveDataReader reader;
  Check(reader.Init() == 0);
  for (std::size_t pos = 0; pos < text.size(); pos += chunk)
    reader.Feed(text.data() + pos, std::min(chunk, text.size() - pos));
  reader.Finish();
  Snapshot s = Take(cv::TheStore());
  for (const auto& [index, name] : TheModMaps().savedModNames()) s[{3, index, name}] = "";
  return s;
}

// The entries of a snapshot (the mod maps left out), less zero/empty ones.
Snapshot Entries(const Snapshot& s, bool withZeroValues) {
  Snapshot out;
  for (const auto& [k, v] : s) {
    const int kind = std::get<0>(k);
    const bool zero = (kind == 0 && v.empty()) || (kind == 1 && v == "0") ||
                      (kind == 2 && (v == "0" || v == "2147483648"));
    if (kind < 3 && (withZeroValues || !zero)) out[k] = v;
  }
  return out;
}

void FileMode(std::string_view data) {
  if (data.empty()) return;
  std::size_t chunk = static_cast<unsigned char>(data[0]) % 64 + 1;
  std::string file(data.substr(1));
  const Snapshot read = Read(file, file.size() + 1);
  Check(read == Read(file, chunk));

  // Save what was read under the same load order, and load the save.
  std::string saved;
  cv::persist::AppendModRow(saved, 0, "A.esm");
  cv::persist::AppendModRow(saved, 7, "B.esp");
  cv::persist::AppendStringRows(saved, cv::TheStore());
  cv::persist::AppendFormRows(saved, cv::TheStore());
  cv::persist::AppendFloatRows(saved, cv::TheStore());
  const Snapshot reloaded = Entries(Read(saved, saved.size() + 1), true);
  Check(reloaded == Entries(read, false));
}

void RoundTripMode(std::string_view data) {
  EvStore& store = cv::TheStore();
  store.ClearAll();
  while (!data.empty()) {
    std::size_t end = data.find('\xFF');
    std::string_view entry = data.substr(0, end);
    data = end == std::string_view::npos ? std::string_view() : data.substr(end + 1);
    if (entry.size() < 5) continue;
    int kind = static_cast<unsigned char>(entry[0]) % 3;
    std::uint32_t owner;
    std::memcpy(&owner, entry.data() + 1, 4);
    std::string_view rest = entry.substr(5);
    std::size_t cut = rest.find('\xFE');
    // Keys and values never hold a NUL: commands end their texts there.
    std::string key(rest.substr(0, cut)), value;
    if (cut != std::string_view::npos) value = std::string(rest.substr(cut + 1));
    for (char& c : key) c = c == '\0' ? 'x' : c;
    for (char& c : value) c = c == '\0' ? 'x' : c;
    std::uint32_t bits = 0;
    std::memcpy(&bits, value.data(), std::min<std::size_t>(4, value.size()));
    if (kind == 0) store.Entry<EvKind::String>(owner, key) = value;
    if (kind == 1) store.Entry<EvKind::Form>(owner, key) = bits;
    if (kind == 2) std::memcpy(&store.Entry<EvKind::Float>(owner, key), &bits, 4);
  }
  std::string file;
  // Every mod index names a mod of its own, loaded at the same index.
  auto modName = [](std::uint32_t i) { return std::string(1, 'M') + std::to_string(i); };
  for (std::uint32_t i = 0; i < 255; ++i) cv::persist::AppendModRow(file, i, modName(i));
  cv::persist::AppendStringRows(file, store);
  cv::persist::AppendFormRows(file, store);
  cv::persist::AppendFloatRows(file, store);

  Snapshot expected;
  for (auto& [k, v] : Take(store)) {
    bool empty = v.empty() && std::get<0>(k) == 0;
    bool zero = (std::get<0>(k) == 1 && v == "0") ||
                (std::get<0>(k) == 2 && (v == "0" || v == "2147483648"));
    if (!empty && !zero) expected[k] = v;
  }
  store.ClearAll();
  TheModMaps().Reset();
  for (std::uint32_t i = 0; i < 255; ++i) TheModMaps().SetLoaded(modName(i), i);
  cv::persist::SaveDataReader reader;
  Check(reader.Init() == 0);
  reader.Feed(file.data(), file.size());
  reader.Finish();
  Check(Take(store) == expected);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  // The reader logs what it skips; the fuzzer keeps the log off the disk.
  static const bool kLogClosed = (cv::LogClose(), true);
  (void)kLogClosed;
  if (size == 0) return 0;
  std::string_view rest(reinterpret_cast<const char*>(data + 1), size - 1);
  if ((data[0] & 1) == 0)
    FileMode(rest);
  else
    RoundTripMode(rest);
  return 0;
}
