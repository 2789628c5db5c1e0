// Output: PrintToConsole/printc, MessageEx, MessageBoxEx, DebugPrint and the format specifiers they
// share with sv_Construct (script-language.md §6.4, §7).
#include <cstdint>
#include <cstdio>
#include <string>
#include <utility>

#include "sim/script/builtins/format.h"
#include "sim/script/builtins/registry.h"
#include "sim/script/value/convert.h"

namespace cv::sim::script {

namespace {

// The console line buffer: a longer line is refused with the host's text
// (§6.4, X Commands_Console.cpp; the console keeps 511 characters).
constexpr std::size_t kMaxConsoleLine = 511;

// Reads the format's arguments one by one.
class Reader {
 public:
  Reader(CallContext& c, std::size_t first) : c_(c), next_(first) {}
  bool Take(Value& v) {
    if (next_ >= c_.args.size()) return false;
    v = c_.args[next_++];
    return true;
  }
  std::size_t next() const { return next_; }

 private:
  CallContext& c_;
  std::size_t next_;
};

FormId AsForm(const Value& v) {
  if (v.IsForm()) return v.form();
  return v.IsNumber() ? static_cast<FormId>(static_cast<std::int64_t>(v.number())) : 0;
}

// %z: a string variable's text; a number is read as a string id (§6.4).
std::string StringArg(const Value& v, Services& s) {
  if (v.IsString()) return std::string(s.strings().Text(v.string()));
  if (v.IsNumber()) return std::string(s.strings().Text(static_cast<StringId>(v.number())));
  return {};
}

// Everything C's printf does with a double: %g, %f, %.2f, %5.0f, %.3e...
// (§6.4, "anything else ... passed to snprintf with the number as a double").
// There is no integer specifier in the host: %d and its kin would read the
// double as an integer, and %s as a pointer. Here the integer ones print
// the integer part and %s the number as %g.
std::string PrintfNumber(std::string conversion, double n) {
  char buf[512];
  const char conv = conversion.back();
  if (conv == 's') return FormatG(n);
  if (conv == 'c') {
    std::snprintf(buf, sizeof buf, conversion.c_str(), static_cast<int>(n));
  } else if (conv == 'd' || conv == 'u' || conv == 'o' || conv == 'x' || conv == 'X') {
    conversion.insert(conversion.size() - 1, "ll");
    std::snprintf(buf, sizeof buf, conversion.c_str(), static_cast<long long>(n));
  } else {
    std::snprintf(buf, sizeof buf, conversion.c_str(), n);
  }
  return buf;
}

bool IsConversion(char ch) {
  return std::string_view("aAcdeEfFgGosuxX").find(ch) != std::string_view::npos;
}

}  // namespace

bool ExpandFormat(CallContext& c, std::size_t first, std::string& out, std::size_t* next) {
  Value fmtValue;
  Reader args(c, first);
  if (!args.Take(fmtValue)) return false;
  const std::string fmt = fmtValue.IsString()
                              ? std::string(c.services.strings().Text(fmtValue.string()))
                              : FormatG(fmtValue.number());
  Services& s = c.services;
  Value v;
  bool skipping = false;  // inside %{ ... %} with a 0 (§6.4)
  for (std::size_t i = 0; i < fmt.size(); ++i) {
    char ch = fmt[i];
    if (ch != '%') {
      if (!skipping) out += ch;
      continue;
    }
    if (++i >= fmt.size()) break;  // a lone % at the end prints nothing
    char code = fmt[i];
    if (skipping) {
      // The omitted text is passed over as text: its specifiers take no
      // values (how the host skips it is not known; the skip jumps to the
      // closing %}).
      if (code == '}') skipping = false;
      continue;
    }
    switch (code) {
      case '%': out += '%'; break;
      case 'q':
      case 'Q': out += '"'; break;  // a double quote
      case 'r':
      case 'R': out += '\n'; break;  // a new line
      case 'e':
      case 'E': break;  // the empty placeholder
      case '}': break;  // the end of a kept %{ %}
      case 'z':
      case 'Z':  // a string variable
        if (!args.Take(v)) return false;
        out += StringArg(v, s);
        break;
      case 'a':
      case 'A':  // the character with that code
        if (!args.Take(v)) return false;
        out += static_cast<char>(static_cast<int>(NumberOf(v)));
        break;
      case 'n':
      case 'N':  // the form's display name
        if (!args.Take(v)) return false;
        out += s.FullName(AsForm(v));
        break;
      case 'i':
      case 'I': {  // the form id, 8 hex digits
        if (!args.Take(v)) return false;
        char buf[16];
        std::snprintf(buf, sizeof buf, "%08X", AsForm(v));
        out += buf;
        break;
      }
      case 'c':
      case 'C':                                            // a form's named component:
        if (!args.Take(v) || !args.Take(v)) return false;  // not modelled, prints nothing
        break;
      case 'k':
      case 'K':
      case 'v':
      case 'V':                           // key / actor value names:
        if (!args.Take(v)) return false;  // not modelled, the number
        out += FormatG(NumberOf(v));
        break;
      case 'p':
      case 'P': {                     // a pronoun: not modelled,
        if (i + 1 < fmt.size()) ++i;  // the neuter one
        if (!args.Take(v)) return false;
        char kind = i < fmt.size() ? fmt[i] : 'o';
        out += kind == 'p' || kind == 'P' ? "its" : "it";
        break;
      }
      case '{':  // omit up to %} when 0
        if (!args.Take(v)) return false;
        skipping = NumberOf(v) == 0;
        break;
      case 'x':
      case 'X': {  // hex, with an optional width
        if (!args.Take(v)) return false;
        std::string f = "%";
        if (i + 1 < fmt.size() && fmt[i + 1] >= '0' && fmt[i + 1] <= '9')
          f += std::string("0") + fmt[++i];
        f += "llX";
        char buf[64];
        std::snprintf(buf, sizeof buf, f.c_str(), static_cast<long long>(NumberOf(v)));
        out += buf;
        break;
      }
      default: {  // flags, width, precision, then a printf conversion
        std::size_t j = i;
        while (j < fmt.size() && !IsConversion(fmt[j]) &&
               std::string_view("-+ #0123456789.").find(fmt[j]) != std::string_view::npos)
          ++j;
        if (j >= fmt.size() || !IsConversion(fmt[j])) {
          out += '%';  // not a specifier: kept as written
          out += code;
          break;
        }
        if (!args.Take(v)) return false;
        // Appended rather than added to a literal: GCC 12 at -O3 warns
        // falsely (-Wrestrict) on "literal" + std::string.
        std::string conversion(1, '%');
        conversion.append(fmt, i, j - i + 1);
        out += PrintfNumber(std::move(conversion), NumberOf(v));
        i = j;
      }
    }
  }
  if (next != nullptr) *next = args.next();
  return true;
}

namespace {

// printc fmt args... (§6.4, §7): one console line.
bool PrintToConsole(CallContext& c) {
  std::string line;
  if (!ExpandFormat(c, 0, line)) return false;
  if (line.size() > kMaxConsoleLine)
    c.services.Console("PrintToConsole >> Max length exceeded (512 chars)");
  else
    c.services.Console(line);
  return true;
}

// MessageEx fmt args... (§7): the game shows it in the corner of the screen;
// the simulator has no screen and prints it as a console line. MessageBoxEx
// (a message box) prints the same way.
bool MessageEx(CallContext& c) {
  std::string line;
  if (!ExpandFormat(c, 0, line)) return false;
  c.services.Console(line);
  return true;
}

// DebugPrint fmt args... (§7): prints only when debug mode is on for the
// script's mod. Nothing turns it on here (SetDebugMode is not modelled), so
// it checks its format and prints nothing, as in a game without it.
bool DebugPrint(CallContext& c) {
  std::string line;
  return ExpandFormat(c, 0, line);
}

}  // namespace

void RegisterOutput(Registry& r) {
  // A format and up to 20 values (§6.4, kParams_FormatString).
  r.Add({"PrintToConsole",
         "printc",
         {{Param::String}, {Param::Any, true}},
         false,
         Returns::Number,
         PrintToConsole,
         19});
  r.Add({"MessageEx",
         "",
         {{Param::String}, {Param::Any, true}},
         false,
         Returns::Number,
         MessageEx,
         19});
  const ParamSpec fmt{Param::String}, values{Param::Any, true};
  r.Add({"MessageBoxEx", "", {fmt, values}, false, Returns::Number, MessageEx, 19});         // §7
  r.Add({"DebugPrint", "dbprintc", {fmt, values}, false, Returns::Number, DebugPrint, 19});  // §7
}

}  // namespace cv::sim::script
