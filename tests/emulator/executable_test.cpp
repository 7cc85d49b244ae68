// vqr-sim run as a child process, as a user or a test script would.
#include <csignal>
#include <cstdio>
#include <gtest/gtest.h>
#include <spawn.h>
#include <sys/wait.h>

#include "test_client.hpp"

extern char** environ;

namespace vqrsim {
namespace {

using namespace std::chrono_literals;

class Child {
 public:
  explicit Child(std::vector<std::string> arguments) {
    arguments.insert(arguments.begin(), VQRSIM_EXECUTABLE);
    std::vector<char*> argv;
    for (std::string& argument : arguments) argv.push_back(argument.data());
    argv.push_back(nullptr);
    int out[2];
    if (pipe(out) != 0) return;
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, out[1], 1);
    posix_spawn_file_actions_addclose(&actions, out[0]);
    if (posix_spawn(&pid_, argv[0], &actions, nullptr, argv.data(), environ) != 0) pid_ = -1;
    posix_spawn_file_actions_destroy(&actions);
    close(out[1]);
    stdout_ = std::make_unique<testing::FdClient>(out[0]);
  }
  ~Child() {
    if (pid_ > 0) {
      kill(pid_, SIGKILL);
      waitpid(pid_, nullptr, 0);
    }
  }
  std::string first_line() { return stdout_->read_line(5s); }
  std::string rest_of_output() { return stdout_->read_for(2s); }
  // The exit status after the signal (or without one, 0), -1 if it did not exit normally.
  int finish(int signal_number) {
    if (signal_number != 0) kill(pid_, signal_number);
    int status = 0;
    waitpid(pid_, &status, 0);
    pid_ = -1;
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  }

  pid_t pid() const { return pid_; }

 private:
  pid_t pid_ = -1;
  std::unique_ptr<testing::FdClient> stdout_;
};

std::uint16_t port_of(const std::string& resource) {
  // "TCPIP0::127.0.0.1::40123::SOCKET\n"
  const std::size_t end = resource.rfind("::SOCKET");
  const std::size_t start = resource.rfind("::", end - 1) + 2;
  return static_cast<std::uint16_t>(std::stoi(resource.substr(start, end - start)));
}

TEST(ExecutableTest, PrintsTheResourceAnswersAndExitsCleanlyOnSigterm) {
  Child child({"--model", "VQR-B4", "--listen", "127.0.0.1:0"});
  const std::string line = child.first_line();
  ASSERT_EQ(line.rfind("TCPIP0::127.0.0.1::", 0), 0u) << line;
  ASSERT_EQ(line.substr(line.size() - 9), "::SOCKET\n");
  testing::FdClient client(testing::connect_tcp(port_of(line)));
  EXPECT_EQ(client.ask("*IDN?\n"), "Halvorn,VQR-B4,SIM000123,2.14\n");
  EXPECT_EQ(client.ask("CURR? MAX\n"), "40\n");
  EXPECT_EQ(child.finish(SIGTERM), 0);
}

TEST(ExecutableTest, UnknownModelAndLoadOption) {
  Child child({"--model", "XYZ-1", "--load-ohms", "10"});
  const std::string line = child.first_line();
  testing::FdClient client(testing::connect_tcp(port_of(line)));
  EXPECT_EQ(client.ask("*IDN?\n"), "Halvorn,XYZ-1,SIM000123,2.14\n");
  EXPECT_EQ(client.ask("VOLT 12;OUTP ON;MEAS:CURR?\n"), "1.2\n");
  EXPECT_EQ(child.finish(SIGINT), 0);
}

TEST(ExecutableTest, SerialModePrintsAPtyResource) {
  Child child({"--serial"});
  const std::string line = child.first_line();
  ASSERT_EQ(line.rfind("ASRL/dev/", 0), 0u) << line;
  const std::string path = line.substr(4, line.size() - 4 - 8);
  testing::FdClient port(testing::open_serial(path, B57600));
  EXPECT_EQ(port.ask("*IDN?\n"), "Halvorn,VQR-A4,SIM000123,2.14\n");
  EXPECT_EQ(child.finish(SIGTERM), 0);
}

// Resident memory of a process in kB, from /proc; 0 when unknown.
long resident_kb(pid_t pid) {
  std::FILE* status = std::fopen(("/proc/" + std::to_string(pid) + "/status").c_str(), "r");
  if (status == nullptr) return 0;
  char row[256];
  long kb = 0;
  while (std::fgets(row, sizeof row, status) != nullptr) {
    if (std::sscanf(row, "VmRSS: %ld", &kb) == 1) break;
  }
  std::fclose(status);
  return kb;
}

TEST(ExecutableTest, ServesSeveralClientsUpToItsLimit) {
  Child child({"--max-clients", "2"});
  const std::uint16_t port = port_of(child.first_line());
  testing::FdClient first(testing::connect_tcp(port));
  testing::FdClient second(testing::connect_tcp(port));
  EXPECT_EQ(first.ask("VOLT 3;*OPC?\n"), "1\n");
  EXPECT_EQ(second.ask("VOLT?\n"), "3\n");
  testing::FdClient third(testing::connect_tcp(port));
  EXPECT_TRUE(third.closed_by_peer());
  EXPECT_EQ(first.ask("*OPC?\n"), "1\n");
  EXPECT_EQ(child.finish(SIGTERM), 0);
}

TEST(ExecutableTest, MemoryStaysFlatUnderAFloodOfLines) {
  Child child({});
  testing::FdClient client(testing::connect_tcp(port_of(child.first_line())));
  EXPECT_EQ(client.ask("*OPC?\n"), "1\n");
  const long before = resident_kb(child.pid());
  std::string burst;
  for (int i = 0; i < 10000; ++i) burst += "VOLT 1\n";
  for (int round = 0; round < 20; ++round) ASSERT_TRUE(client.send(burst));  // 200,000 lines
  ASSERT_TRUE(client.send("*OPC?\n"));
  EXPECT_EQ(client.read_line(60s), "1\n");
#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
  GTEST_SKIP() << "a sanitizer's allocator keeps freed memory";
#endif
  // Keeping every line took some 6 MB more.
  EXPECT_LT(resident_kb(child.pid()) - before, 2048) << before << " kB before";
}

TEST(ExecutableTest, HelpAndBadOptions) {
  Child help({"--help"});
  EXPECT_NE(help.rest_of_output().find("--listen HOST:PORT"), std::string::npos);
  EXPECT_EQ(help.finish(0), 0);
  Child version({"--version"});
  EXPECT_EQ(version.rest_of_output().rfind("vqr-sim ", 0), 0u);
  EXPECT_EQ(version.finish(0), 0);
  for (const std::vector<std::string>& bad : {std::vector<std::string>{"--bogus"},
                                              {"--listen", "nocolon"},
                                              {"--load-ohms", "-3"},
                                              {"--model", "A,B"},
                                              {"--max-clients", "0"},
                                              {"--max-clients", "-1"},
                                              {"--max-clients", "4x"},
                                              {"--max-clients", "65"},
                                              {"--listen"},
                                              {"--serial=yes"},
                                              {"stray"}}) {
    Child child(bad);
    EXPECT_EQ(child.finish(0), 2) << bad.front();
  }
}

}  // namespace
}  // namespace vqrsim
