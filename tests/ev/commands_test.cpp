// The extended-variable commands where a scenario file cannot reach: key
// buffers the host left without a terminator, the condition handler's
// words, never read, the untouched upper half of a form result, the store running out
// of memory, and log lines that must not be written.
#include <gtest/gtest.h>

#include <cstdarg>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "ev/ev_commands.h"
#include "ev/store.h"
#include "host/game.h"
#include "host/host.h"
#include "platform/fault.h"
#include "platform/platform.h"
#include "plugin/plugin.h"
#include "sim/scenario/session.h"
#include "test_support.h"

namespace cv {
namespace {

using cv::testing::Found;

// --- A minimal host for calling handlers directly --------------------------

constexpr UInt32 kOwner = 0x0100ABCD;
TESObjectREFR* const kRef = reinterpret_cast<TESObjectREFR*>(0x1000);

// What the fake extraction writes: the key buffer (all 512 bytes, no NUL)
// and, when asked, a float.
struct Extraction {
  bool withFloat = false;
  float value = 0;
};
Extraction g_extraction;

bool FakeExtract(ParamInfo*, void*, UInt32*, Script*, ScriptEventList* events, ...) {
  va_list args;
  va_start(args, events);
  char* key = va_arg(args, char*);
  std::memset(key, 'K', host::kArgBufferSize);
  if (g_extraction.withFloat) *va_arg(args, float*) = g_extraction.value;
  va_end(args);
  return true;
}

class DirectHandlers : public ::testing::Test {
 protected:
  void SetUp() override {
    saved_ = host::TheSlots();
    script_.ExtractArgsEx = FakeExtract;
    host::TheSlots().script = &script_;
    engine_.GetRefID = [](const TESForm* f) { return f != nullptr ? kOwner : 0u; };
    engine_.IsConsoleMode = [] { return false; };
    game::Bind(&engine_);
    TheStore().ClearAll();
  }
  void TearDown() override {
    host::TheSlots() = saved_;
    game::Bind(nullptr);
    TheStore().ClearAll();
  }
  host::CommandArgs Args(double* result) {
    return {nullptr, nullptr, kRef, nullptr, nullptr, nullptr, result, &offset_};
  }

