// The instrument attributes live. Each row names the exact bytes the instrument must
// receive, written out by hand from the instrument's command set, and the value the
// emulator's own state gives back: a query or command spelt wrong in the driver reaches the
// emulator as it is and fails the row. Then the replies no real instrument sends, the
// variants and a bench user's session end to end.
#include <ostream>
#include <string>
#include <tuple>
#include <utility>
#include <variant>
#include <vector>

#include "LiveFixture.h"

namespace live {
namespace {

class LiveAttributes : public LiveTest {
 protected:
  void SetUp() override {
    LiveTest::SetUp();
    ASSERT_EQ(Open("QueryInstrStatus=1"), VI_SUCCESS) << LastError(VI_NULL);
  }
  std::vector<std::string> SentThenClear() {
    auto lines = Sent();
    server_.clear_transcript();
    return lines;
  }
};

// Output on at 12 V into the emulator's 1 MOhm load: constant voltage.
void RegulateAt12Volts(vqrsim::Server& server) {
  server.execute("VOLT 12");
  server.execute("OUTP ON");
}
// Over-voltage protection below the voltage level: the output trips when switched on.
void TripOverVoltage(vqrsim::Server& server) {
  server.execute("VOLT:PROT 10");
  server.execute("VOLT 12");
  server.execute("OUTP ON");
}
// One error in the queue; its standard event bit read away, so the status check passes.
void QueueOneError(vqrsim::Server& server) {
  server.execute("SYST:BOGUS");
  server.execute("*ESR?");
}

using Value = std::variant<ViReal64, ViInt32, ViBoolean, std::string>;

struct AttributeCase {
  const char* name;
  ViAttr id;
  const char* channel;
  const char* set;                   // the bytes a write of `value` sends; nullptr: read-only
  void (*prepare)(vqrsim::Server&);  // read-only rows: puts the emulator in the state read
  const char* get;                   // the bytes a read sends
  Value value;                       // written (when writable), then read back
};

const AttributeCase kAttributeCases[] = {
    {"VoltageLevel", HNVQR_ATTR_VOLTAGE_LEVEL, "CH1", "VOLT 12.5\n", nullptr, "VOLT?\n", 12.5},
    {"OvpLimit", HNVQR_ATTR_OVP_LIMIT, "CH1", "VOLT:PROT 30.5\n", nullptr, "VOLT:PROT?\n", 30.5},
    {"CurrentLevel", HNVQR_ATTR_CURRENT_LEVEL, "", "CURR 2.25\n", nullptr, "CURR?\n", 2.25},
    {"OverCurrentProtectionLevel", HNVQR_ATTR_OVER_CURRENT_PROTECTION_LEVEL, "", "CURR:PROT 7.5\n", nullptr,
     "CURR:PROT?\n", 7.5},
    {"CurrentLimit", HNVQR_ATTR_CURRENT_LIMIT, "CH1", "CURR:PROT 4\n", nullptr, "CURR:PROT?\n", 4.0},
    {"PowerLevel", HNVQR_ATTR_POWER_LEVEL, "", "POW 450\n", nullptr, "POW?\n", 450.0},
    {"OverPowerProtectionLevel", HNVQR_ATTR_OVER_POWER_PROTECTION_LEVEL, "", "POW:PROT 550\n", nullptr, "POW:PROT?\n",
     550.0},
    {"RemoteSenseResistance", HNVQR_ATTR_REMOTE_SENSE_RESISTANCE, "", "RSEN:RES 0.125\n", nullptr, "RSEN:RES?\n",
     0.125},

    {"OperationCondition", HNVQR_ATTR_OPERATION_CONDITION_REGISTER, "", nullptr, RegulateAt12Volts, "STAT:OPER:COND?\n",
     ViInt32{512}},
    {"OperationEnable", HNVQR_ATTR_OPERATION_ENABLE_REGISTER, "", "STAT:OPER:ENAB 512\n", nullptr, "STAT:OPER:ENAB?\n",
     ViInt32{512}},
    {"OperationEvent", HNVQR_ATTR_OPERATION_EVENT_REGISTER, "", nullptr, RegulateAt12Volts, "STAT:OPER?\n",
     ViInt32{512}},
    {"QuestionableCondition", HNVQR_ATTR_QUESTIONABLE_CONDITION_REGISTER, "", nullptr, TripOverVoltage,
     "STAT:QUES:COND?\n", ViInt32{1}},
    {"QuestionableEnable", HNVQR_ATTR_QUESTIONABLE_ENABLE_REGISTER, "", "STAT:QUES:ENAB 3\n", nullptr,
     "STAT:QUES:ENAB?\n", ViInt32{3}},
    {"QuestionableEvent", HNVQR_ATTR_QUESTIONABLE_EVENT_REGISTER, "", nullptr, TripOverVoltage, "STAT:QUES?\n",
     ViInt32{1}},
    {"HardwareEnable", HNVQR_ATTR_HARDWARE_ENABLE_REGISTER, "", "STAT:QUES:HARD:ENAB 6\n", nullptr,
     "STAT:QUES:HARD:ENAB?\n", ViInt32{6}},
    {"TemperatureEnable", HNVQR_ATTR_TEMPERATURE_ENABLE_REGISTER, "", "STAT:QUES:TEMP:ENAB 2\n", nullptr,
     "STAT:QUES:TEMP:ENAB?\n", ViInt32{2}},
    {"HardwareCondition", HNVQR_ATTR_HARDWARE_CONDITION_REGISTER, "", nullptr,
     [](vqrsim::Server& server) { server.set_hardware_condition(4); }, "STAT:QUES:HARD:COND?\n", ViInt32{4}},
    {"HardwareEvent", HNVQR_ATTR_HARDWARE_EVENT_REGISTER, "", nullptr,
     [](vqrsim::Server& server) { server.set_hardware_condition(4); }, "STAT:QUES:HARD?\n", ViInt32{4}},
    {"TemperatureCondition", HNVQR_ATTR_TEMPERATURE_CONDITION_REGISTER, "", nullptr,
     [](vqrsim::Server& server) { server.set_temperature_condition(2); }, "STAT:QUES:TEMP:COND?\n", ViInt32{2}},
    {"TemperatureEvent", HNVQR_ATTR_TEMPERATURE_EVENT_REGISTER, "", nullptr,
     [](vqrsim::Server& server) { server.set_temperature_condition(2); }, "STAT:QUES:TEMP?\n", ViInt32{2}},
    {"StandardEventEnable", HNVQR_ATTR_STANDARD_EVENT_ENABLE_REGISTER, "", "*ESE 60\n", nullptr, "*ESE?\n",
     ViInt32{60}},
    // The read takes the operation-complete bit; the status check that follows finds none.
    {"StandardEventEvent", HNVQR_ATTR_STANDARD_EVENT_EVENT_REGISTER, "", nullptr,
     [](vqrsim::Server& server) { server.execute("*OPC"); }, "*ESR?\n", ViInt32{1}},
    {"StatusByteEnable", HNVQR_ATTR_STATUS_BYTE_ENABLE_REGISTER, "", "*SRE 32\n", nullptr, "*SRE?\n", ViInt32{32}},
    {"StatusByteEvent", HNVQR_ATTR_STATUS_BYTE_EVENT_REGISTER, "", nullptr,
     [](vqrsim::Server& server) {
       server.execute("*ESE 1");
       server.execute("*OPC");
     },
     "*STB?\n", ViInt32{32}},
    {"ErrorCondition", HNVQR_ATTR_ERROR_CONDITION, "", nullptr, QueueOneError, "SYST:ERR:COND?\n", ViInt32{-113}},
    {"ErrorCount", HNVQR_ATTR_ERROR_COUNT, "", nullptr, QueueOneError, "SYST:ERR:COUN?\n", ViInt32{1}},

    {"RemoteSenseCalculationStatus", HNVQR_ATTR_REMOTE_SENSE_CALCULATION_STATUS, "", nullptr,
     [](vqrsim::Server& server) { server.execute("RSEN:RES:CALC 0.5"); }, "RSEN:RES:CALC?\n",
     ViInt32{HNVQR_VAL_REMOTE_SENSE_STATUS_CALCULATING}},
    {"AnalogOutputMode", HNVQR_ATTR_ANALOG_OUTPUT_MODE, "", "SYST:MOD:AOUT SER\n", nullptr, "SYST:MOD:AOUT?\n",
     ViInt32{HNVQR_VAL_ANALOG_OUTPUT_MODE_SERIES}},
    {"ControlSource", HNVQR_ATTR_CONTROL_SOURCE, "", "SYST:MOD RWL\n", nullptr, "SYST:MOD?\n",
     ViInt32{HNVQR_VAL_CONTROL_SOURCE_REMOTE_WITH_LOCK}},
    // The instrument answers the current level first: each level reads its own half.
    {"AnalogVoltageScalingLevel", HNVQR_ATTR_ANALOG_VOLTAGE_SCALING_LEVEL, "", "SYST:MOD:ASC VOLT,10\n", nullptr,
     "SYST:MOD:ASC?\n", ViInt32{HNVQR_VAL_ANALOG_SCALING_LEVEL_VOLT_10}},
    {"AnalogCurrentScalingLevel", HNVQR_ATTR_ANALOG_CURRENT_SCALING_LEVEL, "", "SYST:MOD:ASC CURR,5\n", nullptr,
     "SYST:MOD:ASC?\n", ViInt32{HNVQR_VAL_ANALOG_SCALING_LEVEL_VOLT_5}},

    {"AutoStartEnabled", HNVQR_ATTR_AUTO_START_ENABLED, "", "OUTP:AUTO ON\n", nullptr, "OUTP:AUTO?\n",
     ViBoolean{VI_TRUE}},
    {"RemoteSenseEnabled", HNVQR_ATTR_REMOTE_SENSE_ENABLED, "", "RSEN ON\n", nullptr, "RSEN?\n", ViBoolean{VI_TRUE}},
    {"OutputEnabled", HNVQR_ATTR_OUTPUT_ENABLED, "CH1", "OUTP ON\n", nullptr, "OUTP?\n", ViBoolean{VI_TRUE}},

    {"DeviceCapabilities", HNVQR_ATTR_DEVICE_CAPABILITIES, "", nullptr, nullptr, "SYST:CAP?\n",
     std::string{"(DCPSUPPLY WITH MEASURE)"}},
    {"LastSelfTestResult", HNVQR_ATTR_LAST_SELF_TEST_RESULT, "", nullptr,
     [](vqrsim::Server& server) {
       server.set_self_test_result(1);
       server.execute("*TST?");
       server.execute("*CLS");
     },
     "TEST:SELF:QUER?\n", std::string{"Selftest failed"}},
    {"ScpiVersion", HNVQR_ATTR_SCPI_VERSION, "", nullptr, nullptr, "SYST:VERS?\n", std::string{"1999.0"}},
};

void PrintTo(const AttributeCase& row, std::ostream* out) { *out << row.name; }

// The typed set and get of one value type, so that one walk serves every row.
struct TypedAccess {
  ViStatus (*set)(ViSession, ViConstString, ViAttr, const Value&);
  ViStatus (*get)(ViSession, ViConstString, ViAttr, Value&);
};
template <class T, auto Set, auto Get>
constexpr TypedAccess kNumericAccess{[](ViSession vi, ViConstString channel, ViAttr id, const Value& value) {
                                       return Set(vi, channel, id, std::get<T>(value));
                                     },
                                     [](ViSession vi, ViConstString channel, ViAttr id, Value& read) {
                                       T value{};
                                       const ViStatus status = Get(vi, channel, id, &value);
                                       read = value;
                                       return status;
                                     }};
const TypedAccess& AccessFor(const Value& value) {
  static const TypedAccess kText{
      [](ViSession vi, ViConstString channel, ViAttr id, const Value& text) {
        return HnVQR_SetAttributeViString(vi, channel, id, std::get<std::string>(text).c_str());
      },
      [](ViSession vi, ViConstString channel, ViAttr id, Value& read) {
        ViChar text[256] = {};
        const ViStatus status = HnVQR_GetAttributeViString(vi, channel, id, sizeof text, text);
        read = std::string(text);
        return status;
      }};
  static const TypedAccess* const kByType[] = {
      &kNumericAccess<ViReal64, HnVQR_SetAttributeViReal64, HnVQR_GetAttributeViReal64>,
      &kNumericAccess<ViInt32, HnVQR_SetAttributeViInt32, HnVQR_GetAttributeViInt32>,
      &kNumericAccess<ViBoolean, HnVQR_SetAttributeViBoolean, HnVQR_GetAttributeViBoolean>, &kText};
  return *kByType[value.index()];
}

std::string Describe(const Value& value) {
  return std::visit([](const auto& v) { return ::testing::PrintToString(v); }, value);
}

class LiveAttributeRows : public LiveAttributes, public ::testing::WithParamInterface<AttributeCase> {};

TEST_P(LiveAttributeRows, SendsItsCommandsAndReadsTheInstrumentsState) {
  const AttributeCase& row = GetParam();
  const TypedAccess& access = AccessFor(row.value);
  if (row.set != nullptr) {
    ASSERT_EQ(access.set(vi_, row.channel, row.id, row.value), VI_SUCCESS) << LastError(vi_);
    EXPECT_EQ(SentThenClear(), (std::vector<std::string>{row.set, "*ESR?\n"}));
  } else {
    EXPECT_EQ(access.set(vi_, row.channel, row.id, row.value), IVI_ERROR_ATTR_NOT_WRITABLE);
    EXPECT_TRUE(SentThenClear().empty());
    if (row.prepare != nullptr) row.prepare(server_);
  }
  Value read = row.value;
  ASSERT_EQ(access.get(vi_, row.channel, row.id, read), VI_SUCCESS) << LastError(vi_);
  EXPECT_TRUE(read == row.value) << "read " << Describe(read) << ", expected " << Describe(row.value);
  EXPECT_EQ(SentThenClear(), (std::vector<std::string>{row.get, "*ESR?\n"}));
}

INSTANTIATE_TEST_SUITE_P(EveryInstrumentAttribute, LiveAttributeRows, ::testing::ValuesIn(kAttributeCases),
                         [](const auto& param_info) { return std::string(param_info.param.name); });

// Replies a real instrument does not send, on the literal queries of the rows above: the
// long and lower-case forms of the tokens are read, and a token no map knows fails without
// a status check.
TEST_F(LiveAttributes, TokensAreReadInEveryFormAndUnknownOnesFail) {
  const struct {
    ViAttr id;
    const char* query;  // the query's header, as the row above sends it
    const char* reply;
    ViInt32 expected;
  } cases[] = {
      {HNVQR_ATTR_AUTO_START_ENABLED, "OUTP:AUTO?", "ON\n", VI_TRUE},
      {HNVQR_ATTR_AUTO_START_ENABLED, "OUTP:AUTO?", "0\n", VI_FALSE},
      {HNVQR_ATTR_AUTO_START_ENABLED, "OUTP:AUTO?", " on\r\n", VI_TRUE},
      {HNVQR_ATTR_REMOTE_SENSE_ENABLED, "RSEN?", "ON\n", VI_TRUE},
      {HNVQR_ATTR_REMOTE_SENSE_ENABLED, "RSEN?", "0\n", VI_FALSE},
      {HNVQR_ATTR_REMOTE_SENSE_ENABLED, "RSEN?", " on\r\n", VI_TRUE},
      {HNVQR_ATTR_ANALOG_OUTPUT_MODE, "SYST:MOD:AOUT?", "Parallel\n", HNVQR_VAL_ANALOG_OUTPUT_MODE_PARALLEL},
      {HNVQR_ATTR_CONTROL_SOURCE, "SYST:MOD?", "dual\n", HNVQR_VAL_CONTROL_SOURCE_ANALOG_DUAL},
      {HNVQR_ATTR_ANALOG_VOLTAGE_SCALING_LEVEL, "SYST:MOD:ASC?", "5,10\n", HNVQR_VAL_ANALOG_SCALING_LEVEL_VOLT_10},
      {HNVQR_ATTR_ANALOG_CURRENT_SCALING_LEVEL, "SYST:MOD:ASC?", "5,10\n", HNVQR_VAL_ANALOG_SCALING_LEVEL_VOLT_5},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(std::string(c.query) + " answered " + c.reply);
    server_.override_reply(c.query, c.reply, 1);
    ViInt32 read = -7;
    if (c.id == HNVQR_ATTR_AUTO_START_ENABLED || c.id == HNVQR_ATTR_REMOTE_SENSE_ENABLED) {
      ViBoolean flag = 9;
      ASSERT_EQ(HnVQR_GetAttributeViBoolean(vi_, "", c.id, &flag), VI_SUCCESS) << LastError(vi_);
      read = flag;
    } else {
      ASSERT_EQ(HnVQR_GetAttributeViInt32(vi_, "", c.id, &read), VI_SUCCESS) << LastError(vi_);
    }
    EXPECT_EQ(read, c.expected);
    EXPECT_EQ(SentThenClear(), (std::vector<std::string>{std::string(c.query) + "\n", "*ESR?\n"}));
  }
  for (const auto& [id, query] :
       {std::pair{HNVQR_ATTR_AUTO_START_ENABLED, "OUTP:AUTO?"}, std::pair{HNVQR_ATTR_REMOTE_SENSE_ENABLED, "RSEN?"}}) {
    SCOPED_TRACE(query);
    server_.override_reply(query, "MAYBE\n", 1);
    ViBoolean read = 0;
    EXPECT_EQ(HnVQR_GetAttributeViBoolean(vi_, "", id, &read), IVI_ERROR_UNEXPECTED_RESPONSE);
    EXPECT_EQ(
        LastError(vi_),
        "Unexpected response from instrument.  Could not convert instrument response (MAYBE) to a defined value.");
    EXPECT_EQ(SentThenClear(), std::vector<std::string>{std::string(query) + "\n"});
  }
  // A value without a token is refused before anything is sent.
  EXPECT_EQ(HnVQR_SetAttributeViInt32(vi_, "", HNVQR_ATTR_CONTROL_SOURCE, 6), IVI_ERROR_CANNOT_RECOVER);
  EXPECT_EQ(LastError(vi_), "Failure cannot recover.  Could not convert defined value '6' to an instrument command.");
  EXPECT_TRUE(Sent().empty());
}

TEST_F(LiveAttributes, TextTooLongForTheCallersBufferIsCut) {
  for (const auto& [id, query, start] : {std::tuple{HNVQR_ATTR_DEVICE_CAPABILITIES, "SYST:CAP?\n", "(DCP"},
                                         std::tuple{HNVQR_ATTR_LAST_SELF_TEST_RESULT, "TEST:SELF:QUER?\n", "Self"},
                                         std::tuple{HNVQR_ATTR_SCPI_VERSION, "SYST:VERS?\n", "1999"}}) {
    SCOPED_TRACE(query);
    ViChar text[64] = {};
    EXPECT_EQ(HnVQR_GetAttributeViString(vi_, "", id, 5, text), HNVQR_MAX_STRING_ATTRIBUTE_LENGTH);
    EXPECT_EQ(std::string(text), start);
    const auto sent = SentThenClear();
    ASSERT_FALSE(sent.empty());
    EXPECT_EQ(sent.front(), query);
  }
}

TEST_F(LiveAttributes, VariantsOfTheOutputAttributes) {
  // The class current limit is the over-current protection level.
  ASSERT_EQ(HnVQR_SetAttributeViReal64(vi_, "", HNVQR_ATTR_CURRENT_LIMIT, 2.0), VI_SUCCESS);
  EXPECT_EQ(SentThenClear(), (std::vector<std::string>{"CURR:PROT 2\n", "*ESR?\n"}));
  ASSERT_EQ(HnVQR_SetAttributeViReal64(vi_, "CH1", HNVQR_ATTR_OVP_LIMIT, 30.5), VI_SUCCESS);
  EXPECT_EQ(SentThenClear(), (std::vector<std::string>{"VOLT:PROT 30.5\n", "*ESR?\n"}));
  // Output enable: boolean token, channel checked.
  ASSERT_EQ(HnVQR_ConfigureOutputEnabled(vi_, "CH1", VI_FALSE), VI_SUCCESS);
  EXPECT_EQ(SentThenClear(), (std::vector<std::string>{"OUTP OFF\n", "*ESR?\n"}));
  ASSERT_EQ(HnVQR_ResetOutputProtection(vi_, "CH1"), VI_SUCCESS);
  EXPECT_EQ(SentThenClear(), (std::vector<std::string>{"OUTP ON\n", "*ESR?\n"}));
  ViBoolean on = VI_FALSE;
  ASSERT_EQ(HnVQR_GetAttributeViBoolean(vi_, "CH1", HNVQR_ATTR_OUTPUT_ENABLED, &on), VI_SUCCESS);
  EXPECT_EQ(on, VI_TRUE);
  server_.clear_transcript();
  // Fixed capabilities send nothing.
  EXPECT_EQ(HnVQR_ConfigureOVP(vi_, "CH1", VI_TRUE, 40.0), VI_SUCCESS);
  EXPECT_EQ(SentThenClear(), (std::vector<std::string>{"VOLT:PROT 40\n", "*ESR?\n"}));
  EXPECT_EQ(HnVQR_ConfigureOVP(vi_, "CH1", VI_FALSE, 40.0), IVI_ERROR_VALUE_NOT_SUPPORTED);
  EXPECT_EQ(HnVQR_ConfigureCurrentLimit(vi_, "CH1", HNVQR_VAL_CURRENT_REGULATE, 1.0), IVI_ERROR_VALUE_NOT_SUPPORTED);
  EXPECT_TRUE(SentThenClear().empty());
  // An unknown channel is refused before anything is sent.
  EXPECT_EQ(HnVQR_ConfigureVoltageLevel(vi_, "CH2", 1.0), IVI_ERROR_UNKNOWN_PHYSICAL_IDENTIFIER);
  EXPECT_TRUE(Sent().empty());
}

TEST_F(LiveAttributes, InstrumentOperationsSendTheirCommands) {
  ASSERT_EQ(HnVQR_ConfigureVoltageCalibration(vi_, 1, 2.5, 0.001, 100), VI_SUCCESS);
  ASSERT_EQ(HnVQR_ConfigureCurrentCalibration(vi_, 1e-20, -3, 0, 7), VI_SUCCESS);
  ASSERT_EQ(HnVQR_CalculateRemoteSenseResistance(vi_, 0.5), VI_SUCCESS);
  ASSERT_EQ(HnVQR_SetMaxVoltageLevel(vi_), VI_SUCCESS);
  ASSERT_EQ(HnVQR_SetMinCurrentLevel(vi_), VI_SUCCESS);
  ASSERT_EQ(HnVQR_ClearStatus(vi_), VI_SUCCESS);
  EXPECT_EQ(Sent(),
            (std::vector<std::string>{"CAL:CALC:VOLT:PAR 1,2.5,0.001,100\n", "*ESR?\n",
                                      "CAL:CALC:CURR:PAR 1e-20,-3,0,7\n", "*ESR?\n", "RSEN:RES:CALC 0.5\n", "*ESR?\n",
                                      "VOLT MAX\n", "*ESR?\n", "CURR MIN\n", "*ESR?\n", "*CLS\n", "*ESR?\n"}));
}

// A bench user's session, as a script: the same on the LAN socket and on the serial link.
void BenchSession(vqrsim::Server& server, const std::string& resource) {
  ViSession vi = VI_NULL;
  ASSERT_EQ(HnVQR_InitWithOptions(const_cast<ViRsrc>(resource.c_str()), VI_TRUE, VI_TRUE, "QueryInstrStatus=1", &vi),
            VI_SUCCESS)
      << LastError(VI_NULL);
  ASSERT_TRUE(server.set_load_ohms(10.0));
  ASSERT_EQ(HnVQR_ConfigureVoltageLevel(vi, "CH1", 12.0), VI_SUCCESS) << LastError(vi);
  ASSERT_EQ(HnVQR_SetAttributeViReal64(vi, "", HNVQR_ATTR_CURRENT_LEVEL, 2.0), VI_SUCCESS) << LastError(vi);
  ASSERT_EQ(HnVQR_ConfigureOutputEnabled(vi, "CH1", VI_TRUE), VI_SUCCESS) << LastError(vi);

  ViReal64 volts = 0;
  ViReal64 amps = 0;
  ViBoolean inState = VI_FALSE;
  ASSERT_EQ(HnVQR_Measure(vi, "CH1", HNVQR_VAL_MEASURE_VOLTAGE, &volts), VI_SUCCESS);
  ASSERT_EQ(HnVQR_Measure(vi, "CH1", HNVQR_VAL_MEASURE_CURRENT, &amps), VI_SUCCESS);
  EXPECT_NEAR(volts, 12.0, 0.05);
  EXPECT_NEAR(amps, 1.2, 0.01);
  ASSERT_EQ(HnVQR_QueryOutputState(vi, "CH1", HNVQR_VAL_OUTPUT_CONSTANT_VOLTAGE, &inState), VI_SUCCESS);
  EXPECT_EQ(inState, VI_TRUE);

  ASSERT_TRUE(server.set_load_ohms(2.0));
  ASSERT_EQ(HnVQR_QueryOutputState(vi, "CH1", HNVQR_VAL_OUTPUT_CONSTANT_CURRENT, &inState), VI_SUCCESS);
  EXPECT_EQ(inState, VI_TRUE);
  ASSERT_EQ(HnVQR_MeasureCurrent(vi, &amps), VI_SUCCESS);
  EXPECT_NEAR(amps, 2.0, 0.01);

  ASSERT_TRUE(server.set_load_ohms(10.0));
  ASSERT_EQ(HnVQR_ConfigureOVP(vi, "CH1", VI_TRUE, 10.0), VI_SUCCESS) << LastError(vi);
  ViBoolean enabled = VI_TRUE;
  ASSERT_EQ(HnVQR_GetAttributeViBoolean(vi, "CH1", HNVQR_ATTR_OUTPUT_ENABLED, &enabled), VI_SUCCESS);
  EXPECT_EQ(enabled, VI_FALSE);
  ASSERT_EQ(HnVQR_QueryOutputState(vi, "CH1", HNVQR_VAL_OUTPUT_OVER_VOLTAGE, &inState), VI_SUCCESS);
  EXPECT_EQ(inState, VI_TRUE);

  ViInt32 code = -1;
  ViChar message[256] = {};
  ASSERT_EQ(HnVQR_error_query(vi, &code, message), VI_SUCCESS);
  EXPECT_EQ(code, 0);
  EXPECT_EQ(std::string(message), "No error");
  EXPECT_EQ(HnVQR_close(vi), VI_SUCCESS);
}

TEST(LiveBench, BenchUserSessionOverTheLan) {
  vqrsim::Server server(vqrsim::ServerOptions{"VQR-A4", 1e6, false});
  BenchSession(server, server.start_tcp());
}

TEST(LiveBench, BenchUserSessionOverTheSerialLink) {
  vqrsim::Server server(vqrsim::ServerOptions{"VQR-A4", 1e6, false});
  BenchSession(server, server.start_serial());
}

}  // namespace
}  // namespace live
