// The mod maps, and save and load across load orders: ids follow their mod
// by name, values of a mod that is gone or cannot be named are lost, never
// moved onto another mod's forms.
#include "persist/mod_maps.h"

#include <optional>
#include <utility>
#include <vector>

#include "persist/savedata.h"
#include "persist_fixture.h"
#include "short_output.h"

namespace cv::persist::testing {
namespace {

TEST(ModMapsTest, SeedsDynamicAndRemapsByName) {
  ModMaps maps;
  EXPECT_EQ(maps.savedModNames().at(255), "dynamic");
  EXPECT_EQ(maps.loadedModIndices().at("dynamic"), 255u);
  EXPECT_EQ(maps.Remap(0xFF000801u), 0xFF000801u);

  maps.SetSavedName(1, "MyMod.esp");
  EXPECT_EQ(maps.Remap(0x0100ABCDu), std::nullopt);  // not loaded yet
  maps.SetLoaded("MyMod.esp", 200);
  EXPECT_EQ(maps.Remap(0x0100ABCDu), 0xC800ABCDu);
  maps.SetSavedName(200, "Other.esp");
  maps.SetLoaded("Other.esp", 1);
  EXPECT_EQ(maps.Remap(0xC8000001u), 0x01000001u);
  maps.SetLoaded("MyMod.esp", 2);  // a later answer replaces an earlier one
  EXPECT_EQ(maps.Remap(0x0100ABCDu), 0x0200ABCDu);

  // An index without an "IX" row is added with an empty name and is missing.
  EXPECT_EQ(maps.Remap(0x05000001u), std::nullopt);
  EXPECT_EQ(maps.savedModNames().at(5), "");

  // A mod whose name the game could not give, and the name a save writes
  // for it, are never entered as loaded: nothing saved maps to such a mod.
  struct NameCase {
    std::uint32_t index;
    const char* gameName;
    const char* saved;  // what a save writes in the mod's "IX" row
  };
  const NameCase names[] = {
      {7, "", "<unreadable mod 7>"},     {8, "<unreadable mod 7>", "<unreadable mod 8>"},
      {254, "", "<unreadable mod 254>"}, {9, "Plain.esp", "Plain.esp"},
      {10, "a<b.esp", "a<b.esp"},
  };
  for (const NameCase& c : names) {
    SCOPED_TRACE(c.index);
    EXPECT_EQ(ModNameForSave(c.index, c.gameName), c.saved);
    const bool matchable = std::string_view(c.gameName) == c.saved;
    EXPECT_EQ(IsMatchableModName(c.gameName), matchable);
    maps.SetLoaded(c.gameName, c.index);
    maps.SetLoaded(c.saved, c.index);
    EXPECT_EQ(maps.loadedModIndices().count(c.gameName), matchable ? 1u : 0u);
    EXPECT_EQ(maps.loadedModIndices().count(c.saved), matchable ? 1u : 0u);
    maps.SetSavedName(c.index, c.saved);
    EXPECT_EQ(maps.Remap((c.index << 24) | 1u).has_value(), matchable);
  }
  EXPECT_EQ(maps.Remap(0x05000001u), std::nullopt) << "no \"IX\" row: the empty name";

  maps.Reset();
  EXPECT_EQ(maps.savedModNames().size(), 1u);
  EXPECT_EQ(maps.loadedModIndices().size(), 1u);
  EXPECT_EQ(maps.Remap(0x0100ABCDu), std::nullopt);
}

// Saved names match loaded ones whatever the letter case of A to Z, as the
// game and Windows match plug-in file names; a name spelled exactly as saved
// wins, and nothing matches a name no load may match.
TEST(ModMapsTest, NamesMatchWithoutRegardToLetterCaseExactFirst) {
  struct Case {
    const char* what;
    std::vector<std::pair<std::string, std::uint32_t>> loaded;
    std::string saved;
    std::optional<std::uint32_t> now;  // the mod index it maps to
  };
  const Case cases[] = {
      {"another case", {{"MyMod.esp", 2}}, "mymod.esp", 2},
      {"every letter", {{"MYMOD.ESP", 3}}, "mymod.esp", 3},
      {"the exact name wins over a lower index",
       {{"MyMod.esp", 2}, {"mymod.esp", 5}},
       "mymod.esp",
       5},
      {"the exact name wins over a higher index",
       {{"MyMod.esp", 2}, {"mymod.esp", 5}},
       "MyMod.esp",
       2},
      {"without an exact name, the lowest index",
       {{"MYMOD.esp", 9}, {"MyMod.ESP", 4}},
       "mymod.esp",
       4},
      {"letters beyond ASCII are not folded",
       {{"\xC9t\xE9.esp", 4}},
       "\xE9t\xC9.esp",
       std::nullopt},
      {"one letter more", {{"MyMod.esp", 2}}, "MyMod.esp2", std::nullopt},
      {"no mod-index row", {{"MyMod.esp", 2}}, "", std::nullopt},
      {"a stand-in for an unreadable name", {{"Plain.esp", 2}}, "<UNREADABLE MOD 2>", std::nullopt},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    ModMaps maps;
    for (const auto& [name, index] : c.loaded) maps.SetLoaded(name, index);
    maps.SetSavedName(1, c.saved);
    const auto mapped = maps.Remap(0x0100ABCDu);
    const std::optional<std::uint32_t> want =
        c.now ? std::optional<std::uint32_t>((*c.now << 24) | 0xABCDu) : std::nullopt;
    EXPECT_EQ(mapped, want);
  }
}

class LoadOrderTest : public PersistTest {};

// A mod author renamed mymod.esp to MyMod.esp: every value and form of the
// mod follows it, and the load says so once. A load order that holds both
// spellings (never so on Windows) takes the exact one.
TEST_F(LoadOrderTest, AModRenamedInLetterCaseKeepsItsValues) {
  Mods() = {"FalloutNV.esm", "mymod.esp"};
  EvStore& s = TheStore();
  s.Entry<EvKind::Float>(0x01000001, "hp") = 5.0f;
  s.Entry<EvKind::String>(0x01000001, "name") = "Sunny";
  s.Entry<EvKind::Form>(0x01000001, "target") = 0x00000007;
  s.Entry<EvKind::Form>(0x00000014, "ally") = 0x01000005;
  s.Entry<EvKind::Form>(0xFF000801, "made") = 0x01000006;
  save("renamed");
  const std::string line =
      "Mod mymod.esp of the save matched the loaded MyMod.esp: their names differ in letter case "
      "only";
  // Each load logs the match once, however many rows use it.
  for (int load = 0; load < 2; ++load) {
    SCOPED_TRACE(load);
    Mods() = {"FalloutNV.esm", "Other.esp", "MyMod.esp"};
    ClearLog();
    loadsettings("renamed");
    EXPECT_EQ(Found(s.Find<EvKind::Float>(0x02000001, "hp")), 5.0f);
    EXPECT_EQ(Found(s.Find<EvKind::String>(0x02000001, "name")), "Sunny");
    EXPECT_EQ(Found(s.Find<EvKind::Form>(0x02000001, "target")), 0x00000007u);
    EXPECT_EQ(Found(s.Find<EvKind::Form>(0x00000014, "ally")), 0x02000005u);
    EXPECT_EQ(Found(s.Find<EvKind::Form>(0xFF000801, "made")), 0x02000006u);
    EXPECT_EQ(s.EntryCount(EvKind::Form), 3u);
    EXPECT_EQ(LogCount(line), 1) << Log();
    EXPECT_EQ(Log().find("Lost"), std::string::npos) << Log();
  }
  // Mod-index rows between the values make the maps work the match out
  // again: still one line.
  WriteBytes(SaveFile("hand"),
             "IX, 1, \"mymod.esp\",\r\nFL, 16777217, \"a\", 1\r\n"
             "IX, 0, \"FalloutNV.esm\",\r\nFL, 16777218, \"b\", 2\r\n");
  ClearLog();
  loadsettings("hand");
  EXPECT_EQ(s.EntryCount(EvKind::Float), 2u) << Log();
  EXPECT_EQ(LogCount(line), 1) << Log();

  Mods() = {"FalloutNV.esm", "MyMod.esp", "mymod.esp"};
  ClearLog();
  loadsettings("renamed");
  EXPECT_EQ(Found(s.Find<EvKind::Float>(0x02000001, "hp")), 5.0f);
  EXPECT_EQ(Found(s.Find<EvKind::Form>(0x00000014, "ally")), 0x02000005u);
  EXPECT_EQ(s.EntryCount(EvKind::Float), 1u);
  EXPECT_EQ(Log().find("letter case"), std::string::npos) << Log();
}

// Which row's value a load keeps, and under which mod name. Each file is
// loaded under FalloutNV.esm, MyMod.esp, Other.esp, A.esp.
TEST_F(LoadOrderTest, TheLaterRowWinsWhereverItsModIndexRowStands) {
  const std::string ix = "IX, 0, \"FalloutNV.esm\",\r\nIX, 1, \"MyMod.esp\",\r\n";
  struct Want {
    EvOwnerId owner;
    const char* key;
    bool form;
    double value;
  };
  struct Case {
    const char* what;
    std::string file;
    std::vector<Want> entries;  // every entry the store holds after the load
  };
  const Case cases[] = {
      {"a row before the mod-index rows gives way to a later one",
       "FL, 16777217, \"hp\", 1\r\n" + ix + "FL, 16777217, \"hp\", 2\r\n",
       {{0x01000001, "hp", false, 2}}},
      {"of two rows before them, the later wins",
       "FL, 16777217, \"hp\", 1\r\nFL, 16777217, \"hp\", 2\r\n" + ix,
       {{0x01000001, "hp", false, 2}}},
      {"a row before them still wins over an earlier one",
       "FL, 1, \"hp\", 1\r\nFL, 16777217, \"hp\", 3\r\n" + ix + "FL, 1, \"hp\", 2\r\n",
       {{0x01000001, "hp", false, 3}, {0x00000001, "hp", false, 2}}},
      {"a form row waiting for its value's mod wins over an earlier row",
       ix + "FO, 16777217, \"t\", 5\r\nFO, 16777217, \"t\", 33554437\r\n"
            "IX, 2, \"Other.esp\",\r\n",
       {{0x01000001, "t", true, 0x02000005}}},
      {"a form row waiting for its value's mod gives way to a later row",
       ix + "FO, 16777217, \"t\", 33554437\r\nFO, 16777217, \"t\", 5\r\n"
            "IX, 2, \"Other.esp\",\r\n",
       {{0x01000001, "t", true, 5}}},
      {"rows sorted by their first column: a form value's mod named later",
       "FL, 16777217, \"hp\", 1\r\nFO, 4278192129, \"ally\", 16777221\r\n" + ix +
           "ST, 16777217, \"name\", \"x\"\r\n",
       {{0x01000001, "hp", false, 1}, {0xFF000801, "ally", true, 0x01000005}}},
      {"a mod index named twice: the rows after the second name take it",
       ix + "IX, 2, \"A.esp\",\r\nFL, 33554433, \"a\", 1\r\nFO, 1, \"f\", 33554434\r\n"
            "IX, 2, \"Other.esp\",\r\nFL, 33554433, \"b\", 2\r\nFO, 1, \"g\", 33554435\r\n",
       {{0x03000001, "a", false, 1},
        {0x00000001, "f", true, 0x03000002},
        {0x02000001, "b", false, 2},
        {0x00000001, "g", true, 0x02000003}}},
      {"a mod index named twice: the later name for a mod gone",
       ix + "IX, 2, \"A.esp\",\r\nFL, 33554433, \"a\", 1\r\n"
            "IX, 2, \"Gone.esp\",\r\nFL, 33554433, \"b\", 2\r\n",
       {{0x03000001, "a", false, 1}}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    Mods() = {"FalloutNV.esm", "MyMod.esp", "Other.esp", "A.esp"};
    WriteBytes(SaveFile("rows"), c.file);
    ClearLog();
    loadsettings("rows");
    std::size_t forms = 0;
    for (const Want& w : c.entries) {
      SCOPED_TRACE(w.key);
      if (w.form) {
        ++forms;
        EXPECT_EQ(Found(TheStore().Find<EvKind::Form>(w.owner, w.key)),
                  static_cast<std::uint32_t>(w.value));
      } else {
        EXPECT_EQ(Found(TheStore().Find<EvKind::Float>(w.owner, w.key)),
                  static_cast<float>(w.value));
      }
    }
    EXPECT_EQ(TheStore().EntryCount(EvKind::Form), forms) << Log();
    EXPECT_EQ(TheStore().EntryCount(EvKind::Float), c.entries.size() - forms) << Log();
  }
}

TEST_F(LoadOrderTest, FormRowsNeedBothModsAndNameEachMissingOne) {
  Mods() = {"FalloutNV.esm", "MyMod.esp"};
  WriteBytes(SaveFile("hand"),
             // Rows before the "IX" rows of their mods, as a spreadsheet
             // sorting the rows puts them ("FL" < "FO" < "IX"), are kept.
             "FL, 16777217, \"early\", 1.5E3\r\n"         // 01000001, upper-case exponent
             "FO, 16777218, \"earlyform\", 3\r\n"         // 01000002 -> 00000003
             "FO, 33554433, \"earlygone\", 16777219\r\n"  // owner 02000001: Gone.esp
             "IX, 0, \"FalloutNV.esm\",\r\nIX, 1, \"MyMod.esp\",\r\nIX, 2, \"Gone.esp\",\r\n"
             "IX, 3, \"Away.esp\",\r\n"
             "FO, 1, \"valuegone\", 33554442\r\n"        // owner 00000001, value 0200000A
             "FO, 50331649, \"bothgone\", 33554443\r\n"  // owner 03000001, value 0200000B
             "FO, 16777217, \"kept\", 16777218\r\n"      // 01000001 -> 01000002
             "FL, 83886081, \"noix\", 1\r\n"             // index 5 has no IX row
             "ST, 4, \"late\", \"after\"\r\n");
  ClearLog();
  loadsettings("hand");
  const std::string log = Log();
  EXPECT_NE(log.find("\tLost EVFO 'valuegone': its mod is missing\r\n"
                     "\t\tCannot map mod Gone.esp\r\n\tLost EVFO 'bothgone'"),
            std::string::npos);
  EXPECT_NE(log.find("\tLost EVFO 'bothgone': its mod is missing\r\n"
                     "\t\tCannot map mod Away.esp\r\n\t\tCannot map mod Gone.esp\r\n"),
            std::string::npos);
  EXPECT_NE(log.find("\tLost EVFL 'noix': its mod is missing\r\n\t\tCannot map mod \r\n"),
            std::string::npos);
  EXPECT_NE(log.find("\tLost EVFO 'earlygone': its mod is missing\r\n"
                     "\t\tCannot map mod Gone.esp\r\n"),
            std::string::npos);
  EXPECT_EQ(Found(TheStore().Find<EvKind::Form>(0x01000001, "kept")), 0x01000002u);
  EXPECT_EQ(Found(TheStore().Find<EvKind::Form>(0x01000002, "earlyform")), 0x00000003u);
  EXPECT_EQ(Found(TheStore().Find<EvKind::Float>(0x01000001, "early")), 1500.0f);
  EXPECT_EQ(Found(TheStore().Find<EvKind::String>(0x00000004, "late")), "after");
  EXPECT_EQ(TheStore().EntryCount(EvKind::Form), 2u);
  EXPECT_EQ(TheStore().EntryCount(EvKind::Float), 1u);
  EXPECT_EQ(TheModMaps().savedModNames().at(5), "");
}

// The game may give no name for a mod (its record cannot be read). Such a
// mod is written under a name of its own that no mod file can have, so two
// of them never share "" and a load never moves one's values onto another's
// forms; each is logged once at the save.
TEST_F(LoadOrderTest, ModsWhoseNameCannotBeReadAreNeverMatched) {
  Mods() = {"FalloutNV.esm", kUnreadableMod, "MyMod.esp", kUnreadableMod};
  TheStore().Entry<EvKind::Float>(0x01000001, "one") = 1.0f;
  TheStore().Entry<EvKind::Float>(0x03000001, "three") = 3.0f;
  TheStore().Entry<EvKind::Float>(0x02000001, "mine") = 2.0f;
  TheStore().Entry<EvKind::Form>(0x00000014, "points") = 0x03000005;
  ClearLog();
  save("unreadable");
  const std::string file = ReadBytes(SaveFile("unreadable"));
  EXPECT_EQ(file.rfind("IX, 0, \"FalloutNV.esm\",\r\nIX, 1, \"<unreadable mod 1>\",\r\n"
                       "IX, 2, \"MyMod.esp\",\r\nIX, 3, \"<unreadable mod 3>\",\r\n",
                       0),
            0u)
      << cv::testing::Shortened(file);
  for (int index : {1, 3}) {
    const std::string i = std::to_string(index);
    EXPECT_EQ(LogCount("Cannot read the name of mod " + i +
                       ": its values are saved under "
                       "<unreadable mod " +
                       i + ">, which no load matches"),
              1)
        << cv::testing::Shortened(Log());
  }

  // Loaded under the same load order, and under one where the unreadable
  // mods moved: their values are lost, never moved onto the other's forms;
  // the readable mod's value follows it.
  const std::vector<std::vector<std::string>> loadOrders = {
      {"FalloutNV.esm", kUnreadableMod, "MyMod.esp", kUnreadableMod},
      {"FalloutNV.esm", "MyMod.esp", kUnreadableMod, kUnreadableMod}};
  for (const auto& order : loadOrders) {
    SCOPED_TRACE(order[1]);
    Mods() = order;
    ClearLog();
    loadsettings("unreadable");
    const EvOwnerId mine = order[1] == "MyMod.esp" ? 0x01000001 : 0x02000001;
    EXPECT_EQ(Found(TheStore().Find<EvKind::Float>(mine, "mine")), 2.0f);
    EXPECT_EQ(TheStore().EntryCount(EvKind::Float), 1u) << cv::testing::Shortened(Log());
    EXPECT_EQ(TheStore().EntryCount(EvKind::Form), 0u) << cv::testing::Shortened(Log());
    EXPECT_EQ(LogCount("Cannot map mod <unreadable mod 1>"), 1) << cv::testing::Shortened(Log());
    EXPECT_EQ(LogCount("Cannot map mod <unreadable mod 3>"), 2) << cv::testing::Shortened(Log());
  }

  // Files that wrote such a mod as "" (or gave its index no "IX" row) do
  // not match a mod whose name cannot be read now.
  Mods() = {"FalloutNV.esm", kUnreadableMod};
  WriteBytes(SaveFile("old"),
             "IX, 0, \"FalloutNV.esm\",\r\nIX, 1, \"\",\r\n"
             "FL, 16777217, \"blank\", 1\r\nFL, 33554433, \"noix\", 2\r\n");
  loadsettings("old");
  EXPECT_EQ(TheStore().EntryCount(EvKind::Float), 0u) << cv::testing::Shortened(Log());
  EXPECT_EQ(TheModMaps().loadedModIndices().count(""), 0u);
}

TEST_F(LoadOrderTest, HighModIndicesAndLongModNamesMap) {
  std::vector<std::string> mods;
  for (int i = 0; i < 201; ++i) mods.push_back("Mod" + std::to_string(i) + ".esp");
  mods[150] = std::string(700, 'L') + ".esp";  // longer than any fixed buffer
  Mods() = mods;
  TheStore().Entry<EvKind::Float>(0xC8000001, "high") = 2.0f;
  TheStore().Entry<EvKind::Float>(0x96000001, "long") = 3.0f;
  save("high");
  std::swap(mods[200], mods[3]);
  std::swap(mods[150], mods[7]);
  Mods() = mods;
  loadsettings("high");
  EXPECT_EQ(Found(TheStore().Find<EvKind::Float>(0x03000001, "high")), 2.0f);
  EXPECT_EQ(Found(TheStore().Find<EvKind::Float>(0x07000001, "long")), 3.0f);
  EXPECT_EQ(TheStore().EntryCount(EvKind::Float), 2u);
}

}  // namespace
}  // namespace cv::persist::testing
