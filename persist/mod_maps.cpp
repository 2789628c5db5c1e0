#include "persist/mod_maps.h"

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

ModMaps& TheModMaps() {
  static ModMaps maps;
  return maps;
}

}  // namespace cv::persist
