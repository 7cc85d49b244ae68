// The TCPIP SOCKET transport through the vi* functions, against a loopback instrument.
#include <dirent.h>
#include <gtest/gtest.h>

#include <chrono>
#include <cstring>
#include <string>

#include "instrument_handler.h"
#include "loopback_server.h"
#include "visa.h"

namespace hnvqr::visa::test {
namespace {

using Clock = std::chrono::steady_clock;
using std::chrono::milliseconds;

// Generous upper bounds: the tests assert "not before" and "well within", never tight timing.
constexpr auto kGenerous = std::chrono::seconds(5);

long elapsedMs(Clock::time_point since) {
  return static_cast<long>(std::chrono::duration_cast<milliseconds>(Clock::now() - since).count());
}

class TcpTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_EQ(viOpenDefaultRM(&rm_), VI_SUCCESS);
    ASSERT_EQ(viOpen(rm_, server_.resourceName().c_str(), VI_NO_LOCK, 0, &vi_), VI_SUCCESS);
    ASSERT_EQ(viSetAttribute(vi_, VI_ATTR_TERMCHAR, 0x0A), VI_SUCCESS);
    ASSERT_EQ(viSetAttribute(vi_, VI_ATTR_TERMCHAR_EN, VI_TRUE), VI_SUCCESS);
  }
  void TearDown() override { viClose(rm_); }

  LoopbackServer server_{[this](int connection) { scriptedInstrument(connection, &server_); }};
  ViSession rm_ = VI_NULL;
  ViSession vi_ = VI_NULL;
};

TEST_F(TcpTest, ReplyFramedAcrossSplitWrites) {
  ViReal64 value = 0;
  EXPECT_EQ(viQueryf(vi_, "SPLIT?\n", "%lf%*t", &value), VI_SUCCESS);
  EXPECT_DOUBLE_EQ(value, 123.5);
}

TEST_F(TcpTest, SeveralMessagesInOneSendAreReadOneByOne) {
  ViUInt32 written = 0;
  ASSERT_EQ(viWrite(vi_, reinterpret_cast<const ViByte*>("MULTI?\n"), 7, &written), VI_SUCCESS);
  EXPECT_EQ(written, 7u);
  for (const char* expected : {"1\n", "2\n", "3\n"}) {
    ViByte buffer[64];
    ViUInt32 count = 0;
    EXPECT_EQ(viRead(vi_, buffer, sizeof buffer, &count), VI_SUCCESS_TERM_CHAR);
    EXPECT_EQ(std::string(reinterpret_cast<char*>(buffer), count), expected);
  }
}

TEST_F(TcpTest, TimeOutIsRealAndBounded) {
  ASSERT_EQ(viSetAttribute(vi_, VI_ATTR_TMO_VALUE, 300), VI_SUCCESS);
  ViInt32 value = 99;
  const auto start = Clock::now();
  EXPECT_EQ(viQueryf(vi_, "SILENT?\n", "%ld%*t", &value), VI_ERROR_TMO);
  EXPECT_GE(elapsedMs(start), 300);
  EXPECT_LT(Clock::now() - start, kGenerous);
  EXPECT_EQ(value, 99);

  ViByte buffer[8];
  ViUInt32 count = 77;
  EXPECT_EQ(viRead(vi_, buffer, sizeof buffer, &count), VI_ERROR_TMO);
  EXPECT_EQ(count, 0u);
}

TEST_F(TcpTest, ImmediateTimeOutTakesOnlyWhatIsThere) {
  ASSERT_EQ(viSetAttribute(vi_, VI_ATTR_TMO_VALUE, VI_TMO_IMMEDIATE), VI_SUCCESS);
  ViByte buffer[8];
  const auto start = Clock::now();
  EXPECT_EQ(viRead(vi_, buffer, sizeof buffer, nullptr), VI_ERROR_TMO);
  EXPECT_LT(Clock::now() - start, kGenerous);
}

