// The extended-variable commands: set, get, clear and array listings.
//
// Every handler returns true to the host on every path; what a command found
// is told only by its result. Bodies run inside cv::Guarded, so a failure is
// one log line under the command's log name and never reaches the host.
#pragma once

#include "host/host.h"

namespace cv::ev {

// set_get.cpp
bool SetEVFl(const host::CommandArgs& a);
bool GetEVFl(const host::CommandArgs& a);
bool GetEVFlEval(TESObjectREFR* thisObj, void* arg1, void* arg2, double* result) noexcept;
bool SetEVFo(const host::CommandArgs& a);
bool GetEVFo(const host::CommandArgs& a);
bool SetEVSt(const host::CommandArgs& a);
bool GetEVSt(const host::CommandArgs& a);

// clear.cpp
bool ClrEVFl(const host::CommandArgs& a);
bool ClrEVFo(const host::CommandArgs& a);
bool ClrEVSt(const host::CommandArgs& a);

// array.cpp
bool GetEVFlAr(const host::CommandArgs& a);
bool GetEVFoAr(const host::CommandArgs& a);
bool GetEVStAr(const host::CommandArgs& a);

}  // namespace cv::ev
