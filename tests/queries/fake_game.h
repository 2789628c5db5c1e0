// A small in-process game and host for the command tests: forms of the kinds
// the commands read, served through the engine table, and fake host slots
// (argument extraction, string variables, string results, console, and the
// GetQuestVariable record).
#pragma once

#include <map>
#include <memory>
#include <optional>
#include <string>
#include <variant>
#include <vector>

#include "host/host.h"

namespace cv::fake {

// One argument of a call, in the order of the command's parameters. A call
// that passes fewer arguments leaves the trailing outputs as pre-set, the way
// the host treats left-out optional arguments.
using Arg = std::variant<std::string, SInt32, float, TESForm*>;

using Handler = bool (*)(const host::CommandArgs&);

// The result slot holds this before every call, so a handler that fails to
// set its default result shows.
constexpr double kUnsetResult = -99.0;

struct FakeForm {
  UInt32 id = 0;
  UInt32 kind = 0;  // a kCVKind_ value; 0 for a plain form
  bool valid = true;
  std::string skeleton;                // actor base forms
  FakeForm* base = nullptr;            // references and actors
  FakeForm* parent = nullptr;          // linked base forms
  std::vector<TESForm*> entries;       // form lists
  bool hasProcess = false;             // actors
  FakeForm* activity = nullptr;        // actors: the AI process's current activity
  FakeForm* subject = nullptr;         // conversations
  FakeForm* target = nullptr;          // conversations
  std::map<UInt32, double> variables;  // quests
};

class FakeGame {
 public:
  // Binds the engine table and the host slots; the destructor unbinds them.
  FakeGame();
  ~FakeGame();
  FakeGame(const FakeGame&) = delete;
  FakeGame& operator=(const FakeGame&) = delete;

  // World.
  TESForm* Form(UInt32 id);
  TESForm* Quest(UInt32 id);
  TESForm* ActorBase(UInt32 id, const std::string& skeletonPath);
  TESForm* Linked(UInt32 id, TESForm* parent = nullptr);
  void SetParent(TESForm* linked, TESForm* parent);
  // An object that fails the valid-object test (a dangling link).
  TESForm* Invalid(UInt32 id);
  TESForm* List(UInt32 id, std::vector<TESForm*> entries);
  TESObjectREFR* Ref(UInt32 id, TESForm* base);
  TESObjectREFR* Actor(UInt32 id, TESForm* base, bool withProcess = true);
  // Makes the actor's current activity a conversation naming subject and
  // target (either may be null); EndTalk clears it. SetActivity gives the
  // actor any form as its activity.
  void Talk(TESObjectREFR* actor, TESObjectREFR* subject, TESObjectREFR* target);
  void EndTalk(TESObjectREFR* actor);
  void SetActivity(TESObjectREFR* actor, TESForm* activity);
  void StringVar(UInt32 id, const std::string& text);
  void QuestVar(TESForm* quest, UInt32 variable, double value);

  // Fills the GetQuestVariable slot with the game's record.
  void ProvideGetQuestVariable();
  // Makes GetQuestVariable write value and report failure.
  void FailGetQuestVariable(double value) { qvFailure_ = value; }
  const std::vector<UInt32>& questVariableRequests() const { return qvRequests_; }

  // Makes an engine operation throw std::runtime_error("engine fault"):
  // "skeleton", "entry", "activity", "string" or "extract".
  void Throw(const std::string& operation) { throwing_ = operation; }
  // The same with the integer 0x0BADF00D thrown.
  void ThrowInteger(const std::string& operation) {
    throwing_ = operation;
    throwInteger_ = true;
  }

  // Runs an execute handler; console makes IsConsoleMode true meanwhile.
  double Run(Handler handler, TESObjectREFR* thisObj, std::vector<Arg> args = {},
             bool console = false);
  // The same with an argument extraction that fails.
  double RunFailingExtraction(Handler handler, TESObjectREFR* thisObj, bool console = false);
  // The form id in the low 32 bits of the last result.
  UInt32 lastForm() const { return host::FormResult(&result_); }

  // What the last call did.
  const std::vector<std::string>& console() const { return console_; }
  const std::optional<std::string>& assigned() const { return assigned_; }
  // Engine and host operations in call order: "extract", "process", ...
  const std::vector<std::string>& trace() const { return trace_; }

  // The game the engine table serves.
  static FakeGame& Current();

 private:
  friend struct FakeEngine;

  FakeForm* Make(UInt32 id, UInt32 kind);
  FakeForm* Find(const void* object) const;
  void Enter(const char* operation);
  double Call(Handler handler, TESObjectREFR* thisObj, bool console);

  std::vector<std::unique_ptr<FakeForm>> forms_;
  std::map<UInt32, std::string> stringVars_;
  CommandInfo getQuestVariable_{};
  std::optional<double> qvFailure_;
  std::vector<UInt32> qvRequests_;
  std::string throwing_;
  bool throwInteger_ = false;

  bool consoleMode_ = false;
  bool failExtraction_ = false;
  std::vector<Arg> args_;
  double result_ = 0;
  std::vector<std::string> console_;
  std::optional<std::string> assigned_;
  std::vector<std::string> trace_;
};

// The lines of a text file with their line ends (LF or CR LF) removed.
std::vector<std::string> ReadLines(const char* path);

}  // namespace cv::fake
