// The call frame of the exported functions (session lookup, output-pointer checks) and
// the error reporting exports: HnVQR_GetError, HnVQR_ClearError, HnVQR_error_message.
#include <cstring>
#include <functional>
#include <string>
#include <vector>

#include "DriverTestSupport.h"

namespace driver_test {
namespace {

using Call = std::function<ViStatus(ViSession)>;

struct NamedCall {
  const char* name;
  Call call;
};

// Functions with a frame of their own and attribute callbacks reached through the typed access.
std::vector<NamedCall> FramedCalls() {
  static ViReal64 real = 0;
  static ViInt16 int16 = 0;
  static ViInt32 int32 = 0;
  static ViBoolean boolean = 0;
  static ViInt64 count = 0;
  static ViByte bytes[16] = {};
  static char text[256] = {};
  static char text2[256] = {};
  return {
      {"HnVQR_reset", [](ViSession vi) { return HnVQR_reset(vi); }},
      {"HnVQR_ResetWithDefaults", [](ViSession vi) { return HnVQR_ResetWithDefaults(vi); }},
      {"HnVQR_Disable", [](ViSession vi) { return HnVQR_Disable(vi); }},
      {"HnVQR_self_test", [](ViSession vi) { return HnVQR_self_test(vi, &int16, text); }},
      {"HnVQR_revision_query", [](ViSession vi) { return HnVQR_revision_query(vi, text, text2); }},
      {"HnVQR_error_query", [](ViSession vi) { return HnVQR_error_query(vi, &int32, text); }},
      {"HnVQR_GetNextError", [](ViSession vi) { return HnVQR_GetNextError(vi, 256, text); }},
      {"HnVQR_LockSession", [](ViSession vi) { return HnVQR_LockSession(vi, &boolean); }},
      {"HnVQR_UnlockSession", [](ViSession vi) { return HnVQR_UnlockSession(vi, &boolean); }},
      {"HnVQR_InvalidateAllAttributes", [](ViSession vi) { return HnVQR_InvalidateAllAttributes(vi); }},
      {"HnVQR_GetChannelName", [](ViSession vi) { return HnVQR_GetChannelName(vi, 1, 256, text); }},
      {"HnVQR_GetNextCoercionRecord", [](ViSession vi) { return HnVQR_GetNextCoercionRecord(vi, 256, text); }},
      {"HnVQR_GetNextInterchangeWarning", [](ViSession vi) { return HnVQR_GetNextInterchangeWarning(vi, 256, text); }},
      {"HnVQR_ClearInterchangeWarnings", [](ViSession vi) { return HnVQR_ClearInterchangeWarnings(vi); }},
      {"HnVQR_ResetInterchangeCheck", [](ViSession vi) { return HnVQR_ResetInterchangeCheck(vi); }},
      {"HnVQR_ConfigureOutputRange", [](ViSession vi) { return HnVQR_ConfigureOutputRange(vi, "", 1, 5.0); }},
      {"HnVQR_QueryMaxCurrentLimit", [](ViSession vi) { return HnVQR_QueryMaxCurrentLimit(vi, "", 5.0, &real); }},
      {"HnVQR_QueryMaxVoltageLevel", [](ViSession vi) { return HnVQR_QueryMaxVoltageLevel(vi, "", 5.0, &real); }},
      {"HnVQR_QueryOutputState", [](ViSession vi) { return HnVQR_QueryOutputState(vi, "", 0, &boolean); }},
      {"HnVQR_Measure", [](ViSession vi) { return HnVQR_Measure(vi, "", 1, &real); }},
      {"HnVQR_MeasureCurrent", [](ViSession vi) { return HnVQR_MeasureCurrent(vi, &real); }},
      {"HnVQR_MeasureVoltage", [](ViSession vi) { return HnVQR_MeasureVoltage(vi, &real); }},
      {"HnVQR_Initiate", [](ViSession vi) { return HnVQR_Initiate(vi); }},
      {"HnVQR_Abort", [](ViSession vi) { return HnVQR_Abort(vi); }},
      {"HnVQR_SendSoftwareTrigger", [](ViSession vi) { return HnVQR_SendSoftwareTrigger(vi); }},
      {"HnVQR_ConfigureTriggerSource", [](ViSession vi) { return HnVQR_ConfigureTriggerSource(vi, "", 1); }},
      {"HnVQR_ConfigureTriggeredVoltageLevel",
       [](ViSession vi) { return HnVQR_ConfigureTriggeredVoltageLevel(vi, "", 1.0); }},
      {"HnVQR_ClearStatus", [](ViSession vi) { return HnVQR_ClearStatus(vi); }},
      {"HnVQR_SaveState", [](ViSession vi) { return HnVQR_SaveState(vi); }},
      {"HnVQR_SetMaxVoltageLevel", [](ViSession vi) { return HnVQR_SetMaxVoltageLevel(vi); }},
      {"HnVQR_ConfigureVoltageCalibration",
       [](ViSession vi) { return HnVQR_ConfigureVoltageCalibration(vi, 1, 2, 3, 4); }},
      {"HnVQR_viWrite", [](ViSession vi) { return HnVQR_viWrite(vi, 4, bytes, &count); }},
      {"HnVQR_viRead", [](ViSession vi) { return HnVQR_viRead(vi, 4, bytes, &count); }},
      {"HnVQR_ConfigureVoltageLevel (setter)", [](ViSession vi) { return HnVQR_ConfigureVoltageLevel(vi, "", 1.0); }},
      {"HnVQR_ConfigureOutputEnabled (setter)",
       [](ViSession vi) { return HnVQR_ConfigureOutputEnabled(vi, "", VI_TRUE); }},
      {"VOLTAGE_LEVEL getter",
       [](ViSession vi) { return HnVQR_GetAttributeViReal64(vi, "", HNVQR_ATTR_VOLTAGE_LEVEL, &real); }},
      {"CACHE setter", [](ViSession vi) { return HnVQR_SetAttributeViBoolean(vi, "", HNVQR_ATTR_CACHE, VI_TRUE); }},
      {"DRIVER_SETUP getter",
       [](ViSession vi) { return HnVQR_GetAttributeViString(vi, "", HNVQR_ATTR_DRIVER_SETUP, 256, text); }},
      {"OPERATION_ENABLE_REGISTER setter",
       [](ViSession vi) { return HnVQR_SetAttributeViInt32(vi, "", HNVQR_ATTR_OPERATION_ENABLE_REGISTER, 1); }},
      {"HnVQR_close", [](ViSession vi) { return HnVQR_close(vi); }},
  };
}

// Invalid handles are answered at once and leave every error record as it was.
void ExpectRejectedWithoutRecording(ViSession invalid) {
  Session other;
  ASSERT_SESSION_OPEN(other);
  // A recorded error on a live session and on this thread, which must survive the calls.
  ASSERT_EQ(HnVQR_QueryMaxVoltageLevel(other, "", 1.0, nullptr), IVI_ERROR_NULL_POINTER);
  for (const auto& [name, call] : FramedCalls()) {
    EXPECT_EQ(call(invalid), IVI_ERROR_INVALID_SESSION_HANDLE) << name;
  }
  ViStatus code = 0;
  EXPECT_EQ(HnVQR_GetError(invalid, &code, 0, nullptr), IVI_ERROR_INVALID_SESSION_HANDLE);
  EXPECT_EQ(code, VI_SUCCESS);
  EXPECT_EQ(TakeError(VI_NULL).code, IVI_ERROR_NULL_POINTER);
  EXPECT_EQ(TakeError(other).code, IVI_ERROR_NULL_POINTER);
}

TEST(CallFrame, HandleNeverIssuedIsRejectedWithoutRecording) { ExpectRejectedWithoutRecording(kNeverIssued); }

TEST(CallFrame, ClosedHandleIsRejectedWithoutRecording) {
  ViSession closed = VI_NULL;
  ASSERT_EQ(HnVQR_InitWithOptions(const_cast<ViRsrc>(kResource), VI_FALSE, VI_FALSE, kSimulate, &closed), VI_SUCCESS);
  ASSERT_EQ(HnVQR_close(closed), VI_SUCCESS);
  ExpectRejectedWithoutRecording(closed);
}

std::string NullPointerText(const char* function, const char* parameter) {
  return std::string("Null pointer passed for function '") + function + "', parameter '" + parameter + "'.";
}

TEST(CallFrame, NullOutputPointersNameTheFunctionAndParameter) {
  Session session;
  ASSERT_SESSION_OPEN(session);
  ViInt32 code = 0;
  ViInt16 result = 0;
  ViReal64 real = 0;
  char text[256] = {};
  struct Case {
    const char* what;
    std::function<ViStatus()> call;
    const char* function;
    const char* parameter;
  };
  const ViSession vi = session;
  const std::vector<Case> cases = {
      {"error_query, both null", [&] { return HnVQR_error_query(vi, nullptr, nullptr); }, "HnVQR_error_query",
       "ErrorCode"},
      {"error_query, code null", [&] { return HnVQR_error_query(vi, nullptr, text); }, "HnVQR_error_query",
       "ErrorCode"},
      {"error_query, message null", [&] { return HnVQR_error_query(vi, &code, nullptr); }, "HnVQR_error_query",
       "ErrorMessage"},
      {"self_test, both null", [&] { return HnVQR_self_test(vi, nullptr, nullptr); }, "HnVQR_self_test", "TestResult"},
      {"self_test, message null", [&] { return HnVQR_self_test(vi, &result, nullptr); }, "HnVQR_self_test",
       "TestMessage"},
      {"MeasureCurrent", [&] { return HnVQR_MeasureCurrent(vi, nullptr); }, "HnVQR_MeasureCurrent", "Val"},
      {"MeasureVoltage", [&] { return HnVQR_MeasureVoltage(vi, nullptr); }, "HnVQR_MeasureVoltage", "Val"},
      {"Measure", [&] { return HnVQR_Measure(vi, "", 1, nullptr); }, "HnVQR_Measure", "Measurement"},
      {"QueryMaxCurrentLimit", [&] { return HnVQR_QueryMaxCurrentLimit(vi, "", 1.0, nullptr); },
       "HnVQR_QueryMaxCurrentLimit", "MaxCurrentLimit"},
      {"QueryMaxVoltageLevel", [&] { return HnVQR_QueryMaxVoltageLevel(vi, "", 1.0, nullptr); },
       "HnVQR_QueryMaxVoltageLevel", "MaxVoltageLevel"},
      {"QueryOutputState", [&] { return HnVQR_QueryOutputState(vi, "", 0, nullptr); }, "HnVQR_QueryOutputState",
       "InState"},
      {"GetNextError", [&] { return HnVQR_GetNextError(vi, 256, nullptr); }, "HnVQR_GetNextError", "Val"},
      {"GetChannelName", [&] { return HnVQR_GetChannelName(vi, 1, 256, nullptr); }, "HnVQR_GetChannelName", "Name"},
      {"error_message", [&] { return HnVQR_error_message(vi, 0, nullptr); }, "HnVQR_error_message", "ErrorMessage"},
      {"GetAttributeViInt32", [&] { return HnVQR_GetAttributeViInt32(vi, "", HNVQR_ATTR_CHANNEL_COUNT, nullptr); },
       "HnVQR_GetAttributeViInt32", "AttributeValue"},
      {"GetAttributeViInt32, unknown ID", [&] { return HnVQR_GetAttributeViInt32(vi, "", 1150005, nullptr); },
       "HnVQR_GetAttributeViInt32", "AttributeValue"},
      {"GetAttributeViInt32, wrong type",
       [&] { return HnVQR_GetAttributeViInt32(vi, "", HNVQR_ATTR_VOLTAGE_LEVEL, nullptr); },
       "HnVQR_GetAttributeViInt32", "AttributeValue"},
      {"GetAttributeViReal64", [&] { return HnVQR_GetAttributeViReal64(vi, "", HNVQR_ATTR_VOLTAGE_LEVEL, nullptr); },
       "HnVQR_GetAttributeViReal64", "AttributeValue"},
      {"GetAttributeViBoolean", [&] { return HnVQR_GetAttributeViBoolean(vi, "", HNVQR_ATTR_CACHE, nullptr); },
       "HnVQR_GetAttributeViBoolean", "AttributeValue"},
      {"GetAttributeViSession",
       [&] { return HnVQR_GetAttributeViSession(vi, "", HNVQR_ATTR_SYSTEM_IO_SESSION, nullptr); },
       "HnVQR_GetAttributeViSession", "AttributeValue"},
  };
  for (const Case& c : cases) {
    ASSERT_EQ(HnVQR_ClearError(vi), VI_SUCCESS);
    EXPECT_EQ(c.call(), IVI_ERROR_NULL_POINTER) << c.what;
    EXPECT_EQ(TakeError(vi), (Error{IVI_ERROR_NULL_POINTER, NullPointerText(c.function, c.parameter)})) << c.what;
  }
  (void)real;
}

TEST(CallFrame, NullPointerOfAScalarGetterIsReportedForAnyHandle) {
  ASSERT_EQ(HnVQR_ClearError(VI_NULL), VI_SUCCESS);
  EXPECT_EQ(HnVQR_GetAttributeViInt32(VI_NULL, "", HNVQR_ATTR_CHANNEL_COUNT, nullptr), IVI_ERROR_NULL_POINTER);
  EXPECT_EQ(TakeError(VI_NULL),
            (Error{IVI_ERROR_NULL_POINTER, NullPointerText("HnVQR_GetAttributeViInt32", "AttributeValue")}));
}

// ---------------------------------------------------------------------------------------
// HnVQR_error_message, HnVQR_GetError, HnVQR_ClearError

TEST(ErrorMessage, KnownCodesGiveTheirMessageWithoutConversions) {
  struct Case {
    ViStatus code;
    const char* message;
  };
  const Case cases[] = {
      {VI_SUCCESS, "Success."},
      {IVI_ERROR_NULL_POINTER, "Null pointer passed for function '', parameter ''."},
      {IVI_ERROR_INVALID_SESSION_HANDLE, "Invalid session handle."},
      {IVI_ERROR_TYPES_DO_NOT_MATCH, "Attribute called for attribute '' of type ''."},
      {HNVQR_ERROR_IO, "I/O error."},
      {IVIDCPWR_ERROR_TRIGGER_NOT_SOFTWARE, "The trigger source is not set to software trigger."},
      {IVI_WARN_NSUP_ID_QUERY, "ID Query is not supported by this instrument."},
  };
  for (const ViSession vi : {ViSession{VI_NULL}, kNeverIssued}) {
    for (const Case& c : cases) {
      char text[256];
      std::memset(text, 'x', sizeof text);
      EXPECT_EQ(HnVQR_error_message(vi, c.code, text), VI_SUCCESS) << c.code;
      EXPECT_STREQ(text, c.message);
    }
  }
}

TEST(ErrorMessage, UnknownCodeWithoutSessionRecordsNothing) {
  ASSERT_EQ(HnVQR_ClearError(VI_NULL), VI_SUCCESS);
  char text[256] = "untouched";
  EXPECT_EQ(HnVQR_error_message(VI_NULL, 12345, text), IVI_ERROR_INVALID_VALUE);
  EXPECT_STREQ(text, "");
  EXPECT_EQ(TakeError(VI_NULL), Error{});
}

TEST(ErrorMessage, UnknownCodeOnASessionRecordsTheCodeAsSignedDecimal) {
  Session session;
  ASSERT_SESSION_OPEN(session);
  char text[256] = {};
  const struct {
    ViStatus code;
    const char* decimal;
  } cases[] = {{12345, "12345"}, {static_cast<ViStatus>(0xBFFF0015), "-1073807339"}, {-1, "-1"}};
  for (const auto& c : cases) {
    std::memset(text, 'x', sizeof text);
    EXPECT_EQ(HnVQR_error_message(session, c.code, text), IVI_ERROR_INVALID_VALUE);
    EXPECT_STREQ(text, "");
    EXPECT_EQ(TakeError(session),
              (Error{IVI_ERROR_INVALID_VALUE, std::string("Invalid value '") + c.decimal +
                                                  "' for function 'error_message', parameter 'ErrorCode'.  The error "
                                                  "code supplied is not defined by the driver."}));
  }
}

TEST(ErrorStore, GetErrorReturnsTheReportAndClearErrorEmptiesIt) {
  Session session;
  ASSERT_SESSION_OPEN(session);
  ASSERT_EQ(HnVQR_MeasureVoltage(session, nullptr), IVI_ERROR_NULL_POINTER);
  ViStatus code = 0;
  char text[256] = {};
  // Size 0 only asks for the size needed and keeps the error.
  const std::string expected = NullPointerText("HnVQR_MeasureVoltage", "Val");
  EXPECT_EQ(HnVQR_GetError(session, &code, 0, nullptr), static_cast<ViStatus>(expected.size() + 1));
  EXPECT_EQ(code, IVI_ERROR_NULL_POINTER);
  EXPECT_EQ(HnVQR_GetError(session, &code, sizeof text, text), VI_SUCCESS);
  EXPECT_EQ(code, IVI_ERROR_NULL_POINTER);
  EXPECT_EQ(text, expected);

  ASSERT_EQ(HnVQR_MeasureVoltage(session, nullptr), IVI_ERROR_NULL_POINTER);
  EXPECT_EQ(HnVQR_ClearError(session), VI_SUCCESS);
  EXPECT_EQ(TakeError(session), Error{});
  EXPECT_EQ(HnVQR_ClearError(kNeverIssued), IVI_ERROR_INVALID_SESSION_HANDLE);
}

TEST(ErrorStore, DescriptionsAreCutAt1023Characters) {
  // An unknown option name is quoted in full in its message, so a long one overflows it.
  const std::string name(3000, 'q');
  ViSession vi = 42;
  ASSERT_EQ(HnVQR_InitWithOptions(const_cast<ViRsrc>(kResource), VI_FALSE, VI_FALSE,
                                  ("Simulate=1, " + name + "=1").c_str(), &vi),
            IVI_ERROR_BAD_OPTION_NAME);
  EXPECT_EQ(vi, VI_NULL);
  const Error error = TakeError(VI_NULL);
  EXPECT_EQ(error.code, IVI_ERROR_BAD_OPTION_NAME);
  EXPECT_EQ(error.text.size(), 1023u);
  EXPECT_EQ(error.text, ("The '" + name).substr(0, 1023));
}

}  // namespace
}  // namespace driver_test
