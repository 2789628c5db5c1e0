// The ar_ family (script-language.md §12).
#include "sim/script/builtins/registry.h"

namespace cv::sim::script {

namespace {

// Element count; -1 when the argument is not a valid array (§12.3).
bool ArSize(CallContext& c) {
  const ArrayData* a =
      c.Has(0) && c.args[0].IsArray() ? c.services.arrays().Get(c.args[0].array()) : nullptr;
  c.result = Value::Number(a != nullptr ? static_cast<double>(a->Size()) : -1);
  return true;
}

}  // namespace

void RegisterArrays(Registry& r) {
  r.Add({"ar_Size", "", {{Param::Array}}, false, Returns::Number, ArSize});  // §12.3
}

}  // namespace cv::sim::script
