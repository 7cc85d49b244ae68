// A session over the in-memory transport, with variadic helpers for the formatted calls.
#ifndef HNVISA_TEST_MEMORY_SESSION_H
#define HNVISA_TEST_MEMORY_SESSION_H

#include <cstdarg>
#include <memory>
#include <mutex>

#include "memory_transport.h"
#include "session.h"

namespace hnvqr::visa::test {

struct MemorySession {
  MemorySession() {
    auto owned = std::make_unique<MemoryTransport>();
    transport = owned.get();
    session = std::make_unique<Session>(std::move(owned),
                                        SessionIdentity{"TCPIP0::mem::1::SOCKET", "SOCKET", VI_INTF_TCPIP, 0});
    // As the driver configures its I/O session.
    set(VI_ATTR_TERMCHAR, '\n');
    set(VI_ATTR_TERMCHAR_EN, VI_TRUE);
  }
  ViStatus set(ViAttr attribute, ViAttrState value) {
    const std::lock_guard lock(session->ioMutex());
    return session->setAttribute(attribute, value);
  }
  ViStatus read(ViByte* buffer, ViUInt32 count, ViUInt32* returned) {
    const std::lock_guard lock(session->ioMutex());
    return session->read(buffer, count, returned);
  }
  ViStatus scanf(const char* format, ...) {
    va_list args;
    va_start(args, format);
    ArgList list(args);
    va_end(args);
    const std::lock_guard lock(session->ioMutex());
    return session->scanf(format, list);
  }
  ViStatus printf(const char* format, ...) {
    va_list args;
    va_start(args, format);
    ArgList list(args);
    va_end(args);
    const std::lock_guard lock(session->ioMutex());
    return session->printf(format, list);
  }
  ViStatus queryf(const char* writeFormat, const char* readFormat, ...) {
    va_list args;
    va_start(args, readFormat);
    ArgList list(args);
    va_end(args);
    const std::lock_guard lock(session->ioMutex());
    return session->queryf(writeFormat, readFormat, list);
  }
  ViStatus flush(ViUInt16 mask) {
    const std::lock_guard lock(session->ioMutex());
    return session->flush(mask);
  }

  MemoryTransport* transport = nullptr;
  std::unique_ptr<Session> session;
};

}  // namespace hnvqr::visa::test

#endif
