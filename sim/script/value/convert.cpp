#include "sim/script/value/convert.h"

#include <cstdio>
#include <cstdlib>

#include "sim/script/value/text.h"

namespace cv::sim::script {

const char* TypeName(Type t) {
  switch (t) {
    case Type::Number: return "Number";
    case Type::Form: return "Form";
    case Type::String: return "String";
    case Type::Array: return "Array";
    default: return "Function";
  }
}

bool Truthy(const Value& v, const StringStore& strings) {
  switch (v.type()) {
    case Type::Number: return v.number() != 0;
    case Type::String: return strings.Exists(v.string());
    default: return v.id() != 0;
  }
}

double NumberOf(const Value& v) { return v.IsNumber() ? v.number() : 0; }

std::string FormatG(double n) {
  char buf[64];
  std::snprintf(buf, sizeof buf, "%g", n);
  return buf;
}

double TextToNumber(std::string_view s) {
  std::string text(s);
  std::size_t start = text.find_first_not_of(" \t\r\n");
  if (start == std::string::npos) return 0;
  std::string_view rest = std::string_view(text).substr(start);
  if (rest.size() >= 2 && rest[0] == '0' && (rest[1] == 'x' || rest[1] == 'X')) {
    unsigned int x = 0;
    std::sscanf(text.c_str() + start, "%x", &x);
    return x;
  }
  if (rest.size() >= 2 && rest[0] == '0' && (rest[1] == 'b' || rest[1] == 'B'))
    return static_cast<double>(std::strtol(text.c_str() + start + 2, nullptr, 2));
  return std::strtod(text.c_str() + start, nullptr);
}

}  // namespace cv::sim::script
