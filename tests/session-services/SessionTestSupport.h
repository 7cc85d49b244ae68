// A session handle that is disposed when the test leaves its scope.
#ifndef HNVQR_TESTS_SESSION_TEST_SUPPORT_H
#define HNVQR_TESTS_SESSION_TEST_SUPPORT_H

#include <gtest/gtest.h>

#include "IviSessionServices.h"

class ScopedSession {
 public:
  ScopedSession() { EXPECT_EQ(IviSession_New(&handle_), VI_SUCCESS); }
  ~ScopedSession() {
    if (handle_ != VI_NULL) {
      IviSession_Dispose(handle_);
    }
  }
  ScopedSession(const ScopedSession&) = delete;
  ScopedSession& operator=(const ScopedSession&) = delete;

  ViSession get() const { return handle_; }
  // For tests that dispose the handle themselves.
  ViSession release() {
    const ViSession handle = handle_;
    handle_ = VI_NULL;
    return handle;
  }

 private:
  ViSession handle_ = VI_NULL;
};

#endif
