// Forms and references: GetSelf, GetIsID, GetIsReference, GetBaseObject,
// IsFormValid, IsReference, TypeOf (script-language.md §7).
#include "sim/script/builtins/registry.h"

namespace cv::sim::script {

namespace {

// The calling reference, 0 when there is none (a quest script, §5.3).
bool GetSelf(CallContext& c) {
  c.result = Value::Form(c.callingRef);
  return true;
}

}  // namespace

void RegisterForms(Registry& r) {
  r.Add({"GetSelf", "this", {}, false, Returns::Form, GetSelf});  // §5.3, §7
}

}  // namespace cv::sim::script
