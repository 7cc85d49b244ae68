// Typed attribute access, cache invalidation and channel names.
#include "HnVQR.h"
#include "kel/DriverSession.h"
#include "kel/Errors.h"
#include "kel/Frame.h"
#include "kel/RepCaps.h"
#include "kel/TypedAccess.h"

// The bodies of the exports; the exported functions around them, which trace each call,
// are generated from HnVQR.h (TracedExports.cpp).
namespace hnvqr::untraced {

// The scalar gets and sets of the four scalar types: the typed access through the registry.
#define HNVQR_SCALAR_ATTRIBUTE_EXPORTS(TYPE)                                                                        \
  ViStatus _VI_FUNC HnVQR_GetAttribute##TYPE(ViSession vi, ViConstString RepCapIdentifier, ViAttr AttributeID,      \
                                             TYPE* AttributeValue) {                                                \
    return kel::GetAttributeChecked(vi, RepCapIdentifier, AttributeID, AttributeValue, "HnVQR_GetAttribute" #TYPE); \
  }                                                                                                                 \
  ViStatus _VI_FUNC HnVQR_SetAttribute##TYPE(ViSession vi, ViConstString RepCapIdentifier, ViAttr AttributeID,      \
                                             TYPE AttributeValue) {                                                 \
    return kel::SetAttribute(vi, RepCapIdentifier, AttributeID, AttributeValue);                                    \
  }
HNVQR_SCALAR_ATTRIBUTE_EXPORTS(ViInt32)
HNVQR_SCALAR_ATTRIBUTE_EXPORTS(ViReal64)
HNVQR_SCALAR_ATTRIBUTE_EXPORTS(ViBoolean)
HNVQR_SCALAR_ATTRIBUTE_EXPORTS(ViSession)
#undef HNVQR_SCALAR_ATTRIBUTE_EXPORTS

ViStatus _VI_FUNC HnVQR_GetAttributeViString(ViSession vi, ViConstString RepCapIdentifier, ViAttr AttributeID,
                                             ViInt32 BufferSize, ViChar AttributeValue[]) {
  return kel::GetAttributeString(vi, RepCapIdentifier, AttributeID, BufferSize, AttributeValue);
}
ViStatus _VI_FUNC HnVQR_SetAttributeViString(ViSession vi, ViConstString RepCapIdentifier, ViAttr AttributeID,
                                             ViConstString AttributeValue) {
  return kel::SetAttributeString(vi, RepCapIdentifier, AttributeID, AttributeValue);
}

ViStatus _VI_FUNC HnVQR_InvalidateAllAttributes(ViSession vi) {
  return kel::WithSession(vi, [](kel::DriverSession& session) {
    session.InvalidateAllAttributes();
    return VI_SUCCESS;
  });
}

ViStatus _VI_FUNC HnVQR_GetChannelName(ViSession vi, ViInt32 Index, ViInt32 NameBufferSize, ViChar Name[]) {
  return kel::WithSession(vi, [&](kel::DriverSession& session) {
    if (const ViStatus checked = kel::CheckNullPointer(vi, "HnVQR_GetChannelName", "Name", Name); checked < 0) {
      return checked;
    }
    return kel::GetRepCapNameByIndex(session, static_cast<ViInt64>(Index) - 1, NameBufferSize, Name);
  });
}

}  // namespace hnvqr::untraced
