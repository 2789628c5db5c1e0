// The simulated host as a plug-in sees it: registration, interfaces,
// argument extraction, string and array results, console, conditions.
#include <cstring>

#include "sim_fixture.h"

namespace cv::sim {
namespace {

using probe::LastSeen;

TEST_F(ProbeSession, RegistersInOrderFromTheOpcodeBase) {
  const std::vector<Registration>& r = host().registrations;
  ASSERT_EQ(r.size(), 8u);
  const char* names[] = {"Probe_Args",   "Probe_Console", "Probe_Str",    "Probe_Arr",
                         "Probe_BadArr", "Probe_Cond",    "Probe_Refuse", "Probe_Leak"};
  for (std::size_t i = 0; i < r.size(); ++i) {
    EXPECT_EQ(r[i].name, names[i]);
    EXPECT_EQ(r[i].opcode, probe::kOpcodeBase + i);
  }
  EXPECT_FALSE(r[0].typed);
  EXPECT_TRUE(r[2].typed);
  EXPECT_EQ(r[2].returnType, kRetnType_String);
  EXPECT_EQ(r[3].returnType, kRetnType_Array);
  // Commands are found by long or short name, in any case; the host's own
  // GetQuestVariable is in the same table.
  EXPECT_EQ(host().FindCommand("parGS"), host().FindCommand("Probe_Args"));
  EXPECT_EQ(host().FindCommand("probe_args")->opcode, probe::kOpcodeBase);
  EXPECT_EQ(CommandTableInterface()->GetByName("GetQuestVariable")->eval, GetQuestVariableEval);
  EXPECT_EQ(CommandTableInterface()->GetByOpcode(probe::kOpcodeBase + 2)->longName,
            std::string("Probe_Str"));
  EXPECT_EQ(host().interfaceQueries,
            (std::vector<UInt32>{kInterface_Messaging, kInterface_Script, kInterface_StringVar,
                                 kInterface_ArrayVar}));
}

TEST_F(ProbeSession, ExtractsEveryParameterType) {
  ASSERT_EQ(Run("quest 20\nform 14\nlist 50 14\n"
                "run - Probe_Args \"a \"\"b\"\"\" -12 2.5 20 50 0x14\nexpect 1"),
            kPassed)
      << err.str();
  const probe::Seen& s = LastSeen();
  EXPECT_TRUE(s.ok);
  EXPECT_STREQ(s.text, "a \"b\"");
  EXPECT_EQ(s.integer, 0xFFFFFFF4u);
  EXPECT_EQ(s.number, 2.5f);
  EXPECT_EQ(s.quest, reinterpret_cast<TESForm*>(world().Known(0x20)));
  EXPECT_EQ(s.list, reinterpret_cast<TESForm*>(world().Known(0x50)));
  EXPECT_EQ(s.any, reinterpret_cast<TESForm*>(world().Known(0x14)));

  // Bare words and numbers are texts; a fraction is cut for an integer;
  // none is no form; left-out optionals keep their pre-set values.
  ASSERT_EQ(Run("run - Probe_Args 12.50 3.9 1 none"), kPassed) << err.str();
  EXPECT_TRUE(LastSeen().ok);
  EXPECT_STREQ(LastSeen().text, "12.50");
  EXPECT_EQ(LastSeen().integer, 3u);
  EXPECT_EQ(LastSeen().quest, nullptr);
  EXPECT_EQ(LastSeen().list, probe::PresetForm());
  EXPECT_EQ(LastSeen().any, probe::PresetForm());

  ASSERT_EQ(Run("run - Probe_Args word 3"), kPassed);
  EXPECT_TRUE(LastSeen().ok);
  EXPECT_EQ(LastSeen().number, probe::kPresetNumber);
}

TEST_F(ProbeSession, PassesTextsWholeAsTheRealHostDoes) {
  // A literal up to the script compiler's 65,535 bytes, and a string
  // variable of any length, arrive whole (a longer literal does not compile:
  // CallsThatCannotBeReadStopTheRun).
  std::string text(65535, 'k');
  text.back() = 'Z';
  ASSERT_EQ(Run("run - Probe_Args \"" + text + "\" 1\nexpect 1"), kPassed) << err.str();
  EXPECT_EQ(std::string(LastSeen().text), text);
  ASSERT_EQ(Run("stringvar 3 \"" + text + "!\"\nrun - Probe_Args $3 1\nexpect 1"), kPassed)
      << err.str();
  EXPECT_EQ(std::string(LastSeen().text), text + "!");
  ASSERT_EQ(Run("run - Probe_Args $4 1\nexpect 0"), kPassed) << err.str();  // no such variable
}

TEST_F(ProbeSession, ExtractionFailsOnMissingOrWrongArguments) {
  ASSERT_EQ(Run("quest 20\nform 14\nlist 50\nform 15\nremove 15"), kPassed);
  // What only the running call can tell; what the script compiler would
  // refuse stops the run (CallsThatCannotBeReadStopTheRun).
  // As in the real host, the outputs before the failing argument are
  // written; the failing one and those after it keep their pre-set values.
  struct Case {
    const char* line;
    UInt32 integer;               // the integer output afterwards
    TESForm* probe::Seen::*kept;  // the failing form output, still pre-set
  };
  const Case cases[] = {
      {"run - Probe_Args a 3 1 14", 3, &probe::Seen::quest},      // a plain form for a quest
      {"run - Probe_Args a 3 1 20 20", 3, &probe::Seen::list},    // a quest for a form list
      {"run - Probe_Args a 3 1 20 50 15", 3, &probe::Seen::any},  // a form no longer there
      {"run - Probe_Args a 4294967296", probe::kPresetInteger, &probe::Seen::quest},  // too big
  };
  for (const Case& c : cases) {
    ASSERT_EQ(Run(c.line), kPassed) << c.line << "\n" << err.str();
    EXPECT_FALSE(LastSeen().ok) << c.line;
    EXPECT_STREQ(LastSeen().text, "a") << c.line;
    EXPECT_EQ(LastSeen().integer, c.integer) << c.line;
    EXPECT_EQ(LastSeen().*c.kept, probe::PresetForm()) << c.line;
    EXPECT_NE(out.str().find("Probe_Args => 0"), std::string::npos) << c.line;
  }
}

TEST_F(ProbeSession, CallsThatCannotBeReadStopTheRun) {
  struct Case {
    std::string text;
    const char* message;
  };
  const Case cases[] = {
      {"run - Probe_Args a 1 1 none none 0100FFFF", "t.scn:1: unknown form id 0x0100FFFF"},
      {"form 14\nrun 15 Probe_Console", "t.scn:2: unknown form id 0x00000015"},
      {"run - Probe_Nope", "t.scn:1: unknown command Probe_Nope"},
      {"run - Probe_Console 1", "t.scn:1: Probe_Console takes 0 argument(s), 1 given"},
      {"eval - Probe_Console", "t.scn:1: Probe_Console has no eval handler"},
      {"eval - Probe_Cond \"a\"",
       "t.scn:1: argument 1 (int) of Probe_Cond must be an integer, not \"a\""},
      // A condition's parameters are words: no text can be given, and a
      // required text parameter is never asked for.
      {"eval - Probe_Cond 1 \"b\"",
       "t.scn:1: argument 2 (text) of Probe_Cond cannot be given in a condition: a "
       "condition's parameters are 4-byte words, never text"},
      // As the script compiler would refuse them: a required argument left
      // out, or one its parameter cannot take.
      {"run - Probe_Args word", "t.scn:1: argument 2 (int) of Probe_Args is required"},
      {"run - Probe_Args", "t.scn:1: argument 1 (text) of Probe_Args is required"},
      {"eval - Probe_Cond", "t.scn:1: argument 1 (int) of Probe_Cond is required"},
      {"run - Probe_Args a \"3\"",
       "t.scn:1: argument 2 (int) of Probe_Args must be an integer, not \"3\""},
      {"run - Probe_Args a 3 \"2.5\"",
       "argument 3 (float) of Probe_Args must be a float, not \"2.5\""},
      {"run - Probe_Args a three", "argument 2 (int) of Probe_Args must be an integer, not three"},
      {"run - Probe_Args a 3 1 \"20\"",
       "argument 4 (quest) of Probe_Args must be a quest, not \"20\""},
      {"run - Probe_Args a 3 1 none 2.5",
       "argument 5 (list) of Probe_Args must be a form list, not 2.5"},
      {"run - Probe_Args a 3 1 none none x14", "argument 6 (any) of Probe_Args must be a form"},
      {"run - Probe_Args \"" + std::string(65536, 'k') + "\" 1",
       "argument 1 (text) of Probe_Args is a literal of 65536 bytes; a script's literal holds at "
       "most 65535"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(Run(c.text + "\nrun - Probe_Console"), kUnreadable) << c.text.substr(0, 80);
    EXPECT_NE(err.str().find(c.message), std::string::npos) << err.str();
    EXPECT_EQ(out.str().find("Probe_Console =>"), std::string::npos) << "ran past the error";
  }
}

TEST_F(ProbeSession, ConsoleModeAndConsoleLines) {
  ASSERT_EQ(Run("run - Probe_Console\nexpect 0\nexpect-console \"n=42 s=text\"\n"
                "console - Probe_Console\nexpect 1\nexpect-console \"n=42 s=text\"\n"
                "run - Probe_Str\nexpect-console none"),
            kPassed)
      << err.str();
  EXPECT_EQ(out.str(),
            "console: n=42 s=text\nProbe_Console => 0\n"
            "console: n=42 s=text\nProbe_Console => 1\n"
            "Probe_Str => \"say \"\"hi\"\"\"\n");
  EXPECT_FALSE(host().consoleMode);

  EXPECT_EQ(Run("run - Probe_Console\nexpect-console none\nexpect-console \"n=42\""), kCheckFailed);
  EXPECT_EQ(err.str(),
            "t.scn:2: FAIL expected no console line, got \"n=42 s=text\"\n"
            "t.scn:3: FAIL expected \"n=42\", got \"n=42 s=text\"\n");
}

// The game's console holds lines of 511 bytes: a longer one is misuse.
TEST_F(ProbeSession, TheConsoleHoldsLinesOfAtMost511Bytes) {
  const CVEngineInterface* engine = EngineInterface();
  host().errors.clear();
  engine->Console_Print("%s", std::string(511, 'x').c_str());
  EXPECT_EQ(host().errors, std::vector<std::string>{});
  engine->Console_Print("%s", std::string(512, 'x').c_str());
  EXPECT_EQ(host().errors,
            std::vector<std::string>{
                "Console_Print of a line of 512 bytes; the game's console holds 511"});
  host().errors.clear();
}

TEST_F(ProbeSession, OnePrintMayHoldSeveralLines) {
  CallFrame frame;
  host().frame = &frame;
  host().ConsoleLine("a\n\nb\n");
  host().frame = nullptr;
  EXPECT_EQ(frame.console, (std::vector<std::string>{"a", "", "b"}));
  EXPECT_EQ(out.str(), "console: a\nconsole: \nconsole: b\n");
}

TEST_F(ProbeSession, StringResults) {
  EXPECT_EQ(Run("run - Probe_Str\nexpect \"say \"\"hi\"\"\""), kPassed) << err.str();
  EXPECT_EQ(Run("run - Probe_Str\nexpect none"), kCheckFailed);
  EXPECT_EQ(err.str(), "t.scn:2: FAIL expected none, got \"say \"\"hi\"\"\"\n");
  EXPECT_EQ(Run("fault Assign 1 return\nrun - Probe_Str\nexpect none"), kPassed) << err.str();
}

TEST_F(ProbeSession, ArrayResultsCopyTheirStrings) {
  ASSERT_EQ(Run("npc 30 \"s\"\nactor 61 30\nrun 61 Probe_Arr\n"
                "expect-array b 2 \"a\" \"x\" f 0x61"),
            kPassed)
      << err.str();
  EXPECT_EQ(out.str(), "Probe_Arr => {\"a\": \"x\", \"b\": 2, \"f\": 0x00000061}\n");
  EXPECT_EQ(world().HeapAllocations(), 4u);
  EXPECT_EQ(world().HeapBlocks(), 0u);  // every string given back by the plug-in

  EXPECT_EQ(Run("run - Probe_Arr\nexpect-array b 2 a \"x\"\nexpect-array b 2 a \"x\" f none g 1"),
            kCheckFailed);
  EXPECT_EQ(
      err.str(),
      "t.scn:2: FAIL expected {\"b\": 2, \"a\": \"x\"}, got {\"a\": \"x\", \"b\": 2, \"f\": none}\n"
      "t.scn:3: FAIL expected {\"b\": 2, \"a\": \"x\", \"f\": none, \"g\": 1}, got {\"a\": "
      "\"x\", \"b\": 2, \"f\": none}\n");

  EXPECT_EQ(Run("fault CreateStringMap 1 return\nrun - Probe_Arr\nexpect none\nexpect-array"),
            kCheckFailed);
  EXPECT_EQ(err.str(), "t.scn:4: FAIL expected {}, got none\n");
  EXPECT_EQ(Run("fault SetElement 2 return\nrun - Probe_Arr\nexpect-array b 2 f none"), kPassed)
      << err.str();
  EXPECT_EQ(world().HeapBlocks(), 0u);
}

TEST_F(ProbeSession, MisuseOfTheHostFailsTheRun) {
  EXPECT_EQ(Run("run - Probe_BadArr"), kCheckFailed);
  EXPECT_NE(err.str().find("t.scn:1: FAIL expected the host used as published, got "
                           "CreateStringMap with no calling script"),
            std::string::npos)
      << err.str();
  // One game-heap block kept past the call fails it.
  EXPECT_EQ(Run("run - Probe_Leak"), kCheckFailed);
  EXPECT_EQ(err.str(),
            "t.scn:1: FAIL expected Probe_Leak to give back every game-heap block it made, got 1 "
            "block(s) left behind\n");
  const int checks = session->Checks(), failures = session->Failures();
  EXPECT_EQ(Run("run - Probe_Refuse\nexpect 5"), kCheckFailed);
  EXPECT_EQ(err.str(), "t.scn:1: FAIL expected Probe_Refuse to return true, got false\n");
  // The refused call counts as a failed check beside the expect that held.
  EXPECT_EQ(session->Checks() - checks, 2);
  EXPECT_EQ(session->Failures() - failures, 1);
}

TEST_F(ProbeSession, ConditionsGetTheirArgumentsAsWords) {
  EXPECT_EQ(Run("eval - Probe_Cond 7\nexpect 7\neval - Probe_Cond 12\nexpect 12"), kPassed)
      << err.str();
}

TEST_F(ProbeSession, ExtractionFaultFailsExactlyTheArmedCall) {
  ASSERT_EQ(Run("run - Probe_Args a 1\nfault extract 2 return\nrun - Probe_Args a 1\nexpect 1\n"
                "run - Probe_Args a 1\nexpect 0\nrun - Probe_Args a 1\nexpect 1"),
            kPassed)
      << err.str();
  EXPECT_EQ(Run("fault extract 1 return\nfault clear\nrun - Probe_Args a 1\nexpect 1"), kPassed);
}

TEST_F(ProbeSession, MessagesReachListenersForTheHost) {
  probe::MessagesSeen().clear();
  session->SendMessage(0);
  ASSERT_EQ(Run("message loadgame \"Save 1\"\nmessage newgame\nmessage 42 \"x\""), kPassed);
  EXPECT_EQ(probe::MessagesSeen(), (std::vector<UInt32>{0, 3, 14, 42}));
}

}  // namespace
}  // namespace cv::sim
