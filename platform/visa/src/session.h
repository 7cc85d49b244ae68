// One open instrument session: a transport with the VISA semantics on top of it (read
// framing, END, time-outs, the formatted-I/O buffers and the session's attributes).
#ifndef HNVISA_SESSION_H
#define HNVISA_SESSION_H

#include <array>
#include <initializer_list>
#include <cstdint>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "attributes.h"
#include "deadline.h"
#include "formatted_io.h"
#include "hnvisa_trace.h"
#include "resource_name.h"
#include "trace_tap.h"
#include "trace_writer.h"
#include "transport.h"

namespace hnvqr::visa {

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

  // The IEEE 488.2 device functions (session_device.cpp): through the interface where it
  // carries them, else as *STB? and *TRG on a socket or serial line. A clear also drops
  // everything buffered both ways and every reply still owed.
  ViStatus readStatusByte(ViUInt16& statusByte);
  ViStatus clear();
  ViStatus assertTrigger();

  const SessionIdentity& identity() const { return identity_; }

  ViStatus getAttribute(ViAttr attribute, AttributeValue& value) const;
  ViStatus setAttribute(ViAttr attribute, ViAttrState value);

  // Wakes a call blocked on this session's transport; safe without the I/O lock.
  void interrupt() { transport_->interrupt(); }

  // The I/O trace (session_trace.cpp). The handle and the open are noted once the session is
  // in the table; the open is recorded into the session's trace then, and again into each
  // trace it is later given (HNVISA_ATTR_TRACE).
  void noteOpened(ViSession handle, std::int64_t started, std::int64_t ended);
  ViStatus attachTrace(HnvisaTrace trace);
  std::shared_ptr<hnvqr::trace::TraceWriter> traceWriter() const;
  // Runs `body` and, when the session is traced, records it as one `operation` with the
  // bytes it sent and received. Expects the I/O lock held.
  template <typename Body>
  ViStatus traced(const char* operation, Body&& body) {
    const std::shared_ptr<hnvqr::trace::TraceWriter> writer = traceWriter();
    if (!writer) return body();
    const std::int64_t started = traceClock();
    capture_.begin();
    const ViStatus status = body();
    capture_.active = false;
    recordOperation(*writer, operation, started, status, {});
    return status;
  }
  void recordAttribute(std::int64_t started, ViAttr attribute, ViAttrState value, ViStatus status);
  void recordClose(std::int64_t started, ViStatus status);
  static std::int64_t traceClock();
  // A description of the last failure with `status`, where the transport keeps one.
  bool describeFailure(ViStatus status, std::string& text) const { return transport_->describeFailure(status, text); }

 private:
  // One deadline for a whole exchange: the outermost operation sets it, the nested ones
  // (the read half of a query) share it.
  class ExchangeScope {
   public:
    explicit ExchangeScope(Session& session) : session_(session), outermost_(!session.exchangeDeadline_) {
      if (outermost_) session_.exchangeDeadline_ = Deadline::afterMilliseconds(session_.timeoutMs_);
    }
    ~ExchangeScope() {
      if (outermost_) session_.exchangeDeadline_.reset();
    }
    ExchangeScope(const ExchangeScope&) = delete;
    ExchangeScope& operator=(const ExchangeScope&) = delete;

   private:
    Session& session_;
    const bool outermost_;
  };

  // Sends a 488.2 command where the interface has no message of its own for it.
  ViStatus sendCommand(std::string_view command);
  bool speaksCommands() const {
    return identity_.interfaceType == VI_INTF_TCPIP || identity_.interfaceType == VI_INTF_ASRL;
  }

  // InputSource, for the formatted-input engine.
  ViStatus peek(ViByte& byte) override;
  void consume() override;
  bool endsReply(ViByte byte) const override;
  ViStatus discardRestOfReply() override;
  // OutputSink, for the formatted-output engine.
  ViStatus put(std::string_view bytes) override;
  ViStatus endLine() override;

