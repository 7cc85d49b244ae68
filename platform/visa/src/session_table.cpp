#include "session_table.h"

#include <vector>

#include "lock_table.h"

namespace hnvqr::visa {

SessionTable& SessionTable::instance() {
  // Never destroyed: a thread still inside a call at process exit must not find it gone.
  static SessionTable* const table = new SessionTable();
  return *table;
}

ViSession SessionTable::addResourceManager() {
  const std::lock_guard lock(mutex_);
  const ViSession handle = nextHandle_++;
  managers_.emplace(handle, std::set<ViSession>{});
  return handle;
}

template <typename Object>
ViStatus SessionTable::addChild(ViSession manager, std::shared_ptr<Object> object, Children<Object>& children,
                                ViSession& handle) {
  const auto found = managers_.find(manager);
  if (found == managers_.end()) return VI_ERROR_INV_OBJECT;
  handle = nextHandle_++;
  found->second.insert(handle);
  children.emplace(handle, Child<Object>{std::move(object), manager});
  return VI_SUCCESS;
}

template <typename Object>
std::shared_ptr<Object> SessionTable::findChild(const Children<Object>& children, ViSession handle) {
  const auto found = children.find(handle);
  return found == children.end() ? nullptr : found->second.object;
}

void SessionTable::forgetChild(ViSession manager, ViSession handle) {
  if (const auto owner = managers_.find(manager); owner != managers_.end()) owner->second.erase(handle);
}

ViStatus SessionTable::addInstrument(ViSession manager, std::shared_ptr<Session> session, ViSession& handle) {
  const std::lock_guard lock(mutex_);
  return addChild(manager, std::move(session), instruments_, handle);
}

ViStatus SessionTable::addFindList(ViSession manager, std::shared_ptr<FindList> list, ViFindList& handle) {
  const std::lock_guard lock(mutex_);
  return addChild(manager, std::move(list), findLists_, handle);
}

std::shared_ptr<FindList> SessionTable::findFindList(ViFindList handle) const {
  const std::lock_guard lock(mutex_);
  return findChild(findLists_, handle);
}

bool SessionTable::isResourceManager(ViSession handle) const {
  const std::lock_guard lock(mutex_);
  return managers_.count(handle) != 0;
}

std::shared_ptr<Session> SessionTable::findInstrument(ViSession handle) const {
  const std::lock_guard lock(mutex_);
  return findChild(instruments_, handle);
}

ViStatus SessionTable::close(ViSession handle) {
  const std::int64_t started = Session::traceClock();
  std::vector<std::shared_ptr<Session>> closing;
  std::vector<ViSession> closedHandles;
  {
    const std::lock_guard lock(mutex_);
    if (const auto manager = managers_.find(handle); manager != managers_.end()) {
      for (const ViSession child : manager->second) {
        findLists_.erase(child);
        const auto instrument = instruments_.find(child);
        if (instrument == instruments_.end()) continue;
        closing.push_back(std::move(instrument->second.object));
        closedHandles.push_back(child);
        instruments_.erase(instrument);
      }
      managers_.erase(manager);
    } else if (const auto instrument = instruments_.find(handle); instrument != instruments_.end()) {
      forgetChild(instrument->second.manager, handle);
      closing.push_back(std::move(instrument->second.object));
      closedHandles.push_back(handle);
      instruments_.erase(instrument);
    } else if (const auto list = findLists_.find(handle); list != findLists_.end()) {
      forgetChild(list->second.manager, handle);
      findLists_.erase(list);
    } else {
      return VI_ERROR_INV_OBJECT;
    }
  }
  // Outside the table lock: a blocked call returns at once; the transport itself closes
  // when the last call using it lets go of the session.
  for (const ViSession closed : closedHandles) LockTable::instance().releaseAll(closed);
  for (const auto& session : closing) {
    session->interrupt();
    session->recordClose(started, VI_SUCCESS);
  }
  return VI_SUCCESS;
}

}  // namespace hnvqr::visa
