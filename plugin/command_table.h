// The plug-in's 21 script commands, in registration (opcode) order.
#pragma once

#include <cstddef>

#include "host/nvse_records.h"

namespace cv::plugin {

constexpr UInt32 kOpcodeBase = 0x2140;
constexpr std::size_t kCommandCount = 21;

struct CommandRow {
  CommandInfo info;
  // Registered through RegisterTypedCommand with this type when typed.
  bool typed;
  CommandReturnType returnType;
};

// The table; the host fills each record's opcode at registration.
CommandRow* CommandTable();

}  // namespace cv::plugin
