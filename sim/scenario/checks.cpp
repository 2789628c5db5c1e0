// The checks that make scenario files tests, and show-file.
#include <algorithm>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "sim/scenario/runner.h"

namespace cv::sim {

namespace {

std::vector<std::string> ReadLines(const std::string& path, bool& ok) {
  std::vector<std::string> lines;
  std::ifstream in(path, std::ios::binary);
  ok = static_cast<bool>(in);
  std::string line;
  while (std::getline(in, line)) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    lines.push_back(std::move(line));
  }
  return lines;
}

std::string ConsoleText(const std::vector<std::string>& lines) {
  if (lines.empty()) return "none";
  std::string s;
  for (const std::string& l : lines) {
    if (!s.empty()) s += ' ';
    s += Quote(l);
  }
  return s;
}

}  // namespace

void Runner::Expect(const Statement& s) {
  const Token& want = s.args[0];
  if (!last_) return Fail(s.line, Spell(want), "no call before this check");
  if (!Matches(*last_, want)) Fail(s.line, Spell(want), FormatValue(*last_));
}

void Runner::ExpectFloat(const Statement& s) {
  const Token& want = s.args[0];
  std::string expected = Spell(want) + " as a 32-bit float";
  if (!last_) return Fail(s.line, expected, "no call before this check");
  if (!MatchesFloat(*last_, want)) Fail(s.line, expected, FormatValue(*last_));
}

void Runner::ExpectArray(const Statement& s) {
  const std::vector<Token>& a = s.args;
  std::string expected = "{";
  for (std::size_t i = 0; i < a.size(); i += 2)
    expected += (i == 0 ? "" : ", ") + Quote(a[i].text) + ": " + Spell(a[i + 1]);
  expected += "}";
  if (!last_) return Fail(s.line, expected, "no call before this check");
  bool same =
      last_->type == CallValue::Type::Array && last_->array && last_->array->size() * 2 == a.size();
  for (std::size_t i = 0; same && i < a.size(); i += 2) {
    auto it = last_->array->find(a[i].text);
    same = it != last_->array->end() && ElementMatches(it->second, a[i + 1]);
  }
  if (!same) Fail(s.line, expected, FormatValue(*last_));
}

void Runner::ExpectConsole(const Statement& s) {
  const Token& want = s.args[0];
  if (!last_) return Fail(s.line, Spell(want), "no call before this check");
  bool same = IsNone(want) ? lastConsole_.empty()
                           : lastConsole_.size() == 1 && lastConsole_[0] == want.text;
  if (!same)
    Fail(s.line, IsNone(want) ? "no console line" : Quote(want.text), ConsoleText(lastConsole_));
}

void Runner::ExpectLog(const Statement& s) {
  const std::string& want = s.args[0].text;
  bool ok = false;
  std::vector<std::string> lines = ReadLines(pluginLog_, ok);
  std::string expected = "log line " + Quote(want);
  if (logFrom_ > 0) expected += " after log line " + std::to_string(logFrom_);
  if (!ok) return Fail(s.line, expected, "no readable " + pluginLog_);
  for (std::size_t i = logFrom_; i < lines.size(); ++i) {
    std::string_view line = lines[i];
    line.remove_prefix(std::min(line.find_first_not_of('\t'), line.size()));
    if (line == want) {
      logFrom_ = i + 1;
      return;
    }
  }
  Fail(s.line, expected, "none (the log has " + std::to_string(lines.size()) + " lines)");
}

void Runner::ExpectFile(const Statement& s) {
  bool wantPresent = s.args[1].text == "present";
  std::error_code ec;
  bool present = std::filesystem::exists(FilePath(s.args[0].text), ec);
  if (present != wantPresent)
    Fail(s.line, Quote(s.args[0].text) + (wantPresent ? " present" : " absent"),
         present ? "present" : "absent");
}

void Runner::ShowFile(const Statement& s) {
  const std::string& name = s.args[0].text;
  bool ok = false;
  std::vector<std::string> lines = ReadLines(FilePath(name), ok);
  if (!ok) {
    out_ << "--- " << name << ": absent\n" << std::flush;
    return;
  }
  out_ << "--- begin " << name << '\n';
  for (const std::string& l : lines) out_ << l << '\n';
  out_ << "--- end " << name << '\n' << std::flush;
}

}  // namespace cv::sim
