// Live round trips against the emulator on loopback. Each driver figure has a baseline
// measured in the same run against the same emulator: a plain TCP client (TCP_NODELAY)
// that sends the very lines the driver sent for one call, one write per line, and reads
// the reply of every query up to its line feed. The ratio is the driver's own cost.
#include <benchmark/benchmark.h>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sys/socket.h>
#include <unistd.h>

#include <stdlib.h>

#include <algorithm>
#include <chrono>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "HnVQR.h"
#include "vqrsim/server.hpp"
#include "vqrsim/vxi11_server.hpp"

namespace {

// The emulator records every line; forgetting them now and then keeps memory flat.
constexpr int kTranscriptClearInterval = 1024;

// A VQR-A4 emulator listening on TCP, made once and kept for the whole run.
vqrsim::Server* StartTcpEmulator() {
  auto* started = new vqrsim::Server(vqrsim::ServerOptions{"VQR-A4", 1e6, false});
  started->start_tcp();
  return started;
}

vqrsim::Server& Emulator() {
  static vqrsim::Server* server = StartTcpEmulator();
  return *server;
}

// A second emulator, reached over VXI-11 (TCPIP0::127.0.0.1::INSTR) through its portmapper.
vqrsim::Server& Vxi11Emulator() {
  static vqrsim::Server* server = [] {
    auto* instrument = new vqrsim::Server(vqrsim::ServerOptions{"VQR-A4", 1e6, false});
    auto* vxi11 = new vqrsim::Vxi11Server(*instrument);
    vxi11->start();
    setenv("HNVISA_VXI11_PORTMAPPER_PORT", std::to_string(vxi11->portmapper_port()).c_str(), 1);
    return instrument;
  }();
  return *server;
}

ViSession OpenLive(bool queryInstrumentStatus, bool vxi11 = false) {
  if (vxi11) Vxi11Emulator();
  const std::string resource = vxi11 ? "TCPIP0::127.0.0.1::INSTR" : Emulator().resource();
  const char* options = queryInstrumentStatus ? "QueryInstrStatus=1" : "QueryInstrStatus=0";
  ViSession vi = VI_NULL;
  if (HnVQR_InitWithOptions(const_cast<ViRsrc>(resource.c_str()), VI_TRUE, VI_FALSE, options, &vi) != VI_SUCCESS) {
    return VI_NULL;
  }
  return vi;
}

using DriverCall = ViStatus (*)(ViSession);

ViStatus MeasureVoltage(ViSession vi) {
  ViReal64 volts = 0;
  const ViStatus status = HnVQR_MeasureVoltage(vi, &volts);
  benchmark::DoNotOptimize(volts);
  return status;
}

ViStatus ConfigureVoltageLevel(ViSession vi) { return HnVQR_ConfigureVoltageLevel(vi, "CH1", 12.5); }

void TimeDriverCall(benchmark::State& state, DriverCall call, bool vxi11 = false) {
  vqrsim::Server& emulator = vxi11 ? Vxi11Emulator() : Emulator();
  const ViSession vi = OpenLive(state.range(0) != 0, vxi11);
  if (vi == VI_NULL) {
    state.SkipWithError("live initialization failed");
    return;
  }
  ViStatus failures = 0;
  int sinceClear = 0;
  for (auto _ : state) {
    if (call(vi) != VI_SUCCESS) ++failures;
    if (++sinceClear == kTranscriptClearInterval) {
      emulator.clear_transcript();
      sinceClear = 0;
    }
  }
  if (failures != 0) state.SkipWithError("a call failed inside the loop");
  HnVQR_close(vi);
  emulator.clear_transcript();
}

// The lines one driver call sends, as the emulator received them.
std::vector<std::string> LinesOfOneCall(bool queryInstrumentStatus, DriverCall call) {
  const ViSession vi = OpenLive(queryInstrumentStatus);
  if (vi == VI_NULL) return {};
  call(vi);  // the first call may differ (nothing cached yet)
  Emulator().clear_transcript();
  const ViStatus status = call(vi);
  Emulator().wait_for_transcript(1, std::chrono::seconds(2));
  std::vector<std::string> lines = Emulator().transcript();
  HnVQR_close(vi);
  Emulator().clear_transcript();
  return status == VI_SUCCESS ? lines : std::vector<std::string>{};
}

class PlainClient {
 public:
  explicit PlainClient(std::uint16_t port) : fd_(socket(AF_INET, SOCK_STREAM, 0)) {
    if (fd_ < 0) return;
    const int on = 1;
    setsockopt(fd_, IPPROTO_TCP, TCP_NODELAY, &on, sizeof on);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(port);
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    if (connect(fd_, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0) {
      close(fd_);
      fd_ = -1;
    }
  }
  ~PlainClient() {
    if (fd_ >= 0) close(fd_);
  }
  PlainClient(const PlainClient&) = delete;
  PlainClient& operator=(const PlainClient&) = delete;

  bool connected() const { return fd_ >= 0; }

  bool Send(const std::string& line) {
    std::size_t sent = 0;
    while (sent < line.size()) {
      const ssize_t n = send(fd_, line.data() + sent, line.size() - sent, MSG_NOSIGNAL);
      if (n <= 0) return false;
      sent += static_cast<std::size_t>(n);
    }
    return true;
  }

  // Reads one reply up to and including its line feed.
  bool ReadLine() {
    for (;;) {
      if (const void* end = std::memchr(buffer_, '\n', filled_)) {
        const std::size_t used = static_cast<std::size_t>(static_cast<const char*>(end) - buffer_) + 1;
        std::memmove(buffer_, buffer_ + used, filled_ - used);
        filled_ -= used;
        return true;
      }
      if (filled_ == sizeof buffer_) filled_ = 0;  // an overlong reply: keep looking
      const ssize_t n = recv(fd_, buffer_ + filled_, sizeof buffer_ - filled_, 0);
      if (n <= 0) return false;
      filled_ += static_cast<std::size_t>(n);
    }
  }

 private:
  int fd_;
  char buffer_[4096];
  std::size_t filled_ = 0;
};

bool IsQuery(const std::string& line) { return line.find('?') != std::string::npos; }

void TimePlainSocket(benchmark::State& state, DriverCall call) {
  const std::vector<std::string> lines = LinesOfOneCall(state.range(0) != 0, call);
  if (lines.empty()) {
    state.SkipWithError("could not record the driver's lines");
    return;
  }
  std::string sent;
  for (const auto& line : lines) sent += line;
  std::string label = sent.substr(0, sent.size() - 1);
  std::replace(label.begin(), label.end(), '\n', '|');
  state.SetLabel(label);
  PlainClient client(Emulator().port());
  if (!client.connected()) {
    state.SkipWithError("connect failed");
    return;
  }
  int sinceClear = 0;
  for (auto _ : state) {
    for (const auto& line : lines) {
      if (!client.Send(line) || (IsQuery(line) && !client.ReadLine())) {
        state.SkipWithError("the link failed");
        return;
      }
    }
    if (++sinceClear == kTranscriptClearInterval) {
      Emulator().clear_transcript();
      sinceClear = 0;
    }
  }
  Emulator().clear_transcript();
}

// A second emulator for the plain client of the alternating rounds, so that the driver and
// its baseline each have an instrument thread of their own.
vqrsim::Server& SecondEmulator() {
  static vqrsim::Server* server = StartTcpEmulator();
  return *server;
}

// Rounds of driver calls alternate with rounds of the same bytes through a plain socket;
// the figure is the median of the per-round ratios, which a machine busy with other work
// disturbs far less than two benchmarks run one after the other. Arguments: the call
// (0 MeasureVoltage, 1 ConfigureVoltageLevel) and QUERY_INSTRUMENT_STATUS.
void BM_AlternatingRounds(benchmark::State& state) {
  const DriverCall call = state.range(0) == 0 ? MeasureVoltage : ConfigureVoltageLevel;
  const bool statusCheck = state.range(1) != 0;
  const std::vector<std::string> lines = LinesOfOneCall(statusCheck, call);
  const ViSession vi = OpenLive(statusCheck);
  PlainClient client(SecondEmulator().port());
  if (lines.empty() || vi == VI_NULL || !client.connected()) {
    state.SkipWithError("could not set the rounds up");
    return;
  }
  constexpr int kRounds = 41;
  constexpr int kCallsPerRound = 200;
  using Clock = std::chrono::steady_clock;
  std::vector<double> ratios;
  std::vector<double> driverNs;
  std::vector<double> plainNs;
  bool failed = false;
  for (auto _ : state) {
    for (int round = 0; round < kRounds && !failed; ++round) {
      const auto driverStart = Clock::now();
      for (int i = 0; i < kCallsPerRound; ++i) failed |= call(vi) != VI_SUCCESS;
      const auto plainStart = Clock::now();
      for (int i = 0; i < kCallsPerRound; ++i)
        for (const auto& line : lines) failed |= !client.Send(line) || (IsQuery(line) && !client.ReadLine());
      const auto end = Clock::now();
      const double driver = std::chrono::duration<double, std::nano>(plainStart - driverStart).count();
      const double plain = std::chrono::duration<double, std::nano>(end - plainStart).count();
      ratios.push_back(driver / plain);
      driverNs.push_back(driver / kCallsPerRound);
      plainNs.push_back(plain / kCallsPerRound);
      Emulator().clear_transcript();
      SecondEmulator().clear_transcript();
    }
  }
  HnVQR_close(vi);
  if (failed) {
    state.SkipWithError("a call failed inside the rounds");
    return;
  }
  const auto median = [](std::vector<double> values) {
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
  };
  state.counters["ratio"] = median(ratios);
  state.counters["driver_ns"] = median(driverNs);
  state.counters["plain_ns"] = median(plainNs);
}

void BM_LiveMeasureVoltage(benchmark::State& state) { TimeDriverCall(state, MeasureVoltage); }
void BM_PlainSocketMeasureVoltage(benchmark::State& state) { TimePlainSocket(state, MeasureVoltage); }
void BM_Vxi11MeasureVoltage(benchmark::State& state) { TimeDriverCall(state, MeasureVoltage, true); }
void BM_LiveConfigureVoltageLevel(benchmark::State& state) { TimeDriverCall(state, ConfigureVoltageLevel); }
void BM_PlainSocketConfigureVoltageLevel(benchmark::State& state) { TimePlainSocket(state, ConfigureVoltageLevel); }

// The argument is QUERY_INSTRUMENT_STATUS (0 off, 1 on). Real time: the round trip waits
// on the emulator's thread.
BENCHMARK(BM_PlainSocketMeasureVoltage)->ArgName("status")->Arg(0)->Arg(1)->UseRealTime();
BENCHMARK(BM_LiveMeasureVoltage)->ArgName("status")->Arg(0)->Arg(1)->UseRealTime();
BENCHMARK(BM_Vxi11MeasureVoltage)->ArgName("status")->Arg(0)->Arg(1)->UseRealTime();
BENCHMARK(BM_PlainSocketConfigureVoltageLevel)->ArgName("status")->Arg(0)->Arg(1)->UseRealTime();
BENCHMARK(BM_LiveConfigureVoltageLevel)->ArgName("status")->Arg(0)->Arg(1)->UseRealTime();
BENCHMARK(BM_AlternatingRounds)
    ->ArgNames({"configure", "status"})
    ->Args({0, 0})
    ->Args({0, 1})
    ->Args({1, 1})
    ->Iterations(1)
    ->UseRealTime();

}  // namespace

BENCHMARK_MAIN();
