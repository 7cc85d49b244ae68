// The VXI-11 transport (TCPIP::host::INSTR) through the vi* functions, against the
// emulator's VXI-11 front end: framing, pieces, time-outs and the peers that misbehave.
#include <gtest/gtest.h>

#include <stdlib.h>
#include <sys/socket.h>

#include <chrono>
#include <string>

#include "loopback_server.h"
#include "visa.h"
#include "vqrsim/server.hpp"
#include "vqrsim/vxi11_server.hpp"

namespace hnvqr::visa::test {
namespace {

using Clock = std::chrono::steady_clock;
using std::chrono::milliseconds;

constexpr auto kGenerous = std::chrono::seconds(5);
constexpr const char* kIdentity = "Halvorn,VQR-A4,SIM000123,2.14\n";

class Vxi11Test : public ::testing::Test {
 protected:
  void SetUp() override {
    resource_ = vxi11_.start();
    setenv("HNVISA_VXI11_PORTMAPPER_PORT", std::to_string(vxi11_.portmapper_port()).c_str(), 1);
    ASSERT_EQ(viOpenDefaultRM(&rm_), VI_SUCCESS);
    ASSERT_EQ(viOpen(rm_, resource_.c_str(), VI_NO_LOCK, 0, &vi_), VI_SUCCESS);
    ASSERT_EQ(viSetAttribute(vi_, VI_ATTR_TMO_VALUE, 300), VI_SUCCESS);
  }
  void TearDown() override {
    viClose(rm_);
    vxi11_.stop();
  }

  ViStatus Write(const std::string& text) {
    ViUInt32 count = 0;
    return viWrite(vi_, reinterpret_cast<const ViByte*>(text.data()), static_cast<ViUInt32>(text.size()), &count);
  }
  ViStatus Read(std::string& text, ViUInt32 capacity = 256) {
    std::string buffer(capacity, '\0');
    ViUInt32 count = 0;
    const ViStatus status = viRead(vi_, reinterpret_cast<ViByte*>(buffer.data()), capacity, &count);
    text = buffer.substr(0, count);
    return status;
  }

