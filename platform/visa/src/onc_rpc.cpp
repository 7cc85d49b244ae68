#include "onc_rpc.h"

#include <algorithm>
#include <chrono>
#include <cstring>

namespace hnvqr::visa::rpc {
namespace {

constexpr std::uint32_t kCall = 0;
constexpr std::uint32_t kReply = 1;
constexpr std::uint32_t kRpcVersion = 2;
constexpr std::uint32_t kMsgAccepted = 0;
constexpr std::uint32_t kAcceptSuccess = 0;
constexpr std::uint32_t kLastFragment = 0x80000000u;
constexpr std::size_t kMaxVerifier = 400;
constexpr std::size_t kReceiveChunk = 8192;

std::uint32_t loadBigEndian(const ViByte* p) {
  return (std::uint32_t{p[0]} << 24) | (std::uint32_t{p[1]} << 16) | (std::uint32_t{p[2]} << 8) | p[3];
}

void storeBigEndian(ViByte* p, std::uint32_t value) {
  p[0] = static_cast<ViByte>(value >> 24);
  p[1] = static_cast<ViByte>(value >> 16);
  p[2] = static_cast<ViByte>(value >> 8);
  p[3] = static_cast<ViByte>(value);
}

// Transaction ids start somewhere different for each client, so that a reply meant for an
// earlier link on a reused port is not taken for ours.
std::uint32_t firstXid(const void* self) {
  const auto now = static_cast<std::uint64_t>(std::chrono::steady_clock::now().time_since_epoch().count());
  return static_cast<std::uint32_t>(now ^ (now >> 32) ^ reinterpret_cast<std::uintptr_t>(self));
}

}  // namespace

void XdrWriter::u32(std::uint32_t value) {
  const std::size_t at = bytes_.size();
  bytes_.resize(at + 4);
  storeBigEndian(bytes_.data() + at, value);
}

void XdrWriter::opaque(std::string_view bytes) {
  u32(static_cast<std::uint32_t>(bytes.size()));
  bytes_.insert(bytes_.end(), bytes.begin(), bytes.end());
  bytes_.resize(bytes_.size() + (4 - bytes.size() % 4) % 4, 0);
}

std::uint32_t XdrReader::u32() {
  if (!good_ || size_ - position_ < 4) {
    good_ = false;
    return 0;
  }
  const std::uint32_t value = loadBigEndian(data_ + position_);
  position_ += 4;
  return value;
}

std::string_view XdrReader::opaque(std::size_t maxLength) {
  const std::uint32_t length = u32();
  const std::size_t padded = std::size_t{length} + (4 - length % 4) % 4;
  if (!good_ || length > maxLength || size_ - position_ < padded) {
    good_ = false;
    return {};
  }
  const std::string_view bytes(reinterpret_cast<const char*>(data_ + position_), length);
  position_ += padded;
  return bytes;
}

Client::Client(std::unique_ptr<Transport> stream, std::uint32_t program, std::uint32_t version)
    : stream_(std::move(stream)), program_(program), version_(version), nextXid_(firstXid(this)) {}

ViStatus Client::receiveRecord(const Deadline& deadline) {
  if (recordComplete_) {
    record_.clear();
    recordComplete_ = false;
  }
  for (;;) {
    if (inputPosition_ == input_.size()) {
      input_.resize(kReceiveChunk);
      std::size_t received = 0;
      const ViStatus status = stream_->receive(input_.data(), input_.size(), &received, deadline);
      input_.resize(status < VI_SUCCESS ? 0 : received);
      inputPosition_ = 0;
      if (status < VI_SUCCESS) return status;
    }
    const ViByte* available = input_.data() + inputPosition_;
    const std::size_t availableCount = input_.size() - inputPosition_;
    if (!inFragment_) {
      const std::size_t take = std::min(availableCount, sizeof header_ - headerBytes_);
      std::memcpy(header_ + headerBytes_, available, take);
      headerBytes_ += take;
      inputPosition_ += take;
      if (headerBytes_ < sizeof header_) continue;
      const std::uint32_t mark = loadBigEndian(header_);
      headerBytes_ = 0;
      fragmentLeft_ = mark & ~kLastFragment;
      lastFragment_ = (mark & kLastFragment) != 0;
      if (record_.size() + fragmentLeft_ > kMaxReplyRecord) {
        broken_ = true;
        return VI_ERROR_IO;
      }
      inFragment_ = true;
    } else {
      const std::size_t take = std::min(availableCount, fragmentLeft_);
      record_.insert(record_.end(), available, available + take);
      inputPosition_ += take;
      fragmentLeft_ -= take;
    }
    if (inFragment_ && fragmentLeft_ == 0) {
      inFragment_ = false;
      if (lastFragment_) {
        recordComplete_ = true;
        return VI_SUCCESS;
      }
    }
  }
}

ViStatus Client::call(std::uint32_t procedure, const XdrWriter& arguments, std::vector<ViByte>& results,
                      const Deadline& deadline) {
  results.clear();
  if (broken_) return VI_ERROR_CONN_LOST;
  const std::uint32_t xid = nextXid_++;
  XdrWriter message;
  message.u32(0);  // record mark, filled in below
  for (const std::uint32_t word : {xid, kCall, kRpcVersion, program_, version_, procedure, 0u, 0u, 0u, 0u})
    message.u32(word);
  std::vector<ViByte> record = message.bytes();
  record.insert(record.end(), arguments.bytes().begin(), arguments.bytes().end());
  storeBigEndian(record.data(), kLastFragment | static_cast<std::uint32_t>(record.size() - 4));

  std::size_t sent = 0;
  if (const ViStatus status = stream_->send(record.data(), record.size(), &sent, deadline); status < VI_SUCCESS) {
    // Half a call on the wire cannot be taken back: the stream is out of step for good.
    if (sent > 0) broken_ = true;
    return status;
  }
  for (;;) {
    if (const ViStatus status = receiveRecord(deadline); status < VI_SUCCESS) {
      if (status == VI_ERROR_CONN_LOST) broken_ = true;
      return status;
    }
    XdrReader reply(record_.data(), record_.size());
    if (reply.u32() != xid) continue;  // the late answer to a call that timed out
    const bool accepted = reply.u32() == kReply && reply.u32() == kMsgAccepted;
    reply.u32();  // verifier flavour
    reply.opaque(kMaxVerifier);
    // A refused call (program or procedure unknown) leaves the stream in step.
    if (!accepted || reply.u32() != kAcceptSuccess || !reply.good()) return VI_ERROR_IO;
    results.assign(record_.begin() + static_cast<std::ptrdiff_t>(reply.position()), record_.end());
    return VI_SUCCESS;
  }
}

}  // namespace hnvqr::visa::rpc
