// Typed attribute access: find the attribute, check that the caller used the function of the
// attribute's own type and that the attribute can be read (or written), and hand the call to
// its callback with the caller's repeated-capability name. No lock here: the callbacks lock.
#pragma once

#include <visatype.h>

#include "kel/Attributes.h"

namespace kel {

// Internal typed get of a scalar attribute (no value-pointer check: callers pass a valid one).
template <class T>
ViStatus GetAttribute(ViSession vi, ViConstString repCapName, ViAttr id, T* value);

template <class T>
ViStatus SetAttribute(ViSession vi, ViConstString repCapName, ViAttr id, T value);

// String get with the IVI-C buffer protocol: size 0 asks for the size needed (4096); an
// exactly filled buffer answers 4096 too, since the value may have been cut.
ViStatus GetAttributeString(ViSession vi, ViConstString repCapName, ViAttr id, ViInt32 bufferSize, ViChar* value);
ViStatus SetAttributeString(ViSession vi, ViConstString repCapName, ViAttr id, ViConstString value);

// The exported scalar get: first the value-pointer check naming `functionName`, then the above.
template <class T>
ViStatus GetAttributeChecked(ViSession vi, ViConstString repCapName, ViAttr id, T* value, const char* functionName);

}  // namespace kel
