// More of the game's and the script extender's functions (script-language.md
// §6.3, §7, §13): GetName, GetFormIDString, the character-code
// ToUpper/ToLower, the actor values GetAV/SetAV/ModAV and GetSecondsPassed.
#include <cctype>
#include <cstdio>
#include <string>

#include "sim/script/builtins/registry.h"
#include "sim/script/value/convert.h"
#include "sim/world/world.h"

namespace cv::sim::script {

namespace {

// A form argument, or the calling reference when it is left out.
FormId FormOrSelf(const CallContext& c, std::size_t i) {
  if (!c.Has(i)) return c.callingRef;
  return c.args[i].IsForm() ? c.args[i].form() : 0;
}

// [ref.]GetName [form] (§6.3): the form's display name, "" when it has none.
bool GetName(CallContext& c) {
  const FormId id = FormOrSelf(c, 0);
  c.result = Value::String(c.services.strings().New(id != 0 ? c.services.FullName(id) : ""));
  return true;
}

// [ref.]GetFormIDString [form] (§6.3): the form id as 8 upper-case hex
// digits, as %i prints it (§6.4).
bool GetFormIDString(CallContext& c) {
  char text[16];
  std::snprintf(text, sizeof text, "%08X", static_cast<unsigned>(FormOrSelf(c, 0)));
  c.result = Value::String(c.services.strings().New(text));
  return true;
}

// ToUpper n / ToLower n (§13): one character code, not a string.
bool CharCase(CallContext& c, bool upper) {
  const int code = static_cast<int>(c.Number(0));
  int out = code;
  if (code >= 0 && code < 128) out = upper ? std::toupper(code) : std::tolower(code);
  c.result = Value::Number(out);
  return true;
}
bool ToUpperChar(CallContext& c) { return CharCase(c, true); }
bool ToLowerChar(CallContext& c) { return CharCase(c, false); }

// Actor values live on actors; another reference has none (it reads 0 and
// keeps nothing).
bool IsActorRef(CallContext& c) {
  const cv::sim::Form* f = c.services.world().Lookup(c.callingRef);
  return f != nullptr && f->kind == FormKind::Actor;
}

std::string AvName(const CallContext& c) {
  return c.Has(0) && c.args[0].IsString()
             ? std::string(c.services.strings().Text(c.args[0].string()))
             : std::string();
}

// ref.GetAV ActorValue (§7): the actor's value; 0 until SetAV or ModAV
// gives it one (the simulator keeps no game defaults).
bool GetAV(CallContext& c) {
  c.result = Value::Number(0);
  if (!IsActorRef(c)) return true;
  const auto& values = c.services.game().actorValues;
  auto it = values.find(c.callingRef);
  if (it == values.end()) return true;
  auto v = it->second.find(AvName(c));
  if (v != it->second.end()) c.result = Value::Number(v->second);
  return true;
}

// ref.SetAV ActorValue value / ref.ModAV ActorValue amount: sets the value,
// or adds to it.
bool ChangeAV(CallContext& c, bool add) {
  c.result = Value::Number(0);
  const std::string name = AvName(c);
  if (!IsActorRef(c) || name.empty()) return true;
  double& v = c.services.game().actorValues[c.callingRef][name];
  v = add ? v + c.Number(1) : c.Number(1);
  return true;
}
bool SetAV(CallContext& c) { return ChangeAV(c, false); }
bool ModAV(CallContext& c) { return ChangeAV(c, true); }

// GetSecondsPassed: the seconds since the script last ran, an object
// script's frame or a quest script's time since its last turn. The language
// facts do not cover it; the docs say how it is modelled.
bool GetSecondsPassed(CallContext& c) {
  c.result = Value::Number(c.services.game().secondsPassed);
  return true;
}

}  // namespace

void RegisterGameMore(Registry& r) {
  const ParamSpec optForm{Param::Form, true}, num{Param::Number}, av{Param::Name};
  r.Add({"GetName", "", {optForm}, false, Returns::String, GetName});                  // §6.3
  r.Add({"GetFormIDString", "", {optForm}, false, Returns::String, GetFormIDString});  // §6.3
  r.Add({"ToUpper", "", {num}, false, Returns::Number, ToUpperChar});                  // §13
  r.Add({"ToLower", "", {num}, false, Returns::Number, ToLowerChar});                  // §13
  r.Add({"GetActorValue", "GetAV", {av}, true, Returns::Number, GetAV});               // §7
  r.Add({"SetActorValue", "SetAV", {av, num}, true, Returns::Number, SetAV});
  r.Add({"ModActorValue", "ModAV", {av, num}, true, Returns::Number, ModAV});
  r.Add({"GetSecondsPassed", "", {}, false, Returns::Number, GetSecondsPassed});
}

}  // namespace cv::sim::script
