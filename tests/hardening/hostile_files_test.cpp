// Hostile save-data files: empty, binary, cut off inside a quote, a 10 MB
// line, a million mod-index rows, mod indices out of range, 30-digit numbers,
// a byte-order mark, every kind of line end, a folder in the file's place and
// a folder that cannot be written. Every load ends, reads what can be read,
// logs what it skipped, and leaves a store that saves and loads again.
#include <gtest/gtest.h>

#include <chrono>
#include <cstdint>
#include <fstream>
#include <memory>
#include <random>
#include <string>

#include "game_harness.h"
#include "persist/mod_maps.h"
#include "platform/fault.h"
#include "short_output.h"
#include "tests/ev/flood_keys.h"

namespace cv::hardening {
namespace {

constexpr const char* kIx0 = "IX, 0, \"FalloutNV.esm\",\r\n";

class HostileFiles : public ::testing::Test {
 protected:
  void SetUp() override {
    game = std::make_unique<Game>();
    ASSERT_EQ(game->Run("loadorder \"FalloutNV.esm\" \"Walk.esp\"\nnpc 10 \"a\\b.nif\"\n"
                        "actor 14 10\n"),
              sim::kPassed);
  }
  void TearDown() override {
    fault::DisarmAll();
    game.reset();
  }

  // Loads the save "hostile" whose file holds these bytes.
  void Load(std::string_view bytes) {
    WriteBytes(SaveFile("hostile"), bytes);
    RestartLog();
    ASSERT_EQ(game->Run("message loadgame \"hostile\""), sim::kPassed)
        << cv::testing::Shortened(game->Errors());
    EXPECT_EQ(FailureLines(), std::vector<std::string>{});
    EXPECT_TRUE(LogHas("END: load settings"));
  }
  const float* Float(EvOwnerId owner, const std::string& key) {
    return TheStore().Find<EvKind::Float>(owner, key);
  }
  const std::string* String(EvOwnerId owner, const std::string& key) {
    return TheStore().Find<EvKind::String>(owner, key);
  }
  // What was read saves and loads again unchanged (less zero values).
  void ExpectSavesAndLoads() {
    const Snapshot read = WithoutZeroValues(TakeSnapshot());
    RestartLog();
    ASSERT_EQ(game->Run("message savegame \"again\"\nmessage loadgame \"again\""), sim::kPassed);
    EXPECT_PRED_FORMAT2(SameStore, TakeSnapshot(), read);
    EXPECT_EQ(FailureLines(), std::vector<std::string>{});
  }

