#include "sim/scenario/report.h"

#include <charconv>
#include <cstdio>

namespace cv::sim {

namespace {

using Outcome = CheckRecord::Outcome;

// The first line of a serialized report, so that any other text is refused.
constexpr std::string_view kRecordHeader = "corvane-sim results 1";

void HexByte(std::string& out, unsigned char c) {
  char buf[8];
  std::snprintf(buf, sizeof buf, "\\x%02X", c);
  out += buf;
}

// The length of the UTF-8 sequence at text[i] that XML 1.0 can carry, or 0.
// Refused: stray continuation bytes, overlong forms, surrogates, code points
// above U+10FFFF and the non-characters U+FFFE and U+FFFF (XML's Char rule).
std::size_t Utf8Length(std::string_view text, std::size_t i) {
  auto c = static_cast<unsigned char>(text[i]);
  std::size_t n = 0;
  char32_t cp = 0;
  char32_t least = 0;
  if (c >= 0xC2 && c <= 0xDF) {
    n = 2, cp = c & 0x1F, least = 0x80;
  } else if (c >= 0xE0 && c <= 0xEF) {
    n = 3, cp = c & 0x0F, least = 0x800;
  } else if (c >= 0xF0 && c <= 0xF4) {
    n = 4, cp = c & 0x07, least = 0x10000;
  } else {
    return 0;
  }
  if (i + n > text.size()) return 0;
  for (std::size_t k = 1; k < n; ++k) {
    auto b = static_cast<unsigned char>(text[i + k]);
    if ((b & 0xC0) != 0x80) return 0;
    cp = (cp << 6) | (b & 0x3F);
  }
  if (cp < least || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF) || cp == 0xFFFE || cp == 0xFFFF)
    return 0;
  return n;
}

std::string EscapeField(std::string_view s) {
  std::string out;
  for (char c : s) {
    switch (c) {
      case '\\': out += "\\\\"; break;
      case '\t': out += "\\t"; break;
      case '\n': out += "\\n"; break;
      case '\r': out += "\\r"; break;
      default: out += c;
    }
  }
  return out;
}

bool UnescapeField(std::string_view s, std::string& out) {
  out.clear();
  for (std::size_t i = 0; i < s.size(); ++i) {
    if (s[i] != '\\') {
      out += s[i];
      continue;
    }
    if (++i == s.size()) return false;
    switch (s[i]) {
      case '\\': out += '\\'; break;
      case 't': out += '\t'; break;
      case 'n': out += '\n'; break;
      case 'r': out += '\r'; break;
      default: return false;
    }
  }
  return true;
}

std::string Where(const CheckRecord& r) {
  return r.line > 0 ? r.file + ":" + std::to_string(r.line) : r.file;
}

// A test case's name: where, and the statement, cut so that a long text
// argument does not make a name of many kilobytes.
std::string CaseName(const CheckRecord& r) {
  constexpr std::size_t kLongest = 200;
  if (r.statement.empty()) return Where(r);
  if (r.statement.size() <= kLongest) return Where(r) + ": " + r.statement;
  return Where(r) + ": " + r.statement.substr(0, kLongest) + "...";
}

struct Suite {
  std::string file;
  std::vector<const CheckRecord*> cases;
  int failures = 0;
  int errors = 0;
};

}  // namespace

void Report::Append(const Report& other) {
  records_.insert(records_.end(), other.records_.begin(), other.records_.end());
}

int Report::Checks() const {
  int n = 0;
  for (const CheckRecord& r : records_) n += r.outcome != Outcome::Stopped ? 1 : 0;
  return n;
}

int Report::Failures() const {
  int n = 0;
  for (const CheckRecord& r : records_) n += r.outcome == Outcome::Failed ? 1 : 0;
  return n;
}

const CheckRecord* Report::Stop() const {
  for (const CheckRecord& r : records_)
    if (r.outcome == Outcome::Stopped) return &r;
  return nullptr;
}

std::string Report::SummaryLine() const {
  const int checks = Checks();
  const int failures = Failures();
  const CheckRecord* stop = Stop();
  if (stop == nullptr)
    return std::to_string(checks) + " checks, " + std::to_string(failures) + " failed";
  return "stopped at " + Where(*stop) + ": " + std::to_string(checks) + " checks before it, " +
         (failures == 0 ? std::string("none failed")
                        : std::to_string(failures) + " of them failed");
}

