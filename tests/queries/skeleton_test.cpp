#include "queries/skeleton.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "log/log.h"
#include "queries/query_commands.h"
#include "tests/queries/fake_game.h"

namespace cv::queries {
namespace {

using fake::FakeGame;
using fake::ReadLines;
using Parts = std::vector<std::string_view>;

TEST(SplitSkeletonPath, NameIsTheFolderHoldingTheFile) {
  const SkeletonPath p = SplitSkeletonPath("Creatures\\Dog\\skeleton.nif");
  EXPECT_EQ(p.components, (Parts{"Creatures", "Dog", "skeleton.nif"}));
  EXPECT_EQ(p.name, "Dog");
  EXPECT_EQ(SplitSkeletonPath("Dog\\skeleton.nif").name, "Dog");
  EXPECT_EQ(SplitSkeletonPath("a\\b\\c\\d\\skeleton.nif").name, "d");
}

TEST(SplitSkeletonPath, RunsOfMixedSeparatorsCountAsOne) {
  const SkeletonPath single = SplitSkeletonPath("Creatures\\Dog\\skeleton.nif");
  for (const char* path : {"Creatures//Dog/skeleton.nif", "\\\\Creatures\\/Dog\\\\skeleton.nif",
                           "/Creatures/Dog\\skeleton.nif/", "Creatures\\Dog\\skeleton.nif\\\\"}) {
    SCOPED_TRACE(path);
    const SkeletonPath p = SplitSkeletonPath(path);
    EXPECT_EQ(p.components, single.components);
    EXPECT_EQ(p.name, "Dog");
  }
}

TEST(SplitSkeletonPath, FewerThanTwoComponentsHaveNoName) {
  EXPECT_EQ(SplitSkeletonPath("skeleton.nif").components, Parts{"skeleton.nif"});
  EXPECT_FALSE(SplitSkeletonPath("skeleton.nif").name);
  EXPECT_FALSE(SplitSkeletonPath("\\skeleton.nif\\").name);
  EXPECT_TRUE(SplitSkeletonPath("").components.empty());
  EXPECT_TRUE(SplitSkeletonPath("\\/\\").components.empty());
  EXPECT_FALSE(SplitSkeletonPath("\\/\\").name);
}

TEST(SplitSkeletonPath, PathsBeyondTheWorkingBufferHaveNoName) {
  const std::string fits = std::string(511 - 13, 'x') + "\\skeleton.nif";
  ASSERT_EQ(fits.size(), 511u);
  EXPECT_EQ(SplitSkeletonPath(fits).name, std::string(511 - 13, 'x'));
  const std::string tooLong = "y" + fits;
  const SkeletonPath p = SplitSkeletonPath(tooLong);
  EXPECT_TRUE(p.components.empty());
  EXPECT_FALSE(p.name);
}

TEST(FoldedCompare, FoldsOnlyAsciiLettersOntoLowerCase) {
  EXPECT_EQ(FoldedCompare("DOG", "dog"), 0);
  EXPECT_EQ(FoldedCompare("Dog", "Dog"), 0);
  EXPECT_EQ(FoldedCompare("abc", "abd"), -1);
  EXPECT_EQ(FoldedCompare("b", "A"), 1);
  // Folding goes onto lower case: '[' (0x5B) sorts below 'A' folded to 'a'.
  EXPECT_EQ(FoldedCompare("[", "A"), 0x5B - 0x61);
  // The end of the shorter text counts as a zero byte.
  EXPECT_EQ(FoldedCompare("abc", "abcd"), -'d');
  EXPECT_EQ(FoldedCompare("ABCD", "abc"), 'd');
  // Bytes from 0x80 up are compared unsigned and never folded.
  EXPECT_EQ(FoldedCompare("\xC4", "\xE4"), 0xC4 - 0xE4);
  EXPECT_GT(FoldedCompare("\x80", "z"), 0);
}

class SkeletonCommands : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_NE(LogOpen("skeleton_test.log"), nullptr);
    while (LogIndentLevel() > 0) LogOutdent();
  }
  void TearDown() override { LogClose(); }

  std::vector<std::string> Log() const { return ReadLines("skeleton_test.log"); }

  TESObjectREFR* ActorWithSkeleton(const std::string& path) {
    return game.Actor(0x100, game.ActorBase(0x200, path));
  }

  FakeGame game;
};

