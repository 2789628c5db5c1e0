// Quests, game state and timing: StartQuest, StopQuest, GetQuestRunning,
// SetQuestDelay, SetStage, GetStage, GetStageDone, GetGameLoaded, GetGameRestarted,
// Set/GetModLocalData and their kin, CallAfterSeconds (CallAfter) and CallAfterFrames
// (script-language.md §2.3, §7, §11.4, §14).
#include <algorithm>

#include "sim/script/builtins/registry.h"
#include "sim/script/value/text.h"
#include "sim/world/world.h"

namespace cv::sim::script {

namespace {

// The quest an argument names; 0 when it is not a quest.
FormId QuestArg(CallContext& c, std::size_t i) {
  if (!c.Has(i) || !c.args[i].IsForm()) return 0;
  const cv::sim::Form* f = c.services.world().Lookup(c.args[i].form());
  return f != nullptr && f->kind == FormKind::Quest ? f->id : 0;
}

// StartQuest Q / StopQuest Q (§7, §14.3): the quest's script starts or stops
// being processed. The timer is the game state's (§2.3): starting sets the
// counter to the delay and runs nothing. A form that is not a quest makes
// the command fail.
bool StartQuest(CallContext& c) {
  FormId q = QuestArg(c, 0);
  if (q == 0) return false;
  c.services.game().StartQuest(q);
  return true;
}

bool StopQuest(CallContext& c) {
  FormId q = QuestArg(c, 0);
  if (q == 0) return false;
  c.services.game().StopQuest(q);
  return true;
}

// GetQuestRunning Q (§7): 1 while running.
bool GetQuestRunning(CallContext& c) {
  c.result = Value::Bool(c.services.game().QuestRunning(QuestArg(c, 0)));
  return true;
}

// SetQuestDelay Q seconds (§2.3, §7): the quest's processing delay. Whether
// the countdown under way changes is not known; here it is cut to the new
// delay when longer, so a shorter delay takes effect at once.
bool SetQuestDelay(CallContext& c) {
  FormId q = QuestArg(c, 0);
  if (q == 0) return false;
  QuestInfo& info = c.services.game().quests[q];
  info.delay = c.Number(1);
  info.counter = std::min(info.counter, info.delay);
  return true;
}

// Stage indexes are one byte, 0 to 255 (§14.3).
constexpr double kLastStage = 255;

// SetStage Q n (§14.3): marks the stage done, makes it the current one and
// starts the quest when it is not running. Stages have no result scripts
// here, and every index 0 to 255 exists; another index does nothing. A form
// that is not a quest makes the command fail.
bool SetStage(CallContext& c) {
  const FormId q = QuestArg(c, 0);
  if (q == 0) return false;
  const double n = c.Number(1, -1);
  if (n < 0 || n > kLastStage) return true;
  GameState& g = c.services.game();
  QuestInfo& info = g.quests[q];
  info.stage = static_cast<int>(n);
  info.stagesDone.insert(info.stage);
  g.StartQuest(q);
  c.result = Value::Number(1);
  return true;
}

// GetStage Q (§14.3): the current stage; 0 before any is set.
bool GetStage(CallContext& c) {
  const FormId q = QuestArg(c, 0);
  const auto& quests = c.services.game().quests;
  auto it = quests.find(q);
  c.result = Value::Number(it != quests.end() ? it->second.stage : 0);
  return true;
}

// GetStageDone Q n (§14.3): 1 when SetStage has set stage n.
bool GetStageDone(CallContext& c) {
  const FormId q = QuestArg(c, 0);
  const auto& quests = c.services.game().quests;
  auto it = quests.find(q);
  const int n = static_cast<int>(c.Number(1, -1));
  c.result = Value::Bool(it != quests.end() && it->second.stagesDone.count(n) != 0);
  return true;
}

// GetGameLoaded (§14.1): 1 the first time each script calls it after a load
// or a new game, else 0; kept per script, not per reference.
bool GetGameLoaded(CallContext& c) {
  GameState& g = c.services.game();
  c.result =
      Value::Bool(g.gameLoaded && g.loadedTaken.insert(Fold(c.services.ScriptName())).second);
  return true;
}

// GetGameRestarted (§14.1): 1 the first time each script calls it in the
// process, never again.
bool GetGameRestarted(CallContext& c) {
  c.result =
      Value::Bool(c.services.game().restartedTaken.insert(Fold(c.services.ScriptName())).second);
  return true;
}

// Mod-local data (§14.2): per mod, keys ignoring case, in memory only.
std::map<std::string, Element, NoCaseLess>& ModData(CallContext& c) {
  return c.services.game().modLocalData[c.services.ModIndex()];
}

std::string KeyArg(CallContext& c) {
  return c.Has(0) && c.args[0].IsString()
             ? std::string(c.services.strings().Text(c.args[0].string()))
             : std::string();
}

// SetModLocalData key value: a number, form or string; an array or an empty
// key is refused (0).
bool SetModLocalData(CallContext& c) {
  std::string key = KeyArg(c);
  bool ok = !key.empty() && c.Has(1) && !c.args[1].IsArray();
  if (ok) {
    auto& data = ModData(c);
    auto it = data.find(key);
    Element e = c.services.arrays().ToElement(c.args[1]);
    if (it != data.end())
      it->second = std::move(e);
    else
      data.emplace(key, std::move(e));
  }
  c.result = Value::Bool(ok);
  return true;
}

// GetModLocalData key: the value, a number 0 when missing.
bool GetModLocalData(CallContext& c) {
  auto& data = ModData(c);
  auto it = data.find(KeyArg(c));
  c.result = it != data.end() ? c.services.arrays().ToValue(it->second) : Value::Number(0);
  return true;
}

// GetAllModLocalData (§14.2): a StringMap of the mod's every entry.
bool GetAllModLocalData(CallContext& c) {
  ArrayStore& store = c.services.arrays();
  const ArrayId all = store.Create(ArrayKind::StringMap);
  for (const auto& [key, e] : ModData(c)) store.Set(all, Key::Str(key), store.ToValue(e));
  c.result = Value::Array(all);
  return true;
}

bool ModLocalDataExists(CallContext& c) {
  c.result = Value::Bool(ModData(c).count(KeyArg(c)) != 0);
  return true;
}

bool RemoveModLocalData(CallContext& c) {
  c.result = Value::Bool(ModData(c).erase(KeyArg(c)) != 0);
  return true;
}

// CallAfterSeconds / CallAfterFrames delay udf [mode] [args...] (§11.4):
// registers one call, with the calling reference and up to 15 arguments
// kept by value; 1 when registered, 0 when udf is no function. The frames
// runner fires them (a frame count of 0 or 1 fires on the first permitted
// pass after this one).
bool Register(CallContext& c, bool byFrames) {
  if (!c.Has(1) || !c.args[1].IsFunction() || c.args[1].function() == 0) {
    c.result = Value::Number(0);
    return true;
  }
  GameState& g = c.services.game();
  DelayedCall call;
  call.byFrames = byFrames;
  call.due = byFrames ? c.Number(0) : g.gameSeconds + c.Number(0);
  call.mode = static_cast<int>(c.Number(2, 0));
  call.function = c.args[1];
  call.callingRef = c.callingRef;
  for (std::size_t i = 3; i < c.args.size(); ++i)
    call.args.push_back(c.services.arrays().ToElement(c.args[i]));
  g.delayed.push_back(std::move(call));
  c.result = Value::Number(1);
  return true;
}

// CallForSeconds secs udf [mode] [args...] (§11.4): calls udf every pass
// until secs have passed.
bool CallForSeconds(CallContext& c) {
  if (!Register(c, false)) return false;
  if (c.result.number() == 1) c.services.game().delayed.back().repeat = Repeat::For;
  return true;
}

// CallWhile / CallWhen udf condUdf [flags] [args...], CallWhilePerSeconds
// secs udf condUdf [flags] [args...] (§11.4): 1 when registered, 0 when
// either is no function.
bool RegisterConditional(CallContext& c, Repeat repeat) {
  const std::size_t first = repeat == Repeat::WhilePerSeconds ? 1 : 0;
  auto isFunction = [&](std::size_t i) {
    return c.Has(i) && c.args[i].IsFunction() && c.args[i].function() != 0;
  };
  c.result = Value::Number(0);
  if (!isFunction(first) || !isFunction(first + 1)) return true;
  GameState& g = c.services.game();
  DelayedCall call;
  call.repeat = repeat;
  call.function = c.args[first];
  call.condition = c.args[first + 1];
  call.flags = static_cast<int>(c.Number(first + 2, 0));
  call.interval = first == 1 ? c.Number(0) : 0;
  call.due = g.gameSeconds + call.interval;
  call.callingRef = c.callingRef;
  for (std::size_t i = first + 3; i < c.args.size(); ++i)
    call.args.push_back(c.services.arrays().ToElement(c.args[i]));
  g.delayed.push_back(std::move(call));
  c.result = Value::Number(1);
  return true;
}
bool CallWhile(CallContext& c) { return RegisterConditional(c, Repeat::While); }
bool CallWhen(CallContext& c) { return RegisterConditional(c, Repeat::When); }
bool CallWhilePerSeconds(CallContext& c) { return RegisterConditional(c, Repeat::WhilePerSeconds); }

bool CallAfterSeconds(CallContext& c) { return Register(c, false); }
bool CallAfterFrames(CallContext& c) { return Register(c, true); }

}  // namespace

void RegisterQuestsTime(Registry& r) {
  const ParamSpec quest{Param::Form}, key{Param::String};
  r.Add({"StartQuest", "", {quest}, false, Returns::Number, StartQuest});            // §7
  r.Add({"StopQuest", "", {quest}, false, Returns::Number, StopQuest});              // §7
  r.Add({"GetQuestRunning", "", {quest}, false, Returns::Number, GetQuestRunning});  // §7
  r.Add({"SetQuestDelay", "", {quest, {Param::Number}}, false, Returns::Number, SetQuestDelay});
  const ParamSpec num{Param::Number};
  r.Add({"SetStage", "", {quest, num}, false, Returns::Number, SetStage});          // §14.3
  r.Add({"GetStage", "", {quest}, false, Returns::Number, GetStage});               // §14.3
  r.Add({"GetStageDone", "", {quest, num}, false, Returns::Number, GetStageDone});  // §14.3
  r.Add({"GetGameLoaded", "", {}, false, Returns::Number, GetGameLoaded});          // §14.1
  r.Add({"GetGameRestarted", "", {}, false, Returns::Number, GetGameRestarted});    // §14.1
  r.Add({"SetModLocalData", "", {key, {Param::Any}}, false, Returns::Number, SetModLocalData});
  r.Add({"GetModLocalData", "", {key}, false, Returns::Any, GetModLocalData});  // §14.2
  r.Add({"ModLocalDataExists", "", {key}, false, Returns::Number, ModLocalDataExists});
  r.Add({"RemoveModLocalData", "", {key}, false, Returns::Number, RemoveModLocalData});
  r.Add({"GetAllModLocalData", "", {}, false, Returns::Array, GetAllModLocalData});
  // §11.4: a delay, the function, the mode, then up to 15 arguments.
  const std::vector<ParamSpec> delayed{
      {Param::Number}, {Param::Function}, {Param::Integer, true}, {Param::Any, true}};
  r.Add({"CallAfterSeconds", "CallAfter", delayed, false, Returns::Number, CallAfterSeconds, 14});
  r.Add({"CallAfterFrames", "", delayed, false, Returns::Number, CallAfterFrames, 14});
  r.Add({"CallForSeconds", "CallFor", delayed, false, Returns::Number, CallForSeconds, 14});
  const ParamSpec fn{Param::Function}, flags{Param::Integer, true}, arg{Param::Any, true};
  r.Add({"CallWhile", "", {fn, fn, flags, arg}, false, Returns::Number, CallWhile, 14});
  r.Add({"CallWhen", "", {fn, fn, flags, arg}, false, Returns::Number, CallWhen, 14});
  r.Add({"CallWhilePerSeconds",
         "",
         {{Param::Number}, fn, fn, flags, arg},
         false,
         Returns::Number,
         CallWhilePerSeconds,
         14});
}

}  // namespace cv::sim::script
