// The reader stores an owner's first row of a kind only once the next row
// shows whether more follow. Whatever the rows around it and wherever the
// file's pieces end, every file must read back exactly as if each row were
// stored as it came: the same entries, and the same log lines in the same
// order.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

#include "persist/savedata.h"
#include "persist_fixture.h"

namespace cv::persist::testing {
namespace {

class ReaderRunsTest : public PersistTest {
 protected:
  // Reads the file through the reader, handed over chunk bytes at a time.
  void Read(const std::string& file, std::size_t chunk) {
    clearsettings();
    newmodmap();
    ClearLog();
    SaveDataReader reader;
    ASSERT_EQ(reader.Init(), 0);
    for (std::size_t at = 0; at < file.size(); at += chunk)
      reader.Feed(file.data() + at, std::min(chunk, file.size() - at));
    reader.Finish();
  }
  // Every entry of the store as "KIND owner key=value", sorted.
  static std::vector<std::string> Entries() {
    std::vector<std::string> out;
    auto add = [&](const char* kind, EvOwnerId owner, std::string_view key, std::string value) {
      char id[16];
      std::snprintf(id, sizeof id, "%08X", static_cast<unsigned>(owner));
      out.push_back(std::string(kind) + " " + id + " " + std::string(key) + "=" + value);
    };
    const EvStore& s = TheStore();
    s.ForEachEntry<EvKind::Float>([&](EvOwnerId o, std::string_view k, float v) {
      char text[32];
      std::snprintf(text, sizeof text, "%g", static_cast<double>(v));
      add("FL", o, k, text);
    });
    s.ForEachEntry<EvKind::Form>([&](EvOwnerId o, std::string_view k, std::uint32_t v) {
      char text[16];
      std::snprintf(text, sizeof text, "%08X", static_cast<unsigned>(v));
      add("FO", o, k, text);
    });
    s.ForEachEntry<EvKind::String>(
        [&](EvOwnerId o, std::string_view k, const std::string& v) { add("ST", o, k, v); });
    std::sort(out.begin(), out.end());
    return out;
  }
  // Whether the log holds these texts in this order.
  static bool InOrder(const std::string& log, const std::vector<std::string>& texts) {
    std::size_t at = 0;
    for (const std::string& t : texts) {
      at = log.find(t, at);
      if (at == std::string::npos) return false;
      at += t.size();
    }
    return true;
  }
};

// The load order is FalloutNV.esm (0) and MyMod.esp (1); the file also
// names Gone.esp (5), which is not loaded. Owner ids are decimal: 10 is
// 0x0000000A, 16777226 is 0x0100000A, 83886090 is 0x0500000A.
constexpr const char* kHead =
    "IX, 0, \"FalloutNV.esm\",\r\nIX, 1, \"MyMod.esp\",\r\nIX, 5, \"Gone.esp\",\r\n";

TEST_F(ReaderRunsTest, RowsReadAsIfEachWereStoredAsItCame) {
  struct Case {
    const char* name;
    std::string rows;  // after the two mod-index rows
    std::vector<std::string> entries;
    std::vector<std::string> log;  // texts the log holds, in this order
  };
  const Case cases[] = {
      {"a run, a single row, and the first owner again",
       "FL, 10, \"a\", 1\r\nFL, 10, \"b\", 2\r\nFL, 10, \"c\", 3\r\nFL, 11, \"a\", 4\r\n"
       "FL, 10, \"d\", 5\r\n",
       {"FL 0000000A a=1", "FL 0000000A b=2", "FL 0000000A c=3", "FL 0000000A d=5",
        "FL 0000000B a=4"},
       {}},
      {"one owner's kinds one after the other",
       "FL, 10, \"k\", 1\r\nFO, 10, \"k\", 20\r\nST, 10, \"k\", \"s\"\r\nFL, 10, \"j\", 2\r\n",
       {"FL 0000000A j=2", "FL 0000000A k=1", "FO 0000000A k=00000014", "ST 0000000A k=s"},
       {}},
      {"the same key twice in a run: the later row wins",
       "FL, 10, \"k\", 1\r\nFL, 10, \"k\", 2\r\nST, 10, \"t\", \"x\"\r\nST, 10, \"t\", \"y\"\r\n",
       {"FL 0000000A k=2", "ST 0000000A t=y"},
       {}},
      {"a lost row inside a run",
       "FL, 10, \"a\", 1\r\nFL, 83886090, \"lost\", 2\r\nFL, 10, \"b\", 3\r\n",
       {"FL 0000000A a=1", "FL 0000000A b=3"},
       {"Lost EVFL 'lost': its mod is missing"}},
      {"a row of too many fields inside a run",
       "FL, 10, \"a\", 1\r\nFL, 10, \"b\", 2, 9\r\nFL, 10, \"c\", 3\r\n",
       {"FL 0000000A a=1", "FL 0000000A b=2", "FL 0000000A c=3"},
       {"Too many fields in the FL row at line 5"}},
      {"an unknown record inside a run, then a lost one",
       "FL, 10, \"a\", 1\r\nXX, 10, \"b\", 2\r\nFL, 10, \"c\", 3\r\nFL, 83886090, \"d\", 4\r\n",
       {"FL 0000000A a=1", "FL 0000000A c=3"},
       {"Unknown record type 'XX'", "Lost EVFL 'd'"}},
      {"a mod-index row inside a run",
       "FL, 16777226, \"a\", 1\r\nIX, 2, \"Gone.esp\",\r\nFL, 16777226, \"b\", 2\r\n",
       {"FL 0100000A a=1", "FL 0100000A b=2"},
       {}},
      {"a row that waits for its mod's row, among runs",
       "FL, 10, \"a\", 1\r\nFL, 50331658, \"late\", 7\r\nFL, 10, \"b\", 2\r\n"
       "IX, 3, \"MyMod.esp\",\r\nFL, 11, \"c\", 3\r\n",
       {"FL 0000000A a=1", "FL 0000000A b=2", "FL 0000000B c=3", "FL 0100000A late=7"},
       {}},
      {"a form whose value's mod is missing ends the run's first row",
       "FO, 10, \"a\", 20\r\nFO, 10, \"b\", 83886081\r\nFO, 10, \"c\", 16777217\r\n",
       {"FO 0000000A a=00000014", "FO 0000000A c=01000001"},
       {"Lost EVFO 'b'"}},
      {"the file ends inside a quoted text after a run's first row",
       "ST, 10, \"a\", \"x\"\r\nST, 10, \"b\", \"never closed\r\n",
       {"ST 0000000A a=x"},
       {"The file ends inside a quoted field"}},
      {"the last row has no line end",
       "FL, 10, \"a\", 1\r\nFL, 12, \"z\", 9",
       {"FL 0000000A a=1", "FL 0000000C z=9"},
       {}},
  };
  for (const Case& c : cases) {
    const std::string file = kHead + c.rows;
    for (std::size_t chunk : {std::size_t{1}, std::size_t{7}, std::size_t{30}, file.size()}) {
      SCOPED_TRACE(std::string(c.name) + ", chunks of " + std::to_string(chunk));
      Read(file, chunk);
      EXPECT_EQ(Entries(), c.entries);
      const std::string log = Log();
      EXPECT_TRUE(InOrder(log, c.log)) << log;
    }
  }
}

// An owner's rows given together take one block for all of them; the same
// rows one at a time end in the same block sizes.
TEST_F(ReaderRunsTest, AnOwnersBlockIsTheOneItsRowsWouldGrowItTo) {
  for (int rows : {1, 2, 4, 5, 8, 13}) {
    SCOPED_TRACE(rows);
    std::string file = kHead;
    for (int i = 0; i < rows; ++i)
      file += "FL, 10, \"k" + std::to_string(i) + "\", " + std::to_string(i + 1) + "\r\n";
    Read(file, file.size());
    EXPECT_EQ(TheStore().EntryCount(EvKind::Float), static_cast<std::size_t>(rows));
    EvStore oneByOne;
    for (int i = 0; i < rows; ++i)
      oneByOne.Entry<EvKind::Float>(10, "k" + std::to_string(i)) = static_cast<float>(i + 1);
    EXPECT_EQ(TheStore().OwnerBucketCount(EvKind::Float, 10),
              oneByOne.OwnerBucketCount(EvKind::Float, 10));
  }
}

}  // namespace
}  // namespace cv::persist::testing
