// Store operations at 10^3, 10^5 and 10^6 float entries (10 keys an owner,
// keys skill.key0 .. skill.key9, random access order), each measured for the
// baseline, the store on std::unordered_map and the store on tsl::robin_map.
#include "bench/store_bench.h"

#include <benchmark/benchmark.h>

#include <algorithm>
#include <array>
#include <iterator>
#include <map>
#include <memory>
#include <random>
#include <string>
#include <utility>
#include <vector>

#include "bench/adapters.h"

namespace cv::bench {

namespace {

constexpr std::uint32_t kKeysPerOwner = 10;
constexpr EvOwnerId kFirstOwner = 0x0A000800;

struct Access {
  EvOwnerId owner;
  std::uint32_t key;
};

// Everything a benchmark of one size reads, built once.
struct Workload {
  std::size_t entries = 0;
  std::size_t owners = 0;
  std::vector<std::string> keys;      // skill.key0 .. skill.key9
  std::vector<std::string> missing;   // skill.miss0 .. skill.miss9
  std::vector<Access> fill;           // every (owner, key) once, shuffled
  std::vector<Access> order;          // random accesses, a power of two long
  std::vector<EvOwnerId> ownerOrder;  // every owner once, shuffled
};

const Workload& GetWorkload(std::size_t entries) {
  static std::map<std::size_t, Workload> cache;
  auto [it, fresh] = cache.try_emplace(entries);
  Workload& w = it->second;
  if (!fresh) return w;
  std::mt19937 rng(static_cast<std::uint32_t>(entries));
  w.entries = entries;
  w.owners = entries / kKeysPerOwner;
  for (std::uint32_t k = 0; k < kKeysPerOwner; ++k) {
    w.keys.push_back("skill.key" + std::to_string(k));
    w.missing.push_back("skill.miss" + std::to_string(k));
  }
  for (std::size_t o = 0; o < w.owners; ++o) {
    w.ownerOrder.push_back(kFirstOwner + static_cast<EvOwnerId>(o));
    for (std::uint32_t k = 0; k < kKeysPerOwner; ++k)
      w.fill.push_back({kFirstOwner + static_cast<EvOwnerId>(o), k});
  }
  std::shuffle(w.fill.begin(), w.fill.end(), rng);
  std::shuffle(w.ownerOrder.begin(), w.ownerOrder.end(), rng);
  std::size_t n = 1u << 16;
  while (n < entries && n < (1u << 20)) n <<= 1;
  std::uniform_int_distribution<std::size_t> pick(0, w.fill.size() - 1);
  for (std::size_t i = 0; i < n; ++i) w.order.push_back(w.fill[pick(rng)]);
  return w;
}

template <class Impl>
void Fill(Impl& impl, const Workload& w) {
  for (const Access& a : w.fill) impl.Entry(a.owner, w.keys[a.key]) = static_cast<float>(a.key);
}

// One filled instance per candidate and size, kept for the whole run; slot
// tells apart instances that a benchmark modifies.
template <class Impl>
Impl& Filled(std::size_t entries, int slot) {
  static std::map<std::pair<std::size_t, int>, std::unique_ptr<Impl>> cache;
  auto& p = cache[{entries, slot}];
  if (!p) {
    p = std::make_unique<Impl>();
    Fill(*p, GetWorkload(entries));
  }
  return *p;
}

template <class Impl>
void FindHit(benchmark::State& state, std::size_t entries) {
  const Workload& w = GetWorkload(entries);
  const Impl& impl = Filled<Impl>(entries, 0);
  const std::size_t mask = w.order.size() - 1;
  std::size_t i = 0;
  float sum = 0;
  for (auto _ : state) {
    const Access& a = w.order[i++ & mask];
    sum += *impl.Find(a.owner, w.keys[a.key]);
  }
  benchmark::DoNotOptimize(sum);
}

template <class Impl>
void FindMiss(benchmark::State& state, std::size_t entries) {
  const Workload& w = GetWorkload(entries);
  const Impl& impl = Filled<Impl>(entries, 0);
  const std::size_t mask = w.order.size() - 1;
  std::size_t i = 0, found = 0;
  for (auto _ : state) {
    const Access& a = w.order[i++ & mask];
    found += impl.Find(a.owner, w.missing[a.key]) != nullptr;
  }
  if (found != 0) state.SkipWithError("a missing key was found");
}

template <class Impl>
void EntryOverwrite(benchmark::State& state, std::size_t entries) {
  const Workload& w = GetWorkload(entries);
  Impl& impl = Filled<Impl>(entries, 0);
  const std::size_t mask = w.order.size() - 1;
  std::size_t i = 0;
  for (auto _ : state) {
    const Access& a = w.order[i & mask];
    impl.Entry(a.owner, w.keys[a.key]) = static_cast<float>(i++);
  }
}

// Fills a fresh instance up to the size, entry by entry, growth included.
template <class Impl>
void EntryInsert(benchmark::State& state, std::size_t entries) {
  const Workload& w = GetWorkload(entries);
  auto impl = std::make_unique<Impl>();
  std::size_t i = 0;
  for (auto _ : state) {
    if (i == w.fill.size()) {
      state.PauseTiming();
      impl = std::make_unique<Impl>();
      i = 0;
      state.ResumeTiming();
    }
    const Access& a = w.fill[i++];
    impl->Entry(a.owner, w.keys[a.key]) = 1.0f;
  }
}

// Clears skill.* (all ten keys) of one owner after another; once every owner
// is empty, the entries are put back outside the timed region.
template <class Impl>
void EraseSubkeys(benchmark::State& state, std::size_t entries) {
  const Workload& w = GetWorkload(entries);
  Impl& impl = Filled<Impl>(entries, 1);
  static std::map<std::size_t, std::size_t> cursors;
  std::size_t& i = cursors[entries];
  std::size_t removed = 0;
  for (auto _ : state) {
    if (i == w.ownerOrder.size()) {
      state.PauseTiming();
      Fill(impl, w);
      i = 0;
      state.ResumeTiming();
    }
    removed += impl.EraseSubkeys(w.ownerOrder[i++], "skill.");
  }
  benchmark::DoNotOptimize(removed);
}

template <class Impl>
void OwnerListing(benchmark::State& state, std::size_t entries) {
  const Workload& w = GetWorkload(entries);
  const Impl& impl = Filled<Impl>(entries, 0);
  std::size_t i = 0;
  float sum = 0;
  for (auto _ : state) {
    impl.ForEachOwnerEntry(w.ownerOrder[i++ % w.owners],
                           [&](std::string_view key, float v) { sum += v + key.size(); });
  }
  benchmark::DoNotOptimize(sum);
}

using Body = void (*)(benchmark::State&, std::size_t);

constexpr const char* kOperations[] = {"FindHit",        "FindMiss",     "EntryInsert",
                                       "EntryOverwrite", "EraseSubkeys", "OwnerListing"};

template <class Impl>
std::array<Body, std::size(kOperations)> BodiesOf() {
  return {&FindHit<Impl>,        &FindMiss<Impl>,     &EntryInsert<Impl>,
          &EntryOverwrite<Impl>, &EraseSubkeys<Impl>, &OwnerListing<Impl>};
}

}  // namespace

void RegisterStoreBenchmarks() {
  const std::pair<const char*, std::array<Body, std::size(kOperations)>> candidates[] = {
      {kBaseline, BodiesOf<Baseline>()},
      {kStdMaps, BodiesOf<StoreAdapter<detail::StdMaps>>()},
      {kRobinMaps, BodiesOf<StoreAdapter<detail::RobinMaps>>()}};
  const std::pair<const char*, std::size_t> sizes[] = {
      {"1e3", 1000}, {"1e5", 100000}, {"1e6", 1000000}};
  // Candidates of one operation and size run one after the other, so that
  // the machine's state drifts as little as possible between them.
  for (std::size_t op = 0; op < std::size(kOperations); ++op) {
    for (const auto& [label, n] : sizes) {
      for (const auto& [impl, bodies] : candidates) {
        std::string name = std::string(kOperations[op]) + "/" + label + "/" + impl;
        // Judged on the fastest of five repetitions: other work on the
        // machine only ever adds time, and a median of three still moved a
        // 10^3 ratio by a third from run to run.
        benchmark::RegisterBenchmark(name.c_str(), bodies[op], n)
            ->MinTime(0.2)
            ->Repetitions(5)
            ->ComputeStatistics(
                "min",
                [](const std::vector<double>& v) { return *std::min_element(v.begin(), v.end()); })
            ->ReportAggregatesOnly(true);
      }
    }
  }
}

}  // namespace cv::bench
