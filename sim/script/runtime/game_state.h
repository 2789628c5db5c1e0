// The game state the script built-ins read and change, beyond variables:
// quests and their timers, game time and delayed calls, random numbers,
// mod-local data and the loaded/restarted flags (script-language.md §2.3,
// §11.4, §14). The scenario's frames drive it; the built-ins of
// builtins/quests_time.cpp and builtins/random.cpp use it.
#pragma once

#include <cstdint>
#include <map>
#include <random>
#include <set>
#include <string>
#include <vector>

#include "sim/script/value/arrays.h"
#include "sim/script/value/text.h"
#include "sim/script/value/value.h"

namespace cv::sim::script {

// The quest timer (its exact ticking is not known, so it is pinned, §2.3): starting sets
// the counter to the delay and runs nothing; each frame subtracts its
// seconds; on the frame the counter reaches 0 or below the script runs and
// the counter is set back to the delay.
struct QuestInfo {
  bool running = false;
  double delay = 5;  // the default processing interval (§2.3)
  double counter = 0;
  double sinceRun = 0;  // seconds since its script last ran (GetSecondsPassed)
  // Quest stages (§14.3): the stage index is one byte. The current stage
  // is the last one SetStage set (last-set or highest is not known).
  int stage = 0;
  std::set<int> stagesDone;
};

// The repeated calls (§11.4): CallForSeconds, CallWhile, CallWhen,
// CallWhilePerSeconds. Once: CallAfterSeconds and CallAfterFrames.
enum class Repeat : std::uint8_t { Once, For, While, When, WhilePerSeconds };

// A delayed or repeated call's registration (§11.4).
struct DelayedCall {
  Repeat repeat = Repeat::Once;
  bool byFrames = false;
  double due = 0;             // seconds: the game time it fires at; frames: frames left
  int mode = 0;               // 0 game mode only, 1 also menu mode, 2 also menu mode but not paused
  Value function;             // the UDF or lambda
  std::vector<Element> args;  // stored by value (§11.4)
  FormId callingRef = 0;
  // CallWhile, CallWhen, CallWhilePerSeconds: the condition function, the
  // flags (1 args to the function, 2 args to the condition, 4 not in menu
  // mode, 8 not in game mode) and the seconds between checks.
  Value condition;
  int flags = 0;
  double interval = 0;
};

class GameState {
 public:
  explicit GameState(std::uint32_t seed = 0) : random(seed) {}

  std::map<FormId, QuestInfo> quests;
  void StartQuest(FormId q) {
    QuestInfo& info = quests[q];
    if (!info.running) {
      info.counter = info.delay;
      info.sinceRun = 0;
    }
    info.running = true;
  }
  void StopQuest(FormId q) { quests[q].running = false; }
  bool QuestRunning(FormId q) const {
    auto it = quests.find(q);
    return it != quests.end() && it->second.running;
  }

  bool menuMode = false;
  double gameSeconds = 0;  // game seconds passed (§11.4)
  // What GetSecondsPassed gives the script running now: the frame's
  // seconds, or for a quest script the seconds since it last ran.
  double secondsPassed = 1.0 / 30;
  std::vector<DelayedCall> delayed;

  // Seeded by --seed, so runs repeat (GetRandomPercent, Rand).
  std::mt19937 random;

  // Per mod index, keys ignoring case; not saved (§14.2).
  std::map<int, std::map<std::string, Element, NoCaseLess>> modLocalData;

  // Actor values SetAV and ModAV gave, per actor, names ignoring case.
  std::map<FormId, std::map<std::string, double, NoCaseLess>> actorValues;

  // GetGameLoaded / GetGameRestarted (§14.1), by script name (folded).
  bool gameLoaded = false;  // a load or new game has happened
  std::set<std::string> loadedTaken;
  std::set<std::string> restartedTaken;
};

}  // namespace cv::sim::script
