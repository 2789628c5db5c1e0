// The line a log line names for a record: the reader hands the parser large
// pieces and finds a record's line only when it logs one, and that line must
// be the one a reader feeding one line at a time finds, wherever the pieces
// are cut: across quoted fields that span lines, CR LF, LF and lone CR line
// ends, blank lines, and a last line without a line end.
#include <csv.h>
#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <iterator>
#include <random>
#include <string>
#include <vector>

#include "ev/store.h"
#include "log/log.h"
#include "persist/mod_maps.h"
#include "persist/savedata.h"

namespace cv::persist {
namespace {

// What the log says of every record with too many fields, found the slow,
// plain way: the file split into lines (an LF, a CR LF or a CR alone ends
// one), each line handed to libcsv a byte at a time, and a record's line the
// one its first field ended on.
std::vector<std::string> ExpectedTooManyFields(const std::string& text) {
  struct State {
    int line = 0;
    int fields = 0;
    int recordLine = 0;
    std::string tag;
    std::vector<std::string> lines;
  } st;
  auto field = [](void* f, std::size_t n, void* p) {
    auto& s = *static_cast<State*>(p);
    if (++s.fields == 1) {
      s.recordLine = s.line;
      s.tag.assign(static_cast<const char*>(f), n);
    }
  };
  auto record = [](int, void* p) {
    auto& s = *static_cast<State*>(p);
    if (s.fields > 4 && (s.tag == "IX" || s.tag == "ST" || s.tag == "FO" || s.tag == "FL"))
      s.lines.push_back("Too many fields in the " + s.tag + " row at line " +
                        std::to_string(s.recordLine) + ": the fields after the fourth are ignored");
    s.fields = 0;
  };
  csv_parser p;
  csv_init(&p, CSV_APPEND_NULL);
  std::size_t start = 0;
  while (start < text.size()) {
    std::size_t end = text.find_first_of("\r\n", start);
    end = end == std::string::npos ? text.size() : end + 1;
    if (end < text.size() && text[end - 1] == '\r' && text[end] == '\n') ++end;
    ++st.line;
    for (std::size_t i = start; i < end; ++i) csv_parse(&p, &text[i], 1, field, record, &st);
    start = end;
  }
  if (text.empty() || (text.back() != '\n' && text.back() != '\r')) {
    csv_parse(&p, "\n", 1, field, record, &st);  // the last line's end
  }
  csv_free(&p);
  return st.lines;
}

std::vector<std::string> LoggedTooManyFields(const std::string& logFile) {
  std::ifstream in(logFile, std::ios::binary);
  std::vector<std::string> lines;
  for (std::string line; std::getline(in, line);) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    if (line.rfind("Too many fields", 0) == 0) lines.push_back(line);
  }
  return lines;
}

// Rows of every shape: records of three to seven fields, quoted keys that
// hold line ends, quotes left open, doubled quotes, blanks after a closing
// quote, blank lines and all three line ends.
std::string RandomFile(std::mt19937& rng, std::size_t rows) {
  const char* const tags[] = {"FL", "ST", "IX", "FO", "ZZ", "\"FL\"", " FL"};
  const char* const fields[] = {"4278190081", "\"k\"",    "\"a\r\nb\"", "\"x\"\"y\"",
                                "\"q\"  ",    "\"open",   "1.5",        "v w",
                                "\"\r\"",     "\"\n\n\"", "",           "\"c\" \"d\""};
  const char* const ends[] = {"\r\n", "\n", "\r", "\r\n\r\n", "\n\n"};
  auto pick = [&](std::size_t n) {
    return std::uniform_int_distribution<std::size_t>(0, n - 1)(rng);
  };
  std::string text;
  for (std::size_t r = 0; r < rows; ++r) {
    text += tags[pick(std::size(tags))];
    const std::size_t n = 2 + pick(6);
    for (std::size_t f = 0; f < n; ++f) {
      text += pick(2) == 0 ? ", " : ",";
      text += fields[pick(std::size(fields))];
    }
    text += ends[pick(std::size(ends))];
  }
  if (pick(2) == 0) text += "FL, 1, \"k\", 2, 3";  // no line end
  return text;
}

class RecordLines : public ::testing::Test {
 protected:
  void SetUp() override {
    ::testing::internal::CaptureStdout();
    TheStore().ClearAll();
    TheModMaps().Reset();
  }
  void TearDown() override {
    std::string out = ::testing::internal::GetCapturedStdout();
    TheStore().ClearAll();
    TheModMaps().Reset();
    LogOpen("corvane.log");
  }
  std::vector<std::string> Read(const std::string& text, std::size_t chunk) {
    LogOpen("lines.log");
    SaveDataReader reader;
    EXPECT_EQ(reader.Init(), 0);
    for (std::size_t pos = 0; pos < text.size(); pos += chunk)
      reader.Feed(text.data() + pos, std::min(chunk, text.size() - pos));
    reader.Finish();
    LogOpen("corvane.log");
    return LoggedTooManyFields("lines.log");
  }
};

TEST_F(RecordLines, NameTheLineALineByLineReaderNames) {
  struct Case {
    const char* name;
    std::string text;
  };
  std::mt19937 rng(28);
  std::vector<Case> cases = {
      {"CR LF", "FL, 1, \"a\", 1, x\r\nFL, 1, \"b\", 2, y\r\n"},
      {"lone CR and LF", "FL, 1, \"a\", 1, x\rST, 1, \"b\", 2, y\n\nFO, 1, \"c\", 3, z\r\n"},
      {"a key over three lines", "ST, 1, \"a\r\nb\nc\", v, x\r\nFL, 1, \"k\", 1, x\r\n"},
      {"a tag over two lines", "\"F\nL\", 1, \"k\", 1, x\r\nFL, 1, \"k\", 1, x\r\n"},
      {"no last line end", "FL, 1, \"a\", 1\r\nFL, 1, \"b\", 2, y"},
      {"blank lines first", "\r\n\n  \r\nIX, 1, \"m\", , x\r\n"},
      {"a quote left open", "ST, 1, \"k\", \"v\r\nFL, 1, \"k\", 1\r\nFL, 1, \"a\", 1, x\r\n"},
      {"random, small", RandomFile(rng, 300)},
      {"random, past the reader's piece", RandomFile(rng, 20000)},
  };
  for (const Case& c : cases) {
    const std::vector<std::string> expected = ExpectedTooManyFields(c.text);
    ASSERT_FALSE(expected.empty()) << c.name;
    for (std::size_t chunk : {std::size_t{1}, std::size_t{2}, std::size_t{5}, std::size_t{64},
                              std::size_t{4096}, std::size_t{65536}, c.text.size()}) {
      if (chunk > c.text.size() && chunk != 1) continue;
      EXPECT_EQ(Read(c.text, chunk), expected) << c.name << ", pieces of " << chunk;
    }
  }
}

// Files larger than a piece, read as the load reads them.
TEST_F(RecordLines, ReadAllNamesTheSameLines) {
  std::mt19937 rng(2028);
  const std::string text = RandomFile(rng, 40000);
  ASSERT_GT(text.size(), std::size_t{3} << 16);
  LogOpen("lines.log");
  SaveDataReader reader;
  ASSERT_EQ(reader.Init(), 0);
  std::size_t at = 0;
  ASSERT_TRUE(reader.ReadAll([&](char* buffer, std::size_t size, std::size_t* got) {
    *got = std::min(size, text.size() - at);
    std::copy_n(text.data() + at, *got, buffer);
    at += *got;
    return true;
  }));
  LogOpen("corvane.log");
  EXPECT_EQ(LoggedTooManyFields("lines.log"), ExpectedTooManyFields(text));
}

}  // namespace
}  // namespace cv::persist
