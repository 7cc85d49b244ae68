// Everything behind one session handle: the data pointer, the recursive session lock and the
// session's error record.
#ifndef HNVQR_SESSION_SERVICES_SESSION_RECORD_H
#define HNVQR_SESSION_SERVICES_SESSION_RECORD_H

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <mutex>

#include "ErrorRecord.h"
#include "visatype.h"

namespace hnvqr::session {

// Identifies the calling thread for lock ownership. Tokens come from a process-wide counter,
// so a thread that starts after another one ended never inherits its ownership.
std::uint64_t CurrentThreadToken() noexcept;

// Records are held by shared ownership (the handle table and each thread's lookup cache),
// so a thread still inside a call on a session that another thread disposes keeps valid
// memory until it leaves.
//
// The session lock:
// - `owner_` (atomic) is the token of the holding thread, 0 when free. Taking a free lock is
//   one compare-and-swap, releasing it one store: no mutex on the uncontended path.
// - `depth_` is read and written only by the owner, so it needs no synchronisation of its
//   own; the acquire/release on `owner_` hands it from one owner to the next.
// - `waitMutex_` and `wakeup_` exist only for threads that must wait. `waitMutex_` guards
//   the check-then-sleep of a waiter against a concurrent release or dispose, so a wake-up
//   is never lost. `waiters_` lets a release skip the mutex when nobody waits.
// - `disposed_` is set once, when the handle is disposed; waiters then give up, and the
//   lookup caches use it to tell a stale entry from a live one.
//
// The error record has its own mutex, `errorMutex_`, because the error store is read and
// cleared without the session lock (a caller may ask for a session's error from any thread).
class alignas(64) SessionRecord {
 public:
  bool IsDisposed() const noexcept { return disposed_.load(std::memory_order_acquire); }
  // Marks the record dead and wakes every thread waiting for its lock.
  void MarkDisposed();

  void SetDataPtr(void* dataPtr) noexcept { dataPtr_.store(dataPtr, std::memory_order_release); }
  void* GetDataPtr() const noexcept { return dataPtr_.load(std::memory_order_acquire); }

  // Takes one level of the lock, waiting while another thread holds it. Returns
  // VI_SUCCESS, or IVI_SESSION_ERROR_INVALID_SESSION_HANDLE when the session is disposed
  // before the lock could be taken (the lock is then not held).
  ViStatus Lock();
  // Releases one level. IVI_SESSION_ERROR_LOCK_NOT_HELD when the caller does not hold it.
  ViStatus Unlock();

  // Error store access; the callers hold no other lock.
  ViStatus StoreError(ViStatus code, ViConstString description);
  ViStatus ReadError(ViInt32 bufferSize, ViStatus* errorCode, ViChar description[]);
  void ClearError();

 private:
  void ReleaseFully() noexcept;
  bool TryTakeFreeLock(std::uint64_t me) noexcept;

  // Hot line: touched by every call on the session.
  std::atomic<bool> disposed_{false};
  std::atomic<void*> dataPtr_{nullptr};
  std::atomic<std::uint64_t> owner_{0};
  std::uint32_t depth_ = 0;
  std::atomic<std::uint32_t> waiters_{0};

  alignas(64) std::mutex waitMutex_;
  std::condition_variable wakeup_;

  std::mutex errorMutex_;
  hnvqr::session::ErrorRecord error_;
};

}  // namespace hnvqr::session

#endif
