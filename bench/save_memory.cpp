// The memory a save takes above the store: the most heap that save() holds
// at once beyond what was held before it, counted by this program's own
// allocator (every block carries its size).
//   save_memory          prints the figure for a store with one large value;
//                        exits 3 when it is above 2 MiB plus the largest value
//   save_memory big MB   saves a store whose file is about MB megabytes, loads
//                        it back, checks every value came back, and prints the
//                        times and the peak memory
#include <chrono>
#include <cstddef>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <new>
#include <string>

#include "bench/bench_game.h"
#include "ev/store.h"
#include "host/game.h"
#include "log/log.h"
#include "persist/game_root.h"
#include "persist/savedata.h"
#include "persist/settings.h"
#include "platform/platform.h"

namespace {
std::size_t g_live = 0;
std::size_t g_peak = 0;
// Room for the block's size before the block, keeping its alignment.
constexpr std::size_t kHeader = alignof(std::max_align_t);
}  // namespace

// GCC pairs the replaced operator new with free as if it were the library's.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wmismatched-new-delete"
void* operator new(std::size_t n) {
  void* p = std::malloc(n + kHeader);
  if (p == nullptr) throw std::bad_alloc();
  *static_cast<std::size_t*>(p) = n;
  g_live += n;
  if (g_live > g_peak) g_peak = g_live;
  return static_cast<char*>(p) + kHeader;
}
void operator delete(void* p) noexcept {
  if (p == nullptr) return;
  char* block = static_cast<char*>(p) - kHeader;
  g_live -= *reinterpret_cast<std::size_t*>(block);
  std::free(block);
}
void operator delete(void* p, std::size_t) noexcept { operator delete(p); }
// Arrays too: a run-time library of its own (the address sanitizer's) need not
// pass them on to the operator new above.
void* operator new[](std::size_t n) { return operator new(n); }
void operator delete[](void* p) noexcept { operator delete(p); }
void operator delete[](void* p, std::size_t) noexcept { operator delete(p); }
#pragma GCC diagnostic pop

namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

constexpr double kMiB = 1024.0 * 1024.0;

fs::path Work() { return fs::absolute("save_memory.work"); }

void SetUp() { cv::bench::EnterGameFolder(Work(), "save.log"); }

double Seconds(Clock::time_point since) {
  return std::chrono::duration<double>(Clock::now() - since).count();
}

// The save's heap above the store, for a store of many small values and one
// large one.
int Figure(std::FILE* out) {
  cv::EvStore& store = cv::TheStore();
  for (std::uint32_t i = 0; i < 200000; ++i)
    store.Entry<cv::EvKind::Float>(0x00100000 + i, "quest.stage") = static_cast<float>(i) + 0.5f;
  for (std::uint32_t i = 0; i < 1000; ++i)
    store.Entry<cv::EvKind::String>(0x00200000 + i, "note") = std::string(1000, 'n');
  const std::size_t largest = std::size_t{8} << 20;
  store.Entry<cv::EvKind::String>(0x00300000, "journal") = std::string(largest, 'j');
  const std::size_t before = g_live;
  g_peak = g_live;
  cv::persist::save("mem");
  const double above = static_cast<double>(g_peak - before);
  const double target = 2 * kMiB + static_cast<double>(largest);
  const bool met = above <= target;
  std::fprintf(out,
               "Peak heap of a save above the store (%d-bit build, 201001 values, the largest "
               "%.0f MiB): %.2f MiB (target <= 2 MiB + the largest value = %.0f MiB: %s)\n",
               sizeof(void*) == 8 ? 64 : 32, static_cast<double>(largest) / kMiB, above / kMiB,
               target / kMiB, met ? "met" : "MISSED");
  return met ? 0 : 3;
}

// A store whose file is about megabytes long, saved and loaded back whole.
int Big(std::FILE* out, std::size_t megabytes) {
  cv::EvStore& store = cv::TheStore();
  const std::string value(1000, 'v');
  // A row is about 1030 bytes: "ST, 1048576, "k", "vvv..."" and its line end.
  const std::size_t rows = megabytes * 1000000 / 1030;
  for (std::size_t i = 0; i < rows; ++i)
    store.Entry<cv::EvKind::String>(0x00100000 + static_cast<std::uint32_t>(i), "k") = value;
  const std::size_t before = g_live;
  g_peak = g_live;
  Clock::time_point t = Clock::now();
  cv::persist::save("big");
  const double saveSeconds = Seconds(t);
  const double saveAbove = static_cast<double>(g_peak - before) / kMiB;
  std::error_code ec;
  const auto bytes = fs::file_size(Work() / "Data/NVSE/Plugins/Corvane/Saves/big.csv", ec);
  cv::persist::clearsettings();
  t = Clock::now();
  cv::persist::loadsettings("big");
  const double loadSeconds = Seconds(t);
  std::size_t whole = 0;
  for (std::size_t i = 0; i < rows; ++i) {
    const std::string* got =
        store.Find<cv::EvKind::String>(0x00100000 + static_cast<std::uint32_t>(i), "k");
    whole += got != nullptr && *got == value ? 1 : 0;
  }
  const bool ok = !ec && whole == rows && store.EntryCount(cv::EvKind::String) == rows;
  std::fprintf(out,
               "%d-bit build: a %.0f MB file of %zu values saved in %.1f s (heap above the store "
               "%.2f MiB) and loaded back in %.1f s, %zu of %zu values whole; peak memory of "
               "the process %.0f MiB: %s\n",
               sizeof(void*) == 8 ? 64 : 32, ec ? 0.0 : static_cast<double>(bytes) / 1e6, rows,
               saveSeconds, saveAbove, loadSeconds, whole, rows,
               static_cast<double>(cv::platform::testing::PeakMemoryBytes()) / kMiB,
               ok ? "ok" : "FAILED");
  fs::remove_all(Work() / "Data");
  return ok ? 0 : 3;
}

}  // namespace

int main(int argc, char** argv) {
  // The log's echo goes to the null device, not among the figures.
  std::FILE* out = cv::platform::testing::DivertStandardOutput();
  if (out == nullptr) out = stdout;
  SetUp();
  if (argc == 3 && std::string(argv[1]) == "big") return Big(out, std::stoul(argv[2]));
  if (argc != 1) {
    std::fprintf(stderr, "usage: save_memory [big MEGABYTES]\n");
    return 2;
  }
  const int rc = Figure(out);
  fs::remove_all(Work() / "Data");
  return rc;
}
