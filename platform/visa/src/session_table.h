// The process-wide table of open VISA objects: resource managers and the instrument
// sessions opened through them. Handles are never reused within a process.
#ifndef HNVISA_SESSION_TABLE_H
#define HNVISA_SESSION_TABLE_H

#include <map>
#include <memory>
#include <mutex>
#include <set>

#include "find_list.h"
#include "session.h"

namespace hnvqr::visa {

class SessionTable {
 public:
  static SessionTable& instance();

  ViSession addResourceManager();
  // Registers `session` under the resource manager `manager`; VI_ERROR_INV_OBJECT when
  // `manager` is no open resource manager (it may have been closed meanwhile).
  ViStatus addInstrument(ViSession manager, std::shared_ptr<Session> session, ViSession& handle);
  bool isResourceManager(ViSession handle) const;
  // The open instrument session, or nullptr. The caller's reference keeps it alive while
  // it is used, even if another thread closes the handle meanwhile.
  std::shared_ptr<Session> findInstrument(ViSession handle) const;
  // Registers a find list under `manager`, which closes it with itself.
  ViStatus addFindList(ViSession manager, std::shared_ptr<FindList> list, ViFindList& handle);
  std::shared_ptr<FindList> findFindList(ViFindList handle) const;
  // Removes the object (a resource manager with every session and find list it opened),
  // releases the locks of the sessions and wakes any call blocked on them.
  // VI_ERROR_INV_OBJECT for an unknown handle.
  ViStatus close(ViSession handle);

 private:
  SessionTable() = default;

  // An object opened through a resource manager, which closes it with itself.
  template <typename Object>
  struct Child {
    std::shared_ptr<Object> object;
    ViSession manager;
  };
  template <typename Object>
  using Children = std::map<ViSession, Child<Object>>;

  // Registers `object` under `manager` in `children`; expects the lock held.
  template <typename Object>
  ViStatus addChild(ViSession manager, std::shared_ptr<Object> object, Children<Object>& children, ViSession& handle);
  // The object of `handle` in `children`, or nullptr; expects the lock held.
  template <typename Object>
  static std::shared_ptr<Object> findChild(const Children<Object>& children, ViSession handle);
  // Drops `handle` from the objects of the manager that opened it; expects the lock held.
  void forgetChild(ViSession manager, ViSession handle);

  // Guards the four members below; held only for lookups and updates, never across I/O.
  mutable std::mutex mutex_;
  ViSession nextHandle_ = 1;
  std::map<ViSession, std::set<ViSession>> managers_;  // manager -> its sessions and find lists
  Children<Session> instruments_;
  Children<FindList> findLists_;
};

}  // namespace hnvqr::visa

#endif
