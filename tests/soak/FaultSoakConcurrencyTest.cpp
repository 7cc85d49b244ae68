// The fault soak on several threads at once, each with its own session and emulator: the
// sessions do not disturb one another, and ThreadSanitizer watches the driver's shared state.
#include <gtest/gtest.h>

#include <thread>
#include <vector>

#include "SoakSupport.h"

namespace {

constexpr int kThreads = 4;
constexpr int kOperationsPerThread = 1200;

TEST(FaultSoakConcurrency, SessionsOnSeveralThreadsSurviveTheirFaults) {
  std::vector<soak::Tally> tallies(kThreads);
  std::vector<std::thread> threads;
  const soak::Budget budget = soak::Budget::FromEnvironment(kOperationsPerThread);
  for (int t = 0; t < kThreads; ++t) {
    threads.emplace_back([&, t] { tallies[t] = soak::FaultSoak(7000u + t, budget).Run(); });
  }
  for (auto& thread : threads) thread.join();
  for (const auto& tally : tallies) {
    for (const auto& failure : tally.failures) ADD_FAILURE() << failure;
    EXPECT_GE(tally.operations, kOperationsPerThread);
  }
}

}  // namespace
