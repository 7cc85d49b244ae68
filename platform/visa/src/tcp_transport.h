// Raw TCP (TCPIP::host::port::SOCKET): waits with poll(), or with one receive bounded by
// SO_RCVTIMEO right after a query.
#ifndef HNVISA_TCP_TRANSPORT_H
#define HNVISA_TCP_TRANSPORT_H

#include <cstdint>
#include <memory>
#include <string>

#include "transport.h"

struct addrinfo;

namespace hnvqr::visa {

// The operating system's handle of a socket: a descriptor on POSIX, a Winsock SOCKET.
#ifdef _WIN32
using SocketHandle = std::uintptr_t;
#else
using SocketHandle = int;
#endif

class TcpTransport final : public Transport {
 public:
  // Connects within `openTimeoutMs`. VI_ERROR_RSRC_NFOUND when the host is unknown, the
  // port refuses or nothing answers in time.
  static ViStatus connect(const std::string& host, ViUInt16 port, ViUInt32 openTimeoutMs,
                          std::unique_ptr<Transport>& connected);
  ~TcpTransport() override;

  ViStatus receive(ViByte* buffer, std::size_t capacity, std::size_t* received, const Deadline& deadline) override;
  ViStatus send(const ViByte* data, std::size_t length, std::size_t* sent, const Deadline& deadline) override;
  // A socket has no END on the wire: VISA takes the termination character for it once
  // VI_ATTR_SUPPRESS_END_EN is turned off.
  bool termCharIsEnd() const override { return true; }
  void interrupt() override;
  ViStatus getAttribute(ViAttr attribute, AttributeValue& value) const override;
  ViStatus setAttribute(ViAttr attribute, ViAttrState value) override;

 private:
  TcpTransport(SocketHandle fd, std::string peerAddress, ViUInt16 port);

  // Sets SO_RCVTIMEO so that a blocking receive ends by the deadline; false when it cannot.
  bool boundBlockingReceive(const Deadline& deadline);
  // A boolean socket option, read or set with each platform's socket calls; false when the
  // call fails.
  bool readSocketFlag(int level, int name, bool& on) const;
  bool writeSocketFlag(int level, int name, bool on);
  // The candidate addresses of `host` (a bracketed IPv6 literal without its brackets) for
  // a stream to `port`, to be freed with freeaddrinfo; nullptr when it does not resolve.
  static addrinfo* resolve(const std::string& host, ViUInt16 port);
  // The numeric address of the connected peer; empty when it cannot be had.
  static std::string peerAddressOf(SocketHandle fd);

  const SocketHandle fd_;
  const std::string peerAddress_;
  const ViUInt16 port_;
  bool replyAwaited_ = false;        // bytes went out since the last receive
  long long receiveTimeoutMs_ = -1;  // SO_RCVTIMEO as set (0: none), -1 before it is set
};

}  // namespace hnvqr::visa

#endif
