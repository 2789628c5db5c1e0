// Loads the plug-in library as the host does and asks it to identify itself
// for the supported runtime: its log (opened when the library loads) gets
// "Standard Corvane ready". With "load", it then loads the plug-in in the
// game, as a host that offers no interfaces and a program with no game in
// it. Exit 0 when the plug-in accepted.
#include <cstdio>
#include <string>

#include "sim/host/plugin_library.h"

int main(int argc, char** argv) {
  const bool load = argc == 3 && std::string(argv[2]) == "load";
  if (argc != 2 && !load) {
    std::fprintf(stderr, "usage: log_probe PLUGIN [load]\n");
    return 2;
  }
  cv::sim::PluginEntryPoints entry;
  std::string error;
  if (!cv::sim::LoadPluginLibrary(argv[1], entry, error)) {
    std::fprintf(stderr, "log_probe: %s\n", error.c_str());
    return 3;
  }
  NVSEInterface nvse{};
  nvse.runtimeVersion = 0x040020D0;
  PluginInfo info{};
  nvse.nvseVersion = 0x06030000;
  if (!entry.query(&nvse, &info)) return 1;
  return !load || entry.load(&nvse) ? 0 : 1;
}
