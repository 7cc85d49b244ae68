#include "session.h"

#include <algorithm>
#include <array>

namespace hnvisa {
namespace {

constexpr std::size_t kReceiveChunk = 4096;
constexpr std::size_t kWriteBufferSize = 4096;
// Bound on what one discard of late replies drains, so a peer that never stops talking
// cannot hold a query up.
constexpr int kMaxDrainReceives = 64;

}  // namespace

Session::Session(std::unique_ptr<Transport> transport, SessionIdentity identity)
    : transport_(std::move(transport)),
      identity_(std::move(identity)),
      // A socket has no END on the wire; a serial port delivers END through END_IN.
      suppressEndEnabled_(identity_.interfaceType == VI_INTF_TCPIP) {}

Session::~Session() = default;

bool Session::isEndByte(ViByte byte) const {
  if (byte != termChar_) return false;
  return termCharEnabled_ || (transport_->termCharIsEnd() && !suppressEndEnabled_);
}

ViStatus Session::receiveMore(const Deadline& deadline) {
  std::array<ViByte, kReceiveChunk> chunk;  // filled by the transport, not cleared first
  std::size_t received = 0;
  const ViStatus status = transport_->receive(chunk.data(), chunk.size(), &received, deadline);
  if (status < VI_SUCCESS) return status;
  if (readPosition_ == readBuffer_.size()) {
    readBuffer_.clear();
    readPosition_ = 0;
  } else if (readPosition_ >= kReceiveChunk) {
    readBuffer_.erase(readBuffer_.begin(), readBuffer_.begin() + static_cast<std::ptrdiff_t>(readPosition_));
    readPosition_ = 0;
  }
  readBuffer_.insert(readBuffer_.end(), chunk.begin(), chunk.begin() + static_cast<std::ptrdiff_t>(received));
  return VI_SUCCESS;
}

ViStatus Session::read(ViByte* buffer, ViUInt32 count, ViUInt32* returnCount) {
  if (returnCount != nullptr) *returnCount = 0;
  if (buffer == nullptr && count > 0) return VI_ERROR_USER_BUF;
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
    if (done) break;
    if (stored == count) {
      status = VI_SUCCESS_MAX_CNT;
      break;
    }
    status = receiveMore(deadline);
    done = status < VI_SUCCESS;
  }
  if (returnCount != nullptr) *returnCount = stored;
  return status;
}

ViStatus Session::write(const ViByte* data, ViUInt32 count, ViUInt32* returnCount) {
  if (returnCount != nullptr) *returnCount = 0;
  if (data == nullptr && count > 0) return VI_ERROR_USER_BUF;
  const Deadline deadline = ioDeadline();
  std::size_t sent = 0;
  ViStatus status = count > 0 ? transport_->send(data, count, &sent, deadline) : VI_SUCCESS;
  if (returnCount != nullptr) *returnCount = static_cast<ViUInt32>(sent);
  if (status >= VI_SUCCESS && sendEndEnabled_) status = transport_->sendEnd(termChar_, deadline);
  return status;
}

