// What closing a session needs to know that the session lock cannot tell: which thread holds
// the lock through LockSession (and whether that thread still exists), and how many calls
// are inside their bodies. Close waits for calls in progress, which are bounded by their
// I/O time-outs, but not for ever for a lock that a thread took and kept.
#pragma once

#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>

namespace kel {

class SessionGate {
 public:
  enum class Holder { None, Caller, LiveThread, ExitedThread };

  // LockSession and UnlockSession on the calling thread, after the session lock agreed.
  void NoteLocked();
  void NoteUnlocked();
  Holder CurrentHolder() const;

  // The frame enters a body only while the session is not closing; false when it is.
  bool Enter() {
    activeCalls_.fetch_add(1, std::memory_order_seq_cst);
    if (!closing_.load(std::memory_order_seq_cst)) return true;
    Leave();
    return false;
  }
  void Leave() { activeCalls_.fetch_sub(1, std::memory_order_seq_cst); }
  // From now on no body starts; true once none is running.
  void BeginClosing() { closing_.store(true, std::memory_order_seq_cst); }
  bool Idle() const { return activeCalls_.load(std::memory_order_seq_cst) == 0; }

 private:
  mutable std::mutex mutex_;                         // guards holder_ and depth_
  std::shared_ptr<const std::atomic<bool>> holder_;  // the holding thread's "still running" flag
  std::uint32_t depth_ = 0;                          // LockSession levels it holds

  std::atomic<std::uint32_t> activeCalls_{0};  // bodies running, nested ones included
  std::atomic<bool> closing_{false};
};

}  // namespace kel