TEST_F(TcpTest, LateReplyIsNotTakenForTheNextAnswer) {
  ASSERT_EQ(viSetAttribute(vi_, VI_ATTR_TMO_VALUE, 100), VI_SUCCESS);
  char text[32] = {};
  const int lateBefore = lateRepliesSent.load();
  EXPECT_EQ(viQueryf(vi_, "LATE?\n", "%T", text), VI_ERROR_TMO);
  // Wait until the late "LATE\n" is on its way; loopback delivers it at once.
  const auto start = Clock::now();
  while (lateRepliesSent.load() == lateBefore && Clock::now() - start < kGenerous)
    std::this_thread::sleep_for(milliseconds(10));
  std::this_thread::sleep_for(milliseconds(50));
  ASSERT_EQ(viSetAttribute(vi_, VI_ATTR_TMO_VALUE, 2000), VI_SUCCESS);
  EXPECT_EQ(viQueryf(vi_, "*IDN?\n", "%T", text), VI_SUCCESS);
  EXPECT_STREQ(text, "HALVORN,VQR60-10,SN1,1.0.2\n");
}

TEST_F(TcpTest, PeerCloseIsConnectionLostAtOnce) {
  ASSERT_EQ(viSetAttribute(vi_, VI_ATTR_TMO_VALUE, 20000), VI_SUCCESS);
  const auto start = Clock::now();
  ViInt32 value = 0;
  EXPECT_EQ(viQueryf(vi_, "CLOSE\n", "%ld%*t", &value), VI_ERROR_CONN_LOST);
  EXPECT_LT(Clock::now() - start, kGenerous);
  // Later writes report the loss too, without SIGPIPE.
  ViStatus status = VI_SUCCESS;
  for (int i = 0; i < 50 && status >= VI_SUCCESS; ++i) status = viPrintf(vi_, "*CLS\n");
  EXPECT_EQ(status, VI_ERROR_CONN_LOST);
}

TEST_F(TcpTest, ResetIsConnectionLost) {
  ASSERT_EQ(viSetAttribute(vi_, VI_ATTR_TMO_VALUE, 20000), VI_SUCCESS);
  ViByte buffer[8];
  ASSERT_EQ(viPrintf(vi_, "RESET\n"), VI_SUCCESS);
  const auto start = Clock::now();
  EXPECT_EQ(viRead(vi_, buffer, sizeof buffer, nullptr), VI_ERROR_CONN_LOST);
  EXPECT_LT(Clock::now() - start, kGenerous);
}

TEST_F(TcpTest, AttributesOfASocketSession) {
  // Each value is written with its own width: the canary bytes after it stay.
  unsigned char raw[16];
  std::memset(raw, 0xAB, sizeof raw);
  ASSERT_EQ(viGetAttribute(vi_, VI_ATTR_INTF_TYPE, raw), VI_SUCCESS);
  ViUInt16 interfaceType = 0;
  std::memcpy(&interfaceType, raw, sizeof interfaceType);
  EXPECT_EQ(interfaceType, VI_INTF_TCPIP);
  EXPECT_EQ(raw[2], 0xAB);
  std::memset(raw, 0xAB, sizeof raw);
  ASSERT_EQ(viGetAttribute(vi_, VI_ATTR_TERMCHAR, raw), VI_SUCCESS);
  EXPECT_EQ(raw[0], 0x0A);
  EXPECT_EQ(raw[1], 0xAB);

  ViUInt32 timeout = 0;
  EXPECT_EQ(viGetAttribute(vi_, VI_ATTR_TMO_VALUE, &timeout), VI_SUCCESS);
  EXPECT_EQ(timeout, 2000u);
  ViUInt16 port = 0;
  EXPECT_EQ(viGetAttribute(vi_, VI_ATTR_TCPIP_PORT, &port), VI_SUCCESS);
  EXPECT_EQ(port, server_.port());
  ViUInt16 board = 9;
  EXPECT_EQ(viGetAttribute(vi_, VI_ATTR_INTF_NUM, &board), VI_SUCCESS);
  EXPECT_EQ(board, 0);
  char text[256];
  EXPECT_EQ(viGetAttribute(vi_, VI_ATTR_TCPIP_ADDR, text), VI_SUCCESS);
  EXPECT_STREQ(text, "127.0.0.1");
  EXPECT_EQ(viGetAttribute(vi_, VI_ATTR_RSRC_NAME, text), VI_SUCCESS);
  EXPECT_EQ(std::string(text), server_.resourceName());
  EXPECT_EQ(viGetAttribute(vi_, VI_ATTR_RSRC_CLASS, text), VI_SUCCESS);
  EXPECT_STREQ(text, "SOCKET");

  ViBoolean flag = 7;
  EXPECT_EQ(viGetAttribute(vi_, VI_ATTR_TCPIP_NODELAY, &flag), VI_SUCCESS);
  EXPECT_EQ(flag, VI_TRUE);
  EXPECT_EQ(viGetAttribute(vi_, VI_ATTR_TCPIP_KEEPALIVE, &flag), VI_SUCCESS);
  EXPECT_EQ(flag, VI_FALSE);
  EXPECT_EQ(viSetAttribute(vi_, VI_ATTR_TCPIP_KEEPALIVE, VI_TRUE), VI_SUCCESS);
  EXPECT_EQ(viGetAttribute(vi_, VI_ATTR_TCPIP_KEEPALIVE, &flag), VI_SUCCESS);
  EXPECT_EQ(flag, VI_TRUE);
  EXPECT_EQ(viSetAttribute(vi_, VI_ATTR_TCPIP_NODELAY, VI_FALSE), VI_SUCCESS);
  EXPECT_EQ(viGetAttribute(vi_, VI_ATTR_TCPIP_NODELAY, &flag), VI_SUCCESS);
  EXPECT_EQ(flag, VI_FALSE);
  EXPECT_EQ(viGetAttribute(vi_, VI_ATTR_SUPPRESS_END_EN, &flag), VI_SUCCESS);
  EXPECT_EQ(flag, VI_TRUE);

  // The library's own attributes read the same through every session.
  EXPECT_EQ(viGetAttribute(vi_, VI_ATTR_RSRC_MANF_NAME, text), VI_SUCCESS);
  EXPECT_STREQ(text, "HnVQR libhnvisa");
  ViUInt32 version = 0;
  EXPECT_EQ(viGetAttribute(vi_, VI_ATTR_RSRC_SPEC_VERSION, &version), VI_SUCCESS);
  EXPECT_EQ(version, 0x00500800u);
  EXPECT_EQ(viSetAttribute(vi_, VI_ATTR_RSRC_MANF_NAME, 1), VI_ERROR_ATTR_READONLY);

  EXPECT_EQ(viSetAttribute(vi_, VI_ATTR_TCPIP_PORT, 1), VI_ERROR_ATTR_READONLY);
  EXPECT_EQ(viSetAttribute(vi_, VI_ATTR_ASRL_BAUD, 57600), VI_ERROR_NSUP_ATTR);
  EXPECT_EQ(viGetAttribute(vi_, VI_ATTR_ASRL_BAUD, &timeout), VI_ERROR_NSUP_ATTR);
  EXPECT_EQ(viGetAttribute(vi_, VI_ATTR_TMO_VALUE, nullptr), VI_ERROR_USER_BUF);
}

