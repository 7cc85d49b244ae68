// Opening and closing sessions, and the option string of HnVQR_InitWithOptions with its
// DriverSetup part.
#include <cstring>
#include <string>
#include <vector>

#include "DriverTestSupport.h"

namespace driver_test {
namespace {

const char* const kInterchangeRefusal =
    "The 'True' value in the option string is unknown.  Interchange checking is not supported by the driver.";

TEST(Init, NullHandlePointerIsRejectedWithoutRecording) {
  ASSERT_EQ(HnVQR_ClearError(VI_NULL), VI_SUCCESS);
  const ViInt32 sessionsBefore = IviSession_GetLiveSessionCount();
  EXPECT_EQ(HnVQR_InitWithOptions(const_cast<ViRsrc>(kResource), VI_FALSE, VI_FALSE, kSimulate, nullptr),
            IVI_ERROR_NULL_POINTER);
  EXPECT_EQ(HnVQR_init(const_cast<ViRsrc>(kResource), VI_FALSE, VI_FALSE, nullptr), IVI_ERROR_NULL_POINTER);
  EXPECT_EQ(TakeError(VI_NULL), Error{});
  EXPECT_EQ(IviSession_GetLiveSessionCount(), sessionsBefore);
}

TEST(Init, FailedInitDisposesItsHandleAndLeavesTheReasonOnTheThread) {
  const ViInt32 sessionsBefore = IviSession_GetLiveSessionCount();
  const ViInt32 configHandlesBefore = IviConfig_GetLiveHandleCount();
  ViSession vi = 77;
  EXPECT_EQ(
      HnVQR_InitWithOptions(const_cast<ViRsrc>(kResource), VI_TRUE, VI_TRUE, "Simulate=1, InterchangeCheck=1", &vi),
      IVI_ERROR_BAD_OPTION_VALUE);
  EXPECT_EQ(vi, VI_NULL);
  EXPECT_EQ(TakeError(VI_NULL), (Error{IVI_ERROR_BAD_OPTION_VALUE, kInterchangeRefusal}));
  EXPECT_EQ(IviSession_GetLiveSessionCount(), sessionsBefore);
  EXPECT_EQ(IviConfig_GetLiveHandleCount(), configHandlesBefore);
}

TEST(Init, ReasonOfAFailedInitReplacesAnOlderThreadError) {
  // Leave a recorded error on the thread first; the failed init must report its own.
  ASSERT_EQ(HnVQR_GetAttributeViInt32(VI_NULL, "", HNVQR_ATTR_CHANNEL_COUNT, nullptr), IVI_ERROR_NULL_POINTER);
  ViSession vi = VI_NULL;
  EXPECT_EQ(HnVQR_InitWithOptions(const_cast<ViRsrc>(kResource), VI_FALSE, VI_FALSE, "Simulate=maybe", &vi),
            IVI_ERROR_BAD_OPTION_VALUE);
  EXPECT_EQ(TakeError(VI_NULL),
            (Error{IVI_ERROR_BAD_OPTION_VALUE, "The 'maybe' value in the option string is unknown."}));
}

TEST(Init, IdQueryAndResetOtherThanZeroOrOneAreAccepted) {
  for (const ViBoolean flag : {ViBoolean{2}, ViBoolean{0xFFFF}, ViBoolean{VI_TRUE}}) {
    ViSession vi = VI_NULL;
    ASSERT_EQ(HnVQR_InitWithOptions(const_cast<ViRsrc>(kResource), flag, flag, kSimulate, &vi), VI_SUCCESS)
        << flag << TakeError(VI_NULL);
    EXPECT_NE(vi, VI_NULL);
    EXPECT_EQ(GetBoolean(vi, HNVQR_ATTR_SIMULATE), VI_TRUE);
    EXPECT_EQ(HnVQR_close(vi), VI_SUCCESS);
  }
}

TEST(Init, ResetAtInitEmptiesNothingItNeedsAndSucceeds) {
  ViSession vi = VI_NULL;
  ASSERT_EQ(HnVQR_InitWithOptions(const_cast<ViRsrc>(kResource), VI_FALSE, 2, kSimulate, &vi), VI_SUCCESS);
  EXPECT_EQ(GetReal64(vi, HNVQR_ATTR_VOLTAGE_LEVEL), 25.0);
  EXPECT_EQ(HnVQR_close(vi), VI_SUCCESS);
}

TEST(Close, SecondCloseIsAnInvalidHandle) {
  const ViInt32 sessionsBefore = IviSession_GetLiveSessionCount();
  ViSession vi = VI_NULL;
  ASSERT_EQ(HnVQR_InitWithOptions(const_cast<ViRsrc>(kResource), VI_FALSE, VI_FALSE, kSimulate, &vi), VI_SUCCESS);
  EXPECT_EQ(IviSession_GetLiveSessionCount(), sessionsBefore + 1);
  EXPECT_EQ(HnVQR_close(vi), VI_SUCCESS);
  EXPECT_EQ(IviSession_GetLiveSessionCount(), sessionsBefore);
  EXPECT_EQ(HnVQR_close(vi), IVI_ERROR_INVALID_SESSION_HANDLE);
  EXPECT_EQ(HnVQR_close(VI_NULL), IVI_ERROR_INVALID_SESSION_HANDLE);
}

TEST(Init, SimulatedSessionWithoutModelIsTheDefaultModel) {
  Session session;
  ASSERT_SESSION_OPEN(session);
  EXPECT_EQ(GetString(session, HNVQR_ATTR_INSTRUMENT_MODEL), "VQR-B6");
  EXPECT_EQ(GetString(session, HNVQR_ATTR_LOGICAL_NAME), "");
  EXPECT_EQ(GetString(session, HNVQR_ATTR_IO_RESOURCE_DESCRIPTOR), kResource);
  // The ratings of VQR-B6: 1500 W, 30 V, 33 A.
  ViReal64 limit = 0;
  ASSERT_EQ(HnVQR_QueryMaxCurrentLimit(session, "", 0.0, &limit), VI_SUCCESS);
  EXPECT_EQ(limit, 33.0);
  ASSERT_EQ(HnVQR_QueryMaxVoltageLevel(session, "", 0.0, &limit), VI_SUCCESS);
  EXPECT_EQ(limit, 30.0);
  ASSERT_EQ(HnVQR_QueryMaxVoltageLevel(session, "", 100.0, &limit), VI_SUCCESS);
  EXPECT_EQ(limit, 15.0);
}

// ---------------------------------------------------------------------------------------
// Option strings

struct Switches {
  ViBoolean cache = VI_TRUE;
  ViBoolean interchangeCheck = VI_FALSE;
  ViBoolean queryInstrumentStatus = VI_FALSE;
  ViBoolean rangeCheck = VI_TRUE;
  ViBoolean recordCoercions = VI_FALSE;
  ViBoolean simulate = VI_TRUE;
  bool operator==(const Switches&) const = default;
};

std::ostream& operator<<(std::ostream& out, const Switches& s) {
  return out << "cache " << s.cache << " interchange " << s.interchangeCheck << " qis " << s.queryInstrumentStatus
             << " range " << s.rangeCheck << " coercions " << s.recordCoercions << " simulate " << s.simulate;
}

Switches ReadSwitches(ViSession vi) {
  return {GetBoolean(vi, HNVQR_ATTR_CACHE),
          GetBoolean(vi, HNVQR_ATTR_INTERCHANGE_CHECK),
          GetBoolean(vi, HNVQR_ATTR_QUERY_INSTRUMENT_STATUS),
          GetBoolean(vi, HNVQR_ATTR_RANGE_CHECK),
          GetBoolean(vi, HNVQR_ATTR_RECORD_COERCIONS),
          GetBoolean(vi, HNVQR_ATTR_SIMULATE)};
}

struct AcceptedOptions {
  const char* options;
  Switches switches;
  const char* model;
  const char* driverSetup;
};

TEST(OptionString, AcceptedStringsSetTheSwitchesModelAndDriverSetup) {
  Switches rangeOff;
  rangeOff.rangeCheck = VI_FALSE;
  Switches cacheOff;
  cacheOff.cache = VI_FALSE;
  Switches allFlipped{VI_FALSE, VI_FALSE, VI_TRUE, VI_FALSE, VI_TRUE, VI_TRUE};
  const AcceptedOptions cases[] = {
      {"Simulate=1", {}, "VQR-B6", ""},
      {"Simulate=True,RangeCheck=0", rangeOff, "VQR-B6", ""},
      {"simulate = VI_TRUE , rangecheck = false", rangeOff, "VQR-B6", ""},
      {"SIMULATE=TRUE, RANGECHECK=VI_FALSE", rangeOff, "VQR-B6", ""},
      {"Simulate=1, Cache", {}, "VQR-B6", ""},
      {"Simulate=1, Cache=", {}, "VQR-B6", ""},
      {"Simulate=true;Cache=false", cacheOff, "VQR-B6", ""},
      {"Cache=0, InterchangeCheck=0, QueryInstrStatus=1, RangeCheck=0, RecordCoercions=1, Simulate=1", allFlipped,
       "VQR-B6", ""},
      {"Simulate=true, DriverSetup=Model:VQR-A1", {}, "VQR-A1", "Model:VQR-A1"},
      {"Simulate=1, driversetup = model=VQR-A4", {}, "VQR-A4", " model=VQR-A4"},
      {"Simulate=1, DriverSetup=Model:VQR-B4, Trace=1, Simulate=0", {}, "VQR-B4", "Model:VQR-B4, Trace=1, Simulate=0"},
      {"Simulate=1, DriverSetup=", {}, "VQR-B6", ""},
      {"Simulate=1, DriverSetup=Trace:1", {}, "VQR-B6", "Trace:1"},
  };
  for (const AcceptedOptions& c : cases) {
    SCOPED_TRACE(c.options);
    Session session(c.options);
    ASSERT_SESSION_OPEN(session);
    EXPECT_EQ(ReadSwitches(session), c.switches);
    EXPECT_EQ(GetString(session, HNVQR_ATTR_INSTRUMENT_MODEL), c.model);
    EXPECT_EQ(GetString(session, HNVQR_ATTR_DRIVER_SETUP), c.driverSetup);
  }
}

struct RejectedOptions {
  const char* options;
  ViStatus status;
  const char* description;
};

TEST(OptionString, RejectedStringsFailInitWithTheirDescription) {
  const RejectedOptions cases[] = {
      {"Simulate=yes", IVI_ERROR_BAD_OPTION_VALUE, "The 'yes' value in the option string is unknown."},
      {"Simulate=1, Cache=On", IVI_ERROR_BAD_OPTION_VALUE, "The 'on' value in the option string is unknown."},
      {"Simulate=1, QueryInstrumentStatus=1", IVI_ERROR_BAD_OPTION_NAME,
       "The 'queryinstrumentstatus' name in the option string is unknown."},
      {"Simulate=1, Cache=1, cache=0", IVI_ERROR_CANNOT_RECOVER,
       "Failure cannot recover.  Inherent option 'cache' appears more than once."},
      {"Simulate=1, Bogus=1, bogus=1", IVI_ERROR_BAD_OPTION_NAME, "The 'bogus' name in the option string is unknown."},
      {"Simulate=1, DriverSetup=Model=VQR-A1, model=VQR-A2", IVI_ERROR_CANNOT_RECOVER,
       "Failure cannot recover.  DriverSetup option 'model' appears more than once."},
      {"Simulate=1, InterchangeCheck=true", IVI_ERROR_BAD_OPTION_VALUE, kInterchangeRefusal},
      {"Simulate=1, DriverSetup=Model:VQR-Z9", IVI_ERROR_CANNOT_RECOVER,
       "Failure cannot recover.  Unrecognized model: VQR-Z9"},
      {"Simulate=1, DriverSetup=Model:vqr-a1", IVI_ERROR_CANNOT_RECOVER,
       "Failure cannot recover.  Unrecognized model: vqr-a1"},
      // The model value keeps the blank before the comma, and no model has that name.
      {"Simulate=1, DriverSetup=Model=VQR-A1 , Trace=1", IVI_ERROR_CANNOT_RECOVER,
       "Failure cannot recover.  Unrecognized model: VQR-A1 "},
  };
  const ViInt32 sessionsBefore = IviSession_GetLiveSessionCount();
  for (const RejectedOptions& c : cases) {
    SCOPED_TRACE(c.options);
    Session session(c.options);
    EXPECT_EQ(session.status(), c.status);
    EXPECT_EQ(session.vi(), VI_NULL);
    EXPECT_EQ(TakeError(VI_NULL), (Error{c.status, c.description}));
  }
  EXPECT_EQ(IviSession_GetLiveSessionCount(), sessionsBefore);
}

TEST(OptionString, ItemsAfterDriverSetupBelongToIt) {
  // Simulate stays off, so the session tries the (absent) instrument and fails there.
  ViSession vi = 5;
  const ViStatus status = HnVQR_InitWithOptions(const_cast<ViRsrc>("ASRL99::INSTR"), VI_FALSE, VI_FALSE,
                                                "DriverSetup=Model:VQR-A1, Simulate=true", &vi);
  EXPECT_LT(status, 0);
  EXPECT_EQ(vi, VI_NULL);
}

TEST(OptionString, HugeTextsAreParsedWithoutHarm) {
  const std::size_t mebibyte = std::size_t{1} << 20;
  const std::size_t shorter = std::size_t{1} << 16;
  std::string separators;
  while (separators.size() < mebibyte) separators += ",; \t=:\r\n[]";
  std::string driverSetupItems;
  for (int i = 0; driverSetupItems.size() < mebibyte; ++i) driverSetupItems += "Key" + std::to_string(i) + ":v,";

  const std::vector<std::string> accepted = {
      "Simulate=1, " + separators,
      "Simulate=1, DriverSetup=" + driverSetupItems,
      "Simulate=1," + std::string(shorter, ','),
      "Simulate=1, " + std::string(shorter, 'w'),
      "Simulate=1, DriverSetup=" + separators.substr(0, shorter),
      "Simulate=1, DriverSetup=Model:VQR-A2, Note=" + std::string(shorter, 'n'),
  };
  for (const std::string& options : accepted) {
    Session session(options);
    ASSERT_SESSION_OPEN(session);
    EXPECT_EQ(GetBoolean(session, HNVQR_ATTR_SIMULATE), VI_TRUE);
    // The DriverSetup text is longer than any string attribute buffer: cut, "too small" answer.
    char text[64] = {};
    const ViStatus read = HnVQR_GetAttributeViString(session, "", HNVQR_ATTR_DRIVER_SETUP, sizeof text, text);
    EXPECT_TRUE(read == VI_SUCCESS || read == HNVQR_MAX_STRING_ATTRIBUTE_LENGTH) << read;
  }
  // A negative size vouches for the largest value only: the text is still cut below 4096.
  Session longSetup(accepted[1]);
  std::string buffer(HNVQR_MAX_STRING_ATTRIBUTE_LENGTH + 16, 'x');
  EXPECT_GE(HnVQR_GetAttributeViString(longSetup, "", HNVQR_ATTR_DRIVER_SETUP, -1, buffer.data()), VI_SUCCESS);
  EXPECT_LT(std::strlen(buffer.c_str()), static_cast<std::size_t>(HNVQR_MAX_STRING_ATTRIBUTE_LENGTH));
  EXPECT_EQ(buffer.substr(HNVQR_MAX_STRING_ATTRIBUTE_LENGTH), std::string(16, 'x'));

  Session withModel(accepted.back());
  EXPECT_EQ(GetString(withModel, HNVQR_ATTR_INSTRUMENT_MODEL), "VQR-A2");

  // A repeated key deep in a long DriverSetup text is still found.
  Session repeated("Simulate=1, DriverSetup=" + driverSetupItems.substr(0, driverSetupItems.find("Key5000:")) +
                   "key0:w");
  EXPECT_EQ(repeated.status(), IVI_ERROR_CANNOT_RECOVER);
  EXPECT_EQ(TakeError(VI_NULL), (Error{IVI_ERROR_CANNOT_RECOVER,
                                       "Failure cannot recover.  DriverSetup option 'key0' appears more than once."}));
}

TEST(OptionString, TextsFromTheCallerAreNeverFormats) {
  Session session("Simulate=1, DriverSetup=Model:%s%n%d%%%");
  EXPECT_EQ(session.status(), IVI_ERROR_CANNOT_RECOVER);
  EXPECT_EQ(TakeError(VI_NULL),
            (Error{IVI_ERROR_CANNOT_RECOVER, "Failure cannot recover.  Unrecognized model: %s%n%d%%%"}));
}

TEST(Init, NullTextsAreHandledSafely) {
  const ViInt32 sessionsBefore = IviSession_GetLiveSessionCount();
  ViSession vi = 3;
  const ViStatus nullResource = HnVQR_InitWithOptions(nullptr, VI_FALSE, VI_FALSE, kSimulate, &vi);
  if (nullResource < 0) {
    EXPECT_EQ(vi, VI_NULL);
  } else {
    EXPECT_EQ(HnVQR_close(vi), VI_SUCCESS);
  }
  vi = 3;
  const ViStatus nullOptions = HnVQR_InitWithOptions(const_cast<ViRsrc>(kResource), VI_FALSE, VI_FALSE, nullptr, &vi);
  if (nullOptions < 0) {
    EXPECT_EQ(vi, VI_NULL);
  } else {
    EXPECT_EQ(HnVQR_close(vi), VI_SUCCESS);
  }
  EXPECT_EQ(IviSession_GetLiveSessionCount(), sessionsBefore);
}

TEST(OptionString, ResourceNameIsKeptAsTheDescriptor) {
  Session session(kSimulate, "TCPIP0::10.0.0.9::5025::SOCKET");
  ASSERT_SESSION_OPEN(session);
  EXPECT_EQ(GetString(session, HNVQR_ATTR_IO_RESOURCE_DESCRIPTOR), "TCPIP0::10.0.0.9::5025::SOCKET");
  EXPECT_EQ(GetString(session, HNVQR_ATTR_LOGICAL_NAME), "");
}

}  // namespace
}  // namespace driver_test
