#include "kel/TypedAccess.h"

#include <cstring>
#include <string_view>

#include "kel/DriverDefinition.h"
#include "kel/Errors.h"
#include "kel/Frame.h"
#include "kel/Status.h"

namespace kel {
namespace {

enum class Direction { kGet, kSet };

// Finds the attribute and checks, in this order, that it exists, that it has the type of
// the function called and that it can be accessed in the direction asked; records the
// first failure against `vi`.
template <class T>
ViStatus FindCallbacks(ViSession vi, ViAttr id, Direction direction, const AttributeCallbacks<T>*& callbacks) {
  const AttributeDescriptor* descriptor = ThisDriver().attributes.Find(id);
  if (descriptor == nullptr) return ReportError(vi, status::kInvalidAttribute, id);
  callbacks = descriptor->As<T>();
  if (callbacks == nullptr) {
    return ReportError(vi, status::kTypesDoNotMatch, direction == Direction::kGet ? "Get" : "Set",
                       AttributeValueTraits<T>::kTypeName, descriptor->name, descriptor->typeName);
  }
  if (direction == Direction::kGet && callbacks->getter == nullptr) {
    return ReportError(vi, status::kAttrNotReadable, descriptor->name);
  }
  if (direction == Direction::kSet && callbacks->setter == nullptr) {
    return ReportError(vi, status::kAttrNotWritable, descriptor->name);
  }
  return VI_SUCCESS;
}

}  // namespace

template <class T>
ViStatus GetAttribute(ViSession vi, ViConstString repCapName, ViAttr id, T* value) {
  return Guarded(vi, [&] {
    const AttributeCallbacks<T>* callbacks = nullptr;
    if (const ViStatus found = FindCallbacks(vi, id, Direction::kGet, callbacks); found < 0) return found;
    return callbacks->getter(vi, repCapName, value);
  });
}

template <class T>
ViStatus SetAttribute(ViSession vi, ViConstString repCapName, ViAttr id, T value) {
  return Guarded(vi, [&] {
    const AttributeCallbacks<T>* callbacks = nullptr;
    if (const ViStatus found = FindCallbacks(vi, id, Direction::kSet, callbacks); found < 0) return found;
    return callbacks->setter(vi, repCapName, value);
  });
}

template <class T>
ViStatus GetAttributeChecked(ViSession vi, ViConstString repCapName, ViAttr id, T* value, const char* functionName) {
  return Guarded(vi, [&] {
    if (const ViStatus checked = CheckNullPointer(vi, functionName, "AttributeValue", value); checked < 0) {
      return checked;
    }
    return GetAttribute(vi, repCapName, id, value);
  });
}

ViStatus GetAttributeString(ViSession vi, ViConstString repCapName, ViAttr id, ViInt32 bufferSize, ViChar* value) {
  return Guarded(vi, [&] {
    const AttributeCallbacks<StringValue>* callbacks = nullptr;
    if (const ViStatus found = FindCallbacks(vi, id, Direction::kGet, callbacks); found < 0) return found;
    if (value == nullptr) {
      if (bufferSize == 0) return status::kMaxStringAttributeLength;
      return ReportError(vi, status::kNullPointer, "GetAttributeViString", "AttributeValueBufferSize");
    }
    if (bufferSize == 0) return status::kMaxStringAttributeLength;
    if (bufferSize < 0) return callbacks->getter(vi, repCapName, status::kMaxStringAttributeLength, value);
    const ViStatus got = callbacks->getter(vi, repCapName, bufferSize, value);
    if (got < 0) return got;
    const std::size_t length = ::strnlen(value, static_cast<std::size_t>(bufferSize));
    if (length + 1 == static_cast<std::size_t>(bufferSize)) return status::kMaxStringAttributeLength;
    return got;
  });
}

ViStatus SetAttributeString(ViSession vi, ViConstString repCapName, ViAttr id, ViConstString value) {
  return Guarded(vi, [&] {
    const AttributeCallbacks<StringValue>* callbacks = nullptr;
    if (const ViStatus found = FindCallbacks(vi, id, Direction::kSet, callbacks); found < 0) return found;
    return callbacks->setter(vi, repCapName, value);
  });
}

#define KEL_INSTANTIATE_TYPED_ACCESS(T)                                    \
  template ViStatus GetAttribute<T>(ViSession, ViConstString, ViAttr, T*); \
  template ViStatus SetAttribute<T>(ViSession, ViConstString, ViAttr, T);  \
  template ViStatus GetAttributeChecked<T>(ViSession, ViConstString, ViAttr, T*, const char*);
KEL_INSTANTIATE_TYPED_ACCESS(ViInt32)
KEL_INSTANTIATE_TYPED_ACCESS(ViReal64)
KEL_INSTANTIATE_TYPED_ACCESS(ViBoolean)
KEL_INSTANTIATE_TYPED_ACCESS(ViSession)
#undef KEL_INSTANTIATE_TYPED_ACCESS

}  // namespace kel
