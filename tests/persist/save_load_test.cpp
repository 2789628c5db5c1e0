// save and loadsettings against a game folder on disk.
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <new>
#include <random>
#include <stdexcept>

#include "persist/savedata.h"
#include "persist_fixture.h"
#include "short_output.h"

// The largest block asked for while g_measuring is set: this program's
// allocator counts.
namespace {
std::size_t g_largestBlock = 0;
bool g_measuring = false;
}  // namespace

// GCC pairs the replaced operator new with free as if it were the library's.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wmismatched-new-delete"
void* operator new(std::size_t n) {
  if (g_measuring && n > g_largestBlock) g_largestBlock = n;
  if (void* p = std::malloc(n == 0 ? 1 : n)) return p;
  throw std::bad_alloc();
}
void operator delete(void* p) noexcept { std::free(p); }
void operator delete(void* p, std::size_t) noexcept { std::free(p); }
// Arrays too: a run-time library of its own (the address sanitizer's) need not
// pass them on to the operator new above.
void* operator new[](std::size_t n) { return operator new(n); }
void operator delete[](void* p) noexcept { operator delete(p); }
void operator delete[](void* p, std::size_t) noexcept { operator delete(p); }
#pragma GCC diagnostic pop

namespace cv::persist::testing {
namespace {

constexpr EvOwnerId kSunny = 0x0100ABCD;  // a reference of MyMod.esp
constexpr EvOwnerId kBase = 0x00012345;   // a reference of FalloutNV.esm
constexpr EvOwnerId kDynamic = 0xFF000801;

void FillWorkedExample() {
  EvStore& s = TheStore();
  s.Entry<EvKind::String>(kSunny, "name") = "Sunny";
  s.Entry<EvKind::Form>(kSunny, "target") = 0x000A1B2C;
  s.Entry<EvKind::Float>(kSunny, "hp") = 12.5f;
  s.Entry<EvKind::Float>(kBase, "count") = 3.0f;
  s.Entry<EvKind::Form>(kBase, "ally") = 0;
}

class SaveLoadTest : public PersistTest {};

TEST_F(SaveLoadTest, WorkedExampleByteForByteAndItsLog) {
  FillWorkedExample();
  ClearLog();
  save("Save 12");
  const std::string head =
      "IX, 0, \"FalloutNV.esm\",\r\n"
      "IX, 1, \"MyMod.esp\",\r\n"
      "ST, 16821197, \"name\", \"Sunny\"\r\n"
      "FO, 16821197, \"target\", 662316\r\n";
  const std::string hp = "FL, 16821197, \"hp\", 12.5\r\n";
  const std::string count = "FL, 74565, \"count\", 3\r\n";
  // Rows of one kind follow the store's own order.
  const std::string file = ReadBytes(SaveFile("Save 12"));
  EXPECT_TRUE(file == head + hp + count || file == head + count + hp)
      << cv::testing::Shortened(file);
  EXPECT_EQ(Log(), "START: save settings\r\n\tSaving to: '" + HostSavePath("Save 12") +
                       "'\r\n\tEVST\r\n\tEVFO\r\n\tEVFL\r\nEND: save settings\r\n");
  EXPECT_FALSE(fs::exists(platform::TemporaryPathFor(SaveFile("Save 12").string())));

  TheStore().Entry<EvKind::Float>(kSunny, "hp") = 99.0f;
  ClearLog();
  loadsettings("Save 12");
  EXPECT_EQ(Log(), "START: load settings\r\n\tCorvane settings cleared\r\nEND: load settings\r\n");
  EXPECT_EQ(SaveFilePath(), HostSavePath("Save 12"));
  const EvStore& s = TheStore();
  EXPECT_EQ(Found(s.Find<EvKind::String>(kSunny, "name")), "Sunny");
  EXPECT_EQ(Found(s.Find<EvKind::Form>(kSunny, "target")), 0x000A1B2Cu);
  EXPECT_EQ(Found(s.Find<EvKind::Float>(kSunny, "hp")), 12.5f);
  EXPECT_EQ(Found(s.Find<EvKind::Float>(kBase, "count")), 3.0f);
  EXPECT_EQ(s.Find<EvKind::Form>(kBase, "ally"), nullptr);
  EXPECT_EQ(s.EntryCount(EvKind::Float) + s.EntryCount(EvKind::Form) + s.EntryCount(EvKind::String),
            4u);
}

TEST_F(SaveLoadTest, IdsFollowTheirModIntoANewLoadOrder) {
  FillWorkedExample();
  TheStore().Entry<EvKind::Float>(kDynamic, "made") = 1.5f;
  save("Save 12");
  Mods() = {"FalloutNV.esm", "Other.esp", "MyMod.esp"};
  loadsettings("Save 12");
  const EvStore& s = TheStore();
  constexpr EvOwnerId kMoved = 0x0200ABCD;
  EXPECT_EQ(Found(s.Find<EvKind::String>(kMoved, "name")), "Sunny");
  EXPECT_EQ(Found(s.Find<EvKind::Form>(kMoved, "target")), 0x000A1B2Cu);
  EXPECT_EQ(Found(s.Find<EvKind::Float>(kMoved, "hp")), 12.5f);
  EXPECT_EQ(Found(s.Find<EvKind::Float>(kBase, "count")), 3.0f);
  EXPECT_EQ(Found(s.Find<EvKind::Float>(kDynamic, "made")), 1.5f);
  for (EvKind k : {EvKind::Float, EvKind::Form, EvKind::String})
    EXPECT_FALSE(s.HasOwner(k, kSunny));
  EXPECT_EQ(TheModMaps().loadedModIndices().at("MyMod.esp"), 2u);
  EXPECT_EQ(TheModMaps().savedModNames().at(1), "MyMod.esp");
}

TEST_F(SaveLoadTest, ValuesOfARemovedModAreDroppedAndLogged) {
  FillWorkedExample();
  save("Save 12");
  Mods() = {"FalloutNV.esm"};
  ClearLog();
  loadsettings("Save 12");
  for (const char* lost :
       {"\tLost EVST 'name': its mod is missing", "\tLost EVFO 'target': its mod is missing",
        "\tLost EVFL 'hp': its mod is missing"})
    EXPECT_NE(Log().find(std::string(lost) + "\r\n\t\tCannot map mod MyMod.esp\r\n"),
              std::string::npos)
        << lost;
  EXPECT_EQ(LogCount("Cannot map mod MyMod.esp"), 3);
  const EvStore& s = TheStore();
  EXPECT_EQ(Found(s.Find<EvKind::Float>(kBase, "count")), 3.0f);
  EXPECT_EQ(s.EntryCount(EvKind::Float) + s.EntryCount(EvKind::Form) + s.EntryCount(EvKind::String),
            1u);
}

TEST_F(SaveLoadTest, AwkwardKeysAndValuesComeBackExactly) {
  std::string high;
  for (int b = 0x80; b <= 0xFF; ++b) high += static_cast<char>(b);
  const std::vector<std::string> texts = {
      "a,b",         "\"quoted\"", "  leading", "trailing \t",
      "line\nbreak", "crlf\r\nin", "cr\r",      "\r\n",
      "\"",          ",",          high,        std::string(1000, 'x') + ",\"",
      "x",           "\t",         " "};
  EvStore& s = TheStore();
  EvOwnerId owner = 0x01000001;
  for (const std::string& t : texts) {
    s.Entry<EvKind::String>(owner, t) = t;  // as key and as value
    s.Entry<EvKind::String>(owner + 1, "v" + t) = "=" + t;
    s.Entry<EvKind::Form>(owner + 2, t) = 0x01000010;
  }
  const std::string longKey = std::string(600, 'k') + "\"," + high;  // beyond 511 bytes
  s.Entry<EvKind::Float>(owner, longKey) = 4.0f;
  save("awkward");
  s.ClearAll();
  loadsettings("awkward");
  for (const std::string& t : texts) {
    SCOPED_TRACE(t);
    ASSERT_NE(s.Find<EvKind::String>(owner, t), nullptr);
    EXPECT_EQ(Found(s.Find<EvKind::String>(owner, t)), t);
    ASSERT_NE(s.Find<EvKind::String>(owner + 1, "v" + t), nullptr);
    EXPECT_EQ(Found(s.Find<EvKind::String>(owner + 1, "v" + t)), "=" + t);
    EXPECT_NE(s.Find<EvKind::Form>(owner + 2, t), nullptr);
  }
  EXPECT_EQ(s.EntryCount(EvKind::String), 2 * texts.size());
  ASSERT_NE(s.Find<EvKind::Float>(owner, longKey), nullptr);
  EXPECT_EQ(Found(s.Find<EvKind::Float>(owner, longKey)), 4.0f);
}

TEST_F(SaveLoadTest, FloatsComeBackBitForBit) {
  const std::vector<float> values = {std::numeric_limits<float>::denorm_min(),
                                     -std::numeric_limits<float>::denorm_min(),
                                     1e-40f,
                                     std::numeric_limits<float>::min(),
                                     std::numeric_limits<float>::max(),
                                     -std::numeric_limits<float>::max(),
                                     std::numeric_limits<float>::infinity(),
                                     -std::numeric_limits<float>::infinity(),
                                     16777216.0f,
                                     16777215.0f,
                                     1234567.0f,
                                     0.1f,
                                     3.14159274f,
                                     -12.5f,
                                     1e-05f,
                                     0.0001f,
                                     123456.789f};
  EvStore& s = TheStore();
  for (std::size_t i = 0; i < values.size(); ++i)
    s.Entry<EvKind::Float>(0x00000100, "f" + std::to_string(i)) = values[i];
  s.Entry<EvKind::Float>(0x00000100, "nan") = std::numeric_limits<float>::quiet_NaN();
  s.Entry<EvKind::Float>(0x00000100, "zero") = 0.0f;
  s.Entry<EvKind::Float>(0x00000100, "negzero") = -0.0f;
  save("floats");
  s.ClearAll();
  loadsettings("floats");
  for (std::size_t i = 0; i < values.size(); ++i) {
    const float* got = s.Find<EvKind::Float>(0x00000100, "f" + std::to_string(i));
    ASSERT_NE(got, nullptr) << i;
    EXPECT_EQ(std::memcmp(got, &values[i], sizeof(float)), 0) << values[i] << " read " << *got;
  }
  ASSERT_NE(s.Find<EvKind::Float>(0x00000100, "nan"), nullptr);
  EXPECT_TRUE(std::isnan(*s.Find<EvKind::Float>(0x00000100, "nan")));
  // Zeros of either sign are not written, so they do not exist after a load.
  EXPECT_EQ(s.Find<EvKind::Float>(0x00000100, "zero"), nullptr);
  EXPECT_EQ(s.Find<EvKind::Float>(0x00000100, "negzero"), nullptr);
}

TEST_F(SaveLoadTest, MissingFileLeavesTheStoreEmpty) {
  TheStore().Entry<EvKind::Float>(kBase, "count") = 3.0f;
  ClearLog();
  loadsettings("Never Saved");
  EXPECT_EQ(Log(),
            "START: load settings\r\n\tCorvane settings cleared\r\n\tFailed opening savefile " +
                HostSavePath("Never Saved") + "\r\nEND: load settings\r\n");
  EXPECT_FALSE(TheStore().HasOwner(EvKind::Float, kBase));
}

TEST_F(SaveLoadTest, LoadingAgainRestoresTheSavedValue) {
  FillWorkedExample();
  save("S");
  loadsettings("S");
  TheStore().Entry<EvKind::Float>(kSunny, "hp") = 1.0f;
  TheStore().Entry<EvKind::Float>(kSunny, "new") = 1.0f;
  loadsettings("S");
  EXPECT_EQ(Found(TheStore().Find<EvKind::Float>(kSunny, "hp")), 12.5f);
  EXPECT_EQ(TheStore().Find<EvKind::Float>(kSunny, "new"), nullptr);
}

// Each save writes its file from scratch, whatever lay there before: the
// previous file, or the temporary file of a save cut off by a crash (it
// holds a value deleted since, and is longer than the new file).
TEST_F(SaveLoadTest, SavingTwiceKeepsOnlyTheSecond) {
  const std::string second =
      "IX, 0, \"FalloutNV.esm\",\r\nIX, 1, \"MyMod.esp\",\r\n"
      "ST, 74565, \"only\", \"this\"\r\n";
  std::string crashed;
  while (crashed.size() <= second.size()) crashed += "FL, 74565, \"deleted\", 9\r\n";
  const fs::path temporary = platform::TemporaryPathFor(SaveFile("S").string());
  for (const bool crash : {false, true}) {
    SCOPED_TRACE(crash ? "after a crash" : "after a save");
    fs::remove_all(SavesDir());
    FillWorkedExample();
    save("S");
    if (crash) WriteBytes(temporary, crashed);
    TheStore().ClearAll();
    TheStore().Entry<EvKind::String>(kBase, "only") = "this";
    save("S");
    EXPECT_EQ(ReadBytes(SaveFile("S")), second);
    EXPECT_FALSE(fs::exists(temporary));
    loadsettings("S");
    EXPECT_EQ(TheStore().Find<EvKind::Float>(kBase, "deleted"), nullptr);
    EXPECT_EQ(TheStore().EntryCount(EvKind::String), 1u);
  }
}

TEST_F(SaveLoadTest, SubFoldersOfTheSaveNameAreCreated) {
  TheStore().Entry<EvKind::Float>(kBase, "count") = 3.0f;
  save("Profile 1\\Deeper\\Save 3");
  ASSERT_TRUE(fs::is_regular_file(SaveFile("Profile 1\\Deeper\\Save 3")));
  TheStore().ClearAll();
  loadsettings("Profile 1\\Deeper\\Save 3");
  EXPECT_EQ(Found(TheStore().Find<EvKind::Float>(kBase, "count")), 3.0f);
}

// In Shift-JIS the second byte of some letters is 0x5C, a backslash's
// byte. Read a character at a time, such a name makes no folder, and a name
// of one such letter and two dots is no parent folder.
TEST_F(SaveLoadTest, DoubleByteLettersMakeNoFolders) {
  platform::testing::OverrideCodePage(932);
  TheStore().Entry<EvKind::Float>(kBase, "count") = 3.0f;
  ClearLog();
  save("Save \x83\x5C\x83\x93");
  save("\x95\x5C..");
  loadsettings("\x95\x5C..");
  platform::testing::OverrideCodePage(0);
  EXPECT_EQ(Log().find("Refusing"), std::string::npos) << cv::testing::Shortened(Log());
  for (const auto& e : fs::directory_iterator(SavesDir()))
    EXPECT_FALSE(e.is_directory()) << "stray folder " << e.path();
}

TEST_F(SaveLoadTest, EmptyStoreWritesTheLoadOrderOnly) {
  Mods() = {"A.esm", "B.esp", "C.esp"};
  save("empty");
  EXPECT_EQ(ReadBytes(SaveFile("empty")),
            "IX, 0, \"A.esm\",\r\nIX, 1, \"B.esp\",\r\nIX, 2, \"C.esp\",\r\n");
}

TEST_F(SaveLoadTest, RootNotFoundWritesAndReadsNothing) {
  platform::testing::OverrideMainExecutablePath("no-separator");
  persist::ResetGameRootForTesting();
  TheStore().Entry<EvKind::Float>(kBase, "count") = 3.0f;
  ClearLog();
  save("S");
  EXPECT_TRUE(LogHas("\tFailed writing savefile "));
  EXPECT_TRUE(LogHas("END: save settings"));
  loadsettings("S");
  EXPECT_TRUE(LogHas("\tFailed opening savefile "));
  EXPECT_FALSE(fs::exists(gameDir_ / "Data"));
  EXPECT_EQ(TheStore().EntryCount(EvKind::Float), 0u);
}

// The rows stream to a temporary file, more than one buffer's worth here; a
// failure at any step, the second write included, keeps the previous file.
TEST_F(SaveLoadTest, AFailedWriteKeepsThePreviousFile) {
  FillWorkedExample();
  save("S");
  const std::string before = ReadBytes(SaveFile("S"));
  for (std::uint32_t i = 0; i < 50000; ++i)
    TheStore().Entry<EvKind::Float>(0xFF000000u + i, "quest.stage") = 1.5f;
  struct Case {
    const char* seam;
    std::uint32_t nth;
    fault::Kind kind;
    const char* logged;  // the line after "Saving to"
  };
  const Case cases[] = {
      {"file.open", 1, fault::Kind::Return, "Failed writing savefile "},
      {"file.write", 1, fault::Kind::Return, "Failed writing savefile "},
      {"file.write", 2, fault::Kind::Return, "Failed writing savefile "},
      {"file.close", 1, fault::Kind::Return, "Failed writing savefile "},
      {"file.replace", 1, fault::Kind::Return, "Failed writing savefile "},
      {"file.open", 1, fault::Kind::StdError, "Exception in save: injected fault: file.open"},
      {"file.write", 2, fault::Kind::StdError, "Exception in save: injected fault: file.write"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.seam) + " " + std::to_string(c.nth));
    fault::DisarmAll();
    fault::Arm(c.seam, c.nth, c.kind);
    ClearLog();
    save("S");
    EXPECT_EQ(ReadBytes(SaveFile("S")), before);
    EXPECT_FALSE(fs::exists(platform::TemporaryPathFor(SaveFile("S").string())));
    const std::string line = c.logged;
    EXPECT_TRUE(LogHas("\t" + (line.back() == ' ' ? line + HostSavePath("S") : line)))
        << cv::testing::Shortened(Log());
    EXPECT_TRUE(LogHas("END: save settings"));
    EXPECT_EQ(LogIndentLevel(), 0);
  }
  fault::DisarmAll();
  save("S");
  EXPECT_GT(ReadBytes(SaveFile("S")).size(), SaveDataWriter::kBufferSize);
}

// A save takes its buffer and, for a row larger than that, one block of the
// row's size: never one of the file's size.
TEST_F(SaveLoadTest, ASaveAsksForNoBlockLargerThanItsBufferAndOneRow) {
  EvStore& s = TheStore();
  for (std::uint32_t i = 0; i < 60000; ++i)
    s.Entry<EvKind::Float>(0xFF000000u + i, "quest.stage") = static_cast<float>(i) + 0.5f;
  const std::string big(std::size_t{3} << 20, 'v');
  s.Entry<EvKind::String>(kBase, "big") = big;
  s.Entry<EvKind::String>(kBase, "odd \"key\"\nhere") = "x";
  g_largestBlock = 0;
  g_measuring = true;
  save("Big");
  g_measuring = false;
  const std::size_t largestRow = std::string("ST, 74565, \"big\", \"\"\r\n").size() + big.size();
  ASSERT_GT(ReadBytes(SaveFile("Big")).size(), big.size() + SaveDataWriter::kBufferSize);
  EXPECT_GE(g_largestBlock, largestRow);  // the row had a block of its own
  EXPECT_LE(g_largestBlock, SaveDataWriter::kBufferSize + largestRow);
  s.ClearAll();
  loadsettings("Big");
  EXPECT_EQ(s.EntryCount(EvKind::Float), 60000u);
  ASSERT_NE(s.Find<EvKind::String>(kBase, "big"), nullptr);
  EXPECT_EQ(*s.Find<EvKind::String>(kBase, "big"), big);
  ASSERT_NE(s.Find<EvKind::String>(kBase, "odd \"key\"\nhere"), nullptr);

  // The quoting sizes its output exactly: two quotes, a second quote and a
  // CR before the line feed, in one block of that size.
  const std::string text = std::string(std::size_t{1} << 20, 'q') + "\"\n";
  std::string quoted;
  g_largestBlock = 0;
  g_measuring = true;
  AppendQuoted(quoted, text);
  g_measuring = false;
  EXPECT_EQ(quoted, "\"" + text.substr(0, text.size() - 2) + "\"\"\r\n\"");
  EXPECT_EQ(g_largestBlock, quoted.size() + 1);
}

TEST_F(SaveLoadTest, AFailedLoadIsLoggedWithoutItsEndLine) {
  FillWorkedExample();
  save("S");
  fault::Arm("file.open", 1, fault::Kind::Integer);
  ClearLog();
  loadsettings("S");
  EXPECT_TRUE(LogHas("\tException in loadsettings: 0x0badf00d"));
  EXPECT_EQ(LogCount("END: load settings"), 0);
  EXPECT_EQ(LogIndentLevel(), 0);
  EXPECT_EQ(TheStore().EntryCount(EvKind::Float), 0u);
}

TEST_F(SaveLoadTest, AFailingRecordIsDroppedAndReadingGoesOn) {
  WriteBytes(
      SaveFile("cb"),
      "FL, 4278190081, \"a\", 1\r\nFL, 4278190081, \"b\", 2\r\nFL, 4278190081, \"c\", 3\r\n");
  // The second record callback throws a standard exception; the tenth field
  // callback (the second field of the third record) something else.
  static int calls[3];
  calls[1] = calls[2] = 0;
  testing::SetCallbackProbe([](int cb) {
    ++calls[cb];
    if (cb == 2 && calls[2] == 2) throw std::runtime_error("record failed");
    if (cb == 1 && calls[1] == 10) throw 'x';
  });
  loadsettings("cb");
  testing::SetCallbackProbe(nullptr);
  EXPECT_TRUE(LogHas("\tException in csvp_cb2: record failed"));
  EXPECT_TRUE(LogHas("\tUnknown exception in csvp_cb1"));
  EXPECT_TRUE(LogHas("END: load settings"));
  EXPECT_NE(TheStore().Find<EvKind::Float>(0xFF000001, "a"), nullptr);
  EXPECT_EQ(TheStore().EntryCount(EvKind::Float), 1u);
}

TEST_F(SaveLoadTest, GarbageIsReadWithoutACrash) {
  using namespace std::string_literals;
  std::mt19937 rng(1234);
  std::string file = "IX, 0, \"FalloutNV.esm\",\r\n";
  std::vector<int> valid;
  for (int row = 0; row < 100000; ++row) {
    switch (rng() % 4) {
      case 0:  // a good row
        file += "FL, " + std::to_string(row) + ", \"k\", " + std::to_string(row) + "\r\n";
        valid.push_back(row);
        break;
      case 1: {  // bytes of any value but quote and line feed, NULs included
        std::size_t n = rng() % 300;
        for (std::size_t i = 0; i < n; ++i) {
          char c = static_cast<char>(rng() % 256);
          file += (c == '"' || c == '\n') ? '\0' : c;
        }
        file += "\r\n";
        break;
      }
      case 2: file += "QQ, 1, \"x\", 2\r\n"; break;
      default: file += "F\0L, 5, \"nul\", 1\r\n,,,,,,,\r\n\r\n"s; break;
    }
  }
  file += "FL, 7, \"unterminated, 1\r\n";  // a quote still open at the end of the file
  WriteBytes(SaveFile("garbage"), file);
  loadsettings("garbage");
  EXPECT_TRUE(LogHas("END: load settings"));
  EXPECT_GT(LogCount("Unknown record type 'QQ'"), 20000);
  EXPECT_GT(LogCount("Unknown record type 'F'"), 20000);
  for (int row : valid) {
    const float* got = TheStore().Find<EvKind::Float>(static_cast<EvOwnerId>(row), "k");
    ASSERT_NE(got, nullptr) << row;
    ASSERT_EQ(*got, static_cast<float>(row)) << row;
  }
  EXPECT_EQ(TheStore().Find<EvKind::Float>(7, "unterminated, 1"), nullptr);
}

}  // namespace
}  // namespace cv::persist::testing
