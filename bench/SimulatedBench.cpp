// Simulated sessions: attribute access on the hot path (with an allocation count over the
// timed loop), initialization and close, and throughput on one and on two threads. The
// baseline is the least any session-locked cached access can cost: an uncontended
// recursive-mutex lock/unlock and one std::map lookup.
#include <benchmark/benchmark.h>

#include <cstdlib>
#include <map>
#include <mutex>

#include "AllocationCounter.h"
#include "HnVQR.h"
#include "IviSessionServices.h"
#include "kel/Frame.h"

namespace {

ViSession OpenSimulated(benchmark::State& state) {
  ViSession vi = VI_NULL;
  if (HnVQR_InitWithOptions(const_cast<ViRsrc>("GPIB0::5::INSTR"), VI_FALSE, VI_FALSE, "Simulate=1", &vi) !=
      VI_SUCCESS) {
    state.SkipWithError("simulated initialization failed");
  }
  return vi;
}

// Runs `call` in the timed loop of an open simulated session, once first so that every cache
// entry it needs exists, and reports the operator new calls made inside the loop.
template <typename Call>
void TimeSimulatedCall(benchmark::State& state, Call call) {
  const ViSession vi = OpenSimulated(state);
  if (vi == VI_NULL) return;
  if (call(vi) != VI_SUCCESS) {
    state.SkipWithError("the call failed");
    HnVQR_close(vi);
    return;
  }
  ViStatus failures = 0;
  const std::uint64_t allocationsBefore = bench::AllocationsOnThisThread();
  const std::int64_t lookupsBefore = kel::SessionLookupsOnThisThread();
  for (auto _ : state) {
    if (call(vi) != VI_SUCCESS) ++failures;
  }
  const std::uint64_t allocations = bench::AllocationsOnThisThread() - allocationsBefore;
  state.counters["allocations"] = static_cast<double>(allocations);
  // Shown where the build counts them (debug and sanitizer builds): handle lookups per call.
  if (lookupsBefore >= 0) {
    state.counters["session_lookups_per_call"] = benchmark::Counter(
        static_cast<double>(kel::SessionLookupsOnThisThread() - lookupsBefore), benchmark::Counter::kAvgIterations);
  }
  if (failures != 0) state.SkipWithError("the call failed inside the loop");
  HnVQR_close(vi);
}

void BM_Baseline_RecursiveMutexAndMapLookup(benchmark::State& state) {
  std::recursive_mutex mutex;
  // About as many entries as a session's cache holds after a busy run.
  std::map<ViAttr, double> entries;
  for (ViAttr id = 1250001; id < 1250001 + 40; ++id) entries.emplace(id, 0.0);
  ViAttr wanted = 1250017;
  benchmark::DoNotOptimize(wanted);
  const std::uint64_t allocationsBefore = bench::AllocationsOnThisThread();
  for (auto _ : state) {
    std::lock_guard<std::recursive_mutex> hold(mutex);
    auto found = entries.find(wanted);
    benchmark::DoNotOptimize(found);
  }
  state.counters["allocations"] = static_cast<double>(bench::AllocationsOnThisThread() - allocationsBefore);
}
BENCHMARK(BM_Baseline_RecursiveMutexAndMapLookup);

void BM_SimulatedSetVoltageLevel(benchmark::State& state) {
  ViReal64 level = 12.5;
  TimeSimulatedCall(state, [&](ViSession vi) {
    level = level == 12.5 ? 12.25 : 12.5;
    return HnVQR_SetAttributeViReal64(vi, "", HNVQR_ATTR_VOLTAGE_LEVEL, level);
  });
}
BENCHMARK(BM_SimulatedSetVoltageLevel);

void BM_SimulatedGetVoltageLevel(benchmark::State& state) {
  TimeSimulatedCall(state, [](ViSession vi) {
    ViReal64 level = 0;
    const ViStatus status = HnVQR_GetAttributeViReal64(vi, "", HNVQR_ATTR_VOLTAGE_LEVEL, &level);
    benchmark::DoNotOptimize(level);
    return status;
  });
}
BENCHMARK(BM_SimulatedGetVoltageLevel);

void BM_SimulatedConfigureVoltageLevel(benchmark::State& state) {
  ViReal64 level = 12.5;
  TimeSimulatedCall(state, [&](ViSession vi) {
    level = level == 12.5 ? 12.25 : 12.5;
    return HnVQR_ConfigureVoltageLevel(vi, "CH1", level);
  });
}
BENCHMARK(BM_SimulatedConfigureVoltageLevel);

void BM_SimulatedGetInstrumentModel(benchmark::State& state) {
  TimeSimulatedCall(state, [](ViSession vi) {
    ViChar model[64];
    const ViStatus status = HnVQR_GetAttributeViString(vi, "", HNVQR_ATTR_INSTRUMENT_MODEL, sizeof model, model);
    benchmark::DoNotOptimize(model);
    return status;
  });
}
BENCHMARK(BM_SimulatedGetInstrumentModel);

// The floor of any init/close: a session handle from the session services and its disposal.
void BM_Baseline_SessionHandleNewAndDispose(benchmark::State& state) {
  for (auto _ : state) {
    ViSession vi = VI_NULL;
    if (IviSession_New(&vi) != VI_SUCCESS || IviSession_Dispose(vi) != VI_SUCCESS) {
      state.SkipWithError("session services failed");
      break;
    }
  }
}
BENCHMARK(BM_Baseline_SessionHandleNewAndDispose);

void BM_SimulatedInitAndClose(benchmark::State& state) {
  for (auto _ : state) {
    ViSession vi = VI_NULL;
    if (HnVQR_InitWithOptions(const_cast<ViRsrc>("GPIB0::5::INSTR"), VI_TRUE, VI_TRUE, "Simulate=1", &vi) !=
            VI_SUCCESS ||
        HnVQR_close(vi) != VI_SUCCESS) {
      state.SkipWithError("simulated init or close failed");
      break;
    }
  }
}
BENCHMARK(BM_SimulatedInitAndClose);

// One session per thread: a set and a get per iteration. Real time, so that the figure of
// two threads is the throughput of both together.
void BM_SimulatedAttributeTrafficPerThread(benchmark::State& state) {
  const ViSession vi = OpenSimulated(state);
  if (vi == VI_NULL) return;
  ViReal64 level = 1.0 + state.thread_index();
  ViStatus failures = 0;
  for (auto _ : state) {
    ViReal64 read = 0;
    if (HnVQR_SetAttributeViReal64(vi, "", HNVQR_ATTR_VOLTAGE_LEVEL, level) != VI_SUCCESS) ++failures;
    if (HnVQR_GetAttributeViReal64(vi, "", HNVQR_ATTR_VOLTAGE_LEVEL, &read) != VI_SUCCESS) ++failures;
    benchmark::DoNotOptimize(read);
  }
  state.SetItemsProcessed(state.iterations() * 2);
  if (failures != 0) state.SkipWithError("a call failed inside the loop");
  HnVQR_close(vi);
}
BENCHMARK(BM_SimulatedAttributeTrafficPerThread)->Threads(1)->Threads(2)->UseRealTime();

}  // namespace

BENCHMARK_MAIN();
