// The utility, output, trigger and instrument-specific functions on a live session.
#include <chrono>
#include <cstring>
#include <string>

#include <visa.h>

#include "../support/LiveChecks.h"
#include "LiveFixture.h"

namespace live {
namespace {

class LiveFunctions : public LiveTest {
 protected:
  void SetUp() override {
    LiveTest::SetUp();
    ASSERT_EQ(Open(), VI_SUCCESS) << LastError(VI_NULL);
  }
  std::vector<std::string> SentThenClear() {
    auto lines = Sent();
    server_.clear_transcript();
    return lines;
  }
};

TEST_F(LiveFunctions, SelfTestReportsTheInstrumentsVerdict) {
  ViInt16 result = -1;
  ViChar message[256] = {};
  ASSERT_EQ(HnVQR_self_test(vi_, &result, message), VI_SUCCESS);
  EXPECT_EQ(result, 0);
  EXPECT_EQ(std::string(message), "Selftest passed");
  server_.set_self_test_result(1);
  ASSERT_GE(HnVQR_self_test(vi_, &result, message), VI_SUCCESS);
  EXPECT_EQ(result, 1);
  EXPECT_EQ(std::string(message), "Selftest failed");
  EXPECT_EQ(SentThenClear(), (std::vector<std::string>{"*TST?\n", "*TST?\n"}));
  // A failed exchange leaves the message untouched.
  server_.drop_after_next_line();
  std::strcpy(message, "untouched");
  EXPECT_EQ(HnVQR_self_test(vi_, &result, message), VI_ERROR_CONN_LOST);
  EXPECT_EQ(std::string(message), "untouched");
}

TEST_F(LiveFunctions, ErrorQueryParsesTheInstrumentsAnswer) {
  struct Case {
    const char* reply;
    ViStatus status;
    ViInt32 code;
    const char* message;
  };
  const std::string longMessage(400, 'm');
  const Case cases[] = {
      {"-100,\"Command error\"\n", VI_SUCCESS, -100, "Command error"},
      {"+0,\"No error\"\n", VI_SUCCESS, 0, "No error"},
      {"  -222 , \"Data out of range\"  \r\n", VI_SUCCESS, -222, "Data out of range"},
      {"No error\n", IVI_ERROR_UNEXPECTED_RESPONSE, 77, "kept"},
      {"abc,\"not a number\"\n", IVI_ERROR_UNEXPECTED_RESPONSE, 77, "kept"},
      {"99999999999,\"too big\"\n", IVI_ERROR_UNEXPECTED_RESPONSE, 77, "kept"},
  };
  for (const auto& c : cases) {
    server_.override_reply(":SYST:ERR?", c.reply, 1);
    ViInt32 code = 77;
    ViChar message[256] = "kept";
    EXPECT_EQ(HnVQR_error_query(vi_, &code, message), c.status) << c.reply;
    EXPECT_EQ(code, c.code) << c.reply;
    EXPECT_EQ(std::string(message), c.message) << c.reply;
  }
  EXPECT_EQ(LastError(vi_),
            "Unexpected response from instrument.  Failed to parse the response to the SYST:ERR? query.  The response "
            "is expected to be a comma-separated list of 2 items in the form '<error code>,<error message>'.");
  // An overlong answer is cut to the buffer; nothing of it is left for the next exchange.
  server_.override_reply(":SYST:ERR?", "-1," + longMessage + "\n", 1);
  ViInt32 code = 0;
  ViChar message[256] = {};
  ASSERT_EQ(HnVQR_error_query(vi_, &code, message), VI_SUCCESS);
  EXPECT_EQ(code, -1);
  EXPECT_EQ(std::string(message).size(), 252u);
  ViReal64 volts = -1;
  EXPECT_EQ(HnVQR_MeasureVoltage(vi_, &volts), VI_SUCCESS);
  EXPECT_EQ(volts, 0.0);
  // The instrument's real queue: an error made, read, then empty.
  test_support::ExpectUnknownCommandQueuedOnce(vi_);
}

TEST_F(LiveFunctions, GetNextErrorReturnsTheRawAnswerCutToTheBuffer) {
  ViChar text[64] = {};
  ASSERT_EQ(HnVQR_GetNextError(vi_, sizeof text, text), VI_SUCCESS);
  EXPECT_EQ(std::string(text), "0,\"No error\"");
  server_.override_reply("SYST:ERR?", "-113,\"Undefined header\"\n", 1);
  ASSERT_EQ(HnVQR_GetNextError(vi_, 6, text), VI_SUCCESS);
  EXPECT_EQ(std::string(text), "-113,");
  EXPECT_EQ(SentThenClear(), (std::vector<std::string>{"SYST:ERR?\n", "SYST:ERR?\n"}));
  EXPECT_EQ(HnVQR_GetNextError(vi_, 0, text), IVI_ERROR_INVALID_VALUE);
  EXPECT_TRUE(Sent().empty());
}

TEST_F(LiveFunctions, RevisionQueryReportsTheFirmwareKeptFromIdentification) {
  ViChar driver[256] = {};
  ViChar instrument[256] = {};
  ASSERT_EQ(HnVQR_revision_query(vi_, driver, instrument), VI_SUCCESS);
  EXPECT_EQ(std::string(driver), "1.0.2.0");
  EXPECT_EQ(std::string(instrument), "2.14");
  EXPECT_TRUE(Sent().empty());
}

TEST_F(LiveFunctions, ResetEmptiesTheCacheDisableDoesNot) {
  ASSERT_EQ(HnVQR_ConfigureVoltageLevel(vi_, "CH1", 12.5), VI_SUCCESS);
  ASSERT_EQ(HnVQR_Disable(vi_), VI_SUCCESS);
  ASSERT_EQ(HnVQR_SetAttributeViBoolean(vi_, "", HNVQR_ATTR_SIMULATE, VI_TRUE), VI_SUCCESS);
  ViReal64 level = 0;
  ASSERT_EQ(HnVQR_GetAttributeViReal64(vi_, "", HNVQR_ATTR_VOLTAGE_LEVEL, &level), VI_SUCCESS);
  EXPECT_EQ(level, 12.5);
  ASSERT_EQ(HnVQR_SetAttributeViBoolean(vi_, "", HNVQR_ATTR_SIMULATE, VI_FALSE), VI_SUCCESS);
  ASSERT_EQ(HnVQR_reset(vi_), VI_SUCCESS);
  EXPECT_EQ(SentThenClear(), (std::vector<std::string>{"VOLT 12.5\n", "*RST\n", "*OPC?\n", "*RST\n", "*OPC?\n"}));
  ASSERT_EQ(HnVQR_SetAttributeViBoolean(vi_, "", HNVQR_ATTR_SIMULATE, VI_TRUE), VI_SUCCESS);
  ASSERT_EQ(HnVQR_GetAttributeViReal64(vi_, "", HNVQR_ATTR_VOLTAGE_LEVEL, &level), VI_SUCCESS);
  EXPECT_EQ(level, 25.0);
}

TEST_F(LiveFunctions, FailedResetKeepsTheCacheAndTheOptions) {
  ASSERT_EQ(HnVQR_SetAttributeViBoolean(vi_, "", HNVQR_ATTR_RANGE_CHECK, VI_FALSE), VI_SUCCESS);
  ASSERT_EQ(HnVQR_ConfigureVoltageLevel(vi_, "CH1", 7.0), VI_SUCCESS);
  server_.drop_after_next_line();
  EXPECT_EQ(HnVQR_ResetWithDefaults(vi_), VI_ERROR_CONN_LOST);
  ViBoolean rangeCheck = VI_TRUE;
  ASSERT_EQ(HnVQR_GetAttributeViBoolean(vi_, "", HNVQR_ATTR_RANGE_CHECK, &rangeCheck), VI_SUCCESS);
  EXPECT_EQ(rangeCheck, VI_FALSE);
  ASSERT_EQ(HnVQR_SetAttributeViBoolean(vi_, "", HNVQR_ATTR_SIMULATE, VI_TRUE), VI_SUCCESS);
  ViReal64 level = 0;
  ASSERT_EQ(HnVQR_GetAttributeViReal64(vi_, "", HNVQR_ATTR_VOLTAGE_LEVEL, &level), VI_SUCCESS);
  EXPECT_EQ(level, 7.0);
}

TEST_F(LiveFunctions, OutputStateReadsOneConditionBit) {
  server_.override_reply("STAT:QUES:COND?", "2\n", 1);
  ViBoolean inState = VI_FALSE;
  ASSERT_EQ(HnVQR_QueryOutputState(vi_, "CH1", HNVQR_VAL_OUTPUT_OVER_CURRENT, &inState), VI_SUCCESS);
  EXPECT_EQ(inState, VI_TRUE);
  server_.override_reply("STAT:OPER:COND?", "1024\n", 1);
  ASSERT_EQ(HnVQR_QueryOutputState(vi_, "CH1", HNVQR_VAL_OUTPUT_UNREGULATED, &inState), VI_SUCCESS);
  EXPECT_EQ(inState, VI_FALSE);
  EXPECT_EQ(SentThenClear(), (std::vector<std::string>{"STAT:QUES:COND?\n", "STAT:OPER:COND?\n"}));
  EXPECT_EQ(HnVQR_QueryOutputState(vi_, "CH1", 99, &inState), IVI_ERROR_VALUE_NOT_SUPPORTED);
  EXPECT_EQ(LastError(vi_),
            "Does not support this class-compliant feature:  Enumeration value '99' passed as the value for parameter "
            "'OutputState' in function 'QueryOutputState'.");
  EXPECT_EQ(HnVQR_QueryOutputState(vi_, "CH1", -1, &inState), IVI_ERROR_VALUE_NOT_SUPPORTED);
  EXPECT_TRUE(Sent().empty());
}

TEST_F(LiveFunctions, MeasurementsQueryTheInstrument) {
  server_.override_reply("MEAS:CURR?", "1.5\n", 1);
  ViReal64 value = 0;
  ASSERT_EQ(HnVQR_Measure(vi_, "CH1", HNVQR_VAL_MEASURE_CURRENT, &value), VI_SUCCESS);
  EXPECT_EQ(value, 1.5);
  EXPECT_EQ(SentThenClear(), std::vector<std::string>{"MEAS:CURR?\n"});
  EXPECT_EQ(HnVQR_MeasureCurrent(vi_, nullptr), IVI_ERROR_NULL_POINTER);
  EXPECT_EQ(LastError(vi_), "Null pointer passed for function 'HnVQR_MeasureCurrent', parameter 'Val'.");
  EXPECT_TRUE(Sent().empty());
  server_.override_reply("MEAS:VOLT?", "not a number\n", 1);
  EXPECT_EQ(HnVQR_MeasureVoltage(vi_, &value), VI_ERROR_IO);
}

TEST_F(LiveFunctions, TriggerFunctionsAreNotSupportedAndRecordNothing) {
  EXPECT_EQ(HnVQR_MeasureCurrent(vi_, nullptr), IVI_ERROR_NULL_POINTER);
  EXPECT_EQ(HnVQR_SendSoftwareTrigger(vi_), IVI_ERROR_FUNCTION_NOT_SUPPORTED);
  EXPECT_EQ(HnVQR_Initiate(vi_), IVI_ERROR_FUNCTION_NOT_SUPPORTED);
  EXPECT_EQ(HnVQR_Abort(vi_), IVI_ERROR_FUNCTION_NOT_SUPPORTED);
  EXPECT_EQ(HnVQR_ConfigureTriggerSource(vi_, "nonsense", 3), IVI_ERROR_FUNCTION_NOT_SUPPORTED);
  EXPECT_EQ(HnVQR_ConfigureTriggeredVoltageLevel(vi_, "CH9", 1.0), IVI_ERROR_FUNCTION_NOT_SUPPORTED);
  EXPECT_EQ(HnVQR_ConfigureTriggeredCurrentLimit(vi_, "CH1", 1.0), IVI_ERROR_FUNCTION_NOT_SUPPORTED);
  ViInt32 source = 42;
  EXPECT_EQ(HnVQR_GetAttributeViInt32(vi_, "", HNVQR_ATTR_TRIGGER_SOURCE, &source), IVI_ERROR_ATTRIBUTE_NOT_SUPPORTED);
  EXPECT_EQ(source, 42);
  EXPECT_EQ(HnVQR_SetAttributeViReal64(vi_, "", HNVQR_ATTR_TRIGGERED_VOLTAGE_LEVEL, 1.0),
            IVI_ERROR_ATTRIBUTE_NOT_SUPPORTED);
  EXPECT_EQ(LastError(vi_), "Null pointer passed for function 'HnVQR_MeasureCurrent', parameter 'Val'.");
  EXPECT_TRUE(Sent().empty());
}

TEST_F(LiveFunctions, InstrumentSpecificCommandsAreSentAsWritten) {
  const struct {
    const char* name;
    ViStatus(_VI_FUNC* function)(ViSession);
    const char* command;
  } kOperations[] = {
      {"ClearErrors", HnVQR_ClearErrors, "SYST:ERR:CLE\n"},
      {"ClearSelfTestResults", HnVQR_ClearSelfTestResults, "TEST:SELF:CLE\n"},
      {"SaveState", HnVQR_SaveState, "SYST:CONF:SAVE\n"},
      {"SetOperationComplete", HnVQR_SetOperationComplete, "*OPC\n"},
      {"StatusPreset", HnVQR_StatusPreset, "STAT:PRES\n"},
      {"SetMinVoltageLevel", HnVQR_SetMinVoltageLevel, "VOLT MIN\n"},
      {"SetMaxCurrentLevel", HnVQR_SetMaxCurrentLevel, "CURR MAX\n"},
      {"SetMaxPowerLevel", HnVQR_SetMaxPowerLevel, "POW MAX\n"},
      {"SetMinPowerLevel", HnVQR_SetMinPowerLevel, "POW MIN\n"},
  };
  std::vector<std::string> expected;
  for (const auto& operation : kOperations) {
    ASSERT_EQ(operation.function(vi_), VI_SUCCESS) << operation.name;
    expected.push_back(operation.command);
  }
  ASSERT_TRUE(server_.wait_for_transcript(expected.size(), std::chrono::seconds(5)));
  EXPECT_EQ(Sent(), expected);
  EXPECT_EQ(server_.state().saved_configurations, 1);
}

}  // namespace
}  // namespace live
