#include "sim/script/builtins/registry.h"

#include "sim/script/value/text.h"

namespace cv::sim::script {

void Registry::Add(Builtin b) {
  std::size_t index = builtins_.size();
  byName_[Fold(b.name)] = index;
  if (!b.alias.empty()) byName_[Fold(b.alias)] = index;
  builtins_.push_back(std::move(b));
}

const Builtin* Registry::Find(std::string_view name) const {
  auto it = byName_.find(Fold(name));
  return it == byName_.end() ? nullptr : &builtins_[it->second];
}

const Registry& Builtins() {
  static const Registry registry = [] {
    Registry r;
    RegisterForms(r);
    RegisterOutput(r);
    RegisterStrings(r);
    RegisterArrays(r);
    RegisterQuestsTime(r);
    RegisterRandom(r);
    RegisterGameMore(r);
    return r;
  }();
  return registry;
}

}  // namespace cv::sim::script
