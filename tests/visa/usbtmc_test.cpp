// The USB-TMC transport over a fake sysfs tree whose usbtmc node stands for a
// pseudo-terminal: the test plays the device on the master side. A pty has none of the
// driver's ioctls, so reads and writes here wait with poll() instead of the driver's
// time-out.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <poll.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <termios.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <string>

#include "visa.h"

namespace hnvqr::visa::test {
namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;
using std::chrono::milliseconds;

void WriteFile(const fs::path& path, const std::string& text) {
  fs::create_directories(path.parent_path());
  std::ofstream(path) << text;
}

class UsbtmcTest : public ::testing::Test {
 protected:
  void SetUp() override {
    char pattern[] = "/tmp/hnvisa-usbtmc-XXXXXX";
    ASSERT_NE(mkdtemp(pattern), nullptr);
    root_ = pattern;
    const fs::path devices = root_ / "sys/bus/usb/devices";
    WriteFile(devices / "1-1/idVendor", "1ab3\n");
    WriteFile(devices / "1-1/idProduct", "0e11\n");
    WriteFile(devices / "1-1/serial", "SN42\n");
    WriteFile(devices / "1-1:1.0/bInterfaceNumber", "00\n");
    fs::create_directories(devices / "1-1:1.0/usbtmc/usbtmc3");
    WriteFile(devices / "2-1/idVendor", "1ab3\n");  // the same model, another serial
    WriteFile(devices / "2-1/idProduct", "0e11\n");
    WriteFile(devices / "2-1/serial", "SN43\n");

    master_ = posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
    ASSERT_GE(master_, 0);
    ASSERT_EQ(grantpt(master_), 0);
    ASSERT_EQ(unlockpt(master_), 0);
    const std::string slave = ptsname(master_);
    // Raw, so the line passes bytes as they are; this descriptor keeps it that way.
    slave_ = open(slave.c_str(), O_RDWR | O_NOCTTY | O_CLOEXEC);
    ASSERT_GE(slave_, 0);
    termios raw{};
    tcgetattr(slave_, &raw);
    cfmakeraw(&raw);
    tcsetattr(slave_, TCSANOW, &raw);
    fs::create_directories(root_ / "dev");
    fs::create_symlink(slave, root_ / "dev/usbtmc3");

    setenv("HNVISA_USBTMC_SYSFS_ROOT", (root_ / "sys").c_str(), 1);
    setenv("HNVISA_USBTMC_DEV_DIR", (root_ / "dev").c_str(), 1);
    ASSERT_EQ(viOpenDefaultRM(&rm_), VI_SUCCESS);
  }
  void TearDown() override {
    viClose(rm_);
    if (slave_ >= 0) close(slave_);
    if (master_ >= 0) close(master_);
    fs::remove_all(root_);
  }

  // What the device received, waiting up to a second for it.
  std::string DeviceReceived(std::size_t bytes) {
    std::string text;
    char chunk[256];
    const auto until = Clock::now() + std::chrono::seconds(1);
    while (text.size() < bytes && Clock::now() < until) {
      pollfd p{master_, POLLIN, 0};
      if (poll(&p, 1, 50) <= 0) continue;
      const ssize_t n = read(master_, chunk, sizeof chunk);
      if (n > 0) text.append(chunk, static_cast<std::size_t>(n));
    }
    return text;
  }

  fs::path root_;
  int master_ = -1;
  int slave_ = -1;
  ViSession rm_ = VI_NULL;
};

TEST_F(UsbtmcTest, DevicesAreFoundByVendorProductSerialAndInterface) {
  struct Case {
    const char* name;
    ViStatus status;
  };
  const Case cases[] = {
      {"USB0::0x1AB3::0x0E11::SN42::INSTR", VI_SUCCESS},
      {"USB::6835::3601::SN42::INSTR", VI_SUCCESS},  // decimal ids
      {"usb0::0x1ab3::0x0e11::SN42::0::INSTR", VI_SUCCESS},
      {"USB0::0x1AB3::0x0E11::SN42::1::INSTR", VI_ERROR_RSRC_NFOUND},  // no such interface
      {"USB0::0x1AB3::0x0E11::SN43::INSTR", VI_ERROR_RSRC_NFOUND},     // attached, but no usbtmc node
      {"USB0::0x1AB3::0x0E11::sn42::INSTR", VI_ERROR_RSRC_NFOUND},     // serials keep their case
      {"USB0::0x1AB4::0x0E11::SN42::INSTR", VI_ERROR_RSRC_NFOUND},
      {"USB0::0x1AB3::0x0E11::SN42::RAW", VI_ERROR_LIBRARY_NFOUND},
      {"USB0::0x1AB3x::0x0E11::SN42::INSTR", VI_ERROR_INV_RSRC_NAME},
      {"USB0::0x10000::0x0E11::SN42::INSTR", VI_ERROR_INV_RSRC_NAME},
  };
  for (const Case& c : cases) {
    ViSession vi = 7;
    EXPECT_EQ(viOpen(rm_, c.name, VI_NO_LOCK, 0, &vi), c.status) << c.name;
    if (c.status == VI_SUCCESS) {
      ViChar text[256] = {};
      EXPECT_EQ(viGetAttribute(vi, VI_ATTR_RSRC_NAME, text), VI_SUCCESS);
      EXPECT_EQ(std::string(text).rfind("USB0::0x1AB3::0x0E11::SN42::", 0), 0u) << text;
      ViUInt16 type = 0;
      EXPECT_EQ(viGetAttribute(vi, VI_ATTR_INTF_TYPE, &type), VI_SUCCESS);
      EXPECT_EQ(type, VI_INTF_USB);
      EXPECT_EQ(viClose(vi), VI_SUCCESS);
    } else {
      EXPECT_EQ(vi, VI_NULL) << c.name;
    }
  }
}

TEST_F(UsbtmcTest, MessagesGoOutWholeAndReadsEndAtTheMessageOrTheTimeOut) {
  ViSession vi = VI_NULL;
  ASSERT_EQ(viOpen(rm_, "USB0::0x1AB3::0x0E11::SN42::INSTR", VI_NO_LOCK, 0, &vi), VI_SUCCESS);
  ASSERT_EQ(viSetAttribute(vi, VI_ATTR_TMO_VALUE, 200), VI_SUCCESS);
  ViUInt32 count = 0;
  ASSERT_EQ(viWrite(vi, reinterpret_cast<const ViByte*>("*IDN?\n"), 6, &count), VI_SUCCESS);
  EXPECT_EQ(DeviceReceived(6), "*IDN?\n");
  ASSERT_EQ(write(master_, "Halvorn,VQR-A4,S1,2.14\n", 23), 23);
  ViByte reply[64] = {};
  EXPECT_EQ(viRead(vi, reply, sizeof reply, &count), VI_SUCCESS);
  EXPECT_EQ(std::string(reinterpret_cast<char*>(reply), count), "Halvorn,VQR-A4,S1,2.14\n");

  const auto start = Clock::now();
  EXPECT_EQ(viRead(vi, reply, sizeof reply, &count), VI_ERROR_TMO);
  EXPECT_GE(Clock::now() - start, milliseconds(190));
  EXPECT_LT(Clock::now() - start, milliseconds(2000));

  // The device goes away.
  close(slave_);
  slave_ = -1;
  close(master_);
  master_ = -1;
  EXPECT_EQ(viRead(vi, reply, sizeof reply, &count), VI_ERROR_CONN_LOST);
  EXPECT_EQ(viClose(vi), VI_SUCCESS);
}

}  // namespace
}  // namespace hnvqr::visa::test
