// The value layer: the string and array stores and the one case-insensitive
// compare (script-language.md §4.2, §6.2, §12, §13, §14.4).
#include <gtest/gtest.h>

#include "sim/script/value/arrays.h"
#include "sim/script/value/convert.h"
#include "sim/script/value/strings.h"
#include "sim/script/value/text.h"

namespace cv::sim::script {
namespace {

struct CompareCase {
  const char* a;
  const char* b;
  int want;
};

const CompareCase kCompare[] = {
    {"abc", "ABC", 0},
    {"a", "b", -1},
    {"b", "A", 1},
    {"ab", "abc", -1},
    {"abc", "ab", 1},
    {"", "", 0},
    {"_", "a", 1} /* upper case: _ (0x5F) after A */,
    {"Zebra", "apple", 1},
};

TEST(ScriptText, CompareNoCase) {
  // §4.2 StrCompare: the upper case of each byte, -1/0/1 (§13 sv_Compare).
  for (const CompareCase& c : kCompare)
    EXPECT_EQ(CompareNoCase(c.a, c.b), c.want) << c.a << " vs " << c.b;
  EXPECT_EQ(Fold("MiXeD"), "mixed");
}

struct NumberCase {
  const char* text;
  double want;
};

const NumberCase kNumbers[] = {
    {"12", 12},  {"  3.5", 3.5}, {"0x1f", 31}, {"0XFF", 255}, {"0b101", 5},
    {"7abc", 7}, {"abc", 0},     {"", 0},      {"-2", -2},
};

TEST(ScriptConvert, TextToNumber) {
  // §10.4: # never fails.
  for (const NumberCase& c : kNumbers) EXPECT_EQ(TextToNumber(c.text), c.want) << c.text;
  EXPECT_EQ(FormatG(5), "5");
  EXPECT_EQ(FormatG(1.0 / 3), "0.333333");
  EXPECT_EQ(FormatG(0.00001), "1e-05");
}

TEST(ScriptConvert, Truthiness) {
  // §4.2 GetBool: an existing string is true even when empty.
  StringStore s;
  EXPECT_TRUE(Truthy(Value::String(s.New("")), s));
  EXPECT_FALSE(Truthy(Value::String(0), s));
  EXPECT_FALSE(Truthy(Value::Form(0), s));
  EXPECT_TRUE(Truthy(Value::Form(0x14), s));
  EXPECT_FALSE(Truthy(Value::Number(0), s));
  // §10.1: Assert's GetNumber is 0 for a form.
  EXPECT_EQ(NumberOf(Value::Form(0x14)), 0);
}

TEST(ScriptStrings, TemporariesAndSaves) {
  // §12.8: temporaries go at Clean; §14.4: only kept strings are saved.
  StringStore s;
  StringId temp = s.New("temp");
  StringId kept = s.New("kept", false);
  s.Clean();
  EXPECT_FALSE(s.Exists(temp));
  EXPECT_EQ(s.Text(kept), "kept");
  StringStore::Saved saved = s.Save();
  s.GetMutable(kept)->assign("changed");
  s.Load(saved);
  EXPECT_EQ(s.Text(kept), "kept");
  // New ids never repeat a saved one.
  EXPECT_GT(s.New("x"), kept);
}

TEST(ScriptStrings, MirroredToTheHost) {
  // A plug-in reads and writes kept strings through the host's variables.
  std::map<std::uint32_t, std::string> host{{1, "host's"}, {7, "also"}};
  StringStore s;
  s.Attach(&host);
  StringId id = s.New("mine", false);
  EXPECT_GT(id, 7U);
  s.PushToHost();
  EXPECT_EQ(host[id], "mine");
  host[id] = "set by the plug-in";
  s.PullFromHost();
  EXPECT_EQ(s.Text(id), "set by the plug-in");
}

TEST(ScriptArrays, PackedArrays) {
  StringStore strings;
  ArrayStore arrays(strings);
  ArrayId a = arrays.Create(ArrayKind::Array);
  ASSERT_TRUE(arrays.Append(a, Value::Number(10)));
  ASSERT_TRUE(arrays.Append(a, Value::Number(20)));
  // §12.1: a negative index counts from the end; a fraction is truncated.
  EXPECT_EQ(arrays.Get(a)->Find(Key::Num(-1))->number, 20);
  EXPECT_EQ(arrays.Get(a)->Find(Key::Num(1.7))->number, 20);
  EXPECT_EQ(arrays.Get(a)->Find(Key::Num(2)), nullptr);
  // §12.4: writing past the end appends at the end.
  ASSERT_TRUE(arrays.Set(a, Key::Num(10), Value::Number(30)));
  EXPECT_EQ(arrays.Get(a)->Size(), 3U);
  EXPECT_EQ(arrays.Get(a)->list[2].number, 30);
  // A string key does not fit a packed array.
  EXPECT_FALSE(arrays.Set(a, Key::Str("x"), Value::Number(1)));
  // §12.4 ar_Erase: later elements shift down; no negative index.
  EXPECT_FALSE(arrays.Erase(a, Key::Num(-1)));
  ASSERT_TRUE(arrays.Erase(a, Key::Num(0)));
  EXPECT_EQ(arrays.Get(a)->list[0].number, 20);
}

TEST(ScriptArrays, StringMapsIgnoreCase) {
  // §12.1: keys compare ignoring case, the first spelling kept; ascending.
  StringStore strings;
  ArrayStore arrays(strings);
  ArrayId m = arrays.Create(ArrayKind::StringMap);
  arrays.Set(m, Key::Str("Beta"), Value::Number(1));
  arrays.Set(m, Key::Str("alpha"), Value::Number(2));
  arrays.Set(m, Key::Str("BETA"), Value::Number(3));
  const ArrayData* d = arrays.Get(m);
  ASSERT_EQ(d->Size(), 2U);
  std::vector<Key> keys = d->Keys();
  EXPECT_EQ(keys[0].text, "alpha");
  EXPECT_EQ(keys[1].text, "Beta");
  EXPECT_EQ(d->Find(Key::Str("beta"))->number, 3);
}

TEST(ScriptArrays, ReferenceCountsAndClean) {
  // §12.8: temporary until referenced; a count that drops to 0 makes it
  // temporary again; deleting an array releases what it held.
  StringStore strings;
  ArrayStore arrays(strings);
  ArrayId outer = arrays.Create(ArrayKind::Array);
  ArrayId inner = arrays.Create(ArrayKind::Array);
  ArrayId loose = arrays.Create(ArrayKind::Array);
  arrays.AddRef(outer);  // a variable holds it
  arrays.Append(outer, Value::Array(inner));
  arrays.Clean();
  EXPECT_NE(arrays.Get(outer), nullptr);
  EXPECT_NE(arrays.Get(inner), nullptr);
  EXPECT_EQ(arrays.Get(loose), nullptr);
  arrays.Release(outer);
  arrays.Clean();
  EXPECT_EQ(arrays.Get(outer), nullptr);
  EXPECT_EQ(arrays.Get(inner), nullptr);
  // A string element read back is a new temporary string.
  ArrayId s = arrays.Create(ArrayKind::Array);
  arrays.Append(s, Value::String(strings.New("text")));
  Value v = arrays.ToValue(arrays.Get(s)->list[0]);
  ASSERT_TRUE(v.IsString());
  EXPECT_EQ(strings.Text(v.string()), "text");
}

}  // namespace
}  // namespace cv::sim::script
