// The instrument attributes live: one walk over the command table checks, for every row,
// the exact bytes of the set command and of the query, the parsing of the reply and the
// status check that follows; then the variants and a bench user's session end to end.
#include <cstdio>
#include <cstring>
#include <string>

#include "LiveFixture.h"
#include "commands/CommandTable.h"

namespace live {
namespace {

using hnvqr::commands::Channel;

std::string Header(const char* query) { return std::string(query, std::strlen(query) - 1); }

// The command text a row's format gives for a value, formatted as the instrument reads it.
std::string Expand(std::string format, const std::string& value) {
  for (const char* conversion : {"%0.15lg", "%ld", "%s"}) {
    if (const auto at = format.find(conversion); at != std::string::npos) {
      return format.replace(at, std::strlen(conversion), value);
    }
  }
  return format;
}

std::string Real(ViReal64 value) {
  char text[64];
  std::snprintf(text, sizeof text, "%.15g", value);
  return text;
}

class LiveAttributes : public LiveTest {
 protected:
  void SetUp() override {
    LiveTest::SetUp();
    ASSERT_EQ(Open("QueryInstrStatus=1"), VI_SUCCESS) << LastError(VI_NULL);
  }
  const char* ChannelFor(Channel channel) { return channel == Channel::kIgnored ? "" : "CH1"; }
  std::vector<std::string> SentThenClear() {
    auto lines = Sent();
    server_.clear_transcript();
    return lines;
  }
};

TEST_F(LiveAttributes, EveryNumericRowSendsItsCommandAndParsesItsQuery) {
  for (const auto* row : hnvqr::commands::kReal64Commands) {
    SCOPED_TRACE(row->getterName);
    const ViReal64 value = 1.25;
    ASSERT_EQ(HnVQR_SetAttributeViReal64(vi_, ChannelFor(row->channel), row->id, value), VI_SUCCESS)
        << LastError(vi_);
    EXPECT_EQ(SentThenClear(), (std::vector<std::string>{Expand(row->setCommand, Real(value)), "*ESR?\n"}));
    server_.override_reply(Header(row->query), "7.5\n", 1);
    ViReal64 read = 0;
    ASSERT_EQ(HnVQR_GetAttributeViReal64(vi_, ChannelFor(row->channel), row->id, &read), VI_SUCCESS);
    EXPECT_EQ(read, 7.5);
    EXPECT_EQ(SentThenClear(), (std::vector<std::string>{row->query, "*ESR?\n"}));
  }
  for (const auto* row : hnvqr::commands::kInt32Commands) {
    SCOPED_TRACE(row->getterName);
    if (row->setCommand != nullptr) {
      ASSERT_EQ(HnVQR_SetAttributeViInt32(vi_, "", row->id, 32), VI_SUCCESS) << LastError(vi_);
      EXPECT_EQ(SentThenClear(), (std::vector<std::string>{Expand(row->setCommand, "32"), "*ESR?\n"}));
    } else {
      EXPECT_EQ(HnVQR_SetAttributeViInt32(vi_, "", row->id, 32), IVI_ERROR_ATTR_NOT_WRITABLE);
    }
    server_.override_reply(Header(row->query), "1536\n", 1);
    ViInt32 read = 0;
    ASSERT_EQ(HnVQR_GetAttributeViInt32(vi_, "", row->id, &read), VI_SUCCESS) << LastError(vi_);
    EXPECT_EQ(read, 1536);
    EXPECT_EQ(SentThenClear(), (std::vector<std::string>{row->query, "*ESR?\n"}));
  }
}

TEST_F(LiveAttributes, EveryMappedRowSendsTheFirstTokenAndReadsAnyToken) {
  for (const auto* row : hnvqr::commands::kBooleanCommands) {
    SCOPED_TRACE(row->getterName);
    ASSERT_EQ(HnVQR_SetAttributeViBoolean(vi_, "", row->id, VI_TRUE), VI_SUCCESS);
    EXPECT_EQ(SentThenClear(), (std::vector<std::string>{Expand(row->setCommand, "ON"), "*ESR?\n"}));
    for (const auto& [reply, expected] : {std::pair{"ON\n", VI_TRUE}, std::pair{"0\n", VI_FALSE},
                                          std::pair{" on\r\n", VI_TRUE}}) {
      server_.override_reply(Header(row->query), reply, 1);
      ViBoolean read = 9;
      ASSERT_EQ(HnVQR_GetAttributeViBoolean(vi_, "", row->id, &read), VI_SUCCESS) << reply;
      EXPECT_EQ(read, expected) << reply;
    }
    server_.clear_transcript();
    // A token the map does not know fails, and no status check follows.
    server_.override_reply(Header(row->query), "MAYBE\n", 1);
    ViBoolean read = 0;
    EXPECT_EQ(HnVQR_GetAttributeViBoolean(vi_, "", row->id, &read), IVI_ERROR_UNEXPECTED_RESPONSE);
    EXPECT_EQ(LastError(vi_),
              "Unexpected response from instrument.  Could not convert instrument response (MAYBE) to a defined value.");
    EXPECT_EQ(SentThenClear(), std::vector<std::string>{row->query});
  }

  struct EnumCase {
    ViAttr id;
    ViInt32 value;
    const char* sent;
    const char* reply;
  };
  const EnumCase cases[] = {
      {HNVQR_ATTR_ANALOG_OUTPUT_MODE, HNVQR_VAL_ANALOG_OUTPUT_MODE_SERIES, "SYST:MOD:AOUT SER\n", "Parallel\n"},
      {HNVQR_ATTR_CONTROL_SOURCE, HNVQR_VAL_CONTROL_SOURCE_REMOTE_WITH_LOCK, "SYST:MOD RWL\n", "dual\n"},
      {HNVQR_ATTR_ANALOG_VOLTAGE_SCALING_LEVEL, HNVQR_VAL_ANALOG_SCALING_LEVEL_VOLT_10, "SYST:MOD:ASC VOLT,10\n",
       "5,10\n"},
      {HNVQR_ATTR_ANALOG_CURRENT_SCALING_LEVEL, HNVQR_VAL_ANALOG_SCALING_LEVEL_VOLT_5, "SYST:MOD:ASC CURR,5\n",
       "5,10\n"},
  };
  const ViInt32 expectedReads[] = {HNVQR_VAL_ANALOG_OUTPUT_MODE_PARALLEL, HNVQR_VAL_CONTROL_SOURCE_ANALOG_DUAL,
                                   HNVQR_VAL_ANALOG_SCALING_LEVEL_VOLT_10, HNVQR_VAL_ANALOG_SCALING_LEVEL_VOLT_5};
  for (std::size_t i = 0; i < std::size(cases); ++i) {
    const auto& c = cases[i];
    SCOPED_TRACE(c.sent);
    ASSERT_EQ(HnVQR_SetAttributeViInt32(vi_, "", c.id, c.value), VI_SUCCESS) << LastError(vi_);
    EXPECT_EQ(SentThenClear(), (std::vector<std::string>{c.sent, "*ESR?\n"}));
    server_.override_reply("SYST:MOD:AOUT?", c.reply, 1);
    server_.override_reply("SYST:MOD?", c.reply, 1);
    server_.override_reply("SYST:MOD:ASC?", c.reply, 1);
    ViInt32 read = -7;
    ASSERT_EQ(HnVQR_GetAttributeViInt32(vi_, "", c.id, &read), VI_SUCCESS) << LastError(vi_);
    EXPECT_EQ(read, expectedReads[i]);
    server_.clear_reply_overrides();
    server_.clear_transcript();
  }
  // A value without a token is refused before anything is sent.
  EXPECT_EQ(HnVQR_SetAttributeViInt32(vi_, "", HNVQR_ATTR_CONTROL_SOURCE, 6), IVI_ERROR_CANNOT_RECOVER);
  EXPECT_EQ(LastError(vi_),
            "Failure cannot recover.  Could not convert defined value '6' to an instrument command.");
  EXPECT_TRUE(Sent().empty());
}

TEST_F(LiveAttributes, TextRowsReadIntoTheCallersBuffer) {
  for (const auto* row : hnvqr::commands::kTextCommands) {
    SCOPED_TRACE(row->getterName);
    server_.override_reply(Header(row->query), "SOME ANSWER\n", 1);
    ViChar text[64] = {};
    ASSERT_EQ(HnVQR_GetAttributeViString(vi_, "", row->id, sizeof text, text), VI_SUCCESS);
    EXPECT_EQ(std::string(text), "SOME ANSWER");
    EXPECT_EQ(SentThenClear(), (std::vector<std::string>{row->query, "*ESR?\n"}));
    // A buffer too small for the answer gets its start and the "too small" answer.
    server_.override_reply(Header(row->query), "SOME ANSWER\n", 1);
    EXPECT_EQ(HnVQR_GetAttributeViString(vi_, "", row->id, 5, text), 4096);
    EXPECT_EQ(std::string(text), "SOME");
    server_.clear_transcript();
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
  EXPECT_EQ(Sent(), (std::vector<std::string>{"CAL:CALC:VOLT:PAR 1,2.5,0.001,100\n", "*ESR?\n",
                                              "CAL:CALC:CURR:PAR 1e-20,-3,0,7\n", "*ESR?\n",
                                              "RSEN:RES:CALC 0.5\n", "*ESR?\n", "VOLT MAX\n", "*ESR?\n",
                                              "CURR MIN\n", "*ESR?\n", "*CLS\n", "*ESR?\n"}));
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
