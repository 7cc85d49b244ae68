// A byte pipe to one instrument. The session above it owns buffering, termination and
// time-outs; a transport only moves bytes and keeps its interface's own attributes.
#ifndef HNVISA_TRANSPORT_H
#define HNVISA_TRANSPORT_H

#include <cstddef>
#include <string>
#include <vector>

#include "attributes.h"
#include "deadline.h"
#include "visa.h"

namespace hnvqr::visa {

// The time a network open may take when the caller gives none (ms).
inline constexpr ViUInt32 kDefaultOpenTimeoutMs = 2000;

class Transport {
 public:
  virtual ~Transport() = default;
  Transport() = default;
  Transport(const Transport&) = delete;
  Transport& operator=(const Transport&) = delete;

  // Waits until the deadline for at least one byte and returns what is there, at most
  // `capacity` bytes, in *received. VI_ERROR_TMO when nothing came in time,
  // VI_ERROR_CONN_LOST when the peer has gone.
  virtual ViStatus receive(ViByte* buffer, std::size_t capacity, std::size_t* received, const Deadline& deadline) = 0;
  // Sends all `length` bytes or fails; *sent counts the bytes that left.
  virtual ViStatus send(const ViByte* data, std::size_t length, std::size_t* sent, const Deadline& deadline) = 0;
  // Marks the end of a message on the wire, where the interface has such a thing.
  virtual ViStatus sendEnd(ViByte /*termChar*/, const Deadline& /*deadline*/) { return VI_SUCCESS; }
  // True when the interface delivers END with the termination character (serial END_IN).
  virtual bool termCharIsEnd() const { return false; }
  // Wakes any thread blocked in receive or send; the descriptor stays valid until the
  // transport is destroyed, so it cannot be reused under a running call.
  virtual void interrupt() {}

  // The IEEE 488.2 device functions where the interface carries them itself (VXI-11,
  // USB-TMC). VI_ERROR_NSUP_OPER where it has no such thing: the session then speaks them
  // as commands (*STB?, *TRG) or, for a clear, only empties its own buffers.
  virtual ViStatus readStatusByte(ViUInt16& /*statusByte*/, const Deadline& /*deadline*/) { return VI_ERROR_NSUP_OPER; }
  virtual ViStatus clearDevice(const Deadline& /*deadline*/) { return VI_ERROR_NSUP_OPER; }
  virtual ViStatus triggerDevice(const Deadline& /*deadline*/) { return VI_ERROR_NSUP_OPER; }

  // The interface's attributes; VI_ERROR_NSUP_ATTR for those it does not have.
  virtual ViStatus getAttribute(ViAttr /*attribute*/, AttributeValue& /*value*/) const { return VI_ERROR_NSUP_ATTR; }
  virtual ViStatus setAttribute(ViAttr /*attribute*/, ViAttrState /*value*/) { return VI_ERROR_NSUP_ATTR; }

  // A description of the last failure with `status` where the transport has more to say
  // than the status's own text (a replay names what differed); false otherwise.
  virtual bool describeFailure(ViStatus /*status*/, std::string& /*text*/) const { return false; }
};

// For the interfaces that carry END with the last bytes of a message (VXI-11, USB-TMC):
// appends `data` to `held`, and each time `held` has a whole piece of `pieceSize` bytes
// hands it to `sendHeld` (which sends and empties it), so that what is left can still go
// with END. *sent counts the bytes taken, sent or held.
template <typename SendHeld>
ViStatus holdInPieces(std::vector<ViByte>& held, std::size_t pieceSize, const ViByte* data, std::size_t length,
                      std::size_t* sent, SendHeld&& sendHeld) {
  std::size_t offset = 0;
  while (held.size() + (length - offset) > pieceSize) {
    const std::size_t take = pieceSize - held.size();
    held.insert(held.end(), data + offset, data + offset + take);
    offset += take;
    if (const ViStatus status = sendHeld(); status < VI_SUCCESS) return status;
    *sent = offset;
  }
  held.insert(held.end(), data + offset, data + length);
  *sent = length;
  return VI_SUCCESS;
}

}  // namespace hnvqr::visa

#endif
