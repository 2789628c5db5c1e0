// The candidates the bench compares behind one small interface: the store as
// built (on either map family) and the baseline, a nested
// std::unordered_map<uint32_t, std::unordered_map<std::string, float>> that
// builds a folded std::string key per call.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <unordered_map>

#include "ev/store.h"

namespace cv::bench {

template <class Maps>
class StoreAdapter {
 public:
  const float* Find(EvOwnerId owner, std::string_view text) const {
    return store_.template Find<EvKind::Float>(owner, FoldedKey(text));
  }
  float& Entry(EvOwnerId owner, std::string_view text) {
    return store_.template Entry<EvKind::Float>(owner, FoldedKey(text));
  }
  std::size_t EraseSubkeys(EvOwnerId owner, std::string_view text) {
    return store_.EraseSubkeys(EvKind::Float, owner, FoldedKey(text));
  }
  template <class Visitor>
  void ForEachOwnerEntry(EvOwnerId owner, Visitor&& visit) const {
    store_.template ForEachOwnerEntry<EvKind::Float>(owner, visit);
  }

 private:
  BasicEvStore<Maps> store_;
};

class Baseline {
 public:
  const float* Find(EvOwnerId owner, std::string_view text) const {
    std::string key = Fold(text);
    auto o = owners_.find(owner);
    if (o == owners_.end()) return nullptr;
    auto e = o->second.find(key);
    return e == o->second.end() ? nullptr : &e->second;
  }
  float& Entry(EvOwnerId owner, std::string_view text) { return owners_[owner][Fold(text)]; }
  std::size_t EraseSubkeys(EvOwnerId owner, std::string_view text) {
    std::string prefix = Fold(text);
    auto o = owners_.find(owner);
    if (o == owners_.end()) return 0;
    std::size_t n = 0;
    for (auto it = o->second.begin(); it != o->second.end();) {
      if (it->first.compare(0, prefix.size(), prefix) == 0) {
        it = o->second.erase(it);
        ++n;
      } else {
        ++it;
      }
    }
    return n;
  }
  template <class Visitor>
  void ForEachOwnerEntry(EvOwnerId owner, Visitor&& visit) const {
    auto o = owners_.find(owner);
    if (o == owners_.end()) return;
    for (const auto& [key, value] : o->second) visit(std::string_view(key), value);
  }

 private:
  static std::string Fold(std::string_view text) {
    std::string key(text);
    for (char& c : key)
      if (c >= 'A' && c <= 'Z') c = static_cast<char>(c + 0x20);
    return key;
  }
  std::unordered_map<std::uint32_t, std::unordered_map<std::string, float>> owners_;
};

}  // namespace cv::bench
