// Placeholder handler: answers success with the result 0 until the random
// command is built.
#include "plugin/random_command.h"

namespace cv::plugin {

bool GetRandom(const host::CommandArgs& a) {
  *a.result = 0;
  return true;
}

}  // namespace cv::plugin
