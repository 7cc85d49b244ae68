// The typed attribute access (type and direction checks, the string buffer protocol), the
// attribute cache in simulation, the inherent switches, coercion records and the
// interchange-check functions.
#include <cstring>
#include <functional>
#include <utility>
#include <string>

#include "DriverTestSupport.h"

namespace driver_test {
namespace {

TEST(StringBuffer, ValueIsCutAndAnExactFitAnswersTooSmall) {
  Session session;
  ASSERT_SESSION_OPEN(session);
  const struct {
    ViAttr id;
    ViInt32 size;
    const char* text;
    ViStatus status;
  } cases[] = {
      {HNVQR_ATTR_SPECIFIC_DRIVER_REVISION, 5, "1.0.", HNVQR_MAX_STRING_ATTRIBUTE_LENGTH},
      {HNVQR_ATTR_SPECIFIC_DRIVER_REVISION, 8, "1.0.2.0", HNVQR_MAX_STRING_ATTRIBUTE_LENGTH},
      {HNVQR_ATTR_SPECIFIC_DRIVER_REVISION, 9, "1.0.2.0", VI_SUCCESS},
      {HNVQR_ATTR_SPECIFIC_DRIVER_REVISION, 1, "", HNVQR_MAX_STRING_ATTRIBUTE_LENGTH},
      {HNVQR_ATTR_SPECIFIC_DRIVER_REVISION, -1, "1.0.2.0", VI_SUCCESS},
      {HNVQR_ATTR_SPECIFIC_DRIVER_PREFIX, 6, "HnVQR", HNVQR_MAX_STRING_ATTRIBUTE_LENGTH},
      {HNVQR_ATTR_SPECIFIC_DRIVER_PREFIX, 3, "Hn", HNVQR_MAX_STRING_ATTRIBUTE_LENGTH},
      {HNVQR_ATTR_SPECIFIC_DRIVER_PREFIX, 256, "HnVQR", VI_SUCCESS},
      {HNVQR_ATTR_INSTRUMENT_FIRMWARE_REVISION, 5, "Sim1", HNVQR_MAX_STRING_ATTRIBUTE_LENGTH},
      {HNVQR_ATTR_DEVICE_CAPABILITIES, 8, "(DCPSUP", HNVQR_MAX_STRING_ATTRIBUTE_LENGTH},
      {HNVQR_ATTR_IO_RESOURCE_DESCRIPTOR, 6, "GPIB0", HNVQR_MAX_STRING_ATTRIBUTE_LENGTH},
      {HNVQR_ATTR_INSTRUMENT_MODEL, 3, "VQ", HNVQR_MAX_STRING_ATTRIBUTE_LENGTH},
  };
  for (const auto& c : cases) {
    char text[4096];
    std::memset(text, 'x', sizeof text);
    EXPECT_EQ(HnVQR_GetAttributeViString(session, "", c.id, c.size, text), c.status) << c.id << " size " << c.size;
    EXPECT_STREQ(text, c.text) << c.id << " size " << c.size;
    if (c.size > 0) {
      EXPECT_EQ(text[c.size], 'x') << "written past the buffer: " << c.id << " size " << c.size;
    }
  }
}

TEST(StringBuffer, SizeZeroAsksForTheLargestSizeWithoutWriting) {
  Session session;
  ASSERT_SESSION_OPEN(session);
  char text[8] = "keep";
  EXPECT_EQ(HnVQR_GetAttributeViString(session, "", HNVQR_ATTR_SPECIFIC_DRIVER_REVISION, 0, nullptr),
            HNVQR_MAX_STRING_ATTRIBUTE_LENGTH);
  EXPECT_EQ(HnVQR_GetAttributeViString(session, "", HNVQR_ATTR_SPECIFIC_DRIVER_REVISION, 0, text),
            HNVQR_MAX_STRING_ATTRIBUTE_LENGTH);
  EXPECT_STREQ(text, "keep");
  EXPECT_EQ(HnVQR_GetAttributeViString(session, "", HNVQR_ATTR_SPECIFIC_DRIVER_REVISION, 5, nullptr),
            IVI_ERROR_NULL_POINTER);
  EXPECT_EQ(TakeError(session),
            (Error{IVI_ERROR_NULL_POINTER,
                   "Null pointer passed for function 'GetAttributeViString', parameter 'AttributeValueBufferSize'."}));
}

TEST(TypedAccess, UnknownIdsAreReportedInUnsignedDecimal) {
  Session session;
  ASSERT_SESSION_OPEN(session);
  ViInt32 value = 17;
  char text[16] = "keep";
  const struct {
    ViAttr id;
    const char* decimal;
  } ids[] = {{1150005, "1150005"}, {0xFFFFFFFFu, "4294967295"}, {0, "0"}, {1150032, "1150032"}};
  for (const auto& c : ids) {
    const Error expected{IVI_ERROR_INVALID_ATTRIBUTE, std::string("Attribute ID '") + c.decimal + "' not recognized."};
    EXPECT_EQ(HnVQR_GetAttributeViInt32(session, "", c.id, &value), IVI_ERROR_INVALID_ATTRIBUTE);
    EXPECT_EQ(TakeError(session), expected);
    EXPECT_EQ(HnVQR_SetAttributeViReal64(session, "", c.id, 1.0), IVI_ERROR_INVALID_ATTRIBUTE);
    EXPECT_EQ(TakeError(session), expected);
    EXPECT_EQ(HnVQR_GetAttributeViString(session, "", c.id, sizeof text, text), IVI_ERROR_INVALID_ATTRIBUTE);
    EXPECT_EQ(TakeError(session), expected);
  }
  EXPECT_EQ(value, 17);
  EXPECT_STREQ(text, "keep");
}

TEST(TypedAccess, TypeIsCheckedBeforeDirection) {
  Session session;
  ASSERT_SESSION_OPEN(session);
  const ViSession vi = session;
  ViInt32 int32 = 0;
  ViBoolean boolean = 0;
  ViSession handle = 0;
  ViReal64 real = 0;
  char text[64] = {};
  const struct {
    const char* what;
    std::function<ViStatus()> call;
    ViStatus status;
    const char* description;
  } cases[] = {
      {"get Int32 of a real", [&] { return HnVQR_GetAttributeViInt32(vi, "", HNVQR_ATTR_VOLTAGE_LEVEL, &int32); },
       IVI_ERROR_TYPES_DO_NOT_MATCH,
       "GetAttributeViInt32 called for attribute 'HNVQR_ATTR_VOLTAGE_LEVEL' of type 'ViReal64'."},
      {"set Real64 of an integer",
       [&] { return HnVQR_SetAttributeViReal64(vi, "", HNVQR_ATTR_ANALOG_OUTPUT_MODE, 1.0); },
       IVI_ERROR_TYPES_DO_NOT_MATCH,
       "SetAttributeViReal64 called for attribute 'HNVQR_ATTR_ANALOG_OUTPUT_MODE' of type 'ViInt32'."},
      {"set Int32 of a read-only string", [&] { return HnVQR_SetAttributeViInt32(vi, "", HNVQR_ATTR_LOGICAL_NAME, 1); },
       IVI_ERROR_TYPES_DO_NOT_MATCH,
       "SetAttributeViInt32 called for attribute 'HNVQR_ATTR_LOGICAL_NAME' of type 'ViString'."},
      {"set String of a read-only string",
       [&] { return HnVQR_SetAttributeViString(vi, "", HNVQR_ATTR_LOGICAL_NAME, "x"); }, IVI_ERROR_ATTR_NOT_WRITABLE,
       "Attribute 'HNVQR_ATTR_LOGICAL_NAME' is read-only."},
      {"set String of a read-only model",
       [&] { return HnVQR_SetAttributeViString(vi, "", HNVQR_ATTR_INSTRUMENT_MODEL, "VQR-A1"); },
       IVI_ERROR_ATTR_NOT_WRITABLE, "Attribute 'HNVQR_ATTR_INSTRUMENT_MODEL' is read-only."},
      {"get Boolean of a string",
       [&] { return HnVQR_GetAttributeViBoolean(vi, "", HNVQR_ATTR_SCPI_VERSION, &boolean); },
       IVI_ERROR_TYPES_DO_NOT_MATCH,
       "GetAttributeViBoolean called for attribute 'HNVQR_ATTR_SCPI_VERSION' of type 'ViString'."},
      {"get Session of an integer",
       [&] { return HnVQR_GetAttributeViSession(vi, "", HNVQR_ATTR_SYSTEM_IO_TIMEOUT, &handle); },
       IVI_ERROR_TYPES_DO_NOT_MATCH,
       "GetAttributeViSession called for attribute 'HNVQR_ATTR_SYSTEM_IO_TIMEOUT' of type 'ViInt32'."},
      {"get String of a boolean",
       [&] { return HnVQR_GetAttributeViString(vi, "", HNVQR_ATTR_CACHE, sizeof text, text); },
       IVI_ERROR_TYPES_DO_NOT_MATCH,
       "GetAttributeViString called for attribute 'HNVQR_ATTR_CACHE' of type 'ViBoolean'."},
      {"get Real64 of a boolean", [&] { return HnVQR_GetAttributeViReal64(vi, "", HNVQR_ATTR_OUTPUT_ENABLED, &real); },
       IVI_ERROR_TYPES_DO_NOT_MATCH,
       "GetAttributeViReal64 called for attribute 'HNVQR_ATTR_OUTPUT_ENABLED' of type 'ViBoolean'."},
      {"set Int32 of a read-only register",
       [&] { return HnVQR_SetAttributeViInt32(vi, "", HNVQR_ATTR_OPERATION_CONDITION_REGISTER, 1); },
       IVI_ERROR_ATTR_NOT_WRITABLE, "Attribute 'HNVQR_ATTR_OPERATION_CONDITION_REGISTER' is read-only."},
      {"set Session of the I/O session",
       [&] { return HnVQR_SetAttributeViSession(vi, "", HNVQR_ATTR_SYSTEM_IO_SESSION, 1); },
       IVI_ERROR_ATTR_NOT_WRITABLE, "Attribute 'HNVQR_ATTR_SYSTEM_IO_SESSION' is read-only."},
      {"set Boolean of a read-only integer",
       [&] { return HnVQR_SetAttributeViBoolean(vi, "", HNVQR_ATTR_CHANNEL_COUNT, VI_TRUE); },
       IVI_ERROR_TYPES_DO_NOT_MATCH,
       "SetAttributeViBoolean called for attribute 'HNVQR_ATTR_CHANNEL_COUNT' of type 'ViInt32'."},
  };
  for (const auto& c : cases) {
    ASSERT_EQ(HnVQR_ClearError(vi), VI_SUCCESS);
    EXPECT_EQ(c.call(), c.status) << c.what;
    EXPECT_EQ(TakeError(vi), (Error{c.status, c.description})) << c.what;
  }
}

TEST(TypedAccess, ConstantsAnswerTheSameForAnyHandle) {
  Session session;
  ASSERT_SESSION_OPEN(session);
  for (const ViSession vi : {session.vi(), ViSession{VI_NULL}, kNeverIssued}) {
    ViInt32 value = -1;
    EXPECT_EQ(HnVQR_GetAttributeViInt32(vi, "", HNVQR_ATTR_SPECIFIC_DRIVER_CLASS_SPEC_MAJOR_VERSION, &value),
              VI_SUCCESS);
    EXPECT_EQ(value, 3);
    EXPECT_EQ(HnVQR_GetAttributeViInt32(vi, "", HNVQR_ATTR_SPECIFIC_DRIVER_CLASS_SPEC_MINOR_VERSION, &value),
              VI_SUCCESS);
    EXPECT_EQ(value, 0);
    char text[256] = {};
    EXPECT_EQ(HnVQR_GetAttributeViString(vi, "", HNVQR_ATTR_SUPPORTED_INSTRUMENT_MODELS, sizeof text, text),
              VI_SUCCESS);
    EXPECT_STREQ(text, "VQR-A1,VQR-A2,VQR-A3,VQR-A4,VQR-A5,VQR-B1,VQR-B2,VQR-B3,VQR-B4,VQR-B6");
    EXPECT_EQ(HnVQR_GetAttributeViString(vi, "", HNVQR_ATTR_SPECIFIC_DRIVER_VENDOR, sizeof text, text), VI_SUCCESS);
    EXPECT_STREQ(text, "Halvorn");
  }
  // Session values need the session.
  ViBoolean flag = 0;
  EXPECT_EQ(HnVQR_GetAttributeViBoolean(kNeverIssued, "", HNVQR_ATTR_CACHE, &flag), IVI_ERROR_INVALID_SESSION_HANDLE);
}

// ---------------------------------------------------------------------------------------
// Cache

TEST(Cache, SimulatedReadsGiveTheDefaultThenTheLastWriteUntilInvalidated) {
  Session session;
  ASSERT_SESSION_OPEN(session);
  EXPECT_EQ(GetReal64(session, HNVQR_ATTR_VOLTAGE_LEVEL), 25.0);
  ASSERT_EQ(HnVQR_SetAttributeViReal64(session, "", HNVQR_ATTR_VOLTAGE_LEVEL, 12.5), VI_SUCCESS);
  EXPECT_EQ(GetReal64(session, HNVQR_ATTR_VOLTAGE_LEVEL), 12.5);
  ASSERT_EQ(HnVQR_SetAttributeViInt32(session, "", HNVQR_ATTR_CONTROL_SOURCE, HNVQR_VAL_CONTROL_SOURCE_LOCAL),
            VI_SUCCESS);
  ASSERT_EQ(HnVQR_SetAttributeViBoolean(session, "", HNVQR_ATTR_AUTO_START_ENABLED, VI_TRUE), VI_SUCCESS);

  EXPECT_EQ(HnVQR_InvalidateAllAttributes(session), VI_SUCCESS);
  EXPECT_EQ(GetReal64(session, HNVQR_ATTR_VOLTAGE_LEVEL), 25.0);
  EXPECT_EQ(GetInt32(session, HNVQR_ATTR_CONTROL_SOURCE), HNVQR_VAL_CONTROL_SOURCE_REMOTE);
  EXPECT_EQ(GetBoolean(session, HNVQR_ATTR_AUTO_START_ENABLED), VI_FALSE);
  // An empty cache is no reason to fail.
  EXPECT_EQ(HnVQR_InvalidateAllAttributes(session), VI_SUCCESS);
  EXPECT_EQ(HnVQR_InvalidateAllAttributes(kNeverIssued), IVI_ERROR_INVALID_SESSION_HANDLE);
}

TEST(Cache, CacheOffStillCachesWhileSimulating) {
  Session session("Simulate=1, Cache=0");
  ASSERT_SESSION_OPEN(session);
  EXPECT_EQ(GetBoolean(session, HNVQR_ATTR_CACHE), VI_FALSE);
  ASSERT_EQ(HnVQR_SetAttributeViReal64(session, "", HNVQR_ATTR_POWER_LEVEL, 123.0), VI_SUCCESS);
  EXPECT_EQ(GetReal64(session, HNVQR_ATTR_POWER_LEVEL), 123.0);
}

TEST(Cache, WriteOfTwoTurnsCachingOffAndOneTurnsItOn) {
  Session session;
  ASSERT_SESSION_OPEN(session);
  for (const auto& [value, expected] : {std::pair<ViBoolean, ViBoolean>{2, VI_FALSE},
                                        {VI_TRUE, VI_TRUE},
                                        {0xFFFF, VI_FALSE},
                                        {VI_TRUE, VI_TRUE},
                                        {VI_FALSE, VI_FALSE}}) {
    EXPECT_EQ(HnVQR_SetAttributeViBoolean(session, "", HNVQR_ATTR_CACHE, value), VI_SUCCESS);
    EXPECT_EQ(GetBoolean(session, HNVQR_ATTR_CACHE), expected) << value;
  }
}

// ---------------------------------------------------------------------------------------
// Switches

TEST(Switches, SimulationCannotBeLeftInASimulatedSession) {
  Session session;
  ASSERT_SESSION_OPEN(session);
  for (const ViBoolean value : {ViBoolean{VI_FALSE}, ViBoolean{2}}) {
    EXPECT_EQ(HnVQR_SetAttributeViBoolean(session, "", HNVQR_ATTR_SIMULATE, value),
              IVI_ERROR_CANNOT_CHANGE_SIMULATION_STATE);
    EXPECT_EQ(TakeError(session),
              (Error{IVI_ERROR_CANNOT_CHANGE_SIMULATION_STATE, "The simulation state cannot be changed."}));
    EXPECT_EQ(GetBoolean(session, HNVQR_ATTR_SIMULATE), VI_TRUE);
  }
  EXPECT_EQ(HnVQR_SetAttributeViBoolean(session, "", HNVQR_ATTR_SIMULATE, VI_TRUE), VI_SUCCESS);
}

TEST(Switches, InterchangeCheckCannotBeTurnedOn) {
  Session session;
  ASSERT_SESSION_OPEN(session);
  EXPECT_EQ(HnVQR_SetAttributeViBoolean(session, "", HNVQR_ATTR_INTERCHANGE_CHECK, VI_TRUE),
            IVI_ERROR_VALUE_NOT_SUPPORTED);
  EXPECT_EQ(TakeError(session),
            (Error{IVI_ERROR_VALUE_NOT_SUPPORTED,
                   "Does not support this class-compliant feature:  Enumeration value 'True' passed as the value for "
                   "parameter 'AttributeValue' in function 'SetAttributeViBoolean'.  Interchange checking is not "
                   "supported by the driver."}));
  EXPECT_EQ(GetBoolean(session, HNVQR_ATTR_INTERCHANGE_CHECK), VI_FALSE);
  EXPECT_EQ(HnVQR_SetAttributeViBoolean(session, "", HNVQR_ATTR_INTERCHANGE_CHECK, VI_FALSE), VI_SUCCESS);
  EXPECT_EQ(HnVQR_SetAttributeViBoolean(session, "", HNVQR_ATTR_INTERCHANGE_CHECK, 2), VI_SUCCESS);
  EXPECT_EQ(GetBoolean(session, HNVQR_ATTR_INTERCHANGE_CHECK), VI_FALSE);
  EXPECT_EQ(TakeError(session), Error{});
}

TEST(Switches, ResetWithDefaultsRestoresTheValuesInitializationEndedWith) {
  Session session("Simulate=1, RangeCheck=0, QueryInstrStatus=1");
  ASSERT_SESSION_OPEN(session);
  ASSERT_EQ(HnVQR_SetAttributeViBoolean(session, "", HNVQR_ATTR_RANGE_CHECK, VI_TRUE), VI_SUCCESS);
  ASSERT_EQ(HnVQR_SetAttributeViBoolean(session, "", HNVQR_ATTR_QUERY_INSTRUMENT_STATUS, VI_FALSE), VI_SUCCESS);
  ASSERT_EQ(HnVQR_SetAttributeViBoolean(session, "", HNVQR_ATTR_CACHE, VI_FALSE), VI_SUCCESS);
  ASSERT_EQ(HnVQR_SetAttributeViBoolean(session, "", HNVQR_ATTR_RECORD_COERCIONS, VI_TRUE), VI_SUCCESS);
  ASSERT_EQ(HnVQR_SetAttributeViReal64(session, "", HNVQR_ATTR_CURRENT_LEVEL, 1.25), VI_SUCCESS);

  EXPECT_EQ(HnVQR_ResetWithDefaults(session), VI_SUCCESS);
  EXPECT_EQ(GetBoolean(session, HNVQR_ATTR_RANGE_CHECK), VI_FALSE);
  EXPECT_EQ(GetBoolean(session, HNVQR_ATTR_QUERY_INSTRUMENT_STATUS), VI_TRUE);
  EXPECT_EQ(GetBoolean(session, HNVQR_ATTR_CACHE), VI_TRUE);
  EXPECT_EQ(GetBoolean(session, HNVQR_ATTR_RECORD_COERCIONS), VI_FALSE);
  EXPECT_EQ(GetBoolean(session, HNVQR_ATTR_SIMULATE), VI_TRUE);
  EXPECT_EQ(GetReal64(session, HNVQR_ATTR_CURRENT_LEVEL), 3.5);
}

// ---------------------------------------------------------------------------------------
// Coercion records and interchange warnings

TEST(CoercionRecords, QueueIsAlwaysEmpty) {
  Session session;
  ASSERT_SESSION_OPEN(session);
  char record[16];
  EXPECT_EQ(HnVQR_GetNextCoercionRecord(session, 0, nullptr), 1);
  std::memset(record, 'x', sizeof record);
  EXPECT_EQ(HnVQR_GetNextCoercionRecord(session, 0, record), 1);
  EXPECT_EQ(record[0], 'x');
  EXPECT_EQ(HnVQR_GetNextCoercionRecord(session, 10, record), VI_SUCCESS);
  EXPECT_STREQ(record, "");
  std::memset(record, 'x', sizeof record);
  EXPECT_EQ(HnVQR_GetNextCoercionRecord(session, 1, record), VI_SUCCESS);
  EXPECT_STREQ(record, "");
  std::memset(record, 'x', sizeof record);
  EXPECT_EQ(HnVQR_GetNextCoercionRecord(session, -1, record), VI_SUCCESS);
  EXPECT_STREQ(record, "");
  EXPECT_EQ(TakeError(session), Error{});
  EXPECT_EQ(HnVQR_GetNextCoercionRecord(session, 10, nullptr), IVI_ERROR_NULL_POINTER);
  EXPECT_EQ(TakeError(session),
            (Error{IVI_ERROR_NULL_POINTER,
                   "Null pointer passed for function 'GetNextCoercionRecord', parameter 'CoercionRecord'."}));
  // Switching coercion recording on adds nothing.
  ASSERT_EQ(HnVQR_SetAttributeViBoolean(session, "", HNVQR_ATTR_RECORD_COERCIONS, VI_TRUE), VI_SUCCESS);
  ASSERT_EQ(HnVQR_SetAttributeViReal64(session, "", HNVQR_ATTR_VOLTAGE_LEVEL, 1e9), VI_SUCCESS);
  EXPECT_EQ(GetReal64(session, HNVQR_ATTR_VOLTAGE_LEVEL), 1e9);
  EXPECT_EQ(HnVQR_GetNextCoercionRecord(session, 0, nullptr), 1);
}

TEST(InterchangeWarnings, FunctionsAreNotSupported) {
  Session session;
  ASSERT_SESSION_OPEN(session);
  char warning[16] = "keep";
  const struct {
    const char* name;
    ViStatus status;
  } cases[] = {
      {"GetNextInterchangeWarning", HnVQR_GetNextInterchangeWarning(session, sizeof warning, warning)},
      {"ClearInterchangeWarnings", HnVQR_ClearInterchangeWarnings(session)},
      {"ResetInterchangeCheck", HnVQR_ResetInterchangeCheck(session)},
  };
  for (const auto& c : cases) EXPECT_EQ(c.status, IVI_ERROR_FUNCTION_NOT_SUPPORTED) << c.name;
  EXPECT_STREQ(warning, "keep");
  const auto message = [](const char* name) {
    return Error{IVI_ERROR_FUNCTION_NOT_SUPPORTED,
                 std::string("Does not support this class-compliant feature: function '") + name + "'"};
  };
  ASSERT_EQ(HnVQR_ClearError(session), VI_SUCCESS);
  EXPECT_EQ(HnVQR_GetNextInterchangeWarning(session, 0, nullptr), IVI_ERROR_FUNCTION_NOT_SUPPORTED);
  EXPECT_EQ(TakeError(session), message("GetNextInterchangeWarning"));
  EXPECT_EQ(HnVQR_ClearInterchangeWarnings(session), IVI_ERROR_FUNCTION_NOT_SUPPORTED);
  EXPECT_EQ(TakeError(session), message("ClearInterchangeWarnings"));
  EXPECT_EQ(HnVQR_ResetInterchangeCheck(session), IVI_ERROR_FUNCTION_NOT_SUPPORTED);
  EXPECT_EQ(TakeError(session), message("ResetInterchangeCheck"));
}

}  // namespace
}  // namespace driver_test
