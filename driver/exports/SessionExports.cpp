// Opening, closing and locking sessions.
#include <IviSessionServices.h>

#include "HnVQR.h"
#include "kel/DriverSession.h"
#include "kel/Frame.h"
#include "kel/Lifecycle.h"

// The bodies of the exports; the exported functions around them, which trace each call,
// are generated from HnVQR.h (TracedExports.cpp).
namespace hnvqr::untraced {

ViStatus _VI_FUNC HnVQR_init(ViRsrc ResourceName, ViBoolean IdQuery, ViBoolean Reset, ViSession* Vi) {
  return kel::InitializeDriverSession(ResourceName, IdQuery, Reset, "", Vi, "HnVQR_init", HnVQR_reset);
}

ViStatus _VI_FUNC HnVQR_InitWithOptions(ViRsrc ResourceName, ViBoolean IdQuery, ViBoolean Reset,
                                        ViConstString OptionString, ViSession* Vi) {
  return kel::InitializeDriverSession(ResourceName, IdQuery, Reset, OptionString, Vi, "HnVQR_InitWithOptions",
                                      HnVQR_reset);
}

ViStatus _VI_FUNC HnVQR_close(ViSession vi) { return kel::CloseDriverSession(vi); }

// The caller's lock outlives this call: the frame's own lock level is released on return.
ViStatus _VI_FUNC HnVQR_LockSession(ViSession vi, ViBoolean* CallerHasLock) {
  return kel::WithSession(vi, [&](kel::DriverSession& session) {
    const bool takes = CallerHasLock == nullptr || *CallerHasLock == VI_FALSE;
    const ViStatus locked = IviSession_Lock(vi, CallerHasLock);
    if (locked >= 0 && takes) session.gate().NoteLocked();
    return locked;
  });
}

ViStatus _VI_FUNC HnVQR_UnlockSession(ViSession vi, ViBoolean* CallerHasLock) {
  return kel::WithSession(vi, [&](kel::DriverSession& session) {
    const bool releases = CallerHasLock == nullptr || *CallerHasLock == VI_TRUE;
    const ViStatus unlocked = IviSession_Unlock(vi, CallerHasLock);
    if (unlocked >= 0 && releases) session.gate().NoteUnlocked();
    return unlocked;
  });
}

}  // namespace hnvqr::untraced
