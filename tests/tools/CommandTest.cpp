// The built hnvqr binary run as a user runs it: every command in simulation and against a
// vqr-sim child process, bad arguments, driver failures and logical names.
#include <gtest/gtest.h>

#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <nlohmann/json.hpp>
#include <sys/socket.h>
#include <filesystem>
#include <fstream>
#include <poll.h>
#include <spawn.h>
#include <sstream>
#include <string>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

#include "../support/TemporaryFolder.h"

extern char** environ;

namespace {

struct Outcome {
  int exit_code = -1;
  std::string out;
  std::string err;
};

std::string read_file(const std::filesystem::path& path) {
  std::ifstream stream(path, std::ios::binary);
  std::ostringstream text;
  text << stream.rdbuf();
  return text.str();
}

struct ScratchDirectory : test_support::TemporaryFolder {
  ScratchDirectory() : TemporaryFolder("hnvqr-tool") {}
};

// Runs hnvqr with ARGUMENTS and the environment plus EXTRA_ENVIRONMENT ("NAME=value").
Outcome run_hnvqr(std::vector<std::string> arguments, const std::vector<std::string>& extra_environment = {}) {
  ScratchDirectory scratch;
  const std::string out_path = (scratch.path() / "out").string();
  const std::string err_path = (scratch.path() / "err").string();
  arguments.insert(arguments.begin(), HNVQR_EXECUTABLE);
  std::vector<char*> argv;
  for (std::string& argument : arguments) argv.push_back(argument.data());
  argv.push_back(nullptr);
  std::vector<std::string> environment_copy(extra_environment);
  for (char** entry = environ; *entry != nullptr; ++entry) environment_copy.emplace_back(*entry);
  std::vector<char*> envp;
  for (std::string& entry : environment_copy) envp.push_back(entry.data());
  envp.push_back(nullptr);

  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, 1, out_path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
  posix_spawn_file_actions_addopen(&actions, 2, err_path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
  pid_t pid = -1;
  Outcome outcome;
  if (posix_spawn(&pid, argv[0], &actions, nullptr, argv.data(), envp.data()) == 0) {
    int status = 0;
    waitpid(pid, &status, 0);
    outcome.exit_code = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  }
  posix_spawn_file_actions_destroy(&actions);
  outcome.out = read_file(out_path);
  outcome.err = read_file(err_path);
  return outcome;
}

Outcome simulated(std::vector<std::string> arguments) {
  arguments.insert(arguments.begin(), "--simulate");
  return run_hnvqr(std::move(arguments));
}

constexpr const char* kUsageLine = "usage: hnvqr [-r RESOURCE | --simulate] [-o OPTIONS] ";

void expect_success(const Outcome& outcome, const std::string& out) {
  EXPECT_EQ(outcome.exit_code, 0) << outcome.err;
  EXPECT_EQ(outcome.out, out);
  EXPECT_EQ(outcome.err, "");
}

void expect_driver_failure(const Outcome& outcome, const std::string& description) {
  EXPECT_EQ(outcome.exit_code, 1);
  EXPECT_EQ(outcome.err, "hnvqr: " + description + "\n");
}

bool contains(const std::string& text, const std::string& part) { return text.find(part) != std::string::npos; }

std::size_t line_count(const std::string& text) {
  std::size_t lines = 0;
  for (const char c : text) lines += c == '\n' ? 1 : 0;
  return lines;
}

const std::string kOvpDisableRefused =
    "Does not support this class-compliant feature:  Enumeration value 'VI_FALSE' passed as the value for "
    "parameter 'AttributeValue' in function 'OVP_ENABLED'.";

// ---- Simulation ----------------------------------------------------------------------

TEST(SimulatedCommand, Help) {
  const Outcome outcome = run_hnvqr({"--help"});
  EXPECT_EQ(outcome.exit_code, 0);
  EXPECT_EQ(outcome.out.rfind(kUsageLine, 0), 0u);
  EXPECT_NE(outcome.out.find("attributes"), std::string::npos);
  EXPECT_EQ(outcome.err, "");
  EXPECT_EQ(simulated({"--help"}).exit_code, 0);
}

TEST(SimulatedCommand, Idn) {
  expect_success(simulated({"idn"}), "Manufacturer: Halvorn\nModel: VQR-B6\nFirmware revision: Sim1.0.2.0\n");
  expect_success(simulated({"-o", "DriverSetup=Model:VQR-A2", "idn"}),
                 "Manufacturer: Halvorn\nModel: VQR-A2\nFirmware revision: Sim1.0.2.0\n");
}

TEST(SimulatedCommand, GetPrintsEachTypeAndEnumerationsByName) {
  expect_success(simulated({"get", "voltage_level"}), "25\n");
  expect_success(simulated({"get", "VOLTAGE_LEVEL", "CH1"}), "25\n");
  expect_success(simulated({"get", "HNVQR_ATTR_remote_sense_resistance"}), "1500000\n");
  expect_success(simulated({"get", "output_enabled"}), "true\n");
  expect_success(simulated({"get", "auto_start_enabled"}), "false\n");
  expect_success(simulated({"get", "channel_count"}), "1\n");
  expect_success(simulated({"get", "control_source"}), "REMOTE\n");
  expect_success(simulated({"get", "current_limit_behavior"}), "TRIP\n");
  expect_success(simulated({"get", "analog_voltage_scaling_level"}), "VOLT_3\n");
  expect_success(simulated({"get", "device_capabilities"}), "(DCPSUPPLY WITH MEASURE)\n");
  expect_success(simulated({"-o", "DriverSetup=Model:VQR-A2", "get", "driver_setup"}), "Model:VQR-A2\n");
}

TEST(SimulatedCommand, SetAcceptsNamesNumbersAndBooleanWords) {
  for (const std::vector<std::string>& arguments : std::vector<std::vector<std::string>>{
           {"set", "voltage_level", "12.5"},
           {"set", "voltage_level", "12.5", "CH1"},
           {"set", "analog_output_mode", "series"},
           {"set", "ANALOG_OUTPUT_MODE", "Analog_Output_Mode_Parallel"},
           {"set", "control_source", "remote_with_lock"},
           {"set", "control_source", "3"},
           {"set", "standard_event_enable_register", "0x3C"},
           {"set", "auto_start_enabled", "on"},
           {"set", "ovp_enabled", "true"},
           {"set", "current_limit_behavior", "trip"},
       }) {
    expect_success(simulated(arguments), "");
  }
}

TEST(SimulatedCommand, SetRefusedByTheDriverExitsOneWithItsDescription) {
  expect_driver_failure(simulated({"set", "ovp_enabled", "off"}), kOvpDisableRefused);
  expect_driver_failure(simulated({"set", "current_limit_behavior", "regulate"}),
                        "Does not support this class-compliant feature:  Enumeration value "
                        "'HNVQR_VAL_CURRENT_REGULATE' passed as the value for parameter 'AttributeValue' in "
                        "function 'CURRENT_LIMIT_BEHAVIOR'.");
  expect_driver_failure(simulated({"set", "logical_name", "x"}), "Attribute 'HNVQR_ATTR_LOGICAL_NAME' is read-only.");
  // Nothing is recorded for the trigger attributes: the text is the driver's message.
  expect_driver_failure(simulated({"get", "trigger_source"}),
                        "Does not support this class-compliant feature: attribute 'HNVQR_ATTR_TRIGGER_SOURCE'.");
}

TEST(SimulatedCommand, Measure) {
  expect_success(simulated({"measure", "voltage"}), "0\n");
  expect_success(simulated({"measure", "CURRENT"}), "0\n");
}

TEST(SimulatedCommand, Output) {
  expect_success(simulated({"output", "on"}), "");
  expect_success(simulated({"output", "off"}), "");
}

TEST(SimulatedCommand, State) {
  expect_success(simulated({"state"}),
                 "Output enabled: true\nVoltage level: 25\nCurrent level: 3.5\nMeasured voltage: 0\n"
                 "Measured current: 0\nConstant voltage: true\nConstant current: false\nOver-voltage: false\n"
                 "Over-current: false\nUnregulated: false\n");
}

TEST(SimulatedCommand, Errors) { expect_success(simulated({"errors"}), "0,\"No error.\"\n"); }

TEST(SimulatedCommand, TimeoutIsAcceptedWithoutIo) {
  expect_success(simulated({"--timeout", "100", "get", "voltage_level"}), "25\n");
}

TEST(SimulatedCommand, Reset) { expect_success(simulated({"reset"}), ""); }

TEST(SimulatedCommand, SelfTest) { expect_success(simulated({"self-test"}), "Result: 0\nMessage: Selftest passed\n"); }

TEST(SimulatedCommand, AttributesListsAllWithTypeAccessAndValueOrError) {
  const Outcome outcome = simulated({"attributes"});
  EXPECT_EQ(outcome.exit_code, 0) << outcome.err;
  EXPECT_EQ(line_count(outcome.out), 65u);
  EXPECT_NE(outcome.out.find("\nVOLTAGE_LEVEL                              ViReal64  R/W 25\n"), std::string::npos);
  EXPECT_NE(outcome.out.find("\nINSTRUMENT_MODEL                           ViString  R   VQR-B6\n"), std::string::npos);
  EXPECT_NE(outcome.out.find("\nCONTROL_SOURCE                             ViInt32   R/W REMOTE\n"), std::string::npos);
  EXPECT_NE(outcome.out.find("\nTRIGGERED_VOLTAGE_LEVEL                    ViReal64  R/W error: Does not support "
                             "this class-compliant feature: attribute 'HNVQR_ATTR_TRIGGERED_VOLTAGE_LEVEL'.\n"),
            std::string::npos);
}

TEST(SimulatedCommand, BadOptionStringIsAUsageErrorWithTheDescription) {
  const Outcome outcome = simulated({"-o", "Bogus=1", "idn"});
  EXPECT_EQ(outcome.exit_code, 2);
  EXPECT_EQ(outcome.out, "");
  EXPECT_EQ(outcome.err, "hnvqr: bad option string: The 'bogus' name in the option string is unknown.\n");
  EXPECT_EQ(simulated({"--option", "Cache=maybe", "idn"}).exit_code, 2);
  const Outcome repeated = simulated({"-o", "Cache=1, cache=0", "idn"});
  EXPECT_EQ(repeated.exit_code, 2);
  EXPECT_EQ(repeated.err,
            "hnvqr: bad option string: Failure cannot recover.  Inherent option 'cache' appears more than once.\n");
}

// ---- Bad arguments -------------------------------------------------------------------

TEST(BadArguments, GiveOneLineOnStderrAndExitTwo) {
  const std::vector<std::vector<std::string>> cases = {
      {},
      {"--simulate"},
      {"idn"},                                                      // neither -r nor --simulate
      {"-r", "TCPIP0::127.0.0.1::1::SOCKET", "--simulate", "idn"},  // both
      {"-r"},
      {"--simulate", "-o"},
      {"--simulate", "--bogus", "idn"},
      {"--simulate", "frobnicate"},
      {"--simulate", "idn", "extra"},
      {"--simulate", "get"},
      {"--simulate", "get", "no_such_attribute"},
      {"--simulate", "get", "voltage_level", "CH1", "extra"},
      {"--simulate", "set", "voltage_level"},
      {"--simulate", "set", "voltage_level", "twelve"},
      {"--simulate", "set", "voltage_level", "12V"},
      {"--simulate", "set", "output_enabled", "maybe"},
      {"--simulate", "set", "analog_output_mode", "serial"},
      {"--simulate", "set", "control_source", "series"},
      {"--simulate", "set", "status_byte_enable_register", "4294967296"},
      {"--simulate", "measure"},
      {"--simulate", "measure", "power"},
      {"--simulate", "output"},
      {"--simulate", "output", "up"},
      {"--simulate", "--timeout", "0", "idn"},
      {"--simulate", "--timeout", "soon", "idn"},
      {"--simulate", "--timeout"},
      {"--simulate", "scpi"},
      {"--simulate", "scpi", ""},
      {"--x"},
      {"-x", "idn"},
      {"--resource"},
      {"--simulate", "-o", "Simulate=0", "idn"},
  };
  for (const std::vector<std::string>& arguments : cases) {
    std::string shown;
    for (const std::string& argument : arguments) shown += argument + " ";
    const Outcome outcome = run_hnvqr(arguments);
    EXPECT_EQ(outcome.exit_code, 2) << shown;
    EXPECT_EQ(outcome.out, "") << shown;
    EXPECT_EQ(outcome.err.rfind("hnvqr: ", 0), 0u) << shown << outcome.err;
    EXPECT_EQ(line_count(outcome.err), 1u) << shown << outcome.err;
    EXPECT_TRUE(outcome.err.ends_with("; try 'hnvqr --help'\n")) << shown << outcome.err;
  }
}

// ---- Logical names -------------------------------------------------------------------

TEST(LogicalName, ResolvedByTheDriverFromTheConfigurationStore) {
  ScratchDirectory scratch;
  const std::filesystem::path store = scratch.path() / "store.json";
  std::ofstream(store) << R"({"driverSessions":[{"name":"S","simulate":true}],)"
                          R"("logicalNames":[{"name":"MyPSU","session":"S"}]})";
  const std::string environment = "IVI_CONFIG_STORE=" + store.string();
  expect_success(run_hnvqr({"-r", "MyPSU", "idn"}, {environment}),
                 "Manufacturer: Halvorn\nModel: VQR-B6\nFirmware revision: Sim1.0.2.0\n");
  expect_success(run_hnvqr({"-r", "MyPSU", "get", "logical_name"}, {environment}), "MyPSU\n");
  expect_success(run_hnvqr({"-r", "MyPSU", "get", "simulate"}, {environment}), "true\n");
}

// ---- Against the emulator ------------------------------------------------------------

#ifdef VQRSIM_EXECUTABLE

// vqr-sim on an ephemeral loopback port, for one test.
class Emulator : public ::testing::Test {
 protected:
  void SetUp() override {
    std::vector<std::string> arguments = {VQRSIM_EXECUTABLE, "--model", "VQR-A4", "--listen", "127.0.0.1:0"};
    std::vector<char*> argv;
    for (std::string& argument : arguments) argv.push_back(argument.data());
    argv.push_back(nullptr);
    int out[2];
    ASSERT_EQ(pipe(out), 0);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, out[1], 1);
    posix_spawn_file_actions_addclose(&actions, out[0]);
    const int spawned = posix_spawn(&pid_, argv[0], &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    close(out[1]);
    if (spawned != 0) pid_ = -1;
    ASSERT_EQ(spawned, 0);
    resource_ = read_first_line(out[0]);
    close(out[0]);
    ASSERT_EQ(resource_.rfind("TCPIP0::127.0.0.1::", 0), 0u) << resource_;
  }
  void TearDown() override {
    if (pid_ > 0) {
      kill(pid_, SIGTERM);
      waitpid(pid_, nullptr, 0);
    }
  }

  Outcome live(std::vector<std::string> arguments) {
    arguments.insert(arguments.begin(), {"-r", resource_});
    return run_hnvqr(std::move(arguments));
  }

  std::string resource_;

 private:
  static std::string read_first_line(int fd) {
    std::string line;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (std::chrono::steady_clock::now() < deadline) {
      pollfd ready{fd, POLLIN, 0};
      if (poll(&ready, 1, 100) <= 0) continue;
      char c = 0;
      if (read(fd, &c, 1) != 1) break;
      if (c == '\n') return line;
      line += c;
    }
    return line;
  }

  pid_t pid_ = -1;
};

TEST_F(Emulator, Idn) {
  expect_success(live({"idn"}), "Manufacturer: Halvorn\nModel: VQR-A4\nFirmware revision: 2.14\n");
}

TEST_F(Emulator, SetThenGetReadsTheInstrumentBack) {
  expect_success(live({"set", "voltage_level", "12.5"}), "");
  expect_success(live({"get", "voltage_level"}), "12.5\n");
  expect_success(live({"set", "analog_output_mode", "series"}), "");
  expect_success(live({"get", "analog_output_mode"}), "SERIES\n");
  expect_success(live({"set", "control_source", "remote_with_lock"}), "");
  expect_success(live({"get", "control_source"}), "REMOTE_WITH_LOCK\n");
  expect_success(live({"set", "status_byte_enable_register", "32"}), "");
  expect_success(live({"get", "status_byte_enable_register"}), "32\n");
  expect_success(live({"get", "instrument_model"}), "VQR-A4\n");
}

TEST_F(Emulator, DriverFailuresExitOneWithTheExactDescription) {
  expect_driver_failure(live({"get", "voltage_level", "CH9"}),
                        "Unknown physical repeated capability selector.  The identifier 'CH9' is not defined for "
                        "repeated capability 'OutputChannel'.");
  expect_driver_failure(live({"set", "ovp_enabled", "off"}), kOvpDisableRefused);
  expect_driver_failure(live({"-o", "QueryInstrStatus=1", "set", "voltage_level", "1000"}),
                        "instrument error -222,\"Data out of range\"");
}

TEST_F(Emulator, StatusCheckIsOnByDefaultAndPrintsTheInstrumentsErrors) {
  // 500 V on a 50 V model: refused by the instrument, and said so.
  expect_driver_failure(live({"set", "voltage_level", "500"}), "instrument error -222,\"Data out of range\"");
  expect_success(live({"errors"}), "0,\"No error\"\n");  // the tool drained the queue
  // Turned off, the refusal stays in the queue for `errors`.
  expect_success(live({"--no-status-check", "set", "voltage_level", "500"}), "");
  expect_success(live({"--json", "errors"}), "[{\"code\":-222,\"message\":\"Data out of range\"}]\n");
}

TEST_F(Emulator, JsonOutputParses) {
  expect_success(live({"set", "voltage_level", "12.5"}), "");
  const nlohmann::json idn = nlohmann::json::parse(live({"--json", "idn"}).out);
  EXPECT_EQ(idn.at("model"), "VQR-A4");
  EXPECT_EQ(idn.at("manufacturer"), "Halvorn");
  const nlohmann::json level = nlohmann::json::parse(live({"--json", "get", "voltage_level", "CH1"}).out);
  EXPECT_EQ(level.at("value"), 12.5);
  EXPECT_EQ(level.at("channel"), "CH1");
  EXPECT_EQ(nlohmann::json::parse(live({"--json", "get", "control_source"}).out).at("value"), "REMOTE");
  EXPECT_EQ(nlohmann::json::parse(live({"--json", "get", "output_enabled"}).out).at("value"), false);
  EXPECT_EQ(nlohmann::json::parse(live({"--json", "measure", "voltage"}).out).at("value"), 0.0);
  const nlohmann::json attributes = nlohmann::json::parse(live({"--json", "attributes"}).out);
  ASSERT_EQ(attributes.size(), 65u);
  std::size_t errors = 0;
  for (const nlohmann::json& attribute : attributes) errors += attribute.contains("error") ? 1 : 0;
  EXPECT_GT(errors, 0u);  // the trigger attributes
  EXPECT_EQ(nlohmann::json::parse(live({"--json", "errors"}).out), nlohmann::json::array());
}

TEST_F(Emulator, ScpiWritesAndQueriesThroughTheDriver) {
  expect_success(live({"scpi", "VOLT 7.5"}), "");
  expect_success(live({"get", "voltage_level"}), "7.5\n");
  expect_success(live({"scpi", "*IDN?"}), "Halvorn,VQR-A4,SIM000123,2.14\n");
}

TEST_F(Emulator, TimeoutAppliesToEveryIo) {
  expect_success(live({"--timeout", "5000", "idn"}), "Manufacturer: Halvorn\nModel: VQR-A4\nFirmware revision: 2.14\n");
  expect_success(live({"-t", "5000", "get", "system_io_timeout"}), "5000\n");
}

TEST_F(Emulator, OutputAndMeasure) {
  expect_success(live({"set", "voltage_level", "12"}), "");
  expect_success(live({"output", "on"}), "");
  expect_success(live({"get", "output_enabled"}), "true\n");
  expect_success(live({"measure", "voltage"}), "12\n");
  expect_success(live({"measure", "current"}), "1.2e-05\n");  // the default 1 MOhm load
  expect_success(live({"output", "off"}), "");
  expect_success(live({"get", "output_enabled"}), "false\n");
  expect_success(live({"measure", "voltage"}), "0\n");
}

TEST_F(Emulator, State) {
  expect_success(live({"set", "voltage_level", "12"}), "");
  expect_success(live({"output", "on"}), "");
  expect_success(live({"state"}),
                 "Output enabled: true\nVoltage level: 12\nCurrent level: 20\nMeasured voltage: 12\n"
                 "Measured current: 1.2e-05\nConstant voltage: true\nConstant current: false\n"
                 "Over-voltage: false\nOver-current: false\nUnregulated: false\n");
}

TEST_F(Emulator, ErrorsDrainsTheQueue) {
  // Without the status check the out-of-range level is left in the instrument's queue.
  expect_success(live({"-o", "QueryInstrStatus=0", "set", "voltage_level", "1000"}), "");
  expect_success(live({"errors"}), "-222,\"Data out of range\"\n0,\"No error\"\n");
  expect_success(live({"errors"}), "0,\"No error\"\n");
}

TEST_F(Emulator, Reset) {
  expect_success(live({"set", "voltage_level", "12"}), "");
  expect_success(live({"reset"}), "");
  expect_success(live({"get", "voltage_level"}), "0\n");
}

TEST_F(Emulator, SelfTest) { expect_success(live({"self-test"}), "Result: 0\nMessage: Selftest passed\n"); }

TEST_F(Emulator, Attributes) {
  const Outcome outcome = live({"attributes"});
  EXPECT_EQ(outcome.exit_code, 0) << outcome.err;
  EXPECT_EQ(line_count(outcome.out), 65u);
  EXPECT_NE(outcome.out.find("\nINSTRUMENT_MODEL                           ViString  R   VQR-A4\n"), std::string::npos);
  EXPECT_NE(outcome.out.find("\nIO_RESOURCE_DESCRIPTOR                     ViString  R   " + resource_ + "\n"),
            std::string::npos);
  EXPECT_NE(outcome.out.find("\nTRIGGER_SOURCE                             ViInt32   R/W error: "), std::string::npos);
}

TEST_F(Emulator, LogicalNameOfAHardwareAsset) {
  ScratchDirectory scratch;
  const std::filesystem::path store = scratch.path() / "store.json";
  std::ofstream(store) << R"({"hardwareAssets":[{"name":"bench","ioResourceDescriptor":")" << resource_
                       << R"("}],"driverSessions":[{"name":"S","hardwareAsset":"bench"}],)"
                          R"("logicalNames":[{"name":"BenchPSU","session":"S"}]})";
  expect_success(run_hnvqr({"-r", "BenchPSU", "get", "instrument_model"}, {"IVI_CONFIG_STORE=" + store.string()}),
                 "VQR-A4\n");
}

