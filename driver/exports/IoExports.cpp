// Direct I/O: raw reads and writes on the instrument session. Not available in simulation.
#include <visa.h>

#include "DirectIo.h"
#include "HnVQR.h"
#include "kel/DriverSession.h"
#include "kel/Frame.h"

ViStatus _VI_FUNC HnVQR_viWrite(ViSession vi, ViInt64 Count, ViByte Buffer[], ViInt64* ReturnCount) {
  return kel::WithSession(vi, [&](kel::DriverSession& session) {
    if (const ViStatus refused = hnvqr::RefuseInSimulation(vi); refused < 0) return refused;
    ViUInt32 written = 0;
    const ViStatus status = viWrite(session.io, Buffer, static_cast<ViUInt32>(Count), &written);
    if (ReturnCount != nullptr) *ReturnCount = written;
    return status;
  });
}

// One call returns at most Count bytes of a response and discards the rest of it, so that the
// next exchange starts clean.
ViStatus _VI_FUNC HnVQR_viRead(ViSession vi, ViInt64 Count, ViByte Buffer[], ViInt64* ReturnCount) {
  return kel::WithSession(vi, [&](kel::DriverSession& session) {
    if (const ViStatus refused = hnvqr::RefuseInSimulation(vi); refused < 0) return refused;
    ViUInt32 read = 0;
    ViStatus status = viRead(session.io, Buffer, static_cast<ViUInt32>(Count), &read);
    if (ReturnCount != nullptr) *ReturnCount = read;
    ViByte scratch[4096];
    while (status == VI_SUCCESS_MAX_CNT) {
      ViUInt32 discarded = 0;
      status = viRead(session.io, scratch, sizeof scratch, &discarded);
    }
    return status;
  });
}
