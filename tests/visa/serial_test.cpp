// The serial transport for real, over a pseudo-terminal pair: the test plays the
// instrument on the master side and checks the line settings on the slave with tcgetattr.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <pty.h>
#include <termios.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <string>
#include <thread>

#include "blocked_read.h"
#include "visa.h"

namespace hnvqr::visa::test {
namespace {

class SerialTest : public ::testing::Test {
 protected:
  void SetUp() override {
    char name[256] = {};
    ASSERT_EQ(::openpty(&master_, &slave_, name, nullptr, nullptr), 0);
    slaveName_ = name;
    resource_ = "ASRL" + slaveName_ + "::INSTR";
    ASSERT_EQ(viOpenDefaultRM(&rm_), VI_SUCCESS);
    ASSERT_EQ(viOpen(rm_, resource_.c_str(), VI_NO_LOCK, 0, &vi_), VI_SUCCESS);
  }
  void TearDown() override {
    viClose(rm_);
    if (master_ >= 0) ::close(master_);
    ::close(slave_);
  }

  termios slaveSettings() const {
    termios settings{};
    EXPECT_EQ(::tcgetattr(slave_, &settings), 0);
    return settings;
  }

  // What the instrument side receives, through the first line feed.
  std::string instrumentReadLine() {
    std::string line;
    while (line.empty() || line.back() != '\n') {
      pollfd p{master_, POLLIN, 0};
      if (::poll(&p, 1, 5000) <= 0) break;
      char c = 0;
      if (::read(master_, &c, 1) != 1) break;
      line += c;
    }
    return line;
  }
  void instrumentWrite(const std::string& bytes) {
    ASSERT_EQ(::write(master_, bytes.data(), bytes.size()), static_cast<ssize_t>(bytes.size()));
  }

  template <typename T>
  T get(ViAttr attribute) {
    T value{};
    EXPECT_EQ(viGetAttribute(vi_, attribute, &value), VI_SUCCESS);
    return value;
  }

