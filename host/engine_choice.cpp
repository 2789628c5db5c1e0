#include "host/engine_choice.h"

#include "host/fnv/addresses.h"
#include "host/game_binding.h"
#include "platform/platform.h"

namespace cv::host {

namespace {

// A simulated game's program exports its table under kSimEngineExport.
const CVEngineInterface* SimulatedEngine() {
  using Getter = const CVEngineInterface* (*)();
  void* symbol = platform::ProgramSymbol(kSimEngineExport);
  if (symbol == nullptr) return nullptr;
  const CVEngineInterface* table = reinterpret_cast<Getter>(symbol)();
  return table != nullptr && table->version == CVEngineInterface::kVersion ? table : nullptr;
}

}  // namespace

EngineChoice ChooseEngine(UInt32 runtimeVersion) {
  // The binding only for the one executable its addresses are for, and
  // only when the image there proves to be that game's.
  if (runtimeVersion == fnv::kRuntimeVersion)
    if (const CVEngineInterface* game = GameEngine()) return {game, "game", GameClassesNotNamed()};
  if (const CVEngineInterface* sim = SimulatedEngine()) return {sim, "simulator", {}};
  return {};
}

}  // namespace cv::host
