// The IviSession_* functions over a handle table of shared SessionRecords.
//
// Locks:
// - HandleTable::mutex (shared_mutex) guards the map from handle to record and the handle
//   counter. New and Dispose take it exclusively; a lookup that misses its thread's cache
//   takes it shared. The hot path (a hit) does not touch it.
// - Each record carries its own session lock and error mutex (see SessionRecord.h).
// - The thread's error record and lookup cache are thread_local and need no lock.
#include "IviSessionServices.h"

#include <memory>
#include <mutex>
#include <new>
#include <shared_mutex>
#include <system_error>
#include <unordered_map>

#include "ErrorRecord.h"
#include "PerThread.h"
#include "SessionRecord.h"

namespace hnvqr::session {
namespace {

class HandleTable {
 public:
  ViStatus Add(std::shared_ptr<SessionRecord> record, ViSession& handle) {
    const std::unique_lock<std::shared_mutex> lock(mutex_);
    if (lastHandle_ == static_cast<ViSession>(-1)) {
      return IVI_SESSION_ERROR_OUT_OF_MEMORY;  // every handle has been used once
    }
    const ViSession fresh = lastHandle_ + 1;
    records_.emplace(fresh, std::move(record));
    lastHandle_ = fresh;
    handle = fresh;
    return VI_SUCCESS;
  }

  // Takes the handle out of the table; null when it is not (or no longer) there.
  std::shared_ptr<SessionRecord> Remove(ViSession handle) {
    const std::unique_lock<std::shared_mutex> lock(mutex_);
    const auto found = records_.find(handle);
    if (found == records_.end()) {
      return nullptr;
    }
    std::shared_ptr<SessionRecord> record = std::move(found->second);
    records_.erase(found);
    // Still under the table lock: once Remove returns, no lookup can report it live.
    record->MarkDisposed();
    return record;
  }

  std::shared_ptr<SessionRecord> Find(ViSession handle) const {
    const std::shared_lock<std::shared_mutex> lock(mutex_);
    const auto found = records_.find(handle);
    return found == records_.end() ? nullptr : found->second;
  }

  ViInt32 Size() const {
    const std::shared_lock<std::shared_mutex> lock(mutex_);
    return static_cast<ViInt32>(records_.size());
  }

 private:
  mutable std::shared_mutex mutex_;
  std::unordered_map<ViSession, std::shared_ptr<SessionRecord>> records_;
  ViSession lastHandle_ = VI_NULL;
};

// Never destroyed: threads may still call in while static destructors run at exit.
HandleTable& Table() {
  static HandleTable* const table = new HandleTable;
  return *table;
}

// The last record this thread looked up. A hit costs one compare and one atomic load of the
// record's own flag; only a miss goes to the table.
struct LookupCache {
  ViSession handle = VI_NULL;
  std::shared_ptr<SessionRecord> record;
};

// The calling thread's error record (of VI_NULL).
ErrorRecord& ThreadError() { return hnvqr::PerThread<ErrorRecord>(); }

// The returned record stays alive for the rest of the call: this thread's cache holds it and
// only this thread replaces the cache entry.
SessionRecord* Lookup(ViSession handle) {
  LookupCache& cache = hnvqr::PerThread<LookupCache>();
  if (handle == VI_NULL) {
    return nullptr;
  }
  if (cache.handle == handle && cache.record != nullptr && !cache.record->IsDisposed()) {
    return cache.record.get();
  }
  std::shared_ptr<SessionRecord> record = Table().Find(handle);
  if (record == nullptr) {
    return nullptr;
  }
  cache.record = std::move(record);
  cache.handle = handle;
  return cache.record.get();
}

// No C++ exception may leave the C functions. What can throw here is allocation (records,
// table nodes) and, in principle, the mutexes of the standard library.
template <typename Body>
ViStatus Guarded(Body&& body) noexcept {
  try {
    return body();
  } catch (const std::bad_alloc&) {
    return IVI_SESSION_ERROR_OUT_OF_MEMORY;
  } catch (const std::system_error&) {
    return IVI_SESSION_ERROR_CANNOT_CREATE_LOCK;
  } catch (...) {
    return IVI_SESSION_ERROR_OUT_OF_MEMORY;
  }
}

// Runs `body(record)` guarded, on the record of a live session handle; an unknown handle
// fails with IVI_SESSION_ERROR_INVALID_SESSION_HANDLE and runs nothing.
template <typename Body>
ViStatus WithRecord(ViSession vi, Body&& body) noexcept {
  return Guarded([vi, &body]() -> ViStatus {
    SessionRecord* const record = Lookup(vi);
    if (record == nullptr) {
      return IVI_SESSION_ERROR_INVALID_SESSION_HANDLE;
    }
    return body(*record);
  });
}

}  // namespace
}  // namespace hnvqr::session

using hnvqr::session::Guarded;
using hnvqr::session::Lookup;
using hnvqr::session::SessionRecord;
using hnvqr::session::WithRecord;

