// Scenario files: one statement a line, checked for shape when read.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "sim/host/tokens.h"

namespace cv::sim {

enum class Verb {
  // world
  LoadOrder,
  Mod,
  Form,
  Quest,
  Global,
  Npc,
  Creature,
  Leveled,
  Linked,
  List,
  Ref,
  Actor,
  Talk,
  StringVar,
  QuestVar,
  Remove,
  // calls
  Run,
  Console,
  Eval,
  // host messages
  Message,
  // checks
  Expect,
  ExpectFloat,
  ExpectArray,
  ExpectConsole,
  ExpectLog,
  ExpectFile,
  ShowFile,
  // test seams
  Fault,
  // scripts (script_statements.cpp)
  Script,
  CallScript,
  Event,
  Frames,
  StartQuest,
  StopQuest,
  ExpectVar,
  ExpectVarFloat,
};

struct Statement {
  int line = 0;
  Verb verb = Verb::Form;
  std::vector<Token> args;  // the tokens after the statement word
  // A form-defining statement's keyword options name, script and delay
  // (taken out of args), with their values.
  std::vector<std::pair<std::string, Token>> options;
};

// Editor ids: every form-defining statement may take `name EDITORID`, and
// later statements may name the form by it; player and PlayerREF name
// 00000014. Takes the keyword options (name, script, delay) out of the
// statement's arguments and writes each editor id a later statement uses
// as its form id. names maps folded editor ids to form ids. An empty
// string when the statement fits, else what is wrong.
std::string ApplyNames(Statement& s, std::vector<std::pair<std::string, UInt32>>& names);

struct ParseError {
  int line = 0;
  std::string message;
};

// Reads a whole scenario. False with the first error when a line is not a
// well-formed statement; ids, commands and arguments of calls are checked
// later, when the statement runs.
bool ParseScenario(std::string_view text, std::vector<Statement>& out, ParseError& error);

// The words after the id of an npc or creature statement:
// [MODEL] [template TEMPLATE] [use-model].
struct ActorBaseArgs {
  std::string model;
  const Token* templateForm = nullptr;  // points into the statement's tokens
  bool useModel = false;
};
// An empty string when the words fit, else what is wrong.
std::string ParseActorBaseArgs(const std::vector<Token>& args, ActorBaseArgs& out);

// The message type named by a message statement word, or -1.
int MessageTypeByName(std::string_view name);
// Whether the message type named so carries a text.
bool MessageNameTakesText(std::string_view name);

}  // namespace cv::sim
