// Instrument I/O helpers: the status check after an exchange, the temporary I/O time-out,
// and the two recurring shapes of instrument operations (a command, a query).
#pragma once

#include <visa.h>

#include "kel/DriverSession.h"

namespace kel {

// The session's status check, found through its handle (0xBFFA1190 when there is none).
ViStatus CheckInstrumentStatus(ViSession vi);

// The session's VISA instrument session, or VI_NULL.
ViSession GetIoSession(ViSession vi);

// Sets the VISA I/O time-out for the life of the scope and restores the previous one when it
// ends (also on an exception). A time-out below -1 leaves everything untouched. Failures of
// the VISA calls are internal conditions and do not stop the operation.
class IoTimeoutScope {
 public:
  IoTimeoutScope(ViSession io, ViInt32 timeoutMs);
  ~IoTimeoutScope();
  IoTimeoutScope(const IoTimeoutScope&) = delete;
  IoTimeoutScope& operator=(const IoTimeoutScope&) = delete;

 private:
  static constexpr ViInt32 kNothingSaved = -2;
  ViInt32 savedTimeout_ = kNothingSaved;
  ViSession io_;
};

// A command: nothing in simulation; otherwise viPrintf and, when it succeeded, the status check.
template <class... Args>
ViStatus SendCommand(DriverSession& session, ViConstString format, Args... args) {
  if (session.GetSimulate()) return VI_SUCCESS;
  const ViStatus written = viPrintf(session.io, format, args...);
  if (written < 0) return written;
  return session.CheckInstrumentStatus();
}

// A query on a live session: viQueryf and, when it succeeded, the status check.
template <class... Args>
ViStatus QueryInstrument(DriverSession& session, ViConstString command, ViConstString responseFormat,
                         Args... outputs) {
  const ViStatus read = viQueryf(session.io, command, responseFormat, outputs...);
  if (read < 0) return read;
  return session.CheckInstrumentStatus();
}

}  // namespace kel
