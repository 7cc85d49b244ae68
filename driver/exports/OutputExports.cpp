// Output configuration and measurement.
#include <vector>

#include "HalvornVQRDriverSession.h"
#include "attributes/AttributeCallbacks.h"
#include "attributes/InstrumentAttribute.h"
#include "HnVQR.h"
#include "commands/EnumMaps.h"
#include "kel/Errors.h"
#include "kel/DriverSession.h"
#include "kel/Frame.h"
#include "kel/Io.h"
#include "kel/RepCaps.h"
#include "kel/Status.h"

// The bodies of the exports; the exported functions around them, which trace each call,
// are generated from HnVQR.h (TracedExports.cpp).
namespace hnvqr::untraced {

namespace {

// Ranges may exceed the ratings by this factor.
constexpr ViReal64 kRangeMargin = 1.1;

ViStatus ExpandChannel(kel::DriverSession& session, ViConstString channelName) {
  std::vector<kel::RepCapName> outputs;
  return kel::ResolveSelector(session, channelName, outputs, true);
}

hnvqr::HalvornVQRDriverSession& Vqr(kel::DriverSession& session) {
  return static_cast<hnvqr::HalvornVQRDriverSession&>(session);
}

// The two-step configure functions stop at the first failing set.
template <class A, class B>
ViStatus SetBoth(ViSession vi, ViConstString channelName, SetterBody<A> first, A firstValue, SetterBody<B> second,
                 B secondValue) {
  return kel::WithSession(vi, [&](kel::DriverSession& session) {
    const ViStatus status = first(session, channelName, firstValue);
    if (status < 0) return status;
    return second(session, channelName, secondValue);
  });
}

}  // namespace

ViStatus _VI_FUNC HnVQR_ConfigureVoltageLevel(ViSession vi, ViConstString ChannelName, ViReal64 Level) {
  return SetInFrame(vi, ChannelName, Level, &attribute::set_VOLTAGE_LEVEL);
}

ViStatus _VI_FUNC HnVQR_ConfigureCurrentLimit(ViSession vi, ViConstString ChannelName, ViInt32 Behavior,
                                              ViReal64 Limit) {
  return SetBoth(vi, ChannelName, &attribute::set_CURRENT_LIMIT_BEHAVIOR, Behavior, &attribute::set_CURRENT_LIMIT,
                 Limit);
}

ViStatus _VI_FUNC HnVQR_ConfigureOVP(ViSession vi, ViConstString ChannelName, ViBoolean Enabled, ViReal64 Limit) {
  return SetBoth(vi, ChannelName, &attribute::set_OVP_ENABLED, Enabled, &attribute::set_OVP_LIMIT, Limit);
}

ViStatus _VI_FUNC HnVQR_ConfigureOutputEnabled(ViSession vi, ViConstString ChannelName, ViBoolean Enabled) {
  return SetInFrame(vi, ChannelName, Enabled, &attribute::set_OUTPUT_ENABLED);
}

// Resetting the output protection is switching the output on.
ViStatus _VI_FUNC HnVQR_ResetOutputProtection(ViSession vi, ViConstString ChannelName) {
  return SetInFrame(vi, ChannelName, static_cast<ViBoolean>(VI_TRUE), &attribute::set_OUTPUT_ENABLED);
}

ViStatus _VI_FUNC HnVQR_ConfigureOutputRange(ViSession vi, ViConstString ChannelName, ViInt32 RangeType,
                                             ViReal64 Range) {
  return kel::WithSession(vi, [&](kel::DriverSession& session) {
    if (const ViStatus expanded = ExpandChannel(session, ChannelName); expanded < 0) return expanded;
    ViReal64 rating = 0.0;
    if (RangeType == HNVQR_VAL_RANGE_CURRENT) {
      rating = Vqr(session).maximumCurrent();
    } else if (RangeType == HNVQR_VAL_RANGE_VOLTAGE) {
      rating = Vqr(session).maximumVoltage();
    } else {
      return kel::ReportInvalidValue(vi, RangeType, "ConfigureOutputRange", "RangeType");
    }
    // Written so that a range that is not a number fails too.
    if (!(Range >= 0.0 && Range <= kRangeMargin * rating)) {
      return kel::ReportInvalidValue(vi, Range, "ConfigureOutputRange", "Range");
    }
    return VI_SUCCESS;
  });
}

namespace {

// The most of one quantity the model gives at a level of the other: its rating, or less where
// the power rating ends first.
ViStatus QueryMaxUnderPower(ViSession vi, ViConstString channelName, ViReal64 otherLevel, ViReal64* result,
                            const char* functionName, const char* resultName,
                            ViReal64 (HalvornVQRDriverSession::*rating)() const) {
  return kel::WithSession(vi, [&](kel::DriverSession& session) {
    if (const ViStatus checked = kel::CheckNullPointer(vi, functionName, resultName, result); checked < 0) {
      return checked;
    }
    if (const ViStatus expanded = ExpandChannel(session, channelName); expanded < 0) return expanded;
    const auto& vqr = Vqr(session);
    const ViReal64 power = vqr.powerRating();
    const ViReal64 maximum = (vqr.*rating)();
    *result = power >= maximum * otherLevel ? maximum : power / otherLevel;
    return VI_SUCCESS;
  });
}

}  // namespace

ViStatus _VI_FUNC HnVQR_QueryMaxCurrentLimit(ViSession vi, ViConstString ChannelName, ViReal64 VoltageLevel,
                                             ViReal64* MaxCurrentLimit) {
  return QueryMaxUnderPower(vi, ChannelName, VoltageLevel, MaxCurrentLimit, "HnVQR_QueryMaxCurrentLimit",
                            "MaxCurrentLimit", &HalvornVQRDriverSession::maximumCurrent);
}

ViStatus _VI_FUNC HnVQR_QueryMaxVoltageLevel(ViSession vi, ViConstString ChannelName, ViReal64 CurrentLimit,
                                             ViReal64* MaxVoltageLevel) {
  return QueryMaxUnderPower(vi, ChannelName, CurrentLimit, MaxVoltageLevel, "HnVQR_QueryMaxVoltageLevel",
                            "MaxVoltageLevel", &HalvornVQRDriverSession::maximumVoltage);
}

namespace {

// A measurement, in the frame of the export that asks for it. `functionName` names the value
// pointer's function when it is null.
ViStatus Measure(kel::DriverSession& session, const char* functionName, kel::CommandText query, ViReal64* value) {
  if (const ViStatus checked = kel::CheckNullPointer(session.GetSessionHandle(), functionName, "Val", value);
      checked < 0) {
    return checked;
  }
  if (session.GetSimulate()) {
    *value = 0.0;
    return VI_SUCCESS;
  }
  return kel::QueryInstrument(session, query, "%lf%*t", value);
}

constexpr kel::CommandText kMeasureCurrent = "MEAS:CURR?\n";
constexpr kel::CommandText kMeasureVoltage = "MEAS:VOLT?\n";

}  // namespace

ViStatus _VI_FUNC HnVQR_MeasureCurrent(ViSession vi, ViReal64* Val) {
  return kel::WithSession(
      vi, [&](kel::DriverSession& session) { return Measure(session, "HnVQR_MeasureCurrent", kMeasureCurrent, Val); });
}

ViStatus _VI_FUNC HnVQR_MeasureVoltage(ViSession vi, ViReal64* Val) {
  return kel::WithSession(
      vi, [&](kel::DriverSession& session) { return Measure(session, "HnVQR_MeasureVoltage", kMeasureVoltage, Val); });
}

ViStatus _VI_FUNC HnVQR_Measure(ViSession vi, ViConstString, ViInt32 MeasurementType, ViReal64* Measurement) {
  return kel::WithSession(vi, [&](kel::DriverSession& session) {
    if (const ViStatus checked = kel::CheckNullPointer(vi, "HnVQR_Measure", "Measurement", Measurement); checked < 0) {
      return checked;
    }
    switch (MeasurementType) {
      case HNVQR_VAL_MEASURE_CURRENT:
        return Measure(session, "HnVQR_MeasureCurrent", kMeasureCurrent, Measurement);
      case HNVQR_VAL_MEASURE_VOLTAGE:
        return Measure(session, "HnVQR_MeasureVoltage", kMeasureVoltage, Measurement);
      default:
        return kel::ReportError(vi, kel::status::kValueNotSupported, MeasurementType, "MeasurementType", "Measure");
    }
  });
}

ViStatus _VI_FUNC HnVQR_QueryOutputState(ViSession vi, ViConstString ChannelName, ViInt32 OutputState,
                                         ViBoolean* InState) {
  return kel::WithSession(vi, [&](kel::DriverSession& session) {
    if (const ViStatus checked = kel::CheckNullPointer(vi, "HnVQR_QueryOutputState", "InState", InState); checked < 0) {
      return checked;
    }
    if (const ViStatus expanded = ExpandChannel(session, ChannelName); expanded < 0) return expanded;
    if (session.GetSimulate()) {
      *InState = OutputState == HNVQR_VAL_OUTPUT_CONSTANT_VOLTAGE ? VI_TRUE : VI_FALSE;
      return VI_SUCCESS;
    }
    using RegisterGetter = ViStatus (*)(kel::DriverSession&, ViConstString, ViInt32*);
    struct StateBit {
      RegisterGetter reg;
      ViInt32 mask;
    };
    static constexpr StateBit kStateBits[] = {
        {&attribute::get_OPERATION_CONDITION_REGISTER, 0x200},   // constant voltage
        {&attribute::get_OPERATION_CONDITION_REGISTER, 0x400},   // constant current
        {&attribute::get_QUESTIONABLE_CONDITION_REGISTER, 0x1},  // over-voltage
        {&attribute::get_QUESTIONABLE_CONDITION_REGISTER, 0x2},  // over-current
        {&attribute::get_OPERATION_CONDITION_REGISTER, 0x800},   // unregulated
    };
    const auto index = static_cast<ViUInt32>(OutputState);
    if (index >= std::size(kStateBits)) {
      return kel::ReportError(vi, kel::status::kValueNotSupported, OutputState, "OutputState", "QueryOutputState");
    }
    ViInt32 reg = 0;
    if (const ViStatus read = kStateBits[index].reg(session, ChannelName, &reg); read < 0) return read;
    *InState = (reg & kStateBits[index].mask) != 0 ? VI_TRUE : VI_FALSE;
    return session.CheckInstrumentStatus();
  });
}

}  // namespace hnvqr::untraced
