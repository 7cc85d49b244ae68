// Opening live sessions, identification, the status check, time-outs, lost links and
// direct I/O, against the emulator.
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <cstring>

#include <visa.h>

#include "../support/LiveChecks.h"
#include "LiveFixture.h"

extern "C" ViStatus QueryIdentityThroughDriverSession(ViSession driverSession, ViChar identity[256]);

namespace live {
namespace {

using test_support::StringAttribute;

void ExpectRatings(ViSession vi, ViReal64 power, ViReal64 voltage, ViReal64 current) {
  ViReal64 limit = 0;
  ASSERT_EQ(HnVQR_QueryMaxCurrentLimit(vi, "", 0.0, &limit), VI_SUCCESS);
  EXPECT_DOUBLE_EQ(limit, current);
  ASSERT_EQ(HnVQR_QueryMaxCurrentLimit(vi, "", voltage, &limit), VI_SUCCESS);
  EXPECT_DOUBLE_EQ(limit, std::min(current, power / voltage));
  ASSERT_EQ(HnVQR_QueryMaxVoltageLevel(vi, "", 0.0, &limit), VI_SUCCESS);
  EXPECT_DOUBLE_EQ(limit, voltage);
}

using LiveIo = LiveTest;

TEST_F(LiveIo, InitializationIdentifiesTheModelAndItsRatings) {
  ASSERT_EQ(Open(), VI_SUCCESS) << LastError(VI_NULL);
  test_support::ExpectEmulatorIdentity(vi_, resource_);
  ExpectRatings(vi_, 600, 50, 20);
}

TEST_F(LiveIo, InitializationWithStatusQueryClearsAndChecksTheInstrument) {
  server_.clear_transcript();
  ViSession vi = VI_NULL;
  ASSERT_EQ(HnVQR_InitWithOptions(const_cast<ViRsrc>(resource_.c_str()), VI_TRUE, VI_FALSE, "QueryInstrStatus=1", &vi),
            VI_SUCCESS);
  EXPECT_EQ(Sent(), (std::vector<std::string>{"*CLS\n", "*ESR?\n", "*IDN?\n", "*ESR?\n"}));
  EXPECT_EQ(HnVQR_close(vi), VI_SUCCESS);
}

TEST_F(LiveIo, CommandWithoutStatusQueryIsExactlyOneWrite) {
  ASSERT_EQ(Open("QueryInstrStatus=0"), VI_SUCCESS);
  ASSERT_EQ(HnVQR_ConfigureVoltageLevel(vi_, "CH1", 12.5), VI_SUCCESS);
  // A command has no answer to wait for: let the emulator record it.
  ASSERT_TRUE(server_.wait_for_transcript(1, std::chrono::seconds(5)));
  EXPECT_EQ(Sent(), std::vector<std::string>{"VOLT 12.5\n"});
}

TEST_F(LiveIo, StandardEventErrorBitsBecomeAnInstrumentStatusError) {
  ASSERT_EQ(Open("QueryInstrStatus=1"), VI_SUCCESS);
  server_.override_reply("*ESR?", "32\n", 1);
  EXPECT_EQ(HnVQR_ConfigureVoltageLevel(vi_, "CH1", 12.5), IVI_ERROR_INSTRUMENT_STATUS);
  EXPECT_EQ(LastError(vi_), "Instrument error detected.  Use ErrorQuery() to determine the error(s).");
  EXPECT_EQ(Sent(), (std::vector<std::string>{"VOLT 12.5\n", "*ESR?\n"}));
  // Operation complete (1) and power on (128) are not errors.
  for (const char* answer : {"1\n", "128\n"}) {
    server_.override_reply("*ESR?", answer, 1);
    EXPECT_EQ(HnVQR_ConfigureVoltageLevel(vi_, "CH1", 1.0), VI_SUCCESS) << answer;
  }
  // A real execution error on the instrument is caught the same way.
  EXPECT_EQ(HnVQR_ConfigureVoltageLevel(vi_, "CH1", 5000.0), IVI_ERROR_INSTRUMENT_STATUS);
}

TEST_F(LiveIo, UnknownModelFailsInitializationAfterClosingTheIo) {
  server_.override_reply("*IDN?", "Halvorn,VQR-Z9,SIM1,1.0\n");
  const int descriptors = OpenDescriptorCount();
  ViSession vi = 77;
  EXPECT_EQ(HnVQR_InitWithOptions(const_cast<ViRsrc>(resource_.c_str()), VI_FALSE, VI_FALSE, "", &vi),
            IVI_ERROR_CANNOT_RECOVER);
  EXPECT_EQ(vi, VI_NULL);
  EXPECT_EQ(LastError(VI_NULL), "Failure cannot recover.  Unrecognized model: VQR-Z9");
  EXPECT_TRUE(DescriptorCountReturnsTo(descriptors));
  // The model is compared with its case.
  server_.override_reply("*IDN?", "Halvorn,vqr-a4,SIM1,1.0\n");
  EXPECT_EQ(HnVQR_InitWithOptions(const_cast<ViRsrc>(resource_.c_str()), VI_TRUE, VI_FALSE, "", &vi),
            IVI_ERROR_CANNOT_RECOVER);
}

TEST_F(LiveIo, MalformedIdentityAnswersFailWithoutOverrunningAnything) {
  const int descriptors = OpenDescriptorCount();
  for (const std::string& answer :
       {std::string("Halvorn,VQR-A4,SIM1\n"), std::string("Halvorn,") + std::string(300, 'M') + ",S,1\n",
        std::string("\x01\x02\xff,\n"), std::string("no commas at all\n")}) {
    server_.override_reply("*IDN?", answer, 1);
    ViSession vi = VI_NULL;
    const ViStatus status = HnVQR_InitWithOptions(const_cast<ViRsrc>(resource_.c_str()), VI_TRUE, VI_FALSE, "", &vi);
    EXPECT_LT(status, 0) << answer;
    EXPECT_EQ(vi, VI_NULL);
  }
  EXPECT_TRUE(DescriptorCountReturnsTo(descriptors));
}

TEST_F(LiveIo, DirectReadReturnsAtMostCountBytesAndDiscardsTheRest) {
  ASSERT_EQ(Open(), VI_SUCCESS);
  ViByte command[] = "*IDN?\n";
  ViInt64 count = 0;
  ASSERT_EQ(HnVQR_viWrite(vi_, 6, command, &count), VI_SUCCESS);
  EXPECT_EQ(count, 6);
  ViByte buffer[16] = {};
  EXPECT_GE(HnVQR_viRead(vi_, 10, buffer, &count), VI_SUCCESS);
  EXPECT_EQ(count, 10);
  EXPECT_EQ(std::string(reinterpret_cast<char*>(buffer), 10), "Halvorn,VQ");
  // Nothing of the first answer is left for the next exchange.
  ViReal64 volts = -1;
  EXPECT_EQ(HnVQR_MeasureVoltage(vi_, &volts), VI_SUCCESS);
  EXPECT_EQ(volts, 0.0);
}

TEST_F(LiveIo, CallersCanUseTheDriversVisaSessionWithTheirOwnCalls) {
  ASSERT_EQ(Open(), VI_SUCCESS);
  ViChar identity[256];
  ASSERT_EQ(QueryIdentityThroughDriverSession(vi_, identity), VI_SUCCESS);
  EXPECT_EQ(std::string(identity), "Halvorn,VQR-A4,SIM000123,2.14");
}

TEST_F(LiveIo, SilentInstrumentTimesOutAndTheSessionStillCloses) {
  ASSERT_EQ(Open(), VI_SUCCESS);
  ASSERT_EQ(HnVQR_SetAttributeViInt32(vi_, "", HNVQR_ATTR_SYSTEM_IO_TIMEOUT, 200), VI_SUCCESS);
  ViInt32 timeout = 0;
  ASSERT_EQ(HnVQR_GetAttributeViInt32(vi_, "", HNVQR_ATTR_SYSTEM_IO_TIMEOUT, &timeout), VI_SUCCESS);
  EXPECT_EQ(timeout, 200);
  server_.set_reply_delay(std::chrono::milliseconds(1500));
  ViReal64 volts = 0;
  const auto start = std::chrono::steady_clock::now();
  EXPECT_EQ(HnVQR_MeasureVoltage(vi_, &volts), VI_ERROR_TMO);
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(1400));
  server_.set_reply_delay(std::chrono::milliseconds(0));
  EXPECT_EQ(HnVQR_close(vi_), VI_SUCCESS);
  vi_ = VI_NULL;
}

TEST_F(LiveIo, LateAnswerIsNeverTakenForTheNextQuerysAnswer) {
  ASSERT_EQ(Open(), VI_SUCCESS);
  ASSERT_EQ(HnVQR_ConfigureVoltageLevel(vi_, "CH1", 12.0), VI_SUCCESS);
  ASSERT_EQ(HnVQR_ConfigureOutputEnabled(vi_, "CH1", VI_TRUE), VI_SUCCESS);
  ASSERT_EQ(HnVQR_SetAttributeViInt32(vi_, "", HNVQR_ATTR_SYSTEM_IO_TIMEOUT, 200), VI_SUCCESS);
  server_.set_reply_delay(std::chrono::milliseconds(500));
  ViReal64 volts = 0;
  EXPECT_EQ(HnVQR_MeasureVoltage(vi_, &volts), VI_ERROR_TMO);
  // The voltage is still on its way when the next query goes out.
  server_.set_reply_delay(std::chrono::milliseconds(0));
  ASSERT_EQ(HnVQR_SetAttributeViInt32(vi_, "", HNVQR_ATTR_SYSTEM_IO_TIMEOUT, 2000), VI_SUCCESS);
  ViReal64 amps = 0;
  ASSERT_EQ(HnVQR_MeasureCurrent(vi_, &amps), VI_SUCCESS);
  EXPECT_NEAR(amps, 12.0 / 1e6, 1e-9);  // 12 V across the emulator's 1 MOhm load
  ASSERT_EQ(HnVQR_MeasureVoltage(vi_, &volts), VI_SUCCESS);
  EXPECT_DOUBLE_EQ(volts, 12.0);
}

TEST_F(LiveIo, DirectIoRefusesCountsItCannotPassOn) {
  ASSERT_EQ(Open(), VI_SUCCESS);
  ViByte buffer[8] = {};
  ViInt64 count = 99;
  for (const ViInt64 bad : {ViInt64{-1}, ViInt64{1} << 33}) {
    EXPECT_EQ(HnVQR_viRead(vi_, bad, buffer, &count), IVI_ERROR_INVALID_VALUE);
    EXPECT_EQ(LastError(vi_), "Invalid value '" + std::to_string(bad) + "' for function 'viRead', parameter 'Count'.");
    EXPECT_EQ(HnVQR_viWrite(vi_, bad, buffer, &count), IVI_ERROR_INVALID_VALUE);
    EXPECT_EQ(LastError(vi_), "Invalid value '" + std::to_string(bad) + "' for function 'viWrite', parameter 'Count'.");
  }
  EXPECT_TRUE(Sent().empty());
}

TEST_F(LiveIo, DroppedLinkIsReportedAndANewSessionWorks) {
  ASSERT_EQ(Open(), VI_SUCCESS);
  server_.drop_after_next_line();
  ViReal64 volts = 0;
  EXPECT_EQ(HnVQR_MeasureVoltage(vi_, &volts), VI_ERROR_CONN_LOST);
  EXPECT_EQ(HnVQR_close(vi_), VI_SUCCESS);
  vi_ = VI_NULL;
  ASSERT_EQ(Open(), VI_SUCCESS) << LastError(VI_NULL);
  EXPECT_EQ(HnVQR_MeasureVoltage(vi_, &volts), VI_SUCCESS);
}

TEST_F(LiveIo, BadAndUnreachableResourcesFailWithVisaStatuses) {
  ViSession vi = VI_NULL;
  EXPECT_EQ(HnVQR_InitWithOptions(const_cast<ViRsrc>("TCPIP0::127.0.0.1::SOCKET"), VI_TRUE, VI_FALSE, "", &vi),
            VI_ERROR_INV_RSRC_NAME);
  EXPECT_EQ(HnVQR_InitWithOptions(const_cast<ViRsrc>("not a resource"), VI_TRUE, VI_FALSE, "", &vi),
            VI_ERROR_INV_RSRC_NAME);
  // A port nobody listens on: bind one, note it, close it.
  const int probe = socket(AF_INET, SOCK_STREAM, 0);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  socklen_t length = sizeof address;
  ASSERT_EQ(bind(probe, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
  ASSERT_EQ(getsockname(probe, reinterpret_cast<sockaddr*>(&address), &length), 0);
  const std::string refused = "TCPIP0::127.0.0.1::" + std::to_string(ntohs(address.sin_port)) + "::SOCKET";
  close(probe);
  EXPECT_EQ(HnVQR_InitWithOptions(const_cast<ViRsrc>(refused.c_str()), VI_TRUE, VI_FALSE, "", &vi),
            VI_ERROR_RSRC_NFOUND);
  EXPECT_EQ(vi, VI_NULL);
}

TEST_F(LiveIo, ResetUsesItsOwnTimeoutAndRestoresTheCallers) {
  ASSERT_EQ(Open(), VI_SUCCESS);
  ASSERT_EQ(HnVQR_SetAttributeViInt32(vi_, "", HNVQR_ATTR_SYSTEM_IO_TIMEOUT, 1234), VI_SUCCESS);
  ASSERT_EQ(HnVQR_reset(vi_), VI_SUCCESS);
  EXPECT_EQ(Sent(), (std::vector<std::string>{"*RST\n", "*OPC?\n"}));
  ViInt32 timeout = 0;
  ASSERT_EQ(HnVQR_GetAttributeViInt32(vi_, "", HNVQR_ATTR_SYSTEM_IO_TIMEOUT, &timeout), VI_SUCCESS);
  EXPECT_EQ(timeout, 1234);
}

TEST_F(LiveIo, SessionSwitchedIntoSimulationAnswersFromTheCacheAndStillClosesItsLink) {
  const int descriptors = OpenDescriptorCount();
  ASSERT_EQ(Open(), VI_SUCCESS);
  ASSERT_EQ(HnVQR_ConfigureVoltageLevel(vi_, "CH1", 12.5), VI_SUCCESS);
  ASSERT_EQ(HnVQR_SetAttributeViBoolean(vi_, "", HNVQR_ATTR_SIMULATE, VI_TRUE), VI_SUCCESS);
  ASSERT_TRUE(server_.wait_for_transcript(1, std::chrono::seconds(5)));
  server_.clear_transcript();
  ViReal64 level = 0;
  ASSERT_EQ(HnVQR_GetAttributeViReal64(vi_, "", HNVQR_ATTR_VOLTAGE_LEVEL, &level), VI_SUCCESS);
  EXPECT_EQ(level, 12.5);
  ASSERT_EQ(HnVQR_GetAttributeViReal64(vi_, "", HNVQR_ATTR_POWER_LEVEL, &level), VI_SUCCESS);
  EXPECT_EQ(level, 300.0);
  EXPECT_TRUE(Sent().empty());
  ASSERT_EQ(HnVQR_SetAttributeViBoolean(vi_, "", HNVQR_ATTR_SIMULATE, VI_FALSE), VI_SUCCESS);
  ASSERT_EQ(HnVQR_MeasureVoltage(vi_, &level), VI_SUCCESS);
  EXPECT_EQ(Sent(), std::vector<std::string>{"MEAS:VOLT?\n"});
  // Closed while simulating, the live link is still released.
  ASSERT_EQ(HnVQR_SetAttributeViBoolean(vi_, "", HNVQR_ATTR_SIMULATE, VI_TRUE), VI_SUCCESS);
  ASSERT_EQ(HnVQR_close(vi_), VI_SUCCESS);
  vi_ = VI_NULL;
  EXPECT_TRUE(DescriptorCountReturnsTo(descriptors));
}

TEST_F(LiveIo, SetRefusedByTheInstrumentIsNotReadBackInSimulation) {
  ASSERT_EQ(Open("QueryInstrStatus=true"), VI_SUCCESS);
  ASSERT_EQ(HnVQR_ConfigureVoltageLevel(vi_, "CH1", 12.5), VI_SUCCESS);
  EXPECT_LT(HnVQR_ConfigureVoltageLevel(vi_, "CH1", 5000.0), VI_SUCCESS);
  ASSERT_EQ(HnVQR_SetAttributeViBoolean(vi_, "", HNVQR_ATTR_SIMULATE, VI_TRUE), VI_SUCCESS);
  ViReal64 level = 0;
  ASSERT_EQ(HnVQR_GetAttributeViReal64(vi_, "", HNVQR_ATTR_VOLTAGE_LEVEL, &level), VI_SUCCESS);
  EXPECT_NE(level, 5000.0);
  EXPECT_NE(level, 12.5) << "the failed set leaves the instrument's level unknown";
}

class LiveSerial : public LiveTest {
 protected:
  void SetUp() override { resource_ = server_.start_serial(); }
};

TEST_F(LiveSerial, SerialLinkIsConfiguredAndIdentifiesTheModel) {
  ASSERT_EQ(Open(), VI_SUCCESS) << LastError(VI_NULL);
  EXPECT_EQ(StringAttribute(vi_, HNVQR_ATTR_INSTRUMENT_MODEL), "VQR-A4");
  ExpectRatings(vi_, 600, 50, 20);
  ViSession io = VI_NULL;
  ASSERT_EQ(HnVQR_GetAttributeViSession(vi_, "", HNVQR_ATTR_SYSTEM_IO_SESSION, &io), VI_SUCCESS);
  ViUInt32 baud = 0;
  ViUInt16 dataBits = 0, parity = 9, stopBits = 0, flow = 9, endIn = 0, endOut = 9;
  ASSERT_EQ(viGetAttribute(io, VI_ATTR_ASRL_BAUD, &baud), VI_SUCCESS);
  ASSERT_EQ(viGetAttribute(io, VI_ATTR_ASRL_DATA_BITS, &dataBits), VI_SUCCESS);
  ASSERT_EQ(viGetAttribute(io, VI_ATTR_ASRL_PARITY, &parity), VI_SUCCESS);
  ASSERT_EQ(viGetAttribute(io, VI_ATTR_ASRL_STOP_BITS, &stopBits), VI_SUCCESS);
  ASSERT_EQ(viGetAttribute(io, VI_ATTR_ASRL_FLOW_CNTRL, &flow), VI_SUCCESS);
  ASSERT_EQ(viGetAttribute(io, VI_ATTR_ASRL_END_IN, &endIn), VI_SUCCESS);
  ASSERT_EQ(viGetAttribute(io, VI_ATTR_ASRL_END_OUT, &endOut), VI_SUCCESS);
  EXPECT_EQ(baud, 57600u);
  EXPECT_EQ(dataBits, 8);
  EXPECT_EQ(parity, VI_ASRL_PAR_NONE);
  EXPECT_EQ(stopBits, VI_ASRL_STOP_ONE);
  EXPECT_EQ(flow, VI_ASRL_FLOW_NONE);
  EXPECT_EQ(endIn, VI_ASRL_END_TERMCHAR);
  EXPECT_EQ(endOut, VI_ASRL_END_NONE);
}

class LiveUnknownModel : public LiveTest {
 protected:
  LiveUnknownModel() : LiveTest("VQR-X7") {}
};

TEST_F(LiveUnknownModel, EmulatorOfAnUnknownModelIsRefused) {
  ViSession vi = VI_NULL;
  EXPECT_EQ(HnVQR_InitWithOptions(const_cast<ViRsrc>(resource_.c_str()), VI_TRUE, VI_FALSE, "", &vi),
            IVI_ERROR_CANNOT_RECOVER);
  EXPECT_EQ(LastError(VI_NULL), "Failure cannot recover.  Unrecognized model: VQR-X7");
}

}  // namespace
}  // namespace live