  std::unique_ptr<Game> game;
};

TEST_F(HostileFiles, EmptyFile) {
  Load("");
  EXPECT_PRED_FORMAT2(SameStore, TakeSnapshot(), Snapshot{});
}

TEST_F(HostileFiles, BinaryGarbage) {
  std::mt19937 random(7);
  const char alphabet[] = "\0\r\n\",, \tIXSTFOL0123456789-+.e\xef\xbb\xbf\x80\xff";
  std::string bytes;
  for (int i = 0; i < 200000; ++i) {
    bytes.push_back(random() % 4 == 0 ? static_cast<char>(random())
                                      : alphabet[random() % (sizeof alphabet - 1)]);
  }
  Load(std::string(kIx0) + bytes);
  ExpectSavesAndLoads();
}

TEST_F(HostileFiles, LineEndsOfEveryKind) {
  for (const char* end : {"\r\n", "\n", "\r", "\n\r"}) {
    SCOPED_TRACE(::testing::PrintToString(std::string(end)));
    std::string file;
    for (const char* row : {"IX, 0, \"FalloutNV.esm\",", "FL, 20, \"hp\", 5",
                            "ST, 20, \"name\", \"Sun\nny\"", "FL, 20, \"last\", 1"})
      file += std::string(row) + end;
    file.pop_back();  // no line end after the last row
    Load(file);
    ASSERT_NE(Float(20, "hp"), nullptr);
    EXPECT_EQ(*Float(20, "hp"), 5.0f);
    ASSERT_NE(Float(20, "last"), nullptr);
    ASSERT_NE(String(20, "name"), nullptr);
  }
}

TEST_F(HostileFiles, ThirtyDigitNumbers) {
  const std::string n30 = "123456789012345678901234567890";
  Load(std::string(kIx0) + "FL, 20, \"value\", " + n30 + "\r\nFL, " + n30 +
       ", \"owner\", 1\r\nFO, 20, \"form\", " + n30 + "\r\nFL, 20, \"after\", 2\r\n");
  ASSERT_NE(Float(20, "value"), nullptr);
  EXPECT_FLOAT_EQ(*Float(20, "value"), 1.2345679e29f);
  ASSERT_NE(Float(20, "after"), nullptr);
  ExpectSavesAndLoads();
}

TEST_F(HostileFiles, TenMegabyteLines) {
  const std::string big(10 << 20, 'x');
  const auto start = std::chrono::steady_clock::now();
  Load(std::string(kIx0) + "ST, 20, \"big\", " + big + "\r\nST, 20, \"quoted\", \"" + big +
       "\"\r\nFL, 20, \"after\", 1\r\n");
  const auto took = std::chrono::steady_clock::now() - start;
  EXPECT_LT(took, std::chrono::seconds(20));
  ASSERT_NE(String(20, "big"), nullptr);
  EXPECT_EQ(String(20, "big")->size(), big.size());
  ASSERT_NE(Float(20, "after"), nullptr);
}

// A spreadsheet that saves "CSV UTF-8" puts a byte-order mark first; the
// first row is read all the same.
TEST_F(HostileFiles, ByteOrderMark) {
  Load(std::string("\xEF\xBB\xBF") + kIx0 + "FL, 20, \"hp\", 5\r\n");
  ASSERT_NE(Float(20, "hp"), nullptr);
  EXPECT_EQ(*Float(20, "hp"), 5.0f);
  for (const std::string& line : LogLines())
    EXPECT_EQ(line.find("Unknown record type"), std::string::npos) << line;
}

// A file cut off inside a quoted key: the rows before it are read, the
// record it began is skipped with a log line.
TEST_F(HostileFiles, TruncatedInsideAQuote) {
  Load(std::string(kIx0) + "FL, 20, \"hp\", 5\r\nST, 20, \"cut, off\r\nFL, 20, inside, 1");
  ASSERT_NE(Float(20, "hp"), nullptr);
  EXPECT_EQ(TakeSnapshot().size(), 1u) << cv::testing::Shortened(Describe(TakeSnapshot()));
  EXPECT_TRUE(LogHas("The file ends inside a quoted field; its last record is skipped"));
  ExpectSavesAndLoads();
}

// Mod-index rows whose index is no mod index (0 to 255) are skipped: a
// negative or non-numeric index must not pass for mod 0.
TEST_F(HostileFiles, ModIndicesOutOfRange) {
  Load(std::string(kIx0) +
       "IX, 1, \"Walk.esp\",\r\nIX, -1, \"Walk.esp\",\r\nIX, 256, \"Walk.esp\",\r\n"
       "IX, 4294967296, \"Walk.esp\",\r\nIX, mod, \"Walk.esp\",\r\nIX, , \"Walk.esp\",\r\n"
       "FL, 20, \"zero\", 1\r\nFL, 16777236, \"one\", 2\r\n");
  ASSERT_NE(Float(20, "zero"), nullptr) << cv::testing::Shortened(Describe(TakeSnapshot()));
  ASSERT_NE(Float(0x01000014, "one"), nullptr);
  EXPECT_TRUE(LogHas("Skipped 5 mod-index rows whose index is not a number from 0 to 255"));
}

TEST_F(HostileFiles, AMillionModIndexRows) {
  std::string file;
  file.reserve(32 << 20);
  for (int i = 0; i < 1000000; ++i)
    file += "IX, " + std::to_string(i) + ", \"M" + std::to_string(i) + ".esp\",\r\n";
  file += std::string(kIx0) + "IX, 1, \"Walk.esp\",\r\nFL, 16777236, \"v\", 1\r\n";
  const auto start = std::chrono::steady_clock::now();
  Load(file);
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(30));
  ASSERT_NE(Float(0x01000014, "v"), nullptr);
  EXPECT_LE(persist::TheModMaps().savedModNames().size(), 256u);
  EXPECT_TRUE(LogHas("Skipped 999744 mod-index rows whose index is not a number from 0 to 255"));
}

// 12 references with 8,300 keys each that all shared one hash under the
// former unseeded hash (3 MB): every key loads, the tables stay near the
// size their entries need, and nothing is logged as a failure.
TEST_F(HostileFiles, KeysMadeToCollideLoadInBoundedMemory) {
  const std::vector<std::string> keys = cv::testing::FormerHashCollisions(8300);
  std::string file = kIx0;
  for (int ref = 0; ref < 12; ++ref)
    for (const std::string& k : keys)
      file += "FL, " + std::to_string(20 + ref) + ", \"" + k + "\", 1\r\n";
  ASSERT_GT(file.size(), 3000000u);
  Load(file);
  EXPECT_EQ(TheStore().EntryCount(EvKind::Float), 12u * keys.size());
  EXPECT_LE(TheStore().BucketCount(EvKind::Float), 4 * 12 * keys.size());
  for (const std::string& k : keys) ASSERT_NE(Float(31, k), nullptr);
  for (const std::string& line : LogLines())
    EXPECT_EQ(line.find("bad_alloc"), std::string::npos) << line;
}

// Tags, keys and mod names from a file reach the log as text.
TEST_F(HostileFiles, FormatSequencesInAFile) {
  Load(std::string(kIx0) + "IX, 1, \"%s%n%s.esp\",\r\n%n%s%x, 1, 2, 3\r\n" +
       "FL, 16777236, \"%s%s%n\", 1\r\nST, 20, \"%p%n\", \"%s%n\"\r\n");
  EXPECT_TRUE(LogHas("Unknown record type '%n%s%x'"));
  EXPECT_TRUE(LogHas("Lost EVFL '%s%s%n': its mod is missing"));
  EXPECT_TRUE(LogHas("Cannot map mod %s%n%s.esp"));
  ASSERT_NE(String(20, "%p%n"), nullptr);
  EXPECT_EQ(*String(20, "%p%n"), "%s%n");
}

TEST_F(HostileFiles, FileThatIsAFolder) {
  fs::create_directories(SaveFile("folder"));
  RestartLog();
  ASSERT_EQ(game->Run("run 14 CV_SetEVFl \"hp\" 5\nmessage savegame \"folder\"\n"
                      "message loadgame \"folder\""),
            sim::kPassed);
  EXPECT_TRUE(LogHas("Failed writing savefile " + HostSaveFolder() + "folder.csv"));
  EXPECT_TRUE(LogHas("Failed opening savefile " + HostSaveFolder() + "folder.csv"));
  EXPECT_TRUE(fs::is_directory(SaveFile("folder")));
  EXPECT_TRUE(fs::is_empty(SaveFile("folder")));
  EXPECT_EQ(FailureLines(), std::vector<std::string>{});
}

// A folder that refuses writes: the save fails with a log line and the
// previous file stays. Made with permission bits where they stop this
// process, and through the platform's fault seam everywhere.
TEST_F(HostileFiles, SaveFolderThatCannotBeWritten) {
  ASSERT_EQ(game->Run("run 14 CV_SetEVFl \"hp\" 5\nmessage savegame \"locked\"\n"
                      "run 14 CV_SetEVFl \"hp\" 6\n"),
            sim::kPassed);
  const std::string previous = ReadBytes(SaveFile("locked"));
  ASSERT_FALSE(previous.empty());

  RestartLog();
  fault::Arm("file.open", 1, fault::Kind::Return);
  ASSERT_EQ(game->Run("message savegame \"locked\""), sim::kPassed);
  fault::DisarmAll();
  EXPECT_TRUE(LogHas("Failed writing savefile " + HostSaveFolder() + "locked.csv"));
  EXPECT_EQ(ReadBytes(SaveFile("locked")), previous);

  const fs::path folder = SavesFolder();
  fs::permissions(folder, fs::perms::owner_write | fs::perms::group_write | fs::perms::others_write,
                  fs::perm_options::remove);
  const bool bitsHold = !std::ofstream(folder / "probe.tmp").is_open();
  fs::remove(folder / "probe.tmp");
  if (bitsHold) {
    RestartLog();
    ASSERT_EQ(game->Run("message savegame \"locked\""), sim::kPassed);
    EXPECT_TRUE(LogHas("Failed writing savefile " + HostSaveFolder() + "locked.csv"));
    EXPECT_EQ(ReadBytes(SaveFile("locked")), previous);
  }
  fs::permissions(folder, fs::perms::owner_write, fs::perm_options::add);
  if (!bitsHold)
    GTEST_SKIP() << "permission bits do not stop this process from writing (root?); "
                    "the read-only folder was covered through the fault seam only";
}

}  // namespace
}  // namespace cv::hardening
