// The platform layer as the plug-in uses it, on the build's own platform
// (natively on Linux, under Wine for the Windows build). Paths are written
// with backslashes, the way the plug-in builds them.
#include "platform/platform.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <set>
#include <stdexcept>
#include <string>

#include "log/log.h"
#include "platform/fault.h"

namespace cv::platform {
namespace {

std::string ReadBytes(const std::string& path) {
  std::ifstream in(NativePath(path), std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

void WriteBytes(const std::string& path, const std::string& data) {
  std::ofstream out(NativePath(path), std::ios::binary | std::ios::trunc);
  out << data;
}

class PlatformTest : public ::testing::Test {
 protected:
  // Each case starts in an empty working folder (the test's own); files the
  // process holds open (its log) may stay.
  void SetUp() override {
    fault::DisarmAll();
    std::error_code ec;
    for (const auto& entry : std::filesystem::directory_iterator(".", ec))
      std::filesystem::remove_all(entry.path(), ec);
  }
  void TearDown() override { fault::DisarmAll(); }
};

TEST_F(PlatformTest, LogStreamPutsCrLfOnDisk) {
  (void)DeleteFile("crlf.log");
  std::FILE* f = OpenSharedLog("crlf.log");
  ASSERT_NE(f, nullptr);
  std::fputs("first", f);
  std::fputs(kLogLineEnd, f);
  std::fputs("", f);
  std::fputs(kLogLineEnd, f);
  std::fclose(f);
  EXPECT_EQ(ReadBytes("crlf.log"), "first\r\n\r\n");
  EXPECT_STREQ(kLineEnd, "\r\n");
}

TEST_F(PlatformTest, LogThroughTheLoggerEndsLinesWithCrLf) {
  ASSERT_STREQ(LogOpen("logger.log"), "logger.log");
  LogMessageNoEcho("one");
  LogIndent();
  LogMessageNoEcho("two");
  LogOutdent();
  LogClose();
  EXPECT_EQ(ReadBytes("logger.log"), "one\r\n\ttwo\r\n");
}

TEST_F(PlatformTest, HeldLogRefusesSecondWriterButLetsOthersRead) {
  std::FILE* holder = OpenSharedLog("held.log");
  ASSERT_NE(holder, nullptr);
  std::fputs("held", holder);
  std::fflush(holder);

  EXPECT_EQ(OpenSharedLog("held.log"), nullptr);
  EXPECT_EQ(ReadBytes("held.log"), "held");

  // The logger falls back to the first free numbered name.
  (void)DeleteFile("held.log0");
  EXPECT_STREQ(LogOpen("held.log"), "held.log0");
  LogMessageNoEcho("fallback");
  LogClose();
  EXPECT_EQ(ReadBytes("held.log0"), "fallback\r\n");
  EXPECT_EQ(ReadBytes("held.log"), "held");

  std::fclose(holder);
  std::FILE* again = OpenSharedLog("held.log");
  ASSERT_NE(again, nullptr) << "released log must open again";
  std::fclose(again);
  EXPECT_EQ(ReadBytes("held.log"), "") << "opening truncates";
}

TEST_F(PlatformTest, CreateDirIsSingleLevelAndTakesBackslashes) {
  EXPECT_FALSE(CreateDir("mk\\a")) << "parent is missing";
  EXPECT_TRUE(CreateDir("mk"));
  EXPECT_FALSE(CreateDir("mk")) << "exists already";
  EXPECT_TRUE(CreateDir("mk\\a"));
  WriteBytes("mk\\a\\f.txt", "x");
  EXPECT_TRUE(FileExists("mk\\a\\f.txt"));
  EXPECT_TRUE(FileExists("mk/a/f.txt"));

  fault::Arm("dir.create", 1, fault::Kind::Return);
  EXPECT_FALSE(CreateDir("mk\\b"));
  EXPECT_FALSE(FileExists("mk\\b"));
}

TEST_F(PlatformTest, DeleteFileRemovesFilesOnly) {
  WriteBytes("del.txt", "x");
  EXPECT_TRUE(DeleteFile("del.txt"));
  EXPECT_FALSE(FileExists("del.txt"));
  EXPECT_FALSE(DeleteFile("del.txt")) << "already gone";

  (void)CreateDir("deldir");
  EXPECT_FALSE(DeleteFile("deldir"));
  EXPECT_TRUE(FileExists("deldir"));

  WriteBytes("del2.txt", "x");
  fault::Arm("file.delete", 1, fault::Kind::Return);
  EXPECT_FALSE(DeleteFile("del2.txt"));
  EXPECT_TRUE(FileExists("del2.txt"));
}

TEST_F(PlatformTest, MoveNeverReplacesAnExistingTarget) {
  (void)DeleteFile("mv_to.csv");
  WriteBytes("mv_from.csv", "from\r\n");
  EXPECT_TRUE(MoveFileNoReplace("mv_from.csv", "mv_to.csv"));
  EXPECT_FALSE(FileExists("mv_from.csv"));
  EXPECT_EQ(ReadBytes("mv_to.csv"), "from\r\n");

  WriteBytes("mv_from.csv", "other");
  EXPECT_FALSE(MoveFileNoReplace("mv_from.csv", "mv_to.csv"));
  EXPECT_EQ(ReadBytes("mv_from.csv"), "other");
  EXPECT_EQ(ReadBytes("mv_to.csv"), "from\r\n");

  EXPECT_FALSE(MoveFileNoReplace("mv_missing.csv", "mv_new.csv"));
  EXPECT_FALSE(FileExists("mv_new.csv"));

  (void)CreateDir("mvdir");
  (void)DeleteFile("mvdir\\moved.csv");
  EXPECT_TRUE(MoveFileNoReplace("mv_from.csv", "mvdir\\moved.csv"));
  EXPECT_EQ(ReadBytes("mvdir\\moved.csv"), "other");
}

TEST_F(PlatformTest, WriteFileReplacingKeepsBytesAndReplaces) {
  (void)DeleteFile("save.csv");
  const std::string rows = "a,1\r\nb,\"x\ny\"\r\n";
  ASSERT_TRUE(WriteFileReplacing("save.csv", rows));
  EXPECT_EQ(ReadBytes("save.csv"), rows) << "written in binary: no CR is added";
  ASSERT_TRUE(WriteFileReplacing("save.csv", "short\r\n"));
  EXPECT_EQ(ReadBytes("save.csv"), "short\r\n");
  EXPECT_FALSE(FileExists(TemporaryPathFor("save.csv")));
}

TEST_F(PlatformTest, WriteFileReplacingLeavesOldFileOnFailure) {
  ASSERT_TRUE(WriteFileReplacing("keep.csv", "old\r\n"));
  for (const char* op : {"file.open", "file.write", "file.close", "file.replace"}) {
    SCOPED_TRACE(op);
    fault::Arm(op, 1, fault::Kind::Return);
    EXPECT_FALSE(WriteFileReplacing("keep.csv", "new\r\n"));
    EXPECT_EQ(ReadBytes("keep.csv"), "old\r\n");
    EXPECT_FALSE(FileExists(TemporaryPathFor("keep.csv")));
    fault::DisarmAll();
  }
  (void)CreateDir("dirtarget");
  EXPECT_FALSE(WriteFileReplacing("dirtarget", "x"));
  EXPECT_FALSE(FileExists(TemporaryPathFor("dirtarget")));
}

TEST_F(PlatformTest, NamesAtTheSystemsLimitSaveOrFailCleanly) {
  // The temporary name is never longer than the final one, so any name the
  // file system takes can be saved under; a longer one fails and leaves
  // nothing behind.
  EXPECT_EQ(TemporaryPathFor("a\\Save.csv"), "a\\Save.tmp");
  EXPECT_EQ(TemporaryPathFor("log"), "lo~");
  for (std::size_t length = 240; length <= 270; ++length) {
    SCOPED_TRACE(length);
    const std::string name = std::string(length - 4, 'n') + ".csv";
    std::FILE* direct = std::fopen(NativePath(name).c_str(), "wb");
    const bool fits = direct != nullptr;
    if (direct != nullptr) std::fclose(direct);
    (void)DeleteFile(name);
    const bool saved = WriteFileReplacing(name, "row\r\n");
    EXPECT_EQ(saved, fits);
    if (saved) {
      EXPECT_EQ(ReadBytes(name), "row\r\n");
    }
    EXPECT_FALSE(FileExists(TemporaryPathFor(name)));
    (void)DeleteFile(name);
  }
}

TEST_F(PlatformTest, OpenForReadingReadsRegularFilesOnly) {
  WriteBytes("in.csv", "1\r\n2\r\n");
  std::FILE* f = OpenForReading("in.csv");
  ASSERT_NE(f, nullptr);
  char buf[16] = {};
  std::size_t n = std::fread(buf, 1, sizeof buf, f);
  std::fclose(f);
  EXPECT_EQ(std::string(buf, n), "1\r\n2\r\n") << "read in binary";

  EXPECT_EQ(OpenForReading("nowhere.csv"), nullptr);
  (void)CreateDir("indir");
  EXPECT_EQ(OpenForReading("indir"), nullptr);
  fault::Arm("file.open", 1, fault::Kind::Return);
  EXPECT_EQ(OpenForReading("in.csv"), nullptr);
}

TEST_F(PlatformTest, MainExecutablePathNamesThisProgramWithBackslashes) {
  char buf[260];
  std::uint32_t len = MainExecutablePath(buf, sizeof buf);
  ASSERT_GT(len, 0u);
  ASSERT_LT(len, 260u);
  std::string path(buf, len);
  EXPECT_EQ(path.find('/'), std::string::npos) << path;
  const std::string name = std::string("\\platform_test") + CORVANE_EXE_SUFFIX;
  ASSERT_GE(path.size(), name.size());
  EXPECT_EQ(path.substr(path.size() - name.size()), name) << path;
  EXPECT_TRUE(FileExists(path));

  // A cut name reports the buffer size (whether the system terminates the
  // cut text differs between Windows versions; the length is what counts).
  char small[8];
  EXPECT_EQ(MainExecutablePath(small, sizeof small), sizeof small);
  EXPECT_EQ(std::string(small, 7), path.substr(0, 7));
}

TEST_F(PlatformTest, RandomSourceVariesAndReportsFailure) {
  std::set<std::uint32_t> seen;
  std::uint32_t highBits = 0;
  for (int i = 0; i < 64; ++i) {
    std::uint32_t v = RandomU32();
    seen.insert(v);
    highBits |= v;
  }
  EXPECT_GT(seen.size(), 60u);
  EXPECT_EQ(highBits & 0x80000000u, 0x80000000u);

  fault::Arm("random", 1, fault::Kind::Return);
  try {
    RandomU32();
    FAIL() << "no exception";
  } catch (const std::runtime_error& e) {
    EXPECT_STREQ(e.what(), "invalid random_device value");
  }
}

// Paths of the test tools, relative to the working folder, as native paths.
std::string Tool(const char* relative) {
  std::string p = relative;
  for (char& c : p)
    if (c == '/') c = '\\';
  return NativePath(p);
}

// A second process whose plug-in finds "corvane.log" held by this one writes
// its log to "corvane.log0". The probe loads the real plug-in library.
TEST_F(PlatformTest, SecondProcessFallsBackToLog0) {
  LogClose();
  std::FILE* holder = OpenSharedLog("corvane.log");
  ASSERT_NE(holder, nullptr);
  int rc = testing::RunProgram({Tool(CORVANE_LOG_PROBE), Tool(CORVANE_PLUGIN_PATH)});
  std::fclose(holder);
  ASSERT_EQ(rc, 0);
  EXPECT_EQ(ReadBytes("corvane.log0"), "Standard Corvane ready\r\n");
  EXPECT_EQ(ReadBytes("corvane.log"), "");
}

// A program with no game in it (the real host serves no engine table, and
// this program exports none): the plug-in loads and says it found no game.
TEST_F(PlatformTest, APluginWithNoGameSaysSo) {
  LogClose();
  std::FILE* holder = OpenSharedLog("corvane.log");
  ASSERT_NE(holder, nullptr);
  int rc = testing::RunProgram({Tool(CORVANE_LOG_PROBE), Tool(CORVANE_PLUGIN_PATH), "load"});
  std::fclose(holder);
  ASSERT_EQ(rc, 0);
  const std::string log = ReadBytes("corvane.log0");
  EXPECT_NE(log.find("Corvane 19, runtime 040020D0, NVSE 06030000, engine: none\r\n"
                     "No game engine found: Corvane's commands will return nothing\r\n"),
            std::string::npos)
      << log;
}

// The same through the holder tool that scenarios use, whose exit code is the
// program's; a plug-in that cannot be loaded makes the probe exit with 3.
TEST_F(PlatformTest, LogHolderHoldsWhileItsProgramRuns) {
  LogClose();
  int rc = testing::RunProgram({Tool(CORVANE_LOG_HOLDER), "corvane.log", Tool(CORVANE_LOG_PROBE),
                                Tool(CORVANE_PLUGIN_PATH)});
  ASSERT_EQ(rc, 0);
  EXPECT_EQ(ReadBytes("corvane.log0"), "Standard Corvane ready\r\n");
  EXPECT_EQ(ReadBytes("corvane.log"), "");

  rc = testing::RunProgram(
      {Tool(CORVANE_LOG_HOLDER), "corvane.log", Tool(CORVANE_LOG_PROBE), "missing.plugin"});
  EXPECT_EQ(rc, 3);
  EXPECT_EQ(testing::RunProgram({Tool("no-such-program")}), -1);
}

}  // namespace
}  // namespace cv::platform
