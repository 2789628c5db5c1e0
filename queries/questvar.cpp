#include "queries/questvar.h"

#include <cmath>

#include "ev/store.h"
#include "host/game.h"
#include "log/guard.h"
#include "queries/query_commands.h"

namespace cv::queries {

namespace {

constexpr LogName kQuestVarLog{"getQVevfl"};

// The evaluation proper. Every early end leaves the result 0.
void EvaluateQuestVariableFloat(TESObjectREFR* thisObj, void* quest, void* variable,
                                double* result) {
  const CommandInfo* getQuestVariable = host::TheSlots().getQuestVariable;
  if (getQuestVariable == nullptr || getQuestVariable->eval == nullptr) return;
  if (!getQuestVariable->eval(thisObj, quest, variable, result) || thisObj == nullptr) {
    *result = 0;
    return;
  }
  const std::optional<std::uint32_t> id = StringVarId(*result);
  const char* text = id ? host::GetStringVar(*id) : nullptr;
  if (text == nullptr) {
    *result = 0;
    if (game::IsConsoleMode()) game::ConsolePrint("GetQVEVFl: no such key");
    return;
  }
  // The read creates a missing key with the value 0, as the listings show.
  *result = TheStore().Entry<EvKind::Float>(game::RefId(thisObj), FoldedKey(text));
  if (game::IsConsoleMode()) game::ConsolePrint("GetQVEVFl: %.5f", *result);
}

}  // namespace

std::optional<std::uint32_t> StringVarId(double questValue) noexcept {
  const double whole = std::trunc(questValue);
  if (!(whole >= 0.0 && whole <= 4294967295.0)) return std::nullopt;
  return static_cast<std::uint32_t>(whole);
}

void* VariableArg(std::uint32_t variable) noexcept {
  return reinterpret_cast<void*>(static_cast<std::uintptr_t>(variable));
}

bool GetQVEVFlEval(TESObjectREFR* thisObj, void* arg1, void* arg2, double* result) noexcept {
  if (result == nullptr) return true;
  *result = 0;
  Guarded(kQuestVarLog, [&] { EvaluateQuestVariableFloat(thisObj, arg1, arg2, result); });
  return true;
}

bool GetQVEVFl(const host::CommandArgs& a) {
  *a.result = 0;
  TESForm* quest = nullptr;
  UInt32 variable = 0;  // a left-out variable argument hands on number 0
  bool extracted = false;
  Guarded(kQuestVarLog, [&] { extracted = host::ExtractArgs(a, &quest, &variable); });
  if (!extracted) return true;
  return GetQVEVFlEval(a.thisObj, quest, VariableArg(variable), a.result);
}

}  // namespace cv::queries
