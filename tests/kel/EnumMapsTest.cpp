// Enum command maps: response to value and value to command for the session's model, by
// model rows, family rows and generic rows; and the driver's own maps.
#include <gtest/gtest.h>

#include <string>

#include "HnVQR.h"
#include "../support/LastError.h"
#include "commands/EnumMaps.h"
#include "kel/EnumMaps.h"
#include "kel/Frame.h"

namespace {

using test_support::LastError;

class EnumMaps : public ::testing::Test {
 protected:
  ViSession Open(const char* model) {
    ViSession vi = VI_NULL;
    const std::string options = std::string("Simulate=1, DriverSetup=Model:") + model;
    EXPECT_EQ(HnVQR_InitWithOptions(const_cast<ViRsrc>("GPIB0::1::INSTR"), VI_FALSE, VI_FALSE, options.c_str(), &vi),
              VI_SUCCESS);
    sessions_.push_back(vi);
    return vi;
  }
  void TearDown() override {
    for (ViSession vi : sessions_) HnVQR_close(vi);
  }
  std::vector<ViSession> sessions_;
};

// Value 0 has a row of its own for VQR-A4; value 1 has a row for the family every model is
// in; value 2 only generic tokens.
constexpr kel::EnumCommandRow kTestRows[] = {
    {"VALUE_0", 0, "!!!", "!!!"},      {"VALUE_0", 0, "A, ALPHA", ""},
    {"VALUE_0_A4", 0, "AA", "VQR-A4"}, {"VALUE_1_FAMILY", 1, "BF", "DefaultFamily"},
    {"VALUE_1", 1, "B", ""},           {"VALUE_2", 2, "C", ""},
};
const kel::EnumCommandMap& TestMap() {
  static const kel::EnumCommandMap map(kTestRows);
  return map;
}

ViInt32 Read(ViSession vi, const kel::EnumCommandMap& map, const char* response, ViStatus* status = nullptr) {
  ViInt32 value = 99;
  const ViStatus s = kel::ResponseToValue(kel::FindSession(vi), map, response, value);
  if (status) *status = s;
  return value;
}

std::string Command(ViSession vi, const kel::EnumCommandMap& map, ViInt32 value, ViStatus* status = nullptr) {
  std::string command = "stale";
  const ViStatus s = kel::ValueToCommand(kel::FindSession(vi), map, value, command);
  if (status) *status = s;
  return command;
}

// For the model of `vi`, the test map reads `accepted` as `value`, refuses `refused`, and
// writes `value` as `command`.
void ExpectModelTokens(ViSession vi, const char* accepted, ViInt32 value, const char* refused, const char* command) {
  SCOPED_TRACE(std::string("accepted '") + accepted + "', refused '" + refused + "'");
  ViStatus status = 0;
  EXPECT_EQ(Read(vi, TestMap(), accepted), value);
  EXPECT_EQ(Read(vi, TestMap(), refused, &status), -1);
  EXPECT_EQ(status, IVI_ERROR_UNEXPECTED_RESPONSE);
  EXPECT_EQ(Command(vi, TestMap(), value), command);
}

TEST_F(EnumMaps, ModelRowsReplaceGenericTokensForThatModel) {
  ExpectModelTokens(Open("VQR-A4"), "aa", 0, "A", "AA");
  ExpectModelTokens(Open("VQR-A1"), "Alpha\n", 0, "AA", "A");
}

TEST_F(EnumMaps, FamilyRowsApplyToEveryModelOfTheFamily) {
  const ViSession b2 = Open("VQR-B2");
  ViStatus status = 0;
  ExpectModelTokens(b2, " bf ", 1, "B", "BF");
  EXPECT_EQ(Read(b2, TestMap(), "C"), 2);
  EXPECT_EQ(Command(b2, TestMap(), 2), "C");
  // Without a session there is no model: only generic rows count.
  EXPECT_EQ(Read(VI_NULL, TestMap(), "B"), 1);
  EXPECT_EQ(Read(VI_NULL, TestMap(), "BF", &status), -1);
  EXPECT_EQ(Command(VI_NULL, TestMap(), 1), "B");
}

TEST_F(EnumMaps, UnknownValuesAndResponsesAreRecorded) {
  const ViSession vi = Open("VQR-A4");
  ViStatus status = 0;
  EXPECT_EQ(Command(vi, TestMap(), 3, &status), "");
  EXPECT_EQ(status, IVI_ERROR_CANNOT_RECOVER);
  EXPECT_EQ(LastError(vi), "Failure cannot recover.  Could not convert defined value '3' to an instrument command.");
  EXPECT_EQ(Read(vi, TestMap(), "!!", &status), -1);
  EXPECT_EQ(LastError(vi),
            "Unexpected response from instrument.  Could not convert instrument response (!!) to a defined value.");
}

TEST_F(EnumMaps, TheDriversMapsReadEveryTokenAndSendTheFirst) {
  const ViSession vi = Open("VQR-B6");
  const auto& mode = hnvqr::maps::AnalogOutputMode();
  for (const char* response : {"PAR", "par", "Parallel", " PARALLEL\n"}) {
    EXPECT_EQ(Read(vi, mode, response), HNVQR_VAL_ANALOG_OUTPUT_MODE_PARALLEL) << response;
  }
  ViStatus status = 0;
  EXPECT_EQ(Read(vi, mode, "PA", &status), -1);
  EXPECT_EQ(LastError(vi),
            "Unexpected response from instrument.  Could not convert instrument response (PA) to a defined value.");
  EXPECT_EQ(Command(vi, mode, HNVQR_VAL_ANALOG_OUTPUT_MODE_SERIES), "SER");

  const auto& onOff = hnvqr::maps::OnOff();
  EXPECT_EQ(Read(vi, onOff, "1"), VI_TRUE);
  EXPECT_EQ(Read(vi, onOff, "on"), VI_TRUE);
  EXPECT_EQ(Read(vi, onOff, "OFF\r\n"), VI_FALSE);
  EXPECT_EQ(Command(vi, onOff, VI_TRUE), "ON");
  EXPECT_EQ(Command(vi, onOff, VI_FALSE), "OFF");

  EXPECT_EQ(Command(vi, hnvqr::maps::ControlSource(), 6, &status), "");
  EXPECT_EQ(status, IVI_ERROR_CANNOT_RECOVER);
  EXPECT_EQ(Command(vi, hnvqr::maps::ControlSource(), HNVQR_VAL_CONTROL_SOURCE_ANALOG_DUAL), "DUAL");

  EXPECT_EQ(Read(vi, hnvqr::maps::AnalogScalingLevel(), "10"), HNVQR_VAL_ANALOG_SCALING_LEVEL_VOLT_10);
  EXPECT_EQ(Read(vi, hnvqr::maps::AnalogScalingLevel(), "10.0", &status), -1);
  EXPECT_EQ(Read(vi, hnvqr::maps::RemoteSenseStatus(), "calculating"), HNVQR_VAL_REMOTE_SENSE_STATUS_CALCULATING);
}

TEST(EnumMapNames, NamesComeFromTheFirstRowWithTheValue) {
  EXPECT_EQ(kel::ValueToName(hnvqr::maps::CurrentLimitBehavior(), 1), "HNVQR_VAL_CURRENT_TRIP");
  EXPECT_EQ(kel::ValueToName(hnvqr::maps::CurrentLimitBehavior(), 0), "HNVQR_VAL_CURRENT_REGULATE");
  EXPECT_EQ(kel::ValueToName(hnvqr::maps::CurrentLimitBehavior(), 7), "7");
  EXPECT_EQ(kel::ValueToName(hnvqr::maps::OutputState(), 4), "HNVQR_VAL_OUTPUT_UNREGULATED");
  EXPECT_EQ(kel::ValueToName(hnvqr::maps::MeasurementType(), -3), "-3");
  EXPECT_EQ(kel::ValueToName(hnvqr::maps::OnOff(), 1), "VI_TRUE");
}

}  // namespace
