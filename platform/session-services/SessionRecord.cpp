#include "SessionRecord.h"

#include "IviSessionServices.h"

namespace hnvqr::session {

std::uint64_t CurrentThreadToken() noexcept {
  static std::atomic<std::uint64_t> lastToken{0};
  thread_local std::uint64_t token = 0;
  if (token == 0) {
    token = lastToken.fetch_add(1, std::memory_order_relaxed) + 1;
  }
  return token;
}

void SessionRecord::MarkDisposed() {
  {
    // Under waitMutex_, so that a waiter between its check and its sleep cannot miss it.
    const std::lock_guard<std::mutex> guard(waitMutex_);
    disposed_.store(true, std::memory_order_seq_cst);
  }
  wakeup_.notify_all();
}

bool SessionRecord::TryTakeFreeLock(std::uint64_t me) noexcept {
  std::uint64_t expected = 0;
  return owner_.compare_exchange_strong(expected, me, std::memory_order_seq_cst, std::memory_order_relaxed);
}

ViStatus SessionRecord::Lock() {
  const std::uint64_t me = CurrentThreadToken();
  if (owner_.load(std::memory_order_relaxed) == me) {
    ++depth_;
    return VI_SUCCESS;
  }
  if (!TryTakeFreeLock(me)) {
    std::unique_lock<std::mutex> lock(waitMutex_);
    // Announced before the retry below: a release that follows a failed retry then sees
    // the waiter and comes through waitMutex_ to wake it (both sides are seq_cst).
    waiters_.fetch_add(1, std::memory_order_seq_cst);
    for (;;) {
      if (disposed_.load(std::memory_order_seq_cst)) {
        waiters_.fetch_sub(1, std::memory_order_seq_cst);
        return IVI_SESSION_ERROR_INVALID_SESSION_HANDLE;
      }
      if (TryTakeFreeLock(me)) {
        break;
      }
      wakeup_.wait(lock);
    }
    waiters_.fetch_sub(1, std::memory_order_seq_cst);
  }
  depth_ = 1;
  // The handle may have been disposed between the caller's lookup and the take.
  if (disposed_.load(std::memory_order_seq_cst)) {
    ReleaseFully();
    return IVI_SESSION_ERROR_INVALID_SESSION_HANDLE;
  }
  return VI_SUCCESS;
}

ViStatus SessionRecord::Unlock() {
  if (owner_.load(std::memory_order_relaxed) != CurrentThreadToken()) {
    return IVI_SESSION_ERROR_LOCK_NOT_HELD;
  }
  if (--depth_ == 0) {
    ReleaseFully();
  }
  return VI_SUCCESS;
}

void SessionRecord::ReleaseFully() noexcept {
  depth_ = 0;
  owner_.store(0, std::memory_order_seq_cst);
  if (waiters_.load(std::memory_order_seq_cst) != 0) {
    {
      // Empty section: a waiter that saw the lock taken is asleep once we get in.
      const std::lock_guard<std::mutex> guard(waitMutex_);
    }
    wakeup_.notify_one();
  }
}

ViStatus SessionRecord::StoreError(ViStatus code, ViConstString description) {
  const std::lock_guard<std::mutex> guard(errorMutex_);
  return StoreIfMoreSevere(error_, code, description);
}

ViStatus SessionRecord::ReadError(ViInt32 bufferSize, ViStatus* errorCode, ViChar description[]) {
  const std::lock_guard<std::mutex> guard(errorMutex_);
  return hnvqr::session::ReadError(error_, bufferSize, errorCode, description);
}

void SessionRecord::ClearError() {
  const std::lock_guard<std::mutex> guard(errorMutex_);
  ClearRecord(error_);
}

}  // namespace hnvqr::session
