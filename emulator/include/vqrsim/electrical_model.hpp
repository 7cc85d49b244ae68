// The output stage into a resistive load: voltage regulation limited by the current and
// power setpoints, and the three protection trips.
#pragma once

namespace vqrsim {

struct OutputSettings {
  double volts = 0;
  double amps = 0;
  double watts = 0;
  double over_voltage_limit = 0;
  double over_current_limit = 0;
  double over_power_limit = 0;
};

enum class Regulation { Off, ConstantVoltage, ConstantCurrent, PowerLimited };
enum class Trip { None, OverVoltage, OverCurrent, OverPower };

struct OperatingPoint {
  double volts = 0;
  double amps = 0;
  Regulation regulation = Regulation::Off;
  // The protection that this operating point would set off; the output is then off and
  // volts and amps are 0.
  Trip trip = Trip::None;
};

// The operating point of an output that is on (or off) into load_ohms (> 0). The supply
// regulates to the lowest of the voltage setpoint, the voltage that drives the current
// setpoint through the load and the voltage that dissipates the power setpoint in it;
// ties go to constant voltage, then constant current. A point past a protection limit
// trips (checked in the order voltage, current, power).
OperatingPoint solve_output(const OutputSettings& settings, double load_ohms, bool output_on);

}  // namespace vqrsim
