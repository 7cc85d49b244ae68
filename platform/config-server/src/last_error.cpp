#include "last_error.h"

#include "PerThread.h"

namespace hnvqr::config {

LastError& ThreadLastError() noexcept { return hnvqr::PerThread<LastError>(); }

ViStatus RecordError(ViStatus status, const std::string& description) noexcept {
  LastError& lastError = ThreadLastError();
  lastError.code = status;
  try {
    lastError.description = description;
  } catch (...) {
    lastError.description.clear();
  }
  return status;
}

void ClearThreadLastError() noexcept {
  LastError& lastError = ThreadLastError();
  lastError.code = VI_SUCCESS;
  lastError.description.clear();
}

}  // namespace hnvqr::config
