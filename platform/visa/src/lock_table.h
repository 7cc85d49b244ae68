// Locks on resources within this process: exclusive (one session) and shared (every
// session presenting the access key). A lock belongs to a session and to the resource it
// was opened on, so two sessions to the same resource contend for it.
#ifndef HNVISA_LOCK_TABLE_H
#define HNVISA_LOCK_TABLE_H

#include <condition_variable>
#include <cstdint>
#include <functional>
#include <map>
#include <mutex>
#include <string>

#include "visa.h"

namespace hnvqr::visa {

class LockTable {
 public:
  static LockTable& instance();

  // Takes (or nests) a lock of `lockType` on `resource` for `session`, waiting up to
  // `timeoutMs` for an incompatible one to be released. A shared lock joins the current
  // holders when `requestedKey` is theirs, and starts with `requestedKey` (or a new key)
  // when there are none; the key granted goes to `grantedKey`. `stillOpen` is asked while
  // waiting and before granting, so a session closed meanwhile never ends up holding a
  // lock. Returns VI_SUCCESS or VI_SUCCESS_NESTED_*, VI_ERROR_INV_LOCK_TYPE,
  // VI_ERROR_RSRC_LOCKED when refused without waiting (time-out 0), VI_ERROR_TMO when
  // the wait ran out, VI_ERROR_INV_OBJECT when the session was closed.
  ViStatus lock(const std::string& resource, ViSession session, ViAccessMode lockType, ViUInt32 timeoutMs,
                const char* requestedKey, std::string& grantedKey, const std::function<bool()>& stillOpen);
  // Releases one level: the exclusive lock first, then the shared one. VI_SUCCESS_NESTED_*
  // when the session still holds a lock afterwards, VI_ERROR_SESN_NLOCKED when it held none.
  ViStatus unlock(const std::string& resource, ViSession session);
  // Every lock the session holds, at every level (the session is closing).
  void releaseAll(ViSession session);
  // False when another session holds the resource exclusively, or holds it shared and
  // this one is not among the holders.
  bool mayAccess(const std::string& resource, ViSession session) const;
  // VI_ATTR_RSRC_LOCK_STATE: the lock on the resource, whoever holds it.
  ViAccessMode state(const std::string& resource) const;

 private:
  LockTable() = default;

  struct ResourceLocks {
    ViSession exclusiveOwner = VI_NULL;
    std::uint32_t exclusiveDepth = 0;
    std::string sharedKey;
    std::map<ViSession, std::uint32_t> sharedDepth;  // holder -> levels
    bool idle() const { return exclusiveOwner == VI_NULL && sharedDepth.empty(); }
  };
  static bool grantable(const ResourceLocks& locks, ViSession session, ViAccessMode lockType, const char* requestedKey);

  // Guards resources_ and nextKey_; waiters sleep on released_, which every release and
  // every close notifies.
  mutable std::mutex mutex_;
  std::condition_variable released_;
  std::map<std::string, ResourceLocks> resources_;  // only resources with a lock held
  std::uint64_t nextKey_ = 1;
};

}  // namespace hnvqr::visa

#endif
