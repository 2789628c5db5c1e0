// The simulated NVSE host: the load-time interface, command registration,
// messaging, argument extraction, string and array variables, the command
// table and the engine table, all served over one World.
//
// The host's interfaces are plain function-pointer tables, so they reach the
// host through Host::Active(): one host is active at a time.
#pragma once

#include <array>
#include <memory>
#include <ostream>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "host/engine_table.h"
#include "platform/program_export.h"
#include "sim/host/tokens.h"
#include "sim/host/values.h"
#include "sim/world/world.h"

// The simulated game's engine table, exported by the program (see
// EngineInterface below).
CORVANE_PROGRAM_EXPORT const CVEngineInterface* CorvaneSimEngine();

namespace cv::sim {

struct Registration {
  std::string name;
  UInt32 opcode = 0;
  bool typed = false;  // RegisterTypedCommand
  CommandReturnType returnType = kRetnType_Default;
};

// The command that is running: ExtractArgsEx and Assign find it through the
// scriptData and opcodeOffsetPtr the host passed to the handler.
// An argument a script has already evaluated, for a call from the script
// interpreter rather than from a scenario's tokens.
struct TypedArg {
  enum class Kind { Number, Form, String } kind = Kind::Number;
  double number = 0;
  UInt32 form = 0;  // 0: none
  std::string text;
};

struct CallFrame {
  const CommandInfo* command = nullptr;
  const std::vector<Token>* args = nullptr;          // the call's argument tokens
  const std::vector<TypedArg>* typedArgs = nullptr;  // or its evaluated arguments
  UInt32 opcodeOffset = 0;
  double* result = nullptr;
  std::vector<std::string> console;         // lines printed during the call
  std::optional<std::string> stringResult;  // set by Assign
  const void* arrayResult = nullptr;        // the array AssignCommandResult named
};

struct ArrayVar {
  UInt32 id = 0;
  ArrayValue items;
  // How it was made: CreateArray, CreateMap or CreateStringMap.
  enum class Kind { Array, Map, StringMap } kind = Kind::Array;
};

struct Listener {
  PluginHandle owner = kPluginHandle_Invalid;
  std::string sender;  // empty: every sender
  NVSEMessagingInterface::EventCallback callback = nullptr;
};

class Host {
 public:
  Host(World& world, std::ostream& out, bool editor, UInt32 runtime);
  ~Host();
  Host(const Host&) = delete;
  Host& operator=(const Host&) = delete;

  // The host the interface tables serve; null when none is active.
  static Host* Active();
  // Makes this host the active one (the one made last is, otherwise), for a
  // program that runs two sessions side by side, as the binding bench does.
  void Activate();

  World& world;
  std::ostream& out;
  // The engine table the program exports for the plug-in to find. Taking it
  // here also keeps the exporting object in every program that links the
  // simulator from its static library.
  const CVEngineInterface* engine = CorvaneSimEngine();
  NVSEInterface nvse{};

  // Registration and look-up. Commands live in one table: the host's own
  // first, then the plug-ins' in registration order.
  std::vector<CommandInfo> commands;
  std::vector<CommandReturnType> returnTypes;  // parallel to commands
  std::vector<Registration> registrations;     // plug-in registrations only
  std::vector<UInt32> interfaceQueries;        // QueryInterface ids in order
  UInt32 nextOpcode = 0;
  PluginHandle loadingHandle = kPluginHandle_Invalid;
  std::vector<std::string> pluginNames;  // by handle
  std::vector<Listener> listeners;

  const CommandInfo* FindCommand(std::string_view name) const;
  CommandReturnType ReturnTypeOf(const CommandInfo* info) const;
  // The game's own commands (not registered by a plug-in).
  bool IsGameCommand(const CommandInfo* info) const;
  bool Register(CommandInfo* info, CommandReturnType type, bool typed);

  // Sends a message from the host ("NVSE") to the listeners for it.
  void SendMessage(UInt32 type, const char* text);

  // The running call, console mode and console output.
  CallFrame* frame = nullptr;
  bool consoleMode = false;
  void ConsoleLine(std::string_view text);

  // Host arrays, by the handle given out.
  std::unordered_map<const void*, std::unique_ptr<ArrayVar>> arrays;
  UInt32 nextArrayId = 1;
  ArrayVar* FindArray(const void* handle) const;

  // Misuse of the host by a plug-in (a string element not from the game
  // heap, an unknown array, an invalid form pointer). The runner reports
  // these as failures.
  std::vector<std::string> errors;
  void Error(std::string message) { errors.push_back(std::move(message)); }

 private:
  Host* previous_ = nullptr;
  std::size_t gameCommands_ = 0;
};

// The interface tables handed out by QueryInterface.
NVSEMessagingInterface* MessagingInterface();
NVSEScriptInterface* ScriptInterface();
NVSEStringVarInterface* StringVarInterface();
NVSEArrayVarInterface* ArrayVarInterface();
NVSECommandTableInterface* CommandTableInterface();
// The simulated game's engine table. The real host serves no such table; the
// program exports it as CorvaneSimEngine, where the plug-in looks for it.
const CVEngineInterface* EngineInterface();
// For the corvane-sim program, before it loads plug-ins: the game's world in
// the miniature game image where one can be built (Windows), in which case
// the program serves no engine table.
void StartGameImage();

// The value an argument token gives a parameter of this type, or false when
// the token does not fit (a quoted string for a number, a form of the wrong
// kind, a form that is not in the world).
struct ArgValue {
  std::string text;
  UInt32 integer = 0;
  float number = 0;
  Form* form = nullptr;
};
bool ConvertArg(const World& world, const Token& token, UInt32 paramType, ArgValue& out);
// The same for an evaluated argument: a number for a number parameter (0
// also for a form parameter, as none), a form for a form parameter, a
// string for a string parameter.
bool ConvertTypedArg(const World& world, const TypedArg& arg, UInt32 paramType, ArgValue& out);

// What a call gives back, by the command's return type: a number, a form
// (the low 32 bits), a string (Assign) or an array (AssignCommandResult).
CallValue ResultOf(const Host& host, const CommandInfo& cmd, const CallFrame& frame, double result);

// One call of a command's execute handler with evaluated arguments, through
// the same extraction, string and array interfaces a scenario's run takes.
struct CommandCall {
  bool ok = false;       // the handler returned true
  bool escaped = false;  // an exception left the handler
  CallValue value;
  ArrayVar::Kind arrayKind = ArrayVar::Kind::Array;  // an array result's kind
  std::vector<std::string> console;                  // lines printed during the call
  std::size_t heapLeft = 0;                          // game-heap blocks the call left behind
  std::vector<std::string> hostErrors;
};
CommandCall CallWithValues(Host& host, const CommandInfo& cmd, Form* thisObj,
                           const std::vector<TypedArg>& args);
// The same into a frame and a result the caller keeps from call to call (the
// script interpreter keeps one of each per call depth): setting their fields
// again costs less than making them anew on every call.
void CallWithValues(Host& host, const CommandInfo& cmd, Form* thisObj,
                    const std::vector<TypedArg>& args, CallFrame& frame, CommandCall& call);
bool IsFormParam(UInt32 paramType);

// The game's own GetQuestVariable: its eval handler takes the quest and the
// variable number (as the second argument word).
bool GetQuestVariableEval(TESObjectREFR* thisObj, void* quest, void* variable, double* result);

}  // namespace cv::sim