  host::Slots saved_;
  NVSEScriptInterface script_{};
  CVEngineInterface engine_{};
  UInt32 offset_ = 0;
};

TEST_F(DirectHandlers, KeyBufferWithoutTerminatorKeepsItsFirst511Bytes) {
  double result = 0;
  g_extraction = {true, 3.5f};
  EXPECT_TRUE(ev::SetEVFl(Args(&result)));
  const std::string key(kMaxKeyLength, 'k');
  ASSERT_NE(TheStore().Find<EvKind::Float>(kOwner, key), nullptr);
  EXPECT_EQ(Found(TheStore().Find<EvKind::Float>(kOwner, key)), 3.5f);
  EXPECT_EQ(TheStore().EntryCount(EvKind::Float), 1u);

  g_extraction = {};
  EXPECT_TRUE(ev::GetEVFl(Args(&result)));
  EXPECT_EQ(result, 3.5);
}

// A condition's words are never read: whatever the first one points at,
// text of a stored key included, the key is the empty key (under which a
// value is stored here, to tell it from a missing one).
TEST_F(DirectHandlers, ConditionNeverReadsItsFirstWord) {
  TheStore().Entry<EvKind::Float>(kOwner, "mood") = 2.25f;
  TheStore().Entry<EvKind::Float>(kOwner, "") = 9;
  TheStore().Entry<EvKind::Float>(kOwner, std::string(kMaxKeyLength, 'k')) = 4;
  char mood[] = "Mood";
  char lower[] = "mood";
  std::string longest(kMaxKeyLength, 'K');
  struct Case {
    const char* what;
    void* word;
  };
  const Case cases[] = {
      {"a stored key's text", mood},
      {"its exact text", lower},
      {"the longest key", longest.data()},
      {"0", nullptr},
      {"a small number", reinterpret_cast<void*>(std::uintptr_t{2})},
  };
  for (const Case& c : cases) {
    double result = -1;
    EXPECT_TRUE(ev::GetEVFlEval(kRef, c.word, mood, &result));
    EXPECT_EQ(result, 9.0) << c.what;
  }
  double result = -1;
  EXPECT_TRUE(ev::GetEVFlEval(nullptr, mood, nullptr, &result));
  EXPECT_EQ(result, 0.0) << "no calling reference";
  // The script call, for contrast, reads its key (the host's buffer of 'K's).
  g_extraction = {};
  EXPECT_TRUE(ev::GetEVFl(Args(&result)));
  EXPECT_EQ(result, 4.0);
}

std::vector<std::string> g_console;
void CapturePrint(const char* fmt, ...) {
  va_list args;
  va_start(args, fmt);
  char line[0x4000];
  std::vsnprintf(line, sizeof line, fmt, args);
  va_end(args);
  g_console.emplace_back(line);
}

// Console lines: at most 500 bytes each, cut between characters of the
// system's code page, and no more than 16 of them for one text.
TEST_F(DirectHandlers, ConsoleTextIsPrintedInPiecesTheGameHolds) {
  engine_.Console_Print = CapturePrint;
  const std::string a500(500, 'a');
  const std::string twoByte = "\x82\xA0";  // one character in Shift-JIS
  struct Case {
    const char* what;
    unsigned codePage;
    std::string text;
    std::vector<std::string> lines;
  };
  std::vector<std::string> sixteen(16, a500);
  std::vector<std::string> cutShort = sixteen;
  cutShort.push_back("(7 more bytes not shown)");
  const Case cases[] = {
      {"empty", 1252, "", {""}},
      {"one piece", 1252, a500, {a500}},
      {"one byte over", 1252, a500 + "b", {a500, "b"}},
      {"sixteen pieces", 1252, std::string(16 * 500, 'a'), sixteen},
      {"more than sixteen", 1252, std::string(16 * 500 + 7, 'a'), cutShort},
      {"a two-byte character across the cut",
       932,
       std::string(499, 'a') + twoByte + "b",
       {std::string(499, 'a'), twoByte + "b"}},
      {"the same bytes in a single-byte code page",
       1252,
       std::string(499, 'a') + twoByte + "b",
       {std::string(499, 'a') + "\x82",
        "\xA0"
        "b"}},
  };
  for (const Case& c : cases) {
    platform::testing::OverrideCodePage(c.codePage);
    g_console.clear();
    game::ConsolePrint("%s", c.text.c_str());
    platform::testing::OverrideCodePage(0);
    EXPECT_EQ(g_console, c.lines) << c.what;
  }
  // Formatting happens before the cut: the pieces hold the finished text.
  g_console.clear();
  game::ConsolePrint("GetEVSt: %s", std::string(600, 'x').c_str());
  ASSERT_EQ(g_console.size(), 2u);
  EXPECT_EQ(g_console[0], "GetEVSt: " + std::string(491, 'x'));
  EXPECT_EQ(g_console[1], std::string(109, 'x'));
}

TEST_F(DirectHandlers, FormResultLeavesTheUpperHalfAlone) {
  TheStore().Entry<EvKind::Form>(kOwner, std::string(kMaxKeyLength, 'k')) = 0x0200BEEF;
  double result = 0;
  const UInt32 marker = 0x5A5A5A5A;
  std::memcpy(reinterpret_cast<unsigned char*>(&result) + 4, &marker, 4);
  g_extraction = {};
  EXPECT_TRUE(ev::GetEVFo(Args(&result)));
  UInt32 low, high;
  std::memcpy(&low, &result, 4);
  std::memcpy(&high, reinterpret_cast<unsigned char*>(&result) + 4, 4);
  EXPECT_EQ(low, 0x0200BEEFu);
  EXPECT_EQ(high, marker);
}

// The host reads the mod index of the script that makes an array, so a
// listing with no calling script never asks for one, and returns nothing.
TEST_F(DirectHandlers, ListingsWithoutACallingScriptMakeNoArray) {
  static int made = 0;
  made = 0;
  NVSEArrayVarInterface arrays{};
  arrays.CreateStringMap = [](const char**, const NVSEArrayVarInterface::Element*, UInt32,
                              Script*) -> NVSEArrayVarInterface::Array* {
    ++made;
    return nullptr;
  };
  host::TheSlots().arrayVar = &arrays;
  TheStore().Entry<EvKind::Float>(kOwner, "k") = 1;
  double result = -1;
  for (auto* list : {&ev::GetEVFlAr, &ev::GetEVFoAr, &ev::GetEVStAr}) {
    EXPECT_TRUE(list(Args(&result)));
    EXPECT_EQ(result, 0.0);
  }
  EXPECT_EQ(made, 0);
}

// --- The plug-in in the simulated host, in process ---------------------------

sim::PluginEntry Corvane() { return {"corvane", plugin::Query, plugin::Load}; }

const char* const kWorld =
    "loadorder \"FalloutNV.esm\"\n"
    "npc 00000007 \"skeleton.nif\"\n"
    "actor 00000014 00000007\n"
    "actor 00000015 00000007\n";

TEST(CommandsInSim, StoreOutOfMemoryIsLoggedAndLeavesNoEntry) {
  fault::DisarmAll();
  sim::RunResult r = sim::RunScenarioText(
      Corvane(), std::string(kWorld) +
                     "fault store.alloc 1 return\n"
                     "run 00000014 CV_SetEVFl hp 5\n"
                     "expect-log \"Exception in setevfl: std::bad_alloc\"\n"
                     "run 00000014 CV_GetEVFlAr\nexpect-array\n"
                     "run 00000014 CV_SetEVFl hp 5\n"
                     // the owner map is created, the entry fails: the owner stays
                     "fault store.alloc 2 return\n"
                     "run 00000015 CV_SetEVSt name Vera\n"
                     "expect-log \"Exception in setevst: std::bad_alloc\"\n"
                     "run 00000015 CV_GetEVStAr\nexpect-array\n"
                     "fault store.alloc 1 return\n"
                     "run 00000014 CV_GetEVFlAr Stat 1\nexpect none\n"
                     "expect-log \"Exception in getevflar: std::bad_alloc\"\n"
                     "run 00000014 CV_GetEVFlAr\nexpect-array \"hp\" 5\n");
  fault::DisarmAll();
  EXPECT_EQ(r.status, sim::kPassed) << r.err << r.out;
  EXPECT_TRUE(TheStore().HasOwner(EvKind::String, 0x00000015));
  EXPECT_EQ(TheStore().EntryCount(EvKind::String), 0u);
}

TEST(CommandsInSim, ReadsCreateNothing) {
  sim::RunResult r = sim::RunScenarioText(
      Corvane(), std::string(kWorld) +
                     "run 00000014 CV_GetEVFl hp\nrun 00000014 CV_GetEVFo hp\n"
                     "run 00000014 CV_GetEVSt hp\neval 00000014 CV_GetEVFl\n"
                     "run 00000014 CV_GetEVFlAr hp 1\nrun 00000014 CV_GetEVStAr\n");
  EXPECT_EQ(r.status, sim::kPassed) << r.err;
  for (EvKind k : {EvKind::Float, EvKind::Form, EvKind::String})
    EXPECT_FALSE(TheStore().HasOwner(k, 0x00000014));
}

TEST(CommandsInSim, ClearsWithoutAKeyOrOfAMissingKeyLogNothing) {
  sim::RunResult r = sim::RunScenarioText(
      Corvane(), std::string(kWorld) +
                     "run 00000014 CV_SetEVFo a 00000007\nrun 00000015 CV_SetEVFo b 00000007\n"
                     "run 00000014 CV_ClrEVFo missing\n"
                     "run 00000014 CV_ClrEVFo missing 2\n"
                     "run 00000014 CV_ClrEVFo \"\" 7\n"
                     "run 00000015 CV_GetEVFoAr\nexpect-array\n"
                     "run 00000014 CV_SetEVSt a x\nrun 00000014 CV_ClrEVSt\n");
  EXPECT_EQ(r.status, sim::kPassed) << r.err;
  EXPECT_EQ(r.out.find("Unknown domatch setting"), std::string::npos) << r.out;
  EXPECT_EQ(r.out.find("xception"), std::string::npos) << r.out;
  EXPECT_EQ(TheStore().EntryCount(EvKind::String), 0u);
}

}  // namespace
}  // namespace cv
