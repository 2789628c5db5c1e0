// The run's report: its summary line, the JUnit XML text and the record a
// run in a fresh copy hands back; and what a session puts into it.
#include "sim/scenario/report.h"

#include <gtest/gtest.h>

#include <sstream>

#include "plugin/plugin.h"
#include "sim/scenario/session.h"

namespace cv::sim {
namespace {

using Outcome = CheckRecord::Outcome;

CheckRecord Rec(Outcome o, std::string file, int line, std::string statement = {}) {
  CheckRecord r;
  r.outcome = o;
  r.file = std::move(file);
  r.line = line;
  r.statement = std::move(statement);
  if (o == Outcome::Failed) r.expected = "2", r.got = "1";
  if (o == Outcome::Stopped) r.message = "unknown statement launch";
  return r;
}

Report Of(std::vector<CheckRecord> records) {
  Report report;
  for (CheckRecord& r : records) report.Add(std::move(r));
  return report;
}

struct SummaryCase {
  const char* name;
  std::vector<CheckRecord> records;
  const char* line;
};

TEST(RunReport, SummaryLine) {
  std::vector<CheckRecord> tenFailed(10, Rec(Outcome::Failed, "a.scn", 3));
  tenFailed.push_back(Rec(Outcome::Stopped, "a.scn", 9));
  const SummaryCase cases[] = {
      {"nothing ran", {}, "0 checks, 0 failed"},
      {"held and failed",
       {Rec(Outcome::Held, "a.scn", 2), Rec(Outcome::Failed, "a.scn", 3)},
       "2 checks, 1 failed"},
      {"stopped, none failed",
       {Rec(Outcome::Held, "a.scn", 2), Rec(Outcome::Stopped, "b.scn", 7)},
       "stopped at b.scn:7: 1 checks before it, none failed"},
      {"stopped before any check",
       {Rec(Outcome::Stopped, "a.scn", 1)},
       "stopped at a.scn:1: 0 checks before it, none failed"},
      {"stopped after ten failures", tenFailed,
       "stopped at a.scn:9: 10 checks before it, 10 of them failed"},
      {"a file that cannot be read",
       {Rec(Outcome::Stopped, "gone.scn", 0)},
       "stopped at gone.scn: 0 checks before it, none failed"},
  };
  for (const SummaryCase& c : cases) {
    SCOPED_TRACE(c.name);
    Report report = Of(c.records);
    std::string line = report.SummaryLine();
    EXPECT_EQ(line, c.line);
    // A batch file that looks for "0 failed" must not take a stopped run
    // for a passed one.
    if (report.Stop() != nullptr) {
      EXPECT_EQ(line.find("0 failed"), std::string::npos);
    }
  }
}

struct EscapeCase {
  const char* name;
  std::string in;
  std::string out;
};

TEST(RunReport, XmlEscape) {
  const EscapeCase cases[] = {
      {"markup", "<a & \"b\" 'c'>", "&lt;a &amp; &quot;b&quot; &apos;c&apos;&gt;"},
      {"line ends and tab as references", "a\tb\nc\r", "a&#9;b&#10;c&#13;"},
      {"control bytes",
       std::string("a\x01"
                   "b\x1F"
                   "c",
                   5) +
           std::string(1, '\0'),
       "a\\x01b\\x1Fc\\x00"},
      {"UTF-8 kept", "Adi\xC3\xB3s \xE2\x82\xAC \xF0\x9F\x98\x80",
       "Adi\xC3\xB3s \xE2\x82\xAC \xF0\x9F\x98\x80"},
      {"a stray continuation byte", "a\x80z", "a\\x80z"},
      {"Latin-1, not UTF-8", "Jos\xE9", "Jos\\xE9"},
      {"an overlong form", "\xC0\xAF", "\\xC0\\xAF"},
      {"a surrogate", "\xED\xA0\x80", "\\xED\\xA0\\x80"},
      {"a sequence cut short", "\xE2\x82", "\\xE2\\x82"},
      {"above U+10FFFF", "\xF4\x90\x80\x80", "\\xF4\\x90\\x80\\x80"},
      {"U+FFFE", "\xEF\xBF\xBE", "\\xEF\\xBF\\xBE"},
  };
  for (const EscapeCase& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(XmlEscape(c.in), c.out);
  }
}

TEST(RunReport, JUnitHoldsEachCheckFailureAndStop) {
  CheckRecord failed = Rec(Outcome::Failed, "m.scn", 23, "expect 2");
  Report report = Of({Rec(Outcome::Held, "m.scn", 8, "expect 3"), failed,
                      Rec(Outcome::Held, "n.scn", 4, "expect \"<&>\""),
                      Rec(Outcome::Stopped, "n.scn", 7, "launch rockets")});
  std::ostringstream xml;
  report.WriteJUnit(xml);
  const std::string text = xml.str();
  EXPECT_NE(text.find("<testsuites name=\"corvane-sim\" tests=\"4\" failures=\"1\" errors=\"1\">"),
            std::string::npos)
      << text;
  EXPECT_NE(text.find("<testsuite name=\"m.scn\" tests=\"2\" failures=\"1\" errors=\"0\">"),
            std::string::npos);
  EXPECT_NE(text.find("<testsuite name=\"n.scn\" tests=\"2\" failures=\"0\" errors=\"1\">"),
            std::string::npos);
  EXPECT_NE(text.find("name=\"m.scn:23: expect 2\" file=\"m.scn\" line=\"23\">\n"
                      "      <failure type=\"check\" message=\"m.scn:23: expected 2, got 1\">"),
            std::string::npos)
      << text;
  EXPECT_NE(text.find("name=\"n.scn:4: expect &quot;&lt;&amp;&gt;&quot;\""), std::string::npos);
  EXPECT_NE(text.find("<error type=\"stopped\" message=\"n.scn:7: unknown statement launch\">"),
            std::string::npos);
  // A long statement is cut in the name.
  Report longOne =
      Of({Rec(Outcome::Held, "l.scn", 2, "expect \"" + std::string(5000, 'x') + "\"")});
  std::ostringstream longXml;
  longOne.WriteJUnit(longXml);
  EXPECT_NE(longXml.str().find("name=\"l.scn:2: expect &quot;" + std::string(192, 'x') + "...\""),
            std::string::npos);
  // One element per failure and per stop.
  EXPECT_EQ(text.find("<failure"), text.rfind("<failure"));
  EXPECT_EQ(text.find("<error"), text.rfind("<error"));
}

TEST(RunReport, SerializedRecordsComeBackWhole) {
  CheckRecord odd = Rec(Outcome::Failed, "C:\\Mods\\t\\a.scn", 12, "expect \"a\\tb\"");
  odd.expected = "\"tab\there\\n\"";
  odd.got = "line\nbreak\r\\";
  Report report = Of({Rec(Outcome::Held, "a.scn", 1), odd, Rec(Outcome::Stopped, "b.scn", 0)});
  Report back;
  ASSERT_TRUE(back.Load(report.Serialize()));
  ASSERT_EQ(back.Records().size(), 3u);
  const CheckRecord& r = back.Records()[1];
  EXPECT_EQ(r.outcome, Outcome::Failed);
  EXPECT_EQ(r.file, odd.file);
  EXPECT_EQ(r.line, 12);
  EXPECT_EQ(r.statement, odd.statement);
  EXPECT_EQ(r.expected, odd.expected);
  EXPECT_EQ(r.got, odd.got);
  EXPECT_EQ(back.Records()[2].message, "unknown statement launch");
  EXPECT_EQ(back.SummaryLine(), report.SummaryLine());

  const std::string whole = report.Serialize();
  const struct {
    const char* name;
    std::string text;
  } refused[] = {
      {"old counts", "4 1\n"},
      {"cut short", whole.substr(0, whole.size() - 1)},
      {"unknown outcome", "corvane-sim results 1\nX\t1\ta\t\t\t\t\n"},
      {"a field missing", "corvane-sim results 1\nH\t1\ta\t\t\t\n"},
      {"a bad line number", "corvane-sim results 1\nH\t1x\ta\t\t\t\t\n"},
      {"a bad escape", "corvane-sim results 1\nH\t1\ta\\q\t\t\t\t\n"},
  };
  for (const auto& c : refused) {
    SCOPED_TRACE(c.name);
    Report r = Of({Rec(Outcome::Held, "kept.scn", 1)});
    EXPECT_FALSE(r.Load(c.text));
    EXPECT_EQ(r.Records().size(), 1u);  // left as it was
  }
}

PluginEntry Corvane() { return {"corvane", cv::plugin::Query, cv::plugin::Load}; }

struct SessionCase {
  const char* name;
  const char* text;
  int status;
  const char* summary;
  std::vector<std::pair<int, Outcome>> records;  // line and outcome of each
};

TEST(RunReport, SessionRecordsEveryCheckAndTheStop) {
  const SessionCase cases[] = {
      {"checks run to the end",
       "run - CV_GetVersion\nexpect 19\n  expect 20\n",
       kCheckFailed,
       "2 checks, 1 failed",
       {{2, Outcome::Held}, {3, Outcome::Failed}}},
      {"a call the compiler refuses stops the run",
       "actor 00000014 none\nrun - CV_GetVersion\nexpect 19\nrun 00000014 CV_SetEVFl k\n"
       "expect 1\n",
       kUnreadable,
       "stopped at <text>:4: 1 checks before it, none failed",
       {{3, Outcome::Held}, {4, Outcome::Stopped}}},
      {"an unknown id stops it after a failure",
       "run - CV_GetVersion\nexpect 1\nrun 0badf00d CV_GetEVFl k\n",
       kUnreadable,
       "stopped at <text>:3: 1 checks before it, 1 of them failed",
       {{2, Outcome::Failed}, {3, Outcome::Stopped}}},
      {"a line that is no statement stops it before anything runs",
       "run - CV_GetVersion\nexpect 19\nlaunch rockets\n",
       kUnreadable,
       "stopped at <text>:3: 0 checks before it, none failed",
       {{3, Outcome::Stopped}}},
  };
  for (const SessionCase& c : cases) {
    SCOPED_TRACE(c.name);
    std::ostringstream out, err;
    Session s(out, err);
    s.LoadPlugin(Corvane());
    s.SendStartUpMessages();
    EXPECT_EQ(s.RunText(c.text, "<text>"), c.status) << err.str();
    EXPECT_EQ(s.GetReport().SummaryLine(), c.summary);
    const std::vector<CheckRecord>& got = s.GetReport().Records();
    ASSERT_EQ(got.size(), c.records.size());
    for (std::size_t i = 0; i < got.size(); ++i) {
      EXPECT_EQ(got[i].line, c.records[i].first) << i;
      EXPECT_EQ(got[i].outcome, c.records[i].second) << i;
      EXPECT_EQ(got[i].file, "<text>");
    }
  }
}

TEST(RunReport, AFailedCheckNamesItsLineAndValues) {
  RunResult r = RunScenarioText(Corvane(), "run - CV_GetVersion\n\t expect 20\r\n");
  EXPECT_EQ(r.summary, "1 checks, 1 failed");
  std::ostringstream out, err;
  Session s(out, err);
  s.LoadPlugin(Corvane());
  s.RunText("run - CV_GetVersion\n\t expect 20\r\n", "m.scn");
  ASSERT_EQ(s.GetReport().Records().size(), 1u);
  const CheckRecord& c = s.GetReport().Records()[0];
  EXPECT_EQ(c.statement, "expect 20");
  EXPECT_EQ(c.expected, "20");
  EXPECT_EQ(c.got, "19");
  // The records of a session's runs add up.
  s.RunText("run - CV_GetVersion\nexpect 19\n", "n.scn");
  EXPECT_EQ(s.GetReport().SummaryLine(), "2 checks, 1 failed");
}

}  // namespace
}  // namespace cv::sim
