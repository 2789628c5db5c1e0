#include "persist/mod_maps.h"

#include "log/log.h"

namespace cv::persist {

void ModMaps::Reset() {
  savedModNames_.clear();
  loadedModIndices_.clear();
  savedModNames_[kDynamicModIndex] = std::string(kDynamicModName);
  loadedModIndices_[std::string(kDynamicModName)] = kDynamicModIndex;
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

std::int32_t ModMaps::Resolve(std::uint32_t savedIndex) {
  auto it = loadedModIndices_.find(SavedName(savedIndex));
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
