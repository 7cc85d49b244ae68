#include "lock_table.h"

#include <chrono>
#include <vector>

#include "deadline.h"

namespace hnvqr::visa {

LockTable& LockTable::instance() {
  // Never destroyed, like the session table it shadows.
  static LockTable* const table = new LockTable();
  return *table;
}

bool LockTable::grantable(const ResourceLocks& locks, ViSession session, ViAccessMode lockType,
                          const char* requestedKey) {
  if (locks.exclusiveOwner != VI_NULL && locks.exclusiveOwner != session) return false;
  if (lockType == VI_EXCLUSIVE_LOCK) {
    for (const auto& [holder, depth] : locks.sharedDepth)
      if (holder != session) return false;
    return true;
  }
  if (locks.sharedDepth.empty() || locks.sharedDepth.count(session) != 0) return true;
  return requestedKey != nullptr && locks.sharedKey == requestedKey;
}

ViStatus LockTable::lock(const std::string& resource, ViSession session, ViAccessMode lockType, ViUInt32 timeoutMs,
                         const char* requestedKey, std::string& grantedKey, const std::function<bool()>& stillOpen) {
  if (lockType != VI_EXCLUSIVE_LOCK && lockType != VI_SHARED_LOCK) return VI_ERROR_INV_LOCK_TYPE;
  // An empty key asks for a new one, as a null one does.
  if (requestedKey != nullptr && *requestedKey == '\0') requestedKey = nullptr;
  const Deadline deadline = Deadline::afterMilliseconds(timeoutMs);
  std::unique_lock guard(mutex_);
  for (;;) {
    if (!stillOpen()) return VI_ERROR_INV_OBJECT;
    const auto found = resources_.find(resource);
    if (found == resources_.end() || grantable(found->second, session, lockType, requestedKey)) break;
    if (timeoutMs == VI_TMO_IMMEDIATE) return VI_ERROR_RSRC_LOCKED;
    if (timeoutMs == VI_TMO_INFINITE) {
      released_.wait(guard);
    } else {
      const int left = deadline.pollTimeout();
      if (left <= 0) return VI_ERROR_TMO;
      released_.wait_for(guard, std::chrono::milliseconds(left));
    }
  }
  ResourceLocks& locks = resources_[resource];
  if (lockType == VI_EXCLUSIVE_LOCK) {
    const bool nested = locks.exclusiveOwner == session;
    locks.exclusiveOwner = session;
    ++locks.exclusiveDepth;
    grantedKey.clear();
    return nested ? VI_SUCCESS_NESTED_EXCLUSIVE : VI_SUCCESS;
  }
  if (locks.sharedDepth.empty())
    locks.sharedKey = requestedKey != nullptr ? requestedKey : "hnvisa-key-" + std::to_string(nextKey_++);
  const bool nested = ++locks.sharedDepth[session] > 1;
  grantedKey = locks.sharedKey;
  return nested ? VI_SUCCESS_NESTED_SHARED : VI_SUCCESS;
}

ViStatus LockTable::unlock(const std::string& resource, ViSession session) {
  ViStatus status = VI_ERROR_SESN_NLOCKED;
  {
    const std::lock_guard guard(mutex_);
    const auto found = resources_.find(resource);
    if (found == resources_.end()) return VI_ERROR_SESN_NLOCKED;
    ResourceLocks& locks = found->second;
    const auto shared = locks.sharedDepth.find(session);
    if (locks.exclusiveOwner == session) {
      if (--locks.exclusiveDepth > 0) return VI_SUCCESS_NESTED_EXCLUSIVE;
      locks.exclusiveOwner = VI_NULL;
      status = shared != locks.sharedDepth.end() ? VI_SUCCESS_NESTED_SHARED : VI_SUCCESS;
    } else if (shared != locks.sharedDepth.end()) {
      if (--shared->second > 0) return VI_SUCCESS_NESTED_SHARED;
      locks.sharedDepth.erase(shared);
      status = VI_SUCCESS;
    } else {
      return VI_ERROR_SESN_NLOCKED;
    }
    if (locks.idle()) resources_.erase(found);
  }
  released_.notify_all();
  return status;
}

void LockTable::releaseAll(ViSession session) {
  {
    const std::lock_guard guard(mutex_);
    for (auto it = resources_.begin(); it != resources_.end();) {
      ResourceLocks& locks = it->second;
      if (locks.exclusiveOwner == session) {
        locks.exclusiveOwner = VI_NULL;
        locks.exclusiveDepth = 0;
      }
      locks.sharedDepth.erase(session);
      it = locks.idle() ? resources_.erase(it) : std::next(it);
    }
  }
  // Also wakes a lock call of the closed session itself, which then sees it closed.
  released_.notify_all();
}

bool LockTable::mayAccess(const std::string& resource, ViSession session) const {
  const std::lock_guard guard(mutex_);
  const auto found = resources_.find(resource);
  if (found == resources_.end()) return true;
  const ResourceLocks& locks = found->second;
  if (locks.exclusiveOwner != VI_NULL) return locks.exclusiveOwner == session;
  return locks.sharedDepth.count(session) != 0;
}

ViAccessMode LockTable::state(const std::string& resource) const {
  const std::lock_guard guard(mutex_);
  const auto found = resources_.find(resource);
  if (found == resources_.end()) return VI_NO_LOCK;
  return found->second.exclusiveOwner != VI_NULL ? ViAccessMode{VI_EXCLUSIVE_LOCK} : ViAccessMode{VI_SHARED_LOCK};
}

}  // namespace hnvqr::visa
