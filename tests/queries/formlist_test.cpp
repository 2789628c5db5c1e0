#include "queries/formlist.h"

#include <gtest/gtest.h>

#include <map>

#include "log/log.h"
#include "queries/query_commands.h"
#include "tests/queries/fake_game.h"

namespace cv::queries {
namespace {

using fake::FakeGame;

// Walks an id graph where 0 means "no parent".
int RootIn(const std::map<int, int>& parents, int start) {
  int steps = 0;
  return WalkToRoot(
      start,
      [&](int node) {
        ++steps;
        EXPECT_LT(steps, 100) << "the walk does not end";
        auto it = parents.find(node);
        return it == parents.end() ? 0 : it->second;
      },
      [](int node) { return node; });
}

TEST(WalkToRoot, FollowsParentsToTheLastOne) {
  const std::map<int, int> parents{{1, 2}, {2, 3}, {4, 0}};
  EXPECT_EQ(RootIn(parents, 1), 3);
  EXPECT_EQ(RootIn(parents, 2), 3);
  EXPECT_EQ(RootIn(parents, 3), 3);
  EXPECT_EQ(RootIn(parents, 4), 4);
}

TEST(WalkToRoot, CycleEndsAtTheFirstRepeatedNode) {
  EXPECT_EQ(RootIn({{1, 2}, {2, 1}}, 1), 1);
  EXPECT_EQ(RootIn({{1, 2}, {2, 1}}, 2), 2);
  EXPECT_EQ(RootIn({{5, 5}}, 5), 5);
  // A tail leading into a loop ends where the loop closes.
  EXPECT_EQ(RootIn({{1, 2}, {2, 3}, {3, 4}, {4, 2}}, 1), 2);
}

TEST(MatchCode, TestsRunInOrderOneToFour) {
  EXPECT_EQ(MatchCode(1, 2, 1, 9), 1);
  EXPECT_EQ(MatchCode(1, 1, 1, 1), 1);
  EXPECT_EQ(MatchCode(1, 2, 2, 2), 2);
  EXPECT_EQ(MatchCode(1, 2, 3, 1), 3);
  EXPECT_EQ(MatchCode(1, 2, 3, 2), 4);
  EXPECT_EQ(MatchCode(1, 2, 3, 4), 0);
}

class IsInListCommand : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_NE(LogOpen("formlist_test.log"), nullptr); }
  void TearDown() override { LogClose(); }

  // The result, checked to be the same with recurse 0, 1 and left out.
  double Check(TESForm* list, TESForm* form) {
    const double absent = game.Run(IsInList, nullptr, {list, form});
    EXPECT_EQ(game.Run(IsInList, nullptr, {list, form, SInt32{0}}), absent);
    EXPECT_EQ(game.Run(IsInList, nullptr, {list, form, SInt32{1}}), absent);
    EXPECT_TRUE(game.console().empty());
    return absent;
  }

  FakeGame game;
};

TEST_F(IsInListCommand, PlainFormsAndReferences) {
  TESForm* chair = game.Form(0x10);
  TESObjectREFR* placed = game.Ref(0x11, chair);
  TESForm* placedForm = reinterpret_cast<TESForm*>(placed);
  TESObjectREFR* other = game.Ref(0x12, chair);
  TESForm* otherForm = reinterpret_cast<TESForm*>(other);

  EXPECT_EQ(Check(game.List(0x1, {placedForm}), placedForm), 1);  // the reference itself
  EXPECT_EQ(Check(game.List(0x2, {chair}), chair), 1);
  EXPECT_EQ(Check(game.List(0x3, {chair}), placedForm), 2);      // its base form
  EXPECT_EQ(Check(game.List(0x4, {placedForm}), chair), 3);      // a reference to the form
  EXPECT_EQ(Check(game.List(0x5, {otherForm}), placedForm), 4);  // references to one base
  EXPECT_EQ(Check(game.List(0x6, {game.Form(0x13)}), placedForm), 0);
  EXPECT_EQ(Check(game.List(0x7, {}), chair), 0);
}

