// The miniature game image's three sections and the executables it can
// model (Windows build only, see game_image_win32.cpp). Players run several
// FalloutNV.exe 1.4.0.525 builds whose section flags are not known
// (game-facts §8.3): the Steam one with an extra section whose code is
// decrypted in place, a patched Epic one, 4GB-patched copies. The image's
// header says what the chosen one's says, and its pages are protected so.
#pragma once

#include <cstdint>
#include <string>

namespace cv::sim::image {

using SectionAddr = std::uint32_t;

// The program's sections in the game's range (as in game_image_space.cpp):
// code, read-only data (vtables and RTTI records), writable data (type
// descriptors and the game's globals).
inline constexpr SectionAddr kTextStart = 0x00401000, kTextEnd = 0x01000000;
inline constexpr SectionAddr kRdataStart = 0x01000000, kRdataEnd = 0x01180000;
inline constexpr SectionAddr kDataStart = 0x01180000, kDataEnd = 0x01300000;
// The extra section an executable may carry before its code: the first page
// of the code range, which then starts after it.
inline constexpr SectionAddr kExtraEnd = 0x00402000;

// The environment variable that picks the executable the image models, for
// the tests that run every scenario on each:
//   (unset or empty)  code read and executed, read-only data, writable data
//   rdata-writable    read-only data flagged (and mapped) writable
//   text-writable     code flagged (and mapped) writable as well
//   extra-section     an extra executable, writable section ".bind" before
//                     the code section, holding the code range's first page
//   code-in-data      as extra-section, but ".bind" is flagged readable and
//                     writable data, not code, and it holds the game heap's
//                     functions and the processes' running-package functions:
//                     code pointers into a readable section that is not code,
//                     which the plug-in must never call (its pages stay
//                     executable, so that a call shows as one, not a crash)
//   broken-CLASS      as the first, with the type descriptor of CLASS (such
//                     as BGSListForm) naming another class
inline constexpr const char* kVariantVariable = "CORVANE_GAME_IMAGE";

struct Variant {
  bool rdataWritable = false;
  bool textWritable = false;
  bool extraSection = false;
  bool codeInData = false;  // with extraSection: ".bind" is data, not code
  std::string brokenClass;  // the class name, without decoration
};

// The variant the environment asks for; false (with why) for an unknown one.
bool ChosenVariant(Variant& variant, std::string& why);

// Once the image is written: gives its sections the header flags and page
// protections of the variant. False (with why) when that fails.
bool ApplySections(const Variant& variant, std::string& why);

}  // namespace cv::sim::image
