// The utility, output, measurement, trigger, instrument-specific and direct I/O functions
// of a simulated session.
#include <cmath>
#include <cstdio>
#include <cstring>
#include <functional>
#include <limits>
#include <string>

#include "DriverTestSupport.h"

namespace driver_test {
namespace {

const char* const kNotSupportedPrefix = "Does not support this class-compliant feature:  Enumeration value '";

std::string ValueNotSupported(const std::string& value, const char* parameter, const char* function) {
  return kNotSupportedPrefix + value + "' passed as the value for parameter '" + parameter + "' in function '" +
         function + "'.";
}

TEST(Utility, ResetEmptiesTheCacheAndDisableDoesNot) {
  Session session;
  ASSERT_SESSION_OPEN(session);
  ASSERT_EQ(HnVQR_SetAttributeViReal64(session, "", HNVQR_ATTR_VOLTAGE_LEVEL, 12.5), VI_SUCCESS);
  EXPECT_EQ(HnVQR_Disable(session), VI_SUCCESS);
  EXPECT_EQ(GetReal64(session, HNVQR_ATTR_VOLTAGE_LEVEL), 12.5);
  EXPECT_EQ(HnVQR_reset(session), VI_SUCCESS);
  EXPECT_EQ(GetReal64(session, HNVQR_ATTR_VOLTAGE_LEVEL), 25.0);
  ASSERT_EQ(HnVQR_SetAttributeViInt32(session, "", HNVQR_ATTR_STANDARD_EVENT_ENABLE_REGISTER, 60), VI_SUCCESS);
  EXPECT_EQ(HnVQR_ResetWithDefaults(session), VI_SUCCESS);
  EXPECT_EQ(GetInt32(session, HNVQR_ATTR_STANDARD_EVENT_ENABLE_REGISTER), 0);
}

// `query(session, &number, message)` succeeds with `expectedNumber` and `expectedMessage`
// (the number primed with 99, the message buffer with 'x').
template <class Number, class Query>
void ExpectNumberAndMessage(ViSession session, Query query, Number expectedNumber, const char* expectedMessage) {
  Number number = 99;
  char message[256];
  std::memset(message, 'x', sizeof message);
  EXPECT_EQ(query(session, &number, message), VI_SUCCESS) << expectedMessage;
  EXPECT_EQ(number, expectedNumber) << expectedMessage;
  EXPECT_STREQ(message, expectedMessage);
}

TEST(Utility, SelfTestPasses) {
  Session session;
  ASSERT_SESSION_OPEN(session);
  ExpectNumberAndMessage<ViInt16>(session, HnVQR_self_test, 0, "Selftest passed");
}

TEST(Utility, ErrorQueryReportsNoError) {
  Session session;
  ASSERT_SESSION_OPEN(session);
  ExpectNumberAndMessage<ViInt32>(session, HnVQR_error_query, 0, "No error.");
}

TEST(Utility, NextErrorIsTheInstrumentsNoErrorTextCutToTheBuffer) {
  Session session;
  ASSERT_SESSION_OPEN(session);
  const std::string full = "0,\"No error\"";
  ASSERT_EQ(full.size(), 12u);
  for (const ViInt32 size : {256, 13, 12, 5, 2, 1}) {
    char text[300];
    std::memset(text, 'x', sizeof text);
    EXPECT_EQ(HnVQR_GetNextError(session, size, text), VI_SUCCESS) << size;
    const std::size_t kept = std::min<std::size_t>(full.size(), static_cast<std::size_t>(size) - 1);
    EXPECT_EQ(std::string(text), full.substr(0, kept)) << size;
    EXPECT_EQ(text[size], 'x') << "written past a buffer of " << size;
  }
  for (const ViInt32 size : {0, -1}) {
    char text[16];
    std::memset(text, 'x', sizeof text);
    (void)HnVQR_GetNextError(session, size, text);
    EXPECT_EQ(text[0], 'x') << "written into a buffer of " << size;
  }
}

TEST(Utility, RevisionQueryGivesDriverAndSimulatedInstrumentRevisions) {
  Session session;
  ASSERT_SESSION_OPEN(session);
  char driver[256] = {};
  char instrument[256] = {};
  EXPECT_EQ(HnVQR_revision_query(session, driver, instrument), VI_SUCCESS);
  EXPECT_STREQ(driver, "1.0.2.0");
  EXPECT_STREQ(instrument, "Sim1.0.2.0");
}

TEST(Utility, RevisionQueryWithoutBuffersFailsInsteadOfWriting) {
  Session session;
  ASSERT_SESSION_OPEN(session);
  char driver[256] = {};
  EXPECT_LT(HnVQR_revision_query(session, nullptr, nullptr), 0);
  EXPECT_LT(HnVQR_revision_query(session, driver, nullptr), 0);
  EXPECT_LT(HnVQR_revision_query(session, nullptr, driver), 0);
}

TEST(Utility, CallerHeldLockIsReportedThroughTheFlag) {
  Session session;
  ASSERT_SESSION_OPEN(session);
  ViBoolean held = VI_FALSE;
  EXPECT_EQ(HnVQR_LockSession(session, &held), VI_SUCCESS);
  EXPECT_EQ(held, VI_TRUE);
  EXPECT_EQ(GetReal64(session, HNVQR_ATTR_VOLTAGE_LEVEL), 25.0);  // the lock is recursive for this thread
  EXPECT_EQ(HnVQR_UnlockSession(session, &held), VI_SUCCESS);
  EXPECT_EQ(held, VI_FALSE);
  EXPECT_EQ(HnVQR_LockSession(session, nullptr), VI_SUCCESS);
  EXPECT_EQ(HnVQR_UnlockSession(session, nullptr), VI_SUCCESS);
}

// ---------------------------------------------------------------------------------------
// Output configuration and measurement

TEST(Output, MaximumLimitsFollowThePowerRating) {
  Session session("Simulate=1, DriverSetup=Model:VQR-A4");  // 50 V, 20 A, 600 W
  ASSERT_SESSION_OPEN(session);
  const struct {
    bool current;
    ViReal64 given;
    ViReal64 expected;
  } cases[] = {
      {true, 50.0, 12.0},  {true, 20.0, 20.0},  {true, 0.0, 20.0},  {true, -5.0, 20.0},  {true, 30.0, 20.0},
      {false, 20.0, 30.0}, {false, 10.0, 50.0}, {false, 0.0, 50.0}, {false, 12.0, 50.0}, {false, 40.0, 15.0},
  };
  for (const auto& c : cases) {
    ViReal64 result = -1;
    const ViStatus status = c.current ? HnVQR_QueryMaxCurrentLimit(session, "CH1", c.given, &result)
                                      : HnVQR_QueryMaxVoltageLevel(session, "CH1", c.given, &result);
    EXPECT_EQ(status, VI_SUCCESS);
    EXPECT_DOUBLE_EQ(result, c.expected) << (c.current ? "current limit at " : "voltage level at ") << c.given;
  }
  ViReal64 result = -1;
  EXPECT_EQ(HnVQR_QueryMaxCurrentLimit(session, "CH2", 1.0, &result), IVI_ERROR_UNKNOWN_PHYSICAL_IDENTIFIER);
  EXPECT_EQ(result, -1);
}

TEST(Output, OutputRangeIsCheckedAgainstTheModelRatings) {
  Session session("Simulate=1, DriverSetup=Model:VQR-A3");  // 100 V, 10 A
  ASSERT_SESSION_OPEN(session);
  const auto invalid = [](const char* value, const char* parameter) {
    return Error{IVI_ERROR_INVALID_VALUE, std::string("Invalid value '") + value +
                                              "' for function 'ConfigureOutputRange', parameter '" + parameter + "'."};
  };
  const struct {
    ViInt32 type;
    ViReal64 range;
    Error expected;
  } cases[] = {
      {HNVQR_VAL_RANGE_VOLTAGE, 110.0, {}},
      {HNVQR_VAL_RANGE_VOLTAGE, 0.0, {}},
      {HNVQR_VAL_RANGE_VOLTAGE, 50.0, {}},
      {HNVQR_VAL_RANGE_VOLTAGE, 110.5, invalid("110.500000", "Range")},
      {HNVQR_VAL_RANGE_VOLTAGE, -0.1, invalid("-0.100000", "Range")},
      {HNVQR_VAL_RANGE_CURRENT, 11.0, {}},
      {HNVQR_VAL_RANGE_CURRENT, 11.5, invalid("11.500000", "Range")},
      {HNVQR_VAL_RANGE_CURRENT, -1.0, invalid("-1.000000", "Range")},
      {HNVQR_VAL_RANGE_CURRENT, std::numeric_limits<double>::quiet_NaN(), invalid("nan", "Range")},
      {HNVQR_VAL_RANGE_VOLTAGE, std::numeric_limits<double>::infinity(), invalid("inf", "Range")},
      {2, 1.0, invalid("2", "RangeType")},
      {-1, 1.0, invalid("-1", "RangeType")},
  };
  for (const auto& c : cases) {
    ASSERT_EQ(HnVQR_ClearError(session), VI_SUCCESS);
    EXPECT_EQ(HnVQR_ConfigureOutputRange(session, "", c.type, c.range), c.expected.code) << c.type << " " << c.range;
    EXPECT_EQ(TakeError(session), c.expected) << c.type << " " << c.range;
  }
  EXPECT_EQ(HnVQR_ConfigureOutputRange(session, "CH9", HNVQR_VAL_RANGE_VOLTAGE, 1.0),
            IVI_ERROR_UNKNOWN_PHYSICAL_IDENTIFIER);
}

TEST(Output, HugeRangeValueIsCutToTheDescriptionLimit) {
  // "%f" of 1e300 has over 300 digits; the description keeps what fits in 1023 characters.
  Session session;
  ASSERT_SESSION_OPEN(session);
  EXPECT_EQ(HnVQR_ConfigureOutputRange(session, "", HNVQR_VAL_RANGE_VOLTAGE, -1e300), IVI_ERROR_INVALID_VALUE);
  char digits[512] = {};
  std::snprintf(digits, sizeof digits, "%f", -1e300);
  const std::string expected =
      std::string("Invalid value '") + digits + "' for function 'ConfigureOutputRange', parameter 'Range'.";
  EXPECT_EQ(TakeError(session), (Error{IVI_ERROR_INVALID_VALUE, expected.substr(0, 1023)}));
}

TEST(Output, MeasurementsReadZeroInSimulation) {
  Session session;
  ASSERT_SESSION_OPEN(session);
  for (const ViInt32 type : {HNVQR_VAL_MEASURE_CURRENT, HNVQR_VAL_MEASURE_VOLTAGE}) {
    ViReal64 value = -1;
    EXPECT_EQ(HnVQR_Measure(session, "any channel", type, &value), VI_SUCCESS);
    EXPECT_EQ(value, 0.0);
  }
  ViReal64 value = -1;
  EXPECT_EQ(HnVQR_MeasureVoltage(session, &value), VI_SUCCESS);
  EXPECT_EQ(value, 0.0);
  value = -1;
  EXPECT_EQ(HnVQR_MeasureCurrent(session, &value), VI_SUCCESS);
  EXPECT_EQ(value, 0.0);
  for (const ViInt32 type : {5, -1, 2}) {
    value = -1;
    EXPECT_EQ(HnVQR_Measure(session, "", type, &value), IVI_ERROR_VALUE_NOT_SUPPORTED);
    EXPECT_EQ(value, -1);
    EXPECT_EQ(TakeError(session), (Error{IVI_ERROR_VALUE_NOT_SUPPORTED,
                                         ValueNotSupported(std::to_string(type), "MeasurementType", "Measure")}));
  }
}

TEST(Output, SimulatedOutputStateIsConstantVoltage) {
  Session session;
  ASSERT_SESSION_OPEN(session);
  const struct {
    ViInt32 state;
    ViBoolean expected;
  } cases[] = {{0, VI_TRUE},  {1, VI_FALSE},  {2, VI_FALSE}, {3, VI_FALSE},
               {4, VI_FALSE}, {99, VI_FALSE}, {-1, VI_FALSE}};
  for (const auto& c : cases) {
    ViBoolean inState = 77;
    EXPECT_EQ(HnVQR_QueryOutputState(session, "CH1", c.state, &inState), VI_SUCCESS) << c.state;
    EXPECT_EQ(inState, c.expected) << c.state;
  }
}

TEST(Output, ConfigureFunctionsWriteTheirAttributes) {
  Session session;
  ASSERT_SESSION_OPEN(session);
  EXPECT_EQ(HnVQR_ConfigureVoltageLevel(session, "CH1", 12.5), VI_SUCCESS);
  EXPECT_EQ(GetReal64(session, HNVQR_ATTR_VOLTAGE_LEVEL), 12.5);
  EXPECT_EQ(HnVQR_ConfigureOVP(session, "CH1", VI_TRUE, 30.5), VI_SUCCESS);
  EXPECT_EQ(GetReal64(session, HNVQR_ATTR_OVP_LIMIT), 30.5);
  EXPECT_EQ(HnVQR_ConfigureCurrentLimit(session, "CH1", HNVQR_VAL_CURRENT_TRIP, 2.0), VI_SUCCESS);
  EXPECT_EQ(GetReal64(session, HNVQR_ATTR_OVER_CURRENT_PROTECTION_LEVEL), 2.0);
  EXPECT_EQ(HnVQR_ConfigureOutputEnabled(session, "CH1", VI_FALSE), VI_SUCCESS);
  EXPECT_EQ(HnVQR_ResetOutputProtection(session, "CH1"), VI_SUCCESS);
  EXPECT_EQ(HnVQR_ConfigureOutputEnabled(session, "CH7", VI_TRUE), IVI_ERROR_UNKNOWN_PHYSICAL_IDENTIFIER);
  EXPECT_EQ(HnVQR_ResetOutputProtection(session, "ch1"), IVI_ERROR_UNKNOWN_PHYSICAL_IDENTIFIER);
}

TEST(Output, RefusedFirstValueLeavesTheSecondUnwritten) {
  Session session;
  ASSERT_SESSION_OPEN(session);
  EXPECT_EQ(HnVQR_ConfigureOVP(session, "", VI_FALSE, 30.5), IVI_ERROR_VALUE_NOT_SUPPORTED);
  EXPECT_EQ(TakeError(session),
            (Error{IVI_ERROR_VALUE_NOT_SUPPORTED, ValueNotSupported("VI_FALSE", "AttributeValue", "OVP_ENABLED")}));
  EXPECT_EQ(GetReal64(session, HNVQR_ATTR_OVP_LIMIT), 20.0);
  EXPECT_EQ(HnVQR_ConfigureCurrentLimit(session, "", HNVQR_VAL_CURRENT_REGULATE, 2.0), IVI_ERROR_VALUE_NOT_SUPPORTED);
  EXPECT_EQ(TakeError(session),
            (Error{IVI_ERROR_VALUE_NOT_SUPPORTED,
                   ValueNotSupported("HNVQR_VAL_CURRENT_REGULATE", "AttributeValue", "CURRENT_LIMIT_BEHAVIOR")}));
  EXPECT_EQ(GetReal64(session, HNVQR_ATTR_CURRENT_LIMIT), 5.5);
}

// ---------------------------------------------------------------------------------------
// Triggering, instrument-specific operations, direct I/O

TEST(Trigger, FunctionsAreNotSupportedAndRecordNothing) {
  Session session;
  ASSERT_SESSION_OPEN(session);
  ASSERT_EQ(HnVQR_MeasureVoltage(session, nullptr), IVI_ERROR_NULL_POINTER);
  const ViSession vi = session;
  const std::function<ViStatus()> calls[] = {
      [&] { return HnVQR_Initiate(vi); },
      [&] { return HnVQR_Abort(vi); },
      [&] { return HnVQR_SendSoftwareTrigger(vi); },
      [&] { return HnVQR_ConfigureTriggerSource(vi, "CH1", 0); },
      [&] { return HnVQR_ConfigureTriggeredVoltageLevel(vi, "not a channel", 1.0); },
      [&] { return HnVQR_ConfigureTriggeredCurrentLimit(vi, nullptr, -1.0); },
  };
  for (const auto& call : calls) EXPECT_EQ(call(), IVI_ERROR_FUNCTION_NOT_SUPPORTED);
  EXPECT_EQ(TakeError(session), (Error{IVI_ERROR_NULL_POINTER,
                                       "Null pointer passed for function 'HnVQR_MeasureVoltage', parameter 'Val'."}));
  for (const auto& call : calls) EXPECT_EQ(call(), IVI_ERROR_FUNCTION_NOT_SUPPORTED);
  EXPECT_EQ(TakeError(session), Error{});
}

TEST(InstrumentOperations, SimulatedLevelOperationsStoreTheirLevels) {
  Session session;
  ASSERT_SESSION_OPEN(session);
  EXPECT_EQ(HnVQR_SetMaxVoltageLevel(session), VI_SUCCESS);
  EXPECT_EQ(GetReal64(session, HNVQR_ATTR_VOLTAGE_LEVEL), 35.0);
  EXPECT_EQ(HnVQR_SetMaxPowerLevel(session), VI_SUCCESS);
  EXPECT_EQ(GetReal64(session, HNVQR_ATTR_POWER_LEVEL), 600.0);
  EXPECT_EQ(HnVQR_SetMinPowerLevel(session), VI_SUCCESS);
  EXPECT_EQ(GetReal64(session, HNVQR_ATTR_POWER_LEVEL), 0.0);
  EXPECT_EQ(HnVQR_SetMinCurrentLevel(session), VI_SUCCESS);
  EXPECT_EQ(GetReal64(session, HNVQR_ATTR_CURRENT_LEVEL), 0.0);
  EXPECT_EQ(HnVQR_SetMinVoltageLevel(session), VI_SUCCESS);
  EXPECT_EQ(HnVQR_SetMaxCurrentLevel(session), VI_SUCCESS);
}

TEST(InstrumentOperations, CommandsSucceedInSimulationAndLeaveTheCache) {
  Session session;
  ASSERT_SESSION_OPEN(session);
  ASSERT_EQ(HnVQR_SetAttributeViReal64(session, "", HNVQR_ATTR_REMOTE_SENSE_RESISTANCE, 0.5), VI_SUCCESS);
  EXPECT_EQ(HnVQR_ClearErrors(session), VI_SUCCESS);
  EXPECT_EQ(HnVQR_ClearSelfTestResults(session), VI_SUCCESS);
  EXPECT_EQ(HnVQR_ClearStatus(session), VI_SUCCESS);
  EXPECT_EQ(HnVQR_SaveState(session), VI_SUCCESS);
  EXPECT_EQ(HnVQR_SetOperationComplete(session), VI_SUCCESS);
  EXPECT_EQ(HnVQR_StatusPreset(session), VI_SUCCESS);
  EXPECT_EQ(HnVQR_CalculateRemoteSenseResistance(session, 1.5), VI_SUCCESS);
  EXPECT_EQ(HnVQR_ConfigureCurrentCalibration(session, 1, 2.5, 0.001, 100), VI_SUCCESS);
  EXPECT_EQ(HnVQR_ConfigureVoltageCalibration(session, 1, 2.5, 0.001, 100), VI_SUCCESS);
  EXPECT_EQ(GetReal64(session, HNVQR_ATTR_REMOTE_SENSE_RESISTANCE), 0.5);
  EXPECT_EQ(GetInt32(session, HNVQR_ATTR_REMOTE_SENSE_CALCULATION_STATUS), HNVQR_VAL_REMOTE_SENSE_STATUS_DORMANT);
}

TEST(DirectIo, RefusedInSimulation) {
  Session session;
  ASSERT_SESSION_OPEN(session);
  const Error refusal{HNVQR_ERROR_IO, "I/O error.  Direct I/O operations are not available in simulation mode."};
  ViByte buffer[8] = {'*', 'I', 'D', 'N', '?', '\n', 0, 0};
  ViInt64 count = 77;
  EXPECT_EQ(HnVQR_viWrite(session, 6, buffer, &count), HNVQR_ERROR_IO);
  EXPECT_EQ(TakeError(session), refusal);
  EXPECT_EQ(HnVQR_viRead(session, sizeof buffer, buffer, &count), HNVQR_ERROR_IO);
  EXPECT_EQ(TakeError(session), refusal);
  EXPECT_EQ(HnVQR_viRead(session, sizeof buffer, buffer, nullptr), HNVQR_ERROR_IO);
  EXPECT_EQ(TakeError(session), refusal);
  EXPECT_EQ(count, 77);
  EXPECT_EQ(buffer[0], '*');
  ViSession io = 5;
  EXPECT_EQ(HnVQR_GetAttributeViSession(session, "", HNVQR_ATTR_SYSTEM_IO_SESSION, &io), HNVQR_ERROR_IO);
  EXPECT_EQ(TakeError(session), refusal);
  EXPECT_EQ(io, 5u);
  ViInt32 timeout = 5;
  EXPECT_EQ(HnVQR_GetAttributeViInt32(session, "", HNVQR_ATTR_SYSTEM_IO_TIMEOUT, &timeout), HNVQR_ERROR_IO);
  EXPECT_EQ(TakeError(session), refusal);
  EXPECT_EQ(HnVQR_SetAttributeViInt32(session, "", HNVQR_ATTR_SYSTEM_IO_TIMEOUT, 1000), HNVQR_ERROR_IO);
  EXPECT_EQ(TakeError(session), refusal);
  EXPECT_EQ(timeout, 5);
}

}  // namespace
}  // namespace driver_test
