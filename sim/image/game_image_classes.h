// The classes the miniature game image carries RTTI for: each with its
// type descriptor, decorated name, vtable and bases, as the game's RTTI
// lists them (game-facts §2.4, §3d).
#pragma once

#include <cstdint>
#include <utility>
#include <vector>

#include "sim/image/game_image.h"

namespace cv::sim::image {

struct Base {
  std::uint32_t td;
  std::int32_t displacement;
};
struct ClassInfo {
  Class c;
  std::uint32_t td;
  const char* name;
  std::uint32_t vtable;  // 0: abstract, no objects
  std::vector<Base> bases;
};

// Every class with its bases, most derived first, as MSVC lists them.
const std::vector<ClassInfo>& Classes();
// Where the class's objects hold a part with a vtable of its own: a base
// that does not sit at offset 0. Each such part's vtable has a locator of
// its own, giving the part's offset in the complete object (game-facts
// §3d), so a pointer to the part carries a vtable of the game's that is
// not the class's own.
std::vector<std::uint32_t> PartsOf(Class c);
// Type descriptors of classes that only appear as bases.
const std::vector<std::pair<std::uint32_t, const char*>>& AbstractTypes();

}  // namespace cv::sim::image
