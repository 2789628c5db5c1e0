// The sv_ family, NumToHex, NumToHex_OLD, IntToBin and ToNumber
// (script-language.md §6.3, §13), one row per fact.
#include "builtins_table.h"

namespace cv::sim::script::testing {
namespace {

class StringBuiltins : public ::testing::TestWithParam<Case> {
 protected:
  FakeServices s;
};

TEST_P(StringBuiltins, GiveWhatTheHostGives) { RunCase(s, GetParam()); }

const Case kStringCases[] = {
    // sv_Length: the length; -1 when the variable holds no string.
    {"13 sv_Length", "sv_Length", {"\"hello\""}, "5"},
    {"13 sv_Length none", "sv_Length", {"nostring"}, "-1"},
    // sv_Find: case-insensitive by default; the position in the whole
    // string even with a start; -1 when missing or start past the end; an
    // empty needle is found at start.
    {"13 sv_Find", "sv_Find", {"\"LO\"", "\"hello world\""}, "3"},
    {"13 sv_Find case", "sv_Find", {"\"LO\"", "\"hello world\"", "0", "11", "1"}, "-1"},
    {"13 sv_Find start", "sv_Find", {"\"o\"", "\"hello world\"", "5"}, "7"},
    {"13 sv_Find count", "sv_Find", {"\"world\"", "\"hello world\"", "0", "8"}, "-1"},
    {"13 sv_Find missing", "sv_Find", {"\"z\"", "\"hello\""}, "-1"},
    {"13 sv_Find past end", "sv_Find", {"\"h\"", "\"hello\"", "5"}, "-1"},
    {"13 sv_Find empty", "sv_Find", {"\"\"", "\"hello\"", "2"}, "2"},
    {"13 sv_Find none", "sv_Find", {"\"h\"", "nostring"}, "-1"},
    // sv_Count: non-overlapping; 0 for an empty needle; -1 without a string.
    {"13 sv_Count", "sv_Count", {"\"aa\"", "\"aAaaa\""}, "2"},
    {"13 sv_Count empty", "sv_Count", {"\"\"", "\"abc\""}, "0"},
    {"13 sv_Count none", "sv_Count", {"\"a\"", "nostring"}, "-1"},
    // sv_Replace: find|with, all by default, howMany, no | -> -1.
    {"13 sv_Replace", "sv_Replace", {"\"o|0\"", "\"foo boo\""}, "4", 1, "\"f00 b00\""},
    {"13 sv_Replace case", "sv_Replace", {"\"O|0\"", "\"foO\"", "0", "3", "1"}, "1", 1, "\"fo0\""},
    {"13 sv_Replace howMany",
     "sv_Replace",
     {"\"o|xo\"", "\"ooo\"", "0", "3", "0", "2"},
     "2",
     1,
     "\"xoxoo\""},
    {"13 sv_Replace range", "sv_Replace", {"\"a|b\"", "\"aaaa\"", "1", "2"}, "2", 1, "\"abba\""},
    {"13 sv_Replace no bar", "sv_Replace", {"\"ab\"", "\"abc\""}, "-1", 1, "\"abc\""},
    {"13 sv_Replace past end", "sv_Replace", {"\"a|b\"", "\"aa\"", "2"}, "0"},
    // sv_SubString: clamped; start past the end -> "".
    {"13 sv_SubString", "sv_SubString", {"\"abcdef\"", "2", "3"}, "\"cde\""},
    {"13 sv_SubString rest", "sv_SubString", {"\"abcdef\"", "4"}, "\"ef\""},
    {"13 sv_SubString clamp", "sv_SubString", {"\"abc\"", "1", "99"}, "\"bc\""},
    {"13 sv_SubString past", "sv_SubString", {"\"abc\"", "3"}, "\"\""},
    // sv_Erase, sv_Insert: in place, return 0.
    {"13 sv_Erase", "sv_Erase", {"\"abcdef\"", "1", "2"}, "0", 0, "\"adef\""},
    {"13 sv_Erase rest", "sv_Erase", {"\"abcdef\"", "3"}, "0", 0, "\"abc\""},
    {"13 sv_Erase past", "sv_Erase", {"\"abc\"", "5"}, "0", 0, "\"abc\""},
    {"13 sv_Insert", "sv_Insert", {"\"XY\"", "\"abc\"", "1"}, "0", 1, "\"aXYbc\""},
    {"13 sv_Insert append", "sv_Insert", {"\"!\"", "\"abc\"", "3"}, "0", 1, "\"abc!\""},
    {"13 sv_Insert past", "sv_Insert", {"\"!\"", "\"abc\"", "4"}, "0", 1, "\"abc\""},
    {"13 sv_Insert format", "sv_Insert", {"\"%g-\"", "7", "\"abc\""}, "0", 2, "\"7-abc\""},
    // sv_ToNumeric: strtod from start, junk ignored.
    {"13 sv_ToNumeric", "sv_ToNumeric", {"\"  12.5kg\""}, "12.5"},
    {"13 sv_ToNumeric start", "sv_ToNumeric", {"\"hp=42\"", "3"}, "42"},
    {"13 sv_ToNumeric none", "sv_ToNumeric", {"\"abc\""}, "0"},
    // sv_GetChar: the code; -1 out of range.
    {"13 sv_GetChar", "sv_GetChar", {"\"AB\"", "1"}, "66"},
    {"13 sv_GetChar out", "sv_GetChar", {"\"AB\"", "2"}, "-1"},
    // sv_Split: each character splits, empty pieces dropped; the flag makes
    // one whole delimiter and keeps them.
    {"13 sv_Split", "sv_Split", {"\"a, b,,c\"", "\", \""}, "[\"a\", \"b\", \"c\"]"},
    {"13 sv_Split single",
     "sv_Split",
     {"\"a::b::::c\"", "\"::\"", "1"},
     "[\"a\", \"b\", \"\", \"c\"]"},
    // sv_Trim: both ends, in place; 1.
    {"13 sv_Trim", "sv_Trim", {"\" \t hi there \n\""}, "1", 0, "\"hi there\""},
    {"13 sv_Trim none", "sv_Trim", {"nostring"}, "0"},
    {"13 sv_ToUpper", "sv_ToUpper", {"\"MiXed 1\""}, "\"MIXED 1\""},
    {"13 sv_ToLower", "sv_ToLower", {"\"MiXed 1\""}, "\"mixed 1\""},
    // sv_Compare: fmt against sv, -1/0/1 ignoring case; -2 without a string.
    {"13 sv_Compare fmt first", "sv_Compare", {"\"b\"", "\"a\""}, "1"},
    {"13 sv_Compare case", "sv_Compare", {"\"ABC\"", "\"abc\""}, "0"},
    {"13 sv_Compare sensitive", "sv_Compare", {"\"ABC\"", "\"abc\"", "1"}, "-1"},
    {"13 sv_Compare none", "sv_Compare", {"\"a\"", "nostring"}, "-2"},
    {"13 sv_Set", "sv_Set", {"\"n=%g\"", "3", "\"old\""}, "0", 2, "\"n=3\""},
    {"13 sv_Percentify", "sv_Percentify", {"\"50% off %\""}, "\"50%% off %%\""},
    {"6.3 sv_Construct", "sv_Construct", {"\"%g of %z\"", "2", "\"ten\""}, "\"2 of ten\""},
    // NumToHex: upper case, padded to min(width, 8), never cut, 0x prefix.
    {"13 NumToHex", "NumToHex", {"42"}, "\"0000002A\""},
    {"13 NumToHex width", "NumToHex", {"42", "1"}, "\"2A\""},
    {"13 NumToHex prefix", "NumToHex", {"42", "3", "1"}, "\"0x02A\""},
    {"13 NumToHex wide", "NumToHex", {"255", "12"}, "\"000000FF\""},
    {"13 IntToHex", "IntToHex", {"-1"}, "\"FFFFFFFF\""},
    {"13 NumToHex_OLD", "NumToHex_OLD", {"255", "4"}, "\"00FF\""},
    // IntToBin: padded to min(width, 32), 0b prefix.
    {"13 IntToBin", "IntToBin", {"42", "10", "1"}, "\"0b0000101010\""},
    {"13 IntToBin default", "IntToBin", {"5"}, "\"00000000000000000000000000000101\""},
    {"13 IntToBin narrow", "IntToBin", {"42", "2"}, "\"101010\""},
    // ToNumber: the # rule, hex with the flag.
    {"13 ToNumber", "ToNumber", {"\" 3.5abc\""}, "3.5"},
    {"10.4 ToNumber 0x", "ToNumber", {"\"0x1F\""}, "31"},
    {"10.4 ToNumber 0b", "ToNumber", {"\"0b101\""}, "5"},
    {"13 ToNumber hex", "ToNumber", {"\"ff\"", "1"}, "255"},
    {"13 ToNumber junk", "ToNumber", {"\"abc\""}, "0"},
};

INSTANTIATE_TEST_SUITE_P(Facts, StringBuiltins, ::testing::ValuesIn(kStringCases));

// sv_Destruct frees every string it is given (§6.2).
TEST(StringBuiltinsOnce, DestructFreesEachString) {
  FakeServices s;
  Value a = s.Str("a"), b = s.Str("b"), kept = s.Str("c"), result;
  ASSERT_TRUE(s.Call("sv_Destruct", {a, b}, result));
  EXPECT_FALSE(s.strings().Exists(a.string()));
  EXPECT_FALSE(s.strings().Exists(b.string()));
  EXPECT_TRUE(s.strings().Exists(kept.string()));
}

// ToNumber with bReportError: text without a number is the host's error.
TEST(StringBuiltinsOnce, ToNumberReportsWhenAsked) {
  FakeServices s;
  Value result;
  EXPECT_FALSE(s.Call("ToNumber", {s.Str("abc"), Value::Number(0), Value::Number(1)}, result));
  EXPECT_EQ(s.lastError, "Error converting string to number.");
  EXPECT_TRUE(s.Call("ToNumber", {s.Str("12"), Value::Number(0), Value::Number(1)}, result));
  EXPECT_EQ(result.number(), 12);
}

}  // namespace
}  // namespace cv::sim::script::testing
