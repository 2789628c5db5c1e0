// corvane-sim [--editor] [--runtime 0xHEX] [--no-postload] [FILE...]
//
// Plays the host and the game: loads every plug-in in Data/NVSE/Plugins
// beside this executable, sends the post-load message, then runs the
// scenario files in turn (standard input when none). Exit status: 0 when
// every check held, 1 when one failed, 2 when a scenario could not be read.
#include <algorithm>
#include <charconv>
#include <filesystem>
#include <iostream>
#include <sstream>
#include <string>
#include <string_view>
#include <vector>

#include "platform/dynlib.h"
#include "sim/host.h"
#include "sim/session.h"

namespace {

namespace fs = std::filesystem;
using cv::sim::kUnreadable;

int Usage(const std::string& why) {
  std::cerr << "corvane-sim: " << why << "\n"
            << "usage: corvane-sim [--editor] [--runtime 0xHEX] [--no-postload] [FILE...]\n";
  return kUnreadable;
}

bool ParseHex(std::string_view s, UInt32& out) {
  if (s.size() > 2 && s[0] == '0' && (s[1] == 'x' || s[1] == 'X')) s.remove_prefix(2);
  auto r = std::from_chars(s.data(), s.data() + s.size(), out, 16);
  return r.ec == std::errc() && r.ptr == s.data() + s.size() && !s.empty();
}

std::vector<fs::path> PluginFiles(const fs::path& folder) {
  std::vector<fs::path> files;
  std::error_code ec;
  for (const fs::directory_entry& e : fs::directory_iterator(folder, ec))
    if (e.is_regular_file(ec) && e.path().extension() == cv::platform::kPluginSuffix)
      files.push_back(e.path());
  std::sort(files.begin(), files.end());
  return files;
}

int RunStdin(cv::sim::Session& session) {
  std::ostringstream text;
  text << std::cin.rdbuf();
  return session.RunText(text.str(), "<stdin>");
}

}  // namespace

int main(int argc, char** argv) {
  cv::sim::StartGameImage();
  cv::sim::Options options;
  bool postLoad = true;
  std::vector<std::string> files;
  for (int i = 1; i < argc; ++i) {
    std::string_view arg = argv[i];
    if (arg == "--editor") {
      options.editor = true;
    } else if (arg == "--no-postload") {
      postLoad = false;
    } else if (arg == "--runtime") {
      if (i + 1 >= argc || !ParseHex(argv[i + 1], options.runtime))
        return Usage("--runtime needs a hexadecimal number");
      ++i;
    } else if (arg.size() > 1 && arg[0] == '-' && arg != "-") {
      return Usage("unknown option " + std::string(arg));
    } else {
      files.emplace_back(arg);
    }
  }

  std::string root = cv::sim::ExecutableFolder();
  options.gameRoot = root;
  cv::sim::Session session(std::cout, std::cerr, options);

  fs::path pluginDir = fs::path(root) / "Data" / "NVSE" / "Plugins";
  std::vector<fs::path> plugins = PluginFiles(pluginDir);
  if (plugins.empty())
    std::cerr << "corvane-sim: no plug-ins in " << pluginDir.string() << std::endl;
  for (const fs::path& p : plugins) {
    cv::platform::PluginEntryPoints entry;
    std::string error;
    if (!cv::platform::LoadPluginLibrary(p.string(), entry, error)) {
      std::cerr << "corvane-sim: cannot load " << p.string() << ": " << error << std::endl;
      continue;
    }
    session.LoadPlugin({p.filename().string(), entry.query, entry.load});
  }
  if (postLoad) session.SendMessage(0);

  if (files.empty()) files.emplace_back("-");
  for (const std::string& f : files) {
    int status = f == "-" ? RunStdin(session) : session.RunFile(f);
    if (status == kUnreadable) break;
  }
  return session.Status();
}
