// Initialization from configuration store files: logical names, driver-session switches,
// DriverSetup and initial settings, virtual channel names, and unusable store files.
#include <string>

#include "DriverTestSupport.h"

namespace driver_test {
namespace {

// One driver session "PSU1" behind the logical name "MyPSU"; sessionExtra is spliced
// into the session object (leading comma included), moduleExtra into the "HnVQR" module.
std::string Store(const std::string& sessionExtra, const std::string& moduleExtra = "") {
  return R"({"softwareModules":[{"name":"HnVQR","physicalNames":[{"name":"CH1","value":""}])" + moduleExtra +
         R"(}],
  "hardwareAssets":[{"name":"bench-psu","ioResourceDescriptor":"TCPIP0::127.0.0.1::5025::SOCKET"}],
  "driverSessions":[{"name":"PSU1","softwareModule":"HnVQR","hardwareAsset":"bench-psu")" +
         sessionExtra + R"(}],
  "logicalNames":[{"name":"MyPSU","session":"PSU1"}]})";
}

const char* const kModuleModelA2 = R"(,"initialSettings":[{"name":"model","type":"string","value":"VQR-A2"}])";
const char* const kSessionModelA2 = R"(,"initialSettings":[{"name":"Model","type":"String","value":"VQR-A2"}])";

class ConfigStore : public ::testing::Test {
 protected:
  void SetUp() override {
    sessionsBefore_ = IviSession_GetLiveSessionCount();
    configHandlesBefore_ = IviConfig_GetLiveHandleCount();
  }
  void TearDown() override {
    EXPECT_EQ(IviSession_GetLiveSessionCount(), sessionsBefore_);
    EXPECT_EQ(IviConfig_GetLiveHandleCount(), configHandlesBefore_);
  }

  // Every init, good or failing, gives back every configuration server handle it took.
  void ExpectNoConfigHandlesHeld() { EXPECT_EQ(IviConfig_GetLiveHandleCount(), configHandlesBefore_); }

