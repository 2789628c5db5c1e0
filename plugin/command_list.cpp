// corvane-commands: writes the command table as the machine-readable command
// list that the command reference is checked against (docs/commands.json).
//   corvane-commands [FILE]   writes FILE, or standard output without one
#include <cstdio>
#include <string>
#include <string_view>

#include "plugin/command_table.h"
#include "plugin/version_command.h"

namespace {

// The parameter types as the reference's syntax lines name them.
const char* ParamTypeName(UInt32 typeId) {
  switch (typeId) {
    case kParamType_String: return "string";
    case kParamType_Integer: return "int";
    case kParamType_Float: return "float";
    case kParamType_Quest: return "quest";
    case kParamType_FormList: return "formlist";
    case kParamType_AnyForm: return "form";
    default: return "unknown";
  }
}

// How the host hands the result to a script: untyped commands give a number.
const char* RegisteredType(const cv::plugin::CommandRow& row) {
  if (!row.typed) return "number";
  switch (row.returnType) {
    case kRetnType_Default: return "number";
    case kRetnType_Form: return "form";
    case kRetnType_String: return "string";
    case kRetnType_Array: return "array";
    default: return "unknown";
  }
}

std::string Quoted(std::string_view text) {
  std::string out = "\"";
  for (char c : text) {
    if (c == '"' || c == '\\') out += '\\';
    out += c;
  }
  return out + '"';
}

// The help texts are registered between double quotes; the list shows the text.
std::string_view Unquoted(const char* help) {
  std::string_view text = help ? help : "";
  if (text.size() >= 2 && text.front() == '"' && text.back() == '"')
    text = text.substr(1, text.size() - 2);
  return text;
}

std::string Json() {
  char hex[16];
  std::string out =
      "{\n  \"version\": " + std::to_string(cv::plugin::kPluginVersion) + ",\n  \"commands\": [\n";
  const cv::plugin::CommandRow* table = cv::plugin::CommandTable();
  for (std::size_t i = 0; i < cv::plugin::kCommandCount; ++i) {
    const CommandInfo& info = table[i].info;
    std::snprintf(hex, sizeof hex, "0x%04X", static_cast<unsigned>(cv::plugin::kOpcodeBase + i));
    out += "    {\"name\": " + Quoted(info.longName) + ", \"alias\": " + Quoted(info.shortName) +
           ", \"opcode\": \"" + hex +
           "\",\n     \"needsReference\": " + (info.needsParent ? "true" : "false") +
           ", \"condition\": " + (info.eval ? "true" : "false") + ", \"registeredAs\": \"" +
           RegisteredType(table[i]) + "\",\n     \"help\": " + Quoted(Unquoted(info.helpText)) +
           ",\n     \"params\": [";
    for (UInt16 p = 0; p < info.numParams; ++p) {
      const ParamInfo& param = info.params[p];
      out += std::string(p ? ",\n                " : "") + "{\"name\": " + Quoted(param.typeStr) +
             ", \"type\": \"" + ParamTypeName(param.typeID) +
             "\", \"optional\": " + (param.isOptional ? "true" : "false") + "}";
    }
    out += i + 1 < cv::plugin::kCommandCount ? "]},\n" : "]}\n";
  }
  return out + "  ]\n}\n";
}

}  // namespace

int main(int argc, char** argv) {
  const std::string json = Json();
  std::FILE* file = argc > 1 ? std::fopen(argv[1], "wb") : stdout;
  if (!file) {
    std::fprintf(stderr, "corvane-commands: cannot write %s\n", argv[1]);
    return 1;
  }
  bool ok = std::fwrite(json.data(), 1, json.size(), file) == json.size();
  if (file != stdout) ok = std::fclose(file) == 0 && ok;
  return ok ? 0 : 1;
}
