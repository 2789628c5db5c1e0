// corvane-sim [OPTION...] [FILE...]
//
// Plays the host and the game: loads every plug-in in Data/NVSE/Plugins
// beside this executable, sends the start-up messages, then runs the
// scenario files in turn (standard input when none) and ends with the line
// "N checks, M failed" (or, when a statement could not run, "stopped at
// FILE:LINE: ..."). Exit status: 0 when every check held, 1 when one
// failed, 2 when a scenario could not be read or a statement could not run.
#include <algorithm>
#include <charconv>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <sstream>
#include <streambuf>
#include <string>
#include <string_view>
#include <vector>

#include "platform/platform.h"
#include "sim/host/host.h"
#include "sim/host/plugin_library.h"
#include "sim/scenario/fresh_copy.h"
#include "sim/scenario/session.h"

namespace {

namespace fs = std::filesystem;
using cv::sim::kCheckFailed;
using cv::sim::kUnreadable;

constexpr const char* kUsage = "usage: corvane-sim [OPTION...] [FILE...]\n";

constexpr const char* kHelp =
    "Runs scenario files (standard input when none, or for -) against the plug-ins\n"
    "in Data/NVSE/Plugins beside this program, as the game and its script extender\n"
    "would, and ends with the line \"N checks, M failed\", or with \"stopped at\n"
    "FILE:LINE: N checks before it, ...\" when a statement cannot run.\n"
    "\n"
    "  --fresh          run each file in a fresh copy of the game folder, so that\n"
    "                   no save data, log or database of an earlier run leaks in\n"
    "  --quiet          keep the plug-ins' log echo off standard output\n"
    "  --editor         load the plug-ins as the editor would\n"
    "  --runtime 0xHEX  the game runtime version the host reports\n"
    "  --seed N         the seed of the scripts' random numbers (default 0)\n"
    "  --no-postload    send no start-up messages before the first file\n"
    "  --engine table   serve the simulated engine table even where the world\n"
    "                   can be laid out in a miniature game image (Windows)\n"
    "  --junit FILE     also write a JUnit XML report of every check to FILE\n"
    "  --help           show this help and exit\n"
    "  --version        show the version and exit\n"
    "\n"
    "Exit status: 0 when every check held, 1 when a check failed (FILE:LINE: FAIL\n"
    "on standard error; the run goes on), 2 when a file cannot be read or a\n"
    "statement cannot run (FILE:LINE: on standard error; the run stops there).\n"
    "The language and a tutorial: docs/corvane-sim.md.\n";

struct Args {
  cv::sim::Options options;
  bool postLoad = true;
  bool quiet = false;
  bool fresh = false;
  bool engineTable = false;
  // Set in the run that --fresh starts in a copy: where to leave its report.
  std::string reportFile;
  // --junit: where to write the JUnit XML report.
  std::string junitFile;
  std::vector<std::string> files;
  // The options a run in a fresh copy gets again.
  std::vector<std::string> passOn;
};

int Usage(const std::string& why) {
  std::cerr << "corvane-sim: " << why << "\n" << kUsage << "Try corvane-sim --help.\n";
  return kUnreadable;
}

bool ParseHex(std::string_view s, UInt32& out) {
  if (s.size() > 2 && s[0] == '0' && (s[1] == 'x' || s[1] == 'X')) s.remove_prefix(2);
  auto r = std::from_chars(s.data(), s.data() + s.size(), out, 16);
  return r.ec == std::errc() && r.ptr == s.data() + s.size() && !s.empty();
}

// 0 to go on, else the exit status (with --help and --version, 0 is done
// through the flag done).
int ParseArgs(int argc, char** argv, Args& a, bool& done) {
  for (int i = 1; i < argc; ++i) {
    std::string_view arg = argv[i];
    if (arg == "--help") {
      std::cout << kUsage << "\n" << kHelp;
      done = true;
      return 0;
    } else if (arg == "--version") {
      std::cout << "corvane-sim (Corvane) " << CORVANE_VERSION << "\n";
      done = true;
      return 0;
    } else if (arg == "--editor") {
      a.options.editor = true;
      a.passOn.emplace_back(arg);
    } else if (arg == "--no-postload") {
      a.postLoad = false;
      a.passOn.emplace_back(arg);
    } else if (arg == "--quiet") {
      a.quiet = true;
      a.passOn.emplace_back(arg);
    } else if (arg == "--engine") {
      if (i + 1 >= argc ||
          (std::string_view(argv[i + 1]) != "table" && std::string_view(argv[i + 1]) != "image"))
        return Usage("--engine needs table or image");
      a.engineTable = std::string_view(argv[i + 1]) == "table";
      a.passOn.insert(a.passOn.end(), {argv[i], argv[i + 1]});
      ++i;
    } else if (arg == "--junit") {
      if (i + 1 >= argc || argv[i + 1][0] == '\0') return Usage("--junit needs a file name");
      a.junitFile = argv[++i];
    } else if (arg == "--fresh") {
      a.fresh = true;
    } else if (arg == "--runtime") {
      if (i + 1 >= argc || !ParseHex(argv[i + 1], a.options.runtime))
        return Usage("--runtime needs a hexadecimal number");
      a.passOn.insert(a.passOn.end(), {argv[i], argv[i + 1]});
      ++i;
    } else if (arg == "--seed") {
      UInt32 seed = 0;
      if (i + 1 >= argc) return Usage("--seed needs a number");
      std::string_view n = argv[i + 1];
      auto r = std::from_chars(n.data(), n.data() + n.size(), seed);
      if (r.ec != std::errc() || r.ptr != n.data() + n.size() || n.empty())
        return Usage("--seed needs a number");
      a.options.seed = seed;
      a.passOn.insert(a.passOn.end(), {argv[i], argv[i + 1]});
      ++i;
    } else if (arg == cv::sim::kFreshChildOption) {
      if (i + 1 >= argc) return Usage(std::string(arg) + " needs a file name");
      a.reportFile = argv[++i];
    } else if (arg.size() > 1 && arg[0] == '-' && arg != "-") {
      return Usage("unknown option " + std::string(arg));
    } else {
      a.files.emplace_back(arg);
    }
  }
  if (a.files.empty()) a.files.emplace_back("-");
  return 0;
}

// Writes to a C stream: the standard output that --quiet kept aside.
class StdioBuf : public std::streambuf {
 public:
  explicit StdioBuf(std::FILE* f) : f_(f) {}

