#include "kel/InherentAttributes.h"

#include "kel/Buffers.h"
#include "kel/Errors.h"
#include "kel/Frame.h"
#include "kel/Status.h"

namespace kel {

ViStatus GetSwitch(ViSession vi, const char* getterName, ViBoolean* value, SwitchGetter read) {
  return WithSession(vi, [&](DriverSession& session) {
    if (const ViStatus checked = CheckNullPointer(vi, getterName, "AttributeValue", value); checked < 0) {
      return checked;
    }
    *value = (session.*read)() ? VI_TRUE : VI_FALSE;
    return VI_SUCCESS;
  });
}

ViStatus SetSwitch(ViSession vi, ViBoolean value, SwitchSetter write) {
  return WithSession(vi, [&](DriverSession& session) {
    (session.*write)(value == VI_TRUE);
    return VI_SUCCESS;
  });
}

ViStatus SetSimulateSwitch(ViSession vi, ViBoolean value) {
  return WithSession(vi, [&](DriverSession& session) {
    if (session.GetInitialSimulate() && value != VI_TRUE) {
      return session.ReportError(status::kCannotChangeSimulationState);
    }
    session.SetSimulate(value == VI_TRUE);
    return VI_SUCCESS;
  });
}

ViStatus SetInterchangeCheckSwitch(ViSession vi, ViBoolean value) {
  return WithSession(vi, [&](DriverSession& session) {
    if (value == VI_TRUE && !session.IsInterchangeCheckSupported()) {
      return ReportErrorWithElaboration(vi, status::kValueNotSupported,
                                        "Interchange checking is not supported by the driver.", "True",
                                        "AttributeValue", "SetAttributeViBoolean");
    }
    session.SetInterchangeCheck(value == VI_TRUE);
    return VI_SUCCESS;
  });
}

ViStatus GetSessionString(ViSession vi, const char* getterName, ViInt32 bufferSize, ViChar* value,
                          SessionStringGetter read) {
  return WithSession(vi, [&](DriverSession& session) {
    if (const ViStatus checked = CheckNullPointer(vi, getterName, "AttributeValue", value); checked < 0) {
      return checked;
    }
    CopyToBuffer((session.*read)(), bufferSize, value);
    return VI_SUCCESS;
  });
}

ViStatus GetConstantString(ViSession vi, const char* getterName, ViInt32 bufferSize, ViChar* value,
                           std::string_view text) {
  return Guarded(vi, [&] {
    if (const ViStatus checked = CheckNullPointer(vi, getterName, "AttributeValue", value); checked < 0) {
      return checked;
    }
    CopyToBuffer(text, bufferSize, value);
    return VI_SUCCESS;
  });
}

ViStatus GetConstantInt32(ViSession vi, const char* getterName, ViInt32* value, ViInt32 constant) {
  return Guarded(vi, [&] {
    if (const ViStatus checked = CheckNullPointer(vi, getterName, "AttributeValue", value); checked < 0) {
      return checked;
    }
    *value = constant;
    return VI_SUCCESS;
  });
}

}  // namespace kel
