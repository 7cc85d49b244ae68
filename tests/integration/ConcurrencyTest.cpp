// Many threads on one session, and one session per thread: every call succeeds, a caller
// holding the session lock sees its own writes undisturbed, and ThreadSanitizer stays quiet.
#include <gtest/gtest.h>

#include <atomic>
#include <string>
#include <thread>
#include <vector>

#include "HnVQR.h"

namespace {

constexpr int kThreads = 8;
constexpr int kCallsPerThread = 2000;

ViSession OpenSimulated() {
  ViSession vi = VI_NULL;
  EXPECT_EQ(HnVQR_InitWithOptions(const_cast<ViRsrc>("GPIB0::5::INSTR"), VI_FALSE, VI_FALSE, "Simulate=1", &vi),
            VI_SUCCESS);
  return vi;
}

TEST(DriverConcurrency, EightThreadsShareOneSessionWhileOneHoldsTheLock) {
  const ViSession vi = OpenSimulated();
  std::atomic<int> failures{0};
  std::vector<std::thread> threads;
  for (int t = 0; t < kThreads; ++t) {
    threads.emplace_back([&, t] {
      for (int i = 0; i < kCallsPerThread; ++i) {
        if (t == 0 && i % 100 == 0) {
          // Hold the lock across several calls: nobody else may write in between.
          ViBoolean hasLock = VI_FALSE;
          if (HnVQR_LockSession(vi, &hasLock) != VI_SUCCESS || hasLock != VI_TRUE) ++failures;
          for (int k = 0; k < 20; ++k) {
            const ViReal64 mine = 1000.0 + k;
            ViReal64 read = 0;
            if (HnVQR_ConfigureVoltageLevel(vi, "CH1", mine) != VI_SUCCESS) ++failures;
            if (HnVQR_GetAttributeViReal64(vi, "", HNVQR_ATTR_VOLTAGE_LEVEL, &read) != VI_SUCCESS || read != mine) {
              ++failures;
            }
          }
          if (HnVQR_UnlockSession(vi, &hasLock) != VI_SUCCESS || hasLock != VI_FALSE) ++failures;
          continue;
        }
        ViReal64 read = 0;
        ViBoolean on = VI_FALSE;
        if (HnVQR_SetAttributeViReal64(vi, "", HNVQR_ATTR_CURRENT_LEVEL, t + i * 0.001) != VI_SUCCESS) ++failures;
        if (HnVQR_GetAttributeViReal64(vi, "", HNVQR_ATTR_CURRENT_LEVEL, &read) != VI_SUCCESS) ++failures;
        if (HnVQR_GetAttributeViBoolean(vi, "CH1", HNVQR_ATTR_OUTPUT_ENABLED, &on) != VI_SUCCESS || on != VI_TRUE) {
          ++failures;
        }
        if (i % 500 == 0 && HnVQR_reset(vi) != VI_SUCCESS) ++failures;
      }
    });
  }
  for (auto& thread : threads) thread.join();
  EXPECT_EQ(failures.load(), 0);
  EXPECT_EQ(HnVQR_close(vi), VI_SUCCESS);
}

TEST(DriverConcurrency, EightThreadsEachWithTheirOwnSession) {
  std::atomic<int> failures{0};
  std::vector<std::thread> threads;
  for (int t = 0; t < kThreads; ++t) {
    threads.emplace_back([&, t] {
      const ViSession vi = OpenSimulated();
      for (int i = 0; i < kCallsPerThread; ++i) {
        const ViReal64 value = t * 100.0 + i;
        ViReal64 read = 0;
        if (HnVQR_ConfigureVoltageLevel(vi, "CH1", value) != VI_SUCCESS) ++failures;
        if (HnVQR_GetAttributeViReal64(vi, "", HNVQR_ATTR_VOLTAGE_LEVEL, &read) != VI_SUCCESS || read != value) {
          ++failures;
        }
        if (HnVQR_GetAttributeViInt32(vi, "", HNVQR_ATTR_VOLTAGE_LEVEL, nullptr) != IVI_ERROR_NULL_POINTER) {
          ++failures;
        }
        ViStatus code = 0;
        ViChar text[256];
        if (HnVQR_GetError(vi, &code, sizeof text, text) != VI_SUCCESS || code != IVI_ERROR_NULL_POINTER) ++failures;
      }
      if (HnVQR_close(vi) != VI_SUCCESS) ++failures;
    });
  }
  for (auto& thread : threads) thread.join();
  EXPECT_EQ(failures.load(), 0);
}

TEST(DriverConcurrency, SessionsOpenResolveAndCloseOnEightThreads) {
  std::atomic<int> failures{0};
  std::vector<std::thread> threads;
  for (int t = 0; t < kThreads; ++t) {
    threads.emplace_back([&] {
      for (int i = 0; i < 200; ++i) {
        const ViSession vi = OpenSimulated();
        ViChar name[16];
        ViInt32 count = 0;
        if (HnVQR_SetAttributeViBoolean(vi, "[CH1]", HNVQR_ATTR_OUTPUT_ENABLED, VI_TRUE) != VI_SUCCESS) ++failures;
        if (HnVQR_GetChannelName(vi, 1, sizeof name, name) != VI_SUCCESS || std::string(name) != "CH1") ++failures;
        if (HnVQR_GetAttributeViInt32(vi, "", HNVQR_ATTR_CHANNEL_COUNT, &count) != VI_SUCCESS || count != 1) {
          ++failures;
        }
        if (HnVQR_close(vi) != VI_SUCCESS) ++failures;
      }
    });
  }
  for (auto& thread : threads) thread.join();
  EXPECT_EQ(failures.load(), 0);
}

// A call racing with close on another thread either completes or finds the handle gone.
TEST(DriverConcurrency, CallsRacingWithCloseNeverTouchAClosedSession) {
  for (int round = 0; round < 50; ++round) {
    const ViSession vi = OpenSimulated();
    std::atomic<bool> go{false};
    std::atomic<int> unexpected{0};
    std::thread caller([&] {
      while (!go.load()) std::this_thread::yield();
      for (int i = 0; i < 200; ++i) {
        ViReal64 read = 0;
        const ViStatus status = HnVQR_GetAttributeViReal64(vi, "", HNVQR_ATTR_VOLTAGE_LEVEL, &read);
        if (status != VI_SUCCESS && status != IVI_ERROR_INVALID_SESSION_HANDLE) ++unexpected;
      }
    });
    go = true;
    EXPECT_EQ(HnVQR_close(vi), VI_SUCCESS);
    caller.join();
    EXPECT_EQ(unexpected.load(), 0);
  }
}

}  // namespace