  vqrsim::Server server_;
  vqrsim::Vxi11Server vxi11_{server_};
  std::string resource_;
  ViSession rm_ = VI_NULL;
  ViSession vi_ = VI_NULL;
};

TEST_F(Vxi11Test, ReadEndsWithTheMessageAndInPiecesWhenTheBufferIsSmall) {
  ASSERT_EQ(Write("*IDN?\n"), VI_SUCCESS);
  std::string reply;
  EXPECT_EQ(Read(reply), VI_SUCCESS);
  EXPECT_EQ(reply, kIdentity);
  ASSERT_EQ(Write("*IDN?\n"), VI_SUCCESS);
  std::string first, rest;
  EXPECT_EQ(Read(first, 8), VI_SUCCESS_MAX_CNT);
  EXPECT_EQ(Read(rest), VI_SUCCESS);
  EXPECT_EQ(first + rest, kIdentity);

  ViChar text[256] = {};
  EXPECT_EQ(viGetAttribute(vi_, VI_ATTR_RSRC_CLASS, text), VI_SUCCESS);
  EXPECT_STREQ(text, "INSTR");
  EXPECT_EQ(viGetAttribute(vi_, VI_ATTR_RSRC_NAME, text), VI_SUCCESS);
  EXPECT_STREQ(text, "TCPIP0::127.0.0.1::inst0::INSTR");
  EXPECT_EQ(viGetAttribute(vi_, VI_ATTR_TCPIP_ADDR, text), VI_SUCCESS);
  EXPECT_STREQ(text, "127.0.0.1");
}

TEST_F(Vxi11Test, LongWritesArriveWholeInSeveralCalls) {
  std::string lines;
  for (int i = 0; i < 4000; ++i) lines += "*CLS\n";  // beyond one device_write
  ASSERT_EQ(Write(lines), VI_SUCCESS);
  ASSERT_EQ(Write("*IDN?\n"), VI_SUCCESS);
  std::string reply;
  EXPECT_EQ(Read(reply), VI_SUCCESS);
  EXPECT_EQ(reply, kIdentity);
  EXPECT_EQ(server_.transcript().size(), 4001u);
  EXPECT_EQ(server_.transcript().back(), "*IDN?\n");
}

TEST_F(Vxi11Test, FormattedQueryAndAMessageWithoutItsNewline) {
  ViReal64 volts = 0;
  ASSERT_EQ(viPrintf(vi_, const_cast<ViString>("VOLT 12.5\n")), VI_SUCCESS);
  EXPECT_EQ(viQueryf(vi_, const_cast<ViString>("VOLT?\n"), const_cast<ViString>("%lf%*t"), &volts), VI_SUCCESS);
  EXPECT_DOUBLE_EQ(volts, 12.5);
  // END alone terminates a program message.
  ASSERT_EQ(Write("*IDN?"), VI_SUCCESS);
  std::string reply;
  EXPECT_EQ(Read(reply), VI_SUCCESS);
  EXPECT_EQ(reply, kIdentity);
}

TEST_F(Vxi11Test, TrickledReplyIsReadWholeOrTimesOutWithinTheTimeOut) {
  server_.set_reply_split(4, milliseconds(10));
  ASSERT_EQ(Write("*IDN?\n"), VI_SUCCESS);
  std::string reply;
  EXPECT_EQ(Read(reply), VI_SUCCESS);
  EXPECT_EQ(reply, kIdentity);

  server_.set_reply_split(1, milliseconds(100));  // 30 bytes over 3 s
  ASSERT_EQ(Write("*IDN?\n"), VI_SUCCESS);
  const auto start = Clock::now();
  EXPECT_EQ(Read(reply), VI_ERROR_TMO);
  EXPECT_LT(Clock::now() - start, milliseconds(300 + 1000));
  EXPECT_FALSE(reply.empty());  // what came is the caller's
  EXPECT_LT(reply.size(), std::string(kIdentity).size());
}

TEST_F(Vxi11Test, SilentInstrumentTimesOutAndClosingStillReturns) {
  server_.set_reply_delay(milliseconds(2000));
  ASSERT_EQ(Write("*IDN?\n"), VI_SUCCESS);
  std::string reply;
  auto start = Clock::now();
  EXPECT_EQ(Read(reply), VI_ERROR_TMO);
  EXPECT_LT(Clock::now() - start, milliseconds(300 + 1000));
  EXPECT_GE(Clock::now() - start, milliseconds(290));

  // No RPC answer at all: the call gives up at the time-out and a little grace.
  vxi11_.set_silent(true);
  start = Clock::now();
  EXPECT_EQ(Write("*IDN?\n"), VI_ERROR_TMO);
  EXPECT_EQ(Read(reply), VI_ERROR_TMO);
  EXPECT_LT(Clock::now() - start, milliseconds(2 * (300 + 1000)));
  start = Clock::now();
  EXPECT_EQ(viClose(vi_), VI_SUCCESS);
  EXPECT_LT(Clock::now() - start, kGenerous);
}

TEST_F(Vxi11Test, ReplyCutMidwayOrInstrumentGoneIsConnectionLost) {
  vxi11_.cut_next_reply();
  ASSERT_EQ(Write("*IDN?\n"), VI_ERROR_CONN_LOST);
  std::string reply;
  EXPECT_EQ(Read(reply), VI_ERROR_CONN_LOST);
  EXPECT_EQ(viClose(vi_), VI_SUCCESS);

  ASSERT_EQ(viOpen(rm_, resource_.c_str(), VI_NO_LOCK, 0, &vi_), VI_SUCCESS);
  ASSERT_EQ(Write("*IDN?\n"), VI_SUCCESS);
  vxi11_.drop_connections();
  EXPECT_EQ(Read(reply), VI_ERROR_CONN_LOST);

  ASSERT_EQ(viOpen(rm_, resource_.c_str(), VI_NO_LOCK, 0, &vi_), VI_SUCCESS);
  server_.drop_after_next_line();
  EXPECT_EQ(Write("*IDN?\n"), VI_ERROR_CONN_LOST);
}

TEST(Vxi11Open, WhatDoesNotOpen) {
  vqrsim::Server server;
  vqrsim::Vxi11Server vxi11(server);
  vxi11.start();
  ViSession rm = VI_NULL;
  ASSERT_EQ(viOpenDefaultRM(&rm), VI_SUCCESS);
  setenv("HNVISA_VXI11_PORTMAPPER_PORT", std::to_string(vxi11.portmapper_port()).c_str(), 1);
  ViSession vi = 1;
  EXPECT_EQ(viOpen(rm, "TCPIP0::127.0.0.1::gpib0,5::INSTR", VI_NO_LOCK, 0, &vi), VI_ERROR_RSRC_NFOUND);
  EXPECT_EQ(vi, VI_NULL);
  EXPECT_EQ(viOpen(rm, "TCPIP0::127.0.0.1::inst0::INSTR", VI_NO_LOCK, 0, &vi), VI_SUCCESS);
  EXPECT_EQ(viClose(vi), VI_SUCCESS);

  // Portmappers that misbehave: each open fails within its time-out, with nothing
  // allocated for a record it announces but no call of ours can need.
  struct Peer {
    const char* what;
    std::string answer;  // sent after the call arrives; empty: say nothing
    bool closeAfter;     // then close, mid-record
  };
  const std::string kMark = std::string("\x80\x00\x00\x08", 4);
  const Peer peers[] = {
      {"silent", "", false},
      {"announces a 2 GiB record", std::string("\xff\xff\xff\xff", 4) + std::string(64, 'x'), false},
      {"answers another transaction", kMark + std::string(8, '\x01'), false},
      {"sends a truncated reply and closes", std::string("\x80\x00\x01\x00", 4) + "xid", true},
  };
  for (const Peer& peer : peers) {
    LoopbackServer portmapper([&peer](int connection) {
      char call[512];
      if (recv(connection, call, sizeof call, 0) <= 0) return;
      if (peer.answer.empty()) {
        recv(connection, call, sizeof call, 0);  // until the client gives up
        return;
      }
      LoopbackServer::writeAll(connection, peer.answer);
      if (!peer.closeAfter) recv(connection, call, sizeof call, 0);
    });
    setenv("HNVISA_VXI11_PORTMAPPER_PORT", std::to_string(portmapper.port()).c_str(), 1);
    const auto start = Clock::now();
    EXPECT_EQ(viOpen(rm, "TCPIP0::127.0.0.1::INSTR", VI_NO_LOCK, 300, &vi), VI_ERROR_RSRC_NFOUND) << peer.what;
    EXPECT_LT(Clock::now() - start, milliseconds(2000)) << peer.what;
  }
  setenv("HNVISA_VXI11_PORTMAPPER_PORT", std::to_string(unusedLoopbackPort()).c_str(), 1);
  EXPECT_EQ(viOpen(rm, "TCPIP0::127.0.0.1::INSTR", VI_NO_LOCK, 300, &vi), VI_ERROR_RSRC_NFOUND);
  viClose(rm);
}

}  // namespace
}  // namespace hnvqr::visa::test