TEST_F(SkeletonCommands, FolderNameInAnotherLetterCaseMatches) {
  TESObjectREFR* dog = ActorWithSkeleton("Creatures\\Dog\\skeleton.nif");
  EXPECT_EQ(game.Run(IsUsingSkeleton, dog, {std::string("DOG")}), 1);
  EXPECT_EQ(Log(), (std::vector<std::string>{"START IsUsingSkeleton", "\t\tIDX 0 is Creatures",
                                             "\t\tIDX 1 is Dog", "\t\tIDX 2 is skeleton.nif",
                                             "\t\tSIC DOG Dog is 0", "END IsUsingSkeleton 1"}));
  EXPECT_TRUE(game.console().empty());
}

TEST_F(SkeletonCommands, FileNameOrWholePathDoNotMatch) {
  TESObjectREFR* dog = ActorWithSkeleton("Creatures\\Dog\\skeleton.nif");
  EXPECT_EQ(game.Run(IsUsingSkeleton, dog, {std::string("skeleton.nif")}), 0);
  EXPECT_EQ(game.Run(IsUsingSkeleton, dog, {std::string("Creatures\\Dog\\skeleton.nif")}), 0);
  EXPECT_EQ(game.Run(IsUsingSkeleton, dog, {std::string("Creatures")}, true), 0);
  EXPECT_EQ(game.console(), std::vector<std::string>{"IsUsingSkeleton 0"});
  const auto log = Log();
  EXPECT_EQ(log.at(4), "\t\tSIC skeleton.nif Dog is 15");  // 's' - 'd'
  EXPECT_EQ(log.back(), "END IsUsingSkeleton 0");
}

TEST_F(SkeletonCommands, DoubledAndMixedSeparatorsGiveTheSameName) {
  TESObjectREFR* dog = ActorWithSkeleton("\\Creatures//Dog\\/skeleton.nif");
  EXPECT_EQ(game.Run(IsUsingSkeleton, dog, {std::string("dog")}, true), 1);
  EXPECT_EQ(game.console(), std::vector<std::string>{"IsUsingSkeleton 1"});
  const auto log = Log();
  ASSERT_EQ(log.size(), 6u);
  EXPECT_EQ(log[1], "\t\tIDX 0 is Creatures");
  EXPECT_EQ(log[3], "\t\tIDX 2 is skeleton.nif");
}

TEST_F(SkeletonCommands, BareFileNameLogsComponentsButNoComparison) {
  TESObjectREFR* ref = ActorWithSkeleton("skeleton.nif");
  EXPECT_EQ(game.Run(IsUsingSkeleton, ref, {std::string("skeleton.nif")}, true), 0);
  EXPECT_EQ(Log(), (std::vector<std::string>{"START IsUsingSkeleton", "\t\tIDX 0 is skeleton.nif",
                                             "END IsUsingSkeleton 0"}));
  EXPECT_EQ(game.console(), std::vector<std::string>{"IsUsingSkeleton 0"});

  game.Run(GetSkeletonPath, ref, {}, true);
  EXPECT_EQ(game.assigned(), "");
  EXPECT_TRUE(game.console().empty());
}

TEST_F(SkeletonCommands, NoCallingReferenceStillWritesTheBracket) {
  EXPECT_EQ(game.Run(IsUsingSkeleton, nullptr, {std::string("Dog")}, true), 0);
  EXPECT_EQ(Log(), (std::vector<std::string>{"START IsUsingSkeleton", "END IsUsingSkeleton 0"}));
  EXPECT_TRUE(game.console().empty());

  EXPECT_EQ(game.RunFailingExtraction(IsUsingSkeleton, ActorWithSkeleton("a\\b\\c.nif")), 0);
  EXPECT_EQ(Log().size(), 4u);
}

TEST_F(SkeletonCommands, BaseFormThatIsNoActorBaseGivesNothing) {
  TESObjectREFR* chair = game.Ref(0x101, game.Form(0x201));
  TESObjectREFR* baseless = game.Ref(0x102, nullptr);
  for (TESObjectREFR* ref : {chair, baseless}) {
    EXPECT_EQ(game.Run(IsUsingSkeleton, ref, {std::string("Dog")}, true), 0);
    EXPECT_TRUE(game.console().empty());
    game.Run(GetSkeletonPath, ref, {}, true);
    EXPECT_EQ(game.assigned(), "");
    EXPECT_TRUE(game.console().empty());
  }
  for (const std::string& line : Log()) EXPECT_EQ(line.find("IDX"), std::string::npos) << line;
}

