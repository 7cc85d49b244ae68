#include "kel/Lifecycle.h"

#include <chrono>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

#include <IviSessionServices.h>

#include "kel/CallTrace.h"
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
  NoteInitializingHandle(handle);

  const ViStatus result = Guarded(handle, [&]() -> ViStatus {
    if (const ViStatus checked = CheckNullPointer(handle, functionName, "ResourceName", resourceName); checked < 0) {
      return checked;
    }
    std::unique_ptr<DriverSession> session(ThisDriver().createSession(handle));
    if (const ViStatus bound = IviSession_SetDataPtr(handle, session.get()); bound < 0) return bound;
    const ViStatus initialized =
        session->Initialize(resourceName, idQuery == VI_TRUE, optionString ? optionString : "");
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

namespace {

// How long close waits for a live thread to give back a lock it took with LockSession.
constexpr auto kLockHolderWait = std::chrono::seconds(2);

// Sessions closed under a live holder's lock: kept whole, and reachable, for as long as the
// process runs. The mutex guards the list.
void RetireSession(DriverSession* session) {
  static std::mutex retiredMutex;
  static std::vector<std::unique_ptr<DriverSession>>* retired = new std::vector<std::unique_ptr<DriverSession>>();
  const std::lock_guard lock(retiredMutex);
  retired->emplace_back(session);
}

// The session lock is held by a thread that has ended, or by one that kept it past the
// wait: close without it. No body starts any more; the ones running (only the holder's
// own) end within their I/O time-outs.
ViStatus CloseWithBrokenLock(ViSession vi, DriverSession* session, bool holderEnded) {
  session->gate().BeginClosing();
  while (!session->gate().Idle()) std::this_thread::sleep_for(std::chrono::milliseconds(1));
  try {
    (void)session->Close();
  } catch (...) {
    // Closing the I/O cannot stop the close.
  }
  (void)IviSession_SetDataPtr(vi, nullptr);
  // A live holder may still be between two calls with the object's address in hand, so its
  // memory is kept (retired, until the process ends); an ended thread holds nothing.
  if (holderEnded) {
    delete session;
  } else {
    RetireSession(session);
  }
  const ViStatus disposed = IviSession_Dispose(vi);
  return disposed < 0 ? disposed : status::kSessionLockBroken;
}

}  // namespace

ViStatus CloseDriverSession(ViSession vi) noexcept {
  DriverSession* session = FindSession(vi);
  if (session == nullptr) return status::kInvalidSessionHandle;
  using Clock = std::chrono::steady_clock;
  const auto giveUp = Clock::now() + kLockHolderWait;
  for (;;) {
    const SessionGate::Holder holder = session->gate().CurrentHolder();
    if (holder == SessionGate::Holder::ExitedThread) return CloseWithBrokenLock(vi, session, true);
    if (holder != SessionGate::Holder::LiveThread) break;
    if (Clock::now() >= giveUp) return CloseWithBrokenLock(vi, session, false);
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
    session = FindSession(vi);
    if (session == nullptr) return status::kInvalidSessionHandle;
  }
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
