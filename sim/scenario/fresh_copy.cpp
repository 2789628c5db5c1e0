#include "sim/scenario/fresh_copy.h"

#include <cctype>
#include <chrono>
#include <cstdio>
#include <fstream>
#include <sstream>

#include "platform/dynlib.h"
#include "platform/platform.h"
#include "sim/scenario/runner.h"
#include "sim/scenario/session.h"

namespace cv::sim {

namespace fs = std::filesystem;

namespace {

bool IsDll(const fs::path& p) {
  std::string ext = p.extension().string();
  for (char& c : ext) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return ext == ".dll";
}

fs::path MainExecutable() {
  char buf[4096] = {};
  std::uint32_t n = platform::MainExecutablePath(buf, sizeof buf);
  if (n == 0 || n >= sizeof buf) return {};
  return fs::path(platform::NativePath(std::string(buf, n)));
}

// A new, empty folder below parent.
bool NewFolder(const fs::path& parent, fs::path& folder, std::error_code& ec) {
  auto seed =
      static_cast<unsigned long long>(std::chrono::steady_clock::now().time_since_epoch().count());
  for (unsigned attempt = 0; attempt < 100; ++attempt) {
    char name[48];
    std::snprintf(name, sizeof name, "corvane-sim-%llx", seed + attempt);
    folder = parent / name;
    if (fs::create_directory(folder, ec)) return true;
    if (ec) return false;
  }
  ec = std::make_error_code(std::errc::file_exists);
  return false;
}

}  // namespace

bool MakeFreshCopy(const fs::path& game, const fs::path& exe, const fs::path& parent,
                   fs::path& copy, std::string& error) {
  std::error_code ec;
  if (!NewFolder(parent, copy, ec)) {
    error = "cannot make a folder in " + parent.string() + ": " + ec.message();
    return false;
  }
  auto fail = [&](const fs::path& what) {
    error = "cannot copy " + what.string() + ": " + ec.message();
    return false;
  };
  if (!fs::copy_file(exe, copy / exe.filename(), ec)) return fail(exe);
  for (const fs::directory_entry& e : fs::directory_iterator(game, ec))
    if (e.is_regular_file() && IsDll(e.path()) && e.path().filename() != exe.filename() &&
        !fs::copy_file(e.path(), copy / e.path().filename(), ec))
      return fail(e.path());
  const fs::path plugins = fs::path("Data") / "NVSE" / "Plugins";
  fs::create_directories(copy / plugins, ec);
  if (ec) return fail(copy / plugins);
  for (const fs::directory_entry& e : fs::directory_iterator(game / plugins, ec)) {
    const fs::path to = copy / plugins / e.path().filename();
    if (e.is_directory()) {
      fs::create_directory(to, ec);  // a plug-in's data folder, as installed: empty
    } else if (e.is_regular_file() && e.path().extension() == platform::kLibrarySuffix) {
      fs::copy_file(e.path(), to, ec);
    }
    if (ec) return fail(e.path());
  }
  return true;
}

bool WriteReport(const std::string& path, const Report& report) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out << report.Serialize();
  return static_cast<bool>(out.flush());
}

bool ReadReport(const std::string& path, Report& report) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream text;
  if (in) text << in.rdbuf();
  return in && !in.bad() && report.Load(text.str());
}

int RunInFreshCopy(const std::string& file, const std::vector<std::string>& passOn, Report& report,
                   std::ostream& err) {
  const fs::path exe = MainExecutable();
  std::error_code ec;
  const fs::path temp = fs::temp_directory_path(ec);
  fs::path copy;
  std::string error;
  if (exe.empty() || ec || !MakeFreshCopy(exe.parent_path(), exe, temp, copy, error)) {
    err << "corvane-sim: " << file
        << ": no fresh copy of the game folder: " << (error.empty() ? ec.message() : error)
        << std::endl;
    if (!copy.empty()) fs::remove_all(copy, ec);
    CheckRecord stop;
    stop.outcome = CheckRecord::Outcome::Stopped;
    stop.file = file;
    stop.message = "no fresh copy of the game folder";
    report.Add(std::move(stop));
    return kUnreadable;
  }
  const std::string reportFile = (copy / "corvane-sim.report").string();
  std::vector<std::string> args{(copy / exe.filename()).string(), kFreshChildOption, reportFile};
  args.insert(args.end(), passOn.begin(), passOn.end());
  args.push_back(file);
  int rc = platform::testing::RunProgram(args);
  Report run;
  if (!ReadReport(reportFile, run)) {
    // The run ended before it could report: a crash counts as a failed check.
    err << "corvane-sim: " << file << ": the run in a fresh game folder ended with " << rc
        << std::endl;
    CheckRecord crash;
    crash.outcome = CheckRecord::Outcome::Failed;
    crash.file = file;
    crash.expected = "the run in a fresh game folder to end with its report";
    crash.got = "exit status " + std::to_string(rc);
    run.Add(std::move(crash));
    if (rc != kUnreadable) rc = kCheckFailed;
  }
  report.Append(run);
  fs::remove_all(copy, ec);
  return rc;
}

}  // namespace cv::sim
