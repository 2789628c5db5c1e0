// The library's only two exported symbols (see corvane.def / corvane.map).
#include "plugin/plugin.h"

extern "C" {

bool NVSEPlugin_Query(const NVSEInterface* nvse, PluginInfo* info) {
  return cv::plugin::Query(nvse, info);
}

bool NVSEPlugin_Load(const NVSEInterface* nvse) { return cv::plugin::Load(nvse); }

}  // extern "C"
