// The attribute callbacks, declared from the attribute list. Getters are named after their
// attribute, e.g. HnVQR_get_VOLTAGE_LEVEL; that name is what a null value pointer reports.
#pragma once

#include <visatype.h>

#define HNVQR_DECLARE_GETTER(ATTR, T) ViStatus HnVQR_get_##ATTR(ViSession vi, ViConstString channelName, T* value)
#define HNVQR_DECLARE_SETTER(ATTR, T) ViStatus HnVQR_set_##ATTR(ViSession vi, ViConstString channelName, T value)

// A getter and, for a read-write attribute, a setter; string attributes are read-only.
#define HNVQR_DECLARE_RO(ATTR, T) HNVQR_DECLARE_GETTER(ATTR, T);
#define HNVQR_DECLARE_RW(ATTR, T) \
  HNVQR_DECLARE_GETTER(ATTR, T);  \
  HNVQR_DECLARE_SETTER(ATTR, T);
#define HNVQR_DECLARE_STRING_GETTER(ATTR) \
  ViStatus HnVQR_get_##ATTR(ViSession vi, ViConstString channelName, ViInt32 bufferSize, ViChar value[]);
#define HNVQR_DECLARE_RO_String(ATTR) HNVQR_DECLARE_STRING_GETTER(ATTR)
#define HNVQR_DECLARE_RO_Boolean(ATTR) HNVQR_DECLARE_RO(ATTR, ViBoolean)
#define HNVQR_DECLARE_RO_Int32(ATTR) HNVQR_DECLARE_RO(ATTR, ViInt32)
#define HNVQR_DECLARE_RO_Real64(ATTR) HNVQR_DECLARE_RO(ATTR, ViReal64)
#define HNVQR_DECLARE_RO_Session(ATTR) HNVQR_DECLARE_RO(ATTR, ViSession)
#define HNVQR_DECLARE_RW_Boolean(ATTR) HNVQR_DECLARE_RW(ATTR, ViBoolean)
#define HNVQR_DECLARE_RW_Int32(ATTR) HNVQR_DECLARE_RW(ATTR, ViInt32)
#define HNVQR_DECLARE_RW_Real64(ATTR) HNVQR_DECLARE_RW(ATTR, ViReal64)

#define HNVQR_ATTRIBUTE(NAME, TYPE, ACCESS, KIND, ROW, VALUES, SCOPE, DESCRIPTION) HNVQR_DECLARE_##ACCESS##_##TYPE(NAME)
#define HNVQR_ATTRIBUTE_SET_BY(NAME, TYPE, SETTER, SCOPE, DESCRIPTION) HNVQR_DECLARE_GETTER(NAME, Vi##TYPE);
#include "attributes/AttributeList.def"
#undef HNVQR_ATTRIBUTE
#undef HNVQR_ATTRIBUTE_SET_BY

// The setter the two triggered levels share.
HNVQR_DECLARE_SETTER(TRIGGERED_LEVEL, ViReal64);

// The bodies of the instrument attributes' callbacks, without the call frame: for code that
// already holds the session (an export's frame), so that it neither looks the handle up
// again nor goes through the registry for an attribute it names itself.
namespace kel {
class DriverSession;
}
namespace hnvqr::attribute {

#define HNVQR_DECLARE_GETTER_BODY(ATTR, T) \
  ViStatus get_##ATTR(kel::DriverSession& session, ViConstString channelName, T* value);
#define HNVQR_DECLARE_SETTER_BODY(ATTR, T) \
  ViStatus set_##ATTR(kel::DriverSession& session, ViConstString channelName, T value);
#define HNVQR_DECLARE_BODY_RO(ATTR, T) HNVQR_DECLARE_GETTER_BODY(ATTR, Vi##T)
#define HNVQR_DECLARE_BODY_RW(ATTR, T) HNVQR_DECLARE_GETTER_BODY(ATTR, Vi##T) HNVQR_DECLARE_SETTER_BODY(ATTR, Vi##T)
#define HNVQR_DECLARE_BODY_Numeric(ATTR, T, ACCESS) HNVQR_DECLARE_BODY_##ACCESS(ATTR, T)
#define HNVQR_DECLARE_BODY_Mapped(ATTR, T, ACCESS) HNVQR_DECLARE_BODY_##ACCESS(ATTR, T)
#define HNVQR_DECLARE_BODY_Text(ATTR, T, ACCESS)
#define HNVQR_DECLARE_BODY_Custom(ATTR, T, ACCESS)
#define HNVQR_ATTRIBUTE(NAME, TYPE, ACCESS, KIND, ROW, VALUES, SCOPE, DESCRIPTION) \
  HNVQR_DECLARE_BODY_##KIND(NAME, TYPE, ACCESS)
#define HNVQR_ATTRIBUTE_SET_BY(NAME, TYPE, SETTER, SCOPE, DESCRIPTION)
#include "attributes/AttributeList.def"
#undef HNVQR_ATTRIBUTE
#undef HNVQR_ATTRIBUTE_SET_BY

// The hand-written ones the output exports use.
HNVQR_DECLARE_SETTER_BODY(OUTPUT_ENABLED, ViBoolean)
HNVQR_DECLARE_SETTER_BODY(OVP_ENABLED, ViBoolean)
HNVQR_DECLARE_SETTER_BODY(CURRENT_LIMIT_BEHAVIOR, ViInt32)
HNVQR_DECLARE_SETTER_BODY(CURRENT_LIMIT, ViReal64)
// The identity text revision_query reports.
ViStatus get_INSTRUMENT_FIRMWARE_REVISION(kel::DriverSession& session, ViConstString channelName, ViInt32 bufferSize,
                                          ViChar value[]);

}  // namespace hnvqr::attribute