TEST(TcpOpen, RefusedPortIsResourceNotFoundWithinTheOpenTimeOut) {
  ViSession rm = VI_NULL;
  ASSERT_EQ(viOpenDefaultRM(&rm), VI_SUCCESS);
  const std::string name = "TCPIP0::127.0.0.1::" + std::to_string(unusedLoopbackPort()) + "::SOCKET";
  ViSession vi = 12345;
  const auto start = Clock::now();
  EXPECT_EQ(viOpen(rm, name.c_str(), VI_NO_LOCK, 1000, &vi), VI_ERROR_RSRC_NFOUND);
  EXPECT_LT(Clock::now() - start, kGenerous);
  EXPECT_EQ(vi, VI_NULL);
  vi = 12345;
  EXPECT_EQ(viOpen(rm, "TCPIP0::no-such-host.invalid::5025::SOCKET", VI_NO_LOCK, 1000, &vi), VI_ERROR_RSRC_NFOUND);
  EXPECT_EQ(vi, VI_NULL);
  viClose(rm);
}

TEST(TcpOpen, NamesThatDoNotOpen) {
  setenv("HNVISA_VXI11_PORTMAPPER_PORT", std::to_string(unusedLoopbackPort()).c_str(), 1);
  setenv("HNVISA_USBTMC_SYSFS_ROOT", "/nonexistent-hnvisa-sysfs", 1);
  ViSession rm = VI_NULL;
  ASSERT_EQ(viOpenDefaultRM(&rm), VI_SUCCESS);
  struct Case {
    const char* name;
    ViStatus status;
  };
  const Case cases[] = {
      {"", VI_ERROR_INV_RSRC_NAME},
      {"BOGUS::1.2.3.4::5025::SOCKET", VI_ERROR_INV_RSRC_NAME},
      {"TCPIP0::1.2.3.4::SOCKET", VI_ERROR_INV_RSRC_NAME},
      {"TCPIP0::127.0.0.1::port::SOCKET", VI_ERROR_INV_RSRC_NAME},
      {"TCPIP0::127.0.0.1::INSTR", VI_ERROR_RSRC_NFOUND},          // no portmapper answers there
      {"USB0::0x1234::0x5678::SN1::INSTR", VI_ERROR_RSRC_NFOUND},  // no such device attached
      {"USB0::0x1234::0x5678::SN1::RAW", VI_ERROR_LIBRARY_NFOUND},
      {"GPIB0::5::INSTR", VI_ERROR_LIBRARY_NFOUND},
      {"ASRL0::INSTR", VI_ERROR_INTF_NUM_NCONFIG},
      {"ASRL/dev/hnvisa-no-such-port::INSTR", VI_ERROR_RSRC_NFOUND},
  };
  for (const auto& c : cases) {
    ViSession vi = 12345;
    EXPECT_EQ(viOpen(rm, c.name, VI_NO_LOCK, 0, &vi), c.status) << c.name;
    EXPECT_EQ(vi, VI_NULL) << c.name;
  }
  ViSession vi = 1;
  EXPECT_EQ(viOpen(rm, nullptr, VI_NO_LOCK, 0, &vi), VI_ERROR_INV_RSRC_NAME);
  EXPECT_EQ(viOpen(rm, "TCPIP0::127.0.0.1::1::SOCKET", 0x100, 0, &vi), VI_ERROR_INV_ACC_MODE);
  EXPECT_EQ(viOpen(rm, "TCPIP0::127.0.0.1::1::SOCKET", VI_NO_LOCK, 0, nullptr), VI_ERROR_USER_BUF);
  viClose(rm);
}

