// Opening and closing driver sessions.
#pragma once

#include <visatype.h>

namespace kel {

// The exported reset function, called with its own (IVI-C) calling convention.
using ResetFunction = ViStatus(_VI_FUNC*)(ViSession);

// The common body of the init functions: allocate a handle, create and bind the session
// object, run its initialization and, when asked, the reset. A failed initialization
// destroys the object and disposes the handle; its errors stay readable on the calling
// thread through the error store of VI_NULL.
ViStatus InitializeDriverSession(ViConstString resourceName, ViBoolean idQuery, ViBoolean reset,
                                 ViConstString optionString, ViSession* vi, const char* functionName,
                                 ResetFunction resetFunction) noexcept;

// Ends a session: waits for calls in progress on it, closes the I/O, destroys the object and
// disposes the handle.
ViStatus CloseDriverSession(ViSession vi) noexcept;

}  // namespace kel
