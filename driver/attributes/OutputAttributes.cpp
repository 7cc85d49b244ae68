// The hand-written output attributes: output enable, over-voltage protection and the
// current limit (the table-driven levels and remote sense are in TableAttributes.cpp).
#include "attributes/AttributeCallbacks.h"
#include "attributes/InstrumentAttribute.h"
#include "kel/Status.h"
#include "kel/TypedAccess.h"

// The output switch has no cache: the channel is checked in simulation too, and a simulated
// output always reads as on.
ViStatus HnVQR_get_OUTPUT_ENABLED(ViSession vi, ViConstString channelName, ViBoolean* value) {
  return kel::WithSession(vi, [&](kel::DriverSession& session) {
    if (const ViStatus checked = kel::CheckNullPointer(vi, "HnVQR_get_OUTPUT_ENABLED", "AttributeValue", value);
        checked < 0) {
      return checked;
    }
    kel::RepCapName output;
    if (const ViStatus resolved = kel::ResolveSingleSelector(session, channelName, output); resolved < 0) {
      return resolved;
    }
    if (session.GetSimulate()) {
      *value = VI_TRUE;
      return VI_SUCCESS;
    }
    return hnvqr::QueryMapped(session, "OUTP?\n", "%#[^\n]%*t", hnvqr::maps::OnOff(), value);
  });
}

ViStatus hnvqr::attribute::set_OUTPUT_ENABLED(kel::DriverSession& session, ViConstString channelName, ViBoolean value) {
  std::size_t outputs = 1;
  if (const ViStatus expanded =
          hnvqr::ExpandSetterChannel(session, channelName, hnvqr::commands::Channel::kPerOutput, outputs);
      expanded < 0) {
    return expanded;
  }
  if (session.GetSimulate()) return VI_SUCCESS;
  return hnvqr::SendMapped(session, "OUTP %s\n", hnvqr::maps::OnOff(), value, outputs);
}

// Over-voltage protection is always on and the current limit always trips: fixed
// capabilities without I/O, whatever SIMULATE says. The channel is checked all the same.
namespace {

template <class T>
ViStatus GetFixedCapability(ViSession vi, ViConstString channelName, const char* getterName, T* value, T fixed) {
  return kel::WithSession(vi, [&](kel::DriverSession& session) {
    if (const ViStatus checked = kel::CheckNullPointer(vi, getterName, "AttributeValue", value); checked < 0) {
      return checked;
    }
    kel::RepCapName output;
    if (const ViStatus resolved = kel::ResolveSingleSelector(session, channelName, output); resolved < 0) {
      return resolved;
    }
    *value = fixed;
    return VI_SUCCESS;
  });
}

// Accepts only the fixed value; any other is refused naming `valueName` and the attribute.
template <class T>
ViStatus SetFixedCapability(kel::DriverSession& session, ViConstString channelName, T value, T fixed,
                            const std::string& valueName, const char* attributeName) {
  std::size_t outputs = 1;
  if (const ViStatus expanded =
          hnvqr::ExpandSetterChannel(session, channelName, hnvqr::commands::Channel::kPerOutput, outputs);
      expanded < 0) {
    return expanded;
  }
  if (value == fixed) return VI_SUCCESS;
  return kel::ReportError(session.GetSessionHandle(), kel::status::kValueNotSupported, valueName, "AttributeValue",
                          attributeName);
}

}  // namespace

ViStatus HnVQR_get_OVP_ENABLED(ViSession vi, ViConstString channelName, ViBoolean* value) {
  return GetFixedCapability<ViBoolean>(vi, channelName, "HnVQR_get_OVP_ENABLED", value, VI_TRUE);
}

ViStatus hnvqr::attribute::set_OVP_ENABLED(kel::DriverSession& session, ViConstString channelName, ViBoolean value) {
  return SetFixedCapability<ViBoolean>(session, channelName, value, VI_TRUE, "VI_FALSE", "OVP_ENABLED");
}

ViStatus HnVQR_get_CURRENT_LIMIT_BEHAVIOR(ViSession vi, ViConstString channelName, ViInt32* value) {
  return GetFixedCapability<ViInt32>(vi, channelName, "HnVQR_get_CURRENT_LIMIT_BEHAVIOR", value,
                                     HNVQR_VAL_CURRENT_TRIP);
}

ViStatus hnvqr::attribute::set_CURRENT_LIMIT_BEHAVIOR(kel::DriverSession& session, ViConstString channelName,
                                                      ViInt32 value) {
  return SetFixedCapability<ViInt32>(session, channelName, value, HNVQR_VAL_CURRENT_TRIP,
                                     kel::ValueToName(hnvqr::maps::CurrentLimitBehavior(), value),
                                     "CURRENT_LIMIT_BEHAVIOR");
}

// The class current limit is the over-current protection level under a second ID.
ViStatus HnVQR_get_CURRENT_LIMIT(ViSession vi, ViConstString channelName, ViReal64* value) {
  return kel::Guarded(vi, [&] {
    if (const ViStatus checked = kel::CheckNullPointer(vi, "HnVQR_GetAttributeViReal64", "AttributeValue", value);
        checked < 0) {
      return checked;
    }
    return kel::WithSession(vi, [&](kel::DriverSession& session) {
      return hnvqr::attribute::get_OVER_CURRENT_PROTECTION_LEVEL(session, channelName, value);
    });
  });
}

ViStatus hnvqr::attribute::set_CURRENT_LIMIT(kel::DriverSession& session, ViConstString channelName, ViReal64 value) {
  return set_OVER_CURRENT_PROTECTION_LEVEL(session, channelName, value);
}

ViStatus HnVQR_set_OUTPUT_ENABLED(ViSession vi, ViConstString channelName, ViBoolean value) {
  return hnvqr::SetInFrame(vi, channelName, value, &hnvqr::attribute::set_OUTPUT_ENABLED);
}
ViStatus HnVQR_set_OVP_ENABLED(ViSession vi, ViConstString channelName, ViBoolean value) {
  return hnvqr::SetInFrame(vi, channelName, value, &hnvqr::attribute::set_OVP_ENABLED);
}
ViStatus HnVQR_set_CURRENT_LIMIT_BEHAVIOR(ViSession vi, ViConstString channelName, ViInt32 value) {
  return hnvqr::SetInFrame(vi, channelName, value, &hnvqr::attribute::set_CURRENT_LIMIT_BEHAVIOR);
}
ViStatus HnVQR_set_CURRENT_LIMIT(ViSession vi, ViConstString channelName, ViReal64 value) {
  return hnvqr::SetInFrame(vi, channelName, value, &hnvqr::attribute::set_CURRENT_LIMIT);
}
