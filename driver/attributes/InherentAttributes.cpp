// The IVI inherent attributes: option switches, session strings, the driver's identity and
// the channel count.
#include "DriverIdentity.h"
#include "attributes/AttributeCallbacks.h"
#include "kel/Errors.h"
#include "kel/Frame.h"
#include "kel/InherentAttributes.h"
#include "kel/RepCaps.h"

using kel::DriverSession;

#define HNVQR_SWITCH(ATTR, GET, SET)                                           \
  ViStatus HnVQR_get_##ATTR(ViSession vi, ViConstString, ViBoolean* value) {   \
    return kel::GetSwitch(vi, "HnVQR_get_" #ATTR, value, &DriverSession::GET); \
  }                                                                            \
  ViStatus HnVQR_set_##ATTR(ViSession vi, ViConstString, ViBoolean value) {    \
    return kel::SetSwitch(vi, value, &DriverSession::SET);                     \
  }
HNVQR_SWITCH(RANGE_CHECK, GetRangeCheck, SetRangeCheck)
HNVQR_SWITCH(QUERY_INSTRUMENT_STATUS, GetQueryInstrumentStatus, SetQueryInstrumentStatus)
HNVQR_SWITCH(CACHE, GetCache, SetCache)
HNVQR_SWITCH(RECORD_COERCIONS, GetRecordCoercions, SetRecordCoercions)
#undef HNVQR_SWITCH

ViStatus HnVQR_get_SIMULATE(ViSession vi, ViConstString, ViBoolean* value) {
  return kel::GetSwitch(vi, "HnVQR_get_SIMULATE", value, &DriverSession::GetSimulate);
}
ViStatus HnVQR_set_SIMULATE(ViSession vi, ViConstString, ViBoolean value) { return kel::SetSimulateSwitch(vi, value); }
ViStatus HnVQR_get_INTERCHANGE_CHECK(ViSession vi, ViConstString, ViBoolean* value) {
  return kel::GetSwitch(vi, "HnVQR_get_INTERCHANGE_CHECK", value, &DriverSession::GetInterchangeCheck);
}
ViStatus HnVQR_set_INTERCHANGE_CHECK(ViSession vi, ViConstString, ViBoolean value) {
  return kel::SetInterchangeCheckSwitch(vi, value);
}

#define HNVQR_SESSION_STRING(ATTR, GET)                                                           \
  ViStatus HnVQR_get_##ATTR(ViSession vi, ViConstString, ViInt32 bufferSize, ViChar value[]) {    \
    return kel::GetSessionString(vi, "HnVQR_get_" #ATTR, bufferSize, value, &DriverSession::GET); \
  }
HNVQR_SESSION_STRING(LOGICAL_NAME, GetLogicalName)
HNVQR_SESSION_STRING(IO_RESOURCE_DESCRIPTOR, GetIoResourceDescriptor)
HNVQR_SESSION_STRING(DRIVER_SETUP, GetDriverSetup)
#undef HNVQR_SESSION_STRING

#define HNVQR_CONSTANT_STRING(ATTR, TEXT)                                                      \
  ViStatus HnVQR_get_##ATTR(ViSession vi, ViConstString, ViInt32 bufferSize, ViChar value[]) { \
    return kel::GetConstantString(vi, "HnVQR_get_" #ATTR, bufferSize, value, TEXT);            \
  }
HNVQR_CONSTANT_STRING(GROUP_CAPABILITIES, hnvqr::identity::kGroupCapabilities)
HNVQR_CONSTANT_STRING(SPECIFIC_DRIVER_PREFIX, hnvqr::identity::kPrefix)
HNVQR_CONSTANT_STRING(SPECIFIC_DRIVER_VENDOR, hnvqr::identity::kVendor)
HNVQR_CONSTANT_STRING(SPECIFIC_DRIVER_DESCRIPTION, hnvqr::identity::kDescription)
HNVQR_CONSTANT_STRING(SPECIFIC_DRIVER_REVISION, hnvqr::identity::kRevision)
HNVQR_CONSTANT_STRING(SUPPORTED_INSTRUMENT_MODELS, hnvqr::SupportedModelList())
#undef HNVQR_CONSTANT_STRING

ViStatus HnVQR_get_SPECIFIC_DRIVER_CLASS_SPEC_MAJOR_VERSION(ViSession vi, ViConstString, ViInt32* value) {
  return kel::GetConstantInt32(vi, "HnVQR_get_SPECIFIC_DRIVER_CLASS_SPEC_MAJOR_VERSION", value,
                               hnvqr::identity::kClassSpecMajorVersion);
}
ViStatus HnVQR_get_SPECIFIC_DRIVER_CLASS_SPEC_MINOR_VERSION(ViSession vi, ViConstString, ViInt32* value) {
  return kel::GetConstantInt32(vi, "HnVQR_get_SPECIFIC_DRIVER_CLASS_SPEC_MINOR_VERSION", value,
                               hnvqr::identity::kClassSpecMinorVersion);
}

ViStatus HnVQR_get_CHANNEL_COUNT(ViSession vi, ViConstString, ViInt32* value) {
  return kel::WithSession(vi, [&](DriverSession& session) {
    if (const ViStatus checked = kel::CheckNullPointer(vi, "HnVQR_get_CHANNEL_COUNT", "AttributeValue", value);
        checked < 0) {
      return checked;
    }
    *value = kel::GetRepCapCount(session);
    return VI_SUCCESS;
  });
}
