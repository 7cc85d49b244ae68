// The IEEE 488.2 device functions of a session: status byte, device clear, trigger.
#include <string_view>

#include "session.h"

namespace hnvqr::visa {
namespace {

// "*STB?" is answered with at most three digits and a terminator; a longer line is not
// a status byte.
constexpr std::size_t kMaxStatusReply = 16;

}  // namespace

ViStatus Session::sendCommand(std::string_view command) {
  const auto* bytes = reinterpret_cast<const ViByte*>(command.data());
  std::size_t sent = 0;
  const Deadline deadline = ioDeadline();
  const ViStatus status = transport_->send(bytes, command.size(), &sent, deadline);
  noteWritten(bytes, sent);
  if (status < VI_SUCCESS) return status;
  return sendEndEnabled_ ? transport_->sendEnd(termChar_, deadline) : status;
}

ViStatus Session::readStatusByte(ViUInt16& statusByte) {
  const ExchangeScope exchange(*this);
  ViStatus status = transport_->readStatusByte(statusByte, ioDeadline());
  if (status != VI_ERROR_NSUP_OPER || !speaksCommands()) return status;
  // The answer must be the one to our *STB?: replies owed to earlier queries go first, as
  // before a formatted query.
  if (repliesAreFramed()) {
    if (unreadReplies_ > 0 && (status = discardOwedReplies(unreadReplies_, ioDeadline())) < VI_SUCCESS) return status;
  } else {
    discardArrivedInput();
  }
  dropBufferedInput();
  if ((status = sendCommand("*STB?\n")) < VI_SUCCESS) return status;
  // The reply is one line, whatever the session's termination settings say.
  unsigned value = 0;
  std::size_t digits = 0;
  for (std::size_t taken = 0;; ++taken) {
    ViByte byte = 0;
    if ((status = peek(byte)) < VI_SUCCESS) {
      noteReadFailed(status);
      return status;
    }
    consume();
    if (byte == '\n') break;
    if (taken >= kMaxStatusReply) return VI_ERROR_IO;
    if (byte >= '0' && byte <= '9') {
      value = value * 10 + (byte - '0');
      ++digits;
    } else if (byte != '+' && byte != '\r' && byte != ' ') {
      return VI_ERROR_IO;
    }
  }
  midReply_ = false;
  if (digits == 0 || value > 255) return VI_ERROR_IO;
  statusByte = static_cast<ViUInt16>(value);
  return VI_SUCCESS;
}

ViStatus Session::clear() {
  const ExchangeScope exchange(*this);
  ViStatus status = transport_->clearDevice(ioDeadline());
  if (status == VI_ERROR_NSUP_OPER) status = VI_SUCCESS;  // nothing to send: the buffers are the clear
  writeBuffer_.clear();
  writeMark_ = 0;
  readPosition_ = readLength_ = 0;
  if (status != VI_ERROR_CONN_LOST) discardArrivedInput();
  unreadReplies_ = abandonedReplies_ = 0;
  writtenQueryPending_ = writtenInQuotes_ = midReply_ = false;
  return status;
}

ViStatus Session::assertTrigger() {
  const ExchangeScope exchange(*this);
  const ViStatus status = transport_->triggerDevice(ioDeadline());
  if (status != VI_ERROR_NSUP_OPER || !speaksCommands()) return status;
  return sendCommand("*TRG\n");
}

}  // namespace hnvqr::visa
