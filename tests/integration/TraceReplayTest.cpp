// The I/O trace and its replay, through the public C API: a live scenario against the
// emulator is recorded into a session trace, read back, and replayed with the emulator
// stopped.
#include <gtest/gtest.h>

#include <stdlib.h>
#include <unistd.h>

#include <chrono>
#include <fstream>
#include <functional>
#include <string>
#include <vector>

#include <hnvisa_trace.h>
#include <nlohmann/json.hpp>
#include <visa.h>

#include "LiveFixture.h"

namespace {

using nlohmann::json;

std::vector<json> ReadTrace(const std::string& file) {
  std::vector<json> events;
  std::ifstream input(file);
  for (std::string line; std::getline(input, line);) events.push_back(json::parse(line));
  return events;
}

// Index of the first event matching `match`, or -1.
long Find(const std::vector<json>& events, const std::function<bool(const json&)>& match, long from = 0) {
  for (long i = from; i < static_cast<long>(events.size()); ++i)
    if (match(events[i])) return i;
  return -1;
}

struct Outcome {
  std::string step;
  ViStatus status;
  double value;
  bool operator==(const Outcome&) const = default;
};

void PrintTo(const Outcome& outcome, std::ostream* out) {
  *out << outcome.step << ": " << std::hex << outcome.status << std::dec << " " << outcome.value;
}

class TraceReplay : public live::LiveTest {
 protected:
  void SetUp() override {
    live::LiveTest::SetUp();
    char pattern[] = "/tmp/hnvqr-trace-XXXXXX";
    ASSERT_NE(mkdtemp(pattern), nullptr);
    directory_ = pattern;
    trace_ = directory_ + "/run.jsonl";
  }
  void TearDown() override {
    live::LiveTest::TearDown();
    if (getenv("HNVQR_KEEP_TEST_TRACE") == nullptr) unlink(trace_.c_str());
    if (getenv("HNVQR_KEEP_TEST_TRACE") == nullptr) rmdir(directory_.c_str());
  }

  // The scenario: levels, a measurement, an instrument error, a time-out and the late
  // answer after it. `live` says whether the emulator is there to be told what to do.
  std::vector<Outcome> RunScenario(const std::string& resource, const std::string& options, bool live) {
    std::vector<Outcome> outcomes;
    ViSession vi = VI_NULL;
    outcomes.push_back(
        {"init", HnVQR_InitWithOptions(const_cast<ViRsrc>(resource.c_str()), VI_TRUE, VI_FALSE, options.c_str(), &vi),
         0.0});
    if (vi == VI_NULL) return outcomes;
    outcomes.push_back({"volt", HnVQR_ConfigureVoltageLevel(vi, "CH1", 12.0), 0.0});
    outcomes.push_back({"output", HnVQR_ConfigureOutputEnabled(vi, "CH1", VI_TRUE), 0.0});
    ViReal64 volts = 0, amps = 0;
    outcomes.push_back({"measure", HnVQR_MeasureVoltage(vi, &volts), volts});
    if (live) server_.raise_standard_events(0x20);  // a command error
    outcomes.push_back({"error", HnVQR_ConfigureCurrentLimit(vi, "CH1", HNVQR_VAL_CURRENT_TRIP, 1.5), 0.0});
    outcomes.push_back({"timeout", HnVQR_SetAttributeViInt32(vi, "", HNVQR_ATTR_SYSTEM_IO_TIMEOUT, 200), 0.0});
    if (live) server_.set_reply_delay(std::chrono::milliseconds(500));
    volts = -1;
    outcomes.push_back({"late", HnVQR_MeasureVoltage(vi, &volts), 0.0});
    if (live) server_.set_reply_delay(std::chrono::milliseconds(0));
    outcomes.push_back({"timeout", HnVQR_SetAttributeViInt32(vi, "", HNVQR_ATTR_SYSTEM_IO_TIMEOUT, 2000), 0.0});
    outcomes.push_back({"current", HnVQR_MeasureCurrent(vi, &amps), amps});
    outcomes.push_back({"again", HnVQR_MeasureVoltage(vi, &volts), volts});
    outcomes.push_back({"close", HnVQR_close(vi), 0.0});
    return outcomes;
  }

  std::vector<Outcome> Record() {
    return RunScenario(resource_, "QueryInstrStatus=1, DriverSetup=TraceFile:" + trace_, true);
  }

