#include <cstring>
#include <string>
#include <utility>

#include <gtest/gtest.h>

#include "IviSessionServices.h"
#include "SessionTestSupport.h"

namespace {

constexpr ViStatus kError = static_cast<ViStatus>(0xBFFA0058);
constexpr ViStatus kOtherError = static_cast<ViStatus>(0xBFFA0010);
constexpr ViStatus kWarning = 0x3FFA0065;

class ErrorStore : public ::testing::Test {
 protected:
  void SetUp() override { IviSession_ClearError(VI_NULL); }
  void TearDown() override { IviSession_ClearError(VI_NULL); }

  // Reads and clears the record with a generous buffer.
  static std::pair<ViStatus, std::string> Take(ViSession vi) {
    ViStatus code = 12345;
    ViChar text[2048];
    std::memset(text, 'x', sizeof text);
    EXPECT_EQ(IviSession_GetError(vi, sizeof text, &code, text), VI_SUCCESS);
    return {code, text};
  }

  ScopedSession session;
};

using Stored = std::pair<ViStatus, std::string>;

TEST_F(ErrorStore, EmptyRecordReadsAsSuccessWithEmptyText) {
  EXPECT_EQ(Take(session.get()), Stored(VI_SUCCESS, ""));
  EXPECT_EQ(Take(VI_NULL), Stored(VI_SUCCESS, ""));
  ViStatus code = 7;
  EXPECT_EQ(IviSession_GetError(session.get(), 0, &code, nullptr), 1);
  EXPECT_EQ(code, VI_SUCCESS);
}

TEST_F(ErrorStore, BufferProtocol) {
  const ViSession vi = session.get();
  ASSERT_EQ(IviSession_SetError(vi, kError, "abcdef"), VI_SUCCESS);

  // Size 0 asks for the size and leaves the record in place.
  ViStatus code = 0;
  EXPECT_EQ(IviSession_GetError(vi, 0, &code, nullptr), 7);
  EXPECT_EQ(code, kError);
  ViChar untouched[4] = "zz";
  EXPECT_EQ(IviSession_GetError(vi, 0, nullptr, untouched), 7);
  EXPECT_STREQ(untouched, "zz");

  // Too small: truncated and terminated, size needed returned, record cleared.
  ViChar small[5];
  std::memset(small, 'x', sizeof small);
  code = 0;
  EXPECT_EQ(IviSession_GetError(vi, 4, &code, small), 7);
  EXPECT_EQ(code, kError);
  EXPECT_STREQ(small, "abc");
  EXPECT_EQ(small[4], 'x');
  EXPECT_EQ(Take(vi), Stored(VI_SUCCESS, ""));

  // Exactly the size needed fits.
  ASSERT_EQ(IviSession_SetError(vi, kError, "abcdef"), VI_SUCCESS);
  ViChar exact[7];
  EXPECT_EQ(IviSession_GetError(vi, sizeof exact, &code, exact), VI_SUCCESS);
  EXPECT_STREQ(exact, "abcdef");

  // Size 1 yields only the terminator.
  ASSERT_EQ(IviSession_SetError(vi, kError, "abcdef"), VI_SUCCESS);
  ViChar one[1] = {'x'};
  EXPECT_EQ(IviSession_GetError(vi, 1, &code, one), 7);
  EXPECT_EQ(one[0], '\0');

  // A negative size copies the whole text.
  ASSERT_EQ(IviSession_SetError(vi, kError, "abcdef"), VI_SUCCESS);
  ViChar whole[16];
  EXPECT_EQ(IviSession_GetError(vi, -1, &code, whole), VI_SUCCESS);
  EXPECT_STREQ(whole, "abcdef");
  EXPECT_EQ(Take(vi), Stored(VI_SUCCESS, ""));
}

TEST_F(ErrorStore, NullOutputsAreSkippedButTheRecordIsStillRead) {
  const ViSession vi = session.get();
  ASSERT_EQ(IviSession_SetError(vi, kError, "text"), VI_SUCCESS);
  ViChar text[16];
  EXPECT_EQ(IviSession_GetError(vi, sizeof text, nullptr, text), VI_SUCCESS);
  EXPECT_STREQ(text, "text");

  ASSERT_EQ(IviSession_SetError(vi, kError, "text"), VI_SUCCESS);
  ViStatus code = 0;
  EXPECT_EQ(IviSession_GetError(vi, 16, &code, nullptr), VI_SUCCESS);
  EXPECT_EQ(code, kError);
  EXPECT_EQ(Take(vi), Stored(VI_SUCCESS, ""));
}

TEST_F(ErrorStore, FirstSignificantErrorIsKept) {
  const ViSession vi = session.get();
  ASSERT_EQ(IviSession_SetError(vi, VI_SUCCESS, "success"), VI_SUCCESS);
  ASSERT_EQ(IviSession_SetError(vi, kWarning, "warning"), VI_SUCCESS);
  ASSERT_EQ(IviSession_SetError(vi, kWarning + 1, "second warning"), VI_SUCCESS);
  EXPECT_EQ(Take(vi), Stored(kWarning, "warning"));

  ASSERT_EQ(IviSession_SetError(vi, kWarning, "warning"), VI_SUCCESS);
  ASSERT_EQ(IviSession_SetError(vi, kError, "error"), VI_SUCCESS);
  ASSERT_EQ(IviSession_SetError(vi, kOtherError, "second error"), VI_SUCCESS);
  ASSERT_EQ(IviSession_SetError(vi, kWarning, "late warning"), VI_SUCCESS);
  ASSERT_EQ(IviSession_SetError(vi, VI_SUCCESS, "late success"), VI_SUCCESS);
  EXPECT_EQ(Take(vi), Stored(kError, "error"));
}

TEST_F(ErrorStore, SessionAndThreadRecordsAreSeparate) {
  ScopedSession other;
  // Written to the session and to the thread; the thread keeps it over a later error.
  ASSERT_EQ(IviSession_SetError(session.get(), kError, "on session"), VI_SUCCESS);
  ASSERT_EQ(IviSession_SetError(VI_NULL, kOtherError, "thread only"), VI_SUCCESS);
  EXPECT_EQ(Take(other.get()), Stored(VI_SUCCESS, ""));
  // Reading the session clears the session record only.
  EXPECT_EQ(Take(session.get()), Stored(kError, "on session"));
  EXPECT_EQ(Take(VI_NULL), Stored(kError, "on session"));
  EXPECT_EQ(Take(VI_NULL), Stored(VI_SUCCESS, ""));

  ASSERT_EQ(IviSession_SetError(VI_NULL, kOtherError, "thread only"), VI_SUCCESS);
  EXPECT_EQ(Take(session.get()), Stored(VI_SUCCESS, ""));
  EXPECT_EQ(Take(VI_NULL), Stored(kOtherError, "thread only"));
}

TEST_F(ErrorStore, InvalidHandleStillRecordsForTheThread) {
  EXPECT_EQ(IviSession_SetError(0x7FFFFFF1, kError, "no such session"), IVI_SESSION_ERROR_INVALID_SESSION_HANDLE);
  EXPECT_EQ(Take(VI_NULL), Stored(kError, "no such session"));
}

TEST_F(ErrorStore, ClearError) {
  const ViSession vi = session.get();
  ASSERT_EQ(IviSession_SetError(vi, kError, "both"), VI_SUCCESS);
  ASSERT_EQ(IviSession_ClearError(vi), VI_SUCCESS);
  EXPECT_EQ(Take(vi), Stored(VI_SUCCESS, ""));
  EXPECT_EQ(Take(VI_NULL), Stored(VI_SUCCESS, ""));

  ASSERT_EQ(IviSession_SetError(vi, kError, "both"), VI_SUCCESS);
  ASSERT_EQ(IviSession_ClearError(VI_NULL), VI_SUCCESS);
  EXPECT_EQ(Take(VI_NULL), Stored(VI_SUCCESS, ""));
  EXPECT_EQ(Take(vi), Stored(kError, "both"));

  // After a clear a less severe code is accepted again.
  ASSERT_EQ(IviSession_SetError(vi, kError, "error"), VI_SUCCESS);
  ASSERT_EQ(IviSession_ClearError(vi), VI_SUCCESS);
  ASSERT_EQ(IviSession_SetError(vi, kWarning, "warning"), VI_SUCCESS);
  EXPECT_EQ(Take(vi), Stored(kWarning, "warning"));
}

TEST_F(ErrorStore, DescriptionsAreCutTo1023Characters) {
  const std::string longText(5000, 'd');
  ASSERT_EQ(IviSession_SetError(session.get(), kError, longText.c_str()), VI_SUCCESS);
  ViStatus code = 0;
  EXPECT_EQ(IviSession_GetError(session.get(), 0, &code, nullptr), 1024);
  EXPECT_EQ(Take(session.get()), Stored(kError, std::string(1023, 'd')));

  ASSERT_EQ(IviSession_SetError(session.get(), kError, nullptr), VI_SUCCESS);
  EXPECT_EQ(Take(session.get()), Stored(kError, ""));
}

}  // namespace
