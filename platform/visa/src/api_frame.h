// The frame every exported vi* function runs in: no C++ exception leaves it, the object
// is looked up and kept alive for the call, and the session's I/O lock is held.
#ifndef HNVISA_API_FRAME_H
#define HNVISA_API_FRAME_H

#include <cstring>
#include <memory>
#include <mutex>
#include <new>
#include <string_view>

#include "lock_table.h"
#include "session_table.h"
#include "visa.h"

namespace hnvqr::visa {

template <typename Body>
ViStatus guarded(Body&& body) noexcept {
  try {
    return body();
  } catch (const std::bad_alloc&) {
    return VI_ERROR_ALLOC;
  } catch (...) {
    return VI_ERROR_SYSTEM_ERROR;
  }
}

// Runs `body(session)` under the session's I/O lock. The resource manager has no I/O and
// no attributes of its own: `onManager` is what it answers.
template <typename Body>
ViStatus withInstrument(ViSession handle, Body&& body, ViStatus onManager = VI_ERROR_NSUP_OPER) noexcept {
  return guarded([&]() -> ViStatus {
    const std::shared_ptr<Session> session = SessionTable::instance().findInstrument(handle);
    if (!session) return SessionTable::instance().isResourceManager(handle) ? onManager : VI_ERROR_INV_OBJECT;
    const std::lock_guard lock(session->ioMutex());
    return body(*session);
  });
}

// As withInstrument, for the operations that reach the instrument: refused with
// VI_ERROR_RSRC_LOCKED while another session holds the resource's lock.
template <typename Body>
ViStatus withAccessibleInstrument(ViSession handle, Body&& body) noexcept {
  return withInstrument(handle, [&](Session& session) -> ViStatus {
    if (!LockTable::instance().mayAccess(session.identity().resourceName, handle)) return VI_ERROR_RSRC_LOCKED;
    return body(session);
  });
}

// As withAccessibleInstrument, recorded in the session's trace as one `operation`.
template <typename Body>
ViStatus withTracedInstrument(ViSession handle, const char* operation, Body&& body) noexcept {
  return withAccessibleInstrument(
      handle, [&](Session& session) { return session.traced(operation, [&] { return body(session); }); });
}

// Copies `text` into a caller's VISA string buffer (VI_FIND_BUFLEN characters with the
// terminating NUL), cutting it to fit.
inline void copyToVisaString(std::string_view text, ViChar* destination) {
  const std::size_t length = std::min<std::size_t>(text.size(), VI_FIND_BUFLEN - 1);
  std::memcpy(destination, text.data(), length);
  destination[length] = '\0';
}

}  // namespace hnvqr::visa

#endif