  std::string directory_;
  std::string trace_;
};

TEST_F(TraceReplay, SessionTraceHoldsTheCallsAndTheirBytesInOrder) {
  const std::vector<Outcome> outcomes = Record();
  ASSERT_EQ(outcomes.size(), 11u);
  EXPECT_EQ(outcomes[4].status, IVI_ERROR_INSTRUMENT_STATUS);
  EXPECT_EQ(outcomes[6].status, VI_ERROR_TMO);
  // Every trace given back once the session is closed: tracing is off again.
  EXPECT_EQ(hnvisa_trace_active(), VI_FALSE);

  const std::vector<json> events = ReadTrace(trace_);
  ASSERT_FALSE(events.empty());
  for (const json& event : events)
    for (const char* field : {"t", "wall", "pid", "tid", "op", "dur"}) EXPECT_TRUE(event.contains(field)) << event;
  EXPECT_EQ(events.front()["op"], "open");
  EXPECT_EQ(events.front()["resource"], resource_);
  const long identity = Find(
      events, [](const json& e) { return e.value("op", json()) == "query" && e.value("bytes", json()) == "*IDN?\n"; });
  ASSERT_GE(identity, 0);
  EXPECT_NE(events[identity]["reply"].get<std::string>().find("VQR-A4"), std::string::npos);

  const long volt = Find(events, [](const json& e) {
    return e.value("op", json()) == "write" && e.value("bytes", json()) == "VOLT 12\n";
  });
  const long call = Find(events, [](const json& e) {
    return e.value("op", json()) == "call" && e.value("function", json()) == "HnVQR_ConfigureVoltageLevel";
  });
  ASSERT_GE(volt, 0);
  ASSERT_GT(call, volt);  // a call's line follows the bytes it caused
  EXPECT_EQ(events[call]["args"]["ChannelName"], "CH1");
  EXPECT_EQ(events[call]["args"]["Level"], 12.0);
  EXPECT_EQ(events[call]["status"], 0);
  // Only the caller's calls: the driver's own nested use of its exports has no line.
  EXPECT_EQ(Find(events, [](const json& e) { return e.value("function", json()) == "HnVQR_SetAttributeViReal64"; }),
            -1);

  const long measured =
      Find(events, [](const json& e) { return e.value("function", json()) == "HnVQR_MeasureVoltage"; });
  ASSERT_GE(measured, 0);
  EXPECT_EQ(events[measured]["args"]["Val"], 12.0);
  EXPECT_GE(Find(events, [](const json& e) { return e.value("status", json()) == IVI_ERROR_INSTRUMENT_STATUS; }), 0);
  EXPECT_GE(
      Find(events,
           [](const json& e) { return e.value("op", json()) == "query" && e.value("status", json()) == VI_ERROR_TMO; }),
      0);
  EXPECT_EQ(events.back()["function"], "HnVQR_close");
  EXPECT_GE(Find(events, [](const json& e) { return e.value("op", json()) == "close"; }), 0);
}

TEST_F(TraceReplay, ReplayWithTheEmulatorStoppedGivesTheSameStatusesAndValues) {
  const std::vector<Outcome> recorded = Record();
  server_.stop();
  const std::vector<Outcome> replayed = RunScenario("REPLAY::" + trace_ + "::0::INSTR", "QueryInstrStatus=1", false);
  EXPECT_EQ(replayed, recorded);
}

TEST_F(TraceReplay, ReplayedWriteThatDiffersNamesTheByteAndTheRecordedLine) {
  Record();
  server_.stop();
  const std::vector<json> events = ReadTrace(trace_);
  const long volt = Find(events, [](const json& e) {
    return e.value("op", json()) == "write" && e.value("bytes", json()) == "VOLT 12\n";
  });
  ASSERT_GE(volt, 0);

  const std::string replay = "REPLAY::" + trace_ + "::INSTR";
  ViSession vi = VI_NULL;
  ASSERT_EQ(HnVQR_InitWithOptions(const_cast<ViRsrc>(replay.c_str()), VI_TRUE, VI_FALSE, "QueryInstrStatus=1", &vi),
            VI_SUCCESS);
  EXPECT_EQ(HnVQR_ConfigureVoltageLevel(vi, "CH1", 13.0), VI_ERROR_IO);
  ViSession io = VI_NULL;
  ASSERT_EQ(HnVQR_GetAttributeViSession(vi, "", HNVQR_ATTR_SYSTEM_IO_SESSION, &io), VI_SUCCESS);
  ViChar description[256] = {};
  ASSERT_EQ(viStatusDesc(io, VI_ERROR_IO, description), VI_SUCCESS);
  EXPECT_NE(std::string(description).find("byte 6 of the write differs from line " + std::to_string(volt + 1)),
            std::string::npos)
      << description;
  EXPECT_NE(std::string(description).find("recorded 0x32, written 0x33"), std::string::npos) << description;
  EXPECT_EQ(HnVQR_close(vi), VI_SUCCESS);
}

TEST_F(TraceReplay, SessionWithoutTraceFileLeavesTracingOff) {
  ASSERT_EQ(Open("QueryInstrStatus=1"), VI_SUCCESS);
  EXPECT_EQ(hnvisa_trace_active(), VI_FALSE);
  EXPECT_EQ(HnVQR_ConfigureVoltageLevel(vi_, "CH1", 3.0), VI_SUCCESS);
  EXPECT_EQ(access(trace_.c_str(), F_OK), -1);
}

TEST_F(TraceReplay, TraceFileThatCannotBeOpenedFailsTheInitialization) {
  const std::string file = directory_ + "/missing/run.jsonl";
  ViSession vi = VI_NULL;
  EXPECT_EQ(HnVQR_InitWithOptions(const_cast<ViRsrc>("SIM"), VI_TRUE, VI_FALSE,
                                  ("Simulate=1, DriverSetup=TraceFile:" + file).c_str(), &vi),
            IVI_ERROR_CANNOT_RECOVER);
  EXPECT_EQ(vi, VI_NULL);
  EXPECT_EQ(live::LastError(VI_NULL),
            "Failure cannot recover.  The trace file '" + file + "' cannot be opened: No such file or directory.");
}

}  // namespace
