// A game folder in the test's working folder, a fake engine table serving a
// load order, and the log redirected to a file the tests read back.
#pragma once

#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "ev/store.h"
#include "host/game.h"
#include "log/log.h"
#include "persist/mod_maps.h"
#include "persist/settings.h"
#include "platform/fault.h"
#include "platform/platform.h"
#include "persist/game_root.h"
#include "test_support.h"

namespace cv::persist::testing {

namespace fs = std::filesystem;

using cv::testing::Found;

inline std::vector<std::string>& Mods() {
  static std::vector<std::string> mods;
  return mods;
}

// In Mods(), a mod whose name the engine cannot read (it answers null).
inline const std::string kUnreadableMod = "\x01unreadable";

inline const CVEngineInterface& FakeEngine() {
  static const CVEngineInterface engine = [] {
    CVEngineInterface e{};
    e.version = CVEngineInterface::kVersion;
    e.GetModCount = [] { return static_cast<UInt32>(Mods().size()); };
    e.GetModName = [](UInt32 i) -> const char* {
      if (i >= Mods().size() || Mods()[i] == kUnreadableMod) return nullptr;
      return Mods()[i].c_str();
    };
    return e;
  }();
  return engine;
}

inline std::string ReadBytes(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

inline void WriteBytes(const fs::path& path, const std::string& bytes) {
  fs::create_directories(path.parent_path());
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

class PersistTest : public ::testing::Test {
 protected:
  void SetUp() override {
    gameDir_ = fs::current_path() / "game";
    fs::remove_all(gameDir_);
    fs::create_directories(gameDir_);
    exePath_ = ToHost(gameDir_.string()) + "\\corvane-sim";
    platform::testing::OverrideMainExecutablePath(exePath_.c_str());
    persist::ResetGameRootForTesting();
    persist::FindGameRoot();  // found and logged before the test's own log
    game::Bind(&FakeEngine());
    Mods() = {"FalloutNV.esm", "MyMod.esp"};
    fault::DisarmAll();
    ASSERT_NE(LogOpen("persist.log"), nullptr);
    ::testing::internal::CaptureStdout();
    clearsettings();
  }

  void TearDown() override {
    // The log's echo is kept from the output unless the test failed, when
    // it shows among the failure messages that were captured with it.
    std::string out = ::testing::internal::GetCapturedStdout();
    if (HasFailure()) std::fputs(out.c_str(), stdout);
    fault::DisarmAll();
    TheStore().ClearAll();
    TheModMaps().Reset();
    game::Bind(nullptr);
    platform::testing::OverrideMainExecutablePath(nullptr);
    persist::ResetGameRootForTesting();
    LogOpen("corvane.log");
  }

  static std::string ToHost(std::string path) {
    for (char& c : path)
      if (c == '/') c = '\\';
    return path;
  }

  // The game root as FindGameRoot reports it.
  std::string Root() const { return ToHost(gameDir_.string()) + "\\"; }
  fs::path SavesDir() const { return gameDir_ / "Data/NVSE/Plugins/Corvane/Saves"; }
  fs::path SaveFile(const std::string& saveName) const {
    std::string native = saveName;
    for (char& c : native)
      if (c == '\\') c = '/';
    return SavesDir() / (native + ".csv");
  }
  std::string HostSavePath(const std::string& saveName) const {
    return Root() + "Data\\NVSE\\Plugins\\Corvane\\Saves\\" + saveName + ".csv";
  }

  // The log written since SetUp (or since ClearLog), line ends as on disk.
  std::string Log() const { return ReadBytes("persist.log"); }
  void ClearLog() { ASSERT_NE(LogOpen("persist.log"), nullptr); }
  // True when the log holds this line exactly (leading tabs included).
  bool LogHas(const std::string& line) const {
    // Appended rather than added to a literal: GCC 12 at -O3 warns falsely
    // (-Wrestrict) on "literal" + std::string.
    std::string log(1, '\n');
    log += Log();
    std::string wanted(1, '\n');
    wanted += line;
    wanted += "\r\n";
    return log.find(wanted) != std::string::npos;
  }
  // How many lines, with their leading tabs removed, equal text.
  int LogCount(const std::string& text) const {
    int n = 0;
    std::string log = Log();
    for (std::size_t pos = 0; pos < log.size();) {
      std::size_t end = log.find("\r\n", pos);
      if (end == std::string::npos) end = log.size();
      std::size_t start = log.find_first_not_of('\t', pos);
      if (start <= end && log.compare(start, end - start, text) == 0 && end - start == text.size())
        ++n;
      pos = end + 2;
    }
    return n;
  }

  fs::path gameDir_;
  std::string exePath_;
};

}  // namespace cv::persist::testing
