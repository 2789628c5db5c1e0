// Players open save-data files in spreadsheets and save them again. Such a
// round trip -- read with the blank after each comma trimmed, written back in
// Python's default CSV dialect -- must give back every value unchanged:
// commas, quotes, line breaks and bytes from 0x80 up included.
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "game_harness.h"
#include "platform/platform.h"
#include "raw_args.h"
#include "short_output.h"

namespace cv::hardening {
namespace {

struct Awkward {
  const char* command;  // a set command of reference 14 or 01000060
  std::string key;
  RawArg value;
};

std::string HighBytes() {
  std::string s;
  for (int b = 0x80; b <= 0xFF; ++b) s.push_back(static_cast<char>(b));
  return s;
}

TEST(Spreadsheet, RoundTripKeepsEveryValue) {
  auto game = std::make_unique<Game>();
  ASSERT_EQ(game->Run("loadorder \"FalloutNV.esm\" \"Caf\xe9 Mod.esp\"\nnpc 10 \"a\\b.nif\"\n"
                      "actor 14 10\nref 01000060 10\n"),
            sim::kPassed)
      << cv::testing::Shortened(game->Errors());

  const std::vector<Awkward> values = {
      {"run 14 CV_SetEVSt", "a, b", Bytes("x, y")},
      {"run 14 CV_SetEVSt", "say \"hi\"", Bytes("\"quoted\" start, \"and end\"")},
      {"run 14 CV_SetEVSt", "two\nlines", Bytes("line 1\r\nline 2\nline 3")},
      {"run 14 CV_SetEVSt", "lone\rcr", Bytes("a\rb")},
      {"run 14 CV_SetEVSt", "caf\xe9 \x80\xff", Bytes(HighBytes())},
      {"run 14 CV_SetEVSt", "inner  blanks\tand tab", Bytes("a  b\tc")},
      {"run 14 CV_SetEVSt", "42", Bytes("0042")},
      {"run 01000060 CV_SetEVSt", "\"", Bytes("\"\"")},
      {"run 14 CV_SetEVFl", "hp, max", Number(12.5f)},
      {"run 01000060 CV_SetEVFl", "\xe9t\xe9", Number(-1.25e-7f)},
  };
  for (const Awkward& v : values) {
    RawArgs raw({Bytes(v.key), v.value});
    ASSERT_EQ(game->Run(std::string(v.command) + " \"k\" 0"), sim::kPassed)
        << cv::testing::Shortened(game->Errors());
  }
  ASSERT_EQ(game->Run("run 14 CV_SetEVFo \"ally, \"\"best\"\"\" 01000060"), sim::kPassed)
      << cv::testing::Shortened(game->Errors());
  const Snapshot saved = TakeSnapshot();
  ASSERT_EQ(saved.size(), values.size() + 1);

  ASSERT_EQ(game->Run("message savegame \"sheet\""), sim::kPassed)
      << cv::testing::Shortened(game->Errors());
  const fs::path in = SaveFile("sheet");
  const fs::path out = SaveFile("sheet-2");
  fs::remove(out);
  ASSERT_EQ(platform::testing::RunProgram(
                {CORVANE_PYTHON, CORVANE_SHEET_SCRIPT, in.string(), out.string()}),
            0);
  const std::string original = ReadBytes(in);
  const std::string rewritten = ReadBytes(out);
  ASSERT_FALSE(rewritten.empty());
  EXPECT_NE(rewritten, original) << "the spreadsheet wrote the file unchanged";
  EXPECT_EQ(rewritten.rfind("IX,0,FalloutNV.esm,\r\n", 0), 0u);  // its own dialect

  RestartLog();
  ASSERT_EQ(game->Run("message loadgame \"sheet-2\""), sim::kPassed)
      << cv::testing::Shortened(game->Errors());
  EXPECT_PRED_FORMAT2(SameStore, TakeSnapshot(), saved);
  EXPECT_EQ(FailureLines(), std::vector<std::string>{});
  game.reset();
}

}  // namespace
}  // namespace cv::hardening
