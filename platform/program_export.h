// Marks a function that a program (not a library) exports by name, so that
// a library it loads can find it with platform::ProgramSymbol. Such programs
// are linked with their exports enabled (CMake's ENABLE_EXPORTS).
#pragma once

#if defined(_WIN32)
#define CORVANE_PROGRAM_EXPORT extern "C" __attribute__((dllexport))
#else
#define CORVANE_PROGRAM_EXPORT extern "C" __attribute__((visibility("default")))
#endif
