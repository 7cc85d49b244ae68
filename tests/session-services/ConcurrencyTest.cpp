#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstring>
#include <functional>
#include <future>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include "IviSessionServices.h"
#include "SessionTestSupport.h"

namespace {

using namespace std::chrono_literals;

constexpr int kThreads = 8;

void RunThreads(int count, const std::function<void(int)>& body) {
  std::vector<std::thread> threads;
  threads.reserve(static_cast<std::size_t>(count));
  for (int index = 0; index < count; ++index) {
    threads.emplace_back(body, index);
  }
  for (std::thread& thread : threads) {
    thread.join();
  }
}

TEST(SessionLockAcrossThreads, SerialisesEightThreadsOnOneSession) {
  ScopedSession session;
  const ViSession vi = session.get();
  constexpr int kRounds = 4000;
  // Deliberately not atomic: only the session lock keeps it consistent.
  long counter = 0;
  std::atomic<int> failures{0};
  RunThreads(kThreads, [&](int index) {
    for (int round = 0; round < kRounds; ++round) {
      ViBoolean hasLock = VI_FALSE;
      const bool useFlag = (round + index) % 2 == 0;
      if (IviSession_Lock(vi, useFlag ? &hasLock : nullptr) != VI_SUCCESS ||
          IviSession_Lock(vi, nullptr) != VI_SUCCESS) {
        ++failures;
        continue;
      }
      const long seen = counter;
      if (round % 64 == 0) {
        std::this_thread::yield();  // widen the window a broken lock would expose
      }
      counter = seen + 1;
      if (IviSession_Unlock(vi, nullptr) != VI_SUCCESS ||
          IviSession_Unlock(vi, useFlag ? &hasLock : nullptr) != VI_SUCCESS) {
        ++failures;
      }
    }
    // Nothing is left held by this thread.
    if (IviSession_Unlock(vi, nullptr) != IVI_SESSION_ERROR_LOCK_NOT_HELD) {
      ++failures;
    }
  });
  EXPECT_EQ(failures.load(), 0);
  EXPECT_EQ(counter, static_cast<long>(kThreads) * kRounds);
}

TEST(SessionLockAcrossThreads, UnlockFromAnotherThreadIsRejected) {
  ScopedSession session;
  ASSERT_EQ(IviSession_Lock(session.get(), nullptr), VI_SUCCESS);
  std::thread([&] { EXPECT_EQ(IviSession_Unlock(session.get(), nullptr), IVI_SESSION_ERROR_LOCK_NOT_HELD); }).join();
  EXPECT_EQ(IviSession_Unlock(session.get(), nullptr), VI_SUCCESS);
}

TEST(SessionLockAcrossThreads, DifferentSessionsDoNotBlockEachOther) {
  ScopedSession held;
  ScopedSession free;
  ASSERT_EQ(IviSession_Lock(held.get(), nullptr), VI_SUCCESS);
  auto other = std::async(std::launch::async, [&] {
    const ViStatus locked = IviSession_Lock(free.get(), nullptr);
    IviSession_Unlock(free.get(), nullptr);
    return locked;
  });
  ASSERT_EQ(other.wait_for(5s), std::future_status::ready);
  EXPECT_EQ(other.get(), VI_SUCCESS);
  EXPECT_EQ(IviSession_Unlock(held.get(), nullptr), VI_SUCCESS);
}

TEST(SessionLockAcrossThreads, DisposeWakesThreadsWaitingForTheLock) {
  ScopedSession session;
  const ViSession vi = session.release();
  ASSERT_EQ(IviSession_Lock(vi, nullptr), VI_SUCCESS);
  std::vector<std::future<ViStatus>> waiters;
  for (int index = 0; index < 3; ++index) {
    waiters.push_back(std::async(std::launch::async, [vi] {
      ViBoolean hasLock = VI_FALSE;
      return IviSession_Lock(vi, &hasLock);
    }));
  }
  // Give them time to block; one that arrives late finds the handle gone, same result.
  std::this_thread::sleep_for(50ms);
  for (auto& waiter : waiters) {
    EXPECT_EQ(waiter.wait_for(0s), std::future_status::timeout) << "Lock did not wait";
  }
  // Disposed by the holder, as a driver's close does.
  ASSERT_EQ(IviSession_Dispose(vi), VI_SUCCESS);
  for (auto& waiter : waiters) {
    ASSERT_EQ(waiter.wait_for(5s), std::future_status::ready);
    EXPECT_EQ(waiter.get(), IVI_SESSION_ERROR_INVALID_SESSION_HANDLE);
  }
}

TEST(SessionLockAcrossThreads, DisposeRacingWithLockersIsSafe) {
  for (int repeat = 0; repeat < 20; ++repeat) {
    ViSession vi = VI_NULL;
    ASSERT_EQ(IviSession_New(&vi), VI_SUCCESS);
    std::atomic<int> unexpected{0};
    RunThreads(4, [&](int index) {
      if (index == 0) {
        std::this_thread::yield();
        if (IviSession_Dispose(vi) != VI_SUCCESS) {
          ++unexpected;
        }
        return;
      }
      for (;;) {
        const ViStatus locked = IviSession_Lock(vi, nullptr);
        if (locked == IVI_SESSION_ERROR_INVALID_SESSION_HANDLE) {
          return;
        }
        if (locked != VI_SUCCESS) {
          ++unexpected;
          return;
        }
        const ViStatus unlocked = IviSession_Unlock(vi, nullptr);
        if (unlocked != VI_SUCCESS && unlocked != IVI_SESSION_ERROR_INVALID_SESSION_HANDLE) {
          ++unexpected;
        }
      }
    });
    EXPECT_EQ(unexpected.load(), 0);
  }
}

TEST(SessionChurn, EightThreadsCreateUseAndDisposeTheirOwnSessions) {
  const ViInt32 liveBefore = IviSession_GetLiveSessionCount();
  constexpr int kCycles = 400;
  std::vector<std::vector<ViSession>> issued(kThreads);
  std::atomic<int> failures{0};
  RunThreads(kThreads, [&](int index) {
    for (int cycle = 0; cycle < kCycles; ++cycle) {
      ViSession vi = VI_NULL;
      if (IviSession_New(&vi) != VI_SUCCESS) {
        ++failures;
        continue;
      }
      issued[static_cast<std::size_t>(index)].push_back(vi);
      int object = cycle;
      void* found = nullptr;
      ViStatus code = 0;
      ViChar text[32];
      const bool ok = IviSession_SetDataPtr(vi, &object) == VI_SUCCESS && IviSession_Lock(vi, nullptr) == VI_SUCCESS &&
                      IviSession_GetDataPtr(vi, &found) == VI_SUCCESS && found == &object &&
                      IviSession_SetError(vi, -1 - index, "churn") == VI_SUCCESS &&
                      IviSession_Unlock(vi, nullptr) == VI_SUCCESS &&
                      IviSession_GetError(vi, sizeof text, &code, text) == VI_SUCCESS && code == -1 - index &&
                      std::strcmp(text, "churn") == 0 && IviSession_Dispose(vi) == VI_SUCCESS &&
                      IviSession_GetDataPtr(vi, &found) < 0;
      if (!ok) {
        ++failures;
      }
      IviSession_ClearError(VI_NULL);
    }
  });
  EXPECT_EQ(failures.load(), 0);
  EXPECT_EQ(IviSession_GetLiveSessionCount(), liveBefore);

  std::vector<ViSession> all;
  for (const auto& handles : issued) {
    all.insert(all.end(), handles.begin(), handles.end());
  }
  std::sort(all.begin(), all.end());
  EXPECT_EQ(std::adjacent_find(all.begin(), all.end()), all.end()) << "a handle was reused";
  EXPECT_EQ(all.size(), static_cast<std::size_t>(kThreads) * kCycles);
}

TEST(ThreadErrorRecord, IsInvisibleToOtherThreads) {
  IviSession_ClearError(VI_NULL);
  ASSERT_EQ(IviSession_SetError(VI_NULL, -5, "mine"), VI_SUCCESS);
  std::thread([] {
    ViStatus code = 1;
    ViChar text[16];
    EXPECT_EQ(IviSession_GetError(VI_NULL, sizeof text, &code, text), VI_SUCCESS);
    EXPECT_EQ(code, VI_SUCCESS);
    EXPECT_STREQ(text, "");
  }).join();
  ViStatus code = 0;
  ViChar text[16];
  EXPECT_EQ(IviSession_GetError(VI_NULL, sizeof text, &code, text), VI_SUCCESS);
  EXPECT_EQ(code, -5);
  EXPECT_STREQ(text, "mine");
}

TEST(ThreadErrorRecord, SessionErrorIsSharedButThreadCopyIsNot) {
  ScopedSession session;
  std::thread([&] { EXPECT_EQ(IviSession_SetError(session.get(), -7, "from worker"), VI_SUCCESS); }).join();
  ViStatus code = 0;
  ViChar text[32];
  EXPECT_EQ(IviSession_GetError(VI_NULL, sizeof text, &code, text), VI_SUCCESS);
  EXPECT_EQ(code, VI_SUCCESS);
  EXPECT_EQ(IviSession_GetError(session.get(), sizeof text, &code, text), VI_SUCCESS);
  EXPECT_EQ(code, -7);
  EXPECT_STREQ(text, "from worker");
}

}  // namespace
