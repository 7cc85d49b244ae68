// Several TCP clients over one instrument: shared state, the client limit, clients that
// misbehave, and the bounded transcript.
#include <functional>
#include <gtest/gtest.h>
#include <thread>

#include "test_client.hpp"
#include "vqrsim/server.hpp"

namespace vqrsim {
namespace {

using namespace std::chrono_literals;
using testing::FdClient;

bool eventually(const std::function<bool()>& condition, std::chrono::milliseconds timeout = 5s) {
  const auto deadline = std::chrono::steady_clock::now() + timeout;
  while (!condition()) {
    if (std::chrono::steady_clock::now() > deadline) return false;
    std::this_thread::sleep_for(5ms);
  }
  return true;
}

ServerOptions options_with(std::size_t max_clients, std::chrono::milliseconds stalled_after = 10s) {
  ServerOptions options;
  options.max_clients = max_clients;
  options.stalled_client_timeout = stalled_after;
  return options;
}

TEST(TcpClientsTest, TwoClientsSeeEachOthersSettings) {
  Server server;
  server.start_tcp();
  FdClient first(testing::connect_tcp(server.port()));
  FdClient second(testing::connect_tcp(server.port()));
  // Both are connected before either speaks: neither waits for the other to leave.
  ASSERT_TRUE(eventually([&] { return server.clients_connected() == 2; }));
  ASSERT_TRUE(first.send("VOLT 5\n"));
  ASSERT_TRUE(server.wait_for_transcript(1, 2s));
  EXPECT_EQ(second.ask("VOLT?\n"), "5\n");
  ASSERT_TRUE(second.send("CURR 2;OUTP ON\n"));
  ASSERT_TRUE(server.wait_for_transcript(3, 2s));
  EXPECT_EQ(first.ask("CURR?;OUTP?\n"), "2;1\n");
  EXPECT_EQ(server.connections_accepted(), 2u);
  EXPECT_EQ(server.transcript().size(), 4u);

  server.drop_connection();  // every current client
  EXPECT_TRUE(first.closed_by_peer());
  EXPECT_TRUE(second.closed_by_peer());
  FdClient third(testing::connect_tcp(server.port()));
  EXPECT_EQ(third.ask("VOLT?\n"), "5\n");
}

TEST(TcpClientsTest, OneClientPastTheLimitIsClosedAtOnceAndLogged) {
  Server server(options_with(2));
  server.start_tcp();
  FdClient first(testing::connect_tcp(server.port()));
  FdClient second(testing::connect_tcp(server.port()));
  ASSERT_TRUE(eventually([&] { return server.clients_connected() == 2; }));

  ::testing::internal::CaptureStderr();
  FdClient refused(testing::connect_tcp(server.port()));
  ASSERT_TRUE(refused.valid());  // the connection is accepted, then closed
  EXPECT_TRUE(refused.closed_by_peer());
  const std::string log = ::testing::internal::GetCapturedStderr();
  EXPECT_NE(log.find("refused a connection: 2 clients are connected already"), std::string::npos) << log;

  EXPECT_EQ(first.ask("*OPC?\n"), "1\n");
  EXPECT_EQ(second.ask("*OPC?\n"), "1\n");
  EXPECT_EQ(server.connections_accepted(), 2u);

  // A place that frees up is taken by the next client.
  first.close_now();
  ASSERT_TRUE(eventually([&] { return server.clients_connected() == 1; }));
  FdClient next(testing::connect_tcp(server.port()));
  EXPECT_EQ(next.ask("*OPC?\n"), "1\n");
  EXPECT_EQ(server.connections_accepted(), 3u);
}

// What the misbehaving client does: `begin` before the other client speaks, and
// `keep_busy` on a thread of its own while it does, until `stop`.
struct Misbehaviour {
  const char* name;
  std::function<void(Server&, FdClient&)> begin;
  std::function<void(FdClient&, const std::atomic<bool>& stop)> keep_busy;
  bool dropped;  // the emulator drops the client for it
};

TEST(TcpClientsTest, AMisbehavingClientDoesNotHoldUpAnother) {
  const auto nothing = [](auto&...) {};
  const Misbehaviour cases[] = {
      {"endless line", nothing,
       [](FdClient& client, const std::atomic<bool>& stop) {
         const std::string run(64 * 1024, 'A');
         for (int i = 0; i < 512 && !stop; ++i) {
           if (!client.send(run)) return;
         }
       },
       false},
      {"never reads its replies",
       [](Server& server, FdClient& client) {
         server.override_reply("*IDN?", std::string(64 * 1024, 'x') + "\n");
         std::string queries;
         for (int i = 0; i < 400; ++i) queries += "*IDN?\n";
         ASSERT_TRUE(client.send(queries));
       },
       nothing, true},
      {"waits for a slow reply",
       [](Server& server, FdClient& client) {
         server.set_reply_delay(3s);
         ASSERT_TRUE(client.send("*IDN?\n"));
         ASSERT_TRUE(server.wait_for_transcript(1, 2s));
         server.set_reply_delay(0ms);
       },
       nothing, false},
  };
  for (const Misbehaviour& misbehaviour : cases) {
    SCOPED_TRACE(misbehaviour.name);
    Server server(options_with(4, 300ms));
    server.start_tcp();
    FdClient bad(testing::connect_tcp(server.port()));
    FdClient good(testing::connect_tcp(server.port()));
    ASSERT_TRUE(eventually([&] { return server.clients_connected() == 2; }));
    misbehaviour.begin(server, bad);
    std::atomic<bool> stop{false};
    std::thread busy([&] { misbehaviour.keep_busy(bad, stop); });
    for (int i = 0; i < 5; ++i) {
      const auto asked = std::chrono::steady_clock::now();
      EXPECT_EQ(good.ask("VOLT " + std::to_string(i) + ";VOLT?\n"), std::to_string(i) + "\n");
      EXPECT_LT(std::chrono::steady_clock::now() - asked, 1s);
    }
    stop = true;
    busy.join();
    if (misbehaviour.dropped) {
      EXPECT_TRUE(eventually([&] { return server.clients_connected() == 1; }));
    } else {
      EXPECT_EQ(server.clients_connected(), 2u);
    }
    EXPECT_EQ(good.ask("*OPC?\n"), "1\n");
  }
}

TEST(TcpClientsTest, AnEndlessLineIsDiscardedAsOverlong) {
  Server server;
  server.start_tcp();
  FdClient client(testing::connect_tcp(server.port()));
  const std::string run(64 * 1024, 'A');
  for (int i = 0; i < 64; ++i) ASSERT_TRUE(client.send(run));
  EXPECT_EQ(client.ask("\nSYST:ERR?\n"), "-363,\"Input buffer overrun\"\n");
  EXPECT_EQ(server.transcript(), std::vector<std::string>{"SYST:ERR?\n"});
}

TEST(TcpClientsTest, TheTranscriptKeepsTheLatestLinesAndCountsThemAll) {
  ServerOptions options;
  options.transcript_lines = 1000;
  Server server(options);
  server.start_tcp();
  FdClient client(testing::connect_tcp(server.port()));
  constexpr int kLines = 50000;
  std::string burst;
  for (int i = 0; i < kLines; ++i) burst += "VOLT " + std::to_string(i % 50) + "\n";
  ASSERT_TRUE(client.send(burst));
  ASSERT_TRUE(server.wait_for_transcript(kLines, 60s));
  const auto lines = server.transcript();
  ASSERT_EQ(lines.size(), 1000u);
  EXPECT_EQ(lines.front(), "VOLT 0\n");  // line 49000
  EXPECT_EQ(lines.back(), "VOLT 49\n");
  server.clear_transcript();
  EXPECT_FALSE(server.wait_for_transcript(1, 0ms));
  EXPECT_EQ(client.ask("VOLT?\n"), "49\n");
  EXPECT_EQ(server.transcript(), std::vector<std::string>{"VOLT?\n"});
}

TEST(TcpClientsTest, NoTranscriptWhenNoneIsKept) {
  ServerOptions options;
  options.transcript_lines = 0;
  Server server(options);
  server.start_tcp();
  FdClient client(testing::connect_tcp(server.port()));
  EXPECT_EQ(client.ask("*OPC?\n"), "1\n");
  EXPECT_TRUE(server.wait_for_transcript(1, 2s));
  EXPECT_TRUE(server.transcript().empty());
}

}  // namespace
}  // namespace vqrsim
