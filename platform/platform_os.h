// What each operating system's file provides to the shared part of the
// platform layer (platform_common.cpp). Internal to platform/.
#pragma once

#include <cstdint>
#include <string>

namespace cv::platform::os {

// The main executable's name with backslash separators, copied and cut the
// way GetModuleFileNameA does (see MainExecutablePath).
std::uint32_t ExecutablePath(char* buf, std::uint32_t size);
// Sets the last error to "the name did not fit".
void SetNameTooLongError();
// Replaces the file at to (native path) with the file at from.
bool MoveReplacing(const std::string& from, const std::string& to);
// Removes a file (native path); failure is ignored.
void RemoveQuietly(const std::string& path);

}  // namespace cv::platform::os

namespace cv::platform::detail {

// True when the named operation is armed to report failure on this call.
bool Failed(const char* op);
// Copies name into buf the way GetModuleFileNameA does: the length copied,
// or size (with size - 1 characters and a terminator) when it was cut.
std::uint32_t CopyCut(const std::string& name, char* buf, std::uint32_t size);

}  // namespace cv::platform::detail
