#include "memory_transport.h"

#include <algorithm>
#include <cstring>

namespace hnvqr::visa {

ViStatus MemoryTransport::receive(ViByte* buffer, std::size_t capacity, std::size_t* received,
                                  const Deadline& /*deadline*/) {
  *received = 0;
  while (!input_.empty() && input_.front().empty()) input_.pop_front();
  if (input_.empty()) return whenEmpty_ == WhenEmpty::TimeOut ? VI_ERROR_TMO : VI_ERROR_CONN_LOST;
  std::string& front = input_.front();
  const std::size_t n = std::min(capacity, front.size());
  std::memcpy(buffer, front.data(), n);
  front.erase(0, n);
  *received = n;
  return VI_SUCCESS;
}

ViStatus MemoryTransport::send(const ViByte* data, std::size_t length, std::size_t* sent,
                               const Deadline& /*deadline*/) {
  const std::string_view bytes(reinterpret_cast<const char*>(data), length);
  sent_.append(bytes);
  *sent = length;
  if (responder_) {
    std::string reply = responder_(bytes);
    if (!reply.empty()) input_.push_back(std::move(reply));
  }
  return VI_SUCCESS;
}

ViStatus MemoryTransport::sendEnd(ViByte /*termChar*/, const Deadline& /*deadline*/) {
  ++endsSent_;
  return VI_SUCCESS;
}

}  // namespace hnvqr::visa
