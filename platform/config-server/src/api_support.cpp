#include "api_support.h"

#include <algorithm>
#include <cstring>

namespace hnvqr::config {

ViStatus NullPointer(const char* parameter) {
  return RecordError(kNullPointerStatus, std::string("The parameter '") + parameter + "' is a null pointer");
}

ViStatus CopyText(std::string_view text, ViInt32 bufferSize, ViChar* buffer) noexcept {
  const std::size_t needed = text.size() + 1;
  if (bufferSize > 0 && buffer != nullptr) {
    const std::size_t copied = std::min(text.size(), static_cast<std::size_t>(bufferSize) - 1);
    std::memcpy(buffer, text.data(), copied);
    buffer[copied] = '\0';
    if (copied == text.size()) return VI_SUCCESS;
  }
  // Texts come from a file smaller than 10 MiB, so the size always fits.
  return static_cast<ViStatus>(needed);
}

ViStatus UnknownProperty(ViInt32 propertyId, const char* objectKind, const char* type) {
  return RecordError(IVICONFIG_ERROR_INVALID_PROPERTY_ID, "The property " + std::to_string(propertyId) + " is not a " +
                                                              type + " property of a " + objectKind);
}

ViStatus IndexOutOfRange(ViInt32 index, std::size_t count) {
  return RecordError(IVICONFIG_ERROR_NOT_EXIST, "The index " + std::to_string(index) +
                                                    " is outside the collection, which holds " + std::to_string(count) +
                                                    " item(s) from index 1");
}

ViStatus InvalidHandle(IviConfigHandle handle, const char* expectedKind) {
  return RecordError(IVICONFIG_ERROR_INVALID_HANDLE,
                     "The handle " + std::to_string(handle) + " is not a valid " + expectedKind + " handle");
}

}  // namespace hnvqr::config
