#include "raw_args.h"

#include <algorithm>
#include <cstdarg>
#include <cstring>

#include "sim/host/host.h"

namespace cv::hardening {

namespace {

std::vector<RawArg> g_args;

// The number of parameters of the command whose list this is.
std::size_t ParamCount(const ParamInfo* params) {
  sim::Host* h = sim::Host::Active();
  if (h == nullptr) return 0;
  for (const CommandInfo& c : h->commands)
    if (c.params == params) return c.numParams;
  return 0;
}

bool ExtractArgsEx(ParamInfo* params, void*, UInt32*, Script*, ScriptEventList* eventList, ...) {
  const std::size_t count = ParamCount(params);
  va_list ap;
  va_start(ap, eventList);
  for (std::size_t i = 0; i < count; ++i) {
    void* out = va_arg(ap, void*);
    if (i >= g_args.size() || out == nullptr) continue;
    const RawArg& a = g_args[i];
    switch (a.type) {
      case RawArg::Type::Bytes: {
        const std::size_t len = std::min<std::size_t>(a.bytes.size(), host::kArgBufferSize);
        std::memcpy(out, a.bytes.data(), len);
        if (len < host::kArgBufferSize) static_cast<char*>(out)[len] = '\0';
        break;
      }
      case RawArg::Type::Integer: std::memcpy(out, &a.integer, sizeof a.integer); break;
      case RawArg::Type::Float: std::memcpy(out, &a.number, sizeof a.number); break;
    }
  }
  va_end(ap);
  return true;
}

NVSEScriptInterface g_raw = {nullptr, nullptr, ExtractArgsEx, nullptr,
                             nullptr, nullptr, nullptr,       nullptr};

}  // namespace

RawArg Bytes(std::string bytes) { return RawArg{RawArg::Type::Bytes, std::move(bytes), 0, 0}; }
RawArg Integer(SInt32 value) { return RawArg{RawArg::Type::Integer, {}, value, 0}; }
RawArg Number(float value) { return RawArg{RawArg::Type::Float, {}, 0, value}; }

RawArgs::RawArgs(std::vector<RawArg> args) : saved_(host::TheSlots().script) {
  g_args = std::move(args);
  host::TheSlots().script = &g_raw;
}

RawArgs::~RawArgs() {
  host::TheSlots().script = saved_;
  g_args.clear();
}

}  // namespace cv::hardening
