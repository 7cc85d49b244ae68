// Direct I/O: raw reads and writes on the instrument session. Not available in simulation.
#include <visa.h>

#include <chrono>
#include <cstdint>
#include <string>

#include "DirectIo.h"
#include "HnVQR.h"
#include "kel/DriverSession.h"
#include "kel/Errors.h"
#include "kel/Frame.h"
#include "kel/Io.h"
#include "kel/Status.h"

// The bodies of the exports; the exported functions around them, which trace each call,
// are generated from HnVQR.h (TracedExports.cpp).
namespace hnvqr::untraced {

namespace {

// A count the VISA calls cannot take (negative, or beyond 32 bits) is refused before any I/O.
ViStatus CheckCount(ViSession vi, ViInt64 count, std::string_view functionName) {
  if (count >= 0 && count <= static_cast<ViInt64>(UINT32_MAX)) return VI_SUCCESS;
  return kel::ReportError(vi, kel::status::kInvalidValue, std::to_string(count), functionName, "Count");
}

}  // namespace

ViStatus _VI_FUNC HnVQR_viWrite(ViSession vi, ViInt64 Count, ViByte Buffer[], ViInt64* ReturnCount) {
  return kel::WithSession(vi, [&](kel::DriverSession& session) {
    if (const ViStatus refused = hnvqr::RefuseInSimulation(session); refused < 0) return refused;
    if (const ViStatus refused = CheckCount(vi, Count, "viWrite"); refused < 0) return refused;
    ViUInt32 written = 0;
    const ViStatus status = viWrite(session.io(), Buffer, static_cast<ViUInt32>(Count), &written);
    if (ReturnCount != nullptr) *ReturnCount = written;
    return status;
  });
}

// One call returns at most Count bytes of a response and discards the rest of it, so that the
// next exchange starts clean; the whole call, the discarding included, keeps to one I/O
// time-out.
ViStatus _VI_FUNC HnVQR_viRead(ViSession vi, ViInt64 Count, ViByte Buffer[], ViInt64* ReturnCount) {
  return kel::WithSession(vi, [&](kel::DriverSession& session) {
    if (const ViStatus refused = hnvqr::RefuseInSimulation(session); refused < 0) return refused;
    if (const ViStatus refused = CheckCount(vi, Count, "viRead"); refused < 0) return refused;
    using Clock = std::chrono::steady_clock;
    const auto started = Clock::now();
    ViUInt32 timeoutMs = VI_TMO_INFINITE;
    (void)viGetAttribute(session.io(), VI_ATTR_TMO_VALUE, &timeoutMs);
    ViUInt32 read = 0;
    ViStatus status = viRead(session.io(), Buffer, static_cast<ViUInt32>(Count), &read);
    if (ReturnCount != nullptr) *ReturnCount = read;
    ViByte scratch[4096];
    while (status == VI_SUCCESS_MAX_CNT) {
      ViInt32 leftMs = -1;  // no limit under an infinite time-out
      if (timeoutMs != VI_TMO_INFINITE) {
        const auto spent = std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - started).count();
        if (spent >= static_cast<std::int64_t>(timeoutMs)) return static_cast<ViStatus>(VI_ERROR_TMO);
        leftMs = static_cast<ViInt32>(static_cast<std::int64_t>(timeoutMs) - spent);
      }
      const kel::IoTimeoutScope remaining(session.io(), leftMs);
      ViUInt32 discarded = 0;
      status = viRead(session.io(), scratch, sizeof scratch, &discarded);
    }
    return status;
  });
}

}  // namespace hnvqr::untraced
