// The callback patterns of the IVI inherent attributes: the option switches, the session
// strings, and constants of the driver's identity.
#pragma once

#include <string_view>

#include <visatype.h>

#include "kel/DriverSession.h"

namespace kel {

using SwitchGetter = bool (DriverSession::*)() const;
using SwitchSetter = void (DriverSession::*)(bool);
using SessionStringGetter = const std::string& (DriverSession::*)() const;

// Reads one of the six switches as VI_TRUE / VI_FALSE.
ViStatus GetSwitch(ViSession vi, const char* getterName, ViBoolean* value, SwitchGetter read);
// Sets a switch: on for exactly VI_TRUE, off for every other value.
ViStatus SetSwitch(ViSession vi, ViBoolean value, SwitchSetter write);
// SIMULATE: a session initialized in simulation can never leave it.
ViStatus SetSimulateSwitch(ViSession vi, ViBoolean value);
// INTERCHANGE_CHECK: turning it on is refused when the driver does not support it.
ViStatus SetInterchangeCheckSwitch(ViSession vi, ViBoolean value);

// Copies one of the session's texts into the caller's buffer, cut to fit.
ViStatus GetSessionString(ViSession vi, const char* getterName, ViInt32 bufferSize, ViChar* value,
                          SessionStringGetter read);

// Constants answer the same for every handle, without looking the session up.
ViStatus GetConstantString(ViSession vi, const char* getterName, ViInt32 bufferSize, ViChar* value,
                           std::string_view text);
ViStatus GetConstantInt32(ViSession vi, const char* getterName, ViInt32* value, ViInt32 constant);

}  // namespace kel
