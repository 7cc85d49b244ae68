// viRead semantics over the in-memory transport: termination, counts, time-outs.
#include <gtest/gtest.h>

#include <string>

#include "memory_session.h"

namespace hnvqr::visa::test {
namespace {

std::string readOnce(MemorySession& s, ViUInt32 count, ViStatus& status, ViUInt32& returned) {
  std::string buffer(count + 1, '#');
  status = s.read(reinterpret_cast<ViByte*>(buffer.data()), count, &returned);
  EXPECT_EQ(buffer[count], '#') << "read past count";
  return buffer.substr(0, returned);
}

// One read of at most `count` bytes gives `text` and `expectedStatus`; returns the count
// the read reported.
ViUInt32 expectRead(MemorySession& s, ViUInt32 count, const std::string& text, ViStatus expectedStatus) {
  ViStatus status = 0;
  ViUInt32 returned = 0;
  EXPECT_EQ(readOnce(s, count, status, returned), text);
  EXPECT_EQ(status, expectedStatus) << "the read that gave '" << text << "'";
  return returned;
}

TEST(SessionRead, FramesOnTheTermCharNotOnReceives) {
  MemorySession s;
  s.transport->queueInput("ab");
  s.transport->queueInput("c\nde");
  s.transport->queueInput("f\nrest");
  expectRead(s, 100, "abc\n", VI_SUCCESS_TERM_CHAR);
  expectRead(s, 100, "def\n", VI_SUCCESS_TERM_CHAR);
  EXPECT_EQ(expectRead(s, 100, "rest", VI_ERROR_TMO), 4u);
}

TEST(SessionRead, MaxCountThenTheRestStaysQueued) {
  MemorySession s;
  s.transport->queueInput("0123456789\n");
  expectRead(s, 4, "0123", VI_SUCCESS_MAX_CNT);
  expectRead(s, 7, "456789\n", VI_SUCCESS_TERM_CHAR);
}

TEST(SessionRead, TermCharDisabledReadsUntilCountOrTimeOut) {
  MemorySession s;
  s.set(VI_ATTR_TERMCHAR_EN, VI_FALSE);
  s.transport->queueInput("ab\ncd");
  expectRead(s, 100, "ab\ncd", VI_ERROR_TMO);
}

TEST(SessionRead, OtherTermCharAndNullCount) {
  MemorySession s;
  s.set(VI_ATTR_TERMCHAR, ';');
  s.transport->queueInput("a\nb;c");
  ViByte buffer[16];
  EXPECT_EQ(s.read(buffer, sizeof buffer, nullptr), VI_SUCCESS_TERM_CHAR);
  EXPECT_EQ(s.read(nullptr, 4, nullptr), VI_ERROR_USER_BUF);
}

TEST(SessionRead, PeerGoneIsConnectionLost) {
  MemorySession s;
  s.transport->setWhenEmpty(MemoryTransport::WhenEmpty::ConnectionLost);
  s.transport->queueInput("par");
  expectRead(s, 100, "par", VI_ERROR_CONN_LOST);
}

TEST(SessionFlush, MasksAreChecked) {
  MemorySession s;
  EXPECT_EQ(s.flush(0), VI_ERROR_INV_MASK);
  EXPECT_EQ(s.flush(0x40), VI_ERROR_INV_MASK);
  EXPECT_EQ(s.flush(VI_READ_BUF | VI_READ_BUF_DISCARD), VI_ERROR_INV_MASK);
  s.transport->queueInput("stale\n");
  char text[16];
  EXPECT_EQ(s.scanf("%3c", text), VI_SUCCESS);
  EXPECT_EQ(s.flush(VI_READ_BUF_DISCARD), VI_SUCCESS);
  ViByte buffer[8];
  EXPECT_EQ(s.read(buffer, sizeof buffer, nullptr), VI_ERROR_TMO);
}

TEST(SessionAttributes, ValuesAreCheckedAgainstTheirType) {
  MemorySession s;
  EXPECT_EQ(s.set(VI_ATTR_TERMCHAR_EN, 2), VI_ERROR_NSUP_ATTR_STATE);
  EXPECT_EQ(s.set(VI_ATTR_TERMCHAR, 0x100), VI_ERROR_NSUP_ATTR_STATE);
  EXPECT_EQ(s.set(VI_ATTR_TMO_VALUE, 0x100000000ULL), VI_ERROR_NSUP_ATTR_STATE);
  EXPECT_EQ(s.set(VI_ATTR_RD_BUF_OPER_MODE, VI_FLUSH_WHEN_FULL), VI_ERROR_NSUP_ATTR_STATE);
  EXPECT_EQ(s.set(VI_ATTR_INTF_TYPE, 4), VI_ERROR_ATTR_READONLY);
  EXPECT_EQ(s.set(VI_ATTR_ASRL_BAUD, 9600), VI_ERROR_NSUP_ATTR);
  EXPECT_EQ(s.set(VI_ATTR_ASRL_AVAIL_NUM, 1), VI_ERROR_NSUP_ATTR);
  EXPECT_EQ(s.set(0x3FFF0FFF, 1), VI_ERROR_NSUP_ATTR);
}

}  // namespace
}  // namespace hnvqr::visa::test
