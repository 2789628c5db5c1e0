// One run of the simulated host: plug-ins loaded through their two entry
// points, host messages, and scenario text run against the world.
//
// The executable loads plug-in libraries; tests hand in the plug-in's entry
// functions linked into the test itself.
#pragma once

#include <ostream>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "host/nvse_records.h"
#include "sim/host/host.h"
#include "sim/scenario/runner.h"
#include "sim/world/world.h"

namespace cv::sim {

constexpr UInt32 kDefaultRuntime = 0x040020D0;

struct Options {
  bool editor = false;
  UInt32 runtime = kDefaultRuntime;
  // Keep the world out of the miniature game image (where there is one) and
  // serve the program's engine table for it.
  bool outOfImage = false;
  // The folder that expect-file and show-file paths are below; empty: the
  // folder of the main executable.
  std::string gameRoot;
  // The log that expect-log reads: the one this run's plug-in writes.
  std::string pluginLog = "corvane.log";
  // The seed of the scripts' random numbers (--seed): fixed, so runs repeat.
  std::uint32_t seed = 0;
};

struct PluginEntry {
  std::string name;
  NVSEPlugin_Query_t query = nullptr;
  NVSEPlugin_Load_t load = nullptr;
};

struct LoadedPlugin {
  std::string name;
  PluginInfo info{};
  bool loaded = false;  // Query said yes and Load ran
};

class Session {
 public:
  Session(std::ostream& out, std::ostream& err, Options options = {});

  // Query, then Load unless Query refused. True when the plug-in loaded.
  bool LoadPlugin(const PluginEntry& plugin);
  // A message from the host to every listener for "NVSE".
  void SendMessage(UInt32 type, const char* text = nullptr);
  // What the host sends once every plug-in has loaded: post-load and
  // post-post-load, then deferred init on the game's first frame.
  void SendStartUpMessages();

  // Runs scenario text (named so in messages) or a file. Returns this run's
  // status: kPassed, kCheckFailed or kUnreadable.
  int RunText(std::string_view text, const std::string& name);
  // name: how messages name the file (default: path).
  int RunFile(const std::string& path, const std::string& name = {});
  // The worst status so far.
  int Status() const { return status_; }
  // Checks made and failed over every run so far.
  int Checks() const { return runner_.Checks(); }
  int Failures() const { return runner_.Failures(); }
  // Each check's outcome over every run so far, and where a run stopped.
  Report& GetReport() { return runner_.GetReport(); }
  const Report& GetReport() const { return runner_.GetReport(); }

  Host& host() { return host_; }
  World& world() { return world_; }
  const std::vector<LoadedPlugin>& Plugins() const { return plugins_; }

 private:
  int Finish(int status);
  // A file that could not be read, or a line that is not a statement.
  void Stopped(const std::string& file, int line, const std::string& message,
               const std::vector<std::string>& lines);

  std::ostream& out_;
  std::ostream& err_;
  World world_;
  Host host_;
  Runner runner_;
  std::vector<LoadedPlugin> plugins_;
  int status_ = kPassed;
};

// For in-process tests: a session with the plug-in loaded (and, unless
// postLoad is false, the start-up messages sent) runs text; the host's
// output and error text are captured.
struct RunResult {
  int status = kPassed;
  int checks = 0;
  int failures = 0;
  std::string summary;  // the summary line the program would print
  std::string out;
  std::string err;
};
RunResult RunScenarioText(const PluginEntry& plugin, std::string_view text, Options options = {},
                          bool postLoad = true);

// The folder of the main executable (native separators).
std::string ExecutableFolder();

}  // namespace cv::sim
