// The format strings of the Print family and of the sv_ commands that take
// one (script-language.md §6.4): PrintToConsole/printc, MessageEx,
// sv_Construct, and the "fmt" argument of sv_Find, sv_Count, sv_Compare,
// sv_Insert, sv_Set. Written in builtins/output.cpp.
#pragma once

#include <cstddef>
#include <string>

#include "sim/script/builtins/registry.h"

namespace cv::sim::script {

// Expands the format string c.args[first] with the values after it into
// out. *next (when given) is the index of the first argument the format did
// not consume. False when the format needs more values than there are.
bool ExpandFormat(CallContext& c, std::size_t first, std::string& out, std::size_t* next = nullptr);

}  // namespace cv::sim::script