TEST(TcpSessions, ClosingTheResourceManagerClosesItsSessions) {
  LoopbackServer server([&server](int connection) { scriptedInstrument(connection, &server); });
  ViSession rm = VI_NULL;
  ViSession other = VI_NULL;
  ASSERT_EQ(viOpenDefaultRM(&rm), VI_SUCCESS);
  ASSERT_EQ(viOpenDefaultRM(&other), VI_SUCCESS);
  ViSession a = VI_NULL;
  ViSession b = VI_NULL;
  ViSession c = VI_NULL;
  ASSERT_EQ(viOpen(rm, server.resourceName().c_str(), VI_NO_LOCK, 0, &a), VI_SUCCESS);
  ASSERT_EQ(viOpen(rm, server.resourceName().c_str(), VI_NO_LOCK, 0, &b), VI_SUCCESS);
  ASSERT_EQ(viOpen(other, server.resourceName().c_str(), VI_NO_LOCK, 0, &c), VI_SUCCESS);
  EXPECT_EQ(viClose(b), VI_SUCCESS);
  EXPECT_EQ(viClose(b), VI_ERROR_INV_OBJECT);
  EXPECT_EQ(viClose(rm), VI_SUCCESS);
  EXPECT_EQ(viPrintf(a, "*CLS\n"), VI_ERROR_INV_OBJECT);
  EXPECT_EQ(viClose(a), VI_ERROR_INV_OBJECT);
  EXPECT_EQ(viClose(rm), VI_ERROR_INV_OBJECT);
  // Sessions of another resource manager live on.
  EXPECT_EQ(viSetAttribute(c, VI_ATTR_TERMCHAR_EN, VI_TRUE), VI_SUCCESS);
  char text[64];
  EXPECT_EQ(viQueryf(c, "*IDN?\n", "%T", text), VI_SUCCESS);
  EXPECT_EQ(viClose(other), VI_SUCCESS);
}