 protected:
  int_type overflow(int_type c) override {
    if (traits_type::eq_int_type(c, traits_type::eof())) return traits_type::not_eof(c);
    return std::fputc(c, f_) == EOF ? traits_type::eof() : c;
  }
  std::streamsize xsputn(const char* s, std::streamsize n) override {
    return static_cast<std::streamsize>(std::fwrite(s, 1, static_cast<std::size_t>(n), f_));
  }
  int sync() override { return std::fflush(f_) == 0 ? 0 : -1; }

 private:
  std::FILE* f_;
};

std::vector<fs::path> PluginFiles(const fs::path& folder) {
  std::vector<fs::path> files;
  std::error_code ec;
  for (const fs::directory_entry& e : fs::directory_iterator(folder, ec))
    if (e.is_regular_file(ec) && e.path().extension() == cv::platform::kLibrarySuffix)
      files.push_back(e.path());
  std::sort(files.begin(), files.end());
  return files;
}

// The log the plug-in will write in the current folder: it opens
// "corvane.log", or the first of "corvane.log0" to "corvane.log4" when
// another game process holds it. Asked before the plug-in is loaded, each
// name is taken and let go as the plug-in takes it.
std::string PluginLogName() {
  const std::string base = "corvane.log";
  for (int i = -1; i < 5; ++i) {
    const std::string name = i < 0 ? base : base + std::to_string(i);
    if (std::FILE* f = cv::platform::OpenSharedLog(name.c_str())) {
      std::fclose(f);
      return name;
    }
  }
  return base;
}

void LoadPlugins(cv::sim::Session& session, const std::string& root) {
  fs::path pluginDir = fs::path(root) / "Data" / "NVSE" / "Plugins";
  std::vector<fs::path> plugins = PluginFiles(pluginDir);
  if (plugins.empty())
    std::cerr << "corvane-sim: no plug-ins in " << pluginDir.string() << std::endl;
  for (const fs::path& p : plugins) {
    cv::sim::PluginEntryPoints entry;
    std::string error;
    if (!cv::sim::LoadPluginLibrary(p.string(), entry, error)) {
      std::cerr << "corvane-sim: cannot load " << p.string() << ": " << error << std::endl;
      continue;
    }
    session.LoadPlugin({p.filename().string(), entry.query, entry.load});
  }
}

int RunStdin(cv::sim::Session& session) {
  std::ostringstream text;
  text << std::cin.rdbuf();
  return session.RunText(text.str(), "<stdin>");
}

// The end of a run: the summary line, and the JUnit report when one was
// asked for (a report that cannot be written makes the run fail with 2).
int Finish(const Args& a, const cv::sim::Report& report, std::ostream& out, int status) {
  out << report.SummaryLine() << std::endl;
  if (a.junitFile.empty()) return status;
  std::ofstream xml(a.junitFile, std::ios::binary | std::ios::trunc);
  report.WriteJUnit(xml);
  if (!xml.flush()) {
    std::cerr << "corvane-sim: cannot write the JUnit report " << a.junitFile << std::endl;
    return kUnreadable;
  }
  return status;
}

// Every file in a fresh copy of the game folder, one run of this program each.
int RunFresh(const Args& a) {
  cv::sim::Report report;
  int status = 0;
  for (const std::string& file : a.files) {
    int rc = cv::sim::RunInFreshCopy(file, a.passOn, report, std::cerr);
    status = std::max(status, rc);
    if (rc == kUnreadable) break;
  }
  return Finish(a, report, std::cout, status);
}

}  // namespace

