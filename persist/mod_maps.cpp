#include "persist/mod_maps.h"

#include <algorithm>

#include "log/log.h"

namespace cv::persist {

namespace {

char FoldAscii(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }

}  // namespace

void ModMaps::Reset() {
  savedModNames_.clear();
  loadedModIndices_.clear();
  savedModNames_[kDynamicModIndex] = std::string(kDynamicModName);
  loadedModIndices_[std::string(kDynamicModName)] = kDynamicModIndex;
  caseMatches_.clear();
  Forget();
}

void ModMaps::SetSavedName(std::uint32_t savedIndex, std::string_view name) {
  savedModNames_[savedIndex] = std::string(name);
  Forget();
}

void ModMaps::SetLoaded(std::string_view name, std::uint32_t index) {
  if (!IsMatchableModName(name)) return;
  loadedModIndices_[std::string(name)] = index;
  Forget();
}

const std::string& ModMaps::SavedName(std::uint32_t savedIndex) {
  return savedModNames_[savedIndex];
}

// The game finds a plug-in by its file name, and Windows compares file names
// without regard to letter case. For the letters of plug-in names, A to Z,
// that compare is ASCII case folding, so that is what is done here, and
// nothing more: bytes beyond ASCII are in whatever code page the player's
// system uses, where folding them by any one table could pair two different
// files, so they must match as they stand.
bool ModMaps::SameModFile(std::string_view a, std::string_view b) noexcept {
  return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
           return FoldAscii(x) == FoldAscii(y);
         });
}

std::unordered_map<std::string, std::uint32_t>::const_iterator ModMaps::MatchIgnoringCase(
    std::string_view saved) const {
  auto best = loadedModIndices_.end();
  if (!IsMatchableModName(saved)) return best;  // "" and stand-ins match nothing
  for (auto it = loadedModIndices_.begin(); it != loadedModIndices_.end(); ++it)
    if (SameModFile(it->first, saved) &&
        (best == loadedModIndices_.end() || it->second < best->second))
      best = it;
  return best;
}

std::int32_t ModMaps::Resolve(std::uint32_t savedIndex) {
  const std::string& saved = SavedName(savedIndex);
  auto it = std::as_const(loadedModIndices_).find(saved);
  if (it == loadedModIndices_.end()) {
    it = MatchIgnoringCase(saved);
    if (it != loadedModIndices_.end()) {
      std::pair<std::string, std::string> match{saved, it->first};
      if (std::find(caseMatches_.begin(), caseMatches_.end(), match) == caseMatches_.end()) {
        LogMessage(
            "Mod %s of the save matched the loaded %s: their names differ in letter case only",
            saved.c_str(), it->first.c_str());
        caseMatches_.push_back(std::move(match));
      }
    }
  }
  std::int32_t now =
      it == loadedModIndices_.end() ? kMissing : static_cast<std::int32_t>(it->second & 0xFF);
  cache_[savedIndex] = now;
  return now;
}

bool IsMatchableModName(std::string_view name) { return !name.empty() && name.front() != '<'; }

std::string ModNameForSave(std::uint32_t index, std::string_view gameName) {
  if (IsMatchableModName(gameName)) return std::string(gameName);
  std::string standIn = "<unreadable mod " + std::to_string(index) + ">";
  LogMessage("Cannot read the name of mod %u: its values are saved under %s, which no load matches",
             static_cast<unsigned>(index), standIn.c_str());
  return standIn;
}

ModMaps& TheModMaps() {
  static ModMaps maps;
  return maps;
}

}  // namespace cv::persist
