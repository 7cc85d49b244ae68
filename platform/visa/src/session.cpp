#include "session.h"

#include <algorithm>
#include <array>
#include <cstdint>
#include <cstring>

namespace hnvqr::visa {
namespace {

constexpr std::size_t kWriteBufferSize = 4096;
// Bound on what one discard of late replies drains, so a peer that never stops talking
// cannot hold a query up.
constexpr int kMaxDrainReceives = 64;
// Queries written and not read that are counted; past this the count saturates.
constexpr std::uint32_t kMaxOwedReplies = 1024;

}  // namespace

Session::Session(std::unique_ptr<Transport> transport, SessionIdentity identity)
    : transport_(std::make_unique<TappedTransport>(std::move(transport), capture_)),
      identity_(std::move(identity)),
      // A socket has no END on the wire; a serial port delivers END through END_IN.
      suppressEndEnabled_(identity_.interfaceType == VI_INTF_TCPIP) {}

Session::~Session() = default;

bool Session::isEndByte(ViByte byte) const {
  if (byte != termChar_) return false;
  return termCharEnabled_ || (transport_->termCharIsEnd() && !suppressEndEnabled_);
}

ViStatus Session::receiveMore(const Deadline& deadline) {
  // The time-out bounds the whole exchange: a peer that keeps talking cannot extend it.
  if (timeoutMs_ != VI_TMO_IMMEDIATE && deadline.expired()) return VI_ERROR_TMO;
  // Input is only asked for once everything buffered has been taken, so one fixed
  // buffer holds it all: nothing a peer sends makes it grow.
  readPosition_ = readLength_ = 0;
  std::size_t received = 0;
  const ViStatus status = transport_->receive(readBuffer_.data(), readBuffer_.size(), &received, deadline);
  readLength_ = received;
  return status;
}

void Session::noteWritten(const ViByte* data, std::size_t length) {
  if (!repliesAreFramed()) return;
  for (std::size_t i = 0; i < length; ++i) {
    const ViByte byte = data[i];
    if (byte == '"') {
      writtenInQuotes_ = !writtenInQuotes_;
    } else if (byte == '?' && !writtenInQuotes_) {
      writtenQueryPending_ = true;
    } else if (byte == '\n') {
      if (writtenQueryPending_ && unreadReplies_ < kMaxOwedReplies) ++unreadReplies_;
      writtenQueryPending_ = writtenInQuotes_ = false;
    }
  }
}

void Session::noteReplyEnded() {
  midReply_ = false;
  if (unreadReplies_ > 0) --unreadReplies_;
  abandonedReplies_ = std::min(abandonedReplies_, unreadReplies_);
}

void Session::noteReadFailed(ViStatus status) {
  // A lost link owes nothing any more; a time-out or a broken reply leaves its rest (or
  // all of it) on the way.
  if (status == VI_ERROR_CONN_LOST) {
    unreadReplies_ = abandonedReplies_ = 0;
    return;
  }
  if (!repliesAreFramed()) return;
  if (unreadReplies_ == 0 && midReply_) unreadReplies_ = 1;  // the rest of a reply nobody asked for
  abandonedReplies_ = unreadReplies_;
}

ViStatus Session::read(ViByte* buffer, ViUInt32 count, ViUInt32* returnCount) {
  if (returnCount != nullptr) *returnCount = 0;
  if (buffer == nullptr && count > 0) return VI_ERROR_USER_BUF;
  const ExchangeScope exchange(*this);
  const Deadline deadline = ioDeadline();
  const bool endOnTermChar = transport_->termCharIsEnd() && !suppressEndEnabled_;
  ViUInt32 stored = 0;
  ViStatus status = VI_SUCCESS_MAX_CNT;
  for (bool done = false; !done;) {
    while (stored < count && bufferedInput() > 0) {
      const ViByte byte = readBuffer_[readPosition_++];
      buffer[stored++] = byte;
      if (endOnTermChar && byte == termChar_) {
        status = VI_SUCCESS;
        done = true;
        break;
      }
      if (isTermChar(byte)) {
        status = VI_SUCCESS_TERM_CHAR;
        done = true;
        break;
      }
    }
    if (done) {
      noteReplyEnded();
      break;
    }
    if (stored == count) {
      status = VI_SUCCESS_MAX_CNT;
      break;
    }
    status = receiveMore(deadline);
    done = status < VI_SUCCESS;
  }
  if (status < VI_SUCCESS) {
    if (stored > 0) midReply_ = true;
    noteReadFailed(status);
  } else if (status == VI_SUCCESS_MAX_CNT && stored > 0) {
    midReply_ = true;
  }
  if (returnCount != nullptr) *returnCount = stored;
  return status;
}

ViStatus Session::write(const ViByte* data, ViUInt32 count, ViUInt32* returnCount) {
  if (returnCount != nullptr) *returnCount = 0;
  if (data == nullptr && count > 0) return VI_ERROR_USER_BUF;
  const ExchangeScope exchange(*this);
  const Deadline deadline = ioDeadline();
  if (abandonedReplies_ > 0) {
    if (const ViStatus status = discardOwedReplies(abandonedReplies_, deadline); status < VI_SUCCESS) return status;
  }
  std::size_t sent = 0;
  ViStatus status = count > 0 ? transport_->send(data, count, &sent, deadline) : VI_SUCCESS;
  noteWritten(data, sent);
  if (returnCount != nullptr) *returnCount = static_cast<ViUInt32>(sent);
  if (status >= VI_SUCCESS && sendEndEnabled_) status = transport_->sendEnd(termChar_, deadline);
  return status;
}

ViStatus Session::sendWriteBuffer(bool end) {
  const Deadline deadline = ioDeadline();
  std::size_t sent = 0;
  ViStatus status = VI_SUCCESS;
  if (!writeBuffer_.empty()) {
    const auto* bytes = reinterpret_cast<const ViByte*>(writeBuffer_.data());
    status = transport_->send(bytes, writeBuffer_.size(), &sent, deadline);
    noteWritten(bytes, sent);
    writeBuffer_.clear();  // keeps its capacity for the next message
    writeMark_ = 0;
  }
  if (status >= VI_SUCCESS && end && sendEndEnabled_) status = transport_->sendEnd(termChar_, deadline);
  return status;
}

ViStatus Session::formatInto(const char* format, ArgList& arguments) {
  writeMark_ = writeBuffer_.size();
  const ViStatus status = formatOutput(*this, format, arguments);
  // A call that fails half-way leaves nothing of its own unsent behind for the next one.
  if (status < VI_SUCCESS) writeBuffer_.resize(std::min(writeMark_, writeBuffer_.size()));
  return status;
}

ViStatus Session::put(std::string_view bytes) {
  writeBuffer_.append(bytes);
  return writeBuffer_.size() >= kWriteBufferSize ? sendWriteBuffer(false) : VI_SUCCESS;
}

ViStatus Session::endLine() {
  writeBuffer_ += '\n';
  return sendWriteBuffer(true);
}

ViStatus Session::skipThroughEnd(const Deadline& deadline, bool* received) {
  for (;;) {
    // Only the termination character can be an END byte.
    const ViByte* begin = readBuffer_.data() + readPosition_;
    const void* end = isEndByte(termChar_) ? std::memchr(begin, termChar_, readLength_ - readPosition_) : nullptr;
    if (end != nullptr) {
      readPosition_ = static_cast<std::size_t>(static_cast<const ViByte*>(end) - readBuffer_.data()) + 1;
      noteReplyEnded();
      return VI_SUCCESS;
    }
    readPosition_ = readLength_;
    const ViStatus status = receiveMore(deadline);
    if (status < VI_SUCCESS) return status;
    if (received != nullptr) *received = true;
  }
}

ViStatus Session::discardOwedReplies(std::uint32_t owed, const Deadline& deadline) {
  bool received = false;
  for (const std::uint32_t settled = unreadReplies_ - owed; unreadReplies_ > settled;) {
    const ViStatus status = skipThroughEnd(deadline, &received);
    if (status == VI_ERROR_TMO && !received) {
      // A whole time-out of silence: what was owed is not coming any more.
      unreadReplies_ = abandonedReplies_ = 0;
      return status;
    }
    if (status < VI_SUCCESS) {
      noteReadFailed(status);
      return status;
    }
  }
  return VI_SUCCESS;
}

ViStatus Session::peek(ViByte& byte) {
  while (bufferedInput() == 0) {
    const ViStatus status = receiveMore(ioDeadline());
    if (status < VI_SUCCESS) return status;
  }
  byte = readBuffer_[readPosition_];
  return VI_SUCCESS;
}

void Session::consume() {
  if (bufferedInput() == 0) return;
  if (isEndByte(readBuffer_[readPosition_])) {
    noteReplyEnded();
  } else {
    midReply_ = true;
  }
  ++readPosition_;
}

bool Session::endsReply(ViByte byte) const { return isEndByte(byte); }

ViStatus Session::discardRestOfReply() { return skipThroughEnd(ioDeadline(), nullptr); }

ViStatus Session::printf(const char* format, ArgList& arguments) {
  const ExchangeScope exchange(*this);
  if (abandonedReplies_ > 0) {
    if (const ViStatus status = discardOwedReplies(abandonedReplies_, ioDeadline()); status < VI_SUCCESS) return status;
  }
  const ViStatus status = formatInto(format, arguments);
  if (status >= VI_SUCCESS && writeBufferMode_ == VI_FLUSH_ON_ACCESS && !writeBuffer_.empty())
    return sendWriteBuffer(false);
  return status;
}

ViStatus Session::scanf(const char* format, ArgList& arguments) {
  const ExchangeScope exchange(*this);
  // A query still sitting in the write buffer must go out before its answer is awaited.
  if (!writeBuffer_.empty()) {
    if (const ViStatus status = sendWriteBuffer(false); status < VI_SUCCESS) return status;
  }
  const ViStatus status = scanInput(*this, format, arguments);
  // A conversion the reply could not satisfy has already dropped the reply through its
  // END; only a time-out or a lost link leaves the bookkeeping to settle.
  if (status == VI_ERROR_TMO || status == VI_ERROR_CONN_LOST) noteReadFailed(status);
  if (readBufferMode_ == VI_FLUSH_ON_ACCESS) {
    dropBufferedInput();
  }
  return status;
}

ViStatus Session::queryf(const char* writeFormat, const char* readFormat, ArgList& arguments) {
  const ExchangeScope exchange(*this);
  // A query's answer must be its own: replies still owed to earlier queries are waited for
  // and dropped first. Where replies cannot be counted, whatever has already arrived goes.
  if (repliesAreFramed()) {
    if (unreadReplies_ > 0) {
      if (const ViStatus status = discardOwedReplies(unreadReplies_, ioDeadline()); status < VI_SUCCESS) return status;
    }
  } else {
    discardArrivedInput();
  }
  dropBufferedInput();
  const ViStatus status = formatInto(writeFormat, arguments);
  if (status < VI_SUCCESS) return status;
  return scanf(readFormat, arguments);
}

void Session::dropBufferedInput() {
  // An END among the dropped bytes settles its reply as if it had been read.
  if (repliesAreFramed()) {
    for (; readPosition_ < readLength_; ++readPosition_)
      if (isEndByte(readBuffer_[readPosition_])) noteReplyEnded();
  }
  readPosition_ = readLength_ = 0;
}

void Session::discardArrivedInput() {
  std::array<ViByte, kReceiveChunk> scratch;  // discarded
  for (int i = 0; i < kMaxDrainReceives; ++i) {
    std::size_t received = 0;
    if (transport_->receive(scratch.data(), scratch.size(), &received, Deadline::immediate()) < VI_SUCCESS ||
        received == 0)
      break;
  }
}

ViStatus Session::flush(ViUInt16 mask) {
  constexpr ViUInt16 kKnown = VI_READ_BUF | VI_WRITE_BUF | VI_READ_BUF_DISCARD | VI_WRITE_BUF_DISCARD;
  if (mask == 0 || (mask & ~kKnown) != 0 || ((mask & VI_READ_BUF) && (mask & VI_READ_BUF_DISCARD)) ||
      ((mask & VI_WRITE_BUF) && (mask & VI_WRITE_BUF_DISCARD)))
    return VI_ERROR_INV_MASK;
  if (mask & (VI_READ_BUF | VI_READ_BUF_DISCARD)) {
    dropBufferedInput();
  }
  if (mask & VI_WRITE_BUF_DISCARD) writeBuffer_.clear();
  if ((mask & VI_WRITE_BUF) && !writeBuffer_.empty()) return sendWriteBuffer(false);
  return VI_SUCCESS;
}

ViStatus Session::getAttribute(ViAttr attribute, AttributeValue& value) const {
  const PlainAttribute plain[] = {
      {VI_ATTR_TMO_VALUE, timeoutMs_},
      {VI_ATTR_TERMCHAR, termChar_},
      {VI_ATTR_TERMCHAR_EN, termCharEnabled_},
      {VI_ATTR_SEND_END_EN, sendEndEnabled_},
      {VI_ATTR_SUPPRESS_END_EN, suppressEndEnabled_},
      {VI_ATTR_RD_BUF_OPER_MODE, readBufferMode_},
      {VI_ATTR_WR_BUF_OPER_MODE, writeBufferMode_},
      {.id = VI_ATTR_RSRC_NAME, .text = identity_.resourceName},
      {.id = VI_ATTR_RSRC_CLASS, .text = identity_.resourceClass},
      {VI_ATTR_INTF_TYPE, identity_.interfaceType},
      {VI_ATTR_INTF_NUM, identity_.interfaceNumber},
  };
  if (copyPlainAttribute(attribute, plain, value)) return VI_SUCCESS;
  const ViStatus status = transport_->getAttribute(attribute, value);
  // The bytes waiting include those this session has already taken in.
  if (attribute == VI_ATTR_ASRL_AVAIL_NUM && status >= VI_SUCCESS) value.number += bufferedInput();
  return status;
}

ViStatus Session::setAttribute(ViAttr attribute, ViAttrState value) {
  const AttributeInfo* info = findAttribute(attribute);
  if (info == nullptr) return VI_ERROR_NSUP_ATTR;
  if (info->readOnly) {
    AttributeValue current;
    const ViStatus status = getAttribute(attribute, current);
    return status < VI_SUCCESS ? status : VI_ERROR_ATTR_READONLY;
  }
  if (const ViStatus status = checkValueFitsKind(info->kind, value); status < VI_SUCCESS) return status;
  switch (attribute) {
    case VI_ATTR_TMO_VALUE:
      timeoutMs_ = static_cast<ViUInt32>(value);
      return VI_SUCCESS;
    case VI_ATTR_TERMCHAR:
      termChar_ = static_cast<ViUInt8>(value);
      return VI_SUCCESS;
    case VI_ATTR_TERMCHAR_EN:
      termCharEnabled_ = value == VI_TRUE;
      return VI_SUCCESS;
    case VI_ATTR_SEND_END_EN:
      sendEndEnabled_ = value == VI_TRUE;
      return VI_SUCCESS;
    case VI_ATTR_SUPPRESS_END_EN:
      suppressEndEnabled_ = value == VI_TRUE;
      return VI_SUCCESS;
    case VI_ATTR_RD_BUF_OPER_MODE:
      if (value != VI_FLUSH_ON_ACCESS && value != VI_FLUSH_DISABLE) return VI_ERROR_NSUP_ATTR_STATE;
      readBufferMode_ = static_cast<ViUInt16>(value);
      return VI_SUCCESS;
    case VI_ATTR_WR_BUF_OPER_MODE:
      if (value != VI_FLUSH_ON_ACCESS && value != VI_FLUSH_WHEN_FULL) return VI_ERROR_NSUP_ATTR_STATE;
      writeBufferMode_ = static_cast<ViUInt16>(value);
      return VI_SUCCESS;
    default:
      return transport_->setAttribute(attribute, value);
  }
}

}  // namespace hnvqr::visa
