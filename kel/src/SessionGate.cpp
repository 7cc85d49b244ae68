#include "kel/SessionGate.h"

#include "PerThread.h"

namespace kel {
namespace {

// Each thread's flag, cleared when the thread ends; the lock book keeps it alive after that.
struct ThreadPresence {
  std::shared_ptr<std::atomic<bool>> running = std::make_shared<std::atomic<bool>>(true);
  ~ThreadPresence() { running->store(false, std::memory_order_release); }
};

const std::shared_ptr<std::atomic<bool>>& ThisThread() { return hnvqr::PerThread<ThreadPresence>().running; }

}  // namespace

void SessionGate::NoteLocked() {
  const std::lock_guard lock(mutex_);
  if (depth_ == 0) holder_ = ThisThread();
  ++depth_;
}

void SessionGate::NoteUnlocked() {
  const std::lock_guard lock(mutex_);
  if (depth_ == 0 || holder_ != ThisThread()) return;
  if (--depth_ == 0) holder_.reset();
}

SessionGate::Holder SessionGate::CurrentHolder() const {
  const std::lock_guard lock(mutex_);
  if (depth_ == 0) return Holder::None;
  if (holder_ == ThisThread()) return Holder::Caller;
  return holder_->load(std::memory_order_acquire) ? Holder::LiveThread : Holder::ExitedThread;
}

}  // namespace kel
