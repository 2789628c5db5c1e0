// corvane-savedata: what it reads from a file through the plug-in's reader,
// how it shows it, and which files a sweep finds.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>

#include "platform/platform.h"
#include "short_output.h"
#include "tools/savedata/output.h"
#include "tools/savedata/savedata_file.h"
#include "tools/savedata/sweep.h"

namespace cv::savedata {
namespace {

namespace fs = std::filesystem;

constexpr const char* kExample =
    "IX, 0, \"FalloutNV.esm\",\r\n"
    "IX, 1, \"MyMod.esp\",\r\n"
    "ST, 16821197, \"name\", \"Sunny\"\r\n"
    "FO, 16821197, \"target\", 662316\r\n"
    "FL, 16821197, \"hp\", 12.5\r\n"
    "FL, 74565, \"count\", 3\r\n"
    "FL, 4278192129, \"made at run time\", 0.1\r\n";

std::string Notes(std::string_view bytes) {
  FileReport r;
  ReadSaveData(bytes, r);
  std::ostringstream out;
  PrintNotes(out, "f", r);
  return out.str();
}

struct CheckCase {
  const char* what;
  std::string bytes;
  const char* notes;  // what check prints
};

TEST(Check, EveryLoggedLineWithTheLineItsRecordStarts) {
  const std::string ix = "IX, 0, \"A.esm\",\n";
  const CheckCase cases[] = {
      {"a clean file", kExample, ""},
      {"LF line ends and blank lines", ix + "\n\nFL, 5, \"k\", 1\n", ""},
      {"an unknown tag", ix + "FL, 5, \"k\", 1\nxx, 5, \"k\", 1\n",
       "f:3: Unknown record type 'xx'\n"},
      {"a value whose mod has no mod-index row", ix + "\nFL, 16777221, \"hp\", 1\n",
       "f:3: Lost EVFL 'hp': its mod is missing\nf:3:   Cannot map mod \n"},
      {"a form row whose two mods are missing", ix + "FO, 33554437, \"ally\", 50331648\n",
       "f:2: Lost EVFO 'ally': its mod is missing\nf:2:   Cannot map mod \n"
       "f:2:   Cannot map mod \n"},
      {"a value before its mod's row is kept, as in the game",
       "FL, 16777221, \"hp\", 1\nIX, 1, \"B.esp\",\nFL, 16777221, \"mp\", 1\n", ""},
      {"a value waiting for a mod row that never comes is lost on its own line",
       "FL, 33554437, \"gone\", 1\nIX, 1, \"B.esp\",\nxx\n",
       "f:1: Lost EVFL 'gone': its mod is missing\nf:1:   Cannot map mod \n"
       "f:3: Unknown record type 'xx'\n"},
      // The rows of the load's own cases (LoadOrderTest): the row named as
      // replaced is the one whose value the load does not keep.
      {"a row before its mod's row gives way to a later one",
       "FL, 16777221, \"hp\", 1\nIX, 1, \"B.esp\",\nFL, 16777221, \"hp\", 2\n",
       "f:1: Replaced by the later FL row for 'hp' at line 3\n"},
      {"of three rows the last wins",
       "ST, 5, \"s\", a\nST, 5, \"s\", b\nIX, 0, \"A.esm\",\nST, 5, \"s\", c\n",
       "f:1: Replaced by the later ST row for 's' at line 2\n"
       "f:2: Replaced by the later ST row for 's' at line 4\n"},
      {"a form row waiting for its value's mod wins over an earlier row",
       ix + "IX, 1, \"B.esp\",\nFO, 16777221, \"t\", 5\nFO, 16777221, \"t\", 33554437\n"
            "IX, 2, \"C.esp\",\n",
       "f:3: Replaced by the later FO row for 't' at line 4\n"},
      {"kinds and owners apart, and lost rows replace nothing",
       ix + "FL, 5, \"k\", 1\nFO, 5, \"k\", 1\nFL, 6, \"k\", 1\nFL, 5, \"k\", 1\n"
            "FL, 33554437, \"k\", 1\nFL, 33554437, \"k\", 2\n",
       "f:2: Replaced by the later FL row for 'k' at line 5\n"
       "f:6: Lost EVFL 'k': its mod is missing\nf:6:   Cannot map mod \n"
       "f:7: Lost EVFL 'k': its mod is missing\nf:7:   Cannot map mod \n"},
      {"a key holding a line break counts both lines", ix + "ST, 5, \"two\r\nlines\", x\r\nyy\n",
       "f:4: Unknown record type 'yy'\n"},
      {"a record that starts on one line and ends on the next", ix + "zz, 5, \"two\nlines\", x\n",
       "f:2: Unknown record type 'zz'\n"},
      {"CR alone ends lines", ix + "FL, 5, \"k\", 1\rxx\r", "f:3: Unknown record type 'xx'\n"},
      {"a last line without line end", ix + "xx, 1", "f:2: Unknown record type 'xx'\n"},
      {"a byte-order mark", "\xEF\xBB\xBF" + ix,
       "f:1: Skipped the byte-order mark at the start of the file\n"},
      {"a file cut off inside a quoted key", ix + "FL, 5, \"k\", 1\nST, 5, \"cut\n\n",
       "f:3: The file ends inside a quoted field; its last record is skipped\n"},
      {"a row with more fields than its kind takes", ix + "FL, 5, \"k\", 1, 2\n",
       "f:2: Too many fields in the FL row at line 2: the fields after the fourth are ignored\n"},
      {"an open quote that swallows the next row",
       ix + "ST, 5, \"k\", \"open\r\nFL, 5, \"x\", 1\r\nFL, 5, \"y\", 2\r\n",
       "f:2: Too many fields in the ST row at line 2: the fields after the fourth are ignored\n"},
      {"mod-index rows whose index is no mod index",
       ix + "IX, 300, \"X.esp\",\nIX, -1, \"Y.esp\",\nFL, 5, \"k\", 1\n",
       "f:2: Skipped mod-index row: its index is not a number from 0 to 255\n"
       "f:3: Skipped mod-index row: its index is not a number from 0 to 255\n"
       "f:4: Skipped 2 mod-index rows whose index is not a number from 0 to 255\n"},
  };
  for (const CheckCase& c : cases) EXPECT_EQ(Notes(c.bytes), c.notes) << c.what;
}

TEST(Show, RowsAsWrittenInFileOrder) {
  FileReport r;
  ReadSaveData(kExample, r);
  ASSERT_EQ(r.mods.size(), 2u);
  EXPECT_EQ(r.mods[1].name, "MyMod.esp");
  ASSERT_EQ(r.values.size(), 5u);
  EXPECT_EQ(r.values[0].text, "Sunny");
  EXPECT_EQ(r.values[1].form, 662316u);
  EXPECT_EQ(r.values[4].line, 7);
  EXPECT_EQ(r.values[4].number, 0.1f);
  EXPECT_EQ(r.lines, 7);

  std::ostringstream table;
  PrintTable(table, r);
  EXPECT_EQ(table.str(),
            "mods when saved:\n"
            "  0  FalloutNV.esm\n"
            "  1  MyMod.esp\n"
            "\n"
            "line  kind    owner                 key                 value\n"
            "3     string  MyMod.esp:00ABCD      \"name\"              \"Sunny\"\n"
            "4     form    MyMod.esp:00ABCD      \"target\"            FalloutNV.esm:0A1B2C\n"
            "5     float   MyMod.esp:00ABCD      \"hp\"                12.5\n"
            "6     float   FalloutNV.esm:012345  \"count\"             3\n"
            "7     float   dynamic:000801        \"made at run time\"  0.1\n"
            "5 values\n");

  std::ostringstream json;
  PrintJson(json, r);
  EXPECT_EQ(
      json.str(),
      "{\n  \"mods\": [\n"
      "    {\"line\": 1, \"index\": 0, \"name\": \"FalloutNV.esm\"},\n"
      "    {\"line\": 2, \"index\": 1, \"name\": \"MyMod.esp\"}\n  ],\n"
      "  \"values\": [\n"
      "    {\"line\": 3, \"kind\": \"string\", \"owner\": {\"mod\": \"MyMod.esp\", \"id\": "
      "\"00ABCD\", \"formId\": 16821197}, \"key\": \"name\", \"value\": \"Sunny\"},\n"
      "    {\"line\": 4, \"kind\": \"form\", \"owner\": {\"mod\": \"MyMod.esp\", \"id\": "
      "\"00ABCD\", \"formId\": 16821197}, \"key\": \"target\", \"value\": {\"mod\": "
      "\"FalloutNV.esm\", \"id\": \"0A1B2C\", \"formId\": 662316}},\n"
      "    {\"line\": 5, \"kind\": \"float\", \"owner\": {\"mod\": \"MyMod.esp\", \"id\": "
      "\"00ABCD\", \"formId\": 16821197}, \"key\": \"hp\", \"value\": 12.5},\n"
      "    {\"line\": 6, \"kind\": \"float\", \"owner\": {\"mod\": \"FalloutNV.esm\", \"id\": "
      "\"012345\", \"formId\": 74565}, \"key\": \"count\", \"value\": 3},\n"
      "    {\"line\": 7, \"kind\": \"float\", \"owner\": {\"mod\": \"dynamic\", \"id\": "
      "\"000801\", \"formId\": 4278192129}, \"key\": \"made at run time\", \"value\": 0.1}\n"
      "  ]\n}\n");

  FileReport empty;
  ReadSaveData("", empty);
  std::ostringstream none;
  PrintJson(none, empty);
  EXPECT_EQ(none.str(), "{\n  \"mods\": [],\n  \"values\": []\n}\n");
}

TEST(Show, OddValuesAndTexts) {
  FileReport r;
  ReadSaveData(
      "IX, 2, \"B.esp\",\nIX, 2, \"C.esp\",\nFO, 50331649, \"k\", 0\n"
      "FL, 33554433, \"inf\", inf\nST, 33554433, \"a\"\"b\", \"x\ty\xE9\"\n",
      r);
  ASSERT_EQ(r.values.size(), 3u);
  // A later mod-index row for an index wins, as in the loader; an index
  // without a row is named so.
  EXPECT_EQ(FormatId(r, 0x02000001), "C.esp:000001");
  EXPECT_EQ(FormatId(r, 0x03000001), "(no mod 03):000001");
  std::ostringstream table;
  PrintTable(table, r);
  EXPECT_NE(table.str().find("  none\n"), std::string::npos) << cv::testing::Shortened(table.str());
  EXPECT_NE(table.str().find("inf\n"), std::string::npos) << cv::testing::Shortened(table.str());
  // The game's single-byte text comes out in UTF-8 where the system's texts
  // are in a code page (Windows), as it is elsewhere.
  EXPECT_NE(table.str().find("\"a\\\"b\"  \"x\\ty" + platform::Utf8Path("\xE9") + "\""),
            std::string::npos)
      << cv::testing::Shortened(table.str());
  std::ostringstream json;
  PrintJson(json, r);
  EXPECT_NE(json.str().find("\"owner\": {\"mod\": null, \"id\": \"000001\""), std::string::npos);
  EXPECT_NE(json.str().find("\"value\": null}"), std::string::npos);
  EXPECT_NE(json.str().find("\"value\": \"inf\"}"), std::string::npos)
      << cv::testing::Shortened(json.str());
  EXPECT_NE(json.str().find("\"value\": \"x\\ty\\u00E9\"}"), std::string::npos)
      << cv::testing::Shortened(json.str());
  EXPECT_EQ(QuoteText(std::string("\x01\r\n\\", 4)), "\"\\x01\\r\\n\\\\\"");
  EXPECT_EQ(JsonString(std::string("\x01\x7F", 2)), "\"\\u0001\\u007F\"");
  EXPECT_EQ(QuoteText("caf\xE9\x7F"), "\"caf\xE9\\x7F\"");  // high bytes as they are
}

TEST(Show, ReadsFilesAndRefusesMissingOnes) {
  {
    std::ofstream f("example.csv", std::ios::binary);
    f << kExample;
  }
  FileReport r;
  std::string error;
  ASSERT_TRUE(ReadSaveDataFile("example.csv", r, error)) << error;
  EXPECT_EQ(r.values.size(), 5u);
  EXPECT_TRUE(r.notes.empty());
  EXPECT_FALSE(ReadSaveDataFile("no-such.csv", r, error));
  EXPECT_EQ(error, "cannot open no-such.csv");
}

class Sweep : public ::testing::Test {
 protected:
  void SetUp() override {
    fs::remove_all(root);
    for (const char* f :
         {"saves/quicksave.fos", "saves/Save 3.fos.bak", "saves/Sub/x.fos", "saves/QuickSave2.FOS",
          "data/quicksave.fos.csv", "data/Save 3.fos.bak.csv", "data/Save 3.fos.csv",
          "data/old.fos.csv", "data/notes.txt", "data/Sub/x.fos.csv", "data/Sub/y.fos.csv",
          "data/quicksave2.fos.CSV", "data/.csv"})
      Make(f);
  }
  void Make(const fs::path& rel) {
    fs::create_directories((root / rel).parent_path());
    std::ofstream(root / rel) << rel.string();
  }
  std::vector<std::string> Orphans(const fs::path& skip = {}) {
    std::vector<fs::path> found;
    std::string error;
    EXPECT_TRUE(FindOrphans({root / "saves"}, root / "data", skip, found, error)) << error;
    std::vector<std::string> names;
    for (const fs::path& p : found) names.push_back(p.generic_string());
    return names;
  }
  const fs::path root = fs::current_path() / "sweep";
};

TEST_F(Sweep, ListsTheFilesNoSaveMatches) {
  // "X" keeps "X.csv" (case aside); other files are not save data.
  EXPECT_EQ(Orphans(),
            (std::vector<std::string>{".csv", "Save 3.fos.csv", "Sub/y.fos.csv", "old.fos.csv"}));
  std::vector<fs::path> found;
  std::string error;
  EXPECT_FALSE(FindOrphans({root / "nowhere"}, root / "data", {}, found, error));
  EXPECT_NE(error.find("is not a folder"), std::string::npos);
  EXPECT_FALSE(FindOrphans({root / "saves"}, root / "nowhere", {}, found, error));
}

// Every save folder counts, links inside one are followed (a link back to a
// folder it lies in is not walked again), and a wrong or empty save folder
// or a target that holds the data folder is refused, with nothing found.
TEST_F(Sweep, SeveralSaveFoldersLinksAndRefusals) {
  Make("other/Save 3.fos");
  Make("profiles/P1/deep.fos");
  Make("data/Linked/deep.fos.csv");
  Make("empty/notes.txt");
  std::error_code ec;
  fs::create_directory_symlink(root / "profiles" / "P1", root / "saves" / "Linked", ec);
  const bool links = !ec;
  if (links) fs::create_directory_symlink(root / "saves", root / "saves" / "Sub" / "loop", ec);
  struct Case {
    const char* what;
    std::vector<fs::path> saves;
    fs::path skip;
    const char* error;  // a part of the refusal; null: found these
    std::vector<std::string> orphans;
  };
  const Case cases[] = {
      {"one folder",
       {"saves"},
       {},
       nullptr,
       {".csv", "Save 3.fos.csv", "Sub/y.fos.csv", "old.fos.csv"}},
      {"two folders", {"saves", "other"}, {}, nullptr, {".csv", "Sub/y.fos.csv", "old.fos.csv"}},
      {"no save in the folders", {"empty"}, {}, "no save (.fos file)", {}},
      {"an empty save folder", {"emptydir"}, {}, "no save (.fos file)", {}},
      {"a save folder that is not there", {"profiles/none"}, {}, "is not a folder", {}},
      {"the target is the data folder", {"saves"}, "data", "it holds the data folder", {}},
      {"the target holds the data folder", {"saves"}, ".", "it holds the data folder", {}},
      {"the target is the data folder, spelled otherwise",
       {"saves"},
       "data/../data/.",
       "it holds the data folder",
       {}},
  };
  fs::create_directories(root / "emptydir");
  const fs::path was = fs::current_path();
  fs::current_path(root);
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    std::vector<fs::path> found{"stale"};
    std::string error;
    const bool ok = FindOrphans(c.saves, "data", c.skip, found, error);
    std::vector<std::string> names;
    for (const fs::path& p : found) names.push_back(p.generic_string());
    if (c.error == nullptr) {
      EXPECT_TRUE(ok) << error;
      std::vector<std::string> want = c.orphans;
      if (!links) want.insert(want.begin() + 1, "Linked/deep.fos.csv");
      EXPECT_EQ(names, want);
    } else {
      EXPECT_FALSE(ok);
      EXPECT_NE(error.find(c.error), std::string::npos) << error;
      EXPECT_TRUE(names.empty());
    }
  }
  fs::current_path(was);
  // Windows lets only some users make links (and Wine none): there the walk
  // through links is left to the Linux build, where the cases above took it.
}

// A save folder that keeps each character's saves in a folder of its own
// (the game's SLocalSavePath, MO2's profiles): every folder is walked, far
// more of them than folders can nest, and a save there keeps the data file
// of its own name, as the game names it, and of its path.
TEST_F(Sweep, EveryCharacterFolderIsWalked) {
  constexpr int kCharacters = 150;
  for (int i = 0; i < kCharacters; ++i) {
    const std::string who = "Character " + std::to_string(i);
    Make("chars/" + who + "/" + who + " Save.fos");
    Make("data/" + who + " Save.fos.csv");
  }
  Make("chars/Character 7/Sub/deep.fos");
  Make("data/Character 7/Sub/deep.fos.csv");
  Make("data/Character 7/Sub/gone.fos.csv");
  Make("data/Nobody Save.fos.csv");
  std::vector<fs::path> found;
  std::string error;
  ASSERT_TRUE(FindOrphans({root / "chars"}, root / "data", {}, found, error)) << error;
  std::vector<std::string> names;
  for (const fs::path& p : found) names.push_back(p.generic_string());
  // The files the fixture makes that no character's save keeps, and ours.
  EXPECT_EQ(names, (std::vector<std::string>{
                       ".csv", "Character 7/Sub/gone.fos.csv", "Nobody Save.fos.csv",
                       "Save 3.fos.bak.csv", "Save 3.fos.csv", "Sub/x.fos.csv", "Sub/y.fos.csv",
                       "old.fos.csv", "quicksave.fos.csv", "quicksave2.fos.CSV"}));
}

// Run again with the same target, the files the first run moved stay where
// they are, however the target is spelled: relative, with other dots, or in
// other letter case where the file system ignores it.
TEST_F(Sweep, ARunAgainLeavesTheMovedFilesWhereTheyAre) {
  const std::pair<fs::path, fs::path> spellings[] = {
      {"data/old", "data/old"}, {"data/./old", "./data/old/"}, {"data/Old", "data/OLD"}};
  const fs::path was = fs::current_path();
  for (const auto& [first, second] : spellings) {
    SCOPED_TRACE(first.string() + " then " + second.string());
    SetUp();
    // Whether the two spellings name one folder, as the file system says.
    Make(first / "marker");
    const bool sameFolder = fs::exists(root / second / "marker");
    fs::current_path(root);
    for (const fs::path& to : {first, second}) {
      std::vector<fs::path> orphans;
      std::string error;
      ASSERT_TRUE(FindOrphans({"saves"}, "data", to, orphans, error)) << error;
      std::ostringstream out, err;
      EXPECT_EQ(MoveOrphans("data", orphans, to, out, err), 0) << err.str();
    }
    fs::current_path(was);
    // Where the two spellings are two folders, the second run moved the
    // first one's files as any others.
    const fs::path where = sameFolder ? root / first : root / second / first.filename();
    EXPECT_TRUE(fs::exists(where / "Sub" / "y.fos.csv"));
    EXPECT_TRUE(fs::exists(where / "old.fos.csv"));
    EXPECT_FALSE(fs::exists(where / first.filename())) << "moved a second time";
  }
}

TEST_F(Sweep, MovesWithoutReplacingOrDeleting) {
  const fs::path to = root / "data" / "Orphans";
  Make("data/Orphans/old.fos.csv");  // a file of an earlier sweep: kept
  std::vector<fs::path> orphans;
  std::string error;
  ASSERT_TRUE(FindOrphans({root / "saves"}, root / "data", to, orphans, error));
  ASSERT_EQ(orphans.size(), 4u);  // what lies below the target is left out
  std::ostringstream out, err;
  EXPECT_EQ(MoveOrphans(root / "data", orphans, to, out, err), 1);
  EXPECT_NE(err.str().find("exists already"), std::string::npos);
  EXPECT_TRUE(fs::exists(to / "Sub" / "y.fos.csv"));
  EXPECT_TRUE(fs::exists(to / "Save 3.fos.csv"));
  EXPECT_FALSE(fs::exists(root / "data" / "Save 3.fos.csv"));
  // The one not moved stays where it was, and so does the earlier one.
  std::ifstream kept(root / "data" / "old.fos.csv");
  EXPECT_TRUE(kept.good());
  std::string text;
  std::getline(std::ifstream(to / "old.fos.csv"), text);
  EXPECT_EQ(text, "data/Orphans/old.fos.csv");
  EXPECT_EQ(Orphans(to), (std::vector<std::string>{"old.fos.csv"}));
}

}  // namespace
}  // namespace cv::savedata
