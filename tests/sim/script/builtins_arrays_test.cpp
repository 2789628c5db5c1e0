// The ar_ family (script-language.md §12), one row per fact.
#include "builtins_table.h"

namespace cv::sim::script::testing {
namespace {

class ArrayBuiltins : public ::testing::TestWithParam<Case> {
 protected:
  FakeServices s;
};

TEST_P(ArrayBuiltins, GiveWhatTheHostGives) { RunCase(s, GetParam()); }

const Case kArrayCases[] = {
    // Constructors (§12.2).
    {"12.2 ar_List", "ar_List", {"1", "\"a\"", "#14"}, "[1, \"a\", form 14]"},
    {"12.2 ar_List empty", "ar_List", {}, "[]"},
    {"12.2 ar_Map numeric", "ar_Map", {"{2 \"b\"}", "{1 \"a\"}"}, "map[1: \"a\", 2: \"b\"]"},
    {"12.2 ar_Map string", "ar_Map", {"{\"B\" 2}", "{\"a\" 1}"}, "smap[a: 1, B: 2]"},
    {"12.2 ar_Map later wins", "ar_Map", {"{\"k\" 1}", "{\"K\" 2}"}, "smap[k: 2]"},
    {"12.2 ar_Map skips other keys", "ar_Map", {"{1 1}", "{\"x\" 2}", "{3 3}"}, "map[1: 1, 3: 3]"},
    {"12.2 ar_Map no pair", "ar_Map", {"5"}, "no array"},
    {"12.2 ar_Init", "ar_Init", {"3", "\"x\""}, "[\"x\", \"x\", \"x\"]"},
    {"12.2 ar_Init zero", "ar_Init", {"0", "1"}, "no array"},
    {"12.1 ar_Construct", "ar_Construct", {"\"stringmap\""}, "smap[]"},
    {"12.1 ar_Construct map", "ar_Construct", {"\"MAP\""}, "map[]"},
    {"12.1 ar_Construct other", "ar_Construct", {"\"list\""}, "[]"},
    {"12.2 ar_Range", "ar_Range", {"1", "4"}, "[1, 2, 3, 4]"},
    {"12.2 ar_Range step", "ar_Range", {"10", "1", "-4"}, "[10, 6, 2]"},
    {"12.2 ar_Range truncates", "ar_Range", {"0.9", "2.9"}, "[0, 1, 2]"},
    {"12.2 ar_Range wrong way", "ar_Range", {"5", "1"}, "[]"},
    {"12.2 ar_Null", "ar_Null", {}, "no array"},
    {"12.3 ar_BadNumericIndex", "ar_BadNumericIndex", {}, "-99999"},
    {"12.3 ar_BadStringIndex", "ar_BadStringIndex", {}, "\"\""},
    // Size, keys, look-ups (§12.3).
    {"12.3 ar_Size", "ar_Size", {"[1, 2, 3]"}, "3"},
    {"12.3 ar_Size invalid", "ar_Size", {"0"}, "-1"},
    {"12.3 ar_HasKey", "ar_HasKey", {"[1, 2]", "1"}, "1"},
    {"12.3 ar_HasKey negative", "ar_HasKey", {"[1, 2]", "-2"}, "1"},
    {"12.3 ar_HasKey past", "ar_HasKey", {"[1, 2]", "2"}, "0"},
    {"12.3 ar_HasKey type", "ar_HasKey", {"[1, 2]", "\"0\""}, "0"},
    {"12.3 ar_Keys", "ar_Keys", {"[\"a\", \"b\"]"}, "[0, 1]"},
    {"12.3 ar_Find", "ar_Find", {"\"B\"", "[\"a\", \"b\", \"b\"]"}, "1"},
    {"12.3 ar_Find type", "ar_Find", {"\"1\"", "[1]"}, "-99999"},
    {"12.3 ar_Find range", "ar_Find", {"7", "[7, 1, 7, 7]", "<1 2>"}, "2"},
    {"12.3 ar_Find range end", "ar_Find", {"7", "[7, 1, 1, 7]", "<1 2>"}, "-99999"},
    {"12.3 ar_First", "ar_First", {"[5, 6]"}, "0"},
    {"12.3 ar_Last", "ar_Last", {"[5, 6]"}, "1"},
    {"12.3 ar_First empty", "ar_First", {"[]"}, "-99999"},
    {"12.3 ar_GetNth", "ar_GetNth", {"[5, \"six\"]", "1"}, "\"six\""},
    {"12.3 ar_GetNth past", "ar_GetNth", {"[5]", "1"}, "0"},
    {"12.3 ar_GetNth negative", "ar_GetNth", {"[5]", "-1"}, "0"},
    {"12.3 ar_Count", "ar_Count", {"[1, \"A\", \"a\", 1.5]", "\"a\""}, "2"},
    {"12.3 ar_Count nested", "ar_Count", {"[[1, 2], [1, 2], [2]]", "[1, 2]"}, "2"},
    // Changing in place (§12.4).
    {"12.4 ar_Append", "ar_Append", {"[1]", "2"}, "1", 0, "[1, 2]"},
    {"12.4 ar_Insert", "ar_Insert", {"[1, 3]", "1", "2"}, "1", 0, "[1, 2, 3]"},
    {"12.4 ar_Insert end", "ar_Insert", {"[1]", "1", "2"}, "1", 0, "[1, 2]"},
    {"12.4 ar_Insert past", "ar_Insert", {"[1]", "2", "2"}, "0", 0, "[1]"},
    {"12.4 ar_InsertRange", "ar_InsertRange", {"[1, 4]", "1", "[2, 3]"}, "1", 0, "[1, 2, 3, 4]"},
    {"12.4 ar_InsertRange past", "ar_InsertRange", {"[1]", "3", "[2]"}, "0", 0, "[1]"},
    {"12.4 ar_Resize grow", "ar_Resize", {"[1]", "3", "\"p\""}, "1", 0, "[1, \"p\", \"p\"]"},
    {"12.4 ar_Resize cut", "ar_Resize", {"[1, 2, 3]", "1"}, "1", 0, "[1]"},
    {"12.4 ar_Resize pad 0", "ar_Resize", {"[]", "2"}, "1", 0, "[0, 0]"},
    {"12.4 ar_Erase all", "ar_Erase", {"[1, 2, 3]"}, "3", 0, "[]"},
    {"12.4 ar_Erase key", "ar_Erase", {"[1, 2, 3]", "0"}, "1", 0, "[2, 3]"},
    {"12.4 ar_Erase absent", "ar_Erase", {"[1, 2, 3]", "5"}, "0", 0, "[1, 2, 3]"},
    {"12.4 ar_Erase negative", "ar_Erase", {"[1, 2, 3]", "-1"}, "0", 0, "[1, 2, 3]"},
    {"12.4 ar_Erase range", "ar_Erase", {"[0, 1, 2, 3, 4]", "<1 3>"}, "3", 0, "[0, 4]"},
    {"12.4 ar_Erase range clamp", "ar_Erase", {"[0, 1, 2]", "<1 9>"}, "2", 0, "[0]"},
    {"12.4 ar_Erase empty", "ar_Erase", {"[]", "0"}, "4.29497e+09"},
    {"12.4 ar_Erase type", "ar_Erase", {"[1]", "\"x\""}, "4.29497e+09", 0, "[1]"},
    {"12.4 ar_Erase invalid", "ar_Erase", {"0", "0"}, "4.29497e+09"},
    {"12.4 ar_Copy", "ar_Copy", {"[1, \"a\"]"}, "[1, \"a\"]"},
    // Sorting (§12.5).
    {"12.5 ar_Sort", "ar_Sort", {"[3, 1, 2]"}, "[1, 2, 3]"},
    {"12.5 ar_Sort descending", "ar_Sort", {"[3, 1, 2]", "1"}, "[3, 2, 1]"},
    {"12.5 ar_Sort first type", "ar_Sort", {"[\"b\", 1, \"A\"]"}, "[\"A\", \"b\"]"},
    {"12.5 ar_Sort forms", "ar_Sort", {"[#20, #14]"}, "[form 14, form 20]"},
    {"12.5 ar_Sort arrays", "ar_Sort", {"[[1], [2]]"}, "[]"},
    // Stepping, membership, joining (§12.3, §12.4).
    {"12.3 ar_Packed", "ar_Packed", {"[1]"}, "1"},
    {"12.3 ar_Packed map", "ar_Packed", {"{1 2}"}, "0"},
    {"12.3 ar_Packed invalid", "ar_Packed", {"0"}, "0"},
    {"12.3 ar_Next", "ar_Next", {"[5, 6, 7]", "0"}, "1"},
    {"12.3 ar_Next last", "ar_Next", {"[5, 6]", "1"}, "-99999"},
    {"12.3 ar_Next absent", "ar_Next", {"[5]", "3"}, "-99999"},
    {"12.3 ar_Next string keys", "ar_Next", {"{1 2}", "\"KEY\""}, "\"value\""},
    {"12.3 ar_Prev", "ar_Prev", {"[5, 6]", "1"}, "0"},
    {"12.3 ar_Prev first", "ar_Prev", {"{1 2}", "\"key\""}, "\"\""},
    {"12.3 ar_Exists value", "ar_Exists", {"[1, \"a\"]", "\"A\""}, "1"},
    {"12.3 ar_Exists missing", "ar_Exists", {"[1, 2]", "3"}, "0"},
    {"12.3 ar_Exists outside range", "ar_Exists", {"[1, 2, 3]", "1", "<1 2>"}, "0"},
    {"12.3 ar_Exists inside range", "ar_Exists", {"[1, 2, 3]", "3", "<1 2>"}, "1"},
    {"12.3 ar_Exists map key", "ar_Exists", {"{5 6}", "\"Value\""}, "1"},
    {"12.3 ar_Exists map value is no key", "ar_Exists", {"{5 6}", "6"}, "0"},
    {"12.3 ar_Exists pair", "ar_Exists", {"{5 6}", "{\"value\" 6}"}, "1"},
    {"12.3 ar_Exists pair other value", "ar_Exists", {"{5 6}", "{\"value\" 7}"}, "0"},
    {"12.4 ar_Cat", "ar_Cat", {"[1]", "[2, 3]"}, "0", 0, "[1, 2, 3]"},
    {"12.4 ar_Cat kinds differ", "ar_Cat", {"[1]", "{2 3}"}, "0", 0, "[1]"},
    {"12.4 ar_Cat keeps keys", "ar_Cat", {"{1 2}", "{3 4}"}, "0", 0, "smap[key: 1, value: 2]"},
    {"12.4 ar_Cat overwrite", "ar_Cat", {"{1 2}", "{3 4}", "1"}, "0", 0, "smap[key: 3, value: 4]"},
    {"12.4 ar_DeepCopy", "ar_DeepCopy", {"[[1, [2]], \"a\"]"}, "[[1, [2]], \"a\"]"},
    {"12.4 ar_DeepCopy invalid", "ar_DeepCopy", {"0"}, "no array"},
};

INSTANTIATE_TEST_SUITE_P(Facts, ArrayBuiltins, ::testing::ValuesIn(kArrayCases));

// A map's range erase takes the whole-number keys from lo up to, not
// including, hi (§12.4).
TEST(ArrayBuiltinsOnce, MapRangeEraseLeavesHiAndFractions) {
  FakeServices s;
  std::string_view t = "<1 3>";
  Value range = ParseArg(s, t), result;
  ArrayId id = s.arrays().Create(ArrayKind::Map);
  for (double k : {1.0, 1.5, 2.0, 3.0}) s.arrays().Set(id, Key::Num(k), Value::Number(k));
  ASSERT_TRUE(s.Call("ar_Erase", {Value::Array(id), range}, result));
  EXPECT_EQ(s.Show(result), "2");
  EXPECT_EQ(s.Show(Value::Array(id)), "map[1.5: 1.5, 3: 3]");
}

// ar_Find on a StringMap gives its key, and "" when missing (§12.3).
TEST(ArrayBuiltinsOnce, StringMapFindGivesStringKeys) {
  FakeServices s;
  ArrayId id = s.arrays().Create(ArrayKind::StringMap);
  s.arrays().Set(id, Key::Str("hp"), Value::Number(5));
  Value result;
  ASSERT_TRUE(s.Call("ar_Find", {Value::Number(5), Value::Array(id)}, result));
  EXPECT_EQ(s.Show(result), "\"hp\"");
  ASSERT_TRUE(s.Call("ar_Find", {Value::Number(6), Value::Array(id)}, result));
  EXPECT_EQ(s.Show(result), "\"\"");
  ASSERT_TRUE(s.Call("ar_Last", {Value::Array(id)}, result));
  EXPECT_EQ(s.Show(result), "\"hp\"");
}

// ar_Filter and ar_CountWhere pass each element's key/value iterator to the
// function and test its result with GetBool; an Array is packed again, a
// map keeps its keys (§12.5).
TEST(ArrayBuiltinsOnce, FilterAndCountWherePassIterators) {
  FakeServices s;
  s.function = [&](const std::vector<Value>& args, Value& result) {
    const ArrayData* it = s.arrays().Get(args.at(0).array());
    const Element* v = it != nullptr ? it->Find(Key::Str("value")) : nullptr;
    result = Value::Bool(v != nullptr && v->number > 1);
    return true;
  };
  std::string_view t = "[1, 5, 0, 7]";
  Value list = ParseArg(s, t), result;
  ASSERT_TRUE(s.Call("ar_Filter", {list, Value::Function(3)}, result));
  EXPECT_EQ(s.Show(result), "[5, 7]");
  ASSERT_EQ(s.calls.size(), 4u);
  EXPECT_EQ(s.calls[0].fn.function(), 3u);
  const ArrayData* iter = s.arrays().Get(s.calls[2].args.at(0).array());
  ASSERT_NE(iter, nullptr);
  EXPECT_EQ(iter->kind, ArrayKind::StringMap);
  EXPECT_EQ(iter->Find(Key::Str("key"))->number, 2);
  ASSERT_TRUE(s.Call("ar_CountWhere", {list, Value::Function(3)}, result));
  EXPECT_EQ(s.Show(result), "2");

  ArrayId map = s.arrays().Create(ArrayKind::Map);
  s.arrays().Set(map, Key::Num(10), Value::Number(1));
  s.arrays().Set(map, Key::Num(20), Value::Number(9));
  ASSERT_TRUE(s.Call("ar_Filter", {Value::Array(map), Value::Function(3)}, result));
  EXPECT_EQ(s.Show(result), "map[20: 9]");
}

// ar_DeepCopy copies inner arrays too, where ar_Copy shares them (§12.4).
TEST(ArrayBuiltinsOnce, DeepCopyCopiesInnerArrays) {
  FakeServices s;
  std::string_view t = "[[1]]";
  Value outer = ParseArg(s, t), copy;
  ASSERT_TRUE(s.Call("ar_DeepCopy", {outer}, copy));
  const ArrayId inner = s.arrays().Get(outer.array())->list.at(0).id;
  const ArrayId copied = s.arrays().Get(copy.array())->list.at(0).id;
  EXPECT_NE(copied, inner);
  s.arrays().Set(inner, Key::Num(0), Value::Number(9));
  EXPECT_EQ(s.Show(copy), "[[1]]");
}

// The helpers that call a function with each element's iterator (§12.5):
// the function here doubles the value, and fails on 3.
struct WalkCase {
  const char* fn;
  const char* array;
  const char* result;
  std::size_t calls;  // how many times the function ran
};

void PrintTo(const WalkCase& c, std::ostream* os) { *os << c.fn << " " << c.array; }

class ArrayWalks : public ::testing::TestWithParam<WalkCase> {};

TEST_P(ArrayWalks, CallTheFunctionPerElement) {
  const WalkCase& c = GetParam();
  FakeServices s;
  s.function = [&](const std::vector<Value>& args, Value& result) {
    const ArrayData* it = s.arrays().Get(args.at(0).array());
    const Element* v = it != nullptr ? it->Find(Key::Str("value")) : nullptr;
    if (v == nullptr || v->number == 3) return false;
    result = Value::Number(v->number * 2);
    return true;
  };
  std::string_view t = c.array;
  Value array = ParseArg(s, t), result;
  ASSERT_TRUE(s.Call(c.fn, {array, Value::Function(2)}, result)) << s.lastError;
  EXPECT_EQ(s.Show(result), c.result);
  EXPECT_EQ(s.calls.size(), c.calls);
}

const WalkCase kWalks[] = {
    {"ar_MapTo", "[1, 2]", "[2, 4]", 2},
    {"ar_MapTo", "[1, 3, 2]", "[2, 4]", 3},  // a failed call is left out
    {"ar_Any", "[0, 0, 5, 6]", "1", 3},      // stops at the first true
    {"ar_Any", "[0, 3]", "0", 2},
    {"ar_All", "[1, 2]", "1", 2},
    {"ar_All", "[1, 0, 2]", "0", 2},  // stops at the first false
    {"ar_All", "[3, 1]", "0", 1},     // a failed call is false
    {"ar_All", "[]", "1", 0},
    {"ar_FindWhere", "[0, 7, 8]", "7", 2},  // the element, not its key
    {"ar_FindWhere", "[0]", "0", 1},
    {"ar_ForEach", "[1, 3, 2]", "1", 3},
};

INSTANTIATE_TEST_SUITE_P(Facts, ArrayWalks, ::testing::ValuesIn(kWalks));

// ar_Copy is shallow: an inner array is the same array, by id (§12.4).
TEST(ArrayBuiltinsOnce, CopySharesInnerArrays) {
  FakeServices s;
  std::string_view t = "[[1]]";
  Value outer = ParseArg(s, t), copy;
  ASSERT_TRUE(s.Call("ar_Copy", {outer}, copy));
  EXPECT_NE(copy.array(), outer.array());
  EXPECT_EQ(s.arrays().Get(copy.array())->list.at(0).id,
            s.arrays().Get(outer.array())->list.at(0).id);
}

// ar_Construct and ar_Keys only inside an xNVSE expression (§12.1, §12.3).
TEST(ArrayBuiltinsOnce, ConstructOutsideAnExpressionIsRefused) {
  FakeServices s;
  s.inExpression = false;
  Value result;
  ASSERT_TRUE(s.Call("ar_Keys", {s.List({Value::Number(1)})}, result));
  EXPECT_EQ(result.array(), 0u);
  EXPECT_EQ(s.console,
            std::vector<std::string>{"ar_Keys must be called within an NVSE expression."});
  s.console.clear();
  s.scriptFormId = 0x01FFF002;  // the running script's id (§8)
  ASSERT_TRUE(s.Call("ar_Construct", {s.Str("map")}, result));
  EXPECT_EQ(result.array(), 0u);
  EXPECT_EQ(s.console, std::vector<std::string>{"Error in script 01FFF002: ar_Construct called "
                                                "outside of a valid context."});
}

}  // namespace
}  // namespace cv::sim::script::testing
