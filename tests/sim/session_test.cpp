// The plug-in itself in the simulated host, in process.
#include "sim/scenario/session.h"

#include <gtest/gtest.h>

#include "plugin/plugin.h"

namespace cv::sim {
namespace {

PluginEntry Corvane() { return {"corvane", cv::plugin::Query, cv::plugin::Load}; }

TEST(CorvaneInSim, VersionFromScriptAndConsole) {
  RunResult r = RunScenarioText(Corvane(),
                                "run - CV_GetVersion\nexpect 19\nexpect-console none\n"
                                "console - CV_GetVersion\nexpect 19\n"
                                "expect-console \"Corvane version: 19\"\n"
                                "expect-log \"Standard Corvane ready\"\n"
                                "expect-log \"Corvane 19, runtime 040020D0, NVSE 06030000, "
                                "engine: simulator\"\n");
  EXPECT_EQ(r.status, kPassed) << r.err;
  EXPECT_EQ(r.err, "");
  EXPECT_EQ(r.out, "CV_GetVersion => 19\nconsole: Corvane version: 19\nCV_GetVersion => 19\n");
}

TEST(CorvaneInSim, FailedExpectGoesOnAndExitsOne) {
  RunResult r = RunScenarioText(Corvane(),
                                "# a wrong expectation\nrun - CV_GetVersion\nexpect 20\n"
                                "expect \"19\"\nrun - CV_GetVersion\nexpect 19\n");
  EXPECT_EQ(r.status, kCheckFailed);
  EXPECT_EQ(r.err,
            "<text>:3: FAIL expected 20, got 19\n"
            "<text>:4: FAIL expected \"19\", got 19\n");
  EXPECT_EQ(r.out, "CV_GetVersion => 19\nCV_GetVersion => 19\n");
  EXPECT_EQ(r.checks, 3);
  EXPECT_EQ(r.failures, 2);
}

TEST(CorvaneInSim, UnknownStatementExitsTwoWithItsLine) {
  RunResult r = RunScenarioText(Corvane(), "run - CV_GetVersion\n\n# note\nlaunch rockets\n");
  EXPECT_EQ(r.status, kUnreadable);
  EXPECT_EQ(r.err, "<text>:4: unknown statement launch\n");
  EXPECT_EQ(r.out, "");  // the file is read whole before anything runs
}

TEST(CorvaneInSim, RegistersTheCommandTableAndKeepsInterfaces) {
  std::ostringstream out, err;
  Session s(out, err);
  ASSERT_TRUE(s.LoadPlugin(Corvane()));
  const std::vector<Registration>& r = s.host().registrations;
  ASSERT_EQ(r.size(), 21u);
  EXPECT_EQ(r.front().name, "CV_GetVersion");
  EXPECT_EQ(r.front().opcode, 0x2140u);
  EXPECT_EQ(r.back().opcode, 0x2154u);
  EXPECT_EQ(s.host().FindCommand("GetEVFl"), s.host().FindCommand("CV_GetEVFl"));
  EXPECT_EQ(s.host().interfaceQueries,
            (std::vector<UInt32>{kInterface_Messaging, kInterface_ArrayVar, kInterface_StringVar,
                                 kInterface_Script, kInterface_CommandTable}));
  ASSERT_EQ(s.Plugins().size(), 1u);
  EXPECT_STREQ(s.Plugins()[0].info.name, "Corvane");
  EXPECT_EQ(s.Plugins()[0].info.version, 19u);
}

TEST(CorvaneInSim, EditorAndRefusedRuntime) {
  std::ostringstream out, err;
  {
    Options editor;
    editor.editor = true;
    Session s(out, err, editor);
    ASSERT_TRUE(s.LoadPlugin(Corvane()));
    EXPECT_EQ(s.host().registrations.size(), 21u);
    EXPECT_TRUE(s.host().interfaceQueries.empty());
  }
  Options nogore;
  nogore.runtime = 0x040020C0;
  Session s(out, err, nogore);
  EXPECT_FALSE(s.LoadPlugin(Corvane()));
  EXPECT_TRUE(s.host().registrations.empty());
  EXPECT_EQ(s.RunText("run - CV_GetVersion", "t"), kUnreadable);
}

}  // namespace
}  // namespace cv::sim
