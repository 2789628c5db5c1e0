// The two mod maps that move saved form ids to the current load order.
//
// savedModNames: mod index as written in a save-data file -> mod file name
// (from the file's "IX" rows). loadedModIndices: mod file name -> load-order
// index in the running game. A saved id keeps its low 24 bits and gets the
// current index of the mod file that had its top byte when it was saved.
//
// Saved names match loaded ones as the game and Windows match plug-in file
// names: without regard to letter case, so a mod whose file was renamed
// from mymod.esp to MyMod.esp keeps its values. An exact match wins.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <utility>
#include <vector>

namespace cv::persist {

// Top byte of the forms the game makes at run time; "dynamic" in both maps.
constexpr std::uint32_t kDynamicModIndex = 255;
inline constexpr std::string_view kDynamicModName = "dynamic";

class ModMaps {
 public:
  ModMaps() { Reset(); }

  // Empties both maps and seeds the dynamic-forms entry in each.
  void Reset();

  void SetSavedName(std::uint32_t savedIndex, std::string_view name);
  // Enters a loaded mod; a name no load may match (see IsMatchableModName)
  // is left out, so that nothing saved can map to that mod.
  void SetLoaded(std::string_view name, std::uint32_t index);

  // The name saved for a mod index; adds the index with an empty name when
  // the file had no "IX" row for it.
  const std::string& SavedName(std::uint32_t savedIndex);

  // The id in the current load order, or nothing when its mod is not loaded.
  std::optional<std::uint32_t> Remap(std::uint32_t savedId) {
    std::int32_t now = cache_[savedId >> 24];
    if (now == kUnknown) now = Resolve(savedId >> 24);
    if (now == kMissing) return std::nullopt;
    return (static_cast<std::uint32_t>(now) << 24) | (savedId & 0x00FFFFFFu);
  }

  const std::unordered_map<std::uint32_t, std::string>& savedModNames() const {
    return savedModNames_;
  }
  const std::unordered_map<std::string, std::uint32_t>& loadedModIndices() const {
    return loadedModIndices_;
  }

  // Whether two mod file names are one file's: equal once A to Z are folded
  // to a to z.
  static bool SameModFile(std::string_view a, std::string_view b) noexcept;

 private:
  // Per saved top byte: the current index, kMissing, or kUnknown when the
  // maps changed since it was last worked out. Spares a name hash per row.
  static constexpr std::int32_t kUnknown = -2;
  static constexpr std::int32_t kMissing = -1;
  void Forget() { cache_.fill(kUnknown); }
  std::int32_t Resolve(std::uint32_t savedIndex);
  // The loaded mod whose name differs from saved in letter case only (the
  // lowest load-order index when there are several), or the end.
  std::unordered_map<std::string, std::uint32_t>::const_iterator MatchIgnoringCase(
      std::string_view saved) const;

  std::unordered_map<std::uint32_t, std::string> savedModNames_;
  std::unordered_map<std::string, std::uint32_t> loadedModIndices_;
  // The pairs (saved name, loaded name) matched without regard to case and
  // logged since the maps were last emptied: one line each per load.
  std::vector<std::pair<std::string, std::string>> caseMatches_;
  std::array<std::int32_t, 256> cache_{};
};

// Whether a load may match a mod by this name: a mod whose name the game
// could not give ("") may not, nor a name that ModNameForSave stands in for
// one (it begins with '<', which no file name on the game's system holds).
bool IsMatchableModName(std::string_view name);

// The name a save writes in the "IX" row of the mod at a load-order index,
// given the name the game reports for it ("" when it could not be read):
// that name, or for a name no load may match, "<unreadable mod N>", logged
// in one line. So two such mods never share a name, and their values are
// never mapped onto another mod's forms when the file is loaded.
std::string ModNameForSave(std::uint32_t index, std::string_view gameName);

// The process-wide maps used by save and load.
ModMaps& TheModMaps();

}  // namespace cv::persist