  Deadline ioDeadline() const {
    return exchangeDeadline_ ? *exchangeDeadline_ : Deadline::afterMilliseconds(timeoutMs_);
  }
  // Appends whatever the transport has (waiting until the deadline) to the read buffer.
  ViStatus receiveMore(const Deadline& deadline);
  // Formats into the write buffer; a failure drops what this call added and did not send.
  ViStatus formatInto(const char* format, ArgList& arguments);
  // Sends the formatted-output buffer; with `end`, marks END after it.
  ViStatus sendWriteBuffer(bool end);
  // Before a new query: drops the replies still owed to earlier ones (waiting for them
  // within the deadline), then whatever else is buffered.
  ViStatus discardOwedReplies(std::uint32_t owed, const Deadline& deadline);
  // Where replies cannot be counted: drops what the transport already holds.
  void discardArrivedInput();
  // Drops input through the next END, receiving until the deadline; *received tells
  // whether any byte arrived.
  ViStatus skipThroughEnd(const Deadline& deadline, bool* received);
  // Reply bookkeeping: a written message holding a query ('?' outside quotes) is owed a
  // reply; an END read settles the oldest; a read that fails abandons those still owed.
  void noteWritten(const ViByte* data, std::size_t length);
  void noteReplyEnded();
  void noteReadFailed(ViStatus status);
  // Replies can only be counted where their END can be seen.
  bool repliesAreFramed() const { return termCharEnabled_ || (transport_->termCharIsEnd() && !suppressEndEnabled_); }
  std::size_t bufferedInput() const { return readLength_ - readPosition_; }
  // Drops what is buffered of the input.
  void dropBufferedInput();
  bool isEndByte(ViByte byte) const;
  bool isTermChar(ViByte byte) const { return termCharEnabled_ && byte == termChar_; }

  void recordOperation(hnvqr::trace::TraceWriter& writer, const char* operation, std::int64_t started, ViStatus status,
                       std::initializer_list<HnvisaTraceField> extra);
  void recordOpen(hnvqr::trace::TraceWriter& writer) const;

  std::mutex ioMutex_;
  TraceCapture capture_;  // filled by the tapped transport while an operation is traced
  std::unique_ptr<Transport> transport_;
  const SessionIdentity identity_;

  static constexpr std::size_t kReceiveChunk = 4096;
  std::array<ViByte, kReceiveChunk> readBuffer_;  // received; not yet consumed from readPosition_
  std::size_t readPosition_ = 0;
  std::size_t readLength_ = 0;
  std::string writeBuffer_;                   // formatted output not yet sent
  std::size_t writeMark_ = 0;                 // its size when the current formatted call began
  std::optional<Deadline> exchangeDeadline_;  // set while an operation runs
  std::uint32_t unreadReplies_ = 0;           // replies owed to queries written and not yet read
  std::uint32_t abandonedReplies_ = 0;        // of those, the ones a failed read gave up on
  bool writtenQueryPending_ = false;          // the message being written so far holds a query
  bool writtenInQuotes_ = false;              // ... and ends inside a quoted string
  bool midReply_ = false;                     // bytes of a reply were taken since the last END

  // Guards the four members below: the trace writer is read without the I/O lock at close.
  mutable std::mutex traceMutex_;
  std::shared_ptr<hnvqr::trace::TraceWriter> traceWriter_;
  ViSession handle_ = VI_NULL;
  std::int64_t openStarted_ = 0, openEnded_ = 0;

  ViUInt32 timeoutMs_ = 2000;
  ViUInt8 termChar_ = '\n';
  bool termCharEnabled_ = false;
  bool sendEndEnabled_ = true;
  bool suppressEndEnabled_;
  ViUInt16 readBufferMode_ = VI_FLUSH_DISABLE;
  ViUInt16 writeBufferMode_ = VI_FLUSH_WHEN_FULL;
};

}  // namespace hnvqr::visa

#endif
