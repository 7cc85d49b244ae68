// Live sessions of the Windows driver: against the Linux emulator (vqr-sim) over loopback,
// whose resource HNVQR_LIVE_RESOURCE names, and against a scripted peer of this program's
// own for what an emulator does not stage on request (a link dropped, an answer withheld).
#include <gtest/gtest.h>
#include <winsock2.h>
#include <ws2tcpip.h>

#include <chrono>
#include <cstdlib>
#include <string>
#include <thread>

#include "HnVQR.h"
#include "../../tests/support/LastError.h"
#include "../../tests/support/LiveChecks.h"
#include "visa.h"

extern "C" ViStatus QueryIdentityThroughDriverSession(ViSession driverSession, ViChar identity[256]);

namespace {

using test_support::LastError;

class LiveEmulator : public ::testing::Test {
 protected:
  void SetUp() override {
    const char* resource = std::getenv("HNVQR_LIVE_RESOURCE");
    ASSERT_NE(resource, nullptr) << "HNVQR_LIVE_RESOURCE names the emulator (scripts/test-windows.sh sets it)";
    resource_ = resource;
  }
  void TearDown() override {
    if (vi_ != VI_NULL) {
      EXPECT_EQ(HnVQR_close(vi_), VI_SUCCESS);
    }
  }
  // Opens with the identity query and a reset, so each test starts from the same state.
  ViStatus Open(const char* options = "") {
    return HnVQR_InitWithOptions(const_cast<ViRsrc>(resource_.c_str()), VI_TRUE, VI_TRUE, options, &vi_);
  }

  std::string resource_;
  ViSession vi_ = VI_NULL;
};

TEST_F(LiveEmulator, InitializationIdentifiesTheModel) {
  ASSERT_EQ(Open(), VI_SUCCESS) << LastError(VI_NULL);
  test_support::ExpectEmulatorIdentity(vi_, resource_);
  // The caller's own VISA calls on the driver's I/O session reach the same instrument.
  ViChar identity[256];
  ASSERT_EQ(QueryIdentityThroughDriverSession(vi_, identity), VI_SUCCESS);
  EXPECT_EQ(std::string(identity), "Halvorn,VQR-A4,SIM000123,2.14");
}

TEST_F(LiveEmulator, ConfigureAndMeasure) {
  ASSERT_EQ(Open(), VI_SUCCESS) << LastError(VI_NULL);
  ASSERT_EQ(HnVQR_ConfigureVoltageLevel(vi_, "CH1", 12.0), VI_SUCCESS) << LastError(vi_);
  ASSERT_EQ(HnVQR_ConfigureCurrentLimit(vi_, "CH1", HNVQR_VAL_CURRENT_TRIP, 1.0), VI_SUCCESS) << LastError(vi_);
  ASSERT_EQ(HnVQR_ConfigureOutputEnabled(vi_, "CH1", VI_TRUE), VI_SUCCESS) << LastError(vi_);
  // Read back from the instrument, not from the cache.
  ASSERT_EQ(HnVQR_SetAttributeViBoolean(vi_, "", HNVQR_ATTR_CACHE, VI_FALSE), VI_SUCCESS);
  ViReal64 level = 0;
  ASSERT_EQ(HnVQR_GetAttributeViReal64(vi_, "CH1", HNVQR_ATTR_VOLTAGE_LEVEL, &level), VI_SUCCESS);
  EXPECT_DOUBLE_EQ(level, 12.0);
  ViReal64 volts = 0;
  ViReal64 amps = 0;
  ASSERT_EQ(HnVQR_MeasureVoltage(vi_, &volts), VI_SUCCESS) << LastError(vi_);
  ASSERT_EQ(HnVQR_MeasureCurrent(vi_, &amps), VI_SUCCESS) << LastError(vi_);
  EXPECT_DOUBLE_EQ(volts, 12.0);
  EXPECT_NEAR(amps, 12.0 / 1e6, 1e-9);  // 12 V across the emulator's 1 MOhm load
  ASSERT_EQ(HnVQR_ConfigureOutputEnabled(vi_, "CH1", VI_FALSE), VI_SUCCESS);
}

TEST_F(LiveEmulator, InstrumentErrorsAreCaughtByTheStatusCheckAndReadByErrorQuery) {
  ASSERT_EQ(Open("QueryInstrStatus=1"), VI_SUCCESS) << LastError(VI_NULL);
  EXPECT_EQ(HnVQR_ConfigureVoltageLevel(vi_, "CH1", 5000.0), IVI_ERROR_INSTRUMENT_STATUS);
  EXPECT_EQ(LastError(vi_), "Instrument error detected.  Use ErrorQuery() to determine the error(s).");
  ViInt32 code = 0;
  ViChar message[256] = {};
  ASSERT_EQ(HnVQR_error_query(vi_, &code, message), VI_SUCCESS);
  EXPECT_LT(code, 0) << message;
  // An unknown command leaves its error in the queue; then the queue is empty.
  test_support::ExpectUnknownCommandQueuedOnce(vi_);
}

TEST_F(LiveEmulator, ReadWithNothingToAnswerTimesOutAndTheSessionGoesOn) {
  ASSERT_EQ(Open(), VI_SUCCESS) << LastError(VI_NULL);
  ASSERT_EQ(HnVQR_SetAttributeViInt32(vi_, "", HNVQR_ATTR_SYSTEM_IO_TIMEOUT, 200), VI_SUCCESS);
  ViByte buffer[64] = {};
  ViInt64 count = 0;
  const auto start = std::chrono::steady_clock::now();
  EXPECT_EQ(HnVQR_viRead(vi_, sizeof buffer, buffer, &count), VI_ERROR_TMO);
  const auto waited = std::chrono::steady_clock::now() - start;
  EXPECT_GE(waited, std::chrono::milliseconds(150));
  EXPECT_LT(waited, std::chrono::milliseconds(2000));
  ASSERT_EQ(HnVQR_SetAttributeViInt32(vi_, "", HNVQR_ATTR_SYSTEM_IO_TIMEOUT, 2000), VI_SUCCESS);
  ViReal64 volts = -1;
  EXPECT_EQ(HnVQR_MeasureVoltage(vi_, &volts), VI_SUCCESS) << LastError(vi_);
}

TEST_F(LiveEmulator, BadAndUnreachableResourcesFailWithVisaStatuses) {
  ViSession vi = VI_NULL;
  EXPECT_EQ(HnVQR_InitWithOptions(const_cast<ViRsrc>("not a resource"), VI_TRUE, VI_FALSE, "", &vi),
            VI_ERROR_INV_RSRC_NAME);
  EXPECT_EQ(HnVQR_InitWithOptions(const_cast<ViRsrc>("TCPIP0::127.0.0.1::1::SOCKET"), VI_TRUE, VI_FALSE, "", &vi),
            VI_ERROR_RSRC_NFOUND);
  EXPECT_EQ(vi, VI_NULL);
}

// A peer that answers the identity and status queries like a VQR-A4 and, on the first
// measurement, either says nothing or drops the link.
class ScriptedPeer {
 public:
  enum class OnMeasure { Silence, Drop };

