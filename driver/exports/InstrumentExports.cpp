// Instrument-specific operations: each sends one fixed command. In simulation four of the
// minimum/maximum operations store the level they stand for, so that a simulated read
// reflects them.
#include <optional>

#include "HnVQR.h"
#include "attributes/AttributeCallbacks.h"
#include "kel/DriverSession.h"
#include "kel/Frame.h"
#include "kel/Io.h"

// The bodies of the exports; the exported functions around them, which trace each call,
// are generated from HnVQR.h (TracedExports.cpp).
namespace hnvqr::untraced {

namespace {

// The level a simulated minimum/maximum operation stores, when it stores one.
struct SimulatedLevel {
  ViStatus (*set)(kel::DriverSession&, ViConstString, ViReal64);  // the level's setter body
  ViReal64 value;
};

template <class... Args>
ViStatus Command(ViSession vi, std::optional<SimulatedLevel> simulated,
                 kel::PrintfFormat<std::type_identity_t<Args>...> format, Args... args) {
  return kel::WithSession(vi, [&](kel::DriverSession& session) {
    if (session.GetSimulate()) {
      return simulated ? simulated->set(session, nullptr, simulated->value) : VI_SUCCESS;
    }
    return kel::SendCommand(session, format, args...);
  });
}

}  // namespace

ViStatus _VI_FUNC HnVQR_ClearErrors(ViSession vi) { return Command(vi, {}, "SYST:ERR:CLE\n"); }
ViStatus _VI_FUNC HnVQR_ClearSelfTestResults(ViSession vi) { return Command(vi, {}, "TEST:SELF:CLE\n"); }
ViStatus _VI_FUNC HnVQR_ClearStatus(ViSession vi) { return Command(vi, {}, "*CLS\n"); }
ViStatus _VI_FUNC HnVQR_SaveState(ViSession vi) { return Command(vi, {}, "SYST:CONF:SAVE\n"); }
ViStatus _VI_FUNC HnVQR_SetOperationComplete(ViSession vi) { return Command(vi, {}, "*OPC\n"); }
ViStatus _VI_FUNC HnVQR_StatusPreset(ViSession vi) { return Command(vi, {}, "STAT:PRES\n"); }

ViStatus _VI_FUNC HnVQR_CalculateRemoteSenseResistance(ViSession vi, ViReal64 Value) {
  return Command(vi, {}, "RSEN:RES:CALC %0.15lg\n", Value);
}

ViStatus _VI_FUNC HnVQR_ConfigureCurrentCalibration(ViSession vi, ViReal64 Parameter1, ViReal64 Parameter2,
                                                    ViReal64 Parameter3, ViReal64 Parameter4) {
  return Command(vi, {}, "CAL:CALC:CURR:PAR %0.15lg,%0.15lg,%0.15lg,%0.15lg\n", Parameter1, Parameter2, Parameter3,
                 Parameter4);
}

ViStatus _VI_FUNC HnVQR_ConfigureVoltageCalibration(ViSession vi, ViReal64 Parameter1, ViReal64 Parameter2,
                                                    ViReal64 Parameter3, ViReal64 Parameter4) {
  return Command(vi, {}, "CAL:CALC:VOLT:PAR %0.15lg,%0.15lg,%0.15lg,%0.15lg\n", Parameter1, Parameter2, Parameter3,
                 Parameter4);
}

ViStatus _VI_FUNC HnVQR_SetMaxVoltageLevel(ViSession vi) {
  return Command(vi, SimulatedLevel{&hnvqr::attribute::set_VOLTAGE_LEVEL, 35.0}, "VOLT MAX\n");
}
ViStatus _VI_FUNC HnVQR_SetMinVoltageLevel(ViSession vi) { return Command(vi, {}, "VOLT MIN\n"); }
ViStatus _VI_FUNC HnVQR_SetMaxCurrentLevel(ViSession vi) { return Command(vi, {}, "CURR MAX\n"); }
ViStatus _VI_FUNC HnVQR_SetMinCurrentLevel(ViSession vi) {
  return Command(vi, SimulatedLevel{&hnvqr::attribute::set_CURRENT_LEVEL, 0.0}, "CURR MIN\n");
}
ViStatus _VI_FUNC HnVQR_SetMaxPowerLevel(ViSession vi) {
  return Command(vi, SimulatedLevel{&hnvqr::attribute::set_POWER_LEVEL, 600.0}, "POW MAX\n");
}
ViStatus _VI_FUNC HnVQR_SetMinPowerLevel(ViSession vi) {
  return Command(vi, SimulatedLevel{&hnvqr::attribute::set_POWER_LEVEL, 0.0}, "POW MIN\n");
}

}  // namespace hnvqr::untraced
