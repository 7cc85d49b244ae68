// The cost of the I/O trace on the simulated set: an exported call with no trace open against
// its body called directly (which the export wraps), in alternating rounds so that both see
// the same machine, and the same export with the session traced into a file.
#include <benchmark/benchmark.h>

#include <stdlib.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <string>
#include <vector>

#include "HnVQR.h"

namespace hnvqr::untraced {
ViStatus _VI_FUNC HnVQR_ConfigureVoltageLevel(ViSession vi, ViConstString ChannelName, ViReal64 Level);
}

namespace {

using Clock = std::chrono::steady_clock;

ViSession OpenSimulated(benchmark::State& state, const std::string& options) {
  ViSession vi = VI_NULL;
  if (HnVQR_InitWithOptions(const_cast<ViRsrc>("GPIB0::5::INSTR"), VI_FALSE, VI_FALSE, options.c_str(), &vi) !=
      VI_SUCCESS) {
    state.SkipWithError("simulated initialization failed");
  }
  return vi;
}

template <typename Call>
double RoundNanoseconds(Call call, int calls) {
  const auto start = Clock::now();
  for (int i = 0; i < calls; ++i) benchmark::DoNotOptimize(call());
  return std::chrono::duration<double, std::nano>(Clock::now() - start).count() / calls;
}

// Each iteration is one round of each; the figure is the median of the per-round ratios.
void BM_TraceOffAlternatingRounds(benchmark::State& state) {
  const ViSession vi = OpenSimulated(state, "Simulate=1");
  if (vi == VI_NULL) return;
  constexpr int kCalls = 2000;
  const auto exported = [&] { return HnVQR_ConfigureVoltageLevel(vi, "CH1", 5.0); };
  const auto body = [&] { return hnvqr::untraced::HnVQR_ConfigureVoltageLevel(vi, "CH1", 5.0); };
  std::vector<double> ratios;
  double traced_total = 0, body_total = 0;
  bool exported_first = false;
  for (auto _ : state) {
    exported_first = !exported_first;
    double traced = 0, plain = 0;
    if (exported_first) {
      traced = RoundNanoseconds(exported, kCalls);
      plain = RoundNanoseconds(body, kCalls);
    } else {
      plain = RoundNanoseconds(body, kCalls);
      traced = RoundNanoseconds(exported, kCalls);
    }
    ratios.push_back(traced / plain);
    traced_total += traced;
    body_total += plain;
  }
  std::sort(ratios.begin(), ratios.end());
  state.counters["ratio"] = ratios.empty() ? 0.0 : ratios[ratios.size() / 2];
  state.counters["export_ns"] = traced_total / static_cast<double>(ratios.size());
  state.counters["body_ns"] = body_total / static_cast<double>(ratios.size());
  HnVQR_close(vi);
}
BENCHMARK(BM_TraceOffAlternatingRounds)->Iterations(400);

// The same export with the session's own trace on: a line per call, written by the trace's
// thread into a file that is removed afterwards.
void BM_TraceOnConfigureVoltageLevel(benchmark::State& state) {
  char pattern[] = "/tmp/hnvqr-bench-trace-XXXXXX";
  const int fd = mkstemp(pattern);
  if (fd < 0) {
    state.SkipWithError("no temporary file");
    return;
  }
  close(fd);
  const ViSession vi = OpenSimulated(state, std::string("Simulate=1, DriverSetup=TraceFile:") + pattern);
  if (vi != VI_NULL) {
    for (auto _ : state) benchmark::DoNotOptimize(HnVQR_ConfigureVoltageLevel(vi, "CH1", 5.0));
    HnVQR_close(vi);
  }
  unlink(pattern);
}
BENCHMARK(BM_TraceOnConfigureVoltageLevel);

void BM_TraceOffConfigureVoltageLevel(benchmark::State& state) {
  const ViSession vi = OpenSimulated(state, "Simulate=1");
  if (vi == VI_NULL) return;
  for (auto _ : state) benchmark::DoNotOptimize(HnVQR_ConfigureVoltageLevel(vi, "CH1", 5.0));
  HnVQR_close(vi);
}
BENCHMARK(BM_TraceOffConfigureVoltageLevel);

}  // namespace

BENCHMARK_MAIN();
