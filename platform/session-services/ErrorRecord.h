// One stored error: the code and the description that belongs to it.
#ifndef HNVQR_SESSION_SERVICES_ERROR_RECORD_H
#define HNVQR_SESSION_SERVICES_ERROR_RECORD_H

#include <string>

#include "visatype.h"

namespace hnvqr::session {

// Longest description kept; longer texts are cut to this many characters.
inline constexpr std::size_t kMaxDescriptionLength = 1023;

struct ErrorRecord {
  ViStatus code = VI_SUCCESS;
  std::string description;
};

// Keeps the first significant error: replaces the stored pair only when `code` is strictly
// more severe (error over warning over success). Returns VI_SUCCESS, or
// IVI_SESSION_ERROR_OUT_OF_MEMORY when the description could not be stored (the code is
// kept then, with an empty description).
ViStatus StoreIfMoreSevere(ErrorRecord& record, ViStatus code, ViConstString description) noexcept;

// The read protocol of IviSession_GetError on one record. bufferSize 0 only asks for the size
// needed and leaves the record alone; any other size reads the record and clears it.
ViStatus ReadError(ErrorRecord& record, ViInt32 bufferSize, ViStatus* errorCode, ViChar description[]) noexcept;

void ClearRecord(ErrorRecord& record) noexcept;

}  // namespace hnvqr::session

#endif
