#include "handle_table.h"

#include <utility>

namespace hnvqr::config {

HandleTable& HandleTable::Instance() {
  // Never destroyed: handles may still be used while static objects are torn down at exit.
  static HandleTable* const table = new HandleTable;
  return *table;
}

IviConfigHandle HandleTable::Insert(HandleEntry entry) {
  const std::lock_guard lock(mutex_);
  do {
    ++lastHandle_;  // wraps after 2^32 handles; 0 and live handles are skipped
  } while (lastHandle_ == 0 || entries_.count(lastHandle_) != 0);
  entries_.emplace(lastHandle_, std::move(entry));
  return lastHandle_;
}

std::optional<HandleEntry> HandleTable::Find(IviConfigHandle handle) const {
  const std::lock_guard lock(mutex_);
  const auto found = entries_.find(handle);
  if (found == entries_.end()) return std::nullopt;
  return found->second;
}

bool HandleTable::Erase(IviConfigHandle handle) {
  std::shared_ptr<const StoreData> released;  // freed after the lock is dropped
  const std::lock_guard lock(mutex_);
  const auto found = entries_.find(handle);
  if (found == entries_.end()) return false;
  released = std::move(found->second.data);
  entries_.erase(found);
  return true;
}

std::size_t HandleTable::Size() const {
  const std::lock_guard lock(mutex_);
  return entries_.size();
}

HandleTable::AttachResult HandleTable::AttachStoreData(IviConfigHandle handle, std::shared_ptr<const StoreData> data) {
  const std::lock_guard lock(mutex_);
  const auto found = entries_.find(handle);
  if (found == entries_.end()) return AttachResult::NotAStore;
  auto* store = std::get_if<StoreObject>(&found->second.object);
  if (store == nullptr) return AttachResult::NotAStore;
  if (store->deserialized) return AttachResult::AlreadyDeserialized;
  store->deserialized = true;
  found->second.data = std::move(data);
  return AttachResult::Attached;
}

}  // namespace hnvqr::config
