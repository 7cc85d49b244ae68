// The driver's model table and the emulator's are written separately on purpose (the
// instrument is no client of the driver); here they must agree row by row.
#include <gtest/gtest.h>

#include <vqrsim/models.hpp>

#include "HalvornVQRDriverSession.h"

namespace {

TEST(ModelTables, DriverAndEmulatorRateEveryModelAlike) {
  const auto driver = hnvqr::ModelTable();
  const auto emulator = vqrsim::model_table();
  ASSERT_EQ(driver.size(), emulator.size());
  for (std::size_t i = 0; i < driver.size(); ++i) {
    SCOPED_TRACE(std::string(driver[i].model));
    EXPECT_EQ(driver[i].model, emulator[i].id);
    EXPECT_EQ(driver[i].family, "DefaultFamily");
    EXPECT_DOUBLE_EQ(driver[i].powerRating, emulator[i].power_watts);
    EXPECT_DOUBLE_EQ(driver[i].maximumVoltage, emulator[i].max_volts);
    EXPECT_DOUBLE_EQ(driver[i].maximumCurrent, emulator[i].max_amps);
  }
}

}  // namespace
