// Runs the store benchmarks and, after Google Benchmark's own table, prints
// each candidate's time as a ratio of the baseline's time in the same run:
//   Find hit 1e6: ratio 0.31 (target <= 0.5: met)
// The store uses tsl::robin_map; the unordered_map lines show the other
// candidate that was measured against it.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <map>
#include <string>
#include <vector>

#include "bench/store_bench.h"

namespace {

// Keeps the CPU time of every run (the fastest repetition when repetitions
// are aggregated) by benchmark name, and passes everything on to the
// console.
class RatioReporter : public benchmark::ConsoleReporter {
 public:
  void ReportRuns(const std::vector<Run>& runs) override {
    for (const Run& r : runs) {
      if (r.error_occurred) continue;
      bool aggregate = r.run_type == Run::RT_Aggregate;
      if (aggregate && r.aggregate_name != "min") continue;
      times_[r.run_name.function_name] = r.GetAdjustedCPUTime();
    }
    ConsoleReporter::ReportRuns(runs);
  }

  // Returns the number of missed targets.
  int PrintRatios() const {
    struct Line {
      const char* op;
      const char* label;
    };
    const Line ops[] = {{"FindHit", "Find hit"},          {"FindMiss", "Find miss"},
                        {"EntryInsert", "Entry insert"},  {"EntryOverwrite", "Entry overwrite"},
                        {"EraseSubkeys", "EraseSubkeys"}, {"OwnerListing", "Owner listing"}};
    int missed = 0;
    for (const char* impl : {cv::bench::kRobinMaps, cv::bench::kStdMaps}) {
      std::printf("\nTime of the store on %s / time of the baseline:\n", impl);
      for (const Line& l : ops) {
        for (const char* size : {"1e3", "1e5", "1e6"}) {
          std::string prefix = std::string(l.op) + "/" + size + "/";
          auto base = times_.find(prefix + cv::bench::kBaseline);
          auto mine = times_.find(prefix + impl);
          if (base == times_.end() || mine == times_.end() || base->second <= 0) continue;
          double ratio = mine->second / base->second;
          std::printf("%s %s: ratio %.2f", l.label, size, ratio);
          // The targets are the store's own; the other candidate is shown
          // for comparison only.
          double target = std::string(impl) == cv::bench::kRobinMaps ? Target(l.op, size) : 0;
          if (target > 0) {
            bool met = ratio <= target;
            std::printf(" (target <= %.1f: %s)", target, met ? "met" : "MISSED");
            if (!met) ++missed;
          }
          std::printf("\n");
        }
      }
    }
    return missed;
  }

 private:
  // Look-ups are what per-frame scripts and game conditions run.
  static double Target(const std::string& op, const std::string& size) {
    if (op != "FindHit" && op != "FindMiss") return 0;
    if (size == "1e6") return 0.5;
    if (size == "1e3") return 0.8;
    return 0;
  }

  std::map<std::string, double> times_;
};

}  // namespace

int main(int argc, char** argv) {
  // The repetitions of all benchmarks run in a random order, so that a
  // candidate and its baseline sample the machine over the same stretch of
  // time rather than one after the other (a flag given on the command line
  // still wins).
  std::vector<char*> args(argv, argv + argc);
  char interleave[] = "--benchmark_enable_random_interleaving=true";
  args.insert(args.begin() + (argc > 0 ? 1 : 0), interleave);
  argc = static_cast<int>(args.size());
  args.push_back(nullptr);
  argv = args.data();
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  cv::bench::RegisterStoreBenchmarks();
  RatioReporter reporter;
  benchmark::RunSpecifiedBenchmarks(&reporter);
  int missed = reporter.PrintRatios();
  benchmark::Shutdown();
  return missed == 0 ? 0 : 3;
}
