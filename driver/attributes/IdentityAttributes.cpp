// The instrument identity attributes.
#include "DriverIdentity.h"
#include "attributes/AttributeCallbacks.h"
#include "kel/DriverSession.h"
#include "kel/Buffers.h"
#include "kel/Errors.h"
#include "kel/Frame.h"
#include "kel/InherentAttributes.h"

namespace {

// In simulation the identity comes from the driver (the model from the configuration).
ViStatus GetIdentityText(kel::DriverSession& session, const char* getterName, ViInt32 bufferSize, ViChar* value,
                         kel::SessionStringGetter live, std::string_view simulated) {
  if (const ViStatus checked = kel::CheckNullPointer(session.GetSessionHandle(), getterName, "AttributeValue", value);
      checked < 0) {
    return checked;
  }
  kel::CopyToBuffer(session.GetSimulate() && !simulated.empty() ? simulated : (session.*live)(), bufferSize, value);
  return VI_SUCCESS;
}

ViStatus GetIdentityTextInFrame(ViSession vi, const char* getterName, ViInt32 bufferSize, ViChar* value,
                                kel::SessionStringGetter live, std::string_view simulated) {
  return kel::WithSession(vi, [&](kel::DriverSession& session) {
    return GetIdentityText(session, getterName, bufferSize, value, live, simulated);
  });
}

}  // namespace

ViStatus HnVQR_get_INSTRUMENT_MANUFACTURER(ViSession vi, ViConstString, ViInt32 bufferSize, ViChar value[]) {
  return GetIdentityTextInFrame(vi, "HnVQR_get_INSTRUMENT_MANUFACTURER", bufferSize, value,
                                &kel::DriverSession::GetInstrumentManufacturer, hnvqr::identity::kVendor);
}
ViStatus HnVQR_get_INSTRUMENT_MODEL(ViSession vi, ViConstString, ViInt32 bufferSize, ViChar value[]) {
  return GetIdentityTextInFrame(vi, "HnVQR_get_INSTRUMENT_MODEL", bufferSize, value,
                                &kel::DriverSession::GetInstrumentModel, {});
}
ViStatus hnvqr::attribute::get_INSTRUMENT_FIRMWARE_REVISION(kel::DriverSession& session, ViConstString,
                                                            ViInt32 bufferSize, ViChar value[]) {
  return GetIdentityText(session, "HnVQR_get_INSTRUMENT_FIRMWARE_REVISION", bufferSize, value,
                         &kel::DriverSession::GetInstrumentFirmwareRevision,
                         hnvqr::identity::kSimulatedFirmwareRevision);
}
ViStatus HnVQR_get_INSTRUMENT_FIRMWARE_REVISION(ViSession vi, ViConstString channelName, ViInt32 bufferSize,
                                                ViChar value[]) {
  return kel::WithSession(vi, [&](kel::DriverSession& session) {
    return hnvqr::attribute::get_INSTRUMENT_FIRMWARE_REVISION(session, channelName, bufferSize, value);
  });
}