#endif

TEST(UnreachableInstrument, VisaFailuresNameTheResourceAndTheStatus) {
  const struct {
    const char* resource;
    const char* text;
  } cases[] = {
      // Port 1 on loopback has no listener.
      {"TCPIP0::127.0.0.1::1::SOCKET",
       "hnvqr: cannot open 'TCPIP0::127.0.0.1::1::SOCKET': VI_ERROR_RSRC_NFOUND: Insufficient location "
       "information or the requested device or resource is not present in the system.\n"},
      {"USB0::0x1234::0x5678::SN1::INSTR",
       "hnvqr: cannot open 'USB0::0x1234::0x5678::SN1::INSTR': VI_ERROR_RSRC_NFOUND: Insufficient location "
       "information or the requested device or resource is not present in the system.\n"},
      {"GPIB0::5::INSTR",
       "hnvqr: cannot open 'GPIB0::5::INSTR': the GPIB interface is not implemented by the VISA library in use\n"},
  };
  for (const auto& c : cases) {
    const Outcome outcome = run_hnvqr({"--resource", c.resource, "idn"}, {"IVI_CONFIG_STORE="});
    EXPECT_EQ(outcome.exit_code, 1);
    EXPECT_EQ(outcome.out, "");
    EXPECT_EQ(outcome.err, c.text);
  }
}