  explicit ScriptedPeer(OnMeasure behaviour) : behaviour_(behaviour) {
    WSADATA data{};
    WSAStartup(MAKEWORD(2, 2), &data);
    listener_ = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    bind(listener_, reinterpret_cast<sockaddr*>(&address), sizeof address);
    listen(listener_, 1);
    int length = sizeof address;
    getsockname(listener_, reinterpret_cast<sockaddr*>(&address), &length);
    port_ = ntohs(address.sin_port);
    thread_ = std::thread([this] { Serve(); });
  }
  ~ScriptedPeer() {
    closesocket(listener_);  // ends a pending accept
    if (thread_.joinable()) thread_.join();
    WSACleanup();
  }
  std::string Resource() const { return "TCPIP0::127.0.0.1::" + std::to_string(port_) + "::SOCKET"; }

 private:
  void Serve() {
    const SOCKET client = accept(listener_, nullptr, nullptr);
    if (client == INVALID_SOCKET) return;
    std::string pending;
    char chunk[256];
    for (;;) {
      const int n = recv(client, chunk, sizeof chunk, 0);
      if (n <= 0) break;
      pending.append(chunk, static_cast<std::size_t>(n));
      std::size_t end;
      bool open = true;
      while (open && (end = pending.find('\n')) != std::string::npos) {
        const std::string line = pending.substr(0, end);
        pending.erase(0, end + 1);
        std::string answer;
        if (line == "*IDN?")
          answer = "Halvorn,VQR-A4,SIM000123,2.14\n";
        else if (line == "*ESR?" || line == "*OPC?")
          answer = "0\n";
        else if (line.rfind("MEAS", 0) == 0 && behaviour_ == OnMeasure::Drop)
          open = false;
        if (!answer.empty()) send(client, answer.data(), static_cast<int>(answer.size()), 0);
      }
      if (!open) break;
    }
    if (behaviour_ == OnMeasure::Silence) {
      // Keep the link open and quiet until the driver closes it.
      while (recv(client, chunk, sizeof chunk, 0) > 0) {
      }
    }
    closesocket(client);
  }

  const OnMeasure behaviour_;
  SOCKET listener_ = INVALID_SOCKET;
  unsigned short port_ = 0;
  std::thread thread_;
};

TEST(LivePeer, DroppedLinkIsReportedAsConnectionLost) {
  ScriptedPeer peer(ScriptedPeer::OnMeasure::Drop);
  ViSession vi = VI_NULL;
  ASSERT_EQ(HnVQR_InitWithOptions(const_cast<ViRsrc>(peer.Resource().c_str()), VI_TRUE, VI_FALSE, "", &vi), VI_SUCCESS)
      << LastError(VI_NULL);
  ViReal64 volts = 0;
  EXPECT_EQ(HnVQR_MeasureVoltage(vi, &volts), VI_ERROR_CONN_LOST);
  EXPECT_EQ(HnVQR_close(vi), VI_SUCCESS);
}

TEST(LivePeer, SilentInstrumentTimesOutWithinTheTimeout) {
  ScriptedPeer peer(ScriptedPeer::OnMeasure::Silence);
  ViSession vi = VI_NULL;
  ASSERT_EQ(HnVQR_InitWithOptions(const_cast<ViRsrc>(peer.Resource().c_str()), VI_TRUE, VI_FALSE, "", &vi), VI_SUCCESS)
      << LastError(VI_NULL);
  ASSERT_EQ(HnVQR_SetAttributeViInt32(vi, "", HNVQR_ATTR_SYSTEM_IO_TIMEOUT, 300), VI_SUCCESS);
  ViReal64 volts = 0;
  const auto start = std::chrono::steady_clock::now();
  EXPECT_EQ(HnVQR_MeasureVoltage(vi, &volts), VI_ERROR_TMO);
  const auto waited = std::chrono::steady_clock::now() - start;
  EXPECT_GE(waited, std::chrono::milliseconds(250));
  EXPECT_LT(waited, std::chrono::milliseconds(2500));
  EXPECT_EQ(HnVQR_close(vi), VI_SUCCESS);
}

}  // namespace
