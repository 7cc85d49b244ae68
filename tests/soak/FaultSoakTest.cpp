// Thousands of live operations against an emulator that injects faults at random (seeded):
// every call returns the status its fault calls for, none waits much past the time-out, and
// a session opened after a lost link works.
#include <gtest/gtest.h>

#include <cstdio>

#include "SoakSupport.h"

namespace {

// About 2.5 s by default (most of it the rare stalls); HNVQR_SOAK_SECONDS runs longer.
constexpr int kOperations = 4000;

TEST(FaultSoak, EveryFaultGetsItsStatusAndTheSessionRecovers) {
  const soak::Tally tally = soak::FaultSoak(20240611u, soak::Budget::FromEnvironment(kOperations)).Run();
  for (const auto& failure : tally.failures) ADD_FAILURE() << failure;
  std::printf("%d operations: %d split, %d garbage, %d stalled, %d dropped replies; %d reopenings\n", tally.operations,
              tally.faults[1], tally.faults[2], tally.faults[3], tally.faults[4], tally.reopenings);
  EXPECT_GE(tally.operations, kOperations);
  // The seed must have injected every kind of fault, or the soak proves less than it says.
  for (soak::Fault fault : {soak::Fault::Split, soak::Fault::Garbage, soak::Fault::Stall, soak::Fault::Drop}) {
    EXPECT_GT(tally.faults[static_cast<int>(fault)], 0) << soak::Name(fault);
  }
  EXPECT_EQ(tally.reopenings, tally.faults[static_cast<int>(soak::Fault::Drop)]);
}

}  // namespace
