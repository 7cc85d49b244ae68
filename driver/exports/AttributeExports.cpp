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

ViStatus _VI_FUNC HnVQR_GetAttributeViInt32(ViSession vi, ViConstString RepCapIdentifier, ViAttr AttributeID,
                                            ViInt32* AttributeValue) {
  return kel::GetAttributeChecked(vi, RepCapIdentifier, AttributeID, AttributeValue, "HnVQR_GetAttributeViInt32");
}
ViStatus _VI_FUNC HnVQR_GetAttributeViReal64(ViSession vi, ViConstString RepCapIdentifier, ViAttr AttributeID,
                                             ViReal64* AttributeValue) {
  return kel::GetAttributeChecked(vi, RepCapIdentifier, AttributeID, AttributeValue, "HnVQR_GetAttributeViReal64");
}
ViStatus _VI_FUNC HnVQR_GetAttributeViBoolean(ViSession vi, ViConstString RepCapIdentifier, ViAttr AttributeID,
                                              ViBoolean* AttributeValue) {
  return kel::GetAttributeChecked(vi, RepCapIdentifier, AttributeID, AttributeValue, "HnVQR_GetAttributeViBoolean");
}
ViStatus _VI_FUNC HnVQR_GetAttributeViSession(ViSession vi, ViConstString RepCapIdentifier, ViAttr AttributeID,
                                              ViSession* AttributeValue) {
  return kel::GetAttributeChecked(vi, RepCapIdentifier, AttributeID, AttributeValue, "HnVQR_GetAttributeViSession");
}
ViStatus _VI_FUNC HnVQR_GetAttributeViString(ViSession vi, ViConstString RepCapIdentifier, ViAttr AttributeID,
                                             ViInt32 BufferSize, ViChar AttributeValue[]) {
  return kel::GetAttributeString(vi, RepCapIdentifier, AttributeID, BufferSize, AttributeValue);
}
ViStatus _VI_FUNC HnVQR_SetAttributeViInt32(ViSession vi, ViConstString RepCapIdentifier, ViAttr AttributeID,
                                            ViInt32 AttributeValue) {
  return kel::SetAttribute(vi, RepCapIdentifier, AttributeID, AttributeValue);
}
ViStatus _VI_FUNC HnVQR_SetAttributeViReal64(ViSession vi, ViConstString RepCapIdentifier, ViAttr AttributeID,
                                             ViReal64 AttributeValue) {
  return kel::SetAttribute(vi, RepCapIdentifier, AttributeID, AttributeValue);
}
ViStatus _VI_FUNC HnVQR_SetAttributeViBoolean(ViSession vi, ViConstString RepCapIdentifier, ViAttr AttributeID,
                                              ViBoolean AttributeValue) {
  return kel::SetAttribute(vi, RepCapIdentifier, AttributeID, AttributeValue);
}
ViStatus _VI_FUNC HnVQR_SetAttributeViSession(ViSession vi, ViConstString RepCapIdentifier, ViAttr AttributeID,
                                              ViSession AttributeValue) {
  return kel::SetAttribute(vi, RepCapIdentifier, AttributeID, AttributeValue);
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
