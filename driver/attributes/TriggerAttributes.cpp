// The trigger attributes: the instruments have no triggered mode, so every access answers
// "attribute not supported" (unrecorded) after the frame.
#include "attributes/AttributeCallbacks.h"
#include "kel/Errors.h"
#include "kel/DriverSession.h"
#include "kel/Frame.h"
#include "kel/Status.h"

namespace {

template <class T>
ViStatus UnsupportedGet(ViSession vi, const char* getterName, T* value) {
  return kel::WithSession(vi, [&](kel::DriverSession&) {
    if (const ViStatus checked = kel::CheckNullPointer(vi, getterName, "AttributeValue", value); checked < 0) {
      return checked;
    }
    return kel::status::kAttributeNotSupported;
  });
}

ViStatus UnsupportedSet(ViSession vi) {
  return kel::WithSession(vi, [](kel::DriverSession&) { return kel::status::kAttributeNotSupported; });
}

}  // namespace

ViStatus HnVQR_get_TRIGGER_SOURCE(ViSession vi, ViConstString, ViInt32* value) {
  return UnsupportedGet(vi, "HnVQR_get_TRIGGER_SOURCE", value);
}
ViStatus HnVQR_set_TRIGGER_SOURCE(ViSession vi, ViConstString, ViInt32) { return UnsupportedSet(vi); }
ViStatus HnVQR_get_TRIGGERED_CURRENT_LIMIT(ViSession vi, ViConstString, ViReal64* value) {
  return UnsupportedGet(vi, "HnVQR_get_TRIGGERED_CURRENT_LIMIT", value);
}
ViStatus HnVQR_get_TRIGGERED_VOLTAGE_LEVEL(ViSession vi, ViConstString, ViReal64* value) {
  return UnsupportedGet(vi, "HnVQR_get_TRIGGERED_VOLTAGE_LEVEL", value);
}
ViStatus HnVQR_set_TRIGGERED_LEVEL(ViSession vi, ViConstString, ViReal64) { return UnsupportedSet(vi); }
