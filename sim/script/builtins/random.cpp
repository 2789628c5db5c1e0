// Random numbers: GetRandomPercent and Rand (script-language.md §7), drawn
// from the game state's Mersenne Twister, which --seed seeds (a fixed seed
// by default, so runs repeat). The raw 32-bit draws are the same with every
// standard library, so a seed gives the same numbers on every platform.
#include <utility>

#include "sim/script/builtins/registry.h"

namespace cv::sim::script {

namespace {

// GetRandomPercent (§7): an integer 0..99.
bool GetRandomPercent(CallContext& c) {
  c.result = Value::Number(static_cast<double>(c.services.game().random() % 100));
  return true;
}

// Rand min max (§7, Cmd_Rand_Execute): a float in [min, max), from the
// twister's genrand_real2 (a 32-bit draw / 2^32); min and max are swapped
// when max < min.
bool Rand(CallContext& c) {
  double lo = c.Number(0), hi = c.Number(1);
  if (hi < lo) std::swap(lo, hi);
  double unit = static_cast<double>(c.services.game().random()) * (1.0 / 4294967296.0);
  c.result = Value::Number(lo + unit * (hi - lo));
  return true;
}

}  // namespace

void RegisterRandom(Registry& r) {
  r.Add({"GetRandomPercent", "", {}, false, Returns::Number, GetRandomPercent});
  r.Add({"Rand", "", {{Param::Number}, {Param::Number}}, false, Returns::Number, Rand});
}

}  // namespace cv::sim::script
