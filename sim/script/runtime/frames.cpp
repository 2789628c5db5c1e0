// Frames, quests' timers, delayed calls and the save game (script-language.md
// §2.3, §11.4, §14).
#include "sim/script/runtime/interpreter.h"
#include "sim/script/value/convert.h"

namespace cv::sim::script {

void Interpreter::RunFrame(double seconds, bool menu) {
  strings_.Clean();
  arrays_.Clean();
  game_.menuMode = menu;
  const char* type = menu ? "MenuMode" : "GameMode";
  // Object scripts run every frame (§2.3).
  game_.secondsPassed = seconds;
  for (std::size_t i = 0; i < references_.size(); ++i) RunBlocks(references_[i], type);
  // The quest timer, pinned: each frame takes its seconds off the counter;
  // at 0 or below the script runs and the counter is set back (§2.3).
  for (auto& [quest, info] : game_.quests) {
    if (!info.running) continue;
    info.counter -= seconds;
    info.sinceRun += seconds;
    if (info.counter > 1e-9) continue;
    info.counter = info.delay;
    game_.secondsPassed = info.sinceRun;
    info.sinceRun = 0;
    RunBlocks(quest, type);
  }
  game_.secondsPassed = seconds;
  // Delayed calls run after the scripts of the frame (UNCONFIRMED, §9.12).
  game_.gameSeconds += seconds;
  std::vector<DelayedCall> pending;
  pending.swap(game_.delayed);
  std::vector<DelayedCall> keep;
  for (DelayedCall& d : pending) {
    if (d.repeat != Repeat::Once && d.repeat != Repeat::For) {
      if (RunConditional(d, menu)) keep.push_back(std::move(d));
      continue;
    }
    // Mode 0 runs in game mode only; 1 and 2 in menu mode too (§11.4).
    const bool allowed = !menu || d.mode != 0;
    bool fire = false;
    if (d.byFrames) {
      if (allowed) d.due -= 1;
      fire = allowed && d.due <= 0;
    } else if (d.repeat == Repeat::For) {
      // Every pass until its time is up; a pass its mode forbids pushes the
      // end back, yet still calls (the host's fall-through, §11.4).
      if (!allowed) d.due += seconds;
      if (game_.gameSeconds >= d.due) continue;
      std::vector<Value> args;
      for (const Element& e : d.args) args.push_back(arrays_.ToValue(e));
      Value result;
      CallFunction(d.function, args, d.callingRef, result);
      keep.push_back(std::move(d));
      continue;
    } else {
      if (!allowed) d.due += seconds;
      fire = allowed && game_.gameSeconds >= d.due;
    }
    if (!fire) {
      keep.push_back(std::move(d));
      continue;
    }
    std::vector<Value> args;
    for (const Element& e : d.args) args.push_back(arrays_.ToValue(e));
    Value result;
    CallFunction(d.function, args, d.callingRef, result);
  }
  for (DelayedCall& d : game_.delayed) keep.push_back(std::move(d));
  game_.delayed = std::move(keep);
}

bool Interpreter::RunConditional(DelayedCall& d, bool menu) {
  // CallWhile, CallWhen, CallWhilePerSeconds (§11.4): each pass its flags
  // allow, the condition decides. CallWhile and CallWhilePerSeconds call
  // while it holds and end when it does not; CallWhen waits for it to hold,
  // calls once and ends. False: the call is over.
  if ((menu && (d.flags & 4) != 0) || (!menu && (d.flags & 8) != 0)) return true;
  if (d.repeat == Repeat::WhilePerSeconds && game_.gameSeconds < d.due) return true;
  std::vector<Value> args;
  for (const Element& e : d.args) args.push_back(arrays_.ToValue(e));
  const std::span<const Value> none;
  Value holds;
  const bool ok = CallFunction(
      d.condition, (d.flags & 2) != 0 ? std::span<const Value>(args) : none, d.callingRef, holds);
  if (!ok || !Truthy(holds, strings_)) return d.repeat == Repeat::When && ok;
  Value result;
  CallFunction(d.function, (d.flags & 1) != 0 ? std::span<const Value>(args) : none, d.callingRef,
               result);
  if (d.repeat == Repeat::WhilePerSeconds) d.due = game_.gameSeconds + d.interval;
  return d.repeat != Repeat::When;
}

void Interpreter::SaveGame() {
  strings_.Clean();
  arrays_.Clean();
  Saved s;
  for (auto& [owner, inst] : instances_) s.vars[owner] = inst->vars;
  s.strings = strings_.Save();
  s.arrays = arrays_.Save();
  s.quests = game_.quests;
  s.actorValues = game_.actorValues;
  saved_ = std::move(s);
}

void Interpreter::LoadGame() {
  if (saved_) {
    strings_.Load(saved_->strings);
    arrays_.Load(saved_->arrays);
    game_.quests = saved_->quests;
    game_.actorValues = saved_->actorValues;
    for (auto& [owner, inst] : instances_) {
      auto it = saved_->vars.find(owner);
      if (it != saved_->vars.end()) {
        inst->vars = it->second;
      } else if (auto g = globals_.find(owner); g != globals_.end()) {
        // A global the save does not know starts at its value.
        inst->vars.assign(1, StartValue(g->second));
      } else {
        ResetVars(*inst->script, inst->vars);
      }
      SyncQuestToWorld(*inst);
    }
  }
  // Pending delayed calls are dropped on load (§11.4); GetGameLoaded is
  // true once per script after it (§14.1).
  game_.delayed.clear();
  game_.gameLoaded = true;
  game_.loadedTaken.clear();
}

void Interpreter::NewGame() {
  strings_.Reset();
  arrays_.Reset();
  for (auto& [owner, inst] : instances_) {
    ResetVars(*inst->script, inst->vars);
    SyncQuestToWorld(*inst);
  }
  ResetGlobals();
  // A new game's actors have their own values, and its quests no stage.
  game_.actorValues.clear();
  for (auto& [id, quest] : game_.quests) {
    quest.stage = 0;
    quest.stagesDone.clear();
  }
  game_.delayed.clear();
  game_.gameLoaded = true;
  game_.loadedTaken.clear();
}

}  // namespace cv::sim::script
