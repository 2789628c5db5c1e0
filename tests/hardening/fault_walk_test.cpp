// The fault walk: every command and host message, with every operation it
// reaches made to fail in every way that operation can fail, on its first,
// a middle and its last call. After each failure:
//   (a) the failure-logging convention wrote exactly its one line under the
//       right log name, or nothing when the documented outcome is quiet;
//   (b) every handler returned true and nothing escaped to the host;
//   (c) the store holds nothing the call could not have left, the next
//       commands work, and a save followed by a load reproduces the store;
//       a failed save leaves the previous save-data file as it was.
#include <gtest/gtest.h>

#include <cstdint>
#include <limits>
#include <map>
#include <set>
#include <string>

#include "game_harness.h"
#include "log/log.h"
#include "platform/fault.h"
#include "short_output.h"
#include "walk_cases.h"

namespace cv::hardening {
namespace {

constexpr const char* kCounter = "walk.count";

struct Baseline {
  std::map<std::string, std::uint32_t> reached;  // fault name -> calls made
  Snapshot after;
  std::string written;  // the save-data file the clean call wrote
};

const char* KindName(fault::Kind k) {
  switch (k) {
    case fault::Kind::Return: return "return";
    case fault::Kind::StdError: return "std";
    case fault::Kind::Integer: return "int";
    case fault::Kind::Other: return "other";
    default: return "none";
  }
}

// The lines the convention writes for this failure, in this guarded region.
std::vector<std::string> ExpectedLines(const WalkCase& c, const FaultSpec& f, fault::Kind kind) {
  const std::string name = c.LogNameFor(f.name);
  const bool outer = name == c.logName;
  const std::string intName = outer && c.integerLogName != nullptr ? c.integerLogName : name;
  switch (kind) {
    case fault::Kind::Return:
      for (const char* own : c.ownLineOnReturn)
        if (std::string_view(own) == f.name) return {};
      if (f.returnBecomes == nullptr) return {};
      return {"Exception in " + name + ": " + f.returnBecomes};
    case fault::Kind::StdError: return {"Exception in " + name + ": injected fault: " + f.name};
    case fault::Kind::Integer: return {"Exception in " + intName + ": 0x0badf00d"};
    default: return {"Unknown exception in " + name};
  }
}

bool IsFileFault(std::string_view name) { return name.rfind("file.", 0) == 0; }

// Opens a game with the common world and the case's setup run.
std::unique_ptr<Game> Prepare(const WalkCase& c) {
  auto g = std::make_unique<Game>();
  EXPECT_EQ(g->Run(kCommonWorld), sim::kPassed) << g->Errors();
  EXPECT_EQ(g->Run(c.setup), sim::kPassed) << g->Errors();
  return g;
}

// Nothing the call could not have left: every entry holds its value from
// before the call, the value the call gives it, or its zero/empty value (an
// entry created just before the failure). Unless the call replaces the
// store, what it would have kept is still there.
void ExpectConsistentStore(const WalkCase& c, const Snapshot& before, const Snapshot& faulted,
                           const Snapshot& clean) {
  auto same = [](const Snapshot& s, const StoreKey& k, const std::string& v) {
    auto it = s.find(k);
    return it != s.end() && it->second == v;
  };
  for (const auto& [key, value] : faulted)
    EXPECT_TRUE(IsZeroValue(value) || same(before, key, value) || same(clean, key, value))
        << "unexpected entry after the failure: "
        << cv::testing::Shortened(Describe({{key, value}}));
  if (c.replacesStore) return;
  for (const auto& [key, value] : before) {
    if (!same(clean, key, value)) continue;
    EXPECT_TRUE(same(faulted, key, value))
        << "lost: " << cv::testing::Shortened(Describe({{key, value}}));
  }
}

// The next commands work, and a save and a load reproduce the store less
// its zero/empty entries.
constexpr const char* kNextCommands = R"(run 14 CV_SetEVFl "After" 2.5
run 14 CV_GetEVFl "after"
expect 2.5
run 14 CV_SetEVSt "after" "x, ""y"""
run 14 CV_GetEVSt "AFTER"
expect "x, ""y"""
run 14 CV_SetEVFo "after" 16
run 14 CV_GetEVFo "after"
expect 0x16
)";
constexpr const char* kSaveAndLoad = R"(message savegame "walk-check"
message loadgame "walk-check"
)";

void ExpectUsable(Game& g) {
  RestartLog();
  const int next = g.Run(kNextCommands);
  EXPECT_EQ(next, sim::kPassed) << "the next commands fail:\n" << g.Errors();
  const Snapshot kept = TakeSnapshot();
  const int saveLoad = g.Run(kSaveAndLoad);
  EXPECT_EQ(saveLoad, sim::kPassed) << g.Errors();
  EXPECT_PRED_FORMAT2(SameStore, TakeSnapshot(), WithoutZeroValues(kept));
  EXPECT_EQ(FailureLines(), std::vector<std::string>{});
}

class FaultWalk : public ::testing::TestWithParam<std::size_t> {
 protected:
  void SetUp() override { fault::DisarmAll(); }
  void TearDown() override { fault::DisarmAll(); }

  const WalkCase& Case() const { return WalkCases()[GetParam()]; }

