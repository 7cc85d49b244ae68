#include <gtest/gtest.h>
#include <thread>

#include "test_client.hpp"
#include "vqrsim/server.hpp"

namespace vqrsim {
namespace {

using namespace std::chrono_literals;
using testing::FdClient;

std::string slave_path_of(const std::string& resource) {
  // "ASRL/dev/pts/5::INSTR"
  return resource.substr(4, resource.size() - 4 - 7);
}

class PtyServerTest : public ::testing::Test {
 protected:
  void SetUp() override {
    resource = server.start_serial();
    path = slave_path_of(resource);
  }
  Server server;
  std::string resource;
  std::string path;
};

TEST_F(PtyServerTest, ResourceStringAndAnswersOverTheLine) {
  EXPECT_EQ(resource.rfind("ASRL/dev/", 0), 0u);
  EXPECT_EQ(resource.substr(resource.size() - 7), "::INSTR");
  FdClient port(testing::open_serial(path, B57600));
  ASSERT_TRUE(port.valid());
  EXPECT_EQ(port.ask("*IDN?\n"), "Halvorn,VQR-A4,SIM000123,2.14\n");
  EXPECT_EQ(port.ask("VOLT 3;VOLT?\r\n"), "3\n");
  // Nothing echoed back: the emulator saw exactly the two lines.
  EXPECT_EQ(server.transcript(), (std::vector<std::string>{"*IDN?\n", "VOLT 3;VOLT?\r\n"}));
}

TEST_F(PtyServerTest, RepliesArePacedAtTheClientsBaudRate) {
  FdClient port(testing::open_serial(path, B9600));  // 960 characters a second
  ASSERT_TRUE(port.valid());
  server.override_reply("*IDN?", std::string(95, 'x') + "\n");
  ASSERT_TRUE(port.send("*IDN?\n"));
  const auto started = std::chrono::steady_clock::now();
  const std::string reply = port.read_line();
  EXPECT_EQ(reply.size(), 96u);
  EXPECT_GE(std::chrono::steady_clock::now() - started, 80ms);  // about 100 ms on the wire
}

TEST_F(PtyServerTest, ANewClientAfterTheFirstClosedStartsClean) {
  {
    FdClient first(testing::open_serial(path, B57600));
    EXPECT_EQ(first.ask("*OPC?\n"), "1\n");
    server.set_reply_delay(100ms);
    ASSERT_TRUE(first.send("*IDN?\n"));  // leaves before the reply comes
  }
  std::this_thread::sleep_for(200ms);
  server.set_reply_delay(0ms);
  FdClient second(testing::open_serial(path, B57600));
  ASSERT_TRUE(second.valid());
  EXPECT_EQ(second.ask("*OPC?\n"), "1\n");
}

TEST_F(PtyServerTest, DropFlushesTheLineAndServingGoesOn) {
  FdClient port(testing::open_serial(path, B57600));
  server.drop_after_next_line();
  ASSERT_TRUE(port.send("*IDN?\n"));
  EXPECT_EQ(port.read_for(150ms), "");
  EXPECT_EQ(port.ask("*OPC?\n"), "1\n");
  ASSERT_TRUE(port.send("VOLT 1"));  // partial line, then a drop
  ASSERT_TRUE(server.wait_for_transcript(2, 1s));
  std::this_thread::sleep_for(50ms);
  server.drop_connection();
  std::this_thread::sleep_for(50ms);
  EXPECT_EQ(port.ask("*OPC?\n"), "1\n");
  EXPECT_EQ(server.transcript().back(), "*OPC?\n");
}

TEST_F(PtyServerTest, StopWithAClientAttached) {
  FdClient port(testing::open_serial(path, B57600));
  EXPECT_EQ(port.ask("*OPC?\n"), "1\n");
  server.stop();
  EXPECT_FALSE(server.running());
}

}  // namespace
}  // namespace vqrsim
