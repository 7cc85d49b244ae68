// What every IviConfig_* function shares: the call frame that keeps exceptions inside,
// the string copy-out rule, handle resolution and the status codes borrowed from IVI.
#ifndef HNVQR_CONFIG_SERVER_API_SUPPORT_H
#define HNVQR_CONFIG_SERVER_API_SUPPORT_H

#include <memory>
#include <new>
#include <string>
#include <string_view>
#include <type_traits>
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

// The name of each kind of handle in error texts.
#define HNVQR_HANDLE_KIND(TYPE, NAME) \
  constexpr const char* KindName(const TYPE*) { return NAME; }
#include "handle_kinds.def"
#undef HNVQR_HANDLE_KIND

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

namespace detail {

// The frame of every call that hands out something derived from the handle `source`: the
// output named `parameter` is checked and cleared first (a failing call leaves 0 there),
// then a lookup's `name` (when there is one: `name` is null for a call without) is checked,
// then `source` is resolved as a Source and `derive(resolved, *out)` fills the output.
template <class Source, class Output, class Derive>
ViStatus DeriveOutput(IviConfigHandle source, const ViConstString* name, Output* out, const char* parameter,
                      Derive& derive) {
  if (out == nullptr) return NullPointer(parameter);
  *out = 0;
  if (name != nullptr && *name == nullptr) return NullPointer("name");
  Resolved<Source> resolved;
  if (const ViStatus status = Resolve(source, resolved); status != VI_SUCCESS) return status;
  return derive(resolved, *out);
}

}  // namespace detail

template <class Source, class Output, class Derive>
ViStatus DeriveFrom(IviConfigHandle source, Output* out, const char* parameter, Derive&& derive) {
  return detail::DeriveOutput<Source>(source, nullptr, out, parameter, derive);
}

template <class Source, class Output, class Derive>
ViStatus DeriveByName(IviConfigHandle source, ViConstString name, Output* out, const char* parameter, Derive&& derive) {
  return detail::DeriveOutput<Source>(source, &name, out, parameter, derive);
}

// The count and the by-index lookup every collection shares (indices are 1-based).
template <class Item>
ViStatus CollectionCount(IviConfigHandle collection, ViInt32* count) {
  return DeriveFrom<CollectionRef<Item>>(collection, count, "count", [](const auto& resolved, ViInt32& out) {
    out = static_cast<ViInt32>(resolved.object.items->size());
    return VI_SUCCESS;
  });
}

template <class Item>
ViStatus CollectionItemByIndex(IviConfigHandle collection, ViInt32 index, IviConfigHandle* item) {
  return DeriveFrom<CollectionRef<Item>>(collection, item, "item", [&](const auto& resolved, IviConfigHandle& out) {
    const std::vector<Item>& items = *resolved.object.items;
    if (index < 1 || static_cast<std::size_t>(index) > items.size()) return IndexOutOfRange(index, items.size());
    out = NewHandle(resolved.data, ItemRef<Item>{&items[static_cast<std::size_t>(index) - 1]});
    return VI_SUCCESS;
  });
}

// The item of a collection whose name is `name`; `notFound` records the error when there
// is none. `itemParameter` names the output parameter in the null-pointer error.
template <class Item, class NotFound>
ViStatus CollectionItemByName(IviConfigHandle collection, ViConstString name, IviConfigHandle* item,
                              const char* itemParameter, NotFound&& notFound) {
  const auto find = [&](const auto& resolved, IviConfigHandle& out) -> ViStatus {
    for (const Item& candidate : *resolved.object.items) {
      if (candidate.name == name) {
        out = NewHandle(resolved.data, ItemRef<Item>{&candidate});
        return VI_SUCCESS;
      }
    }
    return notFound();
  };
  return DeriveByName<CollectionRef<Item>>(collection, name, item, itemParameter, find);
}

// A new handle on the collection `member` of a Parent item (a module's physical names, a
// session's virtual names, a virtual name's ranges).
template <class Parent, class Item>
ViStatus ChildCollection(IviConfigHandle parent, std::vector<Item> Parent::*member, IviConfigHandle* collection,
                         const char* collectionParameter) {
  return DeriveFrom<ItemRef<Parent>>(
      parent, collection, collectionParameter, [&](const auto& resolved, IviConfigHandle& out) {
        out = NewHandle(resolved.data, CollectionRef<Item>{&(resolved.object.item->*member)});
        return VI_SUCCESS;
      });
}

// One row of a property table: the property and the member of an Item that holds it.
template <class Item, class Field>
struct PropertyField {
  ViInt32 propertyId;
  Field Item::*member;
};

// Reads the property `propertyId` of an Item through its table `fields`: `deliver(field)`
// hands the member over. A property outside the table is not one of `type`.
template <class Item, class Field, std::size_t N, class Deliver>
ViStatus FieldProperty(IviConfigHandle handle, ViInt32 propertyId, const PropertyField<Item, Field> (&fields)[N],
                       const char* type, Deliver&& deliver) {
  Resolved<ItemRef<Item>> resolved;
  if (const ViStatus status = Resolve(handle, resolved); status != VI_SUCCESS) return status;
  for (const PropertyField<Item, Field>& field : fields) {
    if (field.propertyId == propertyId) return deliver(resolved.object.item->*field.member);
  }
  return UnknownProperty(propertyId, KindName(static_cast<const ItemRef<Item>*>(nullptr)), type);
}

template <class Item, std::size_t N>
ViStatus StringProperty(IviConfigHandle handle, ViInt32 propertyId, ViInt32 bufferSize, ViChar* value,
                        const PropertyField<Item, std::string> (&fields)[N]) {
  return FieldProperty(handle, propertyId, fields, "ViString",
                       [&](const std::string& text) { return CopyText(text, bufferSize, value); });
}

// A ViBoolean or ViInt32 property; the output is checked before the handle.
template <class Item, class Field, std::size_t N, class Value>
ViStatus ScalarProperty(IviConfigHandle handle, ViInt32 propertyId, Value* value,
                        const PropertyField<Item, Field> (&fields)[N], const char* type) {
  if (value == nullptr) return NullPointer("value");
  return FieldProperty(handle, propertyId, fields, type, [&](const Field& field) -> ViStatus {
    if constexpr (std::is_same_v<Field, bool>) {
      *value = field ? VI_TRUE : VI_FALSE;
    } else {
      *value = field;
    }
    return VI_SUCCESS;
  });
}

}  // namespace hnvqr::config
#endif
