#include "scan_response.h"

#include <memory>
#include <string_view>

#include "memory_transport.h"
#include "session.h"

namespace hnvqr::visa {

ViStatus scanResponseV(const ViByte* response, std::size_t length, const char* format, va_list arguments) {
  if (response == nullptr && length > 0) return VI_ERROR_USER_BUF;
  try {
    auto transport = std::make_unique<MemoryTransport>();
    if (length > 0) transport->queueInput(std::string_view(reinterpret_cast<const char*>(response), length));
    Session session(std::move(transport), SessionIdentity{"MEMORY::INSTR", "INSTR", VI_INTF_TCPIP, 0});
    const std::lock_guard lock(session.ioMutex());
    session.setAttribute(VI_ATTR_TERMCHAR, '\n');
    session.setAttribute(VI_ATTR_TERMCHAR_EN, VI_TRUE);
    ArgList list(arguments);
    return session.scanf(format, list);
  } catch (const std::bad_alloc&) {
    return VI_ERROR_ALLOC;
  } catch (...) {
    return VI_ERROR_SYSTEM_ERROR;
  }
}

ViStatus scanResponse(const ViByte* response, std::size_t length, const char* format, ...) {
  va_list arguments;
  va_start(arguments, format);
  const ViStatus status = scanResponseV(response, length, format, arguments);
  va_end(arguments);
  return status;
}

}  // namespace hnvqr::visa
