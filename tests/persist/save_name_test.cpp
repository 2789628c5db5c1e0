// The save-name rule: which names stay below the save folder, device names
// where the file system reserves them, and double-byte code pages.
#include "persist/save_name.h"

#include <gtest/gtest.h>

#include "platform/platform.h"

namespace cv::persist {
namespace {

TEST(SaveNames, StayBelowTheSaveFolder) {
  for (const char* ok : {"Save 12", "Quicksave", "Sub\\Name", "Sub/Name", "a..b", "x.y\\..z", ".",
                         "", "name.", "\xE9t\xE9"})
    EXPECT_TRUE(IsSafeSaveName(ok)) << ok;
  for (const char* bad : {"..", "..\\x", "a\\..\\b", "a/../b", "x\\..", "...", ".. ", "a\\ ..\\b",
                          "\\abs", "/abs", "\\\\server\\share\\x", "C:\\x", "C:x", "a:b"})
    EXPECT_FALSE(IsSafeSaveName(bad)) << bad;
}

// Where the file system reserves device names, a save name with a device
// name in any component is refused: opening "AUX.csv" opens the device.
// The superscript digits ¹ ² ³ are the bytes B9, B2 and B3 in code page 1252.
TEST(SaveNames, DeviceNamesAreRefusedWhereTheyAreReserved) {
  const SaveNameRules windows{true, nullptr};
  for (const char* device : {"AUX",
                             "aux",
                             "Con",
                             "PRN",
                             "nul",
                             "COM1",
                             "com9",
                             "LPT1",
                             "lpt9",
                             "aux.txt",
                             "NUL.",
                             "con .x",
                             "COM1 ",
                             "Sub\\AUX",
                             "aux\\Save",
                             "Sub/lpt3.old/x",
                             "prn...",
                             "CONIN$",
                             "conin$.fos",
                             "CONOUT$",
                             "Conout$.txt",
                             "conout$ .",
                             "COM\xB9",
                             "com\xB2.fos",
                             "LPT\xB3",
                             "lpt\xB9.x",
                             "Sub\\COM\xB3\\x"}) {
    EXPECT_FALSE(IsSafeSaveName(device, windows)) << device;
    EXPECT_TRUE(IsSafeSaveName(device)) << device << " is an ordinary name elsewhere";
  }
  EXPECT_TRUE(IsDeviceName(u"lpt3.old"));
  EXPECT_TRUE(IsDeviceName(u"COM\u00B2"));
  EXPECT_FALSE(IsDeviceName(u"lpt3x.old"));
  EXPECT_FALSE(IsDeviceName(u"COM\u2074")) << "superscript four is no port";
  for (const char* name :
       {"AUX1", "COM0", "COM10", "LPT", "CONSOLE", "auxiliary", "x.aux", "Save AUX", "NULL",
        "a\\prnx", "CONIN", "CONIN$$", "CONOUT", "COM\xB9\xB9", "COM\xBC", "LPT\xB4", "COM\xB2x"})
    EXPECT_TRUE(IsSafeSaveName(name, windows)) << name;
  // Compared after conversion to UTF-16, in the system's code page.
  platform::testing::OverrideCodePage(1252);
  const SaveNameRules system{true, nullptr, &platform::Utf16Text};
  EXPECT_FALSE(IsSafeSaveName("COM\xB9.fos", system));
  EXPECT_FALSE(IsSafeSaveName("lpt\xB3", system));
  platform::testing::OverrideCodePage(0);
}

// In a double-byte code page the second byte of a character may be 0x5C,
// a backslash's byte: Shift-JIS writes "\x83\x5C" for one letter and
// "\x95\x5C" for another. Read a character at a time, neither is a
// separator; read a byte at a time, both are.
TEST(SaveNames, SecondBytesOfDoubleByteCharactersAreNoSeparators) {
  platform::testing::OverrideCodePage(932);
  const SaveNameRules sjis{false, &platform::NextChar};
  EXPECT_TRUE(IsSafeSaveName("\x95\x5C..", sjis));  // one letter and two dots
  EXPECT_FALSE(IsSafeSaveName("\x95\x5C..", SaveNameRules{}));
  EXPECT_TRUE(IsSafeSaveName("Save \x83\x5C\x83\x93", sjis));
  EXPECT_FALSE(IsSafeSaveName("\x95\x5C\\..", sjis)) << "a real backslash after the letter";
  EXPECT_FALSE(IsSafeSaveName("\x83\x5C:x", sjis));
  EXPECT_EQ(platform::NextChar("\x95\x5C..", 0), 2u);
  EXPECT_EQ(platform::NextChar("\x95\x5C..", 2), 3u);
  EXPECT_EQ(platform::NextChar("\x95", 0), 1u) << "a lead byte at the end";
  platform::testing::OverrideCodePage(0);
}

}  // namespace
}  // namespace cv::persist