TEST_F(IsInListCommand, LinkedKindComparesLinkRoots) {
  TESForm* root = game.Linked(0x20);
  TESForm* child = game.Linked(0x21, root);
  TESForm* grandchild = game.Linked(0x22, child);
  TESForm* cousin = game.Linked(0x23, root);

  EXPECT_EQ(Check(game.List(0x1, {child}), child), 1);
  EXPECT_EQ(Check(game.List(0x2, {root}), grandchild), 2);
  EXPECT_EQ(Check(game.List(0x3, {grandchild}), root), 3);
  EXPECT_EQ(Check(game.List(0x4, {cousin}), grandchild), 4);
  EXPECT_EQ(Check(game.List(0x5, {child}), grandchild), 4);  // a parent below the root
  EXPECT_EQ(Check(game.List(0x6, {game.Linked(0x24)}), child), 0);
}

TEST_F(IsInListCommand, ReferenceOfLinkedKindIsComparedThroughItsBaseForm) {
  TESForm* root = game.Linked(0x30);
  TESForm* weapon = game.Linked(0x31, root);
  TESForm* placed = reinterpret_cast<TESForm*>(game.Ref(0x32, weapon));
  EXPECT_EQ(Check(game.List(0x1, {weapon}), placed), 1);
  EXPECT_EQ(Check(game.List(0x2, {root}), placed), 2);
  // References in the list are not of the linked kind and never match.
  EXPECT_EQ(Check(game.List(0x3, {placed}), placed), 0);
  EXPECT_EQ(Check(game.List(0x4, {placed, game.Form(0x33)}), weapon), 0);
}

TEST_F(IsInListCommand, FirstMatchingEntryWins) {
  TESForm* chair = game.Form(0x40);
  TESForm* placed = reinterpret_cast<TESForm*>(game.Ref(0x41, chair));
  TESForm* other = reinterpret_cast<TESForm*>(game.Ref(0x42, chair));
  EXPECT_EQ(Check(game.List(0x1, {game.Form(0x43), other, placed}), placed), 4);
  EXPECT_EQ(Check(game.List(0x2, {placed, other}), placed), 1);

  TESForm* root = game.Linked(0x50);
  TESForm* child = game.Linked(0x51, root);
  TESForm* sibling = game.Linked(0x52, root);
  EXPECT_EQ(Check(game.List(0x3, {sibling, child}), child), 4);
}

TEST_F(IsInListCommand, EmptyEntriesAreSkipped) {
  TESForm* chair = game.Form(0x60);
  EXPECT_EQ(Check(game.List(0x1, {nullptr, chair}), chair), 1);
}

TEST_F(IsInListCommand, ParentCycleEnds) {
  TESForm* a = game.Linked(0x70);
  TESForm* b = game.Linked(0x71, a);
  game.SetParent(a, b);
  TESForm* c = game.Linked(0x72, b);
  // From c the walk runs c, b, a and ends at b, which repeats: b is c's root.
  EXPECT_EQ(Check(game.List(0x1, {b}), c), 2);
  EXPECT_EQ(Check(game.List(0x2, {game.Form(0x73)}), a), 0);
}

TEST_F(IsInListCommand, InvalidParentEndsTheWalk) {
  TESForm* dangling = game.Invalid(0x80);
  TESForm* child = game.Linked(0x81, dangling);
  TESForm* grandchild = game.Linked(0x82, child);
  EXPECT_EQ(Check(game.List(0x1, {child}), grandchild), 2);
}

TEST_F(IsInListCommand, MissingArgumentsGiveZero) {
  TESForm* chair = game.Form(0x90);
  TESForm* list = game.List(0x1, {chair});
  EXPECT_EQ(game.Run(IsInList, nullptr, {list, static_cast<TESForm*>(nullptr)}), 0);
  EXPECT_EQ(game.Run(IsInList, nullptr, {static_cast<TESForm*>(nullptr), chair}), 0);
  EXPECT_EQ(game.RunFailingExtraction(IsInList, nullptr), 0);
}

TEST_F(IsInListCommand, FailureIsLoggedUnderItsName) {
  TESForm* chair = game.Form(0xA0);
  game.Throw("entry");
  EXPECT_EQ(game.Run(IsInList, nullptr, {game.List(0x1, {chair}), chair}), 0);
  EXPECT_EQ(fake::ReadLines("formlist_test.log"),
            std::vector<std::string>{"Exception in isinlist: engine fault"});
}

}  // namespace
}  // namespace cv::queries
