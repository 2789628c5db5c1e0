// Forms and references (script-language.md §5, §7), one row per fact, in a
// world of a base NPC 30, its reference 61, another base 31 with reference
// 62, and a quest 20.
#include "builtins_table.h"

namespace cv::sim::script::testing {
namespace {

struct FormCase {
  const char* fact;
  const char* fn;
  FormId callingRef;
  std::vector<const char*> args;
  const char* result;
};

void PrintTo(const FormCase& c, std::ostream* os) { *os << c.fn << " (" << c.fact << ")"; }

class FormBuiltins : public ::testing::TestWithParam<FormCase> {
 protected:
  void SetUp() override {
    World& w = s.world();
    w.Define(0x30, FormKind::Npc);
    w.Define(0x31, FormKind::Plain);
    w.Define(0x20, FormKind::Quest);
    w.Define(0x61, FormKind::Actor).base = w.Known(0x30);
    w.Define(0x62, FormKind::Reference).base = w.Known(0x31);
    w.Define(0x70, FormKind::Plain).present = false;  // removed
  }
  FakeServices s;
};

TEST_P(FormBuiltins, AnswerFromTheWorld) {
  const FormCase& c = GetParam();
  Value result;
  ASSERT_TRUE(s.Call(c.fn, ParseArgs(s, c.args), result, c.callingRef)) << s.lastError;
  EXPECT_EQ(s.Show(result), c.result);
}

const FormCase kFormCases[] = {
    {"5.3 GetSelf", "GetSelf", 0x61, {}, "form 61"},
    {"5.3 GetSelf quest script", "GetSelf", 0, {}, "form 0"},
    {"7 this", "this", 0x62, {}, "form 62"},
    {"7 GetIsID", "GetIsID", 0x61, {"#30"}, "1"},
    {"7 GetIsID other", "GetIsID", 0x61, {"#31"}, "0"},
    {"7 GetIsID ref itself", "GetIsID", 0x61, {"#61"}, "0"},
    {"7 GetIsReference", "GetIsReference", 0x62, {"#62"}, "1"},
    {"7 GetIsReference other", "GetIsReference", 0x62, {"#61"}, "0"},
    {"7 GetBaseObject", "GetBaseObject", 0x62, {}, "form 31"},
    {"7 gbo", "gbo", 0x61, {}, "form 30"},
    {"7 IsFormValid", "IsFormValid", 0, {"#31"}, "1"},
    {"7 IsFormValid removed", "IsFormValid", 0, {"#70"}, "0"},
    {"7 IsFormValid unknown", "IsFormValid", 0, {"#99"}, "0"},
    {"7 IsFormValid none", "IsFormValid", 0, {"#0"}, "0"},
    {"7 IsFormValid calling ref", "IsFormValid", 0x61, {}, "1"},
    {"7 IsReference", "IsReference", 0, {"#62"}, "1"},
    {"7 IsReference actor", "IsReference", 0, {"#61"}, "1"},
    {"7 IsReference base", "IsReference", 0, {"#30"}, "0"},
    {"7 IsReference none", "IsReference", 0, {"#0"}, "0"},
    {"7 TypeOf number", "TypeOf", 0, {"1.5"}, "\"Number\""},
    {"7 TypeOf string", "TypeOf", 0, {"\"x\""}, "\"String\""},
    {"7 TypeOf form", "TypeOf", 0, {"#30"}, "\"Form\""},
    {"7 TypeOf array", "TypeOf", 0, {"[1]"}, "\"Array\""},
    {"7 TypeOf map", "TypeOf", 0, {"{1 2}"}, "\"StringMap\""},
    {"5.3 GetSelfAlt", "GetSelfAlt", 0x62, {}, "form 62"},
    {"5.3 GetSelfAlt none", "GetSelfAlt", 0, {}, "form 0"},
    {"10.4 ToString number", "ToString", 0, {"2.5"}, "\"2.5\""},
    {"10.4 ToString string", "ToString", 0, {"\"x\""}, "\"x\""},
    {"10.4 ToString array", "ToString", 0, {"[1]"}, "\"NULL\""},
    {"10.4 ToString null form", "ToString", 0, {"#0"}, "\"NULL\""},
    {"10.4 ToString unnamed form", "ToString", 0, {"#30"}, "\"<no name>\""},
};

INSTANTIATE_TEST_SUITE_P(Facts, FormBuiltins, ::testing::ValuesIn(kFormCases));

// TypeOf of a numeric Map and of an array id that names nothing (§7).
TEST(FormBuiltinsOnce, TypeOfMapAndBadArray) {
  FakeServices s;
  Value result;
  ASSERT_TRUE(s.Call("TypeOf", {Value::Array(s.arrays().Create(ArrayKind::Map))}, result));
  EXPECT_EQ(s.Text(result), "Map");
  ASSERT_TRUE(s.Call("TypeOf", {Value::Array(77)}, result));
  EXPECT_EQ(s.Text(result), "<Bad Array>");
}

// The reference functions say so, so the interpreter refuses them without a
// calling reference (§5.1, §5.2).
TEST(FormBuiltinsOnce, ReferenceFunctionsNeedAReference) {
  for (const char* name : {"GetIsID", "GetIsReference", "GetBaseObject"}) {
    const Builtin* b = Builtins().Find(name);
    ASSERT_NE(b, nullptr) << name;
    EXPECT_TRUE(b->needsRef) << name;
  }
  EXPECT_FALSE(Builtins().Find("GetSelf")->needsRef);
  EXPECT_TRUE(Builtins().Find("GetAV")->needsRef);
  EXPECT_EQ(Builtins().Find("GetAV"), Builtins().Find("GetActorValue"));
  EXPECT_FALSE(Builtins().Find("IsReference")->needsRef);
}

}  // namespace
}  // namespace cv::sim::script::testing
