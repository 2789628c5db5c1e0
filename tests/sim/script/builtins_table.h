// Table-driven cases for the built-in families: each row calls one
// built-in with arguments written as text and checks what it gives.
//   123, -1.5     a number
//   "text"        a string (a kept string, as a string_var holds)
//   [1, "a"]      a new Array of those values
//   #1A           the form with that hex id
//   fn7           the function script with id 7
//   nostring      a string_var that holds no string (id 0)
//   {k v}         a pair k::v (a StringMap with "key" and "value")
//   <lo hi>       a range lo:hi (a StringMap with "lo" and "hi")
// A row may check an argument afterwards (the in-place sv_ and ar_
// commands), and the console lines the call printed.
#pragma once

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "builtins_fake.h"

namespace cv::sim::script::testing {

struct Case {
  const char* fact;  // the fact it is built on (script-language.md section)
  const char* fn;
  std::vector<const char*> args;
  const char* result;             // FakeServices::Show of the result
  int arg = -1;                   // an argument to show after the call
  const char* argAfter = "";      // what it shows then
  const char* console = nullptr;  // the one console line expected, if any
};

inline void PrintTo(const Case& c, std::ostream* os) { *os << c.fn << " (" << c.fact << ")"; }

// Parses one argument written as above.
inline Value ParseArg(FakeServices& s, std::string_view& t) {
  while (!t.empty() && (t[0] == ' ' || t[0] == ',')) t.remove_prefix(1);
  if (t.empty()) return Value();
  if (t[0] == '"') {
    std::size_t end = t.find('"', 1);
    Value v = s.Str(std::string(t.substr(1, end - 1)));
    t.remove_prefix(end + 1);
    return v;
  }
  if (t[0] == '{' || t[0] == '<') {
    const bool pair = t[0] == '{';
    t.remove_prefix(1);
    Value first = ParseArg(s, t), second = ParseArg(s, t);
    while (!t.empty() && t[0] == ' ') t.remove_prefix(1);
    t.remove_prefix(1);
    ArrayId id = s.arrays().Create(ArrayKind::StringMap);
    s.arrays().Set(id, Key::Str(pair ? "key" : "lo"), first);
    s.arrays().Set(id, Key::Str(pair ? "value" : "hi"), second);
    return Value::Array(id);
  }
  if (t[0] == '[') {
    t.remove_prefix(1);
    std::vector<Value> items;
    while (true) {
      while (!t.empty() && (t[0] == ' ' || t[0] == ',')) t.remove_prefix(1);
      if (t.empty() || t[0] == ']') break;
      items.push_back(ParseArg(s, t));
    }
    if (!t.empty()) t.remove_prefix(1);
    return s.List(items);
  }
  std::string word(t.substr(0, t.find_first_of(" ,]}>")));
  t.remove_prefix(word.size());
  if (word == "nostring") return Value::String(0);
  if (word[0] == '#')
    return Value::Form(static_cast<FormId>(std::strtoul(word.c_str() + 1, nullptr, 16)));
  if (word.rfind("fn", 0) == 0)
    return Value::Function(static_cast<FunctionId>(std::atoi(word.c_str() + 2)));
  return Value::Number(std::strtod(word.c_str(), nullptr));
}

inline std::vector<Value> ParseArgs(FakeServices& s, const std::vector<const char*>& args) {
  std::vector<Value> out;
  for (const char* a : args) {
    std::string_view t(a);
    out.push_back(ParseArg(s, t));
  }
  return out;
}

// Runs the row; the call must succeed.
inline void RunCase(FakeServices& s, const Case& c) {
  std::vector<Value> args = ParseArgs(s, c.args);
  Value result;
  ASSERT_TRUE(s.Call(c.fn, args, result)) << s.lastError;
  EXPECT_EQ(s.Show(result), c.result);
  if (c.arg >= 0) {
    EXPECT_EQ(s.Show(args[static_cast<std::size_t>(c.arg)]), c.argAfter);
  }
  if (c.console != nullptr) {
    EXPECT_EQ(s.console, std::vector<std::string>{c.console});
  }
}

}  // namespace cv::sim::script::testing