int main(int argc, char** argv) {
  Args a;
  bool done = false;
  if (int rc = ParseArgs(argc, argv, a, done); rc != 0 || done) return rc;
  if (!a.engineTable) cv::sim::StartGameImage();
  if (a.fresh && a.reportFile.empty()) return RunFresh(a);

  std::string root = cv::sim::ExecutableFolder();
  std::vector<std::string> names = a.files;
  if (!a.reportFile.empty()) {
    // A run in a fresh copy: files as the caller named them, then the copy
    // is the current folder, where the plug-in writes its log.
    std::error_code ec;
    for (std::string& f : a.files)
      if (f != "-") f = fs::absolute(f, ec).string();
    a.reportFile = fs::absolute(a.reportFile, ec).string();
    fs::current_path(root, ec);
    if (ec) std::cerr << "corvane-sim: cannot change to " << root << ": " << ec.message() << "\n";
  }

  std::FILE* kept = a.quiet ? cv::platform::testing::DivertStandardOutput() : nullptr;
  if (a.quiet && kept == nullptr) std::cerr << "corvane-sim: --quiet: cannot divert the log echo\n";
  StdioBuf keptBuf(kept != nullptr ? kept : stdout);
  std::ostream keptOut(&keptBuf);
  std::ostream& out = kept != nullptr ? keptOut : std::cout;

  a.options.gameRoot = root;
  a.options.pluginLog = PluginLogName();
  cv::sim::Session session(out, std::cerr, a.options);
  LoadPlugins(session, root);
  if (a.postLoad) session.SendStartUpMessages();

  for (std::size_t i = 0; i < a.files.size(); ++i) {
    int status = a.files[i] == "-" ? RunStdin(session) : session.RunFile(a.files[i], names[i]);
    if (status == kUnreadable) break;
  }
  cv::sim::Report& report = session.GetReport();
  // A failure outside any statement (an entry point or the post-load
  // message let an exception out) counts as a failed check too.
  if (session.Status() != cv::sim::kPassed && session.Failures() == 0 &&
      session.Status() != kUnreadable) {
    cv::sim::CheckRecord outside;
    outside.outcome = cv::sim::CheckRecord::Outcome::Failed;
    outside.file = "corvane-sim";
    outside.expected = "the plug-ins' entry points and start-up messages to keep their exceptions";
    outside.got = "an exception in the host";
    report.Add(std::move(outside));
  }
  int status = session.Status();
  if (a.reportFile.empty()) {
    status = Finish(a, report, out, status);
  } else if (!cv::sim::WriteReport(a.reportFile, report)) {
    std::cerr << "corvane-sim: cannot write " << a.reportFile << "\n";
    return std::max(session.Status(), static_cast<int>(kCheckFailed));
  }
  out.flush();
  return status;
}
