#include "kel/Frame.h"

#include <IviSessionServices.h>

#include "kel/DriverSession.h"
#include "kel/Errors.h"
#include "kel/Status.h"

namespace kel {

#ifdef KEL_COUNT_SESSION_LOOKUPS
namespace {
// Per thread, so that sessions on other threads do not disturb a count. Trivially
// destructible, so it needs no per-thread teardown anywhere.
thread_local std::int64_t sessionLookups = 0;
}  // namespace

std::int64_t SessionLookupsOnThisThread() { return sessionLookups; }
#else
std::int64_t SessionLookupsOnThisThread() { return -1; }
#endif

DriverSession* FindSession(ViSession vi) {
#ifdef KEL_COUNT_SESSION_LOOKUPS
  ++sessionLookups;
#endif
  void* data = nullptr;
  if (IviSession_GetDataPtr(vi, &data) < 0) return nullptr;
  return static_cast<DriverSession*>(data);
}

SessionFrame::SessionFrame(ViSession vi) : vi_(vi), session_(FindSession(vi)) {
  if (session_ == nullptr) {
    status_ = status::kInvalidSessionHandle;
    return;
  }
  status_ = IviSession_Lock(vi_, nullptr);
  locked_ = status_ >= 0;
  if (!locked_) return;
  status_ = VI_SUCCESS;
  // A session being closed (its lock broken from another thread) runs no more bodies.
  entered_ = session_->gate().Enter();
  if (!entered_) status_ = status::kInvalidSessionHandle;
}

SessionFrame::~SessionFrame() {
  if (entered_) session_->gate().Leave();
  // The body's status is returned whatever the unlock yields.
  if (locked_) (void)IviSession_Unlock(vi_, nullptr);
}

ViStatus ReportExceptionAtBoundary(ViSession vi, std::exception_ptr error) noexcept {
  try {
    std::rethrow_exception(error);
  } catch (const std::bad_alloc&) {
    // Recording may itself need memory; the status is what matters.
    try {
      return RecordError(vi, status::kOutOfMemory, "Could not allocate necessary memory.");
    } catch (...) {
      return status::kOutOfMemory;
    }
  } catch (const std::exception& e) {
    try {
      return ReportErrorWithElaboration(vi, status::kCannotRecover, "Unexpected internal failure: %s", e.what());
    } catch (...) {
      return status::kCannotRecover;
    }
  } catch (...) {
    try {
      return ReportErrorWithElaboration(vi, status::kCannotRecover, "Unexpected internal failure.");
    } catch (...) {
      return status::kCannotRecover;
    }
  }
}

}  // namespace kel
