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
ViStatus GetIdentityText(ViSession vi, const char* getterName, ViInt32 bufferSize, ViChar* value,
                         kel::SessionStringGetter live, std::string_view simulated) {
  return kel::WithSession(vi, [&](kel::DriverSession& session) {
    if (const ViStatus checked = kel::CheckNullPointer(vi, getterName, "AttributeValue", value); checked < 0) {
      return checked;
    }
    kel::CopyToBuffer(session.GetSimulate() && !simulated.empty() ? simulated : (session.*live)(), bufferSize,
                      value);
    return VI_SUCCESS;
  });
}

}  // namespace

ViStatus HnVQR_get_INSTRUMENT_MANUFACTURER(ViSession vi, ViConstString, ViInt32 bufferSize, ViChar value[]) {
  return GetIdentityText(vi, "HnVQR_get_INSTRUMENT_MANUFACTURER", bufferSize, value,
                         &kel::DriverSession::GetInstrumentManufacturer, hnvqr::identity::kVendor);
}
ViStatus HnVQR_get_INSTRUMENT_MODEL(ViSession vi, ViConstString, ViInt32 bufferSize, ViChar value[]) {
  return GetIdentityText(vi, "HnVQR_get_INSTRUMENT_MODEL", bufferSize, value, &kel::DriverSession::GetInstrumentModel,
                         {});
}
ViStatus HnVQR_get_INSTRUMENT_FIRMWARE_REVISION(ViSession vi, ViConstString, ViInt32 bufferSize, ViChar value[]) {
  return GetIdentityText(vi, "HnVQR_get_INSTRUMENT_FIRMWARE_REVISION", bufferSize, value,
                         &kel::DriverSession::GetInstrumentFirmwareRevision,
                         hnvqr::identity::kSimulatedFirmwareRevision);
}