  int master_ = -1;
  int slave_ = -1;
  std::string slaveName_;
  std::string resource_;
  ViSession rm_ = VI_NULL;
  ViSession vi_ = VI_NULL;
};

TEST_F(SerialTest, OpensRawWithTheSerialDefaults) {
  const termios settings = slaveSettings();
  EXPECT_EQ(::cfgetospeed(&settings), static_cast<speed_t>(B9600));
  EXPECT_EQ(settings.c_lflag & (ICANON | ECHO | ISIG), 0u);
  EXPECT_EQ(settings.c_cflag & CSIZE, static_cast<tcflag_t>(CS8));
  EXPECT_NE(settings.c_cflag & CLOCAL, 0u);
  EXPECT_EQ(get<ViUInt16>(VI_ATTR_INTF_TYPE), VI_INTF_ASRL);
  EXPECT_EQ(get<ViUInt32>(VI_ATTR_ASRL_BAUD), 9600u);
  EXPECT_EQ(get<ViUInt16>(VI_ATTR_ASRL_STOP_BITS), VI_ASRL_STOP_ONE);
  EXPECT_EQ(get<ViUInt16>(VI_ATTR_ASRL_END_IN), VI_ASRL_END_TERMCHAR);
  EXPECT_EQ(get<ViUInt16>(VI_ATTR_ASRL_END_OUT), VI_ASRL_END_NONE);
  EXPECT_EQ(get<ViBoolean>(VI_ATTR_SUPPRESS_END_EN), VI_FALSE);
  char name[256];
  EXPECT_EQ(viGetAttribute(vi_, VI_ATTR_RSRC_NAME, name), VI_SUCCESS);
  EXPECT_EQ(std::string(name), resource_);
}

TEST_F(SerialTest, TheDriversSettingsAreAppliedToThePort) {
  EXPECT_EQ(viSetAttribute(vi_, VI_ATTR_TERMCHAR, 0x0A), VI_SUCCESS);
  EXPECT_EQ(viSetAttribute(vi_, VI_ATTR_TERMCHAR_EN, VI_TRUE), VI_SUCCESS);
  ASSERT_EQ(get<ViUInt16>(VI_ATTR_INTF_TYPE), VI_INTF_ASRL);
  EXPECT_EQ(viSetAttribute(vi_, VI_ATTR_ASRL_BAUD, 57600), VI_SUCCESS);
  EXPECT_EQ(viSetAttribute(vi_, VI_ATTR_ASRL_FLOW_CNTRL, 0), VI_SUCCESS);
  EXPECT_EQ(viSetAttribute(vi_, VI_ATTR_ASRL_PARITY, 0), VI_SUCCESS);
  EXPECT_EQ(viSetAttribute(vi_, VI_ATTR_ASRL_DATA_BITS, 8), VI_SUCCESS);
  EXPECT_EQ(viSetAttribute(vi_, VI_ATTR_ASRL_STOP_BITS, 10), VI_SUCCESS);
  EXPECT_EQ(viSetAttribute(vi_, VI_ATTR_ASRL_END_IN, 2), VI_SUCCESS);
  EXPECT_EQ(viSetAttribute(vi_, VI_ATTR_ASRL_END_OUT, 0), VI_SUCCESS);
  const termios settings = slaveSettings();
  EXPECT_EQ(::cfgetospeed(&settings), static_cast<speed_t>(B57600));
  EXPECT_EQ(::cfgetispeed(&settings), static_cast<speed_t>(B57600));
  EXPECT_EQ(settings.c_cflag & CSIZE, static_cast<tcflag_t>(CS8));
  EXPECT_EQ(settings.c_cflag & (PARENB | CSTOPB | CRTSCTS), 0u);
  EXPECT_EQ(settings.c_iflag & (IXON | IXOFF), 0u);
  EXPECT_EQ(get<ViUInt32>(VI_ATTR_ASRL_BAUD), 57600u);
  EXPECT_EQ(get<ViUInt16>(VI_ATTR_ASRL_DATA_BITS), 8);
  EXPECT_EQ(get<ViUInt16>(VI_ATTR_ASRL_PARITY), VI_ASRL_PAR_NONE);
}

TEST_F(SerialTest, LineSettingsAreReadBackFromThePort) {
  EXPECT_EQ(viSetAttribute(vi_, VI_ATTR_ASRL_STOP_BITS, VI_ASRL_STOP_TWO), VI_SUCCESS);
  EXPECT_NE(slaveSettings().c_cflag & CSTOPB, 0u);
  EXPECT_EQ(get<ViUInt16>(VI_ATTR_ASRL_STOP_BITS), VI_ASRL_STOP_TWO);

  EXPECT_EQ(viSetAttribute(vi_, VI_ATTR_ASRL_FLOW_CNTRL, VI_ASRL_FLOW_XON_XOFF | VI_ASRL_FLOW_RTS_CTS), VI_SUCCESS);
  EXPECT_EQ(slaveSettings().c_iflag & (IXON | IXOFF), static_cast<tcflag_t>(IXON | IXOFF));
  EXPECT_NE(slaveSettings().c_cflag & CRTSCTS, 0u);
  EXPECT_EQ(get<ViUInt16>(VI_ATTR_ASRL_FLOW_CNTRL), VI_ASRL_FLOW_XON_XOFF | VI_ASRL_FLOW_RTS_CTS);

  EXPECT_EQ(viSetAttribute(vi_, VI_ATTR_ASRL_BAUD, 115200), VI_SUCCESS);
  EXPECT_EQ(::cfgetospeed(&static_cast<const termios&>(slaveSettings())), static_cast<speed_t>(B115200));

  // Whatever the port keeps is what the attribute reports (a pseudo-terminal, unlike a
  // UART, may refuse parity and character size).
  for (const ViUInt16 parity : {VI_ASRL_PAR_EVEN, VI_ASRL_PAR_ODD, VI_ASRL_PAR_MARK, VI_ASRL_PAR_SPACE}) {
    const ViStatus status = viSetAttribute(vi_, VI_ATTR_ASRL_PARITY, parity);
    const bool enabled = (slaveSettings().c_cflag & PARENB) != 0;
    if (status == VI_SUCCESS) {
      EXPECT_TRUE(enabled);
      EXPECT_EQ(get<ViUInt16>(VI_ATTR_ASRL_PARITY), parity);
    } else {
      EXPECT_EQ(status, VI_ERROR_NSUP_ATTR_STATE);
      EXPECT_FALSE(enabled);
      EXPECT_EQ(get<ViUInt16>(VI_ATTR_ASRL_PARITY), VI_ASRL_PAR_NONE);
    }
  }
  const ViStatus seven = viSetAttribute(vi_, VI_ATTR_ASRL_DATA_BITS, 7);
  const tcflag_t size = slaveSettings().c_cflag & CSIZE;
  EXPECT_EQ(get<ViUInt16>(VI_ATTR_ASRL_DATA_BITS), seven == VI_SUCCESS ? 7 : 8);
  EXPECT_EQ(size, static_cast<tcflag_t>(seven == VI_SUCCESS ? CS7 : CS8));
}

TEST_F(SerialTest, SettingsWithoutATermiosFormAreRefused) {
  EXPECT_EQ(viSetAttribute(vi_, VI_ATTR_ASRL_STOP_BITS, VI_ASRL_STOP_ONE5), VI_ERROR_NSUP_ATTR_STATE);
  EXPECT_EQ(viSetAttribute(vi_, VI_ATTR_ASRL_FLOW_CNTRL, VI_ASRL_FLOW_DTR_DSR), VI_ERROR_NSUP_ATTR_STATE);
  EXPECT_EQ(viSetAttribute(vi_, VI_ATTR_ASRL_BAUD, 12345), VI_ERROR_NSUP_ATTR_STATE);
  EXPECT_EQ(viSetAttribute(vi_, VI_ATTR_ASRL_DATA_BITS, 9), VI_ERROR_NSUP_ATTR_STATE);
  EXPECT_EQ(viSetAttribute(vi_, VI_ATTR_ASRL_PARITY, 5), VI_ERROR_NSUP_ATTR_STATE);
  EXPECT_EQ(viSetAttribute(vi_, VI_ATTR_ASRL_END_IN, VI_ASRL_END_LAST_BIT), VI_ERROR_NSUP_ATTR_STATE);
  EXPECT_EQ(viSetAttribute(vi_, VI_ATTR_TCPIP_NODELAY, VI_TRUE), VI_ERROR_NSUP_ATTR);
  EXPECT_EQ(get<ViUInt16>(VI_ATTR_ASRL_STOP_BITS), VI_ASRL_STOP_ONE);
  EXPECT_EQ(get<ViUInt32>(VI_ATTR_ASRL_BAUD), 9600u);
}

TEST_F(SerialTest, QueryAndResponse) {
  ASSERT_EQ(viSetAttribute(vi_, VI_ATTR_TERMCHAR_EN, VI_TRUE), VI_SUCCESS);
  std::thread instrument([this] {
    if (instrumentReadLine() == "*IDN?\n") instrumentWrite("HALVORN,VQR60-10,SN9,1.0.2\n");
    if (instrumentReadLine() == "VOLT 12.5\n" && instrumentReadLine() == "VOLT?\n") instrumentWrite("12.5\n");
  });
  char f[4][257];
  EXPECT_EQ(viQueryf(vi_, "*IDN?\n", "%256[^,],%256[^,],%256[^,],%256[^,]%*T", f[0], f[1], f[2], f[3]), VI_SUCCESS);
  EXPECT_STREQ(f[2], "SN9");
  EXPECT_EQ(viPrintf(vi_, "VOLT %0.15lg\n", 12.5), VI_SUCCESS);
  ViReal64 volts = 0;
  EXPECT_EQ(viQueryf(vi_, "VOLT?\n", "%lf%*t", &volts), VI_SUCCESS);
  EXPECT_DOUBLE_EQ(volts, 12.5);
  instrument.join();
}

TEST_F(SerialTest, EndInAndEndOut) {
  // END_IN = TERMCHAR: the termination character is END even with TERMCHAR_EN off.
  instrumentWrite("ab\ncd\n");
  ViByte buffer[16];
  ViUInt32 count = 0;
  EXPECT_EQ(viRead(vi_, buffer, sizeof buffer, &count), VI_SUCCESS);
  EXPECT_EQ(std::string(reinterpret_cast<char*>(buffer), count), "ab\n");
  EXPECT_EQ(viSetAttribute(vi_, VI_ATTR_ASRL_END_IN, VI_ASRL_END_NONE), VI_SUCCESS);
  EXPECT_EQ(viSetAttribute(vi_, VI_ATTR_TERMCHAR_EN, VI_TRUE), VI_SUCCESS);
  EXPECT_EQ(viRead(vi_, buffer, sizeof buffer, &count), VI_SUCCESS_TERM_CHAR);
  EXPECT_EQ(std::string(reinterpret_cast<char*>(buffer), count), "cd\n");

  // END_OUT = TERMCHAR appends the termination character to every message.
  EXPECT_EQ(viSetAttribute(vi_, VI_ATTR_ASRL_END_OUT, VI_ASRL_END_TERMCHAR), VI_SUCCESS);
  EXPECT_EQ(viWrite(vi_, reinterpret_cast<const ViByte*>("OUTP ON"), 7, &count), VI_SUCCESS);
  EXPECT_EQ(count, 7u);
  EXPECT_EQ(instrumentReadLine(), "OUTP ON\n");
}

TEST_F(SerialTest, AvailableBytesComeFromThePort) {
  instrumentWrite("12345");
  ViUInt32 available = 0;
  const auto start = std::chrono::steady_clock::now();
  while (available < 5 && std::chrono::steady_clock::now() - start < std::chrono::seconds(5)) {
    ASSERT_EQ(viGetAttribute(vi_, VI_ATTR_ASRL_AVAIL_NUM, &available), VI_SUCCESS);
  }
  EXPECT_EQ(available, 5u);
}

TEST_F(SerialTest, OpenIsExclusive) {
  ViSession second = 99;
  EXPECT_EQ(viOpen(rm_, resource_.c_str(), VI_NO_LOCK, 0, &second), VI_ERROR_RSRC_BUSY);
  EXPECT_EQ(second, VI_NULL);
  EXPECT_EQ(viClose(vi_), VI_SUCCESS);
  EXPECT_EQ(viOpen(rm_, resource_.c_str(), VI_NO_LOCK, 0, &second), VI_SUCCESS);
  vi_ = second;
}

TEST_F(SerialTest, InstrumentHangingUpIsConnectionLost) {
  ::close(master_);
  master_ = -1;
  ASSERT_EQ(viSetAttribute(vi_, VI_ATTR_TMO_VALUE, 20000), VI_SUCCESS);
  ViByte buffer[4];
  const auto start = std::chrono::steady_clock::now();
  EXPECT_EQ(viRead(vi_, buffer, sizeof buffer, nullptr), VI_ERROR_CONN_LOST);
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(5));
}

TEST_F(SerialTest, ClosingWakesABlockedRead) {
  ASSERT_EQ(viSetAttribute(vi_, VI_ATTR_TMO_VALUE, VI_TMO_INFINITE), VI_SUCCESS);
  hnvqr::visa::test::BlockedRead reader(vi_);  // the instrument stays silent
  EXPECT_EQ(viClose(vi_), VI_SUCCESS);
  EXPECT_EQ(reader.Finish(), VI_ERROR_CONN_LOST);
}

}  // namespace
}  // namespace hnvqr::visa::test
