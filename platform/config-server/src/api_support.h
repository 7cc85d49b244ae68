// What every IviConfig_* function shares: the call frame that keeps exceptions inside,
// the string copy-out rule, handle resolution and the status codes borrowed from IVI.
#ifndef HNVQR_CONFIG_SERVER_API_SUPPORT_H
#define HNVQR_CONFIG_SERVER_API_SUPPORT_H

#include <memory>
#include <new>
#include <string>
#include <string_view>
#include <vector>

#include "IviConfigServer.h"
#include "IviStatusCodes.h"
#include "handle_table.h"
#include "last_error.h"

namespace hnvqr::config {

// IVI inherent codes: the server has no codes of its own for these.
inline constexpr ViStatus kNullPointerStatus = IVI_ERROR_NULL_POINTER;
inline constexpr ViStatus kOutOfMemoryStatus = IVI_ERROR_OUT_OF_MEMORY;
inline constexpr ViStatus kInternalFailureStatus = IVI_ERROR_CANNOT_RECOVER;

// Runs the body of an exported function; no exception leaves it.
template <class Body>
ViStatus Guarded(Body&& body) noexcept {
  try {
    return body();
  } catch (const std::bad_alloc&) {
    return RecordError(kOutOfMemoryStatus, "The configuration server ran out of memory");
  } catch (...) {
    return RecordError(kInternalFailureStatus, "Unexpected internal failure in the configuration server");
  }
}

ViStatus NullPointer(const char* parameter);

// Copies `text` into the caller's buffer of `bufferSize` characters. Returns VI_SUCCESS
// when it fits; otherwise writes at most bufferSize - 1 characters and a NUL (nothing
// when bufferSize <= 0 or the buffer is null) and returns the size needed, terminator
// included, as a positive warning: the IVI rule for string getters.
ViStatus CopyText(std::string_view text, ViInt32 bufferSize, ViChar* buffer) noexcept;

ViStatus UnknownProperty(ViInt32 propertyId, const char* objectKind, const char* type);
ViStatus IndexOutOfRange(ViInt32 index, std::size_t count);

constexpr const char* KindName(const StoreObject*) { return "configuration store"; }
constexpr const char* KindName(const CollectionRef<SoftwareModule>*) { return "software module collection"; }
constexpr const char* KindName(const ItemRef<SoftwareModule>*) { return "software module"; }
constexpr const char* KindName(const ItemRef<HardwareAsset>*) { return "hardware asset"; }
constexpr const char* KindName(const ItemRef<DriverSession>*) { return "driver session"; }
constexpr const char* KindName(const CollectionRef<VirtualName>*) { return "virtual name collection"; }
constexpr const char* KindName(const ItemRef<VirtualName>*) { return "virtual name"; }
constexpr const char* KindName(const CollectionRef<VirtualRange>*) { return "virtual range collection"; }
constexpr const char* KindName(const ItemRef<VirtualRange>*) { return "virtual range"; }
constexpr const char* KindName(const CollectionRef<PhysicalName>*) { return "physical name collection"; }
constexpr const char* KindName(const ItemRef<PhysicalName>*) { return "physical name"; }
constexpr const char* KindName(const CollectionRef<DataComponent>*) { return "data component collection"; }
constexpr const char* KindName(const ItemRef<DataComponent>*) { return "data component"; }

ViStatus InvalidHandle(IviConfigHandle handle, const char* expectedKind);

// A handle of the kind Object, with the store contents it keeps alive.
template <class Object>
struct Resolved {
  std::shared_ptr<const StoreData> data;
  Object object;
};

// Looks `handle` up as an Object; on failure records 0xBFFA1220 and returns it.
template <class Object>
ViStatus Resolve(IviConfigHandle handle, Resolved<Object>& out) {
  const auto entry = HandleTable::Instance().Find(handle);
  const Object* object = entry ? std::get_if<Object>(&entry->object) : nullptr;
  if (object == nullptr) return InvalidHandle(handle, KindName(static_cast<const Object*>(nullptr)));
  out.data = entry->data;
  out.object = *object;
  return VI_SUCCESS;
}

// Hands out a new handle for `object`, sharing the store contents of its parent.
template <class Object>
IviConfigHandle NewHandle(const std::shared_ptr<const StoreData>& data, Object object) {
  return HandleTable::Instance().Insert(HandleEntry{data, HandleObject{object}});
}

}  // namespace hnvqr::config

