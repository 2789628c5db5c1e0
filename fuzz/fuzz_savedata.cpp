// The save-data reader on arbitrary bytes: lines through libcsv, the field
// and record callbacks, the mod remapping and the store, as a load does it.
//
// Differential checks, not only "no crash":
//   - the bytes fed whole and fed in small chunks give the same store (the
//     reader's line carrying across chunks changes nothing);
//   - the store written back by the writer and read again under the same
//     load order is the store that was read, less the zero/empty entries
//     that are never written.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <map>
#include <string>
#include <tuple>
#include <vector>

#include "ev/store.h"
#include "log/log.h"
#include "persist/mod_maps.h"
#include "persist/savedata.h"

namespace {

void Check(bool ok) {
  if (!ok) std::abort();
}

// The running game's load order.
const char* const kLoadOrder[] = {"FalloutNV.esm", "A.esp", "B.esp"};

using Snapshot = std::map<std::tuple<int, std::uint32_t, std::string>, std::string>;

std::string SpellFloat(float f) {
  if (f != f) return "nan";  // a NaN comes back as a NaN, not bit for bit
  std::uint32_t bits;
  std::memcpy(&bits, &f, sizeof bits);
  return std::to_string(bits);
}

Snapshot Take(bool withZeroValues) {
  Snapshot s;
  const cv::EvStore& store = cv::TheStore();
  store.ForEachEntry<cv::EvKind::Float>([&](cv::EvOwnerId o, std::string_view k, float v) {
    if (withZeroValues || v != 0.0f) s[{0, o, std::string(k)}] = SpellFloat(v);
  });
  store.ForEachEntry<cv::EvKind::Form>([&](cv::EvOwnerId o, std::string_view k, std::uint32_t v) {
    if (withZeroValues || v != 0) s[{1, o, std::string(k)}] = std::to_string(v);
  });
  store.ForEachEntry<cv::EvKind::String>(
      [&](cv::EvOwnerId o, std::string_view k, const std::string& v) {
        if (withZeroValues || !v.empty()) s[{2, o, std::string(k)}] = v;
      });
  return s;
}

// A load as loadsettings does it: the store and the maps emptied, the load
// order recorded, then the bytes, in chunks of chunk bytes (0: whole).
void Load(const char* data, std::size_t size, std::size_t chunk) {
  cv::TheStore().ClearAll();
  cv::persist::ModMaps& maps = cv::persist::TheModMaps();
  maps.Reset();
  for (std::uint32_t i = 0; i < std::size(kLoadOrder); ++i) maps.SetLoaded(kLoadOrder[i], i);
  cv::persist::SaveDataReader reader;
  Check(reader.Init() == 0);
  std::vector<char> bytes(data, data + size);  // the reader may change them
  if (chunk == 0) chunk = size;
  for (std::size_t at = 0; at < size; at += chunk)
    reader.Feed(bytes.data() + at, std::min(chunk, size - at));
  reader.Finish();
}

std::string Save() {
  std::string out;
  for (std::uint32_t i = 0; i < std::size(kLoadOrder); ++i)
    cv::persist::AppendModRow(out, i, kLoadOrder[i]);
  cv::persist::AppendStringRows(out, cv::TheStore());
  cv::persist::AppendFormRows(out, cv::TheStore());
  cv::persist::AppendFloatRows(out, cv::TheStore());
  return out;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  static const bool kQuiet = (cv::LogClose(), true);  // nothing to disk
  (void)kQuiet;
  const char* text = reinterpret_cast<const char*>(data);

  Load(text, size, 0);
  const Snapshot read = Take(true);

  Load(text, size, 1 + size % 7);
  Check(Take(true) == read);

  const std::string written = Save();
  Load(written.data(), written.size(), 0);
  Check(Take(true) == Take(false));  // nothing zero or empty was written
  Snapshot expected;
  for (const auto& [key, value] : read) {
    const int kind = std::get<0>(key);
    const bool zero = kind == 0   ? value == "0" || value == "2147483648"  // +0.0, -0.0
                      : kind == 1 ? value == "0"
                                  : value.empty();
    if (!zero) expected.emplace(key, value);
  }
  Check(Take(true) == expected);

  cv::TheStore().ClearAll();
  cv::persist::TheModMaps().Reset();
  return 0;
}
