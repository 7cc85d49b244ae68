#include "vxi11_transport.h"

#include <algorithm>
#include <charconv>
#include <cstdlib>
#include <cstring>

#include "tcp_transport.h"

namespace hnvqr::visa {
namespace {

constexpr ViUInt16 kPortmapperPort = 111;
constexpr std::uint32_t kPortmapperProgram = 100000;
constexpr std::uint32_t kPortmapperVersion = 2;
constexpr std::uint32_t kPortmapperGetPort = 3;
constexpr std::uint32_t kProtocolTcp = 6;

constexpr std::uint32_t kCoreProgram = 0x0607AF;
constexpr std::uint32_t kCoreVersion = 1;
constexpr std::uint32_t kCreateLink = 10;
constexpr std::uint32_t kDeviceWrite = 11;
constexpr std::uint32_t kDeviceRead = 12;
constexpr std::uint32_t kDeviceReadStb = 13;
constexpr std::uint32_t kDeviceTrigger = 14;
constexpr std::uint32_t kDeviceClear = 15;
constexpr std::uint32_t kDestroyLink = 23;

constexpr std::uint32_t kFlagEnd = 8;

// The instrument's own error codes that the session tells apart.
constexpr std::uint32_t kErrorNone = 0;
constexpr std::uint32_t kErrorDeviceNotAccessible = 3;
constexpr std::uint32_t kErrorInvalidLink = 4;
constexpr std::uint32_t kErrorOutOfResources = 9;
constexpr std::uint32_t kErrorLocked = 11;
constexpr std::uint32_t kErrorIoTimeout = 15;
constexpr std::uint32_t kErrorInvalidAddress = 21;

// Largest piece we send or ask for in one call, whatever the instrument offers: it keeps
// each reply record within the client's bound.
constexpr std::size_t kMaxTransfer = 64 * 1024;
// The instrument answers a read that found nothing at its io_timeout; we wait this much
// longer for that answer, so that the reply and the stream stay in step.
constexpr int kReplyGraceMs = 250;
// How long closing waits for destroy_link.
constexpr ViUInt32 kCloseTimeoutMs = 500;

ViUInt16 portmapperPort() {
  const char* text = std::getenv(kPortmapperPortVariable);
  if (text == nullptr || *text == '\0') return kPortmapperPort;
  unsigned port = 0;
  const char* end = text + std::strlen(text);
  const auto [stop, error] = std::from_chars(text, end, port);
  if (error != std::errc{} || stop != end || port == 0 || port > 65535) return kPortmapperPort;
  return static_cast<ViUInt16>(port);
}

// Milliseconds left before the deadline, VI_TMO_INFINITE for none.
ViUInt32 millisecondsLeft(const Deadline& deadline) {
  const int left = deadline.pollTimeout();
  return left < 0 ? VI_TMO_INFINITE : static_cast<ViUInt32>(left);
}

// The deadline for an RPC answer to a call that tells the instrument `ioTimeoutMs`.
Deadline replyDeadline(ViUInt32 ioTimeoutMs) {
  return ioTimeoutMs == VI_TMO_INFINITE ? Deadline::afterMilliseconds(VI_TMO_INFINITE)
                                        : Deadline::afterMilliseconds(ioTimeoutMs + kReplyGraceMs);
}

// An instrument error during I/O, as the session reports it.
ViStatus ioStatusOf(std::uint32_t error) {
  switch (error) {
    case kErrorNone:
      return VI_SUCCESS;
    case kErrorIoTimeout:
      return VI_ERROR_TMO;
    case kErrorInvalidLink:
      return VI_ERROR_CONN_LOST;  // the link, or the instrument, is gone
    case kErrorLocked:
      return VI_ERROR_RSRC_BUSY;
    case kErrorOutOfResources:
      return VI_ERROR_ALLOC;
    default:
      return VI_ERROR_IO;
  }
}

ViStatus connectStream(const std::string& host, ViUInt16 port, const Deadline& deadline,
                       std::unique_ptr<Transport>& stream) {
  if (deadline.expired()) return VI_ERROR_RSRC_NFOUND;
  // A zero time-out means the default to the socket transport: never pass one on.
  const ViUInt32 left = std::max<ViUInt32>(millisecondsLeft(deadline), 1);
  return TcpTransport::connect(host, port, left, stream);
}

// The core channel's TCP port, from the host's portmapper; 0 when it has none.
ViStatus lookUpCorePort(const std::string& host, const Deadline& deadline, ViUInt16& port) {
  std::unique_ptr<Transport> stream;
  if (connectStream(host, portmapperPort(), deadline, stream) < VI_SUCCESS) return VI_ERROR_RSRC_NFOUND;
  rpc::Client portmapper(std::move(stream), kPortmapperProgram, kPortmapperVersion);
  rpc::XdrWriter mapping;
  for (const std::uint32_t word : {kCoreProgram, kCoreVersion, kProtocolTcp, 0u}) mapping.u32(word);
  std::vector<ViByte> results;
  if (portmapper.call(kPortmapperGetPort, mapping, results, deadline) < VI_SUCCESS) return VI_ERROR_RSRC_NFOUND;
  rpc::XdrReader reply(results.data(), results.size());
  const std::uint32_t found = reply.u32();
  if (!reply.good() || found == 0 || found > 65535) return VI_ERROR_RSRC_NFOUND;
  port = static_cast<ViUInt16>(found);
  return VI_SUCCESS;
}

}  // namespace

ViStatus Vxi11Transport::connect(const std::string& host, const std::string& device, ViUInt32 openTimeoutMs,
                                 std::unique_ptr<Transport>& connected) {
  const Deadline deadline = Deadline::afterMilliseconds(openTimeoutMs == 0 ? kDefaultOpenTimeoutMs : openTimeoutMs);
  ViUInt16 corePort = 0;
  if (const ViStatus status = lookUpCorePort(host, deadline, corePort); status < VI_SUCCESS) return status;
  std::unique_ptr<Transport> stream;
  if (connectStream(host, corePort, deadline, stream) < VI_SUCCESS) return VI_ERROR_RSRC_NFOUND;
  auto client = std::make_unique<rpc::Client>(std::move(stream), kCoreProgram, kCoreVersion);

  rpc::XdrWriter parameters;
  parameters.u32(static_cast<std::uint32_t>(reinterpret_cast<std::uintptr_t>(client.get())));  // clientId
  parameters.u32(0);                                                                           // lockDevice: no
  parameters.u32(0);                                                                           // lock_timeout
  parameters.opaque(device);
  std::vector<ViByte> results;
  if (client->call(kCreateLink, parameters, results, deadline) < VI_SUCCESS) return VI_ERROR_RSRC_NFOUND;
  rpc::XdrReader reply(results.data(), results.size());
  const std::uint32_t error = reply.u32();
  const std::uint32_t link = reply.u32();
  reply.u32();  // abortPort: the abort channel is not used
  const std::uint32_t maxRecvSize = reply.u32();
  if (!reply.good()) return VI_ERROR_RSRC_NFOUND;
  if (error == kErrorLocked) return VI_ERROR_RSRC_BUSY;
  if (error == kErrorOutOfResources) return VI_ERROR_ALLOC;
  if (error != kErrorNone) return VI_ERROR_RSRC_NFOUND;  // no such device, or refused
  // Every instrument takes at least 1024 bytes a call; one announcing less is not believed.
  const std::size_t maxWrite = std::clamp<std::size_t>(maxRecvSize, 1024, kMaxTransfer);
  connected.reset(new Vxi11Transport(std::move(client), link, maxWrite, host, device));
  return VI_SUCCESS;
}

Vxi11Transport::Vxi11Transport(std::unique_ptr<rpc::Client> client, std::uint32_t link, std::size_t maxWrite,
                               std::string host, std::string device)
    : client_(std::move(client)),
      link_(link),
      maxWrite_(maxWrite),
      host_(std::move(host)),
      device_(std::move(device)) {}

Vxi11Transport::~Vxi11Transport() {
  if (linkLost_) return;
  const Deadline deadline = Deadline::afterMilliseconds(kCloseTimeoutMs);
  if (flushHeld(false, deadline) < VI_SUCCESS || linkLost_) return;
  rpc::XdrWriter parameters;
  parameters.u32(link_);
  std::vector<ViByte> results;
  client_->call(kDestroyLink, parameters, results, deadline);
}

ViStatus Vxi11Transport::write(const ViByte* data, std::size_t length, bool end, const Deadline& deadline) {
  std::size_t offset = 0;
  do {
    const std::size_t piece = std::min(length - offset, maxWrite_);
    const bool last = offset + piece == length;
    const ViUInt32 ioTimeout = millisecondsLeft(deadline);
    rpc::XdrWriter parameters;
    parameters.u32(link_);
    parameters.u32(ioTimeout);
    parameters.u32(0);  // lock_timeout: we hold no lock
    parameters.u32(end && last ? kFlagEnd : 0);
    parameters.opaque(std::string_view(reinterpret_cast<const char*>(data + offset), piece));
    std::vector<ViByte> results;
    ViStatus status = client_->call(kDeviceWrite, parameters, results, replyDeadline(ioTimeout));
    if (status == VI_ERROR_CONN_LOST) linkLost_ = true;
    if (status < VI_SUCCESS) return status;
    rpc::XdrReader reply(results.data(), results.size());
    const std::uint32_t error = reply.u32();
    const std::uint32_t accepted = reply.u32();
    if (!reply.good() || accepted > piece) return VI_ERROR_IO;
    if ((status = ioStatusOf(error)) < VI_SUCCESS) {
      if (status == VI_ERROR_CONN_LOST) linkLost_ = true;
      return status;
    }
    // An instrument that takes nothing and reports no error would keep us here for ever.
    if (accepted == 0 && piece > 0) return VI_ERROR_IO;
    offset += accepted;
  } while (offset < length);
  return VI_SUCCESS;
}

ViStatus Vxi11Transport::flushHeld(bool end, const Deadline& deadline) {
  if (held_.empty() && !end) return VI_SUCCESS;
  const std::vector<ViByte> pending = std::move(held_);
  held_.clear();
  return write(pending.data(), pending.size(), end, deadline);
}

ViStatus Vxi11Transport::send(const ViByte* data, std::size_t length, std::size_t* sent, const Deadline& deadline) {
  *sent = 0;
  if (linkLost_) return VI_ERROR_CONN_LOST;
  // Whole pieces go now; the rest waits, so that END can travel with the last bytes.
  return holdInPieces(held_, maxWrite_, data, length, sent, [&] { return flushHeld(false, deadline); });
}

ViStatus Vxi11Transport::sendEnd(ViByte /*termChar*/, const Deadline& deadline) {
  if (linkLost_) return VI_ERROR_CONN_LOST;
  return flushHeld(true, deadline);
}

ViStatus Vxi11Transport::receive(ViByte* buffer, std::size_t capacity, std::size_t* received,
                                 const Deadline& deadline) {
  *received = 0;
  if (linkLost_) return VI_ERROR_CONN_LOST;
  if (const ViStatus status = flushHeld(false, deadline); status < VI_SUCCESS) return status;
  const std::size_t request = std::min(capacity, kMaxTransfer);
  const ViUInt32 ioTimeout = millisecondsLeft(deadline);
  rpc::XdrWriter parameters;
  parameters.u32(link_);
  parameters.u32(static_cast<std::uint32_t>(request));
  parameters.u32(ioTimeout);
  parameters.u32(0);  // lock_timeout
  parameters.u32(0);  // flags: the message ends at END, not at a character of the instrument's choosing
  parameters.u32(0);  // termChar, unused without the flag
  std::vector<ViByte> results;
  ViStatus status = client_->call(kDeviceRead, parameters, results, replyDeadline(ioTimeout));
  if (status == VI_ERROR_CONN_LOST) linkLost_ = true;
  if (status < VI_SUCCESS) return status;
  rpc::XdrReader reply(results.data(), results.size());
  const std::uint32_t error = reply.u32();
  reply.u32();  // reason: the session sees END as the terminator's
  const std::string_view data = reply.opaque(request);
  if (!reply.good()) return VI_ERROR_IO;
  std::memcpy(buffer, data.data(), data.size());
  *received = data.size();
  status = ioStatusOf(error);
  if (status == VI_ERROR_CONN_LOST) linkLost_ = true;
  // Bytes that came with a time-out are still the caller's.
  return status < VI_SUCCESS && data.empty() ? status : VI_SUCCESS;
}

ViStatus Vxi11Transport::getAttribute(ViAttr attribute, AttributeValue& value) const {
  switch (attribute) {
    case VI_ATTR_TCPIP_ADDR:
    case VI_ATTR_TCPIP_NODELAY:
    case VI_ATTR_TCPIP_KEEPALIVE:
      return client_->stream().getAttribute(attribute, value);
    default:
      return VI_ERROR_NSUP_ATTR;
  }
}

ViStatus Vxi11Transport::setAttribute(ViAttr attribute, ViAttrState value) {
  switch (attribute) {
    case VI_ATTR_TCPIP_NODELAY:
    case VI_ATTR_TCPIP_KEEPALIVE:
      return client_->stream().setAttribute(attribute, value);
    default:
      return VI_ERROR_NSUP_ATTR;
  }
}

}  // namespace hnvqr::visa

