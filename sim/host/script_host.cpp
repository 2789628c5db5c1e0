// Argument extraction, host string variables and host arrays.
#include <algorithm>
#include <cstdarg>
#include <cstring>

#include "platform/fault.h"
#include "sim/host/host.h"

namespace cv::sim {

namespace {

bool Fails(const char* op) { return fault::Hit(op) == fault::Kind::Return; }

// The call whose handler passed these arguments, or null.
CallFrame* FrameOf(Host* h, const void* scriptData, const UInt32* opcodeOffsetPtr) {
  if (h == nullptr || h->frame == nullptr) return nullptr;
  CallFrame* f = h->frame;
  if (scriptData != f || opcodeOffsetPtr != &f->opcodeOffset) return nullptr;
  return f;
}

// One argument's output. A string is the whole text, with no bound at all,
// as the real host writes it: the caller's buffer must hold it.
void Write(Host& h, UInt32 type, const ArgValue& v, void* out) {
  switch (type) {
    case kParamType_String: std::strcpy(static_cast<char*>(out), v.text.c_str()); break;
    case kParamType_Integer: std::memcpy(out, &v.integer, sizeof v.integer); break;
    case kParamType_Float: std::memcpy(out, &v.number, sizeof v.number); break;
    default: {
      auto* form = static_cast<TESForm*>(h.world.Handle(v.form));
      std::memcpy(out, &form, sizeof form);
    }
  }
}

bool ExtractArgsEx(ParamInfo* paramInfo, void* scriptData, UInt32* opcodeOffsetPtr, Script*,
                   ScriptEventList* eventList, ...) {
  if (Fails("extract")) return false;
  Host* h = Host::Active();
  CallFrame* f = FrameOf(h, scriptData, opcodeOffsetPtr);
  if (f == nullptr || paramInfo == nullptr || paramInfo != f->command->params) return false;

  // As the real host does: the arguments are read and written in order, and
  // one that cannot be read ends the call with false, the outputs before it
  // already written. A left-out optional argument keeps its pre-set value.
  const std::size_t given = f->typedArgs != nullptr ? f->typedArgs->size() : f->args->size();
  const std::size_t n = f->command->numParams;
  if (given > n) return false;
  va_list ap;
  va_start(ap, eventList);
  bool ok = true;
  for (std::size_t i = 0; i < n && ok; ++i) {
    void* out = va_arg(ap, void*);
    ArgValue v;
    if (i >= given) {
      ok = paramInfo[i].isOptional != 0;
    } else if (f->typedArgs != nullptr
                   ? !ConvertTypedArg(h->world, (*f->typedArgs)[i], paramInfo[i].typeID, v)
                   : !ConvertArg(h->world, (*f->args)[i], paramInfo[i].typeID, v)) {
      ok = false;
    } else if (out != nullptr) {
      Write(*h, paramInfo[i].typeID, v, out);
    }
  }
  va_end(ap);
  return ok;
}

// --- string variables ---

const char* GetString(UInt32 id) {
  if (Fails("GetString")) return nullptr;
  Host* h = Host::Active();
  if (h == nullptr) return nullptr;
  auto it = h->world.stringVars.find(id);
  return it == h->world.stringVars.end() ? nullptr : it->second.c_str();
}

void SetString(UInt32 id, const char* value) {
  if (Host* h = Host::Active()) h->world.stringVars[id] = value != nullptr ? value : "";
}

UInt32 CreateString(const char* value, void*) {
  Host* h = Host::Active();
  return h != nullptr ? h->world.NewStringVar(value != nullptr ? value : "") : 0;
}

void RegisterStringVars(NVSEStringVarInterface*) {}

bool Assign(ParamInfo*, void* scriptData, TESObjectREFR*, TESObjectREFR*, Script*, ScriptEventList*,
            double* result, UInt32* opcodeOffsetPtr, const char* newValue) {
  if (Fails("Assign")) return false;
  Host* h = Host::Active();
  CallFrame* f = FrameOf(h, scriptData, opcodeOffsetPtr);
  if (f == nullptr || result == nullptr) return false;
  std::string text = newValue != nullptr ? newValue : "";
  *result = h->world.NewStringVar(text);
  f->stringResult = std::move(text);
  return true;
}

// --- arrays ---

using Element = NVSEArrayVarInterface::Element;

// Copies a string of an element into the array's own storage, as the real
// host does; the caller keeps (and frees) the block it passed.
bool CopyString(Host* h, const char* str, std::string& out) {
  if (str == nullptr) {
    h->Error("array string element with no text");
    return false;
  }
  out = str;
  return true;
}

// The host reads the calling script's mod index when it makes an array.
bool HasCallingScript(Host* h, Script* script, const char* op) {
  if (script != nullptr) return true;
  h->Error(std::string(op) + " with no calling script");
  return false;
}

bool ToValue(Host* h, const Element& e, ElementValue& out) {
  switch (e.type) {
    case Element::kType_Numeric:
      out.type = ElementValue::Type::Number;
      out.number = e.num;
      return true;
    case Element::kType_Form: {
      out.type = ElementValue::Type::Form;
      if (e.form == nullptr) return true;
      Form* f = h->world.AsForm(e.form);
      if (f == nullptr) {
        h->Error("array form element is not a form");
        return false;
      }
      out.form = f->id;
      return true;
    }
    case Element::kType_String:
      out.type = ElementValue::Type::String;
      return CopyString(h, e.str, out.text);
    default: h->Error("array element of unsupported type " + std::to_string(e.type)); return false;
  }
}

NVSEArrayVarInterface::Array* NewArray(Host* h) {
  auto a = std::make_unique<ArrayVar>();
  a->id = h->nextArrayId++;
  auto* handle = reinterpret_cast<NVSEArrayVarInterface::Array*>(a.get());
  h->arrays[handle] = std::move(a);
  return handle;
}

NVSEArrayVarInterface::Array* CreateArray(const Element* data, UInt32 size, Script* script) {
  Host* h = Host::Active();
  if (h == nullptr || !HasCallingScript(h, script, "CreateArray")) return nullptr;
  auto* handle = NewArray(h);
  ArrayVar* a = h->FindArray(handle);
  for (UInt32 i = 0; i < size && data != nullptr; ++i)
    ToValue(h, data[i], a->items[FormatNumber(i)]);
  return handle;
}

NVSEArrayVarInterface::Array* CreateStringMap(const char** keys, const Element* values, UInt32 size,
                                              Script* script) {
  if (Fails("CreateStringMap")) return nullptr;
  Host* h = Host::Active();
  if (h == nullptr || !HasCallingScript(h, script, "CreateStringMap")) return nullptr;
  auto* handle = NewArray(h);
  ArrayVar* a = h->FindArray(handle);
  a->kind = ArrayVar::Kind::StringMap;
  for (UInt32 i = 0; i < size && keys != nullptr && values != nullptr; ++i)
    ToValue(h, values[i], a->items[keys[i] != nullptr ? keys[i] : ""]);
  return handle;
}

NVSEArrayVarInterface::Array* CreateMap(const double* keys, const Element* values, UInt32 size,
                                        Script* script) {
  Host* h = Host::Active();
  if (h == nullptr || !HasCallingScript(h, script, "CreateMap")) return nullptr;
  auto* handle = NewArray(h);
  ArrayVar* a = h->FindArray(handle);
  a->kind = ArrayVar::Kind::Map;
  for (UInt32 i = 0; i < size && keys != nullptr && values != nullptr; ++i)
    ToValue(h, values[i], a->items[FormatNumber(keys[i])]);
  return handle;
}

bool AssignCommandResult(NVSEArrayVarInterface::Array* arr, double* dest) {
  if (Fails("AssignCommandResult")) return false;
  Host* h = Host::Active();
  ArrayVar* a = h != nullptr ? h->FindArray(arr) : nullptr;
  if (a == nullptr || dest == nullptr) return false;
  *dest = a->id;
  if (h->frame != nullptr && h->frame->result == dest) h->frame->arrayResult = arr;
  return true;
}

void SetElement(NVSEArrayVarInterface::Array* arr, const Element& key, const Element& value) {
  Host* h = Host::Active();
  if (h == nullptr) return;
  // The strings are copied; the caller's blocks stay the caller's.
  std::string keyText;
  ElementValue v;
  bool keyOk = key.type == Element::kType_String ? CopyString(h, key.str, keyText) : false;
  if (key.type != Element::kType_String) h->Error("string map key is not a string");
  bool valueOk = ToValue(h, value, v);
  if (Fails("SetElement")) return;
  ArrayVar* a = h->FindArray(arr);
  if (a == nullptr) {
    h->Error("SetElement on an unknown array");
    return;
  }
  if (keyOk && valueOk) a->items[keyText] = std::move(v);
}

// The tables as the real host lays them out; the entries the simulator does
// not model stay null.
NVSEScriptInterface MakeScriptInterface() {
  NVSEScriptInterface t{};
  t.ExtractArgsEx = ExtractArgsEx;
  return t;
}

NVSEStringVarInterface MakeStringVarInterface() {
  NVSEStringVarInterface t{};
  t.version = NVSEStringVarInterface::kVersion;
  t.GetString = GetString;
  t.SetString = SetString;
  t.CreateString = CreateString;
  t.Register = RegisterStringVars;
  t.Assign = Assign;
  return t;
}

NVSEArrayVarInterface MakeArrayVarInterface() {
  NVSEArrayVarInterface t{};
  t.CreateArray = CreateArray;
  t.CreateStringMap = CreateStringMap;
  t.CreateMap = CreateMap;
  t.AssignCommandResult = AssignCommandResult;
  t.SetElement = SetElement;
  return t;
}

NVSEScriptInterface g_script = MakeScriptInterface();
NVSEStringVarInterface g_stringVar = MakeStringVarInterface();
NVSEArrayVarInterface g_arrayVar = MakeArrayVarInterface();

}  // namespace

NVSEScriptInterface* ScriptInterface() { return &g_script; }
NVSEStringVarInterface* StringVarInterface() { return &g_stringVar; }
NVSEArrayVarInterface* ArrayVarInterface() { return &g_arrayVar; }

namespace {

// A number for an integer parameter is cut to its whole part, as a script
// does; one outside the 32-bit range does not fit.
bool ConvertNumber(double d, UInt32 type, ArgValue& out) {
  if (type == kParamType_Float) {
    out.number = static_cast<float>(d);
    return true;
  }
  if (!(d > -2147483649.0 && d < 4294967296.0)) return false;
  out.integer = static_cast<UInt32>(static_cast<long long>(d));
  return true;
}

// A form the look-up finds, of the kind the parameter takes.
bool ConvertForm(const World& world, UInt32 id, UInt32 type, ArgValue& out) {
  Form* f = world.Lookup(id);
  if (f == nullptr) return false;
  if (type == kParamType_Quest && f->kind != FormKind::Quest) return false;
  if (type == kParamType_FormList && f->kind != FormKind::FormList) return false;
  out.form = f;
  return true;
}

}  // namespace

bool IsFormParam(UInt32 type) {
  return type == kParamType_Quest || type == kParamType_FormList || type == kParamType_AnyForm;
}

bool ConvertArg(const World& world, const Token& token, UInt32 type, ArgValue& out) {
  switch (type) {
    case kParamType_String: {
      // $N names host string variable N, passed whole as a script's $name
      // argument is.
      if (token.kind == TokenKind::Word && token.text.size() > 1 && token.text[0] == '$') {
        Token number{TokenKind::Number, token.text.substr(1)};
        std::optional<long long> id = ParseInteger(number);
        auto it = id ? world.stringVars.find(static_cast<UInt32>(*id)) : world.stringVars.end();
        if (it == world.stringVars.end()) return false;
        out.text = it->second;
        return true;
      }
      out.text = token.text;
      return true;
    }
    case kParamType_Integer: {
      if (std::optional<long long> v = ParseInteger(token)) {
        out.integer = static_cast<UInt32>(*v);
        return true;
      }
      std::optional<double> d = ParseNumber(token);
      return d && ConvertNumber(*d, type, out);
    }
    case kParamType_Float: {
      std::optional<double> d = ParseNumber(token);
      return d && ConvertNumber(*d, type, out);
    }
    default: break;
  }
  if (!IsFormParam(type)) return false;
  if (IsNone(token)) {
    out.form = nullptr;
    return true;
  }
  std::optional<UInt32> id = ParseFormId(token);
  return id && ConvertForm(world, *id, type, out);
}

bool ConvertTypedArg(const World& world, const TypedArg& arg, UInt32 type, ArgValue& out) {
  switch (arg.kind) {
    case TypedArg::Kind::String:
      if (type != kParamType_String) return false;
      out.text = arg.text;
      return true;
    case TypedArg::Kind::Number:
      if (IsFormParam(type) && arg.number == 0) {  // a ref holding 0 passes none
        out.form = nullptr;
        return true;
      }
      return (type == kParamType_Integer || type == kParamType_Float) &&
             ConvertNumber(arg.number, type, out);
    default:
      if (!IsFormParam(type)) return false;
      if (arg.form == 0) {
        out.form = nullptr;
        return true;
      }
      return ConvertForm(world, arg.form, type, out);
  }
}

}  // namespace cv::sim