namespace hnvqr::config {

// The count and the by-index lookup every collection shares (indices are 1-based).
template <class Item>
ViStatus CollectionCount(IviConfigHandle collection, ViInt32* count) {
  if (count == nullptr) return NullPointer("count");
  *count = 0;
  Resolved<CollectionRef<Item>> resolved;
  if (const ViStatus status = Resolve(collection, resolved); status != VI_SUCCESS) return status;
  *count = static_cast<ViInt32>(resolved.object.items->size());
  return VI_SUCCESS;
}

template <class Item>
ViStatus CollectionItemByIndex(IviConfigHandle collection, ViInt32 index, IviConfigHandle* item) {
  if (item == nullptr) return NullPointer("item");
  *item = 0;
  Resolved<CollectionRef<Item>> resolved;
  if (const ViStatus status = Resolve(collection, resolved); status != VI_SUCCESS) return status;
  const std::vector<Item>& items = *resolved.object.items;
  if (index < 1 || static_cast<std::size_t>(index) > items.size()) return IndexOutOfRange(index, items.size());
  *item = NewHandle(resolved.data, ItemRef<Item>{&items[static_cast<std::size_t>(index) - 1]});
  return VI_SUCCESS;
}

// The item of a collection whose name is `name`; `notFound` records the error when there
// is none. `itemParameter` names the output parameter in the null-pointer error.
template <class Item, class NotFound>
ViStatus CollectionItemByName(IviConfigHandle collection, ViConstString name, IviConfigHandle* item,
                              const char* itemParameter, NotFound&& notFound) {
  if (item == nullptr) return NullPointer(itemParameter);
  *item = 0;
  if (name == nullptr) return NullPointer("name");
  Resolved<CollectionRef<Item>> resolved;
  if (const ViStatus status = Resolve(collection, resolved); status != VI_SUCCESS) return status;
  for (const Item& candidate : *resolved.object.items) {
    if (candidate.name == name) {
      *item = NewHandle(resolved.data, ItemRef<Item>{&candidate});
      return VI_SUCCESS;
    }
  }
  return notFound();
}

// A new handle on the collection `member` of a Parent item (a module's physical names, a
// session's virtual names, a virtual name's ranges).
template <class Parent, class Item>
ViStatus ChildCollection(IviConfigHandle parent, std::vector<Item> Parent::*member, IviConfigHandle* collection,
                         const char* collectionParameter) {
  if (collection == nullptr) return NullPointer(collectionParameter);
  *collection = 0;
  Resolved<ItemRef<Parent>> resolved;
  if (const ViStatus status = Resolve(parent, resolved); status != VI_SUCCESS) return status;
  *collection = NewHandle(resolved.data, CollectionRef<Item>{&(resolved.object.item->*member)});
  return VI_SUCCESS;
}

// Reads one string property of an Item: `select(item, propertyId)` gives a pointer to the
// text, or null for an unknown property.
template <class Item, class Select>
ViStatus StringProperty(IviConfigHandle handle, ViInt32 propertyId, ViInt32 bufferSize, ViChar* value,
                        Select&& select) {
  Resolved<ItemRef<Item>> resolved;
  if (const ViStatus status = Resolve(handle, resolved); status != VI_SUCCESS) return status;
  const std::string* text = select(*resolved.object.item, propertyId);
  if (text == nullptr)
    return UnknownProperty(propertyId, KindName(static_cast<const ItemRef<Item>*>(nullptr)), "ViString");
  return CopyText(*text, bufferSize, value);
}

}  // namespace hnvqr::config
#endif
