// The failure-logging convention: every handler, the message listener and
// every persistence operation runs its body through Guarded(). A standard
// exception, a thrown integer or anything else becomes one log line under the
// operation's log name; nothing propagates to the caller.
#pragma once

#include <exception>
#include <utility>

namespace cv {

struct LogName {
  const char* name;
  // The name used in the thrown-integer line, when it differs.
  const char* integerName = nullptr;
};

void LogStdFailure(const LogName& where, const char* what) noexcept;
void LogIntegerFailure(const LogName& where, unsigned value) noexcept;
void LogUnknownFailure(const LogName& where) noexcept;

// Runs body; returns false when a failure was caught and logged.
template <class Body>
bool Guarded(const LogName& where, Body&& body) noexcept {
  try {
    std::forward<Body>(body)();
    return true;
  } catch (const std::exception& e) {
    LogStdFailure(where, e.what());
  } catch (int value) {
    LogIntegerFailure(where, static_cast<unsigned>(value));
  } catch (unsigned value) {
    LogIntegerFailure(where, value);
  } catch (...) {
    LogUnknownFailure(where);
  }
  return false;
}

}  // namespace cv
