// The process-wide table of every handle the server has handed out.
#ifndef HNVQR_CONFIG_SERVER_HANDLE_TABLE_H
#define HNVQR_CONFIG_SERVER_HANDLE_TABLE_H

#include <cstddef>
#include <memory>
#include <mutex>
#include <optional>
#include <unordered_map>
#include <variant>
#include <vector>

#include "IviConfigServer.h"
#include "store_model.h"

namespace hnvqr::config {

// What a handle designates. Pointers point into the StoreData the entry keeps alive.
struct StoreObject {
  bool deserialized = false;
};
template <class Item>
struct CollectionRef {
  const std::vector<Item>* items = nullptr;
};
template <class Item>
struct ItemRef {
  const Item* item = nullptr;
};

// The variant of every kind in handle_kinds.def; each row adds ", TYPE" after the leading void.
template <class Leading, class... Kinds>
struct VariantOfKinds {
  using type = std::variant<Kinds...>;
};
#define HNVQR_HANDLE_KIND(TYPE, NAME) , TYPE
using HandleObject = VariantOfKinds<void
#include "handle_kinds.def"
                                    >::type;
#undef HNVQR_HANDLE_KIND

struct HandleEntry {
  std::shared_ptr<const StoreData> data;  // the store's contents; null for a store not yet read
  HandleObject object;
};

class HandleTable {
 public:
  static HandleTable& Instance();

  // A fresh non-zero handle, never one that is live.
  IviConfigHandle Insert(HandleEntry entry);
  std::optional<HandleEntry> Find(IviConfigHandle handle) const;
  bool Erase(IviConfigHandle handle);
  std::size_t Size() const;

  enum class AttachResult { Attached, NotAStore, AlreadyDeserialized };
  // Gives a store handle its contents, once.
  AttachResult AttachStoreData(IviConfigHandle handle, std::shared_ptr<const StoreData> data);

 private:
  HandleTable() = default;
  // Guards entries_ and lastHandle_. Entries are copied out under the lock and used after
  // it is released; the StoreData they share is never modified.
  mutable std::mutex mutex_;
  std::unordered_map<IviConfigHandle, HandleEntry> entries_;
  IviConfigHandle lastHandle_ = 0;
};

}  // namespace hnvqr::config

#endif
