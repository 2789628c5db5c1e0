// The corvane-sim scenario reader on arbitrary text.
//
// Every line that tokenizes must spell back to text that tokenizes to the
// same tokens, the parser must accept or reject without crashing, and the
// statements that stay in memory (world changes, calls, checks) run against
// the plug-in linked into this process. Host messages, file and log checks
// and fault arming are left out so the fuzzer reads and writes no files but
// the log. The log grows over the whole run: a check reading it back each
// time would make every input slower than the last.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>
#include <vector>

#include "plugin/plugin.h"
#include "sim/scenario/scenario.h"
#include "sim/scenario/session.h"
#include "sim/host/tokens.h"

namespace {

void Check(bool ok) {
  if (!ok) std::abort();
}

bool RunsInMemory(const std::vector<cv::sim::Token>& tokens) {
  if (tokens.empty()) return true;
  const std::string& w = tokens[0].text;
  return w != "message" && w != "show-file" && w != "expect-file" && w != "expect-log" &&
         w != "fault";
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  std::string_view text(reinterpret_cast<const char*>(data), size);
  if (size > 4096) return 0;

  std::string kept;
  std::size_t start = 0;
  while (start <= text.size()) {
    std::size_t end = text.find('\n', start);
    if (end == std::string_view::npos) end = text.size();
    std::string_view line = text.substr(start, end - start);
    std::vector<cv::sim::Token> tokens;
    std::string error;
    if (cv::sim::TokenizeLine(line, tokens, error)) {
      std::string spelled;
      for (const auto& t : tokens) spelled += cv::sim::Spell(t) + " ";
      std::vector<cv::sim::Token> again;
      Check(cv::sim::TokenizeLine(spelled, again, error));
      Check(again == tokens);
      if (RunsInMemory(tokens)) kept.append(line).push_back('\n');
    }
    start = end + 1;
  }

  std::vector<cv::sim::Statement> statements;
  cv::sim::ParseError parseError;
  cv::sim::ParseScenario(text, statements, parseError);

  cv::sim::PluginEntry plugin{"corvane", cv::plugin::Query, cv::plugin::Load};
  cv::sim::RunResult r = cv::sim::RunScenarioText(plugin, kept);
  Check(r.status >= 0 && r.status <= 2);
  return 0;
}