extern "C" {

ViStatus _VI_FUNC IviSession_New(ViSession* vi) {
  if (vi == nullptr) {
    return IVI_SESSION_ERROR_NULL_POINTER;
  }
  *vi = VI_NULL;
  return Guarded([vi]() -> ViStatus {
    ViSession handle = VI_NULL;
    const ViStatus status = hnvqr::session::Table().Add(std::make_shared<SessionRecord>(), handle);
    *vi = handle;
    return status;
  });
}

ViStatus _VI_FUNC IviSession_Dispose(ViSession vi) {
  return Guarded([vi]() -> ViStatus {
    if (vi == VI_NULL || hnvqr::session::Table().Remove(vi) == nullptr) {
      return IVI_SESSION_ERROR_INVALID_SESSION_HANDLE;
    }
    // The record is freed when the last thread that still refers to it lets go.
    return VI_SUCCESS;
  });
}

ViStatus _VI_FUNC IviSession_SetDataPtr(ViSession vi, void* dataPtr) {
  return WithRecord(vi, [dataPtr](SessionRecord& record) -> ViStatus {
    record.SetDataPtr(dataPtr);
    return VI_SUCCESS;
  });
}

ViStatus _VI_FUNC IviSession_GetDataPtr(ViSession vi, void** dataPtr) {
  if (dataPtr == nullptr) {
    return IVI_SESSION_ERROR_NULL_POINTER;
  }
  *dataPtr = nullptr;
  return WithRecord(vi, [dataPtr](SessionRecord& record) -> ViStatus {
    *dataPtr = record.GetDataPtr();
    return VI_SUCCESS;
  });
}

ViStatus _VI_FUNC IviSession_Lock(ViSession vi, ViBoolean* callerHasLock) {
  return WithRecord(vi, [callerHasLock](SessionRecord& record) -> ViStatus {
    if (callerHasLock != nullptr && *callerHasLock != VI_FALSE) {
      return VI_SUCCESS;
    }
    const ViStatus status = record.Lock();
    if (status >= 0 && callerHasLock != nullptr) {
      *callerHasLock = VI_TRUE;
    }
    return status;
  });
}

ViStatus _VI_FUNC IviSession_Unlock(ViSession vi, ViBoolean* callerHasLock) {
  return WithRecord(vi, [callerHasLock](SessionRecord& record) -> ViStatus {
    if (callerHasLock != nullptr && *callerHasLock == VI_FALSE) {
      return VI_SUCCESS;
    }
    const ViStatus status = record.Unlock();
    if (status >= 0 && callerHasLock != nullptr) {
      *callerHasLock = VI_FALSE;
    }
    return status;
  });
}

ViStatus _VI_FUNC IviSession_SetError(ViSession vi, ViStatus errorCode, ViConstString description) {
  return Guarded([vi, errorCode, description]() -> ViStatus {
    const ViStatus threadStatus =
        hnvqr::session::StoreIfMoreSevere(hnvqr::session::ThreadError(), errorCode, description);
    if (vi == VI_NULL) {
      return threadStatus;
    }
    SessionRecord* const record = Lookup(vi);
    if (record == nullptr) {
      return IVI_SESSION_ERROR_INVALID_SESSION_HANDLE;
    }
    const ViStatus sessionStatus = record->StoreError(errorCode, description);
    return sessionStatus < 0 ? sessionStatus : threadStatus;
  });
}

ViStatus _VI_FUNC IviSession_GetError(ViSession vi, ViInt32 bufferSize, ViStatus* errorCode, ViChar description[]) {
  return Guarded([vi, bufferSize, errorCode, description]() -> ViStatus {
    if (vi == VI_NULL) {
      return hnvqr::session::ReadError(hnvqr::session::ThreadError(), bufferSize, errorCode, description);
    }
    SessionRecord* const record = Lookup(vi);
    if (record == nullptr) {
      // Leave the outputs defined: no code, empty text.
      if (errorCode != nullptr) {
        *errorCode = VI_SUCCESS;
      }
      if (description != nullptr && bufferSize != 0) {
        description[0] = '\0';
      }
      return IVI_SESSION_ERROR_INVALID_SESSION_HANDLE;
    }
    return record->ReadError(bufferSize, errorCode, description);
  });
}

ViStatus _VI_FUNC IviSession_ClearError(ViSession vi) {
  return Guarded([vi]() -> ViStatus {
    if (vi != VI_NULL) {
      SessionRecord* const record = Lookup(vi);
      if (record == nullptr) {
        return IVI_SESSION_ERROR_INVALID_SESSION_HANDLE;
      }
      record->ClearError();
    }
    hnvqr::session::ClearRecord(hnvqr::session::ThreadError());
    return VI_SUCCESS;
  });
}

ViInt32 _VI_FUNC IviSession_GetLiveSessionCount(void) {
  try {
    return hnvqr::session::Table().Size();
  } catch (...) {
    return 0;
  }
}

}  // extern "C"
