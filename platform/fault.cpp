#include "platform/fault.h"

#include <map>
#include <stdexcept>

namespace cv::fault {

namespace {
struct Armed {
  std::uint32_t nth;
  Kind kind;
};
struct Registry {
  std::map<std::string, Armed, std::less<>> armed;
  std::map<std::string, std::uint32_t, std::less<>> calls;
};
Registry& Reg() {
  static Registry r;
  return r;
}
}  // namespace

void Arm(const std::string& name, std::uint32_t nth, Kind kind) {
  Registry& r = Reg();
  r.armed[name] = Armed{nth, kind};
  detail::anyArmed = true;
}

void DisarmAll() {
  Registry& r = Reg();
  r.armed.clear();
  r.calls.clear();
  detail::anyArmed = false;
}

std::uint32_t Calls(const std::string& name) {
  const Registry& r = Reg();
  auto it = r.calls.find(name);
  return it == r.calls.end() ? 0 : it->second;
}

std::vector<std::string> Counted() {
  std::vector<std::string> names;
  for (const auto& [name, n] : Reg().calls) names.push_back(name);
  return names;
}

bool detail::anyArmed = false;

Kind detail::HitArmed(const char* name) {
  Registry& r = Reg();
  std::uint32_t n = ++r.calls[name];
  auto it = r.armed.find(std::string_view(name));
  if (it == r.armed.end() || it->second.nth != n) return Kind::None;
  Kind k = it->second.kind;
  r.armed.erase(it);
  switch (k) {
    case Kind::StdError: throw std::runtime_error(std::string("injected fault: ") + name);
    case Kind::Integer: throw 0x0BADF00D;
    case Kind::Other: throw OtherFailure{7};
    default: return k;
  }
}

}  // namespace cv::fault