TEST(UnreachableInstrument, SilentListenerFailsWithinTheTimeout) {
  // A listener that accepts connections (the kernel does) and never answers *IDN?.
  const int listener = socket(AF_INET, SOCK_STREAM, 0);
  ASSERT_GE(listener, 0);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  socklen_t length = sizeof address;
  ASSERT_EQ(bind(listener, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
  ASSERT_EQ(listen(listener, 4), 0);
  ASSERT_EQ(getsockname(listener, reinterpret_cast<sockaddr*>(&address), &length), 0);
  const std::string resource = "TCPIP0::127.0.0.1::" + std::to_string(ntohs(address.sin_port)) + "::SOCKET";
  const Outcome outcome = run_hnvqr({"-r", resource, "--timeout", "200", "idn"});
  close(listener);
  EXPECT_EQ(outcome.exit_code, 1);
  EXPECT_EQ(outcome.out, "");
  EXPECT_TRUE(contains(outcome.err, "hnvqr: cannot open '" + resource + "': ")) << outcome.err;
}

// ---- Logical names in the store, and the store's listing ---------------------------------

TEST(LogicalName, AMistypedNameNamesTheStoreAndTheClosestNames) {
  ScratchDirectory scratch;
  const std::filesystem::path store = scratch.path() / "store.json";
  std::ofstream(store)
      << R"({"hardwareAssets":[{"name":"bench","ioResourceDescriptor":"TCPIP0::10.0.0.9::5025::SOCKET"}],)"
         R"("driverSessions":[{"name":"PSU1","hardwareAsset":"bench","driverSetup":"Model:VQR-A4"},)"
         R"({"name":"Sim","simulate":true}],)"
         R"("logicalNames":[{"name":"MyPSU","session":"PSU1"},{"name":"Other","session":"Sim"}]})";
  const std::string environment = "IVI_CONFIG_STORE=" + store.string();
  const Outcome outcome = run_hnvqr({"-r", "MyPSu", "idn"}, {environment});
  EXPECT_EQ(outcome.exit_code, 1);
  EXPECT_EQ(outcome.err, "hnvqr: 'MyPSu' is neither a logical name nor a driver session in the store file " +
                             store.string() +
                             ", nor a resource string VISA can parse; closest names there: MyPSU\n"
                             "hnvqr: (hnvqr names lists them)\n");

  expect_success(run_hnvqr({"names"}, {environment}),
                 "Store: " + store.string() +
                     "\nLogical names:\n  MyPSU -> PSU1\n  Other -> Sim\nDriver sessions:\n"
                     "  PSU1  resource TCPIP0::10.0.0.9::5025::SOCKET  model VQR-A4  simulate false\n"
                     "  Sim  resource (none)  model (from the instrument)  simulate true\n");
  const nlohmann::json listing = nlohmann::json::parse(run_hnvqr({"--json", "names"}, {environment}).out);
  EXPECT_EQ(listing.at("store"), store.string());
  EXPECT_EQ(listing.at("logical_names").size(), 2u);
  EXPECT_EQ(listing.at("driver_sessions").at(0).at("model"), "VQR-A4");
  EXPECT_EQ(listing.at("driver_sessions").at(1).at("simulate"), true);

  // A name the store knows, whose resource is not one VISA can parse, is told apart.
  std::ofstream(store)
      << R"({"hardwareAssets":[{"name":"bench","ioResourceDescriptor":"TCPIP0::bad host::1::SOCKET"}],)"
         R"("driverSessions":[{"name":"PSU1","hardwareAsset":"bench"}],)"
         R"("logicalNames":[{"name":"MyPSU","session":"PSU1"}]})";
  expect_driver_failure(run_hnvqr({"-r", "MyPSU", "idn"}, {environment}),
                        "cannot open 'MyPSU': its resource 'TCPIP0::bad host::1::SOCKET' in the store file " +
                            store.string() + " is not a resource string VISA can parse");

  // A store that cannot be read is said so.
  std::ofstream(store) << "{ not json";
  const Outcome broken = run_hnvqr({"names"}, {environment});
  EXPECT_EQ(broken.exit_code, 1);
  EXPECT_TRUE(contains(broken.err, "hnvqr: cannot read the store file " + store.string())) << broken.err;
}

// ---- Numbers, output and versions ---------------------------------------------------------

TEST(NumberGrammar, OneGrammarForEveryNumericOperand) {
  const struct {
    const char* attribute;
    const char* text;
    int exit_code;
  } cases[] = {
      {"voltage_level", "1e-310", 0},
      {"voltage_level", "0x10", 0},
      {"voltage_level", ".5", 0},
      {"voltage_level", "+3", 0},
      {"voltage_level", "5.", 0},
      {"voltage_level", "1E2", 0},
      {"voltage_level", "1e400", 2},
      {"voltage_level", "inf", 2},
      {"voltage_level", "nan", 2},
      {"voltage_level", " 5", 2},
      {"voltage_level", "0x", 2},
      {"voltage_level", "1e", 2},
      {"voltage_level", "0x1p3", 2},
      {"voltage_level", "--5", 2},
      {"voltage_level", ".", 2},
      {"status_byte_enable_register", "1e2", 0},
      {"status_byte_enable_register", "0x3C", 0},
      {"status_byte_enable_register", "12.5", 2},
      {"status_byte_enable_register", "0x100000000", 2},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(simulated({"set", c.attribute, c.text}).exit_code, c.exit_code) << c.attribute << " " << c.text;
  }
}

// Runs hnvqr with its standard output sent to /dev/full, or closed.
int exit_code_with_unwritable_output(bool closed, std::vector<std::string> arguments) {
  arguments.insert(arguments.begin(), HNVQR_EXECUTABLE);
  std::vector<char*> argv;
  for (std::string& argument : arguments) argv.push_back(argument.data());
  argv.push_back(nullptr);
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  if (closed)
    posix_spawn_file_actions_addclose(&actions, 1);
  else
    posix_spawn_file_actions_addopen(&actions, 1, "/dev/full", O_WRONLY, 0);
  posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
  pid_t pid = -1;
  int status = 0;
  const bool spawned = posix_spawn(&pid, argv[0], &actions, nullptr, argv.data(), environ) == 0;
  posix_spawn_file_actions_destroy(&actions);
  if (!spawned) return -1;
  waitpid(pid, &status, 0);
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

TEST(Output, UnwritableOutputExitsOneButSilentCommandsSucceed) {
  for (const bool closed : {false, true}) {
    EXPECT_EQ(exit_code_with_unwritable_output(closed, {"--simulate", "idn"}), 1) << closed;
    EXPECT_EQ(exit_code_with_unwritable_output(closed, {"--version"}), 1) << closed;
    EXPECT_EQ(exit_code_with_unwritable_output(closed, {"--simulate", "set", "voltage_level", "1"}), 0) << closed;
  }
}

TEST(Versions, HnvqrAndTheEmulatorSayTheirVersion) {
  const Outcome outcome = run_hnvqr({"--version"});
  EXPECT_EQ(outcome.exit_code, 0);
  EXPECT_EQ(outcome.out.rfind("hnvqr ", 0), 0u) << outcome.out;
#ifdef VQRSIM_EXECUTABLE
  ScratchDirectory scratch;
  const std::string out = (scratch.path() / "out").string();
  EXPECT_EQ(std::system((std::string(VQRSIM_EXECUTABLE) + " --version > " + out).c_str()), 0);
  EXPECT_EQ(read_file(out).rfind("vqr-sim ", 0), 0u);
#endif
}

TEST(SimulatedCommand, ScpiIsRefusedInSimulation) {
  const Outcome outcome = simulated({"scpi", "*IDN?"});
  EXPECT_EQ(outcome.exit_code, 1);
  EXPECT_EQ(outcome.out, "");
  EXPECT_EQ(outcome.err.rfind("hnvqr: ", 0), 0u);
}

TEST(TraceCommands, TraceOfARunReadsAsATableAndReplaysTheSame) {
  ScratchDirectory scratch;
  const std::string trace = (scratch.path() / "run.jsonl").string();
  ASSERT_EQ(run_hnvqr({"--simulate", "set", "voltage_level", "7.5"}, {"HNVQR_TRACE=" + trace}).exit_code, 0);

  const Outcome table = run_hnvqr({"trace", trace});
  EXPECT_EQ(table.exit_code, 0);
  EXPECT_NE(table.out.find("call       1  HnVQR_SetAttributeViReal64(AttributeID=1250001, AttributeValue=7.5"),
            std::string::npos)
      << table.out;
  EXPECT_EQ(run_hnvqr({"trace", trace, "--errors"}).out.find("HnVQR_"), std::string::npos);

  const Outcome replay = run_hnvqr({"replay", trace});
  EXPECT_EQ(replay.exit_code, 0) << replay.out;
  EXPECT_NE(replay.out.find(" calls replayed, 0 differ"), std::string::npos) << replay.out;
  EXPECT_EQ(run_hnvqr({"trace", (scratch.path() / "none.jsonl").string()}).exit_code, 1);
}

}  // namespace
