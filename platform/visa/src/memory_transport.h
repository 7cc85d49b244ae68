// An in-memory transport: replies queued by the caller, bytes sent recorded. It stands in
// for an instrument in the engine's unit tests and behind scanResponse.
#ifndef HNVISA_MEMORY_TRANSPORT_H
#define HNVISA_MEMORY_TRANSPORT_H

#include <deque>
#include <functional>
#include <string>
#include <string_view>

#include "transport.h"

namespace hnvqr::visa {

class MemoryTransport final : public Transport {
 public:
  // What a receive does when nothing is queued: time out at once (no real waiting), or
  // report the peer gone.
  enum class WhenEmpty { TimeOut, ConnectionLost };

  // Each queued piece is delivered by a receive of its own, as a network might split it.
  void queueInput(std::string_view bytes) { input_.emplace_back(bytes); }
  void setWhenEmpty(WhenEmpty behaviour) { whenEmpty_ = behaviour; }
  // Called with the bytes of every send; what it returns is queued as input.
  void setResponder(std::function<std::string(std::string_view sent)> responder) { responder_ = std::move(responder); }
  const std::string& sent() const { return sent_; }
  void clearSent() { sent_.clear(); }
  int endsSent() const { return endsSent_; }

  ViStatus receive(ViByte* buffer, std::size_t capacity, std::size_t* received, const Deadline& deadline) override;
  ViStatus send(const ViByte* data, std::size_t length, std::size_t* sent, const Deadline& deadline) override;
  ViStatus sendEnd(ViByte termChar, const Deadline& deadline) override;

 private:
  std::deque<std::string> input_;
  WhenEmpty whenEmpty_ = WhenEmpty::TimeOut;
  std::function<std::string(std::string_view)> responder_;
  std::string sent_;
  int endsSent_ = 0;
};

}  // namespace hnvqr::visa

#endif
