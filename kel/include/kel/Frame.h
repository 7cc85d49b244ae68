// The call frame of every exported function and attribute callback: find the session object
// behind the handle, hold the session lock for the body, release exactly the lock taken
// (also when the body throws), and never let an exception cross the C boundary.
#pragma once

#include <cstdint>
#include <exception>
#include <new>
#include <utility>

#include <visatype.h>

#include "kel/Errors.h"

namespace kel {

class DriverSession;

// The session object behind a handle, or nullptr. Only the call frame (and the session's
// own opening and closing) turns a handle into its object: code inside a frame is handed
// the object.
DriverSession* FindSession(ViSession vi);

// The FindSession calls this thread has made, in builds that count them (the CMake option
// HNVQR_COUNT_SESSION_LOOKUPS); -1 in builds that do not, where counting would cost the hot
// path for nothing.
std::int64_t SessionLookupsOnThisThread();

// Looks the session up and locks it; unlocks on destruction when the lock was taken.
class SessionFrame {
 public:
  explicit SessionFrame(ViSession vi);
  ~SessionFrame();
  SessionFrame(const SessionFrame&) = delete;
  SessionFrame& operator=(const SessionFrame&) = delete;

  // 0 when the session is found and locked; otherwise 0xBFFA1190 or the lock's status.
  ViStatus status() const { return status_; }
  DriverSession& session() const { return *session_; }

 private:
  ViSession vi_;
  DriverSession* session_ = nullptr;
  ViStatus status_;
  bool locked_ = false;
  bool entered_ = false;
};

// Turns an exception that reached the boundary into a recorded error status.
ViStatus ReportExceptionAtBoundary(ViSession vi, std::exception_ptr error) noexcept;

// The outermost guard of a frameless export: runs `body`, catching every exception.
template <class Body>
ViStatus Guarded(ViSession vi, Body&& body) noexcept {
  try {
    return std::forward<Body>(body)();
  } catch (...) {
    return ReportExceptionAtBoundary(vi, std::current_exception());
  }
}

// The full frame: lookup, lock, body(session), unlock. A body that throws releases the lock
// (the frame object unwinds) and yields a recorded error status.
template <class Body>
ViStatus WithSession(ViSession vi, Body&& body) noexcept {
  try {
    SessionFrame frame(vi);
    if (frame.status() < 0) return frame.status();
    return std::forward<Body>(body)(frame.session());
  } catch (...) {
    return ReportExceptionAtBoundary(vi, std::current_exception());
  }
}

// The frame of a function with two output parameters: inside the frame, before the body,
// the null-pointer check that records 0xBFFA0058 naming the first of `parameterNames` unset.
template <class Body>
ViStatus WithSessionAndOutputs(ViSession vi, std::string_view functionName, std::string_view parameterNames,
                               const void* first, const void* second, Body&& body) noexcept {
  return WithSession(vi, [&](DriverSession& session) {
    const ViStatus checked = CheckNullPointers(vi, functionName, parameterNames, first, second);
    return checked < 0 ? checked : std::forward<Body>(body)(session);
  });
}

}  // namespace kel
