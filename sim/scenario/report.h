// What a run found, check by check: the summary line, the JUnit XML report
// that CI servers read, and the record a run in a fresh copy hands back to
// the run that started it.
#pragma once

#include <ostream>
#include <string>
#include <string_view>
#include <vector>

namespace cv::sim {

struct CheckRecord {
  enum class Outcome { Held, Failed, Stopped };
  Outcome outcome = Outcome::Held;
  std::string file;       // as the run names it
  int line = 0;           // 0: no line (the file could not be read, or start-up)
  std::string statement;  // the line's text, without its indent
  std::string expected;   // Failed: what the check wanted
  std::string got;        // Failed: what it found
  std::string message;    // Stopped: why the line could not run
};

class Report {
 public:
  void Add(CheckRecord record) { records_.push_back(std::move(record)); }
  void Append(const Report& other);
  const std::vector<CheckRecord>& Records() const { return records_; }

  // Checks made (held or failed) and failed; a stop is no check.
  int Checks() const;
  int Failures() const;
  // The line the run stopped at, or null when it ran to its end.
  const CheckRecord* Stop() const;

  // "N checks, M failed", or, when the run stopped,
  // "stopped at FILE:LINE: N checks before it, M of them failed" (with
  // "none failed" for no failure, so that the line never holds "0 failed").
  std::string SummaryLine() const;

  // One test suite per file, one test case per check; a failure carries its
  // FILE:LINE, what was expected and what was found; a stop is an error.
  void WriteJUnit(std::ostream& out) const;

  // The records as lines of tab-separated fields, for a run in a fresh copy
  // to hand back. Load is false when the text is not such a record.
  std::string Serialize() const;
  bool Load(std::string_view text);

 private:
  std::vector<CheckRecord> records_;
};

// Text made safe for XML 1.0 character data and attribute values: markup
// characters as entities, line ends and tabs as character references, and
// every byte XML cannot carry (control bytes, bytes that are not UTF-8, the
// non-characters U+FFFE and U+FFFF) written as the text \xNN.
std::string XmlEscape(std::string_view text);

// The lines of a scenario's text, without their CR and leading blanks: line
// n of the file is element n - 1.
std::vector<std::string> SourceLines(std::string_view text);

}  // namespace cv::sim
