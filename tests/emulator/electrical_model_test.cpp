#include "vqrsim/electrical_model.hpp"

#include <cmath>
#include <gtest/gtest.h>

namespace vqrsim {
namespace {

OutputSettings a4_defaults(double volts, double amps) {
  // 50 V / 20 A / 600 W with protection at 1.1 times each rating.
  return {volts, amps, 600, 55, 22, 660};
}

TEST(ElectricalModelTest, OffMeansNothingAtTheTerminals) {
  const OperatingPoint point = solve_output(a4_defaults(12, 2), 10, false);
  EXPECT_EQ(point.regulation, Regulation::Off);
  EXPECT_EQ(point.volts, 0);
  EXPECT_EQ(point.amps, 0);
  EXPECT_EQ(point.trip, Trip::None);
}

TEST(ElectricalModelTest, ConstantVoltageConstantCurrentAndPowerLimit) {
  const OperatingPoint cv = solve_output(a4_defaults(12, 2), 10, true);
  EXPECT_EQ(cv.regulation, Regulation::ConstantVoltage);
  EXPECT_DOUBLE_EQ(cv.volts, 12);
  EXPECT_DOUBLE_EQ(cv.amps, 1.2);

  const OperatingPoint cc = solve_output(a4_defaults(12, 2), 2, true);
  EXPECT_EQ(cc.regulation, Regulation::ConstantCurrent);
  EXPECT_DOUBLE_EQ(cc.volts, 4);
  EXPECT_DOUBLE_EQ(cc.amps, 2);

  // 50 V into 2 ohm wants 25 A; 20 A gives 40 V and 800 W, over the 600 W rating.
  const OperatingPoint limited = solve_output(a4_defaults(50, 20), 2, true);
  EXPECT_EQ(limited.regulation, Regulation::PowerLimited);
  EXPECT_NEAR(limited.volts * limited.amps, 600, 1e-9);
  EXPECT_NEAR(limited.volts, std::sqrt(1200.0), 1e-9);
  EXPECT_EQ(limited.trip, Trip::None);

  // At the boundary the supply is in constant voltage.
  EXPECT_EQ(solve_output(a4_defaults(20, 2), 10, true).regulation, Regulation::ConstantVoltage);
}

TEST(ElectricalModelTest, ProtectionTripsInTheOrderVoltageCurrentPower) {
  OutputSettings settings = a4_defaults(12, 2);
  settings.over_voltage_limit = 10;
  EXPECT_EQ(solve_output(settings, 10, true).trip, Trip::OverVoltage);
  EXPECT_EQ(solve_output(settings, 10, true).volts, 0);

  settings = a4_defaults(12, 5);
  settings.over_current_limit = 1;
  EXPECT_EQ(solve_output(settings, 10, true).trip, Trip::OverCurrent);

  settings = a4_defaults(12, 5);
  settings.over_power_limit = 10;  // 12 V into 10 ohm is 14.4 W
  EXPECT_EQ(solve_output(settings, 10, true).trip, Trip::OverPower);

  settings.over_voltage_limit = 1;
  settings.over_current_limit = 0.1;
  EXPECT_EQ(solve_output(settings, 10, true).trip, Trip::OverVoltage);

  // A limit that is met exactly does not trip.
  settings = a4_defaults(12, 2);
  settings.over_voltage_limit = 12;
  EXPECT_EQ(solve_output(settings, 10, true).trip, Trip::None);
}

}  // namespace
}  // namespace vqrsim
