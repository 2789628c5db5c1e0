#include "sim/scenario/session.h"

#include <filesystem>
#include <fstream>
#include <sstream>

#include "platform/platform.h"

namespace cv::sim {

std::string ExecutableFolder() {
  char buf[4096] = {};
  std::uint32_t n = platform::MainExecutablePath(buf, sizeof buf);
  if (n == 0 || n >= sizeof buf) return ".";
  std::string path = platform::NativePath(std::string(buf, n));
  return std::filesystem::path(path).parent_path().string();
}

Session::Session(std::ostream& out, std::ostream& err, Options options)
    : out_(out),
      err_(err),
      host_(world_, out, options.editor, options.runtime),
      runner_(host_, out, err, options.gameRoot.empty() ? ExecutableFolder() : options.gameRoot,
              options.pluginLog) {
  if (options.outOfImage) world_.KeepOutOfImage();
  runner_.SetSeed(options.seed);
}

bool Session::LoadPlugin(const PluginEntry& plugin) {
  LoadedPlugin record;
  record.name = plugin.name;
  if (plugin.query == nullptr || plugin.load == nullptr) {
    err_ << "corvane-sim: " << plugin.name << ": no entry points" << std::endl;
    return false;
  }
  host_.loadingHandle = static_cast<PluginHandle>(host_.pluginNames.size());
  host_.pluginNames.push_back(plugin.name);
  try {
    if (plugin.query(&host_.nvse, &record.info)) {
      // The host names a plug-in by what it reported, as senders of messages.
      if (record.info.name != nullptr) host_.pluginNames.back() = record.info.name;
      plugin.load(&host_.nvse);
      record.loaded = true;
    } else {
      out_ << "host: " << plugin.name << " declined to load" << std::endl;
    }
  } catch (...) {
    err_ << "corvane-sim: " << plugin.name << ": an exception left an entry point" << std::endl;
    status_ = std::max(status_, static_cast<int>(kCheckFailed));
  }
  host_.loadingHandle = kPluginHandle_Invalid;
  plugins_.push_back(record);
  return record.loaded;
}

void Session::SendMessage(UInt32 type, const char* text) {
  try {
    host_.SendMessage(type, text);
  } catch (...) {
    err_ << "corvane-sim: an exception left a message listener" << std::endl;
    status_ = std::max(status_, static_cast<int>(kCheckFailed));
  }
}

void Session::SendStartUpMessages() {
  using Msg = NVSEMessagingInterface;
  for (UInt32 type :
       {Msg::kMessage_PostLoad, Msg::kMessage_PostPostLoad, Msg::kMessage_DeferredInit})
    SendMessage(type);
}

int Session::Finish(int status) {
  status_ = std::max(status_, status);
  return status;
}

void Session::Stopped(const std::string& file, int line, const std::string& message,
                      const std::vector<std::string>& lines) {
  CheckRecord stop;
  stop.outcome = CheckRecord::Outcome::Stopped;
  stop.file = file;
  stop.line = line;
  if (line >= 1 && static_cast<std::size_t>(line) <= lines.size()) stop.statement = lines[line - 1];
  stop.message = message;
  runner_.GetReport().Add(std::move(stop));
}

int Session::RunText(std::string_view text, const std::string& name) {
  std::vector<Statement> statements;
  ParseError error;
  if (!ParseScenario(text, statements, error)) {
    out_.flush();
    err_ << name << ":" << error.line << ": " << error.message << std::endl;
    Stopped(name, error.line, error.message, SourceLines(text));
    return Finish(kUnreadable);
  }
  return Finish(runner_.Run(statements, name, text));
}

int Session::RunFile(const std::string& path, const std::string& name) {
  const std::string& shown = name.empty() ? path : name;
  std::ifstream in(path, std::ios::binary);
  std::ostringstream text;
  if (in) text << in.rdbuf();
  if (!in || in.bad()) {
    err_ << "corvane-sim: " << shown << ": cannot read the file" << std::endl;
    Stopped(shown, 0, "cannot read the file", {});
    return Finish(kUnreadable);
  }
  return RunText(text.str(), shown);
}

RunResult RunScenarioText(const PluginEntry& plugin, std::string_view text, Options options,
                          bool postLoad) {
  std::ostringstream out;
  std::ostringstream err;
  RunResult r;
  {
    Session session(out, err, std::move(options));
    session.LoadPlugin(plugin);
    if (postLoad) session.SendStartUpMessages();
    session.RunText(text, "<text>");
    r.status = session.Status();
    r.checks = session.Checks();
    r.failures = session.Failures();
    r.summary = session.GetReport().SummaryLine();
  }
  r.out = out.str();
  r.err = err.str();
  return r;
}

}  // namespace cv::sim
