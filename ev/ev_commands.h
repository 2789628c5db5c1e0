// The extended-variable commands: set, get, clear and array listings.
#pragma once

#include "host/host.h"

namespace cv::ev {

bool SetEVFl(const host::CommandArgs& a);
bool GetEVFl(const host::CommandArgs& a);
bool GetEVFlEval(TESObjectREFR* thisObj, void* arg1, void* arg2, double* result) noexcept;
bool SetEVFo(const host::CommandArgs& a);
bool GetEVFo(const host::CommandArgs& a);
bool SetEVSt(const host::CommandArgs& a);
bool GetEVSt(const host::CommandArgs& a);

bool ClrEVFl(const host::CommandArgs& a);
bool ClrEVFo(const host::CommandArgs& a);
bool ClrEVSt(const host::CommandArgs& a);

bool GetEVFlAr(const host::CommandArgs& a);
bool GetEVFoAr(const host::CommandArgs& a);
bool GetEVStAr(const host::CommandArgs& a);

}  // namespace cv::ev
