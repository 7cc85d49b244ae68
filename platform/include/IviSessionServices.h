/* IVI session services: session handles, the data pointer behind a handle, the recursive
 * session lock and the error store (one record per session, one per thread). */
#ifndef HNVQR_PLATFORM_IVI_SESSION_SERVICES_H
#define HNVQR_PLATFORM_IVI_SESSION_SERVICES_H

#include "IviStatusCodes.h"
#include "visatype.h"

#ifdef __cplusplus
extern "C" {
#endif

#define IVI_SESSION_ERROR_INVALID_SESSION_HANDLE IVI_ERROR_INVALID_SESSION_HANDLE
#define IVI_SESSION_ERROR_CANNOT_CREATE_LOCK IVI_ERROR_CANNOT_CREATE_LOCK
/* Unlock of a lock that the calling thread does not hold. */
#define IVI_SESSION_ERROR_LOCK_NOT_HELD IVI_ERROR_LOCK_NOT_HELD
#define IVI_SESSION_ERROR_OUT_OF_MEMORY IVI_ERROR_OUT_OF_MEMORY
#define IVI_SESSION_ERROR_NULL_POINTER IVI_ERROR_NULL_POINTER

/* Allocates a fresh handle (never one handed out before in this process). */
ViStatus _VI_FUNC IviSession_New(ViSession* vi);
/* Releases the handle; its lock, data pointer and error record go with it. */
ViStatus _VI_FUNC IviSession_Dispose(ViSession vi);

ViStatus _VI_FUNC IviSession_SetDataPtr(ViSession vi, void* dataPtr);
/* Negative for a handle that is not, or no longer, valid. */
ViStatus _VI_FUNC IviSession_GetDataPtr(ViSession vi, void** dataPtr);

/* Recursive per-session lock; callerHasLock may be null (see the CallerHasLock protocol). */
ViStatus _VI_FUNC IviSession_Lock(ViSession vi, ViBoolean* callerHasLock);
ViStatus _VI_FUNC IviSession_Unlock(ViSession vi, ViBoolean* callerHasLock);

/* Error store. The first significant error is kept until read or cleared. */
ViStatus _VI_FUNC IviSession_SetError(ViSession vi, ViStatus errorCode, ViConstString description);
ViStatus _VI_FUNC IviSession_GetError(ViSession vi, ViInt32 bufferSize, ViStatus* errorCode, ViChar description[]);
ViStatus _VI_FUNC IviSession_ClearError(ViSession vi);

/* Diagnostics: the number of handles allocated and not yet disposed. */
ViInt32 _VI_FUNC IviSession_GetLiveSessionCount(void);

#ifdef __cplusplus
}
#endif

#endif /* HNVQR_PLATFORM_IVI_SESSION_SERVICES_H */
