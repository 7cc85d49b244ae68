// Repeated capabilities and selectors: checking a selector and turning it into physical
// names, with virtual names from the configuration store and ranges such as "CH1-CH3".
#pragma once

#include <vector>

#include <visatype.h>

#include "kel/RepCapName.h"

namespace kel {

class DriverSession;

// Turns a selector (null is empty) into physical names appended to `list`. `checkPhysical`
// is false only when the repeated capability's own physical-name list is parsed.
ViStatus ResolveSelector(DriverSession& session, ViConstString selector, std::vector<RepCapName>& list,
                         bool checkPhysical);

// As ResolveSelector, but exactly one identifier must result.
ViStatus ResolveSingleSelector(DriverSession& session, ViConstString selector, RepCapName& name);

// Fills the session's physical names on first use.
void RegisterRepCaps(DriverSession& session);

// The number of physical names of the session's repeated capability.
ViInt32 GetRepCapCount(DriverSession& session);

// Copies the physical name of a zero-based index into the buffer (cut to fit). Records
// 0xBFFA0010 for an index out of range or a negative buffer size; a size of 0 answers the
// size needed.
ViStatus GetRepCapNameByIndex(DriverSession& session, ViInt64 index, ViInt32 bufferSize, ViChar* buffer);

}  // namespace kel
