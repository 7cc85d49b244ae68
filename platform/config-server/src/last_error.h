// The last error of the calling thread: what IviConfig_GetError reports.
#ifndef HNVQR_CONFIG_SERVER_LAST_ERROR_H
#define HNVQR_CONFIG_SERVER_LAST_ERROR_H

#include <string>

#include "visatype.h"

namespace hnvqr::config {

struct LastError {
  ViStatus code = VI_SUCCESS;
  std::string description;
};

// Thread-local, so it needs no lock.
LastError& ThreadLastError() noexcept;

// Records `status` with its description and returns `status`. Never throws: when the
// description cannot be stored the code is still recorded.
ViStatus RecordError(ViStatus status, const std::string& description) noexcept;

void ClearThreadLastError() noexcept;

}  // namespace hnvqr::config

#endif
