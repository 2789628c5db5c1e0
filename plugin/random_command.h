// CV_GetRandom: a uniformly drawn integer in a closed range.
#pragma once

#include <cstdint>
#include <functional>

#include "host/host.h"

namespace cv::plugin {

bool GetRandom(const host::CommandArgs& a);

}  // namespace cv::plugin