TEST_F(SkeletonCommands, IndentationIsRestoredOnEveryPath) {
  TESObjectREFR* dog = ActorWithSkeleton("Creatures\\Dog\\skeleton.nif");
  TESObjectREFR* bare = game.Actor(0x103, game.ActorBase(0x203, "skeleton.nif"));
  TESObjectREFR* chair = game.Ref(0x104, game.Form(0x204));
  for (int start : {0, 2}) {
    SCOPED_TRACE(start);
    while (LogIndentLevel() < start) LogIndent();
    game.Run(IsUsingSkeleton, dog, {std::string("dog")});
    EXPECT_EQ(LogIndentLevel(), start);
    game.Run(IsUsingSkeleton, dog, {std::string("cat")});
    EXPECT_EQ(LogIndentLevel(), start);
    game.Run(IsUsingSkeleton, bare, {std::string("cat")});
    EXPECT_EQ(LogIndentLevel(), start);
    game.Run(IsUsingSkeleton, chair, {std::string("cat")});
    EXPECT_EQ(LogIndentLevel(), start);
    game.Run(IsUsingSkeleton, nullptr, {std::string("cat")});
    EXPECT_EQ(LogIndentLevel(), start);
    game.RunFailingExtraction(IsUsingSkeleton, dog);
    EXPECT_EQ(LogIndentLevel(), start);
  }
}

TEST_F(SkeletonCommands, CaughtFailureStillEndsTheBracket) {
  TESObjectREFR* dog = ActorWithSkeleton("Creatures\\Dog\\skeleton.nif");
  LogIndent();
  game.Throw("skeleton");
  EXPECT_EQ(game.Run(IsUsingSkeleton, dog, {std::string("dog")}, true), 0);
  EXPECT_EQ(LogIndentLevel(), 1);
  EXPECT_EQ(Log(), (std::vector<std::string>{"\tSTART IsUsingSkeleton",
                                             "\t\tException in isusingskeleton: engine fault",
                                             "\tEND IsUsingSkeleton 0"}));
  EXPECT_TRUE(game.console().empty());

  game.ThrowInteger("extract");
  EXPECT_EQ(game.Run(IsUsingSkeleton, dog, {std::string("dog")}), 0);
  EXPECT_EQ(LogIndentLevel(), 1);
  EXPECT_EQ(Log().at(4), "\t\tException in isusingskeleton: 0x0badf00d");
  EXPECT_EQ(Log().at(5), "\tEND IsUsingSkeleton 0");
}

TEST_F(SkeletonCommands, GetSkeletonPathAssignsTheName) {
  TESObjectREFR* dog = ActorWithSkeleton("Creatures/Dog\\\\skeleton.nif");
  game.Run(GetSkeletonPath, dog, {}, true);
  EXPECT_EQ(game.assigned(), "Dog");
  EXPECT_EQ(game.console(), std::vector<std::string>{"GetSkeletonPath Dog"});
  game.Run(GetSkeletonPath, dog);
  EXPECT_EQ(game.assigned(), "Dog");
  EXPECT_TRUE(game.console().empty());
  // No bracket and no indentation change: only the component lines.
  EXPECT_EQ(LogIndentLevel(), 0);
  const auto log = Log();
  ASSERT_EQ(log.size(), 6u);
  EXPECT_EQ(log[0], "\tIDX 0 is Creatures");
}

TEST_F(SkeletonCommands, GetSkeletonPathWithoutNameAssignsTheEmptyString) {
  game.Run(GetSkeletonPath, nullptr, {}, true);
  EXPECT_EQ(game.assigned(), "");
  EXPECT_TRUE(game.console().empty());
  const std::string tooLong = std::string(600, 'x') + "\\Dog\\skeleton.nif";
  game.Run(GetSkeletonPath, ActorWithSkeleton(tooLong));
  EXPECT_EQ(game.assigned(), "");
  EXPECT_TRUE(Log().empty());
}

TEST_F(SkeletonCommands, GetSkeletonPathFailuresUseItsLogNames) {
  TESObjectREFR* dog = ActorWithSkeleton("Creatures\\Dog\\skeleton.nif");
  game.Throw("skeleton");
  EXPECT_EQ(game.Run(GetSkeletonPath, dog), 0);
  EXPECT_FALSE(game.assigned());
  game.ThrowInteger("skeleton");
  game.Run(GetSkeletonPath, dog);
  EXPECT_EQ(Log(), (std::vector<std::string>{"Exception in GetSkeletonPath: engine fault",
                                             "Exception in GetSkeletonPathr: 0x0badf00d"}));
}

}  // namespace
}  // namespace cv::queries
