// The save-data file pieces on their own: quoting, numbers and the line
// splitter.
#include "persist/savedata.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <iterator>
#include <limits>
#include <string>

#include "ev/store.h"
#include "log/log.h"
#include "persist/mod_maps.h"
#include "platform/platform.h"
#include "test_support.h"

namespace cv::persist {
namespace {

using cv::testing::Found;

std::string Quoted(std::string_view text) {
  std::string out;
  AppendQuoted(out, text);
  return out;
}

std::string FloatText(float v) {
  std::string out;
  AppendFloat(out, v);
  return out;
}

TEST(SaveDataWriter, QuotesEveryTextAndDoublesQuotes) {
  EXPECT_EQ(Quoted("hp"), "\"hp\"");
  EXPECT_EQ(Quoted(""), "\"\"");
  EXPECT_EQ(Quoted("a\"b"), "\"a\"\"b\"");
  EXPECT_EQ(Quoted(" a,b "), "\" a,b \"");
  // Line feeds inside the quotes are written as CR LF like every line end.
  EXPECT_EQ(Quoted("a\nb\r\nc"), "\"a\r\nb\r\r\nc\"");
  std::string longKey(600, 'k');
  EXPECT_EQ(Quoted(longKey), "\"" + longKey + "\"");
}

TEST(SaveDataWriter, FloatsAreTheShortestTextThatReadsBack) {
  EXPECT_EQ(FloatText(12.5f), "12.5");
  EXPECT_EQ(FloatText(100.0f), "100");
  EXPECT_EQ(FloatText(3.14159274f), "3.1415927");
  EXPECT_EQ(FloatText(1234567.0f), "1234567");
  EXPECT_EQ(FloatText(1e-05f), "1e-05");
  EXPECT_EQ(FloatText(16777216.0f), "16777216");
  EXPECT_EQ(FloatText(-0.1f), "-0.1");
}

TEST(SaveDataWriter, RowsSkipZeroAndEmptyValues) {
  EvStore store;
  store.Entry<EvKind::String>(7, "empty") = "";
  store.Entry<EvKind::Form>(7, "none") = 0;
  store.Entry<EvKind::Float>(7, "zero") = 0.0f;
  store.Entry<EvKind::Float>(7, "negzero") = -0.0f;
  std::string out;
  AppendStringRows(out, store);
  AppendFormRows(out, store);
  AppendFloatRows(out, store);
  EXPECT_EQ(out, "");
  store.Entry<EvKind::Float>(7, "nan") = std::numeric_limits<float>::quiet_NaN();
  AppendFloatRows(out, store);
  EXPECT_EQ(out, "FL, 7, \"nan\", nan\r\n");
  out.clear();
  AppendModRow(out, 3, "My \"Mod\".esp");
  EXPECT_EQ(out, "IX, 3, \"My \"\"Mod\"\".esp\",\r\n");
}

TEST(SaveDataNumbers, Str2IntReadsLeadingDecimalDigits) {
  EXPECT_EQ(str2int("16821197"), 16821197u);
  EXPECT_EQ(str2int("  \t42abc"), 42u);
  EXPECT_EQ(str2int("+7"), 7u);
  EXPECT_EQ(str2int("4294967295"), 4294967295u);
  EXPECT_EQ(str2int(""), 0u);
  EXPECT_EQ(str2int("abc"), 0u);
  EXPECT_EQ(str2int("-5"), 0u);
  EXPECT_EQ(str2int("4294967296"), 0u);  // does not fit: not a 32-bit number
}

// A fixed sequence of pseudo-random numbers, the same on every run.
struct XorShift {
  std::uint64_t state;
  std::uint64_t operator()() {
    state ^= state << 13;
    state ^= state >> 7;
    state ^= state << 17;
    return state;
  }
};

// Ids are read with from_chars. Every length from 0 to 24 digits,
// with and without leading zeros, each cut short by every kind of byte at
// every position, is checked against a plain digit-by-digit reading.
TEST(SaveDataNumbers, Str2IntAgreesWithPlainDigitReading) {
  auto plain = [](std::string_view s) -> std::uint32_t {
    std::size_t i = 0;
    while (i < s.size() && std::string_view(" \t\n\v\f\r").find(s[i]) != std::string_view::npos)
      ++i;
    if (i < s.size() && s[i] == '+') ++i;
    unsigned long long v = 0;
    for (; i < s.size() && s[i] >= '0' && s[i] <= '9'; ++i) {
      v = v * 10 + static_cast<unsigned>(s[i] - '0');
      if (v > 0xFFFFFFFFull) return 0;
    }
    return static_cast<std::uint32_t>(v);
  };
  XorShift next{0x2545F4914F6CDD1Dull};
  // Bytes next to the digits in the ASCII table, and the high bytes whose
  // nibbles look like digits.
  const std::string stoppers = std::string("/:; ,x\r\n\0", 9) + "\x40\xB0\xF3\x3F";
  for (std::size_t len = 0; len <= 24; ++len) {
    for (int round = 0; round < 200; ++round) {
      std::string digits;
      for (std::size_t i = 0; i < len; ++i) digits += static_cast<char>('0' + next() % 10);
      if (round % 4 == 0 && len > 0) digits[0] = '0';
      for (int tail = 0; tail <= 1; ++tail) {
        std::string text = digits;
        if (tail) text += stoppers[next() % stoppers.size()] + std::string("123456789");
        SCOPED_TRACE(text);
        ASSERT_EQ(str2int(text), plain(text));
      }
    }
  }
  // Near the 32-bit limit, padded with zeros to cross the eight-digit steps.
  for (std::string text : {"4294967295", "4294967296", "04294967295", "000000004294967295",
                           "0000000042949672950", "99999999", "100000000", "0000000000000001"}) {
    SCOPED_TRACE(text);
    ASSERT_EQ(str2int(text), plain(text));
  }
}

TEST(SaveDataNumbers, Str2FloatReadsOldAndNewForms) {
  EXPECT_EQ(str2float(" 12.5xyz"), 12.5f);
  EXPECT_EQ(str2float("1.23457e+06"), 1234570.0f);  // six digits, as older files hold
  EXPECT_EQ(str2float("3.1415927"), 3.14159274f);
  EXPECT_EQ(str2float("+2.5"), 2.5f);
  EXPECT_EQ(str2float("-1e-05"), -1e-05f);
  EXPECT_EQ(str2float("1.5E3"), 1500.0f);  // as spreadsheets write exponents
  EXPECT_EQ(str2float("-2.5E-2"), -0.025f);
  EXPECT_EQ(str2float("1e-45"), std::numeric_limits<float>::denorm_min());
  EXPECT_TRUE(std::isnan(str2float("nan")));
  EXPECT_TRUE(std::signbit(str2float("-nan")));
  EXPECT_EQ(str2float("-inf"), -std::numeric_limits<float>::infinity());
  EXPECT_EQ(str2float(""), 0.0f);
  EXPECT_EQ(str2float("x1"), 0.0f);
}

// Plain decimals take a quicker path than from_chars; it must give the
// same float, bit for bit, for every text. Checked: the shortest text of
// floats across the whole range (what the writer writes), random decimals of
// 1 to 17 digits with the point anywhere, and the decimals that sit exactly
// halfway between two floats or a hair either side.
TEST(SaveDataNumbers, Str2FloatAgreesWithFromChars) {
  auto bits = [](float f) {
    std::uint32_t b;
    std::memcpy(&b, &f, sizeof b);
    return b;
  };
  auto reference = [](const std::string& text) {
    float value = 0;
    std::from_chars(text.data(), text.data() + text.size(), value);
    return value;
  };
  XorShift next{0x9E3779B97F4A7C15ull};
  auto check = [&](const std::string& text) {
    SCOPED_TRACE(text);
    ASSERT_EQ(bits(str2float(text)), bits(reference(text)));
  };
  for (int i = 0; i < 100000; ++i) {
    // Any finite float, as the writer writes it.
    float f;
    std::uint32_t b = static_cast<std::uint32_t>(next());
    std::memcpy(&f, &b, sizeof f);
    if (!std::isfinite(f)) continue;
    char buf[64];
    check(std::string(buf, std::to_chars(buf, buf + sizeof buf, f).ptr));
    // A random decimal: up to 17 digits, a point at any place or none.
    std::string d = (next() % 2) ? "-" : "";
    const int n = 1 + static_cast<int>(next() % 17);
    const int point = static_cast<int>(next() % (n + 2));
    for (int k = 0; k < n; ++k) {
      if (k == point) d += '.';
      d += static_cast<char>('0' + next() % 10);
    }
    check(d);
  }
  // Halfway between two floats, exactly, and just below and above: 2^24 + 1
  // and its like are halfway between neighbours two apart.
  for (std::uint32_t m = (1u << 24) + 1; m < (1u << 24) + 2000; m += 2) {
    const std::string exact = std::to_string(m);
    check(exact);
    check(exact + ".0000001");
    check(std::to_string(m - 1) + ".9999999");
    check("0." + exact);  // not halfway after the division: still must agree
  }
  // Fifteen-digit decimals next to the halfway points between the floats in
  // [0.5, 1): a halfway point (2q + 1) / 2^25 is N / 2^10 / 10^15 with
  // N = (2q + 1) * 5^15, so the decimals just below and above it are
  // floor(N / 2^10) and that plus one. Some of them round to the halfway
  // point itself as doubles, the one case the quick path must leave alone.
  constexpr std::uint64_t kFive15 = 30517578125ull;
  for (int i = 0; i < 4000; ++i) {
    const std::uint64_t q = (1u << 23) + next() % (1u << 23);
    const std::uint64_t below = (2 * q + 1) * kFive15 / 1024;
    for (std::uint64_t d : {below, below + 1}) {
      std::string digits = std::to_string(d);
      std::string text(1, '.');  // no "0": 15 digits
      text.append(15 - digits.size(), '0');
      check(text + digits);
    }
  }
  for (const char* text : {"-0", "-0.0", "0.", ".5", "-.5", "5.", "1.5e3", "1.5E3", "12E-1", "1.5e",
                           "1.2.3", "999999999999999", "0.000000000000001", "3.4028235e38", "1e-45",
                           "0.1", "16777216", "1234567"})
    check(text);
}

// Parses text with the reader, handed over in chunks of the given size.
class ReaderTest : public ::testing::Test {
 protected:
  void SetUp() override {
    LogOpen("reader.log");
    ::testing::internal::CaptureStdout();
    TheStore().ClearAll();
    TheModMaps().Reset();
  }
  void TearDown() override {
    // The log's echo is kept from the output unless the test failed, when
    // it shows among the failure messages that were captured with it.
    std::string out = ::testing::internal::GetCapturedStdout();
    if (HasFailure()) std::fputs(out.c_str(), stdout);
    TheStore().ClearAll();
    TheModMaps().Reset();
    LogOpen("corvane.log");
  }
  static void Parse(std::string text, std::size_t chunk) {
    SaveDataReader reader;
    ASSERT_EQ(reader.Init(), 0);
    for (std::size_t pos = 0; pos < text.size(); pos += chunk)
      reader.Feed(text.data() + pos, std::min(chunk, text.size() - pos));
    reader.Finish();
  }
  static const std::string* Str(EvOwnerId owner, std::string_view key) {
    return TheStore().Find<EvKind::String>(owner, key);
  }
};

TEST_F(ReaderTest, LinesSplitTheSameWhateverTheChunks) {
  const std::string bigValue(100000, 'v');  // longer than the reader's own chunk
  const std::string text =
      "ST, 4278190081, \"a\", \"one\"\r\n"
      "ST, 4278190081, \"multi\", \"x\r\ny\r\r\nz\"\r\n"
      "\r\n"
      "ST, 4278190081, \"lf\", plain\n"
      "ST, 4278190081, \"big\", \"" +
      bigValue +
      "\"\r\n"
      "ST, 4278190081, \"cr\", \"a\rb\"\r\n"
      "ST, 4278190081, \"last\", \"no line end\"";
  for (std::size_t chunk : {std::size_t{1}, std::size_t{2}, std::size_t{3}, std::size_t{7},
                            std::size_t{4096}, text.size()}) {
    SCOPED_TRACE(chunk);
    TheStore().ClearAll();
    Parse(text, chunk);
    ASSERT_NE(Str(0xFF000001u, "a"), nullptr);
    EXPECT_EQ(Found(Str(0xFF000001u, "a")), "one");
    EXPECT_EQ(Found(Str(0xFF000001u, "multi")), "x\ny\r\nz");
    EXPECT_EQ(Found(Str(0xFF000001u, "lf")), "plain");
    EXPECT_EQ(Found(Str(0xFF000001u, "big")), bigValue);
    EXPECT_EQ(Found(Str(0xFF000001u, "cr")), "a\rb");
    EXPECT_EQ(Found(Str(0xFF000001u, "last")), "no line end");
    EXPECT_EQ(TheStore().EntryCount(EvKind::String), 6u);
  }
}

TEST_F(ReaderTest, AByteOrderMarkIsSkippedWhereverTheChunksCutIt) {
  const std::string text = "\xEF\xBB\xBFST, 4278190081, \"a\", \"one\"\r\n";
  const std::size_t chunks[] = {1, 2, 3, 4, text.size()};
  for (std::size_t chunk : chunks) {
    SCOPED_TRACE(chunk);
    TheStore().ClearAll();
    Parse(text, chunk);
    ASSERT_NE(Str(0xFF000001u, "a"), nullptr);
    EXPECT_EQ(Found(Str(0xFF000001u, "a")), "one");
    EXPECT_EQ(TheStore().EntryCount(EvKind::String), 1u);
  }
  // The first bytes of a mark without the rest are no mark: they stay part
  // of the first field, here the tag, and the file is shorter than a mark.
  Parse("\xEF\xBBST, 4278190081, \"b\", \"two\"\r\n", 1);
  Parse("\xEF\xBB", 1);
  EXPECT_EQ(Str(0xFF000001u, "b"), nullptr);
  std::ifstream in("reader.log", std::ios::binary);
  const std::string log(std::istreambuf_iterator<char>(in), {});
  std::string expected;
  for (std::size_t i = 0; i < std::size(chunks); ++i)
    expected += "Skipped the byte-order mark at the start of the file\r\n";
  expected += "Unknown record type '\xEF\xBBST'\r\nUnknown record type '\xEF\xBB'\r\n";
  EXPECT_EQ(log, expected);
}

TEST_F(ReaderTest, ACarriageReturnEndingALineIsNeverPartOfAField) {
  Parse(
      "ST, 4278190081, \"k\", Sunny\r\nST, 4278190081, \"q\", \"Q\"\r\n"
      "FL, 4278190081, \"f\", 2.5\r\r\n",
      5);
  EXPECT_EQ(Found(Str(0xFF000001u, "k")), "Sunny");
  EXPECT_EQ(Found(Str(0xFF000001u, "q")), "Q");
  EXPECT_EQ(Found(TheStore().Find<EvKind::Float>(0xFF000001u, "f")), 2.5f);
}

// A line feed inside a quoted key or value is written as CR LF and read
// back as the line feed, wherever it stands in a text of any length; a CR
// that no LF follows stays.
TEST_F(ReaderTest, EveryCrLfInsideAQuotedTextReadsAsALineFeed) {
  struct Case {
    const char* inner;  // what the CR LF or lone CR stands for
    const char* read;
  };
  const Case cases[] = {{"\r\n", "\n"}, {"\r", "\r"}, {"\r\r\n", "\r\n"}};
  for (const Case& c : cases)
    for (std::size_t size : {0u, 1u, 6u, 7u, 8u, 15u, 16u, 40u, 70u})
      for (std::size_t at = 0; at <= size; at += (size > 16 ? 7 : 1)) {
        std::string base(size, 'x');
        for (std::size_t i = 0; i < size; ++i) base[i] = static_cast<char>('a' + i % 26);
        const std::string written = base.substr(0, at) + c.inner + base.substr(at);
        const std::string read = base.substr(0, at) + c.read + base.substr(at);
        SCOPED_TRACE(::testing::Message() << size << " " << at << " " << (c.inner[1] == '\n'));
        TheStore().ClearAll();
        Parse("ST, 4278190081, \"" + written + "\", \"" + written + "\"\r\n", 4096);
        EXPECT_EQ(TheStore().EntryCount(EvKind::String), 1u);
        EXPECT_EQ(Found(Str(0xFF000001u, read)), read);
      }
}

// The reader keeps each text in the place of the one before it; a record
// cut short must read its missing fields as empty, not as what the record
// before held.
TEST_F(ReaderTest, AShortRecordNeverTakesTextsFromTheOneBefore) {
  Parse(
      "ST, 4278190081, \"a.rather.long.key\", \"a rather long value\"\r\n"
      "ST, 4278190082, \"k\"\r\n"  // no value
      "ST, 4278190083\r\n"         // no key either
      "ST, 4278190084, \"k\", \"v\"\r\n"
      "ST, 4278190084, \"key.longer.than.before\", \"value longer than before\"\r\n",
      7);
  EXPECT_EQ(Found(Str(0xFF000001u, "a.rather.long.key")), "a rather long value");
  ASSERT_NE(Str(0xFF000002u, "k"), nullptr);
  EXPECT_EQ(Found(Str(0xFF000002u, "k")), "");
  ASSERT_NE(Str(0xFF000003u, ""), nullptr);
  EXPECT_EQ(Found(Str(0xFF000003u, "")), "");
  EXPECT_EQ(Found(Str(0xFF000004u, "k")), "v");
  EXPECT_EQ(Found(Str(0xFF000004u, "key.longer.than.before")), "value longer than before");
  EXPECT_EQ(TheStore().EntryCount(EvKind::String), 5u);
}

// A record with more fields than its kind takes (an open quote swallowing
// the next line, say) is read as always and logged with the line where it
// starts, lines counted as CR LF, LF or a CR alone end them.
TEST_F(ReaderTest, RecordsOfOddShapes) {
  const std::string text =
      "IX, 1, \"MyMod.esp\", extra, more\r\n"  // five fields: the mod still counts
      "FL, 4278190081, \"three\"\r\n"          // no value: 0
      "FL, 4278190081, \"twice\", 1\r\n"
      "FL, 4278190081, \"twice\", 2\r\n"  // the later row wins
      "FL, 4278190081, \"CAPS\", 3\r\n"   // keys are stored as read
      "fl, 4278190081, \"lower\", 4, x\r\n"
      "ST, 4278190081, \"two\r\nlines\", v\n"
      "\n"
      "FL, 4278190081, \"five\", 5, x\r"
      "ST, 4278190081, \"open\", \"quote\r\n"
      "FL, 4278190081, \"swallowed\", 6\r\n"
      "ZZ\r\n";
  for (std::size_t chunk : {std::size_t{1}, std::size_t{64}, text.size()}) {
    SCOPED_TRACE(chunk);
    TheStore().ClearAll();
    TheModMaps().Reset();
    LogOpen("reader.log");
    Parse(text, chunk);
    EXPECT_EQ(TheModMaps().savedModNames().at(1), "MyMod.esp");
    const EvStore& s = TheStore();
    ASSERT_NE((s.Find<EvKind::Float>(0xFF000001u, "three")), nullptr);
    EXPECT_EQ(*s.Find<EvKind::Float>(0xFF000001u, "three"), 0.0f);
    ASSERT_NE((s.Find<EvKind::Float>(0xFF000001u, "twice")), nullptr);
    EXPECT_EQ(*s.Find<EvKind::Float>(0xFF000001u, "twice"), 2.0f);
    EXPECT_NE(s.Find<EvKind::Float>(0xFF000001u, "CAPS"), nullptr);
    EXPECT_EQ(s.Find<EvKind::Float>(0xFF000001u, "lower"), nullptr);
    ASSERT_NE((s.Find<EvKind::Float>(0xFF000001u, "five")), nullptr);
    EXPECT_EQ(*s.Find<EvKind::Float>(0xFF000001u, "five"), 5.0f);
    EXPECT_EQ(s.EntryCount(EvKind::Float), 4u);
    // The open quote took the next row into the text, as it always did.
    ASSERT_NE(Str(0xFF000001u, "open"), nullptr);
    EXPECT_EQ(*Str(0xFF000001u, "open"), "quote\nFL, 4278190081, \"swallowed");
    std::ifstream in("reader.log", std::ios::binary);
    EXPECT_EQ(
        std::string(std::istreambuf_iterator<char>(in), {}),
        "Too many fields in the IX row at line 1: the fields after the fourth are ignored\r\n"
        "Unknown record type 'fl'\r\n"
        "Too many fields in the FL row at line 10: the fields after the fourth are ignored\r\n"
        "Too many fields in the ST row at line 11: the fields after the fourth are ignored\r\n"
        "Unknown record type 'ZZ'\r\n");
  }
}

// The reader takes the numbers the writer writes on a quicker path than
// str2int and str2float; every other text must read as they read it. Each
// id is read both as an owner and as a form value, and each decimal as a
// float value.
TEST_F(ReaderTest, NumbersInRowsReadAsStr2IntAndStr2FloatReadThem) {
  struct IdCase {
    const char* text;
    std::uint32_t id;
  };
  const IdCase ids[] = {
      {"5", 5},
      {"000000005", 5},
      {"16777215", 0x00FFFFFFu},
      {"012345678", 12345678u},
      {"4278190081", 0xFF000001u},  // ten digits
      {"4294967295", 0xFFFFFFFFu},
      {"4294967296", 0},  // does not fit: 0, which mod 0 maps
      {"9999999999", 0},
      {"04278190081", 0xFF000001u},  // eleven digits
      {"42781900810", 0},
      {"+4278190081", 0xFF000001u},
      {"4278190081abc", 0xFF000001u},
      {"12x", 12},
      {"x12", 0},
      {"-5", 0},
      {"\"\"", 0},  // an empty quoted field
  };
  for (const IdCase& c : ids) {
    SCOPED_TRACE(c.text);
    TheStore().ClearAll();
    TheModMaps().Reset();
    TheModMaps().SetLoaded("Base.esm", 0);
    Parse(std::string("IX, 0, \"Base.esm\",\r\nFL, ") + c.text +
              ", \"k\", 1.5\r\nFO, 4278190081, \"f\", " + c.text + "\r\n",
          4096);
    EXPECT_EQ(TheStore().EntryCount(EvKind::Float), 1u);
    EXPECT_EQ(Found(TheStore().Find<EvKind::Float>(c.id, "k")), 1.5f);
    EXPECT_EQ(Found(TheStore().Find<EvKind::Form>(0xFF000001u, "f")), c.id);
  }
  struct FloatCase {
    const char* text;
    float value;
  };
  const FloatCase floats[] = {
      {"1.5", 1.5f},
      {"-0.25", -0.25f},
      {"370001.38", 370001.38f},
      {"+2.5", 2.5f},
      {"1e3", 1000.0f},
      {"-2.5E-2", -0.025f},
      {"12.5xyz", 12.5f},
      {".5", 0.5f},
      {"7", 7.0f},
      {"abc", 0.0f},
      {"-", 0.0f},
      {"1.2.3", 1.2f},
      {"16777217", 16777216.0f},  // halfway between two floats: to the even one
  };
  for (const FloatCase& c : floats) {
    SCOPED_TRACE(c.text);
    TheStore().ClearAll();
    Parse(std::string("FL, 4278190081, \"k\", ") + c.text + "\r\n", 4096);
    EXPECT_EQ(Found(TheStore().Find<EvKind::Float>(0xFF000001u, "k")), c.value);
    EXPECT_EQ(Found(TheStore().Find<EvKind::Float>(0xFF000001u, "k")), str2float(c.text));
  }
}

// The file is read in pieces, and a record may span two; a read error ends
// the reading with what came before it stored and the file not finished.
TEST_F(ReaderTest, ReadsAFileInPiecesAndStopsAtAReadError) {
  std::string file;
  for (int i = 0; i < 20000; ++i)
    file += "FL, 4278190081, \"k" + std::to_string(i) + "\", " + std::to_string(i) + "\r\n";
  file += "FL, 4278190081, \"last\", 7";  // no line end: Finish ends it
  struct Case {
    std::size_t failAt;  // the read that fails; 0: none does
    bool read;
    std::size_t entries;
  };
  for (const Case& c : {Case{0, true, 20001}, Case{3, false, 0}}) {
    SCOPED_TRACE(c.failAt);
    TheStore().ClearAll();
    std::size_t at = 0, reads = 0;
    SaveDataReader reader;
    ASSERT_EQ(reader.Init(), 0);
    const bool read = reader.ReadAll([&](char* buffer, std::size_t size, std::size_t* got) {
      if (++reads == c.failAt) return false;
      *got = std::min(size, file.size() - at);
      std::memcpy(buffer, file.data() + at, *got);
      at += *got;
      return true;
    });
    EXPECT_EQ(read, c.read);
    if (c.read) {
      EXPECT_EQ(TheStore().EntryCount(EvKind::Float), c.entries);
      EXPECT_EQ(Found(TheStore().Find<EvKind::Float>(0xFF000001u, "k19999")), 19999.0f);
      EXPECT_EQ(Found(TheStore().Find<EvKind::Float>(0xFF000001u, "last")), 7.0f);
    } else {
      // The two pieces before the failure were stored, up to the record
      // the second one cut.
      const std::size_t stored = TheStore().EntryCount(EvKind::Float);
      EXPECT_GT(stored, 0u);
      EXPECT_LT(stored, 20000u);
      EXPECT_NE(TheStore().Find<EvKind::Float>(0xFF000001u, "k" + std::to_string(stored - 1)),
                nullptr);
      EXPECT_EQ(TheStore().Find<EvKind::Float>(0xFF000001u, "last"), nullptr);
    }
  }
}

}  // namespace
}  // namespace cv::persist
