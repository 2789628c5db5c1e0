// Key folding and matching against a plain reference model.
//
// Input: one byte selecting the match mode, then two keys separated by the
// first 0xFF byte (the stored key, then the given key).
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "ev/store.h"

namespace {

std::string ModelFold(std::string_view s) {
  std::string out;
  for (unsigned char c : s) {
    if (c == 0) break;
    out.push_back(c >= 'A' && c <= 'Z' ? static_cast<char>(c | 0x20) : static_cast<char>(c));
  }
  return out;
}

bool ModelMatches(const std::string& stored, const std::string& given, bool exact) {
  if (exact) return stored == given;
  if (given.size() > stored.size()) return false;
  for (std::size_t i = 0; i < given.size(); ++i)
    if (stored[i] != given[i]) return false;
  return true;
}

void Check(bool ok) {
  if (!ok) std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size == 0) return 0;
  bool exact = (data[0] & 1) != 0;
  std::string_view rest(reinterpret_cast<const char*>(data + 1), size - 1);
  std::size_t cut = rest.find('\xFF');
  std::string_view a = rest.substr(0, cut);
  std::string_view b = cut == std::string_view::npos ? std::string_view() : rest.substr(cut + 1);

  std::string fa = ModelFold(a), fb = ModelFold(b);
  Check(cv::NormalizeKey(a) == fa);
  Check(cv::NormalizeKey(b) == fb);
  // The stack-buffer fold agrees with the owning fold up to the key limit.
  cv::FoldedKey ka(a);
  Check(ka.view() == std::string_view(fa).substr(0, cv::kMaxKeyLength));
  // Folding is idempotent.
  Check(cv::NormalizeKey(fa) == fa);

  cv::EvMatch m = exact ? cv::EvMatch::Exact : cv::EvMatch::Subkeys;
  Check(cv::KeyMatches(fa, fb, m) == ModelMatches(fa, fb, exact));
  // A key is a subkey of itself, and exact implies subkey.
  Check(cv::KeyMatches(fa, fa, cv::EvMatch::Subkeys));
  if (cv::KeyMatches(fa, fb, cv::EvMatch::Exact))
    Check(cv::KeyMatches(fa, fb, cv::EvMatch::Subkeys));

  // The store finds by folded key exactly what was entered under it.
  cv::EvStore store;
  store.Entry<cv::EvKind::Float>(1, fa) = 1.0f;
  const float* found = store.Find<cv::EvKind::Float>(1, cv::FoldedKey(b));
  Check((found != nullptr) == (fa == cv::FoldedKey(b).view()));
  return 0;
}
