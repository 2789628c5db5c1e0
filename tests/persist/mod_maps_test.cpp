// The mod maps, and save and load across load orders: ids follow their mod
// by name, values of a mod that is gone or cannot be named are lost, never
// moved onto another mod's forms.
#include "persist/mod_maps.h"

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
  // Names compare with their letter case.
  maps.SetSavedName(6, "mymod.esp");
  EXPECT_EQ(maps.Remap(0x06000001u), std::nullopt);

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

class LoadOrderTest : public PersistTest {};

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
