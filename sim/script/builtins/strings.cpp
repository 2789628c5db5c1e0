// Strings: the sv_ family, NumToHex, NumToHex_OLD, IntToBin and ToNumber
// (script-language.md §6.3, §13). Positions are 0-based. A "fmt" argument
// is a format string (§6.4) whose values follow it.
#include <algorithm>
#include <cctype>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "sim/script/builtins/format.h"
#include "sim/script/builtins/registry.h"
#include "sim/script/value/convert.h"
#include "sim/script/value/text.h"

namespace cv::sim::script {

namespace {

// sv_Find, sv_Count and sv_Replace give -1 when the variable holds no string.
constexpr double kNoString = -1;

std::string* StringArg(CallContext& c, std::size_t i) {
  return c.Has(i) && c.args[i].IsString() ? c.services.strings().GetMutable(c.args[i].string())
                                          : nullptr;
}

std::string TextArg(CallContext& c, std::size_t i) {
  const std::string* s = StringArg(c, i);
  return s != nullptr ? *s : std::string();
}

Value NewString(CallContext& c, std::string text) {
  return Value::String(c.services.strings().New(std::move(text)));
}

// A count or position argument as the host's unsigned one: a negative
// number wraps to a huge one.
std::size_t Unsigned(double n) {
  return n < 0 ? static_cast<std::size_t>(-1) : static_cast<std::size_t>(n);
}

std::string Lower(std::string s) {
  for (char& ch : s) ch = static_cast<char>(std::tolower(static_cast<unsigned char>(ch)));
  return s;
}

// The range [start, start + count) of a string, clamped; false when start
// is at or past the end.
struct Range {
  std::size_t start = 0, end = 0;
};
bool RangeOf(CallContext& c, std::size_t startArg, std::size_t length, Range& r) {
  r.start = Unsigned(c.Number(startArg, 0));
  if (r.start >= length) return false;
  std::size_t count = c.Has(startArg + 1) ? Unsigned(c.Number(startArg + 1)) : length - r.start;
  r.end = r.start + std::min(count, length - r.start);
  return true;
}

// Expands args[0] as a format; *after is the first argument after its values.
bool Format(CallContext& c, std::string& out, std::size_t& after) {
  return ExpandFormat(c, 0, out, &after);
}

// sv_Construct fmt args... (§6.3): a new formatted string.
bool SvConstruct(CallContext& c) {
  std::string out;
  if (!ExpandFormat(c, 0, out)) return false;
  c.result = NewString(c, std::move(out));
  return true;
}

// sv_Set fmt sv (§13): overwrites the variable's string if it has one.
bool SvSet(CallContext& c) {
  std::string text;
  std::size_t i = 0;
  if (!Format(c, text, i)) return false;
  if (std::string* s = StringArg(c, i)) *s = std::move(text);
  return true;
}

// sv_Length sv (§13): -1 when the variable holds no string.
bool SvLength(CallContext& c) {
  const std::string* s = StringArg(c, 0);
  c.result = Value::Number(s != nullptr ? static_cast<double>(s->size()) : kNoString);
  return true;
}

// sv_Compare fmt sv [bCaseSensitive] (§13): fmt against sv, -1/0/1; -2 when
// sv holds no string.
bool SvCompare(CallContext& c) {
  std::string fmt;
  std::size_t i = 0;
  if (!Format(c, fmt, i)) return false;
  const std::string* s = StringArg(c, i);
  if (s == nullptr) {
    c.result = Value::Number(-2);
    return true;
  }
  int cmp = c.Number(i + 1, 0) != 0 ? std::strcmp(fmt.c_str(), s->c_str()) : CompareNoCase(fmt, *s);
  c.result = Value::Number(cmp < 0 ? -1 : cmp > 0 ? 1 : 0);
  return true;
}

// The next match of needle in hay[from, end), ignoring case unless asked.
std::size_t FindIn(const std::string& hay, const std::string& needle, std::size_t from,
                   std::size_t end, bool caseSensitive) {
  if (needle.size() > end || from > end - needle.size()) return std::string::npos;
  const std::string h = caseSensitive ? hay.substr(0, end) : Lower(hay.substr(0, end));
  const std::string n = caseSensitive ? needle : Lower(needle);
  return h.find(n, from);
}

// sv_Find fmt sv [start] [count] [bCaseSensitive] (§13): the position in the
// whole string; -1 when not found, start past the end, or no string. An
// empty needle is found at start.
bool SvFind(CallContext& c) {
  std::string needle;
  std::size_t i = 0;
  if (!Format(c, needle, i)) return false;
  const std::string* s = StringArg(c, i);
  Range r;
  std::size_t at = std::string::npos;
  if (s != nullptr && RangeOf(c, i + 1, s->size(), r))
    at = FindIn(*s, needle, r.start, r.end, c.Number(i + 3, 0) != 0);
  c.result = Value::Number(at == std::string::npos ? -1 : static_cast<double>(at));
  return true;
}

// sv_Count fmt sv [start] [count] [bCaseSensitive] (§13): non-overlapping
// occurrences; 0 for an empty needle or start past the end; -1 no string.
bool SvCount(CallContext& c) {
  std::string needle;
  std::size_t i = 0;
  if (!Format(c, needle, i)) return false;
  const std::string* s = StringArg(c, i);
  if (s == nullptr) {
    c.result = Value::Number(kNoString);
    return true;
  }
  Range r;
  double n = 0;
  if (!needle.empty() && RangeOf(c, i + 1, s->size(), r)) {
    const bool cs = c.Number(i + 3, 0) != 0;
    for (std::size_t at = FindIn(*s, needle, r.start, r.end, cs); at != std::string::npos;
         at = FindIn(*s, needle, at + needle.size(), r.end, cs))
      ++n;
  }
  c.result = Value::Number(n);
  return true;
}

// sv_Replace "find|with" sv [start] [count] [bCaseSensitive] [howMany]
// (§13): the first | splits the two; returns how many were replaced; -1
// without a | or a string; 0 when start is past the end.
bool SvReplace(CallContext& c) {
  std::string pattern;
  std::size_t i = 0;
  if (!Format(c, pattern, i)) return false;
  std::string* s = StringArg(c, i);
  std::size_t bar = pattern.find('|');
  if (s == nullptr || bar == std::string::npos) {
    c.result = Value::Number(-1);
    return true;
  }
  const std::string find = pattern.substr(0, bar), with = pattern.substr(bar + 1);
  Range r;
  double n = 0;
  if (!find.empty() && RangeOf(c, i + 1, s->size(), r)) {
    const bool cs = c.Number(i + 3, 0) != 0;
    const std::size_t most =
        c.Has(i + 4) ? Unsigned(c.Number(i + 4)) : static_cast<std::size_t>(-1);
    std::size_t end = r.end;
    for (std::size_t at = FindIn(*s, find, r.start, end, cs);
         at != std::string::npos && static_cast<std::size_t>(n) < most;
         at = FindIn(*s, find, at + with.size(), end, cs)) {
      s->replace(at, find.size(), with);
      end = end - find.size() + with.size();
      ++n;
    }
  }
  c.result = Value::Number(n);
  return true;
}

// sv_SubString sv [start] [count] (§13): clamped; start past the end -> "".
bool SvSubString(CallContext& c) {
  const std::string s = TextArg(c, 0);
  Range r;
  c.result = NewString(c, RangeOf(c, 1, s.size(), r) ? s.substr(r.start, r.end - r.start) : "");
  return true;
}

// sv_Erase sv [start] [count] (§13): in place, clamped.
bool SvErase(CallContext& c) {
  std::string* s = StringArg(c, 0);
  Range r;
  if (s != nullptr && RangeOf(c, 1, s->size(), r)) s->erase(r.start, r.end - r.start);
  return true;
}

// sv_Insert fmt sv [pos] (§13): pos = length appends; past it, nothing.
bool SvInsert(CallContext& c) {
  std::string text;
  std::size_t i = 0;
  if (!Format(c, text, i)) return false;
  std::string* s = StringArg(c, i);
  std::size_t pos = Unsigned(c.Number(i + 1, 0));
  if (s != nullptr && pos <= s->size()) s->insert(pos, text);
  return true;
}

// sv_ToNumeric sv [start] (§13): strtod from start, junk after the number
// ignored, none -> 0. A start past the end reads past it in the host; here
// it gives 0.
bool SvToNumeric(CallContext& c) {
  const std::string s = TextArg(c, 0);
  std::size_t start = Unsigned(c.Number(1, 0));
  c.result = Value::Number(start <= s.size() ? std::strtod(s.c_str() + start, nullptr) : 0);
  return true;
}

// sv_GetChar sv pos (§13): the (signed) character code; -1 out of range.
bool SvGetChar(CallContext& c) {
  const std::string s = TextArg(c, 0);
  std::size_t pos = Unsigned(c.Number(1, 0));
  c.result = Value::Number(pos < s.size() ? static_cast<signed char>(s[pos]) : -1);
  return true;
}

// sv_Split string delims [bSingleDelimiter] (§13): every character of
// delims splits and empty pieces are dropped; with the flag delims is one
// delimiter and empty pieces are kept.
bool SvSplit(CallContext& c) {
  const std::string s = TextArg(c, 0), delims = TextArg(c, 1);
  ArrayStore& arrays = c.services.arrays();
  ArrayId id = arrays.Create(ArrayKind::Array);
  auto add = [&](std::string piece) { arrays.Append(id, NewString(c, std::move(piece))); };
  if (c.Number(2, 0) != 0 && !delims.empty()) {
    std::size_t from = 0;
    for (std::size_t at = s.find(delims); at != std::string::npos; at = s.find(delims, from)) {
      add(s.substr(from, at - from));
      from = at + delims.size();
    }
    add(s.substr(from));
  } else if (c.Number(2, 0) != 0) {
    add(s);  // an empty delimiter splits nothing
  } else {
    std::size_t from = s.find_first_not_of(delims);
    while (from != std::string::npos) {
      std::size_t end = s.find_first_of(delims, from);
      add(s.substr(from, end == std::string::npos ? std::string::npos : end - from));
      from = end == std::string::npos ? end : s.find_first_not_of(delims, end);
    }
  }
  c.result = Value::Array(id);
  return true;
}

// sv_Trim sv (§13): strips white space at both ends in place; 1, or 0 when
// the variable holds no string.
bool SvTrim(CallContext& c) {
  std::string* s = StringArg(c, 0);
  if (s != nullptr) {
    auto space = [](char ch) { return std::isspace(static_cast<unsigned char>(ch)) != 0; };
    auto first = std::find_if_not(s->begin(), s->end(), space);
    auto last = std::find_if_not(s->rbegin(), s->rend(), space).base();
    *s = first < last ? std::string(first, last) : std::string();
  }
  c.result = Value::Number(s != nullptr ? 1 : 0);
  return true;
}

// sv_ToUpper / sv_ToLower str (§13): a new string.
bool SvToUpper(CallContext& c) {
  c.result = NewString(c, ToUpperCopy(TextArg(c, 0)));
  return true;
}
bool SvToLower(CallContext& c) {
  c.result = NewString(c, Fold(TextArg(c, 0)));
  return true;
}

// sv_Percentify str (§13): every % doubled.
bool SvPercentify(CallContext& c) {
  std::string out;
  for (char ch : TextArg(c, 0)) out += ch == '%' ? std::string("%%") : std::string(1, ch);
  c.result = NewString(c, std::move(out));
  return true;
}

// sv_Destruct sv1 ... sv10 (§6.2, §13): frees the strings.
bool SvDestruct(CallContext& c) {
  for (const Value& v : c.args)
    if (v.IsString()) c.services.strings().Destroy(v.string());
  return true;
}

// The host's UInt32(n): a double converted through a 64-bit integer.
std::uint32_t Word(double n) { return static_cast<std::uint32_t>(static_cast<std::int64_t>(n)); }

// NumToHex n [width=8] [bPrefix] (§13): upper-case hex, zero-padded to at
// most 8 digits and never cut; 0x in front with the flag.
bool NumToHex(CallContext& c) {
  int width = std::clamp(static_cast<int>(c.Number(1, 8)), 0, 8);
  char buf[32];
  std::snprintf(buf, sizeof buf, "%s%0*X", c.Number(2, 0) != 0 ? "0x" : "", width,
                Word(c.Number(0)));
  c.result = NewString(c, buf);
  return true;
}

// NumToHex_OLD n [width=8] (§13): the same without the prefix.
bool NumToHexOld(CallContext& c) {
  int width = std::clamp(static_cast<int>(c.Number(1, 8)), 0, 8);
  char buf[32];
  std::snprintf(buf, sizeof buf, "%0*X", width, Word(c.Number(0)));
  c.result = NewString(c, buf);
  return true;
}

// IntToBin n [width=32] [bPrefix] (§13): binary, padded to at most 32 digits.
bool IntToBin(CallContext& c) {
  std::size_t width =
      static_cast<std::size_t>(std::clamp(static_cast<int>(c.Number(1, 32)), 0, 32));
  std::string bits;
  for (std::uint32_t n = Word(c.Number(0)); n != 0; n >>= 1)
    bits.insert(bits.begin(), static_cast<char>('0' + (n & 1)));
  if (bits.size() < width) bits.insert(0, width - bits.size(), '0');
  if (bits.empty()) bits = "0";
  c.result = NewString(c, (c.Number(2, 0) != 0 ? "0b" : "") + bits);
  return true;
}

// ToNumber str [bHex] [bReportError] (§13): as the # operator (§10.4); with
// bHex the whole text is read as hex. With bReportError a text that holds
// no number is the host's error.
bool ToNumber(CallContext& c) {
  if (c.Has(0) && c.args[0].IsNumber()) {
    c.result = c.args[0];
    return true;
  }
  const std::string s = TextArg(c, 0);
  bool parsed = false;
  double n = 0;
  if (c.Number(1, 0) != 0) {
    unsigned int x = 0;
    parsed = std::sscanf(s.c_str(), "%x", &x) == 1;
    n = x;
  } else {
    const char* begin = s.c_str();
    while (std::isspace(static_cast<unsigned char>(*begin))) ++begin;
    bool prefixed = begin[0] == '0' && std::strchr("xXbB", begin[1]) != nullptr && begin[1] != 0;
    char* end = nullptr;
    std::strtod(begin, &end);
    parsed = prefixed ? std::isxdigit(static_cast<unsigned char>(begin[2])) != 0 : end != begin;
    n = TextToNumber(s);
  }
  if (!parsed && c.Number(2, 0) != 0) return c.Fail("Error converting string to number.");
  c.result = Value::Number(n);
  return true;
}

}  // namespace

void RegisterStrings(Registry& r) {
  const ParamSpec str{Param::String}, num{Param::Number}, optNum{Param::Number, true},
      optAny{Param::Any, true};
  // §6.3: sv_Construct takes a format and up to 20 values.
  r.Add({"sv_Construct", "", {str, optAny}, false, Returns::String, SvConstruct, 19});
  r.Add({"sv_Set", "", {str, str}, false, Returns::Number, SvSet});
  r.Add({"sv_Compare", "", {str, str, optNum}, false, Returns::Number, SvCompare});
  r.Add({"sv_Length", "", {str}, false, Returns::Number, SvLength});
  r.Add({"sv_Erase", "", {str, optNum, optNum}, false, Returns::Number, SvErase});
  r.Add({"sv_SubString", "", {str, optNum, optNum}, false, Returns::String, SvSubString});
  r.Add({"sv_ToNumeric", "", {str, optNum}, false, Returns::Number, SvToNumeric});
  r.Add({"sv_Insert", "", {str, str, optNum}, false, Returns::Number, SvInsert});
  r.Add({"sv_Count", "", {str, str, optNum, optNum, optNum}, false, Returns::Number, SvCount});
  r.Add({"sv_Find", "", {str, str, optNum, optNum, optNum}, false, Returns::Number, SvFind});
  r.Add({"sv_Replace",
         "",
         {str, str, optNum, optNum, optNum, optNum},
         false,
         Returns::Number,
         SvReplace});
  r.Add({"sv_GetChar", "", {str, num}, false, Returns::Number, SvGetChar});
  r.Add({"sv_Split", "", {str, str, optNum}, false, Returns::Array, SvSplit});
  r.Add({"sv_Trim", "", {str}, false, Returns::Number, SvTrim});
  r.Add({"sv_ToUpper", "", {str}, false, Returns::String, SvToUpper});
  r.Add({"sv_ToLower", "", {str}, false, Returns::String, SvToLower});
  r.Add({"sv_Percentify", "", {str}, false, Returns::String, SvPercentify});
  r.Add({"sv_Destruct", "", {str, {Param::String, true}}, false, Returns::Number, SvDestruct, 8});
  r.Add({"NumToHex", "IntToHex", {num, optNum, optNum}, false, Returns::String, NumToHex});
  r.Add({"NumToHex_OLD", "", {num, optNum}, false, Returns::String, NumToHexOld});
  r.Add({"IntToBin", "", {num, optNum, optNum}, false, Returns::String, IntToBin});
  r.Add({"ToNumber", "", {{Param::Any}, optNum, optNum}, false, Returns::Number, ToNumber});
}

}  // namespace cv::sim::script
