// Registration of the store benchmarks. Every benchmark is named
// "Operation/size/candidate"; the candidates are these three.
#pragma once

namespace cv::bench {

inline constexpr const char* kBaseline = "baseline";
inline constexpr const char* kStdMaps = "unordered_map";
inline constexpr const char* kRobinMaps = "robin_map";

void RegisterStoreBenchmarks();

}  // namespace cv::bench
