// Typed access to the host's interfaces for the command handlers.
//
// The raw records live in nvse_records.h; this layer keeps the interface
// pointers the plug-in obtained at load and wraps the calls the handlers make,
// so that no handler touches a raw function pointer or forgets a null check.
#pragma once

#include <cstring>
#include <string_view>

#include "host/nvse_records.h"

namespace cv::host {

// The eight arguments the host passes to every execute handler.
struct CommandArgs {
  ParamInfo* paramInfo;
  void* scriptData;
  TESObjectREFR* thisObj;
  TESObjectREFR* containingObj;
  Script* scriptObj;
  ScriptEventList* eventList;
  double* result;
  UInt32* opcodeOffsetPtr;
};

// The host slots the plug-in keeps for the life of the library.
struct Slots {
  PluginHandle pluginHandle = kPluginHandle_Invalid;
  NVSEArrayVarInterface* arrayVar = nullptr;
  NVSEStringVarInterface* stringVar = nullptr;
  NVSEScriptInterface* script = nullptr;
  NVSECommandTableInterface* commandTable = nullptr;
  const CommandInfo* getQuestVariable = nullptr;
};

Slots& TheSlots();

// Text arguments arrive in buffers of this size. The host writes a string
// argument with no bound at all: a literal can be 65,535 bytes, and a string
// variable or an expression result any length. Nothing on the plug-in's side
// can stop a longer text; a megabyte holds anything a script can sensibly
// pass.
constexpr std::size_t kArgBufferSize = std::size_t{1} << 20;

// One text argument's buffer, taken from a pool outside the stack for as
// long as the handler runs. A command whose arguments run another command
// (an expression argument) gets buffers of its own, so the inner call never
// writes over the outer call's text. Starts as the empty text. Throws
// std::bad_alloc when a new buffer cannot be had.
class TextArg {
 public:
  TextArg();
  ~TextArg();
  TextArg(const TextArg&) = delete;
  TextArg& operator=(const TextArg&) = delete;
  char* data() const { return data_; }
  void clear() { data_[0] = '\0'; }

 private:
  char* data_;
};

// The text of an argument buffer: the bytes before the first NUL, at most
// kArgBufferSize - 1 of them even when the host left no terminator.
inline std::string_view ArgText(const TextArg& buf) {
  return std::string_view(buf.data(), ::strnlen(buf.data(), kArgBufferSize - 1));
}

namespace detail {
inline char* OutPointer(TextArg& text) { return text.data(); }
template <class T>
T* OutPointer(T* out) {
  return out;
}
}  // namespace detail

// ExtractArgsEx with one output per declared parameter: a TextArg for a
// string, a pointer for every other type. False when the host has no script
// interface or could not read the arguments.
template <class... Outs>
bool ExtractArgs(const CommandArgs& a, Outs&&... outs) {
  NVSEScriptInterface* s = TheSlots().script;
  if (s == nullptr || s->ExtractArgsEx == nullptr) return false;
  return s->ExtractArgsEx(a.paramInfo, a.scriptData, a.opcodeOffsetPtr, a.scriptObj, a.eventList,
                          detail::OutPointer(outs)...);
}

// Makes text the command's string result.
bool AssignString(const CommandArgs& a, const char* text);

// Host string variable text, or null.
const char* GetStringVar(UInt32 id);

// Host arrays.
using Array = NVSEArrayVarInterface::Array;
Array* CreateStringMap(Script* owner);
void SetNumber(Array* arr, std::string_view key, double value);
void SetForm(Array* arr, std::string_view key, TESForm* form);
void SetString(Array* arr, std::string_view key, std::string_view value);
bool AssignArrayResult(Array* arr, double* result);

// Host command table look-up; null when there is no table or no such command.
const CommandInfo* CommandByName(const char* name);

// A command that hands back a form writes its id into the low 32 bits of the
// result and leaves the upper 32 bits as they are.
inline void SetFormResult(double* result, UInt32 refID) {
  std::memcpy(reinterpret_cast<unsigned char*>(result), &refID, sizeof refID);
}
inline UInt32 FormResult(const double* result) {
  UInt32 id;
  std::memcpy(&id, reinterpret_cast<const unsigned char*>(result), sizeof id);
  return id;
}

}  // namespace cv::host

namespace cv::host {

// Adapts a handler written against CommandArgs to the host's execute
// signature. Handlers guard their own bodies; noexcept makes certain that no
// exception can ever unwind into the host.
template <bool (*Handler)(const CommandArgs&)>
bool Execute(ParamInfo* paramInfo, void* scriptData, TESObjectREFR* thisObj,
             TESObjectREFR* containingObj, Script* scriptObj, ScriptEventList* eventList,
             double* result, UInt32* opcodeOffsetPtr) noexcept {
  return Handler(CommandArgs{paramInfo, scriptData, thisObj, containingObj, scriptObj, eventList,
                             result, opcodeOffsetPtr});
}

}  // namespace cv::host
