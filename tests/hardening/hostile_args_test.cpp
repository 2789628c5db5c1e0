// Hostile text from scripts: keys of the longest length and longer, buffers
// the host left without a terminating NUL, every byte from 0x01 to 0xFF,
// printf sequences, line breaks and quotes in keys, values and names. None
// may crash, read past a buffer, or be used as a format; each value comes
// back unchanged from the store, the commands and a save and a load.
#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <string>

#include "ev/ev_commands.h"
#include "game_harness.h"
#include "raw_args.h"
#include "short_output.h"

namespace cv::hardening {
namespace {

constexpr const char* kWorld = R"(loadorder "FalloutNV.esm" "%s%n.esp"
npc 10 "meshes\characters\_male\skeleton.nif"
npc 11 "meshes\%s%n%x\skeleton.nif"
actor 14 10
actor 15 11
)";

std::string Lower(std::string s) {
  for (char& c : s)
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c + 0x20);
  return s;
}

// Every byte but NUL, in order.
std::string EveryByte() {
  std::string s;
  for (int b = 1; b <= 0xFF; ++b) s.push_back(static_cast<char>(b));
  return s;
}

class HostileArgs : public ::testing::Test {
 protected:
  void SetUp() override {
    game = std::make_unique<Game>();
    ASSERT_EQ(game->Run(kWorld), sim::kPassed) << cv::testing::Shortened(game->Errors());
  }
  void TearDown() override { game.reset(); }

  int Run(const std::string& text) { return game->Run(text); }
  TESObjectREFR* Ref(UInt32 id) {
    return reinterpret_cast<TESObjectREFR*>(game->session().world().Known(id));
  }
  // The text of the newest host string variable: what the last string
  // command assigned.
  std::string LastStringResult() {
    const auto& vars = game->session().world().stringVars;
    return vars.empty() ? std::string("<none>") : vars.rbegin()->second;
  }
  // A save and a load give back the store, less its zero/empty entries.
  void ExpectSaveAndLoadKeep(const std::string& saveName) {
    const Snapshot before = WithoutZeroValues(TakeSnapshot());
    RestartLog();
    ASSERT_EQ(Run("message savegame \"" + saveName + "\"\nmessage loadgame \"" + saveName + "\""),
              sim::kPassed)
        << cv::testing::Shortened(game->Errors());
    EXPECT_PRED_FORMAT2(SameStore, TakeSnapshot(), before);
    EXPECT_EQ(FailureLines(), std::vector<std::string>{});
  }

  std::unique_ptr<Game> game;
};

TEST_F(HostileArgs, KeysOfTheLongestLengthAndLonger) {
  const std::string key(511, 'K');
  ASSERT_EQ(Run("run 14 CV_SetEVFl \"" + key + "\" 4\nrun 14 CV_GetEVFl \"" + Lower(key) +
                "\"\nexpect 4\n"),
            sim::kPassed)
      << cv::testing::Shortened(game->Errors());
  // The host keeps the first 511 bytes of a longer key.
  ASSERT_EQ(Run("run 14 CV_SetEVFl \"" + std::string(700, 'j') + "\" 5\nrun 14 CV_GetEVFl \"" +
                std::string(511, 'J') + "\"\nexpect 5\n"),
            sim::kPassed)
      << cv::testing::Shortened(game->Errors());
  EXPECT_EQ(TheStore().EntryCount(EvKind::Float), 2u);
  ExpectSaveAndLoadKeep("long-keys");
  ASSERT_NE(TheStore().Find<EvKind::Float>(0x14, std::string(511, 'k')), nullptr);
}

TEST_F(HostileArgs, TheLongestLiteralAndAMegabyteVariableComeBackWhole) {
  // The host copies a string argument with no bound: a literal of up to
  // 65,535 bytes, a string variable of any length.
  std::string literal(65535, 'l');
  std::string variable(1000000, 'v');
  for (std::size_t i = 0; i < variable.size(); i += 997)
    variable[i] = static_cast<char>('A' + i % 26);
  literal.back() = '!';
  ASSERT_EQ(Run("stringvar 9 \"" + variable + "\"\nrun 14 CV_SetEVSt \"lit\" \"" + literal +
                "\"\nrun 14 CV_SetEVSt \"var\" $9\n"),
            sim::kPassed)
      << cv::testing::Shortened(game->Errors());
  ExpectSaveAndLoadKeep("long-values.fos");
  ASSERT_EQ(Run("run 14 CV_GetEVSt \"lit\""), sim::kPassed)
      << cv::testing::Shortened(game->Errors());
  EXPECT_EQ(LastStringResult(), literal);
  ASSERT_EQ(Run("run 14 CV_GetEVSt \"var\""), sim::kPassed)
      << cv::testing::Shortened(game->Errors());
  EXPECT_EQ(LastStringResult(), variable);
}