  ScratchStore store_;
  ViInt32 sessionsBefore_ = 0;
  ViInt32 configHandlesBefore_ = 0;
};

TEST_F(ConfigStore, SimulatingLogicalNameWithoutModelIsTheDefaultModel) {
  store_.Select(Store(R"(,"simulate":true)"));
  ViSession vi = VI_NULL;
  ASSERT_EQ(HnVQR_init(const_cast<ViRsrc>("MyPSU"), VI_TRUE, VI_TRUE, &vi), VI_SUCCESS) << TakeError(VI_NULL);
  ExpectNoConfigHandlesHeld();
  EXPECT_EQ(GetString(vi, HNVQR_ATTR_INSTRUMENT_MODEL), "VQR-B6");
  EXPECT_EQ(GetString(vi, HNVQR_ATTR_LOGICAL_NAME), "MyPSU");
  EXPECT_EQ(GetString(vi, HNVQR_ATTR_IO_RESOURCE_DESCRIPTOR), "TCPIP0::127.0.0.1::5025::SOCKET");
  EXPECT_EQ(GetString(vi, HNVQR_ATTR_DRIVER_SETUP), "");
  EXPECT_EQ(GetBoolean(vi, HNVQR_ATTR_SIMULATE), VI_TRUE);
  // Initialized in simulation, so simulation cannot be left.
  EXPECT_EQ(HnVQR_SetAttributeViBoolean(vi, "", HNVQR_ATTR_SIMULATE, VI_FALSE),
            IVI_ERROR_CANNOT_CHANGE_SIMULATION_STATE);
  EXPECT_EQ(HnVQR_close(vi), VI_SUCCESS);
}

TEST_F(ConfigStore, SessionNameWorksLikeTheLogicalName) {
  store_.Select(Store(R"(,"simulate":true)"));
  Session session("", "PSU1");
  ASSERT_SESSION_OPEN(session);
  EXPECT_EQ(GetString(session, HNVQR_ATTR_LOGICAL_NAME), "PSU1");
}

TEST_F(ConfigStore, SessionSwitchesAreReadAndTheOptionStringOverridesThem) {
  store_.Select(Store(
      R"(,"cache":false,"interchangeCheck":false,"queryInstrStatus":true,"rangeCheck":false,"recordCoercions":true,"simulate":true)"));
  {
    Session session("", "MyPSU");
    ASSERT_SESSION_OPEN(session);
    EXPECT_EQ(GetBoolean(session, HNVQR_ATTR_CACHE), VI_FALSE);
    EXPECT_EQ(GetBoolean(session, HNVQR_ATTR_QUERY_INSTRUMENT_STATUS), VI_TRUE);
    EXPECT_EQ(GetBoolean(session, HNVQR_ATTR_RANGE_CHECK), VI_FALSE);
    EXPECT_EQ(GetBoolean(session, HNVQR_ATTR_RECORD_COERCIONS), VI_TRUE);
    EXPECT_EQ(GetBoolean(session, HNVQR_ATTR_INTERCHANGE_CHECK), VI_FALSE);
  }
  {
    Session session("Cache=1, RangeCheck=true", "MyPSU");
    ASSERT_SESSION_OPEN(session);
    EXPECT_EQ(GetBoolean(session, HNVQR_ATTR_CACHE), VI_TRUE);
    EXPECT_EQ(GetBoolean(session, HNVQR_ATTR_RANGE_CHECK), VI_TRUE);
    EXPECT_EQ(GetBoolean(session, HNVQR_ATTR_RECORD_COERCIONS), VI_TRUE);
    // ResetWithDefaults goes back to what initialization ended with, store and options combined.
    ASSERT_EQ(HnVQR_SetAttributeViBoolean(session, "", HNVQR_ATTR_RECORD_COERCIONS, VI_FALSE), VI_SUCCESS);
    ASSERT_EQ(HnVQR_SetAttributeViBoolean(session, "", HNVQR_ATTR_CACHE, VI_FALSE), VI_SUCCESS);
    ASSERT_EQ(HnVQR_ResetWithDefaults(session), VI_SUCCESS);
    EXPECT_EQ(GetBoolean(session, HNVQR_ATTR_RECORD_COERCIONS), VI_TRUE);
    EXPECT_EQ(GetBoolean(session, HNVQR_ATTR_CACHE), VI_TRUE);
  }
}

TEST_F(ConfigStore, InterchangeCheckFromTheStoreFailsInit) {
  store_.Select(Store(R"(,"interchangeCheck":true,"simulate":true)"));
  Session session("", "MyPSU");
  EXPECT_EQ(session.status(), IVI_ERROR_BAD_OPTION_VALUE);
  EXPECT_EQ(session.vi(), VI_NULL);
  EXPECT_EQ(TakeError(VI_NULL), (Error{IVI_ERROR_BAD_OPTION_VALUE,
                                       "The 'True' value in the option string is unknown.  Interchange "
                                       "checking is not supported by the driver."}));
  ExpectNoConfigHandlesHeld();
}

TEST_F(ConfigStore, ModelComesFromDriverSetupThenInitialSettingThenOptionString) {
  struct Case {
    std::string sessionExtra;
    const char* options;
    const char* model;
    const char* driverSetup;
  };
  const Case cases[] = {
      {R"(,"simulate":true,"driverSetup":"Model:VQR-A1")", "", "VQR-A1", "Model:VQR-A1"},
      {std::string(R"(,"simulate":true,"driverSetup":"Model:VQR-A4")") + kSessionModelA2, "", "VQR-A2", "Model:VQR-A4"},
      {std::string(R"(,"simulate":true)") + kSessionModelA2, "", "VQR-A2", ""},
      {std::string(R"(,"simulate":true)") + kSessionModelA2, "DriverSetup=Model:VQR-A3", "VQR-A3", "Model:VQR-A3"},
      // A DriverSetup part without Model keeps the model from the store.
      {std::string(R"(,"simulate":true,"driverSetup":"Model:VQR-A4")") + kSessionModelA2, "DriverSetup=Trace:1",
       "VQR-A2", "Trace:1"},
      {R"(,"simulate":true,"driverSetup":"Model:VQR-A4")", "DriverSetup=Trace:1", "VQR-A4", "Trace:1"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.sessionExtra + " / " + c.options);
    store_.Select(Store(c.sessionExtra));
    Session session(c.options, "MyPSU");
    ASSERT_SESSION_OPEN(session);
    ExpectNoConfigHandlesHeld();
    EXPECT_EQ(GetString(session, HNVQR_ATTR_INSTRUMENT_MODEL), c.model);
    EXPECT_EQ(GetString(session, HNVQR_ATTR_DRIVER_SETUP), c.driverSetup);
  }
}

TEST_F(ConfigStore, LongStoreTextsAreReadWhole) {
  // Past the first read's 4096 characters: a cut text would lose the model named at its end.
  store_.Select(Store(R"(,"simulate":true,"driverSetup":"Note:)" + std::string(4100, 'x') + R"(, Model:VQR-A2")"));
  ViSession vi = VI_NULL;
  ASSERT_EQ(HnVQR_init(const_cast<ViRsrc>("MyPSU"), VI_TRUE, VI_FALSE, &vi), VI_SUCCESS) << TakeError(VI_NULL);
  EXPECT_EQ(GetString(vi, HNVQR_ATTR_INSTRUMENT_MODEL), "VQR-A2");
  ViReal64 limit = 0;
  EXPECT_EQ(HnVQR_QueryMaxVoltageLevel(vi, "", 0.0, &limit), VI_SUCCESS);
  EXPECT_DOUBLE_EQ(limit, 200.0);
  EXPECT_EQ(HnVQR_close(vi), VI_SUCCESS);
}

TEST_F(ConfigStore, ResourceNameUsesTheSoftwareModuleInitialSettings) {
  store_.Select(Store(R"(,"simulate":true)", kModuleModelA2));
  Session session(kSimulate, "GPIB0::5::INSTR");
  ASSERT_SESSION_OPEN(session);
  EXPECT_EQ(GetString(session, HNVQR_ATTR_INSTRUMENT_MODEL), "VQR-A2");
  EXPECT_EQ(GetString(session, HNVQR_ATTR_LOGICAL_NAME), "");
  EXPECT_EQ(GetString(session, HNVQR_ATTR_IO_RESOURCE_DESCRIPTOR), "GPIB0::5::INSTR");
  // The module's settings are not read for a logical name: the session has its own.
  Session logical("", "MyPSU");
  ASSERT_SESSION_OPEN(logical);
  EXPECT_EQ(GetString(logical, HNVQR_ATTR_INSTRUMENT_MODEL), "VQR-B6");
}

TEST_F(ConfigStore, DuplicateDriverSetupKeyInTheStoreFailsInit) {
  store_.Select(Store(R"(,"simulate":true,"driverSetup":"Model:VQR-A1, MODEL:VQR-A2")"));
  Session session("", "MyPSU");
  EXPECT_EQ(session.status(), IVI_ERROR_CANNOT_RECOVER);
  EXPECT_EQ(TakeError(VI_NULL), (Error{IVI_ERROR_CANNOT_RECOVER,
                                       "Failure cannot recover.  DriverSetup option 'MODEL' appears more than once."}));
  ExpectNoConfigHandlesHeld();
}

ViStatus WriteOutputEnabled(ViSession vi, const char* channel) {
  return HnVQR_SetAttributeViBoolean(vi, channel, HNVQR_ATTR_OUTPUT_ENABLED, VI_TRUE);
}

ViStatus ReadOutputEnabled(ViSession vi, const char* channel) {
  ViBoolean value = 0;
  return HnVQR_GetAttributeViBoolean(vi, channel, HNVQR_ATTR_OUTPUT_ENABLED, &value);
}

TEST_F(ConfigStore, VirtualNameRangesMapOntoPhysicalNames) {
  store_.Select(Store(
      R"(,"simulate":true,"virtualNames":[{"name":"Out","map":"CH","ranges":[{"first":1,"last":2,"start":1}]}])"));
  Session session("", "MyPSU");
  ASSERT_SESSION_OPEN(session);
  for (const char* channel : {"Out1", "out1", " OUT1 ", "[Out1]"}) {
    EXPECT_EQ(WriteOutputEnabled(session, channel), VI_SUCCESS) << channel;
    EXPECT_EQ(ReadOutputEnabled(session, channel), VI_SUCCESS) << channel;
  }
  const struct {
    const char* channel;
    const char* physical;
  } unknown[] = {{"Out2", "CH2"}, {"Out", "Out"}, {"Out3", "Out3"}};
  for (const auto& c : unknown) {
    ASSERT_EQ(HnVQR_ClearError(session), VI_SUCCESS);
    EXPECT_EQ(ReadOutputEnabled(session, c.channel), IVI_ERROR_UNKNOWN_PHYSICAL_IDENTIFIER) << c.channel;
    EXPECT_EQ(TakeError(session),
              (Error{IVI_ERROR_UNKNOWN_PHYSICAL_IDENTIFIER,
                     std::string("Unknown physical repeated capability selector.  The identifier '") + c.physical +
                         "' is not defined for repeated capability 'OutputChannel'."}))
        << c.channel;
  }
  // A list is resolved name by name after the substitution: CH1, then the unknown CH2.
  EXPECT_EQ(WriteOutputEnabled(session, "Out1,Out2"), IVI_ERROR_UNKNOWN_PHYSICAL_IDENTIFIER);
}

TEST_F(ConfigStore, VirtualNameMayNameTheQualifiedPhysicalName) {
  store_.Select(Store(R"(,"simulate":true,"virtualNames":[{"name":"Out","map":"OutputChannel!!CH1"}])"));
  Session session("", "MyPSU");
  ASSERT_SESSION_OPEN(session);
  for (const char* channel : {"out", "Out", "OUT", "[out]", "CH1"}) {
    EXPECT_EQ(ReadOutputEnabled(session, channel), VI_SUCCESS) << channel;
    EXPECT_EQ(WriteOutputEnabled(session, channel), VI_SUCCESS) << channel;
  }
  EXPECT_EQ(ReadOutputEnabled(session, "out1"), IVI_ERROR_UNKNOWN_PHYSICAL_IDENTIFIER);
}

TEST_F(ConfigStore, OversizedVirtualRangeFailsInitInsteadOfExhaustingMemory) {
  store_.Select(Store(
      R"(,"simulate":true,"virtualNames":[{"name":"Out","map":"CH","ranges":[{"first":1,"last":2000000000,"start":1}]}])"));
  Session session("", "MyPSU");
  EXPECT_LT(session.status(), 0);
  EXPECT_EQ(session.vi(), VI_NULL);
  const Error error = TakeError(VI_NULL);
  EXPECT_EQ(error.code, session.status());
  EXPECT_NE(error.text.find("'Out'"), std::string::npos) << error.text;
  ExpectNoConfigHandlesHeld();
}

TEST_F(ConfigStore, ShiftedVirtualRangeOfOneName) {
  store_.Select(Store(
      R"(,"simulate":true,"virtualNames":[{"name":"Out","map":"CH","ranges":[{"first":7,"last":7,"start":1}]}])"));
  Session session("", "MyPSU");
  ASSERT_SESSION_OPEN(session);
  EXPECT_EQ(ReadOutputEnabled(session, "Out7"), VI_SUCCESS);
  EXPECT_EQ(ReadOutputEnabled(session, "Out1"), IVI_ERROR_UNKNOWN_PHYSICAL_IDENTIFIER);
}

TEST_F(ConfigStore, UnusableStoreFilesFailInitAndNameTheFile) {
  const struct {
    const char* what;
    const char* contents;
  } cases[] = {
      {"not JSON", "{ this is not json"},
      {"unknown key", R"({"softwareModules":[{"name":"HnVQR","colour":"blue"}]})"},
      {"wrong kind", R"({"driverSessions":{"name":"PSU1"}})"},
      {"empty file", ""},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    // The file name is quoted in the description, so it must not be read as a format.
    const std::string file =
        store_.Select(c.contents, std::string("broken-%s%n-") + std::to_string(&c - cases) + ".json");
    for (const char* name : {"MyPSU", "GPIB0::5::INSTR"}) {
      ViSession vi = 9;
      const ViStatus status = HnVQR_InitWithOptions(const_cast<ViRsrc>(name), VI_FALSE, VI_FALSE, kSimulate, &vi);
      EXPECT_LT(status, 0) << name;
      EXPECT_EQ(vi, VI_NULL);
      // The configuration server's codes lie between 0xBFFA1200 and 0xBFFA12FF.
      EXPECT_EQ(static_cast<unsigned>(status) & 0xFFFFFF00u, 0xBFFA1200u) << std::hex << status;
      const Error error = TakeError(VI_NULL);
      EXPECT_EQ(error.code, status);
      EXPECT_NE(error.text.find(file), std::string::npos) << error.text;
      ExpectNoConfigHandlesHeld();
    }
  }
}

TEST_F(ConfigStore, MissingProcessDefaultStoreFailsInit) {
  const std::string missing = store_.Path("does-not-exist.json");
  setenv("IVI_CONFIG_STORE", missing.c_str(), 1);
  Session session(kSimulate);
  EXPECT_LT(session.status(), 0);
  EXPECT_EQ(session.vi(), VI_NULL);
  const Error error = TakeError(VI_NULL);
  EXPECT_EQ(error.code, session.status());
  EXPECT_NE(error.text.find(missing), std::string::npos) << error.text;
  ExpectNoConfigHandlesHeld();
}

TEST_F(ConfigStore, StoreWithoutTheDriverModuleStillKnowsIt) {
  store_.Select(R"({"softwareModules":[]})");
  Session session(kSimulate);
  ASSERT_SESSION_OPEN(session);
  EXPECT_EQ(GetString(session, HNVQR_ATTR_INSTRUMENT_MODEL), "VQR-B6");
}

}  // namespace
}  // namespace driver_test