void Report::WriteJUnit(std::ostream& out) const {
  // One suite per file, in the order the files first appear.
  std::vector<Suite> suites;
  for (const CheckRecord& r : records_) {
    Suite* s = nullptr;
    for (Suite& each : suites)
      if (each.file == r.file) s = &each;
    if (s == nullptr) s = &suites.emplace_back(Suite{r.file, {}, 0, 0});
    s->cases.push_back(&r);
    s->failures += r.outcome == Outcome::Failed ? 1 : 0;
    s->errors += r.outcome == Outcome::Stopped ? 1 : 0;
  }
  int errors = 0;
  for (const Suite& s : suites) errors += s.errors;

  out << "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
      << "<testsuites name=\"corvane-sim\" tests=\"" << records_.size() << "\" failures=\""
      << Failures() << "\" errors=\"" << errors << "\">\n";
  for (const Suite& s : suites) {
    const std::string file = XmlEscape(s.file);
    out << "  <testsuite name=\"" << file << "\" tests=\"" << s.cases.size() << "\" failures=\""
        << s.failures << "\" errors=\"" << s.errors << "\">\n";
    for (const CheckRecord* r : s.cases) {
      out << "    <testcase classname=\"" << file << "\" name=\"" << XmlEscape(CaseName(*r))
          << "\" file=\"" << file << "\" line=\"" << r->line << "\"";
      if (r->outcome == Outcome::Held) {
        out << "/>\n";
        continue;
      }
      out << ">\n";
      if (r->outcome == Outcome::Failed) {
        const std::string what = "expected " + r->expected + ", got " + r->got;
        out << "      <failure type=\"check\" message=\"" << XmlEscape(Where(*r) + ": " + what)
            << "\">" << XmlEscape(Where(*r) + ": FAIL " + what) << "</failure>\n";
      } else {
        out << "      <error type=\"stopped\" message=\""
            << XmlEscape(Where(*r) + ": " + r->message) << "\">"
            << XmlEscape("the run stopped at " + Where(*r) + ": " + r->message) << "</error>\n";
      }
      out << "    </testcase>\n";
    }
    out << "  </testsuite>\n";
  }
  out << "</testsuites>\n";
}

std::string Report::Serialize() const {
  std::string out(kRecordHeader);
  out += '\n';
  for (const CheckRecord& r : records_) {
    out += r.outcome == Outcome::Held ? 'H' : r.outcome == Outcome::Failed ? 'F' : 'S';
    for (const std::string& field :
         {std::to_string(r.line), r.file, r.statement, r.expected, r.got, r.message}) {
      out += '\t';
      out += EscapeField(field);
    }
    out += '\n';
  }
  return out;
}

bool Report::Load(std::string_view text) {
  std::vector<CheckRecord> records;
  std::size_t nl = text.find('\n');
  if (nl == std::string_view::npos || text.substr(0, nl) != kRecordHeader) return false;
  text.remove_prefix(nl + 1);
  while (!text.empty()) {
    nl = text.find('\n');
    if (nl == std::string_view::npos) return false;  // cut short
    std::string_view line = text.substr(0, nl);
    text.remove_prefix(nl + 1);
    std::vector<std::string> fields;
    std::size_t from = 0;
    for (;;) {
      std::size_t tab = line.find('\t', from);
      std::string field;
      if (!UnescapeField(line.substr(from, tab == std::string_view::npos ? tab : tab - from),
                         field))
        return false;
      fields.push_back(std::move(field));
      if (tab == std::string_view::npos) break;
      from = tab + 1;
    }
    if (fields.size() != 7 || fields[0].size() != 1) return false;
    CheckRecord r;
    switch (fields[0][0]) {
      case 'H': r.outcome = Outcome::Held; break;
      case 'F': r.outcome = Outcome::Failed; break;
      case 'S': r.outcome = Outcome::Stopped; break;
      default: return false;
    }
    const std::string& n = fields[1];
    auto parsed = std::from_chars(n.data(), n.data() + n.size(), r.line);
    if (parsed.ec != std::errc() || parsed.ptr != n.data() + n.size() || r.line < 0) return false;
    r.file = std::move(fields[2]);
    r.statement = std::move(fields[3]);
    r.expected = std::move(fields[4]);
    r.got = std::move(fields[5]);
    r.message = std::move(fields[6]);
    records.push_back(std::move(r));
  }
  records_ = std::move(records);
  return true;
}

std::string XmlEscape(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  for (std::size_t i = 0; i < text.size();) {
    auto c = static_cast<unsigned char>(text[i]);
    if (c < 0x80) {
      switch (c) {
        case '&': out += "&amp;"; break;
        case '<': out += "&lt;"; break;
        case '>': out += "&gt;"; break;
        case '"': out += "&quot;"; break;
        case '\'': out += "&apos;"; break;
        // As references, so that an attribute value keeps them.
        case '\t': out += "&#9;"; break;
        case '\n': out += "&#10;"; break;
        case '\r': out += "&#13;"; break;
        default:
          if (c < 0x20) {
            HexByte(out, c);  // XML 1.0 has no way to carry it, not even as a reference
          } else {
            out += static_cast<char>(c);
          }
      }
      ++i;
      continue;
    }
    if (std::size_t n = Utf8Length(text, i); n > 0) {
      out.append(text.substr(i, n));
      i += n;
    } else {
      HexByte(out, c);
      ++i;
    }
  }
  return out;
}

std::vector<std::string> SourceLines(std::string_view text) {
  std::vector<std::string> lines;
  while (!text.empty()) {
    std::size_t nl = text.find('\n');
    std::string_view line = text.substr(0, nl);
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    std::size_t first = line.find_first_not_of(" \t");
    lines.emplace_back(first == std::string_view::npos ? std::string_view() : line.substr(first));
    text.remove_prefix(nl == std::string_view::npos ? text.size() : nl + 1);
  }
  return lines;
}

}  // namespace cv::sim
