// Reads of the game's memory that recover from a fault instead of asking
// the system first. Two small read routines (safe_read.cpp) have one load
// instruction each that may fault; a vectored exception handler turns a
// read fault at exactly one of those instructions into a failed read and
// resumes at the routine's failure exit. Every other exception, anywhere
// else or of any other kind, passes on untouched. A read that works costs a
// call and a load: no system call.
#pragma once

#include <cstdint>

namespace cv::fnv {

// Installs the handler, once for the process; true when it is in place.
// Until it is, every read below fails without touching memory.
bool InstallSafeReads();

namespace detail {
extern bool g_safeReadsReady;
// The word in the low half and 1 in the high half, or 0 when the load
// faulted (fastcall: the address in ECX, the result in EDX:EAX).
extern "C" std::uint64_t __attribute__((fastcall))
SafeReadWordRoutine(std::uint32_t address) __asm__("cv_fnv_safe_read_word");
extern "C" int SafeCopyRoutine(void* out, std::uint32_t address,
                               std::uint32_t bytes) __asm__("cv_fnv_safe_copy");
}  // namespace detail

// The 4 bytes at address; false when any of them does not read.
inline bool SafeReadWord(std::uint32_t address, std::uint32_t& out) {
  if (!detail::g_safeReadsReady) return false;
  const std::uint64_t got = detail::SafeReadWordRoutine(address);
  out = static_cast<std::uint32_t>(got);
  return (got >> 32) != 0;
}

// bytes bytes from address into out; false when any of them does not read
// (out may then hold part of them).
inline bool SafeCopy(void* out, std::uint32_t address, std::uint32_t bytes) {
  return detail::g_safeReadsReady && detail::SafeCopyRoutine(out, address, bytes) != 0;
}

}  // namespace cv::fnv
