// The script reader on arbitrary text: the lexer, parser and compiler must
// accept or refuse any input without crashing, naming a line for each
// refusal; a script that loads and has no loop runs its function.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <sstream>
#include <string>
#include <string_view>
#include <vector>

#include "sim/host/host.h"
#include "sim/script/runtime/interpreter.h"
#include "sim/script/value/text.h"

namespace {

void Check(bool ok) {
  if (!ok) std::abort();
}

struct Quiet : cv::sim::script::ScriptEvents {
  void Error(const std::string&, int line, const std::string&) override { Check(line >= 0); }
  void Assertion(const std::string&, int, bool, const std::string&) override {}
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size > 8192) return 0;
  std::string text(reinterpret_cast<const char*>(data), size);
  cv::sim::World world;
  std::ostringstream out;
  cv::sim::Host host(world, out, false, 0x040020D0);
  Quiet events;
  cv::sim::script::Interpreter in(host, events);
  std::vector<std::string> errors, unmodelled;
  const bool loaded = in.Load("f.gek", text, "Fuzz", 0, errors, unmodelled);
  Check(loaded == (errors.empty() && unmodelled.empty()));
  for (const std::string& e : errors) Check(e.rfind("f.gek:", 0) == 0);
  for (const std::string& e : unmodelled) Check(e.rfind("f.gek:", 0) == 0);
  // Loops may never end on arbitrary input: only loop-free scripts run.
  std::string folded = cv::sim::script::Fold(text);
  if (loaded && folded.find("while") == std::string::npos &&
      folded.find("foreach") == std::string::npos) {
    if (const cv::sim::script::CompiledScript* s = in.FindScript("Fuzz")) {
      cv::sim::script::Value result;
      if (s->functionBlock >= 0) in.CallScript(s->name, {}, result);
    }
  }
  return 0;
}
