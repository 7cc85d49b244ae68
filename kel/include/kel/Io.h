// Instrument I/O helpers: the status check after an exchange, the temporary I/O time-out,
// and the two recurring shapes of instrument operations (a command, a query).
#pragma once

#include <visa.h>

#include "kel/DriverSession.h"
#include "kel/VisaFormat.h"

namespace kel {

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

// The two shapes of an instrument operation follow one simulation rule: in simulation they
// do no I/O and succeed, leaving the outputs as they were (a caller that has a simulated
// value to give sets it itself); live, the exchange and, when it succeeded, the status check.
// Formats are checked against the arguments when compiling (VisaFormat.h).
template <class... Args>
ViStatus SendCommand(DriverSession& session, PrintfFormat<std::type_identity_t<Args>...> format, Args... args) {
  if (session.GetSimulate()) return VI_SUCCESS;
  const ViStatus written = viPrintf(session.io(), format.text(), args...);
  if (written < 0) return written;
  return session.CheckInstrumentStatus();
}

template <class... Outputs>
ViStatus QueryInstrument(DriverSession& session, CommandText command,
                         ScanfFormat<std::type_identity_t<Outputs>...> responseFormat, Outputs... outputs) {
  if (session.GetSimulate()) return VI_SUCCESS;
  const ViStatus read = viQueryf(session.io(), command.text(), responseFormat.text(), outputs...);
  if (read < 0) return read;
  return session.CheckInstrumentStatus();
}

}  // namespace kel
