// What the fault walk walks: every injectable fault, and every command and
// host message with a world in which it reaches the calls that can fail.
// Adding a command or a fault is adding a row here.
#pragma once

#include <span>
#include <string_view>
#include <utility>
#include <vector>

namespace cv::hardening {

// One operation that can be made to fail.
struct FaultSpec {
  const char* name;
  // The real call can report failure by its answer (null, false), so the
  // "return" kind is a failure the plug-in meets in the game.
  bool failsByReturn;
  // What that answer becomes in the plug-in when it turns it into a
  // standard exception (the description logged), or null when the plug-in
  // goes on quietly.
  const char* returnBecomes;
};

std::span<const FaultSpec> Faults();
const FaultSpec* FindFault(std::string_view name);

// One command call or host message, in a world where it gets far.
struct WalkCase {
  const char* label;  // test name
  // Scenario text run after the common world, before the walked statement.
  const char* setup = "";
  // The walked statement.
  const char* call;
  // The log name of the guarded region that catches a failure, and the name
  // its thrown-integer line uses when that differs.
  const char* logName;
  const char* integerLogName = nullptr;
  // Faults caught by a guarded region of their own inside the call.
  std::vector<std::pair<const char*, const char*>> logNameOf = {};
  // Faults whose failing answer the call handles with a line of its own
  // instead of the convention's (a load that runs out of memory stops with
  // one line saying how far it read).
  std::vector<const char*> ownLineOnReturn = {};
  // Faults the call must reach, so that the world really drives it there.
  std::vector<const char*> reaches = {};
  // The save whose save-data file the call writes; a failed write must
  // leave the previous file as it was.
  const char* savedFile = nullptr;
  // The call replaces the store's contents (a load): values it held before
  // may be gone after a failure.
  bool replacesStore = false;

  const char* LogNameFor(std::string_view fault) const;
};

// The world every case starts from, values included.
extern const char* const kCommonWorld;
std::span<const WalkCase> WalkCases();

}  // namespace cv::hardening