ViStatus Session::sendWriteBuffer(bool end) {
  const Deadline deadline = ioDeadline();
  std::size_t sent = 0;
  const std::string pending = std::move(writeBuffer_);
  writeBuffer_.clear();
  ViStatus status = VI_SUCCESS;
  if (!pending.empty())
    status = transport_->send(reinterpret_cast<const ViByte*>(pending.data()), pending.size(), &sent, deadline);
  if (status >= VI_SUCCESS && end && sendEndEnabled_) status = transport_->sendEnd(termChar_, deadline);
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

void Session::discardPendingInput() {
  readBuffer_.clear();
  readPosition_ = 0;
  std::array<ViByte, kReceiveChunk> scratch;  // discarded
  for (int i = 0; i < kMaxDrainReceives; ++i) {
    std::size_t received = 0;
    if (transport_->receive(scratch.data(), scratch.size(), &received, Deadline::immediate()) < VI_SUCCESS ||
        received == 0)
      break;
  }
}

ViStatus Session::peek(ViByte& byte) {
  while (bufferedInput() == 0) {
    const ViStatus status = receiveMore(scanDeadline_ ? *scanDeadline_ : ioDeadline());
    if (status < VI_SUCCESS) return status;
  }
  byte = readBuffer_[readPosition_];
  return VI_SUCCESS;
}

void Session::consume() {
  if (bufferedInput() > 0) ++readPosition_;
}

bool Session::endsReply(ViByte byte) const { return isEndByte(byte); }

void Session::discardRestOfReply() {
  const auto begin = readBuffer_.begin() + static_cast<std::ptrdiff_t>(readPosition_);
  const auto end = std::find_if(begin, readBuffer_.end(), [this](ViByte b) { return isEndByte(b); });
  if (end == readBuffer_.end()) {
    readBuffer_.clear();
    readPosition_ = 0;
  } else {
    readPosition_ = static_cast<std::size_t>(end - readBuffer_.begin()) + 1;
  }
}

ViStatus Session::printf(const char* format, ArgList& arguments) {
  const ViStatus status = formatOutput(*this, format, arguments);
  if (status >= VI_SUCCESS && writeBufferMode_ == VI_FLUSH_ON_ACCESS && !writeBuffer_.empty())
    return sendWriteBuffer(false);
  return status;
}

ViStatus Session::scanf(const char* format, ArgList& arguments) {
  // A query still sitting in the write buffer must go out before its answer is awaited.
  if (!writeBuffer_.empty()) {
    if (const ViStatus status = sendWriteBuffer(false); status < VI_SUCCESS) return status;
  }
  scanDeadline_ = ioDeadline();
  const ViStatus status = scanInput(*this, format, arguments);
  scanDeadline_.reset();
  if (readBufferMode_ == VI_FLUSH_ON_ACCESS) {
    readBuffer_.clear();
    readPosition_ = 0;
  }
  return status;
}

ViStatus Session::queryf(const char* writeFormat, const char* readFormat, ArgList& arguments) {
  // Whatever is buffered now answered an earlier query after its time-out.
  discardPendingInput();
  const ViStatus status = formatOutput(*this, writeFormat, arguments);
  if (status < VI_SUCCESS) return status;
  return scanf(readFormat, arguments);
}

ViStatus Session::flush(ViUInt16 mask) {
  constexpr ViUInt16 kKnown = VI_READ_BUF | VI_WRITE_BUF | VI_READ_BUF_DISCARD | VI_WRITE_BUF_DISCARD;
  if (mask == 0 || (mask & ~kKnown) != 0 || ((mask & VI_READ_BUF) && (mask & VI_READ_BUF_DISCARD)) ||
      ((mask & VI_WRITE_BUF) && (mask & VI_WRITE_BUF_DISCARD)))
    return VI_ERROR_INV_MASK;
  if (mask & (VI_READ_BUF | VI_READ_BUF_DISCARD)) {
    readBuffer_.clear();
    readPosition_ = 0;
  }
  if (mask & VI_WRITE_BUF_DISCARD) writeBuffer_.clear();
  if ((mask & VI_WRITE_BUF) && !writeBuffer_.empty()) return sendWriteBuffer(false);
  return VI_SUCCESS;
}

ViStatus Session::getAttribute(ViAttr attribute, AttributeValue& value) const {
  switch (attribute) {
    case VI_ATTR_TMO_VALUE: value.number = timeoutMs_; return VI_SUCCESS;
    case VI_ATTR_TERMCHAR: value.number = termChar_; return VI_SUCCESS;
    case VI_ATTR_TERMCHAR_EN: value.number = termCharEnabled_; return VI_SUCCESS;
    case VI_ATTR_SEND_END_EN: value.number = sendEndEnabled_; return VI_SUCCESS;
    case VI_ATTR_SUPPRESS_END_EN: value.number = suppressEndEnabled_; return VI_SUCCESS;
    case VI_ATTR_RD_BUF_OPER_MODE: value.number = readBufferMode_; return VI_SUCCESS;
    case VI_ATTR_WR_BUF_OPER_MODE: value.number = writeBufferMode_; return VI_SUCCESS;
    case VI_ATTR_RSRC_NAME: value.text = identity_.resourceName; return VI_SUCCESS;
    case VI_ATTR_RSRC_CLASS: value.text = identity_.resourceClass; return VI_SUCCESS;
    case VI_ATTR_INTF_TYPE: value.number = identity_.interfaceType; return VI_SUCCESS;
    case VI_ATTR_INTF_NUM: value.number = identity_.interfaceNumber; return VI_SUCCESS;
    case VI_ATTR_ASRL_AVAIL_NUM: {
      const ViStatus status = transport_->getAttribute(attribute, value);
      if (status >= VI_SUCCESS) value.number += bufferedInput();
      return status;
    }
    default: return transport_->getAttribute(attribute, value);
  }
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
    case VI_ATTR_TMO_VALUE: timeoutMs_ = static_cast<ViUInt32>(value); return VI_SUCCESS;
    case VI_ATTR_TERMCHAR: termChar_ = static_cast<ViUInt8>(value); return VI_SUCCESS;
    case VI_ATTR_TERMCHAR_EN: termCharEnabled_ = value == VI_TRUE; return VI_SUCCESS;
    case VI_ATTR_SEND_END_EN: sendEndEnabled_ = value == VI_TRUE; return VI_SUCCESS;
    case VI_ATTR_SUPPRESS_END_EN: suppressEndEnabled_ = value == VI_TRUE; return VI_SUCCESS;
    case VI_ATTR_RD_BUF_OPER_MODE:
      if (value != VI_FLUSH_ON_ACCESS && value != VI_FLUSH_DISABLE) return VI_ERROR_NSUP_ATTR_STATE;
      readBufferMode_ = static_cast<ViUInt16>(value);
      return VI_SUCCESS;
    case VI_ATTR_WR_BUF_OPER_MODE:
      if (value != VI_FLUSH_ON_ACCESS && value != VI_FLUSH_WHEN_FULL) return VI_ERROR_NSUP_ATTR_STATE;
      writeBufferMode_ = static_cast<ViUInt16>(value);
      return VI_SUCCESS;
    default: return transport_->setAttribute(attribute, value);
  }
}

}  // namespace hnvisa
