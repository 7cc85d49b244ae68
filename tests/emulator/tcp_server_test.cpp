#include <atomic>
#include <gtest/gtest.h>
#include <thread>

#include "test_client.hpp"
#include "vqrsim/server.hpp"

namespace vqrsim {
namespace {

using namespace std::chrono_literals;
using testing::FdClient;

class TcpServerTest : public ::testing::Test {
 protected:
  void SetUp() override {
    resource = server.start_tcp();
    client = std::make_unique<FdClient>(testing::connect_tcp(server.port()));
    ASSERT_TRUE(client->valid());
  }
  Server server;
  std::string resource;
  std::unique_ptr<FdClient> client;
};

TEST_F(TcpServerTest, ResourceStringNamesTheEphemeralPort) {
  EXPECT_NE(server.port(), 0);
  EXPECT_EQ(resource, "TCPIP0::127.0.0.1::" + std::to_string(server.port()) + "::SOCKET");
  EXPECT_EQ(server.resource(), resource);
  EXPECT_TRUE(server.running());
}

TEST_F(TcpServerTest, AnswersAndRecordsTheExactBytes) {
  EXPECT_EQ(client->ask("*IDN?\n"), "Halvorn,VQR-A4,SIM000123,2.14\n");
  // Two lines in one write, then one line in three writes; "\r\n" is tolerated.
  ASSERT_TRUE(client->send("VOLT 5\nCURR 2\r\n"));
  ASSERT_TRUE(client->send("VO"));
  ASSERT_TRUE(client->send("LT?"));
  EXPECT_EQ(client->ask("\n"), "5\n");
  ASSERT_TRUE(server.wait_for_transcript(4, 2s));
  EXPECT_EQ(server.transcript(), (std::vector<std::string>{"*IDN?\n", "VOLT 5\n", "CURR 2\r\n", "VOLT?\n"}));
  server.clear_transcript();
  EXPECT_TRUE(server.transcript().empty());
  EXPECT_EQ(server.state().levels.amps, 2);
}

TEST_F(TcpServerTest, OverriddenRepliesAreSentAsGiven) {
  server.override_reply("*IDN?", "VQR,VQR-A4,1,2\n");
  EXPECT_EQ(client->ask("*idn?\n"), "VQR,VQR-A4,1,2\n");
  server.override_reply("SYSTem:ERRor:NEXT?", "no comma here", 1);
  ASSERT_TRUE(client->send(":SYST:ERR?\n"));
  EXPECT_EQ(client->read_for(200ms), "no comma here");
  EXPECT_EQ(client->ask("SYST:ERR?\n"), "0,\"No error\"\n");  // used up
  server.override_reply("MEAS:VOLT?", std::string("\x00\xff\n", 3));
  EXPECT_EQ(client->ask("MEAS:VOLT?\n"), std::string("\x00\xff\n", 3));
  server.clear_reply_overrides();
  EXPECT_EQ(client->ask("*IDN?\n"), "Halvorn,VQR-A4,SIM000123,2.14\n");
}

TEST_F(TcpServerTest, StandardEventBitsOnDemand) {
  EXPECT_EQ(client->ask("*ESR?\n"), "128\n");
  server.raise_standard_events(32);
  EXPECT_EQ(client->ask("*ESR?\n"), "32\n");
  EXPECT_EQ(client->ask("*ESR?\n"), "0\n");
}

TEST_F(TcpServerTest, DelayedAndSplitReplies) {
  server.set_reply_delay(100ms);
  auto started = std::chrono::steady_clock::now();
  EXPECT_EQ(client->ask("*OPC?\n"), "1\n");
  EXPECT_GE(std::chrono::steady_clock::now() - started, 100ms);

  server.set_reply_delay(0ms);
  server.set_reply_split(4, 30ms);
  ASSERT_TRUE(client->send("*IDN?\n"));
  started = std::chrono::steady_clock::now();
  std::vector<std::string> pieces;
  std::string whole;
  while (whole.size() < 30) {
    char buffer[64];
    const ssize_t n = client->read_some(buffer, sizeof buffer, std::chrono::steady_clock::now() + 2s);
    ASSERT_GT(n, 0);
    pieces.emplace_back(buffer, static_cast<std::size_t>(n));
    whole += pieces.back();
  }
  EXPECT_EQ(whole, "Halvorn,VQR-A4,SIM000123,2.14\n");
  EXPECT_GE(pieces.size(), 2u);
  EXPECT_LE(pieces.front().size(), 4u);
  EXPECT_GE(std::chrono::steady_clock::now() - started, 7 * 30ms);  // 8 writes, 7 pauses
}

TEST_F(TcpServerTest, DropNowAndAfterTheNextLineThenReconnect) {
  EXPECT_EQ(client->ask("*OPC?\n"), "1\n");
  server.drop_connection();
  EXPECT_TRUE(client->closed_by_peer());

  FdClient second(testing::connect_tcp(server.port()));
  EXPECT_EQ(second.ask("*OPC?\n"), "1\n");
  server.drop_after_next_line();
  ASSERT_TRUE(second.send("VOLT 7;*IDN?\n"));
  EXPECT_TRUE(second.closed_by_peer());
  EXPECT_EQ(server.transcript().back(), "VOLT 7;*IDN?\n");
  EXPECT_EQ(server.state().levels.volts, 0);  // dropped, not executed

  FdClient third(testing::connect_tcp(server.port()));
  EXPECT_EQ(third.ask("*OPC?\n"), "1\n");
  EXPECT_EQ(server.connections_accepted(), 3u);
}

TEST_F(TcpServerTest, ClientThatVanishesMidReplyDoesNotStopTheServer) {
  server.set_reply_delay(50ms);
  ASSERT_TRUE(client->send("*IDN?\n"));
  client->close_now();
  server.set_reply_delay(0ms);
  FdClient next(testing::connect_tcp(server.port()));
  EXPECT_EQ(next.ask("*OPC?\n"), "1\n");
}

TEST_F(TcpServerTest, HugeLinesAndBinaryAreRejectedNotBuffered) {
  std::string huge(100000, 'A');
  ASSERT_TRUE(client->send(huge));
  ASSERT_TRUE(client->send("\n"));
  std::string binary;
  for (int i = 0; i < 256; ++i) binary += static_cast<char>(i == '\n' ? 0 : i);
  ASSERT_TRUE(client->send(binary + "\n"));
  EXPECT_EQ(client->ask("SYST:ERR?\n"), "-363,\"Input buffer overrun\"\n");
  EXPECT_EQ(client->ask("SYST:ERR?\n"), "-102,\"Syntax error\"\n");
  EXPECT_EQ(client->ask("*IDN?\n"), "Halvorn,VQR-A4,SIM000123,2.14\n");
  // The overlong line is not in the transcript; the binary one is, byte for byte.
  const auto lines = server.transcript();
  ASSERT_EQ(lines.size(), 4u);
  EXPECT_EQ(lines[0], binary + "\n");
}

TEST_F(TcpServerTest, StopReturnsWhileAReplyIsStalled) {
  server.set_reply_delay(10s);
  ASSERT_TRUE(client->send("*IDN?\n"));
  ASSERT_TRUE(server.wait_for_transcript(1, 2s));
  const auto started = std::chrono::steady_clock::now();
  server.stop();
  EXPECT_LT(std::chrono::steady_clock::now() - started, 5s);
  EXPECT_FALSE(server.running());
  EXPECT_TRUE(client->closed_by_peer());
}

TEST_F(TcpServerTest, HooksAreSafeWhileTheClientTalks) {
  std::atomic<bool> done{false};
  std::thread talker([&] {
    for (int i = 0; i < 200; ++i) {
      if (client->ask("VOLT " + std::to_string(i % 50) + ";MEAS:VOLT?\n").empty()) break;
    }
    done = true;
  });
  server.execute("OUTP ON");
  int reads = 0;
  while (!done) {
    const InstrumentState state = server.state();
    EXPECT_LE(state.levels.volts, 50);
    server.set_load_ohms(reads % 2 == 0 ? 10 : 1e6);
    (void)server.transcript();
    ++reads;
  }
  talker.join();
  EXPECT_EQ(server.transcript().size(), 200u);
}

TEST(TcpServersTest, SeveralServersInOneProcessAreIndependent) {
  Server a(ServerOptions{"VQR-B1", 1e6, false});
  Server b(ServerOptions{"VQR-A2", 1e6, false});
  a.start_tcp();
  b.start_tcp("localhost", 0);
  ASSERT_NE(a.port(), b.port());
  FdClient to_a(testing::connect_tcp(a.port()));
  FdClient to_b(testing::connect_tcp(b.port()));
  EXPECT_EQ(to_a.ask("*IDN?\n"), "Halvorn,VQR-B1,SIM000123,2.14\n");
  EXPECT_EQ(to_b.ask("VOLT 150;VOLT?\n"), "150\n");
  EXPECT_EQ(a.state().levels.volts, 0);
  EXPECT_THROW(a.start_tcp(), std::runtime_error);
  a.stop();
  a.stop();  // idempotent
  EXPECT_EQ(to_b.ask("*OPC?\n"), "1\n");
}

TEST(TcpServersTest, RefusesAnAddressItCannotListenOn) {
  Server server;
  EXPECT_THROW(server.start_tcp("not-an-address"), std::runtime_error);
  EXPECT_FALSE(server.running());
}

}  // namespace
}  // namespace vqrsim
