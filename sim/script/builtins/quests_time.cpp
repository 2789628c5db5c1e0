// Quests, game state and timing: StartQuest, StopQuest, GetQuestRunning, SetQuestDelay,
// GetGameLoaded, GetGameRestarted, Set/GetModLocalData, CallAfterSeconds, CallAfterFrames
// (script-language.md §11.4, §14).
#include "sim/script/builtins/registry.h"

namespace cv::sim::script {

void RegisterQuestsTime(Registry&) {}

}  // namespace cv::sim::script
