#include "game_harness.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <fstream>
#include <iterator>

#include "log/log.h"
#include "persist/game_root.h"
#include "platform/platform.h"
#include "plugin/plugin.h"
#include "short_output.h"

namespace cv::hardening {

namespace {

constexpr const char* kLogName = "hardening.log";

std::string HostPath(std::string path) {
  for (char& c : path)
    if (c == '/') c = '\\';
  return path;
}

// The executable's path the plug-in is told, kept alive for the override.
const std::string& ExecutablePath() {
  static const std::string path = [] {
    fs::path folder = fs::current_path() / "game";
    fs::create_directories(folder);
    return HostPath(folder.string()) + "\\corvane-sim";
  }();
  return path;
}

void UseGameFolder() {
  platform::testing::OverrideMainExecutablePath(ExecutablePath().c_str());
  persist::ResetGameRootForTesting();
}

std::string SpellFloat(float f) {
  std::uint32_t bits;
  std::memcpy(&bits, &f, sizeof bits);
  char buf[16];
  std::snprintf(buf, sizeof buf, "f:%08x", static_cast<unsigned>(bits));
  return buf;
}

std::string SpellForm(std::uint32_t id) {
  char buf[16];
  std::snprintf(buf, sizeof buf, "o:%08x", static_cast<unsigned>(id));
  return buf;
}

}  // namespace

fs::path GameFolder() { return fs::current_path() / "game"; }
fs::path SavesFolder() { return GameFolder() / "Data/NVSE/Plugins/Corvane/Saves"; }

fs::path SaveFile(const std::string& saveName) {
  std::string native = saveName;
  for (char& c : native)
    if (c == '\\') c = '/';
  return SavesFolder() / (native + ".csv");
}

std::string HostSaveFolder() {
  const std::string& exe = ExecutablePath();
  return exe.substr(0, exe.rfind('\\') + 1) + "Data\\NVSE\\Plugins\\Corvane\\Saves\\";
}

std::string ReadBytes(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

void WriteBytes(const fs::path& path, std::string_view bytes) {
  fs::create_directories(path.parent_path());
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

Game::Game() {
  UseGameFolder();
  // A failure that left the indentation raised must not shift later lines.
  while (LogIndentLevel() > 0) LogOutdent();
  RestartLog();
  sim::Options options;
  options.gameRoot = GameFolder().string();
  ::testing::internal::CaptureStdout();
  session_ = std::make_unique<sim::Session>(out_, err_, options);
  session_->LoadPlugin({"corvane", plugin::Query, plugin::Load});
  session_->SendMessage(NVSEMessagingInterface::kMessage_PostLoad);
  echo_ += ::testing::internal::GetCapturedStdout();
}

Game::~Game() {
  session_.reset();
  plugin::CloseDatabase();
}

int Game::Run(std::string_view text) {
  ::testing::internal::CaptureStdout();
  int status = session_->RunText(text, "hardening");
  echo_ += ::testing::internal::GetCapturedStdout();
  return status;
}

namespace {
// Where the log read by LogLines starts. The log is opened once and marked
// rather than truncated for every run: truncating is slow on some file
// systems, and the walk restarts the log thousands of times.
std::uintmax_t g_logStart = 0;
}  // namespace

void RestartLog() {
  const char* name = LogFileName();
  if (name == nullptr || std::string_view(name) != kLogName) LogOpen(kLogName);
  std::error_code ec;
  g_logStart = fs::file_size(kLogName, ec);
  if (ec) g_logStart = 0;
}

std::vector<std::string> LogLines() {
  std::ifstream in(kLogName, std::ios::binary);
  in.seekg(static_cast<std::streamoff>(g_logStart));
  const std::string log(std::istreambuf_iterator<char>(in), {});
  std::vector<std::string> lines;
  std::size_t pos = 0;
  while (pos < log.size()) {
    std::size_t end = log.find("\r\n", pos);
    if (end == std::string::npos) end = log.size();
    std::size_t start = std::min(log.find_first_not_of('\t', pos), end);
    lines.push_back(log.substr(start, end - start));
    pos = end + 2;
  }
  return lines;
}

bool LogHas(std::string_view line) {
  for (const std::string& l : LogLines())
    if (l == line) return true;
  return false;
}

std::vector<std::string> FailureLines() {
  std::vector<std::string> out;
  for (std::string& l : LogLines())
    if (l.rfind("Exception in ", 0) == 0 || l.rfind("Unknown exception in ", 0) == 0)
      out.push_back(std::move(l));
  return out;
}

Snapshot TakeSnapshot() {
  Snapshot s;
  const EvStore& store = TheStore();
  store.ForEachEntry<EvKind::Float>([&](EvOwnerId o, std::string_view k, float v) {
    s[{0, o, std::string(k)}] = SpellFloat(v);
  });
  store.ForEachEntry<EvKind::Form>([&](EvOwnerId o, std::string_view k, std::uint32_t v) {
    s[{1, o, std::string(k)}] = SpellForm(v);
  });
  store.ForEachEntry<EvKind::String>([&](EvOwnerId o, std::string_view k, const std::string& v) {
    s[{2, o, std::string(k)}] = "s:" + v;
  });
  return s;
}

bool IsZeroValue(const std::string& spelt) {
  return spelt == "f:00000000" || spelt == "f:80000000" || spelt == "o:00000000" || spelt == "s:";
}

Snapshot WithoutZeroValues(const Snapshot& s) {
  Snapshot out;
  for (const auto& [key, value] : s)
    if (!IsZeroValue(value)) out.emplace(key, value);
  return out;
}

std::string Describe(const Snapshot& s) {
  static const char* const kKinds[] = {"FL", "FO", "ST"};
  std::string text;
  for (const auto& [key, value] : s) {
    char owner[16];
    std::snprintf(owner, sizeof owner, "%08x", static_cast<unsigned>(std::get<1>(key)));
    text += std::string(kKinds[std::get<0>(key)]) + " " + owner + " '" + std::get<2>(key) +
            "' = " + value + "\n";
  }
  return text.empty() ? "(empty)\n" : text;
}

::testing::AssertionResult SameStore(const char* actualExpr, const char* expectedExpr,
                                     const Snapshot& actual, const Snapshot& expected) {
  if (actual == expected) return ::testing::AssertionSuccess();
  ::testing::AssertionResult described =
      cv::testing::SameText(actualExpr, expectedExpr, Describe(actual), Describe(expected));
  // Two stores that differ yet are described alike (a key that spells
  // another row): say so rather than pass.
  if (described)
    return ::testing::AssertionFailure()
           << actualExpr << " and " << expectedExpr << " differ, though described alike";
  return described;
}

}  // namespace cv::hardening
