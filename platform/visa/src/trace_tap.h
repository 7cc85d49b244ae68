// What a traced session sees of its own I/O: a transport in front of the real one that, while
// an operation is being traced, keeps the bytes that went out and came in.
#ifndef HNVISA_TRACE_TAP_H
#define HNVISA_TRACE_TAP_H

#include <memory>
#include <string>

#include "transport.h"

namespace hnvqr::visa {

// The bytes of one traced operation. `early` counts the received bytes that came before the
// first byte was sent (late replies to earlier queries, drained first): a replay delivers
// them at the same point.
struct TraceCapture {
  bool active = false;
  std::string sent;
  std::string received;
  std::size_t early = 0;

  void begin() {
    active = true;
    sent.clear();
    received.clear();
    early = 0;
  }
};

class TappedTransport final : public Transport {
 public:
  TappedTransport(std::unique_ptr<Transport> inner, TraceCapture& capture)
      : inner_(std::move(inner)), capture_(capture) {}

  ViStatus receive(ViByte* buffer, std::size_t capacity, std::size_t* received, const Deadline& deadline) override {
    const ViStatus status = inner_->receive(buffer, capacity, received, deadline);
    if (capture_.active && *received > 0) {
      capture_.received.append(reinterpret_cast<const char*>(buffer), *received);
      if (capture_.sent.empty()) capture_.early = capture_.received.size();
    }
    return status;
  }
  ViStatus send(const ViByte* data, std::size_t length, std::size_t* sent, const Deadline& deadline) override {
    const ViStatus status = inner_->send(data, length, sent, deadline);
    if (capture_.active) capture_.sent.append(reinterpret_cast<const char*>(data), *sent);
    return status;
  }
  ViStatus sendEnd(ViByte termChar, const Deadline& deadline) override { return inner_->sendEnd(termChar, deadline); }
  bool termCharIsEnd() const override { return inner_->termCharIsEnd(); }
  void interrupt() override { inner_->interrupt(); }
  ViStatus readStatusByte(ViUInt16& statusByte, const Deadline& deadline) override {
    return inner_->readStatusByte(statusByte, deadline);
  }
  ViStatus clearDevice(const Deadline& deadline) override { return inner_->clearDevice(deadline); }
  ViStatus triggerDevice(const Deadline& deadline) override { return inner_->triggerDevice(deadline); }
  ViStatus getAttribute(ViAttr attribute, AttributeValue& value) const override {
    return inner_->getAttribute(attribute, value);
  }
  ViStatus setAttribute(ViAttr attribute, ViAttrState value) override { return inner_->setAttribute(attribute, value); }
  bool describeFailure(ViStatus status, std::string& text) const override {
    return inner_->describeFailure(status, text);
  }

 private:
  std::unique_ptr<Transport> inner_;
  TraceCapture& capture_;
};

}  // namespace hnvqr::visa

#endif
