// The option-string parser and the selector on 1 MiB inputs: the scanners alone, and the
// whole path through a session (initialization with the option string; resolution of the
// selector). The baseline is one plain pass over the same bytes (std::count), the least a
// scan of the text can cost, so the ratio says how many "passes" each parser makes.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <string>
#include <vector>

#include "HnVQR.h"
#include "kel/Frame.h"
#include "kel/RepCaps.h"
#include "kel/text/OptionScanners.h"
#include "kel/text/SelectorScanners.h"

namespace {

constexpr std::size_t kMiB = 1 << 20;

// Inherent options with a MiB of blanks around them: the worst case of the \s* runs.
const std::string& BlankPaddedOptions() {
  static const std::string text = [] {
    std::string padded = "Simulate=1,";
    padded.append(kMiB - padded.size() - std::string_view(" RangeCheck = 0 ").size(), ' ');
    padded += " RangeCheck = 0 ";
    return padded;
  }();
  return text;
}

// A DriverSetup part of a MiB of distinct items.
const std::string& LongDriverSetup() {
  static const std::string text = [] {
    std::string options = "Simulate=1, DriverSetup=Model:VQR-A4";
    for (int i = 0; options.size() < kMiB - 32; ++i) options += ", Key" + std::to_string(i) + ": value";
    return options;
  }();
  return text;
}

// A selector of a MiB: blanks around one identifier (resolves to CH1).
const std::string& BlankPaddedSelector() {
  static const std::string text = std::string(kMiB / 2 - 2, ' ') + "CH1" + std::string(kMiB / 2 - 1, ' ');
  return text;
}

// A selector of a MiB: one bracketed list repeating CH1.
const std::string& LongSelectorList() {
  static const std::string text = [] {
    std::string list = "[CH1";
    while (list.size() < kMiB - 8) list += ", CH1";
    return list + "]";
  }();
  return text;
}

void SetBytes(benchmark::State& state, std::size_t size) {
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * size));
}

void BM_Baseline_OnePassOverOneMiB(benchmark::State& state) {
  const std::string& text = BlankPaddedOptions();
  for (auto _ : state) {
    benchmark::DoNotOptimize(std::count(text.begin(), text.end(), ','));
  }
  SetBytes(state, text.size());
}
BENCHMARK(BM_Baseline_OnePassOverOneMiB);

void BM_ScanInherentOptionsBlankPadded(benchmark::State& state) {
  const std::string& text = BlankPaddedOptions();
  for (auto _ : state) {
    auto matches = kel::text::InherentOptionMatches(text);
    benchmark::DoNotOptimize(matches.data());
    auto setup = kel::text::FindDriverSetup(text);
    benchmark::DoNotOptimize(setup);
  }
  SetBytes(state, text.size());
}
BENCHMARK(BM_ScanInherentOptionsBlankPadded)->Unit(benchmark::kMicrosecond);

void BM_ScanDriverSetupItems(benchmark::State& state) {
  const std::string& text = LongDriverSetup();
  for (auto _ : state) {
    auto matches = kel::text::DriverSetupItemMatches(text);
    benchmark::DoNotOptimize(matches.data());
  }
  SetBytes(state, text.size());
}
BENCHMARK(BM_ScanDriverSetupItems)->Unit(benchmark::kMicrosecond);

// One simulated session opened and closed per iteration with the given option string.
void InitAndCloseWithOptions(benchmark::State& state, const std::string& options) {
  for (auto _ : state) {
    ViSession vi = VI_NULL;
    if (HnVQR_InitWithOptions(const_cast<ViRsrc>("GPIB0::5::INSTR"), VI_FALSE, VI_FALSE, options.c_str(), &vi) !=
        VI_SUCCESS) {
      state.SkipWithError("initialization failed");
      break;
    }
    HnVQR_close(vi);
  }
  SetBytes(state, options.size());
}

void BM_InitWithBlankPaddedOptions(benchmark::State& state) { InitAndCloseWithOptions(state, BlankPaddedOptions()); }
BENCHMARK(BM_InitWithBlankPaddedOptions)->Unit(benchmark::kMicrosecond);

void BM_InitWithLongDriverSetup(benchmark::State& state) { InitAndCloseWithOptions(state, LongDriverSetup()); }
BENCHMARK(BM_InitWithLongDriverSetup)->Unit(benchmark::kMicrosecond);

void TimeSelectorGrammar(benchmark::State& state, const std::string& selector) {
  for (auto _ : state) benchmark::DoNotOptimize(kel::text::MatchesSelectorGrammar(selector));
  SetBytes(state, selector.size());
}

void BM_SelectorGrammarBlankPadded(benchmark::State& state) { TimeSelectorGrammar(state, BlankPaddedSelector()); }
BENCHMARK(BM_SelectorGrammarBlankPadded)->Unit(benchmark::kMicrosecond);

void BM_SelectorGrammarLongList(benchmark::State& state) { TimeSelectorGrammar(state, LongSelectorList()); }
BENCHMARK(BM_SelectorGrammarLongList)->Unit(benchmark::kMicrosecond);

// Full resolution in a simulated session, as every channel-taking call does it.
void TimeResolveSelector(benchmark::State& state, const std::string& selector) {
  ViSession vi = VI_NULL;
  if (HnVQR_InitWithOptions(const_cast<ViRsrc>("GPIB0::5::INSTR"), VI_FALSE, VI_FALSE, "Simulate=1", &vi) !=
      VI_SUCCESS) {
    state.SkipWithError("initialization failed");
    return;
  }
  ViBoolean hasLock = VI_FALSE;
  HnVQR_LockSession(vi, &hasLock);  // resolution runs under the session lock
  ViStatus status = VI_SUCCESS;
  kel::DriverSession& session = *kel::FindSession(vi);
  for (auto _ : state) {
    std::vector<kel::RepCapName> names;
    status = kel::ResolveSelector(session, selector.c_str(), names, true);
    benchmark::DoNotOptimize(names.data());
  }
  state.SetLabel(status == VI_SUCCESS ? "resolves"
                                      : "rejected, status " + std::to_string(static_cast<unsigned>(status)));
  HnVQR_UnlockSession(vi, &hasLock);
  HnVQR_close(vi);
  SetBytes(state, selector.size());
}

void BM_ResolveBlankPaddedSelector(benchmark::State& state) { TimeResolveSelector(state, BlankPaddedSelector()); }
BENCHMARK(BM_ResolveBlankPaddedSelector)->Unit(benchmark::kMicrosecond);

void BM_ResolveLongSelectorList(benchmark::State& state) { TimeResolveSelector(state, LongSelectorList()); }
BENCHMARK(BM_ResolveLongSelectorList)->Unit(benchmark::kMicrosecond);

}  // namespace

BENCHMARK_MAIN();
