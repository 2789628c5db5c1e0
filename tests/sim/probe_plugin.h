// A small plug-in of the tests' own, loaded into the simulated host to
// exercise it as a host: argument extraction, string and array results,
// console output, conditions and messages.
#pragma once

#include <string>
#include <vector>

#include "host/nvse_records.h"
#include "sim/scenario/session.h"

namespace probe {

constexpr UInt32 kOpcodeBase = 0x3000;

// What the last Probe_Args call extracted. Each output is pre-set before the
// call, so a left-out argument shows the pre-set value.
struct Seen {
  bool ok = false;
  char text[1 << 17];  // the host writes a text with no bound
  UInt32 integer = 0;
  float number = 0;
  TESForm* quest = nullptr;
  TESForm* list = nullptr;
  TESForm* any = nullptr;
};

// Pre-set values.
constexpr UInt32 kPresetInteger = 77;
constexpr float kPresetNumber = 7.5f;
TESForm* PresetForm();

Seen& LastSeen();
std::vector<UInt32>& MessagesSeen();

cv::sim::PluginEntry Entry();

}  // namespace probe
