// A command called with evaluated arguments (the script interpreter's path
// into a plug-in), and what any call gives back.
#include <array>
#include <string_view>

#include "sim/host/host.h"

namespace cv::sim {

namespace {

// Commands that hand back a form in an untyped result.
constexpr std::array<std::string_view, 4> kFormResultCommands = {
    "CV_GetEVFo", "CV_GetConversationPartner", "CV_SetEvConversationSubject",
    "CV_SetEvConversationTarget"};

bool IsFormCommand(const CommandInfo& cmd, CommandReturnType type) {
  if (type == kRetnType_Form) return true;
  if (cmd.longName == nullptr) return false;
  const std::string_view longName(cmd.longName);
  for (std::string_view name : kFormResultCommands)
    if (name == longName) return true;
  return false;
}

// Stand-ins for the calling script and its variables; the plug-in only
// passes them back to the host.
struct ScriptTag {
  int unused;
};
ScriptTag g_script{0};
ScriptTag g_eventList{0};

}  // namespace

CallValue ResultOf(const Host& host, const CommandInfo& cmd, const CallFrame& frame,
                   double result) {
  CallValue v;
  v.number = result;
  CommandReturnType type = host.ReturnTypeOf(&cmd);
  if (type == kRetnType_String) {
    v.type = CallValue::Type::String;
    v.text = frame.stringResult;
  } else if (type == kRetnType_Array) {
    v.type = CallValue::Type::Array;
    if (const ArrayVar* arr = host.FindArray(frame.arrayResult)) v.array = arr->items;
  } else if (IsFormCommand(cmd, type)) {
    v.type = CallValue::Type::Form;
  }
  return v;
}

CommandCall CallWithValues(Host& host, const CommandInfo& cmd, Form* thisObj,
                           const std::vector<TypedArg>& args) {
  CallFrame frame;
  CommandCall call;
  CallWithValues(host, cmd, thisObj, args, frame, call);
  return call;
}

void CallWithValues(Host& host, const CommandInfo& cmd, Form* thisObj,
                    const std::vector<TypedArg>& args, CallFrame& frame, CommandCall& call) {
  // Every field set again: the caller may hand in the last call's.
  call.ok = false;
  call.escaped = false;
  call.arrayKind = ArrayVar::Kind::Array;
  call.heapLeft = 0;
  call.hostErrors.clear();
  frame.command = &cmd;
  frame.args = nullptr;
  frame.typedArgs = &args;
  frame.opcodeOffset = 0;
  double result = 0;
  frame.result = &result;
  frame.console.clear();
  frame.stringResult.reset();
  frame.arrayResult = nullptr;
  host.errors.clear();
  const std::size_t heapBefore = host.world.HeapBlocks();
  CallFrame* outer = host.frame;
  host.frame = &frame;
  host.world.Publish(false);
  try {
    if (cmd.execute != nullptr)
      call.ok = cmd.execute(
          cmd.params, &frame, static_cast<TESObjectREFR*>(host.world.Handle(thisObj)), nullptr,
          reinterpret_cast<Script*>(&g_script), reinterpret_cast<ScriptEventList*>(&g_eventList),
          &result, &frame.opcodeOffset);
  } catch (...) {
    call.escaped = true;
  }
  host.frame = outer;
  call.value = ResultOf(host, cmd, frame, result);
  if (const ArrayVar* arr = host.FindArray(frame.arrayResult)) call.arrayKind = arr->kind;
  call.console = std::move(frame.console);
  frame.console.clear();
  if (std::size_t now = host.world.HeapBlocks(); now > heapBefore) call.heapLeft = now - heapBefore;
  if (!host.errors.empty()) call.hostErrors = host.errors;
  frame.result = nullptr;  // it pointed at this call's own result
}

}  // namespace cv::sim
