#include "vqrsim/electrical_model.hpp"

#include <cmath>

namespace vqrsim {

OperatingPoint solve_output(const OutputSettings& settings, double load_ohms, bool output_on) {
  OperatingPoint point;
  if (!output_on || !(load_ohms > 0)) return point;

  const double current_limited_volts = settings.amps * load_ohms;
  const double power_limited_volts = std::sqrt(settings.watts * load_ohms);

  point.volts = settings.volts;
  point.regulation = Regulation::ConstantVoltage;
  if (current_limited_volts < point.volts) {
    point.volts = current_limited_volts;
    point.regulation = Regulation::ConstantCurrent;
  }
  if (power_limited_volts < point.volts) {
    point.volts = power_limited_volts;
    point.regulation = Regulation::PowerLimited;
  }
  // In constant current the current is the setpoint itself, not a quotient that rounds.
  point.amps = point.regulation == Regulation::ConstantCurrent ? settings.amps : point.volts / load_ohms;

  if (point.volts > settings.over_voltage_limit) {
    point.trip = Trip::OverVoltage;
  } else if (point.amps > settings.over_current_limit) {
    point.trip = Trip::OverCurrent;
  } else if (point.volts * point.amps > settings.over_power_limit) {
    point.trip = Trip::OverPower;
  }
  if (point.trip != Trip::None) {
    point.volts = 0;
    point.amps = 0;
    point.regulation = Regulation::Off;
  }
  return point;
}

}  // namespace vqrsim
