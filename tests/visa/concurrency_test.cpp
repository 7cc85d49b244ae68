// Several threads, each on its own session against the loopback instrument; sessions never
// wait for one another, and closing a session under a blocked call is safe.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <string>
#include <thread>
#include <vector>

#include "blocked_read.h"
#include "instrument_handler.h"
#include "loopback_server.h"
#include "visa.h"

namespace hnvqr::visa::test {
namespace {

TEST(VisaConcurrency, ThreadsOnTheirOwnSessionsGetTheirOwnAnswers) {
  LoopbackServer server([&server](int connection) { scriptedInstrument(connection, &server); });
  ViSession rm = VI_NULL;
  ASSERT_EQ(viOpenDefaultRM(&rm), VI_SUCCESS);
  constexpr int kThreads = 4;
  constexpr int kQueries = 200;
  std::atomic<int> failures{0};
  std::vector<std::thread> threads;
  for (int t = 0; t < kThreads; ++t) {
    threads.emplace_back([&, t] {
      ViSession vi = VI_NULL;
      if (viOpen(rm, server.resourceName().c_str(), VI_NO_LOCK, 0, &vi) != VI_SUCCESS ||
          viSetAttribute(vi, VI_ATTR_TERMCHAR_EN, VI_TRUE) != VI_SUCCESS) {
        ++failures;
        return;
      }
      for (int q = 0; q < kQueries; ++q) {
        const ViInt32 sent = t * 100000 + q;
        ViInt32 answer = -1;
        if (viQueryf(vi, "Q %ld\n", "%ld%*t", sent, &answer) != VI_SUCCESS || answer != sent) ++failures;
      }
      if (viClose(vi) != VI_SUCCESS) ++failures;
    });
  }
  // Meanwhile another thread opens, uses and closes sessions of the same resource manager.
  threads.emplace_back([&] {
    for (int i = 0; i < 20; ++i) {
      ViSession vi = VI_NULL;
      if (viOpen(rm, server.resourceName().c_str(), VI_NO_LOCK, 0, &vi) != VI_SUCCESS) {
        ++failures;
        continue;
      }
      ViUInt16 type = 0;
      if (viGetAttribute(vi, VI_ATTR_INTF_TYPE, &type) != VI_SUCCESS || type != VI_INTF_TCPIP) ++failures;
      viClose(vi);
    }
  });
  for (auto& thread : threads) thread.join();
  EXPECT_EQ(failures.load(), 0);
  EXPECT_EQ(viClose(rm), VI_SUCCESS);
}

TEST(VisaConcurrency, ABlockedSessionDoesNotHoldUpAnother) {
  LoopbackServer server([&server](int connection) { scriptedInstrument(connection, &server); });
  ViSession rm = VI_NULL;
  ViSession slow = VI_NULL;
  ViSession quick = VI_NULL;
  ASSERT_EQ(viOpenDefaultRM(&rm), VI_SUCCESS);
  ASSERT_EQ(viOpen(rm, server.resourceName().c_str(), VI_NO_LOCK, 0, &slow), VI_SUCCESS);
  ASSERT_EQ(viOpen(rm, server.resourceName().c_str(), VI_NO_LOCK, 0, &quick), VI_SUCCESS);
  ASSERT_EQ(viSetAttribute(quick, VI_ATTR_TERMCHAR_EN, VI_TRUE), VI_SUCCESS);
  ASSERT_EQ(viSetAttribute(slow, VI_ATTR_TMO_VALUE, VI_TMO_INFINITE), VI_SUCCESS);

  hnvqr::visa::test::BlockedRead blocked(slow);  // the instrument never answers
  for (int q = 0; q < 20; ++q) {
    ViInt32 answer = -1;
    EXPECT_EQ(viQueryf(quick, "Q %ld\n", "%ld%*t", ViInt32{q}, &answer), VI_SUCCESS);
    EXPECT_EQ(answer, q);
  }
  // Closing the blocked session wakes its reader; it never hangs or crashes.
  EXPECT_EQ(viClose(slow), VI_SUCCESS);
  EXPECT_EQ(blocked.Finish(), VI_ERROR_CONN_LOST);
  EXPECT_EQ(viClose(rm), VI_SUCCESS);
}

}  // namespace
}  // namespace hnvqr::visa::test
