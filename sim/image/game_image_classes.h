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
// Type descriptors of classes that only appear as bases.
const std::vector<std::pair<std::uint32_t, const char*>>& AbstractTypes();

}  // namespace cv::sim::image
