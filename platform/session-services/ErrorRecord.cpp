#include "ErrorRecord.h"

#include <cstring>
#include <new>

#include "IviSessionServices.h"

namespace hnvqr::session {
namespace {

int Severity(ViStatus code) noexcept {
  if (code < 0) {
    return 2;
  }
  return code > 0 ? 1 : 0;
}

}  // namespace

ViStatus StoreIfMoreSevere(ErrorRecord& record, ViStatus code, ViConstString description) noexcept {
  if (Severity(code) <= Severity(record.code)) {
    return VI_SUCCESS;
  }
  record.code = code;
  // strnlen: a text longer than the limit is never read past the characters kept.
  const std::size_t length = description == nullptr ? 0 : strnlen(description, kMaxDescriptionLength);
  try {
    record.description.assign(description == nullptr ? "" : description, length);
  } catch (const std::bad_alloc&) {
    record.description.clear();
    return IVI_SESSION_ERROR_OUT_OF_MEMORY;
  }
  return VI_SUCCESS;
}

ViStatus ReadError(ErrorRecord& record, ViInt32 bufferSize, ViStatus* errorCode, ViChar description[]) noexcept {
  if (errorCode != nullptr) {
    *errorCode = record.code;
  }
  const std::size_t length = record.description.size();
  const auto sizeNeeded = static_cast<ViStatus>(length + 1);
  if (bufferSize == 0) {
    return sizeNeeded;
  }
  ViStatus status = VI_SUCCESS;
  std::size_t copied = length;
  if (bufferSize > 0 && length + 1 > static_cast<std::size_t>(bufferSize)) {
    copied = static_cast<std::size_t>(bufferSize) - 1;
    status = sizeNeeded;
  }
  if (description != nullptr) {
    std::memcpy(description, record.description.data(), copied);
    description[copied] = '\0';
  }
  ClearRecord(record);
  return status;
}

void ClearRecord(ErrorRecord& record) noexcept {
  record.code = VI_SUCCESS;
  record.description.clear();
}

}  // namespace hnvqr::session
