// One open instrument session: a transport with the VISA semantics on top of it (read
// framing, END, time-outs, the formatted-I/O buffers and the session's attributes).
#ifndef HNVISA_SESSION_H
#define HNVISA_SESSION_H

#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "attributes.h"
#include "deadline.h"
#include "formatted_io.h"
#include "resource_name.h"
#include "transport.h"

namespace hnvisa {

struct SessionIdentity {
  std::string resourceName;   // VI_ATTR_RSRC_NAME
  std::string resourceClass;  // VI_ATTR_RSRC_CLASS
  ViUInt16 interfaceType = VI_INTF_TCPIP;
  ViUInt16 interfaceNumber = 0;
};

class Session final : private InputSource, private OutputSink {
 public:
  Session(std::unique_ptr<Transport> transport, SessionIdentity identity);
  ~Session() override;
  Session(const Session&) = delete;
  Session& operator=(const Session&) = delete;

  // Serialises the I/O of this session; every operation below expects it held. It guards
  // the buffers, the attributes and the transport of this session and nothing else.
  std::mutex& ioMutex() { return ioMutex_; }

  ViStatus read(ViByte* buffer, ViUInt32 count, ViUInt32* returnCount);
  ViStatus write(const ViByte* data, ViUInt32 count, ViUInt32* returnCount);
  ViStatus flush(ViUInt16 mask);
  ViStatus printf(const char* format, ArgList& arguments);
  ViStatus scanf(const char* format, ArgList& arguments);
  ViStatus queryf(const char* writeFormat, const char* readFormat, ArgList& arguments);

  ViStatus getAttribute(ViAttr attribute, AttributeValue& value) const;
  ViStatus setAttribute(ViAttr attribute, ViAttrState value);

  // Wakes a call blocked on this session's transport; safe without the I/O lock.
  void interrupt() { transport_->interrupt(); }

 private:
  // InputSource, for the formatted-input engine.
  ViStatus peek(ViByte& byte) override;
  void consume() override;
  bool endsReply(ViByte byte) const override;
  void discardRestOfReply() override;
  // OutputSink, for the formatted-output engine.
  ViStatus put(std::string_view bytes) override;
  ViStatus endLine() override;

  Deadline ioDeadline() const { return Deadline::afterMilliseconds(timeoutMs_); }
  // Appends whatever the transport has (waiting until the deadline) to the read buffer.
  ViStatus receiveMore(const Deadline& deadline);
  // Sends the formatted-output buffer; with `end`, marks END after it.
  ViStatus sendWriteBuffer(bool end);
  // Drops buffered input and whatever the transport already holds: bytes of late replies.
  void discardPendingInput();
  std::size_t bufferedInput() const { return readBuffer_.size() - readPosition_; }
  bool isEndByte(ViByte byte) const;
  bool isTermChar(ViByte byte) const { return termCharEnabled_ && byte == termChar_; }

  std::mutex ioMutex_;
  std::unique_ptr<Transport> transport_;
  const SessionIdentity identity_;

  std::vector<ViByte> readBuffer_;  // received and not yet consumed from readPosition_
  std::size_t readPosition_ = 0;
  std::string writeBuffer_;         // formatted output not yet sent
  std::optional<Deadline> scanDeadline_;  // one deadline for a whole formatted read

  ViUInt32 timeoutMs_ = 2000;
  ViUInt8 termChar_ = '\n';
  bool termCharEnabled_ = false;
  bool sendEndEnabled_ = true;
  bool suppressEndEnabled_;
  ViUInt16 readBufferMode_ = VI_FLUSH_DISABLE;
  ViUInt16 writeBufferMode_ = VI_FLUSH_WHEN_FULL;
};

}  // namespace hnvisa

#endif