  // The call without failures: what it reaches and what it leaves.
  Baseline RunClean() {
    const WalkCase& c = Case();
    Baseline b;
    auto g = Prepare(c);
    RestartLog();
    fault::DisarmAll();
    fault::Arm(kCounter, std::numeric_limits<std::uint32_t>::max(), fault::Kind::None);
    EXPECT_EQ(g->Run(c.call), sim::kPassed) << g->Errors();
    for (const FaultSpec& f : Faults())
      if (std::uint32_t n = fault::Calls(f.name); n > 0) b.reached[f.name] = n;
    fault::DisarmAll();
    EXPECT_EQ(FailureLines(), std::vector<std::string>{});
    EXPECT_EQ(LogIndentLevel(), 0);
    EXPECT_EQ(g->session().world().HeapBlocks(), 0u);
    b.after = TakeSnapshot();
    if (c.savedFile != nullptr) b.written = ReadBytes(SaveFile(c.savedFile));
    return b;
  }

  void RunFaulted(const Baseline& base, const FaultSpec& f, fault::Kind kind, std::uint32_t nth) {
    const WalkCase& c = Case();
    SCOPED_TRACE(std::string(c.call) + " with " + f.name + " failing (" + KindName(kind) +
                 ") on call " + std::to_string(nth));
    auto g = Prepare(c);
    const std::string previous = c.savedFile != nullptr ? ReadBytes(SaveFile(c.savedFile)) : "";
    const Snapshot before = TakeSnapshot();
    RestartLog();
    fault::DisarmAll();
    fault::Arm(f.name, nth, kind);
    const int status = g->Run(c.call);
    const std::uint32_t calls = fault::Calls(f.name);
    fault::DisarmAll();

    ASSERT_GE(calls, nth) << "the fault never fired";
    EXPECT_EQ(status, sim::kPassed) << g->Errors();        // (b)
    EXPECT_EQ(FailureLines(), ExpectedLines(c, f, kind));  // (a)
    EXPECT_EQ(LogIndentLevel(), 0) << "the failure left the log indented";
    EXPECT_EQ(g->session().world().HeapBlocks(), 0u) << "game-heap blocks never handed over";
    ExpectConsistentStore(c, before, TakeSnapshot(), base.after);  // (c)
    if (c.savedFile != nullptr) {
      const std::string now = ReadBytes(SaveFile(c.savedFile));
      if (IsFileFault(f.name)) {
        EXPECT_EQ(now, previous) << "a failed save changed the previous save-data file";
      } else {
        EXPECT_TRUE(now == previous || now == base.written) << "a partial save-data file";
      }
      for (const auto& e : fs::directory_iterator(SavesFolder()))
        EXPECT_EQ(e.path().extension(), ".csv") << "left behind: " << e.path();
    }
    ExpectUsable(*g);
    ++runs_;
  }

  int runs_ = 0;
};

TEST_P(FaultWalk, EveryReachedFaultInEveryKind) {
  const WalkCase& c = Case();
  const Baseline base = RunClean();
  for (const char* name : c.reaches)
    EXPECT_TRUE(base.reached.count(name)) << c.call << " does not reach " << name;
  if (HasFailure()) return;

  for (const auto& [name, count] : base.reached) {
    const FaultSpec& f = *FindFault(name);
    std::set<std::uint32_t> nths = {1, (count + 1) / 2, count};
    std::vector<fault::Kind> kinds = {fault::Kind::StdError, fault::Kind::Integer,
                                      fault::Kind::Other};
    if (f.failsByReturn) kinds.push_back(fault::Kind::Return);
    for (fault::Kind kind : kinds)
      for (std::uint32_t nth : nths) {
        RunFaulted(base, f, kind, nth);
        if (HasFatalFailure()) return;
      }
  }
  RecordProperty("faulted_runs", runs_);
}

std::string CaseName(const ::testing::TestParamInfo<std::size_t>& info) {
  return WalkCases()[info.param].label;
}

INSTANTIATE_TEST_SUITE_P(Calls, FaultWalk, ::testing::Range<std::size_t>(0, WalkCases().size()),
                         CaseName);

// The walk leaves out no command, no host message and no fault: every
// registered command and every message the plug-in acts on is walked, every
// fault of the table is reached, and every operation that can be made to
// fail is in the table.
TEST(FaultWalkCoverage, EveryCommandMessageAndFault) {
  std::set<std::string> called;
  std::set<std::string> reached;
  for (const WalkCase& c : WalkCases()) {
    const std::string call = c.call;
    const std::size_t verbEnd = call.find(' ');
    const std::size_t next = call.find(' ', verbEnd + 1);
    if (call.compare(0, verbEnd, "message") == 0) {
      called.insert("message " + call.substr(verbEnd + 1, next - verbEnd - 1));
    } else {
      called.insert(call.substr(next + 1, call.find(' ', next + 1) - next - 1));
    }
    auto g = Prepare(c);
    fault::DisarmAll();
    fault::Arm(kCounter, std::numeric_limits<std::uint32_t>::max(), fault::Kind::None);
    g->Run(c.call);
    for (const std::string& name : fault::Counted()) reached.insert(name);
    fault::DisarmAll();
  }
  Game g;
  for (const sim::Registration& r : g.session().host().registrations)
    EXPECT_TRUE(called.count(r.name)) << r.name << " is not walked";
  for (const char* message : {"postload", "exitgame", "exittomenu", "loadgame", "savegame",
                              "newgame", "deletegame", "renamegame", "renamenewgame"})
    EXPECT_TRUE(called.count(std::string("message ") + message)) << message << " is not walked";
  for (const FaultSpec& f : Faults())
    EXPECT_TRUE(reached.count(f.name)) << f.name << " is never reached";
  reached.erase(kCounter);
  for (const std::string& name : reached)
    EXPECT_NE(FindFault(name), nullptr) << name << " can fail but is not in the walk's table";
}

}  // namespace
}  // namespace cv::hardening
