// Many sessions opened and closed in a row, some of them failing: every session handle
// and every configuration server handle is given back.
#include <atomic>
#include <chrono>
#include <string>
#include <thread>

#include "DriverTestSupport.h"

namespace driver_test {
namespace {

TEST(SessionLifecycle, TenThousandInitsGiveBackEveryHandle) {
  const ViInt32 sessionsBefore = IviSession_GetLiveSessionCount();
  const ViInt32 configHandlesBefore = IviConfig_GetLiveHandleCount();
  const char* const failing[] = {"Simulate=1, Bogus=1", "Simulate=1, InterchangeCheck=1",
                                 "Simulate=1, DriverSetup=Model:VQR-Z9", "Simulate=1, Cache=1, cache=1"};
  int opened = 0;
  int refused = 0;
  for (int cycle = 0; cycle < 10000; ++cycle) {
    ViSession vi = VI_NULL;
    if (cycle % 4 == 3) {
      const ViStatus status =
          HnVQR_InitWithOptions(const_cast<ViRsrc>(kResource), VI_TRUE, VI_TRUE, failing[(cycle / 4) % 4], &vi);
      ASSERT_LT(status, 0) << cycle;
      ASSERT_EQ(vi, VI_NULL) << cycle;
      ++refused;
      continue;
    }
    ASSERT_EQ(HnVQR_InitWithOptions(const_cast<ViRsrc>(kResource), VI_TRUE, cycle % 2 == 0 ? VI_TRUE : VI_FALSE,
                                    "Simulate=1, DriverSetup=Model:VQR-A1", &vi),
              VI_SUCCESS)
        << cycle;
    // Touch what a session builds lazily, so that close has it to clean up.
    ViBoolean enabled = VI_FALSE;
    ASSERT_EQ(HnVQR_GetAttributeViBoolean(vi, "CH1", HNVQR_ATTR_OUTPUT_ENABLED, &enabled), VI_SUCCESS);
    ASSERT_EQ(HnVQR_SetAttributeViReal64(vi, "", HNVQR_ATTR_VOLTAGE_LEVEL, cycle), VI_SUCCESS);
    ASSERT_EQ(HnVQR_close(vi), VI_SUCCESS) << cycle;
    ++opened;
  }
  EXPECT_EQ(opened, 7500);
  EXPECT_EQ(refused, 2500);
  EXPECT_EQ(IviSession_GetLiveSessionCount(), sessionsBefore);
  EXPECT_EQ(IviConfig_GetLiveHandleCount(), configHandlesBefore);
}

// A lock taken with LockSession and never given back cannot keep a session from closing.
TEST(SessionLifecycle, CloseBreaksALockItsHolderKept) {
  using Clock = std::chrono::steady_clock;
  for (const bool holderEnds : {true, false}) {
    ViSession vi = VI_NULL;
    ASSERT_EQ(HnVQR_InitWithOptions(const_cast<ViRsrc>(kResource), VI_TRUE, VI_FALSE, "Simulate=1", &vi), VI_SUCCESS);
    std::atomic<bool> locked{false};
    std::atomic<bool> closed{false};
    std::atomic<ViStatus> afterClose{VI_SUCCESS};
    std::thread holder([&] {
      ViBoolean hasLock = VI_FALSE;
      EXPECT_EQ(HnVQR_LockSession(vi, &hasLock), VI_SUCCESS);
      locked = true;
      if (holderEnds) return;  // ends with the lock held
      while (!closed) std::this_thread::sleep_for(std::chrono::milliseconds(5));
      afterClose = HnVQR_UnlockSession(vi, &hasLock);
    });
    if (holderEnds) holder.join();
    while (!locked) std::this_thread::sleep_for(std::chrono::milliseconds(1));
    const auto began = Clock::now();
    EXPECT_EQ(HnVQR_close(vi), HNVQR_WARN_SESSION_LOCK_BROKEN) << holderEnds;
    const auto took = Clock::now() - began;
    closed = true;
    if (!holderEnds) holder.join();
    // An ended holder is seen at once; a live one is given a bounded wait.
    EXPECT_LT(took, holderEnds ? std::chrono::milliseconds(500) : std::chrono::milliseconds(3000));
    if (!holderEnds) {
      EXPECT_GE(took, std::chrono::milliseconds(1900));
    }
    EXPECT_EQ(afterClose.load(), holderEnds ? VI_SUCCESS : IVI_ERROR_INVALID_SESSION_HANDLE);
    ViChar message[256] = {};
    EXPECT_EQ(HnVQR_error_message(VI_NULL, HNVQR_WARN_SESSION_LOCK_BROKEN, message), VI_SUCCESS);
    EXPECT_STREQ(message, "The session was closed while another thread held its lock.");
    EXPECT_EQ(HnVQR_close(vi), IVI_ERROR_INVALID_SESSION_HANDLE);
  }
}

// The holder's own close, and a close after the lock was given back, are ordinary ones.
TEST(SessionLifecycle, CloseByTheHolderOrAfterUnlockIsOrdinary) {
  for (const bool unlockFirst : {true, false}) {
    ViSession vi = VI_NULL;
    ASSERT_EQ(HnVQR_InitWithOptions(const_cast<ViRsrc>(kResource), VI_TRUE, VI_FALSE, "Simulate=1", &vi), VI_SUCCESS);
    ViBoolean hasLock = VI_FALSE;
    std::thread([&] {
      ASSERT_EQ(HnVQR_LockSession(vi, &hasLock), VI_SUCCESS);
      ASSERT_EQ(HnVQR_LockSession(vi, &hasLock), VI_SUCCESS);  // already held: no second level
      if (unlockFirst) {
        ASSERT_EQ(HnVQR_UnlockSession(vi, &hasLock), VI_SUCCESS);
      } else {
        ASSERT_EQ(HnVQR_close(vi), VI_SUCCESS);
      }
    }).join();
    if (unlockFirst) {
      EXPECT_EQ(HnVQR_close(vi), VI_SUCCESS);
    }
  }
}

}  // namespace
}  // namespace driver_test
