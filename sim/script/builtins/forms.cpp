// Forms and references: GetSelf, GetIsID, GetIsReference, GetBaseObject,
// IsFormValid, IsReference, TypeOf (script-language.md §5, §7).
#include "sim/script/builtins/registry.h"
#include "sim/script/value/represent.h"
#include "sim/world/world.h"

namespace cv::sim::script {

namespace {

FormId FormArg(const CallContext& c, std::size_t i) {
  return c.Has(i) && c.args[i].IsForm() ? c.args[i].form() : 0;
}

// A placed reference or actor, as opposed to a base form (§1.3, §5.4).
bool IsPlaced(const cv::sim::Form* f) {
  return f != nullptr && (f->kind == FormKind::Reference || f->kind == FormKind::Actor);
}

// The base form of a placed reference; 0 when the form is none or a base.
FormId BaseOf(Services& s, FormId ref) {
  const cv::sim::Form* f = ref != 0 ? s.world().Lookup(ref) : nullptr;
  return IsPlaced(f) && f->base != nullptr ? f->base->id : 0;
}

// The calling reference, 0 when there is none (a quest script, §5.3).
bool GetSelf(CallContext& c) {
  c.result = Value::Form(c.callingRef);
  return true;
}

// GetSelfAlt (§5.3): the calling reference, whatever it is.
bool GetSelfAlt(CallContext& c) {
  c.result = Value::Form(c.callingRef);
  return true;
}

// ref.GetIsID ObjectID (§7): 1 when the calling reference's base form is it.
bool GetIsID(CallContext& c) {
  FormId id = FormArg(c, 0);
  c.result = Value::Bool(id != 0 && BaseOf(c.services, c.callingRef) == id);
  return true;
}

// ref.GetIsReference RefID (§7): 1 when the calling reference is that one.
bool GetIsReference(CallContext& c) {
  FormId id = FormArg(c, 0);
  c.result = Value::Bool(id != 0 && c.callingRef == id);
  return true;
}

// ref.GetBaseObject (§7): the reference's base form.
bool GetBaseObject(CallContext& c) {
  c.result = Value::Form(BaseOf(c.services, c.callingRef));
  return true;
}

// [ref.]IsFormValid [form] (§7, §5.4): 1 when the form exists; without an
// argument, the calling reference's base form. (The host's console-mode
// lines are not printed: scripts do not run in console mode.)
bool IsFormValid(CallContext& c) {
  FormId id = c.Has(0) ? FormArg(c, 0) : BaseOf(c.services, c.callingRef);
  c.result = Value::Bool(id != 0 && c.services.world().Lookup(id) != nullptr);
  return true;
}

// IsReference refVar (§7): 1 when the argument is a reference, not a base form.
bool IsReference(CallContext& c) {
  FormId id = FormArg(c, 0);
  c.result = Value::Bool(id != 0 && IsPlaced(c.services.world().Lookup(id)));
  return true;
}

// TypeOf expr (§7, Cmd_TypeOf_Execute): "Number", "String", "Form",
// "Array", "Map", "StringMap", "<Bad Array>" or "NULL". A function script is
// a form to the host (a lambda has a form id, §11.3).
bool TypeOf(CallContext& c) {
  const char* name = "NULL";
  if (c.Has(0)) {
    const Value& v = c.args[0];
    switch (v.type()) {
      case Type::Number: name = "Number"; break;
      case Type::String: name = "String"; break;
      case Type::Form:
      case Type::Function: name = "Form"; break;
      case Type::Array: {
        const ArrayData* a = c.services.arrays().Get(v.array());
        name = a == nullptr                      ? "<Bad Array>"
               : a->kind == ArrayKind::Map       ? "Map"
               : a->kind == ArrayKind::StringMap ? "StringMap"
                                                 : "Array";
      }
    }
  }
  c.result = Value::String(c.services.strings().New(name));
  return true;
}

// ToString expr (§10.4, Cmd_ToString_Execute): a string as it is, a number
// with %g, a form's display name; "NULL" for anything else.
bool ToStringCmd(CallContext& c) {
  const bool text = c.Has(0) && (c.args[0].IsString() || c.args[0].IsNumber() ||
                                 (c.args[0].IsForm() && c.args[0].form() != 0));
  c.result = Value::String(c.services.strings().New(text ? ToText(c.args[0], c.services) : "NULL"));
  return true;
}

}  // namespace

void RegisterForms(Registry& r) {
  const ParamSpec form{Param::Form};
  r.Add({"GetSelf", "this", {}, false, Returns::Form, GetSelf});                           // §5.3
  r.Add({"GetIsID", "", {form}, true, Returns::Number, GetIsID});                          // §7
  r.Add({"GetIsReference", "", {form}, true, Returns::Number, GetIsReference});            // §7
  r.Add({"GetBaseObject", "gbo", {}, true, Returns::Form, GetBaseObject});                 // §7
  r.Add({"IsFormValid", "", {{Param::Form, true}}, false, Returns::Number, IsFormValid});  // §7
  r.Add({"IsReference", "", {form}, false, Returns::Number, IsReference});                 // §7
  r.Add({"TypeOf", "", {{Param::Any}}, false, Returns::String, TypeOf});                   // §7
  r.Add({"GetSelfAlt", "", {}, false, Returns::Form, GetSelfAlt});                         // §5.3
  r.Add({"ToString", "", {{Param::Any}}, false, Returns::String, ToStringCmd});            // §10.4
}

}  // namespace cv::sim::script
