// The memory a load takes per value: the peak resident memory of a load of
// R references with V float values each, less that of a load of an empty
// file, divided by R * V. Each load runs in a process of its own (this
// program again), so that no peak carries over.
//   load_memory                      prints the figures for 1 and 10 values
//                                    a reference (exits 3 when a target is
//                                    missed)
//   load_memory load NAME OUTFILE    (the child) loads NAME, writes its peak
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "bench/bench_game.h"
#include "ev/store.h"
#include "host/game.h"
#include "log/log.h"
#include "persist/game_root.h"
#include "persist/settings.h"
#include "platform/platform.h"

namespace {

namespace fs = std::filesystem;

fs::path Work() { return fs::absolute("load_memory.work"); }

std::string Name(std::size_t refs, std::size_t perRef) {
  return "mem-" + std::to_string(refs) + "x" + std::to_string(perRef);
}

void WriteSave(std::size_t refs, std::size_t perRef) {
  const fs::path dir = Work() / "Data/NVSE/Plugins/Corvane/Saves";
  fs::create_directories(dir);
  std::ofstream out(dir / (Name(refs, perRef) + ".csv"), std::ios::binary | std::ios::trunc);
  out << "IX, 0, \"FalloutNV.esm\",\r\n";
  std::string row;
  for (std::size_t r = 0; r < refs; ++r)
    for (std::size_t k = 0; k < perRef; ++k) {
      row = "FL, " + std::to_string(0x00100000 + r) + ", \"quest.stage." + std::to_string(k) +
            "\", " + std::to_string(r % 1000 + 1) + ".5\r\n";
      out << row;
    }
}

int Child(const std::string& name, const std::string& outFile) {
  // The log's echo goes to a file, not among the figures.
  if (std::freopen((Work() / "child.out").string().c_str(), "w", stdout) == nullptr) return 2;
  cv::bench::EnterGameFolder(Work(), "load.log");
  cv::persist::loadsettings(name);
  const std::size_t values = cv::TheStore().EntryCount(cv::EvKind::Float);
  std::ofstream(outFile) << cv::platform::testing::PeakMemoryBytes() << ' ' << values << '\n';
  return 0;
}

// The peak of a child's load, and how many values it read.
bool Measure(const std::string& name, std::size_t& peak, std::size_t& values) {
  char self[4096];
  const std::uint32_t n = cv::platform::MainExecutablePath(self, sizeof self);
  if (n == 0 || n >= sizeof self) return false;
  const std::string out = (Work() / "peak.txt").string();
  fs::remove(out);
  const int rc = cv::platform::testing::RunProgram(
      {cv::platform::NativePath(std::string(self, n)), "load", name, out});
  std::ifstream in(out);
  return rc == 0 && (in >> peak >> values);
}

}  // namespace

int main(int argc, char** argv) {
  if (argc == 4 && std::string(argv[1]) == "load") return Child(argv[2], argv[3]);
  struct Case {
    std::size_t refs, perRef;
    double target64, target32;
  };
  const Case cases[] = {{200000, 1, 200, 100}, {20000, 10, 64, 48}};
  const bool wide = sizeof(void*) == 8;
  int missed = 0;
  WriteSave(0, 0);
  std::size_t emptyPeak = 0, none = 0;
  if (!Measure(Name(0, 0), emptyPeak, none)) {
    std::fprintf(stderr, "load_memory: the empty load failed\n");
    return 2;
  }
  std::printf("Peak memory of a load, less an empty load's, per value (%d-bit build):\n",
              wide ? 64 : 32);
  for (const Case& c : cases) {
    WriteSave(c.refs, c.perRef);
    std::size_t peak = 0, values = 0;
    if (!Measure(Name(c.refs, c.perRef), peak, values) || values != c.refs * c.perRef) {
      std::fprintf(stderr, "load_memory: the load of %zu values failed\n", c.refs * c.perRef);
      return 2;
    }
    const double perValue =
        (static_cast<double>(peak) - static_cast<double>(emptyPeak)) / static_cast<double>(values);
    const double target = wide ? c.target64 : c.target32;
    const bool met = perValue <= target;
    missed += met ? 0 : 1;
    std::printf("%zu value(s) a reference: %.0f bytes a value (target <= %.0f: %s)\n", c.perRef,
                perValue, target, met ? "met" : "MISSED");
  }
  fs::remove_all(Work() / "Data");
  return missed == 0 ? 0 : 3;
}
