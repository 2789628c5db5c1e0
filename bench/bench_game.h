// What the memory benchmarks share: a game with FalloutNV.esm alone, bound
// as the engine, and a game folder of the benchmark's own whose paths the
// plug-in sees with backslashes, as in the game.
#pragma once

#include <filesystem>
#include <string>

#include "host/engine_table.h"
#include "host/game.h"
#include "log/log.h"
#include "platform/platform.h"

namespace cv::bench {

inline const CVEngineInterface& OneModEngine() {
  static const CVEngineInterface engine = [] {
    CVEngineInterface e{};
    e.version = CVEngineInterface::kVersion;
    e.GetModCount = [] { return UInt32{1}; };
    e.GetModName = [](UInt32) { return "FalloutNV.esm"; };
    return e;
  }();
  return engine;
}

inline std::string HostPath(std::string p) {
  for (char& c : p)
    if (c == '/') c = '\\';
  return p;
}

// Makes work the game folder (its executable "game.exe" in it), binds the
// one-mod engine and opens the plug-in's log there under logName.
inline void EnterGameFolder(const std::filesystem::path& work, const char* logName) {
  std::filesystem::create_directories(work);
  static std::string exe;
  exe = HostPath(work.string()) + "\\game.exe";
  platform::testing::OverrideMainExecutablePath(exe.c_str());
  game::Bind(&OneModEngine());
  LogOpen(HostPath((work / logName).string()).c_str());
}

}  // namespace cv::bench
