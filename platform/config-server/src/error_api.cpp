// The calling thread's last error.
#include "api_support.h"

using namespace hnvqr::config;

extern "C" {

ViStatus _VI_FUNC IviConfig_GetError(ViStatus* errorCode, ViInt32 bufferSize, ViChar description[]) {
  // Nothing here can throw: the error is read, never changed.
  const LastError& lastError = ThreadLastError();
  if (errorCode != nullptr) *errorCode = lastError.code;
  return CopyText(lastError.description, bufferSize, description);
}

ViStatus _VI_FUNC IviConfig_ClearError(void) {
  ClearThreadLastError();
  return VI_SUCCESS;
}

}  // extern "C"