TEST(TcpSessions, UnknownAndWrongObjectsNeverCrash) {
  const ViSession unknown = 0x7FFFFFF0;
  ViByte buffer[4];
  ViUInt32 count = 0;
  ViInt32 value = 0;
  EXPECT_EQ(viRead(unknown, buffer, sizeof buffer, &count), VI_ERROR_INV_OBJECT);
  EXPECT_EQ(viWrite(unknown, buffer, sizeof buffer, &count), VI_ERROR_INV_OBJECT);
  EXPECT_EQ(viPrintf(unknown, "X\n"), VI_ERROR_INV_OBJECT);
  EXPECT_EQ(viScanf(unknown, "%ld", &value), VI_ERROR_INV_OBJECT);
  EXPECT_EQ(viQueryf(unknown, "X\n", "%ld", &value), VI_ERROR_INV_OBJECT);
  EXPECT_EQ(viFlush(unknown, VI_READ_BUF), VI_ERROR_INV_OBJECT);
  EXPECT_EQ(viSetAttribute(unknown, VI_ATTR_TMO_VALUE, 1), VI_ERROR_INV_OBJECT);
  EXPECT_EQ(viGetAttribute(unknown, VI_ATTR_TMO_VALUE, &count), VI_ERROR_INV_OBJECT);
  EXPECT_EQ(viClose(VI_NULL), VI_ERROR_INV_OBJECT);
  ViSession vi = 5;
  EXPECT_EQ(viOpen(unknown, "TCPIP0::127.0.0.1::1::SOCKET", VI_NO_LOCK, 0, &vi), VI_ERROR_INV_OBJECT);
  EXPECT_EQ(vi, VI_NULL);

  ViSession rm = VI_NULL;
  ASSERT_EQ(viOpenDefaultRM(&rm), VI_SUCCESS);
  EXPECT_EQ(viRead(rm, buffer, sizeof buffer, &count), VI_ERROR_NSUP_OPER);
  EXPECT_EQ(viPrintf(rm, "X\n"), VI_ERROR_NSUP_OPER);
  EXPECT_EQ(viGetAttribute(rm, VI_ATTR_TMO_VALUE, &count), VI_ERROR_NSUP_ATTR);
  EXPECT_EQ(viSetAttribute(rm, VI_ATTR_TMO_VALUE, 5), VI_ERROR_NSUP_ATTR);
  EXPECT_EQ(viOpenDefaultRM(nullptr), VI_ERROR_USER_BUF);
  viClose(rm);
}

TEST(TcpSessions, StatusDescriptions) {
  ViChar text[256];
  EXPECT_EQ(viStatusDesc(VI_NULL, VI_ERROR_TMO, text), VI_SUCCESS);
  EXPECT_STREQ(text, "VI_ERROR_TMO: Timeout expired before operation completed.");
  EXPECT_EQ(viStatusDesc(VI_NULL, VI_ERROR_CONN_LOST, text), VI_SUCCESS);
  EXPECT_NE(std::string(text).find("VI_ERROR_CONN_LOST"), std::string::npos);
  EXPECT_EQ(viStatusDesc(VI_NULL, 0x12345, text), VI_SUCCESS);
  EXPECT_STREQ(text, "Unknown status code 0x00012345.");
  EXPECT_EQ(viStatusDesc(VI_NULL, VI_SUCCESS, nullptr), VI_ERROR_USER_BUF);
}

std::size_t openDescriptors() {
  std::size_t count = 0;
  if (DIR* dir = ::opendir("/proc/self/fd")) {
    while (::readdir(dir) != nullptr) ++count;
    ::closedir(dir);
  }
  return count;
}

TEST(TcpSessions, NoDescriptorLeaksOverManyOpenCloseCycles) {
  LoopbackServer server([&server](int connection) { scriptedInstrument(connection, &server); });
  const std::string refused = "TCPIP0::127.0.0.1::" + std::to_string(unusedLoopbackPort()) + "::SOCKET";
  const std::size_t before = openDescriptors();
  for (int cycle = 0; cycle < 100; ++cycle) {
    ViSession rm = VI_NULL;
    ViSession vi = VI_NULL;
    ASSERT_EQ(viOpenDefaultRM(&rm), VI_SUCCESS);
    ASSERT_EQ(viOpen(rm, server.resourceName().c_str(), VI_NO_LOCK, 0, &vi), VI_SUCCESS);
    ASSERT_EQ(viSetAttribute(vi, VI_ATTR_TERMCHAR_EN, VI_TRUE), VI_SUCCESS);
    ViInt32 value = 0;
    ASSERT_EQ(viQueryf(vi, "Q 7\n", "%ld%*t", &value), VI_SUCCESS);
    ASSERT_EQ(value, 7);
    ViSession failed = VI_NULL;
    ASSERT_EQ(viOpen(rm, refused.c_str(), VI_NO_LOCK, 0, &failed), VI_ERROR_RSRC_NFOUND);
    if (cycle % 2 == 0) {
      ASSERT_EQ(viClose(vi), VI_SUCCESS);
    }
    ASSERT_EQ(viClose(rm), VI_SUCCESS);
  }
  // The server's side of each connection closes on its own thread, shortly after ours.
  const auto start = Clock::now();
  while (openDescriptors() > before && Clock::now() - start < kGenerous) std::this_thread::sleep_for(milliseconds(10));
  EXPECT_EQ(openDescriptors(), before);
}

}  // namespace
}  // namespace hnvqr::visa::test
