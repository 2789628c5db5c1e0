#include "tools/savedata/output.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <vector>

#include "platform/platform.h"

namespace cv::savedata {

namespace {

// Text from the file (keys, strings, mod names, the loader's lines that
// quote them: the game's single-byte texts, in the system's code page) in
// UTF-8, as every other line the tool prints; unchanged where the system's
// texts are bytes already.
std::string Printed(const std::string& text) { return platform::Utf8Path(text); }

// How many characters UTF-8 text shows, for lining up columns.
std::size_t Shown(std::string_view text) {
  return static_cast<std::size_t>(std::count_if(text.begin(), text.end(), [](char c) {
    return (static_cast<unsigned char>(c) & 0xC0) != 0x80;
  }));
}

const char* KindName(Kind k) {
  switch (k) {
    case Kind::String: return "string";
    case Kind::Form: return "form";
    case Kind::Float: return "float";
  }
  return "?";
}

std::string Hex(std::uint32_t value, int digits) {
  char buf[16];
  std::snprintf(buf, sizeof buf, "%0*X", digits, static_cast<unsigned>(value));
  return buf;
}

std::string ValueText(const FileReport& report, const ValueRow& v) {
  switch (v.kind) {
    case Kind::String: return QuoteText(v.text);
    case Kind::Form: return v.form == 0 ? "none" : FormatId(report, v.form);
    case Kind::Float: return FormatFloat(v.number);
  }
  return {};
}

std::string JsonId(const FileReport& report, std::uint32_t id) {
  std::string mod = ModName(report, id);
  bool known = !mod.empty() || (id >> 24) == 255;
  return "{\"mod\": " + (known ? JsonString(mod) : std::string("null")) + ", \"id\": \"" +
         Hex(id & 0x00FFFFFFu, 6) + "\", \"formId\": " + std::to_string(id) + "}";
}

std::string JsonValue(const FileReport& report, const ValueRow& v) {
  switch (v.kind) {
    case Kind::String: return JsonString(v.text);
    case Kind::Form: return v.form == 0 ? "null" : JsonId(report, v.form);
    case Kind::Float:
      // JSON has no infinities or NaN: those are given as text.
      return std::isfinite(v.number) ? FormatFloat(v.number) : JsonString(FormatFloat(v.number));
  }
  return "null";
}

// Text in double quotes with the C escapes for quotes, backslashes and the
// common controls; any other byte below 0x20, and 0x7F, as a numeric escape.
// JSON has no \x, so there every such byte and every byte above 0x7F is a
// \u escape of the same number.
std::string Escaped(std::string_view text, bool json) {
  std::string s = "\"";
  for (char c : text) {
    auto u = static_cast<unsigned char>(c);
    switch (c) {
      case '"': s += "\\\""; break;
      case '\\': s += "\\\\"; break;
      case '\n': s += "\\n"; break;
      case '\r': s += "\\r"; break;
      case '\t': s += "\\t"; break;
      default:
        if (u < 0x20 || u == 0x7F || (json && u > 0x7F))
          s += json ? "\\u" + Hex(u, 4) : "\\x" + Hex(u, 2);
        else
          s += c;
    }
  }
  return s + "\"";
}

}  // namespace

std::string FormatId(const FileReport& report, std::uint32_t id) {
  std::string mod = ModName(report, id);
  if (mod.empty() && (id >> 24) != 255) mod = "(no mod " + Hex(id >> 24, 2) + ")";
  return mod + ":" + Hex(id & 0x00FFFFFFu, 6);
}

std::string QuoteText(std::string_view text) { return Escaped(text, false); }

std::string JsonString(std::string_view text) { return Escaped(text, true); }

std::string FormatFloat(float value) {
  char buf[32];
  auto r = std::to_chars(buf, buf + sizeof buf, value);
  return std::string(buf, r.ptr);
}

void PrintTable(std::ostream& out, const FileReport& report) {
  out << "mods when saved:";
  if (report.mods.empty()) out << " none";
  out << "\n";
  for (const ModRow& m : report.mods) out << "  " << m.index << "  " << Printed(m.name) << "\n";

  std::vector<std::vector<std::string>> rows{{"line", "kind", "owner", "key", "value"}};
  for (const ValueRow& v : report.values)
    rows.push_back({std::to_string(v.line), KindName(v.kind), Printed(FormatId(report, v.owner)),
                    Printed(QuoteText(v.key)), Printed(ValueText(report, v))});
  std::vector<std::size_t> width(rows[0].size(), 0);
  for (const auto& r : rows)
    for (std::size_t i = 0; i < r.size(); ++i) width[i] = std::max(width[i], Shown(r[i]));
  out << "\n";
  for (const auto& r : rows) {
    std::string line;
    for (std::size_t i = 0; i < r.size(); ++i) {
      line += r[i];
      if (i + 1 < r.size()) line += std::string(width[i] - Shown(r[i]) + 2, ' ');
    }
    out << line << "\n";
  }
  out << report.values.size() << " values\n";
}

void PrintJson(std::ostream& out, const FileReport& report) {
  out << "{\n  \"mods\": [";
  for (std::size_t i = 0; i < report.mods.size(); ++i) {
    const ModRow& m = report.mods[i];
    out << (i == 0 ? "\n" : ",\n") << "    {\"line\": " << m.line << ", \"index\": " << m.index
        << ", \"name\": " << JsonString(m.name) << "}";
  }
  out << (report.mods.empty() ? "],\n" : "\n  ],\n") << "  \"values\": [";
  for (std::size_t i = 0; i < report.values.size(); ++i) {
    const ValueRow& v = report.values[i];
    out << (i == 0 ? "\n" : ",\n") << "    {\"line\": " << v.line << ", \"kind\": \""
        << KindName(v.kind) << "\", \"owner\": " << JsonId(report, v.owner)
        << ", \"key\": " << JsonString(v.key) << ", \"value\": " << JsonValue(report, v) << "}";
  }
  out << (report.values.empty() ? "]\n" : "\n  ]\n") << "}\n";
}

void PrintNotes(std::ostream& out, std::string_view name, const FileReport& report) {
  for (const Note& n : report.notes)
    out << name << ":" << n.line << ": " << std::string(2 * static_cast<std::size_t>(n.indent), ' ')
        << Printed(n.text) << "\n";
}

}  // namespace cv::savedata
