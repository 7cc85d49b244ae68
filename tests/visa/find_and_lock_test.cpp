// The search-expression matcher, the resource list that viFindRsrc searches, and the
// process-wide lock table.
#include <gtest/gtest.h>
#include <stdlib.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <future>
#include <string>
#include <thread>

#include "find_list.h"
#include "lock_table.h"
#include "visa.h"

namespace hnvqr::visa {
namespace {

TEST(ResourcePattern, MatchesTheVisaExpressionGrammar) {
  struct Case {
    const char* expression;
    const char* name;
    bool matches;
  };
  const Case cases[] = {
      {"?*", "TCPIP0::127.0.0.1::5025::SOCKET", true},
      {"?*::INSTR", "ASRL1::INSTR", true},
      {"?*::INSTR", "TCPIP0::127.0.0.1::5025::SOCKET", false},
      {"?*INSTR", "asrl1::instr", true},  // letters match either case
      {"ASRL?*", "ASRL/dev/ttyUSB0::INSTR", true},
      {"ASRL?::INSTR", "ASRL12::INSTR", false},    // ? is exactly one character
      {"ASRL[0-9]*::INSTR", "ASRL::INSTR", true},  // * after a list: zero or more of it
      {"ASRL[0-9]+::INSTR", "ASRL::INSTR", false},
      {"ASRL[^2]::INSTR", "ASRL2::INSTR", false},
      {"(GPIB|TCPIP)?*", "TCPIP0::h::INSTR", true},
      {"(GPIB|TCPIP)?*", "ASRL1::INSTR", false},
      {"TCPIP0::1.2.3.4::5025::SOCKET", "TCPIP0::1x2x3x4::5025::SOCKET", false},  // '.' is literal
      {"USB?*\\::INSTR", "USB0::0x1234::0x5678::SN::INSTR", true},                // \ quotes the next character
      {"?*::INSTR", "ASRL1::INSTRX", false},                                      // the whole name must match
  };
  for (const Case& c : cases) {
    ResourcePattern pattern;
    ASSERT_EQ(ResourcePattern::compile(c.expression, pattern), VI_SUCCESS) << c.expression;
    EXPECT_EQ(pattern.matches(c.name), c.matches) << c.expression << " on " << c.name;
  }
  for (const char* invalid : {"", "*ASRL", "ASRL[0-9", "ASRL(", "ASRL\\", "?*{VI_ATTR_INTF_NUM==0}"}) {
    ResourcePattern pattern;
    EXPECT_EQ(ResourcePattern::compile(invalid, pattern), VI_ERROR_INV_EXPR) << invalid;
  }
}

TEST(DiscoverResources, ListsTheNamedResourcesOnceEachInCanonicalForm) {
  char path[] = "/tmp/hnvisa_resources_XXXXXX";
  const int fd = mkstemp(path);
  ASSERT_GE(fd, 0);
  FILE* file = fdopen(fd, "w");
  std::fputs("# lab bench\nTCPIP::10.0.0.7::5025::SOCKET  tcpip0::10.0.0.8::INSTR # the scope\nnot a name\n", file);
  std::fclose(file);
  setenv(kResourceFileVariable, path, 1);
  setenv(kResourceListVariable, "TCPIP0::10.0.0.7::5025::SOCKET;TCPIP0::10.0.0.9::5025::SOCKET", 1);
  const std::vector<std::string> found = discoverResources();
  unsetenv(kResourceListVariable);
  unsetenv(kResourceFileVariable);
  std::remove(path);
  ASSERT_GE(found.size(), 3u);
  EXPECT_EQ(found[0], "TCPIP0::10.0.0.7::5025::SOCKET");
  EXPECT_EQ(found[1], "TCPIP0::10.0.0.9::5025::SOCKET");
  EXPECT_EQ(found[2], "TCPIP0::10.0.0.8::inst0::INSTR");
  EXPECT_EQ(std::count(found.begin(), found.end(), "TCPIP0::10.0.0.7::5025::SOCKET"), 1);
}

// Each case: what session 1 holds, then what session 2 asks for without waiting.
TEST(LockTable, GrantsOnlyCompatibleLocks) {
  LockTable& table = LockTable::instance();
  const auto always = [] { return true; };
  struct Case {
    const char* what;
    ViAccessMode held;
    ViAccessMode asked;
    const char* key;  // session 2's requested key; "held" stands for session 1's key
    ViStatus expected;
  };
  const Case cases[] = {
      {"exclusive blocks exclusive", VI_EXCLUSIVE_LOCK, VI_EXCLUSIVE_LOCK, nullptr, VI_ERROR_RSRC_LOCKED},
      {"exclusive blocks shared", VI_EXCLUSIVE_LOCK, VI_SHARED_LOCK, "held", VI_ERROR_RSRC_LOCKED},
      {"shared blocks exclusive", VI_SHARED_LOCK, VI_EXCLUSIVE_LOCK, nullptr, VI_ERROR_RSRC_LOCKED},
      {"shared needs the key", VI_SHARED_LOCK, VI_SHARED_LOCK, "other", VI_ERROR_RSRC_LOCKED},
      {"shared with the key", VI_SHARED_LOCK, VI_SHARED_LOCK, "held", VI_SUCCESS},
      {"no such lock type", VI_SHARED_LOCK, VI_LOAD_CONFIG, nullptr, VI_ERROR_INV_LOCK_TYPE},
  };
  ViSession next = 1000;
  for (const Case& c : cases) {
    const std::string resource = std::string("TEST::") + c.what;
    const ViSession first = ++next, second = ++next;
    std::string heldKey, grantedKey;
    ASSERT_EQ(table.lock(resource, first, c.held, 0, nullptr, heldKey, always), VI_SUCCESS) << c.what;
    const char* key = c.key != nullptr && std::string(c.key) == "held" ? heldKey.c_str() : c.key;
    EXPECT_EQ(table.lock(resource, second, c.asked, 0, key, grantedKey, always), c.expected) << c.what;
    EXPECT_EQ(table.mayAccess(resource, second), c.expected == VI_SUCCESS) << c.what;
    EXPECT_TRUE(table.mayAccess(resource, first)) << c.what;
    table.releaseAll(first);
    table.releaseAll(second);
    EXPECT_EQ(table.state(resource), VI_NO_LOCK) << c.what;
  }
}

TEST(LockTable, NestsReleasesInOrderAndWakesWaiters) {
  LockTable& table = LockTable::instance();
  const auto always = [] { return true; };
  const std::string resource = "TEST::nesting";
  std::string key;
  EXPECT_EQ(table.lock(resource, 1, VI_SHARED_LOCK, 0, "mine", key, always), VI_SUCCESS);
  EXPECT_EQ(key, "mine");
  EXPECT_EQ(table.lock(resource, 1, VI_EXCLUSIVE_LOCK, 0, nullptr, key, always), VI_SUCCESS);
  EXPECT_EQ(table.lock(resource, 1, VI_EXCLUSIVE_LOCK, 0, nullptr, key, always), VI_SUCCESS_NESTED_EXCLUSIVE);
  EXPECT_EQ(table.state(resource), ViAccessMode{VI_EXCLUSIVE_LOCK});
  EXPECT_EQ(table.unlock(resource, 1), VI_SUCCESS_NESTED_EXCLUSIVE);
  EXPECT_EQ(table.unlock(resource, 1), VI_SUCCESS_NESTED_SHARED);  // exclusive gone, shared left
  EXPECT_EQ(table.state(resource), ViAccessMode{VI_SHARED_LOCK});

  // A waiter gets the lock when it is released, and times out when it is not.
  std::string otherKey;
  EXPECT_EQ(table.lock(resource, 2, VI_EXCLUSIVE_LOCK, 50, nullptr, otherKey, always), VI_ERROR_TMO);
  auto waiter = std::async(std::launch::async, [&] {
    std::string waiterKey;
    return table.lock(resource, 2, VI_EXCLUSIVE_LOCK, 5000, nullptr, waiterKey, always);
  });
  EXPECT_EQ(waiter.wait_for(std::chrono::milliseconds(50)), std::future_status::timeout);
  EXPECT_EQ(table.unlock(resource, 1), VI_SUCCESS);
  EXPECT_EQ(waiter.get(), VI_SUCCESS);
  EXPECT_EQ(table.unlock(resource, 1), VI_ERROR_SESN_NLOCKED);

  // A session closed while it waits is never granted the lock.
  std::atomic<bool> open = true;
  auto closing = std::async(std::launch::async, [&] {
    std::string closingKey;
    return table.lock(resource, 3, VI_EXCLUSIVE_LOCK, VI_TMO_INFINITE, nullptr, closingKey,
                      [&] { return open.load(); });
  });
  std::this_thread::sleep_for(std::chrono::milliseconds(20));
  open = false;  // what closing the session does: it leaves the table, then its locks go
  table.releaseAll(3);
  EXPECT_EQ(closing.get(), VI_ERROR_INV_OBJECT);
  table.releaseAll(2);
  EXPECT_EQ(table.state(resource), VI_NO_LOCK);
}

}  // namespace
}  // namespace hnvqr::visa