namespace hnvqr::visa {

ViStatus Vxi11Transport::genericCall(std::uint32_t procedure, const Deadline& deadline, std::vector<ViByte>& results) {
  if (linkLost_) return VI_ERROR_CONN_LOST;
  // Bytes held for END belong to the message before; they go first, as they would on a read.
  if (const ViStatus status = flushHeld(false, deadline); status < VI_SUCCESS) return status;
  const ViUInt32 ioTimeout = millisecondsLeft(deadline);
  rpc::XdrWriter parameters;
  parameters.u32(link_);
  parameters.u32(0);  // flags
  parameters.u32(0);  // lock_timeout: we hold no lock
  parameters.u32(ioTimeout);
  ViStatus status = client_->call(procedure, parameters, results, replyDeadline(ioTimeout));
  if (status == VI_ERROR_CONN_LOST) linkLost_ = true;
  if (status < VI_SUCCESS) return status;
  rpc::XdrReader reply(results.data(), results.size());
  const std::uint32_t error = reply.u32();
  if (!reply.good()) return VI_ERROR_IO;
  if ((status = ioStatusOf(error)) == VI_ERROR_CONN_LOST) linkLost_ = true;
  results.erase(results.begin(), results.begin() + 4);
  return status;
}

ViStatus Vxi11Transport::readStatusByte(ViUInt16& statusByte, const Deadline& deadline) {
  std::vector<ViByte> results;
  if (const ViStatus status = genericCall(kDeviceReadStb, deadline, results); status < VI_SUCCESS) return status;
  rpc::XdrReader reply(results.data(), results.size());
  const std::uint32_t stb = reply.u32();
  if (!reply.good()) return VI_ERROR_IO;
  statusByte = static_cast<ViUInt16>(stb & 0xFF);
  return VI_SUCCESS;
}

ViStatus Vxi11Transport::clearDevice(const Deadline& deadline) {
  held_.clear();  // a clear drops what was not sent yet
  std::vector<ViByte> results;
  return genericCall(kDeviceClear, deadline, results);
}

ViStatus Vxi11Transport::triggerDevice(const Deadline& deadline) {
  std::vector<ViByte> results;
  return genericCall(kDeviceTrigger, deadline, results);
}

}  // namespace hnvqr::visa
