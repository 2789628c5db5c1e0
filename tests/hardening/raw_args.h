// Argument extraction that hands a command raw bytes: string arguments are
// copied into the command's 512-byte buffers as given, without a terminating
// NUL when they fill the buffer, the way a host may leave them. Installed in
// place of the host's script interface for one scope.
#pragma once

#include <string>
#include <vector>

#include "host/host.h"

namespace cv::hardening {

struct RawArg {
  enum class Type { Bytes, Integer, Float } type = Type::Bytes;
  std::string bytes;  // Bytes: copied as is, at most 512 of them
  SInt32 integer = 0;
  float number = 0;
};

RawArg Bytes(std::string bytes);
RawArg Integer(SInt32 value);
RawArg Number(float value);

class RawArgs {
 public:
  // The arguments every extraction hands out until the scope ends; form
  // parameters are left as the command pre-set them.
  explicit RawArgs(std::vector<RawArg> args);
  ~RawArgs();
  RawArgs(const RawArgs&) = delete;
  RawArgs& operator=(const RawArgs&) = delete;

 private:
  NVSEScriptInterface* saved_;
};

}  // namespace cv::hardening
