#include "kel/Lifecycle.h"

#include <memory>

#include <IviSessionServices.h>

#include "kel/DriverDefinition.h"
#include "kel/DriverSession.h"
#include "kel/Errors.h"
#include "kel/Frame.h"
#include "kel/Status.h"

namespace kel {

ViStatus InitializeDriverSession(ViConstString resourceName, ViBoolean idQuery, ViBoolean reset,
                                 ViConstString optionString, ViSession* vi, const char* functionName,
                                 ResetFunction resetFunction) noexcept {
  if (vi == nullptr) return status::kNullPointer;
  *vi = VI_NULL;
  // The thread's error record is where a failed initialization leaves its reason; an older
  // unread error there would hide it.
  (void)IviSession_ClearError(VI_NULL);
  ViSession handle = VI_NULL;
  const ViStatus created = IviSession_New(&handle);
  if (created < 0) return created;

  const ViStatus result = Guarded(handle, [&]() -> ViStatus {
    if (const ViStatus checked = CheckNullPointer(handle, functionName, "ResourceName", resourceName); checked < 0) {
      return checked;
    }
    std::unique_ptr<DriverSession> session(ThisDriver().createSession(handle));
    if (const ViStatus bound = IviSession_SetDataPtr(handle, session.get()); bound < 0) return bound;
    const ViStatus initialized =
        session->Initialize(resourceName, idQuery == VI_TRUE, reset == VI_TRUE, optionString ? optionString : "");
    if (initialized < 0) {
      (void)IviSession_SetDataPtr(handle, nullptr);
      return initialized;
    }
    session.release();  // owned by the session services from now on
    return initialized;
  });

  if (result < 0) {
    // The errors recorded on the way are also in this thread's record, which outlives the handle.
    (void)IviSession_Dispose(handle);
    return result;
  }
  *vi = handle;
  if (reset != VI_FALSE) return resetFunction(handle);
  return result;
}

ViStatus CloseDriverSession(ViSession vi) noexcept {
  DriverSession* session = FindSession(vi);
  if (session == nullptr) return status::kInvalidSessionHandle;
  // Holding the lock waits for any call in progress on another thread; calls that arrive
  // later find the handle gone.
  if (const ViStatus locked = IviSession_Lock(vi, nullptr); locked < 0) return locked;
  session = FindSession(vi);
  if (session == nullptr) {
    (void)IviSession_Unlock(vi, nullptr);
    return status::kInvalidSessionHandle;
  }
  try {
    (void)session->Close();
  } catch (...) {
    // Closing the I/O cannot stop the close.
  }
  (void)IviSession_SetDataPtr(vi, nullptr);
  delete session;
  return IviSession_Dispose(vi);
}

}  // namespace kel
