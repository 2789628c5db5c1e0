// Skeleton names: the folder that holds an actor's skeleton model file.
#pragma once

#include <cstddef>
#include <optional>
#include <string_view>
#include <vector>

#include "host/nvse_records.h"

namespace cv::queries {

// Model paths longer than this have no name (the working buffer is 512 bytes).
constexpr std::size_t kMaxSkeletonPathLength = 511;

struct SkeletonPath {
  // The path's components in order; views into the path that was split.
  std::vector<std::string_view> components;
  // The next-to-last component; none with fewer than two components.
  std::optional<std::string_view> name;
};

// Splits a model path at every slash and backslash. A run of separators
// counts as one, and separators at either end make no empty component.
// A path longer than kMaxSkeletonPathLength has no components and no name.
SkeletonPath SplitSkeletonPath(std::string_view path);

// Compares two texts with A-Z folded onto a-z and every other byte as it is:
// 0 when equal, otherwise the difference of the first differing bytes (as
// unsigned bytes after folding; the end of the shorter text counts as 0).
int FoldedCompare(std::string_view a, std::string_view b) noexcept;

struct SkeletonLookup {
  // The reference's base form is an actor base form.
  bool actorBase = false;
  // The skeleton name; a view into the game's model path.
  std::optional<std::string_view> name;
};

// The skeleton name of a reference, writing one "\tIDX %d is %s" log line
// per path component.
SkeletonLookup LookUpSkeleton(TESObjectREFR* ref);

}  // namespace cv::queries
