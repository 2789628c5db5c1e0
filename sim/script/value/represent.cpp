#include "sim/script/value/represent.h"

#include <cstdio>
#include <string>

#include "sim/script/value/convert.h"

namespace cv::sim::script {

namespace {

std::string FormRepr(FormId id, Services& s) {
  char hex[16];
  std::snprintf(hex, sizeof hex, "%X", id);
  std::string name = s.FullName(id);
  return std::string("[id: ") + hex + ", edid: \"" + s.EditorId(id) + "\", name: \"" +
         (name.empty() ? "<no name>" : name) + "\"]";
}

std::string ArrayRepr(ArrayId id, Services& s) {
  const ArrayData* a = s.arrays().Get(id);
  if (a == nullptr) return "array ID " + std::to_string(id) + " (invalid)";
  std::string out = "[";
  bool first = true;
  s.arrays().ForEach(id, [&](const Key& k, const Element& e) {
    if (!first) out += ", ";
    first = false;
    if (a->kind == ArrayKind::Map) out += std::to_string(k.number) + ": ";
    if (a->kind == ArrayKind::StringMap) out += "\"" + k.text + "\": ";
    out += RepresentElement(e, s);
  });
  return out + "]";
}

}  // namespace

std::string RepresentElement(const Element& e, Services& s) {
  switch (e.type) {
    case Type::Number: return FormatG(e.number);
    case Type::String: return "\"" + e.text + "\"";
    case Type::Form: return e.id != 0 ? FormRepr(e.id, s) : "null";
    case Type::Array: return s.arrays().Get(e.id) != nullptr ? ArrayRepr(e.id, s) : "invalid array";
    default: return "function " + std::to_string(e.id);
  }
}

std::string Represent(const Value& v, Services& s) {
  switch (v.type()) {
    case Type::String: return std::string(s.strings().Text(v.string()));
    case Type::Number: return FormatG(v.number());
    case Type::Form: return v.form() != 0 ? FormRepr(v.form(), s) : "";
    case Type::Array: return s.arrays().Get(v.array()) != nullptr ? ArrayRepr(v.array(), s) : "";
    default: return "";
  }
}

std::string ToText(const Value& v, Services& s) {
  switch (v.type()) {
    case Type::Form: {
      if (v.form() == 0) return "<NULL>";
      std::string name = s.FullName(v.form());
      return name.empty() ? "<no name>" : name;
    }
    case Type::Array: return ArrayRepr(v.array(), s);
    default: return Represent(v, s);
  }
}

}  // namespace cv::sim::script
