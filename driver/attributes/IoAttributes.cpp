// Direct I/O attributes: the VISA session and its time-out. Not available in simulation.
#include <visa.h>

#include "DirectIo.h"
#include "HnVQR.h"
#include "attributes/AttributeCallbacks.h"
#include "kel/DriverSession.h"
#include "kel/Errors.h"
#include "kel/Frame.h"
#include "kel/Status.h"

namespace hnvqr {

ViStatus RefuseInSimulation(kel::DriverSession& session) {
  if (!session.GetSimulate()) return VI_SUCCESS;
  return kel::ReportErrorWithElaboration(session.GetSessionHandle(), HNVQR_ERROR_IO,
                                         "Direct I/O operations are not available in simulation mode.");
}

}  // namespace hnvqr

namespace {

// A direct I/O getter: the frame, the value pointer, the refusal in simulation, then `read`.
template <class T, class Read>
ViStatus GetDirectIo(ViSession vi, const char* getterName, T* value, Read read) {
  return kel::WithSession(vi, [&](kel::DriverSession& session) {
    if (const ViStatus checked = kel::CheckNullPointer(vi, getterName, "AttributeValue", value); checked < 0) {
      return checked;
    }
    if (const ViStatus refused = hnvqr::RefuseInSimulation(session); refused < 0) return refused;
    return read(session, *value);
  });
}

}  // namespace

ViStatus HnVQR_get_SYSTEM_IO_SESSION(ViSession vi, ViConstString, ViSession* value) {
  return GetDirectIo(vi, "HnVQR_get_SYSTEM_IO_SESSION", value, [](kel::DriverSession& session, ViSession& out) {
    out = session.io();
    return VI_SUCCESS;
  });
}

ViStatus HnVQR_get_SYSTEM_IO_TIMEOUT(ViSession vi, ViConstString, ViInt32* value) {
  return GetDirectIo(vi, "HnVQR_get_SYSTEM_IO_TIMEOUT", value, [](kel::DriverSession& session, ViInt32& out) {
    ViUInt32 timeout = 0;
    const ViStatus read = viGetAttribute(session.io(), VI_ATTR_TMO_VALUE, &timeout);
    if (read >= 0) out = static_cast<ViInt32>(timeout);
    return read;
  });
}

ViStatus HnVQR_set_SYSTEM_IO_TIMEOUT(ViSession vi, ViConstString, ViInt32 value) {
  return kel::WithSession(vi, [&](kel::DriverSession& session) {
    if (const ViStatus refused = hnvqr::RefuseInSimulation(session); refused < 0) return refused;
    return viSetAttribute(session.io(), VI_ATTR_TMO_VALUE, static_cast<ViUInt32>(value));
  });
}
