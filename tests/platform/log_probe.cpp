// Loads the plug-in library as the host does and asks it to identify itself
// for the supported runtime: its log (opened when the library loads) gets
// "Standard Corvane ready". Exit 0 when the plug-in accepted.
#include <cstdio>
#include <string>

#include "host/nvse_records.h"
#include "platform/dynlib.h"

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: log_probe PLUGIN\n");
    return 2;
  }
  cv::platform::PluginEntryPoints entry;
  std::string error;
  if (!cv::platform::LoadPluginLibrary(argv[1], entry, error)) {
    std::fprintf(stderr, "log_probe: %s\n", error.c_str());
    return 3;
  }
  NVSEInterface nvse{};
  nvse.runtimeVersion = 0x040020D0;
  PluginInfo info{};
  return entry.query(&nvse, &info) ? 0 : 1;
}
