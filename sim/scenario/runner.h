// Runs scenario statements against a host: world changes, calls, host
// messages and checks, with their output.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <ostream>
#include <string>
#include <string_view>
#include <vector>

#include "sim/host/host.h"
#include "sim/host/values.h"
#include "sim/scenario/report.h"
#include "sim/scenario/scenario.h"

namespace cv::sim::script {
class Interpreter;
}

namespace cv::sim {

enum ExitStatus { kPassed = 0, kCheckFailed = 1, kUnreadable = 2 };

// A statement that cannot run (unknown id or command, unfitting arguments).
struct ScenarioError {
  std::string message;
};

class Runner {
 public:
  Runner(Host& host, std::ostream& out, std::ostream& err, std::string gameRoot,
         std::string pluginLog = "corvane.log");
  ~Runner();

  // The seed of the scripts' random numbers (--seed).
  void SetSeed(std::uint32_t seed) { seed_ = seed; }

  // Runs the statements of one file (source: its text, for the report's
  // names of checks). kUnreadable when a statement could not run (the run
  // stops there, with a message naming file and line); kCheckFailed when a
  // check failed; else kPassed.
  int Run(const std::vector<Statement>& statements, const std::string& file,
          std::string_view source = {});

  // Over every run so far: the checks made (check statements, and each
  // failure a call or message brought) and how many of them failed.
  int Checks() const { return report_.Checks(); }
  int Failures() const { return report_.Failures(); }
  // Each check's outcome, and where a run stopped.
  Report& GetReport() { return report_; }
  const Report& GetReport() const { return report_; }

 private:
  void Execute(const Statement& s);
  void ChangeWorld(const Statement& s);
  void Call(const Statement& s);
  bool Invoke(const Statement& s, const CommandInfo& cmd, TESObjectREFR* thisObj,
              const std::vector<Token>& args, CallFrame& frame, double& result);
  CallValue ValueOf(const CommandInfo& cmd, const CallFrame& frame, double result) const;
  void SendMessage(const Statement& s);
  void Fault(const Statement& s);
  void Expect(const Statement& s);
  void ExpectFloat(const Statement& s);
  void ExpectArray(const Statement& s);
  void ExpectConsole(const Statement& s);
  void ExpectLog(const Statement& s);
  void ExpectFile(const Statement& s);
  void ShowFile(const Statement& s);
  // Scripts (script_statements.cpp).
  void ScriptStatement(const Statement& s);
  void LoadScript(const Statement& s);
  void CallScript(const Statement& s);
  void ApplyOptions(const Statement& s);
  void DefineGlobal(const Statement& s);
  void ScriptMessage(const Statement& s);
  void ExpectVar(const Statement& s);
  script::Interpreter& Scripts();

  // Calls are checked before they run, as the script compiler checks them:
  // every required argument given, each of a kind its parameter takes.
  // condition: the call is a condition's (eval), whose text parameters
  // cannot be given.
  void CheckArguments(const CommandInfo& cmd, const std::vector<Token>& args, bool condition) const;
  // A form named in a statement: it must have been defined before.
  Form* Resolve(const Token& t) const;
  Form* ResolveOrNone(const Token& t) const;
  std::string FilePath(const std::string& hostPath) const;
  void Fail(int line, const std::string& expected, const std::string& got);
  CheckRecord Record(int line, CheckRecord::Outcome outcome) const;
  void ReportHostErrors(int line);

  Host& host_;
  std::ostream& out_;
  std::ostream& err_;
  std::string gameRoot_;
  std::string pluginLog_;  // the log expect-log reads
  std::string file_;       // the file running, for FILE:LINE in failures
  bool failed_ = false;
  bool inCheck_ = false;  // a check statement is running
  CheckRecord check_;     // the outcome of the check statement running
  Report report_;
  std::vector<std::string> lines_;  // the running file's lines, for the report
  // The last call, for the checks.
  std::optional<CallValue> last_;
  std::vector<std::string> lastConsole_;
  // expect-log searches from this line (0-based) of the log.
  std::size_t logFrom_ = 0;
  // The scripts the scenario loads, and what their runs report.
  class ScriptSink;
  std::shared_ptr<ScriptSink> sink_;
  std::shared_ptr<script::Interpreter> scripts_;
  bool scriptsBroken_ = false;  // a script did not load: the run ends with status 2
  std::uint32_t seed_ = 0;
};

}  // namespace cv::sim
