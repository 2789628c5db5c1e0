// The failure lines of the guard (log/guard.h), written through whichever
// LogMessage the program links: the debug log's, or a tool's own sink.
#include "log/guard.h"
#include "log/log.h"

namespace cv {

void LogStdFailure(const LogName& where, const char* what) noexcept {
  LogMessage("Exception in %s: %s", where.name, what != nullptr ? what : "");
}

void LogIntegerFailure(const LogName& where, unsigned value) noexcept {
  LogMessage("Exception in %s: %#8.8x", where.integerName ? where.integerName : where.name, value);
}

void LogUnknownFailure(const LogName& where) noexcept {
  LogMessage("Unknown exception in %s", where.name);
}

}  // namespace cv