TEST_F(HostileArgs, BuffersWithoutTerminatingNulAreReadToTheirEnd) {
  const std::string full(host::kArgBufferSize, 'A');  // fills the buffer, no NUL
  {
    RawArgs raw({Bytes(full), Bytes(std::string(600, 'v'))});
    ASSERT_EQ(Run("run 14 CV_SetEVSt \"k\" \"v\""), sim::kPassed)
        << cv::testing::Shortened(game->Errors());
  }
  const std::string* stored = TheStore().Find<EvKind::String>(0x14, std::string(511, 'a'));
  ASSERT_NE(stored, nullptr);
  EXPECT_EQ(*stored, std::string(600, 'v'));  // a value keeps its whole text
  {
    RawArgs raw({Bytes(full), Number(3)});
    ASSERT_EQ(Run("run 14 CV_SetEVFl \"k\" 1"), sim::kPassed)
        << cv::testing::Shortened(game->Errors());
  }
  {
    RawArgs raw({Bytes(full)});
    ASSERT_EQ(Run("run 14 CV_GetEVSt \"k\"\nrun 14 CV_GetEVFl \"k\"\nexpect 3\n"), sim::kPassed)
        << cv::testing::Shortened(game->Errors());
  }
  {
    RawArgs raw({Bytes(full), Integer(1)});
    ASSERT_EQ(Run("run 14 CV_GetEVStAr \"k\" 1\nexpect-array \"" + std::string(511, 'A') + "\" \"" +
                  std::string(600, 'v') + "\"\n"),
              sim::kPassed)
        << cv::testing::Shortened(game->Errors());
    ASSERT_EQ(Run("run 14 CV_IsUsingSkeleton \"k\"\nexpect 0\nrun 14 CV_ClrEVSt \"k\" 1"),
              sim::kPassed)
        << cv::testing::Shortened(game->Errors());
  }
  EXPECT_EQ(TheStore().Find<EvKind::String>(0x14, std::string(511, 'a')), nullptr);

  // The condition handler gets a word, read as its key only through the
  // engine and only when its NUL lies within a command's key buffer: 512
  // bytes without one are the empty key, where nothing is stored.
  auto key = std::make_unique<char[]>(512);
  std::memset(key.get(), 'A', 512);
  double result = -1;
  EXPECT_TRUE(ev::GetEVFlEval(Ref(0x14), key.get(), nullptr, &result));
  EXPECT_EQ(result, 0.0);
}

TEST_F(HostileArgs, EveryByteComesBackUnchanged) {
  const std::string bytes = EveryByte();
  {
    RawArgs raw({Bytes(bytes), Bytes(bytes)});
    ASSERT_EQ(Run("console 14 CV_SetEVSt \"k\" \"v\""), sim::kPassed)
        << cv::testing::Shortened(game->Errors());
  }
  {
    RawArgs raw({Bytes(bytes), Number(-2.5f)});
    ASSERT_EQ(Run("run 14 CV_SetEVFl \"k\" 1"), sim::kPassed)
        << cv::testing::Shortened(game->Errors());
  }
  // Only A to Z are folded.
  const std::string* stored = TheStore().Find<EvKind::String>(0x14, Lower(bytes));
  ASSERT_NE(stored, nullptr);
  EXPECT_EQ(*stored, bytes);
  {
    RawArgs raw({Bytes(bytes)});
    ASSERT_EQ(Run("console 14 CV_GetEVSt \"k\""), sim::kPassed)
        << cv::testing::Shortened(game->Errors());
    EXPECT_EQ(LastStringResult(), bytes);
  }
  ExpectSaveAndLoadKeep("every-byte");
  stored = TheStore().Find<EvKind::String>(0x14, Lower(bytes));
  ASSERT_NE(stored, nullptr);
  EXPECT_EQ(*stored, bytes);
}

TEST_F(HostileArgs, LineBreaksQuotesAndCommasSurviveASave) {
  const std::string key = "a\r\nb\"c, d\n\"";
  const std::string value = "\"x\ny\r\", w,\r\n";
  {
    RawArgs raw({Bytes(key), Bytes(value)});
    ASSERT_EQ(Run("run 14 CV_SetEVSt \"k\" \"v\""), sim::kPassed)
        << cv::testing::Shortened(game->Errors());
  }
  {
    RawArgs raw({Bytes(" " + key + " "), Number(7)});
    ASSERT_EQ(Run("run 15 CV_SetEVFl \"k\" 1"), sim::kPassed)
        << cv::testing::Shortened(game->Errors());
  }
  ExpectSaveAndLoadKeep("quotes");
  const std::string* stored = TheStore().Find<EvKind::String>(0x14, key);
  ASSERT_NE(stored, nullptr);
  EXPECT_EQ(*stored, value);
  ASSERT_NE(TheStore().Find<EvKind::Float>(0x15, " " + key + " "), nullptr);
}

// Printf sequences from a script or the game reach the log and the console
// as text.
TEST_F(HostileArgs, FormatSequencesArePrintedAsText) {
  RestartLog();
  ASSERT_EQ(Run(R"(run 14 CV_SetEVSt "%s%n%x" "%n%s%s%p"
console 14 CV_GetEVSt "%S%N%X"
expect-console "GetEVSt: %n%s%s%p"
console 14 CV_IsUsingSkeleton "%s%n%s"
expect 0
console 15 CV_GetSkeletonPath
expect "%s%n%x"
expect-console "GetSkeletonPath %s%n%x"
run 14 CV_ClrEVSt "%s" 7
)"),
            sim::kPassed)
      << cv::testing::Shortened(game->Errors());
  EXPECT_TRUE(LogHas("SIC %s%n%s _male is -58"))
      << "log:\n"
      << cv::testing::Shortened(::testing::PrintToString(LogLines()));
  EXPECT_TRUE(LogHas("IDX 1 is %s%n%x"));
  EXPECT_TRUE(LogHas("Unknown domatch setting 7"));
  ExpectSaveAndLoadKeep("%s%n%x%p");
  EXPECT_TRUE(LogHas("Saving to: '" + HostSaveFolder() + "%s%n%x%p.csv'"));
}

}  // namespace
}  // namespace cv::hardening
