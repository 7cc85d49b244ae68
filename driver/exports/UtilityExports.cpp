// The inherent utility functions: reset, reset with defaults, Disable, self-test and the
// revision query.
#include <visa.h>

#include "DriverIdentity.h"
#include "HnVQR.h"
#include "kel/Buffers.h"
#include "kel/DriverSession.h"
#include "kel/Errors.h"
#include "kel/Frame.h"
#include "kel/Io.h"
#include "attributes/AttributeCallbacks.h"

// The bodies of the exports; the exported functions around them, which trace each call,
// are generated from HnVQR.h (TracedExports.cpp).
namespace hnvqr::untraced {

namespace {

constexpr ViInt32 kTextBufferSize = 256;

// "*RST", its completion query and the status check, under the reset time-out.
ViStatus ResetInstrument(kel::DriverSession& session) {
  kel::IoTimeoutScope timeout(session.io(), session.GetResetTimeout());
  ViStatus status = kel::Printf(session.io(), "*RST\n");
  ViInt32 complete = 0;
  if (status >= 0) status = kel::Queryf(session.io(), "*OPC?\n", "%ld%*T", &complete);
  if (status >= 0) status = session.CheckInstrumentStatus();
  return status;
}

ViStatus Reset(kel::DriverSession& session) {
  if (session.GetSimulate()) {
    session.InvalidateAllAttributes();
    return VI_SUCCESS;
  }
  const ViStatus status = ResetInstrument(session);
  if (status >= 0) session.InvalidateAllAttributes();
  return status;
}

}  // namespace

ViStatus _VI_FUNC HnVQR_reset(ViSession vi) { return kel::WithSession(vi, Reset); }

ViStatus _VI_FUNC HnVQR_ResetWithDefaults(ViSession vi) {
  return kel::WithSession(vi, [](kel::DriverSession& session) {
    const ViStatus status = Reset(session);
    if (status < 0) return status;
    return session.RestoreInitialOptions();
  });
}

ViStatus _VI_FUNC HnVQR_Disable(ViSession vi) {
  return kel::WithSession(
      vi, [](kel::DriverSession& session) { return session.GetSimulate() ? VI_SUCCESS : ResetInstrument(session); });
}

ViStatus _VI_FUNC HnVQR_self_test(ViSession vi, ViInt16* TestResult, ViChar TestMessage[256]) {
  return kel::WithSessionAndOutputs(
      vi, "HnVQR_self_test", "TestResult, TestMessage", TestResult, TestMessage, [&](kel::DriverSession& session) {
        ViStatus status = VI_SUCCESS;
        if (session.GetSimulate()) {
          *TestResult = 0;
        } else {
          kel::IoTimeoutScope timeout(session.io(), session.GetSelfTestTimeout());
          status = kel::QueryInstrument(session, "*TST?\n", "%hd%*T", TestResult);
          if (status < 0) return status;
        }
        kel::CopyToBuffer(*TestResult == 0 ? "Selftest passed" : "Selftest failed", kTextBufferSize, TestMessage);
        return status;
      });
}

ViStatus _VI_FUNC HnVQR_revision_query(ViSession vi, ViChar DriverRev[256], ViChar InstrRev[256]) {
  return kel::WithSessionAndOutputs(
      vi, "HnVQR_revision_query", "DriverRev, InstrRev", DriverRev, InstrRev, [&](kel::DriverSession& session) {
        kel::CopyToBuffer(hnvqr::identity::kRevision, kTextBufferSize, DriverRev);
        const ViStatus read = attribute::get_INSTRUMENT_FIRMWARE_REVISION(session, nullptr, kTextBufferSize, InstrRev);
        return read < 0 ? read : VI_SUCCESS;
      });
}

}  // namespace hnvqr::untraced
