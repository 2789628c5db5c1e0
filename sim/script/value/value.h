// The value a script computes with: a tag and one payload, 16 bytes, copied
// freely. Strings and arrays are ids into their stores (StringStore,
// ArrayStore), as the host keeps them (script-language.md §6.1, §12.8):
// a number and a form stay distinct kinds, so a form id survives a round
// trip through a ref variable exactly (§6.1).
#pragma once

#include <cstdint>

namespace cv::sim::script {

enum class Type : std::uint8_t {
  Number,    // every number is a double (§1.4)
  Form,      // a form id; 0 is no form
  String,    // a string id in the StringStore; 0 is no string (§1.4)
  Array,     // an array id in the ArrayStore; 0 is no array (§12)
  Function,  // a function script (a UDF or a lambda), by its index in the Program
};

using StringId = std::uint32_t;
using ArrayId = std::uint32_t;
using FunctionId = std::uint32_t;
using FormId = std::uint32_t;

class Value {
 public:
  Value() = default;
  static Value Number(double n) {
    Value v;
    v.number_ = n;
    return v;
  }
  static Value Form(FormId id) { return Tagged(Type::Form, id); }
  static Value String(StringId id) { return Tagged(Type::String, id); }
  static Value Array(ArrayId id) { return Tagged(Type::Array, id); }
  static Value Function(FunctionId id) { return Tagged(Type::Function, id); }
  static Value Bool(bool b) { return Number(b ? 1 : 0); }

  Type type() const { return type_; }
  bool IsNumber() const { return type_ == Type::Number; }
  bool IsForm() const { return type_ == Type::Form; }
  bool IsString() const { return type_ == Type::String; }
  bool IsArray() const { return type_ == Type::Array; }
  bool IsFunction() const { return type_ == Type::Function; }

  double number() const { return number_; }
  FormId form() const { return id_; }
  StringId string() const { return id_; }
  ArrayId array() const { return id_; }
  FunctionId function() const { return id_; }
  // The payload id of any non-number kind.
  std::uint32_t id() const { return id_; }

  // Same kind and same payload (numbers exactly).
  bool Same(const Value& o) const {
    return type_ == o.type_ && (type_ == Type::Number ? number_ == o.number_ : id_ == o.id_);
  }

 private:
  static Value Tagged(Type t, std::uint32_t id) {
    Value v;
    v.type_ = t;
    v.id_ = id;
    return v;
  }
  double number_ = 0;
  std::uint32_t id_ = 0;
  Type type_ = Type::Number;
};

static_assert(sizeof(Value) == 16, "a Value stays 16 bytes");

// The name of a kind in messages ("Number", "Form", "String", "Array",
// "Function").
const char* TypeName(Type t);

}  // namespace cv::sim::script
