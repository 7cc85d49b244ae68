// What a raw TCP socket does the same way on every platform: resolving the host, the peer's
// address and the attributes. The Berkeley calls used here have one form on both; the
// waits and the byte transfer differ and live in each platform's file.
#include "tcp_transport.h"

#ifdef _WIN32
#include <winsock2.h>
#include <ws2tcpip.h>
#else
#include <arpa/inet.h>
#include <netdb.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sys/socket.h>
#endif

namespace hnvqr::visa {
namespace {

struct SocketOption {
  int level;
  int name;
};

// The socket option behind VI_ATTR_TCPIP_NODELAY or VI_ATTR_TCPIP_KEEPALIVE; false for any
// other attribute.
bool socketOptionOf(ViAttr attribute, SocketOption& option) {
  if (attribute == VI_ATTR_TCPIP_NODELAY) {
    option = {IPPROTO_TCP, TCP_NODELAY};
    return true;
  }
  if (attribute == VI_ATTR_TCPIP_KEEPALIVE) {
    option = {SOL_SOCKET, SO_KEEPALIVE};
    return true;
  }
  return false;
}

}  // namespace

addrinfo* TcpTransport::resolve(const std::string& host, ViUInt16 port) {
  addrinfo hints{};
  hints.ai_family = AF_UNSPEC;
  hints.ai_socktype = SOCK_STREAM;
  hints.ai_flags = AI_NUMERICSERV;
  addrinfo* candidates = nullptr;
  const std::string service = std::to_string(port);
  // A bracketed IPv6 literal, "[fe80::1]", resolves without its brackets.
  const std::string name =
      host.size() > 2 && host.front() == '[' && host.back() == ']' ? host.substr(1, host.size() - 2) : host;
  if (::getaddrinfo(name.c_str(), service.c_str(), &hints, &candidates) != 0) return nullptr;
  return candidates;
}

std::string TcpTransport::peerAddressOf(SocketHandle fd) {
  sockaddr_storage address{};
  socklen_t length = sizeof address;
  if (::getpeername(fd, reinterpret_cast<sockaddr*>(&address), &length) != 0) return {};
  char text[INET6_ADDRSTRLEN] = {};
  void* raw = address.ss_family == AF_INET6 ? static_cast<void*>(&reinterpret_cast<sockaddr_in6*>(&address)->sin6_addr)
                                            : static_cast<void*>(&reinterpret_cast<sockaddr_in*>(&address)->sin_addr);
  return ::inet_ntop(address.ss_family, raw, text, sizeof text) ? std::string(text) : std::string();
}

ViStatus TcpTransport::getAttribute(ViAttr attribute, AttributeValue& value) const {
  const PlainAttribute plain[] = {{.id = VI_ATTR_TCPIP_ADDR, .text = peerAddress_}, {VI_ATTR_TCPIP_PORT, port_}};
  if (copyPlainAttribute(attribute, plain, value)) return VI_SUCCESS;
  SocketOption option{};
  if (!socketOptionOf(attribute, option)) return VI_ERROR_NSUP_ATTR;
  bool on = false;
  if (!readSocketFlag(option.level, option.name, on)) return VI_ERROR_SYSTEM_ERROR;
  value.number = on ? VI_TRUE : VI_FALSE;
  return VI_SUCCESS;
}

ViStatus TcpTransport::setAttribute(ViAttr attribute, ViAttrState value) {
  SocketOption option{};
  if (!socketOptionOf(attribute, option)) return VI_ERROR_NSUP_ATTR;
  return writeSocketFlag(option.level, option.name, value == VI_TRUE) ? VI_SUCCESS : VI_ERROR_SYSTEM_ERROR;
}

}  // namespace hnvqr::visa
