// Resource-name parsing: the forms that open, the forms that parse without a transport,
// and the ones that do not parse.
#include <gtest/gtest.h>

#include "resource_name.h"

namespace hnvqr::visa {
namespace {

TEST(ResourceName, SocketAndSerialForms) {
  struct Case {
    const char* text;
    ResourceKind kind;
    ViUInt16 board;
    std::string host;
    ViUInt16 port;
    std::string device;
    std::string canonical;
  };
  const Case cases[] = {
      {"TCPIP0::192.168.1.5::5025::SOCKET", ResourceKind::TcpipSocket, 0, "192.168.1.5", 5025, "",
       "TCPIP0::192.168.1.5::5025::SOCKET"},
      {"tcpip3::MyHost.Lab::1234::socket", ResourceKind::TcpipSocket, 3, "MyHost.Lab", 1234, "",
       "TCPIP3::MyHost.Lab::1234::SOCKET"},
      {"TCPIP0::[fe80::1]::5025::SOCKET", ResourceKind::TcpipSocket, 0, "[fe80::1]", 5025, "",
       "TCPIP0::[fe80::1]::5025::SOCKET"},
      {"TCPIP::localhost::65535::SOCKET", ResourceKind::TcpipSocket, 0, "localhost", 65535, "",
       "TCPIP0::localhost::65535::SOCKET"},
      {"ASRL1::INSTR", ResourceKind::Serial, 1, "", 0, "/dev/ttyS0", "ASRL1::INSTR"},
      {"asrl4", ResourceKind::Serial, 4, "", 0, "/dev/ttyS3", "ASRL4::INSTR"},
      {"ASRL/dev/ttyUSB0::INSTR", ResourceKind::Serial, 0, "", 0, "/dev/ttyUSB0", "ASRL/dev/ttyUSB0::INSTR"},
      {"asrl/dev/pts/7::instr", ResourceKind::Serial, 0, "", 0, "/dev/pts/7", "ASRL/dev/pts/7::INSTR"},
      {"TCPIP0::10.0.0.1::INSTR", ResourceKind::TcpipInstr, 0, "10.0.0.1", 0, "", "TCPIP0::10.0.0.1::inst0::INSTR"},
      {"TCPIP::10.0.0.1", ResourceKind::TcpipInstr, 0, "10.0.0.1", 0, "", "TCPIP0::10.0.0.1::inst0::INSTR"},
      {"TCPIP0::10.0.0.1::gpib0,5::INSTR", ResourceKind::TcpipInstr, 0, "10.0.0.1", 0, "",
       "TCPIP0::10.0.0.1::gpib0,5::INSTR"},
  };
  for (const auto& c : cases) {
    ResourceName parsed;
    ASSERT_EQ(parseResourceName(c.text, parsed), VI_SUCCESS) << c.text;
    EXPECT_EQ(parsed.kind, c.kind) << c.text;
    EXPECT_EQ(parsed.board, c.board) << c.text;
    EXPECT_EQ(parsed.host, c.host) << c.text;
    EXPECT_EQ(parsed.port, c.port) << c.text;
    EXPECT_EQ(parsed.devicePath, c.device) << c.text;
    EXPECT_EQ(parsed.canonical, c.canonical) << c.text;
  }
}

TEST(ResourceName, UsbAndGpibParse) {
  for (const char* text : {"USB0::0x1234::0x5678::SN01::INSTR", "usb::0x1234::0x5678::SN01::0::INSTR",
                           "USB0::0x1234::0x5678::SN01::RAW", "GPIB0::5::INSTR", "gpib1::5::3::INSTR", "GPIB::12"}) {
    ResourceName parsed;
    EXPECT_EQ(parseResourceName(text, parsed), VI_SUCCESS) << text;
  }
}

TEST(ResourceName, MalformedNames) {
  for (const char* text : {"",
                           "   ",
                           "FOO0::1.2.3.4::5025::SOCKET",
                           "TCPIP0::1.2.3.4::SOCKET",
                           "TCPIP0::::5025::SOCKET",
                           "TCPIP0::1.2.3.4::0::SOCKET",
                           "TCPIP0::1.2.3.4::65536::SOCKET",
                           "TCPIP0::1.2.3.4::50x5::SOCKET",
                           "TCPIPx::1.2.3.4::5025::SOCKET",
                           "TCPIP0::1.2.3.4::5025::SOCKET::extra",
                           "TCPIP0",
                           "ASRL1::SOCKET",
                           "ASRL1::INSTR::more",
                           "ASRLx::INSTR",
                           "ASRL99999999::INSTR",
                           "ASRL/::INSTR",
                           "GPIB0::INSTR",
                           "GPIB0::31::INSTR",
                           "USB0::0x1234::INSTR",
                           "MyAlias"}) {
    ResourceName parsed;
    EXPECT_EQ(parseResourceName(text, parsed), VI_ERROR_INV_RSRC_NAME) << text;
  }
}

}  // namespace
}  // namespace hnvqr::visa
