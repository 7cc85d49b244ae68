#include <set>

#include <gtest/gtest.h>

#include "IviSessionServices.h"
#include "SessionTestSupport.h"

namespace {

TEST(SessionHandles, AreFreshNonZeroAndNeverReusedAcrossCycles) {
  const ViInt32 liveBefore = IviSession_GetLiveSessionCount();
  std::set<ViSession> seen;
  for (int cycle = 0; cycle < 5000; ++cycle) {
    ViSession a = VI_NULL;
    ViSession b = VI_NULL;
    ASSERT_EQ(IviSession_New(&a), VI_SUCCESS);
    ASSERT_EQ(IviSession_New(&b), VI_SUCCESS);
    ASSERT_NE(a, VI_NULL);
    ASSERT_TRUE(seen.insert(a).second) << "handle " << a << " handed out twice";
    ASSERT_TRUE(seen.insert(b).second) << "handle " << b << " handed out twice";
    ASSERT_EQ(IviSession_GetLiveSessionCount(), liveBefore + 2);
    ASSERT_EQ(IviSession_Dispose(a), VI_SUCCESS);
    ASSERT_EQ(IviSession_Dispose(b), VI_SUCCESS);
  }
  EXPECT_EQ(IviSession_GetLiveSessionCount(), liveBefore);
}

TEST(SessionHandles, NewRejectsNullOutput) {
  const ViInt32 liveBefore = IviSession_GetLiveSessionCount();
  EXPECT_EQ(IviSession_New(nullptr), IVI_SESSION_ERROR_NULL_POINTER);
  EXPECT_EQ(IviSession_GetLiveSessionCount(), liveBefore);
}

TEST(SessionHandles, DataPointerRoundTripsAndDiesWithTheHandle) {
  ScopedSession session;
  int object = 0;
  void* found = &found;
  ASSERT_EQ(IviSession_GetDataPtr(session.get(), &found), VI_SUCCESS);
  EXPECT_EQ(found, nullptr);
  ASSERT_EQ(IviSession_SetDataPtr(session.get(), &object), VI_SUCCESS);
  ASSERT_EQ(IviSession_GetDataPtr(session.get(), &found), VI_SUCCESS);
  EXPECT_EQ(found, &object);
  EXPECT_EQ(IviSession_GetDataPtr(session.get(), nullptr), IVI_SESSION_ERROR_NULL_POINTER);

  const ViSession stale = session.release();
  ASSERT_EQ(IviSession_Dispose(stale), VI_SUCCESS);
  found = &found;
  EXPECT_EQ(IviSession_GetDataPtr(stale, &found), IVI_SESSION_ERROR_INVALID_SESSION_HANDLE);
  EXPECT_EQ(found, nullptr);
  EXPECT_EQ(IviSession_Dispose(stale), IVI_SESSION_ERROR_INVALID_SESSION_HANDLE);
}

TEST(SessionHandles, InvalidHandlesAreRejectedEverywhere) {
  ScopedSession disposedSession;
  const ViSession disposed = disposedSession.release();
  ASSERT_EQ(IviSession_Dispose(disposed), VI_SUCCESS);
  const ViSession neverIssued = 0x7FFFFFF0;

  for (const ViSession handle : {static_cast<ViSession>(VI_NULL), disposed, neverIssued}) {
    SCOPED_TRACE(handle);
    void* found = &found;
    ViBoolean hasLock = VI_FALSE;
    EXPECT_EQ(IviSession_GetDataPtr(handle, &found), IVI_SESSION_ERROR_INVALID_SESSION_HANDLE);
    EXPECT_EQ(found, nullptr);
    EXPECT_EQ(IviSession_SetDataPtr(handle, &found), IVI_SESSION_ERROR_INVALID_SESSION_HANDLE);
    EXPECT_EQ(IviSession_Lock(handle, nullptr), IVI_SESSION_ERROR_INVALID_SESSION_HANDLE);
    EXPECT_EQ(IviSession_Lock(handle, &hasLock), IVI_SESSION_ERROR_INVALID_SESSION_HANDLE);
    EXPECT_EQ(hasLock, VI_FALSE);
    EXPECT_EQ(IviSession_Unlock(handle, nullptr), IVI_SESSION_ERROR_INVALID_SESSION_HANDLE);
    EXPECT_EQ(IviSession_Dispose(handle), IVI_SESSION_ERROR_INVALID_SESSION_HANDLE);
  }
  for (const ViSession handle : {disposed, neverIssued}) {
    ViStatus code = 1;
    ViChar text[8] = "junk";
    EXPECT_EQ(IviSession_SetError(handle, -1, "x"), IVI_SESSION_ERROR_INVALID_SESSION_HANDLE);
    EXPECT_EQ(IviSession_GetError(handle, sizeof text, &code, text), IVI_SESSION_ERROR_INVALID_SESSION_HANDLE);
    EXPECT_EQ(code, VI_SUCCESS);
    EXPECT_STREQ(text, "");
    EXPECT_EQ(IviSession_ClearError(handle), IVI_SESSION_ERROR_INVALID_SESSION_HANDLE);
  }
  IviSession_ClearError(VI_NULL);
}

TEST(SessionLock, IsRecursiveAndRejectsUnlockWithoutHolding) {
  ScopedSession session;
  EXPECT_EQ(IviSession_Unlock(session.get(), nullptr), IVI_SESSION_ERROR_LOCK_NOT_HELD);
  for (int level = 0; level < 3; ++level) {
    ASSERT_EQ(IviSession_Lock(session.get(), nullptr), VI_SUCCESS);
  }
  for (int level = 0; level < 3; ++level) {
    ASSERT_EQ(IviSession_Unlock(session.get(), nullptr), VI_SUCCESS) << "level " << level;
  }
  EXPECT_EQ(IviSession_Unlock(session.get(), nullptr), IVI_SESSION_ERROR_LOCK_NOT_HELD);
}

TEST(SessionLock, CallerHasLockTakesAndReleasesExactlyOneLevel) {
  ScopedSession session;
  ViBoolean hasLock = VI_FALSE;
  ASSERT_EQ(IviSession_Lock(session.get(), &hasLock), VI_SUCCESS);
  EXPECT_EQ(hasLock, VI_TRUE);
  // Already true: no second level is taken.
  ASSERT_EQ(IviSession_Lock(session.get(), &hasLock), VI_SUCCESS);
  EXPECT_EQ(hasLock, VI_TRUE);

  ViBoolean notHeld = VI_FALSE;
  EXPECT_EQ(IviSession_Unlock(session.get(), &notHeld), VI_SUCCESS);  // false: nothing
  EXPECT_EQ(notHeld, VI_FALSE);

  ASSERT_EQ(IviSession_Unlock(session.get(), &hasLock), VI_SUCCESS);
  EXPECT_EQ(hasLock, VI_FALSE);
  // The one level is gone: the lock is no longer held.
  EXPECT_EQ(IviSession_Unlock(session.get(), nullptr), IVI_SESSION_ERROR_LOCK_NOT_HELD);

  // A flag claiming the lock while it is not held gets an error and stays as it was.
  ViBoolean wrongFlag = VI_TRUE;
  EXPECT_EQ(IviSession_Unlock(session.get(), &wrongFlag), IVI_SESSION_ERROR_LOCK_NOT_HELD);
  EXPECT_EQ(wrongFlag, VI_TRUE);
}

TEST(SessionLock, CallerHasLockNestsWithPlainLevels) {
  ScopedSession session;
  ViBoolean hasLock = VI_FALSE;
  ASSERT_EQ(IviSession_Lock(session.get(), &hasLock), VI_SUCCESS);
  ASSERT_EQ(IviSession_Lock(session.get(), nullptr), VI_SUCCESS);
  ASSERT_EQ(IviSession_Unlock(session.get(), nullptr), VI_SUCCESS);
  ASSERT_EQ(IviSession_Unlock(session.get(), &hasLock), VI_SUCCESS);
  EXPECT_EQ(IviSession_Unlock(session.get(), nullptr), IVI_SESSION_ERROR_LOCK_NOT_HELD);
}

TEST(SessionLock, DisposeWhileHoldingTheLock) {
  const ViInt32 liveBefore = IviSession_GetLiveSessionCount();
  ScopedSession session;
  const ViSession handle = session.release();
  ASSERT_EQ(IviSession_Lock(handle, nullptr), VI_SUCCESS);
  ASSERT_EQ(IviSession_Lock(handle, nullptr), VI_SUCCESS);
  ASSERT_EQ(IviSession_Dispose(handle), VI_SUCCESS);
  EXPECT_EQ(IviSession_Unlock(handle, nullptr), IVI_SESSION_ERROR_INVALID_SESSION_HANDLE);
  EXPECT_EQ(IviSession_Lock(handle, nullptr), IVI_SESSION_ERROR_INVALID_SESSION_HANDLE);
  EXPECT_EQ(IviSession_GetLiveSessionCount(), liveBefore);
}

}  // namespace
