#include "host/engine_choice.h"

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

EngineChoice ChooseEngine(UInt32 /*runtimeVersion*/) {
  if (const CVEngineInterface* sim = SimulatedEngine()) return {sim, "simulator"};
  return {};
}

}  // namespace cv::host
