// Raw TCP (TCPIP::host::port::SOCKET) over Winsock 2. The socket stays non-blocking for
// its whole life; every wait is a select() bounded by the operation's deadline.
#include "tcp_transport.h"

#include <winsock2.h>
#include <ws2tcpip.h>

#include <mutex>

namespace hnvqr::visa {
namespace {

// Winsock is started once per process and left running: a DLL may not stop it while the
// loader lock is held, and another user in the process may rely on it.
bool winsockStarted() {
  static const bool started = [] {
    WSADATA data{};
    return ::WSAStartup(MAKEWORD(2, 2), &data) == 0;
  }();
  return started;
}

bool isConnectionLoss(int error) {
  return error == WSAECONNRESET || error == WSAECONNABORTED || error == WSAENOTCONN || error == WSAESHUTDOWN ||
         error == WSAETIMEDOUT || error == WSAENETRESET || error == WSAEHOSTUNREACH || error == WSAENETUNREACH ||
         error == WSAENETDOWN;
}

SOCKET native(SocketHandle fd) { return static_cast<SOCKET>(fd); }

// Waits until the socket can be read (or written) or the deadline passes: >0 ready, 0 on
// time-out, <0 on failure. A failed connect shows in the exception set.
int waitFor(SOCKET fd, bool forWriting, const Deadline& deadline) {
  fd_set ready;
  fd_set failed;
  FD_ZERO(&ready);
  FD_ZERO(&failed);
  FD_SET(fd, &ready);
  FD_SET(fd, &failed);
  timeval limit{};
  timeval* wait = nullptr;
  if (!deadline.infinite()) {
    const int ms = deadline.pollTimeout();
    limit.tv_sec = ms / 1000;
    limit.tv_usec = (ms % 1000) * 1000;
    wait = &limit;
  }
  const int count = ::select(0, forWriting ? nullptr : &ready, forWriting ? &ready : nullptr, &failed, wait);
  if (count == SOCKET_ERROR) return -1;
  return count;
}

// One connection attempt bounded by the deadline; the socket or INVALID_SOCKET.
SOCKET connectOne(const addrinfo& candidate, const Deadline& deadline) {
  const SOCKET fd = ::socket(candidate.ai_family, candidate.ai_socktype, candidate.ai_protocol);
  if (fd == INVALID_SOCKET) return INVALID_SOCKET;
  u_long nonBlocking = 1;
  if (::ioctlsocket(fd, FIONBIO, &nonBlocking) != 0) {
    ::closesocket(fd);
    return INVALID_SOCKET;
  }
  if (::connect(fd, candidate.ai_addr, static_cast<int>(candidate.ai_addrlen)) != 0) {
    if (::WSAGetLastError() != WSAEWOULDBLOCK) {
      ::closesocket(fd);
      return INVALID_SOCKET;
    }
    int error = 0;
    int length = sizeof error;
    if (waitFor(fd, true, deadline) <= 0 ||
        ::getsockopt(fd, SOL_SOCKET, SO_ERROR, reinterpret_cast<char*>(&error), &length) != 0 || error != 0) {
      ::closesocket(fd);
      return INVALID_SOCKET;
    }
  }
  return fd;
}

}  // namespace

ViStatus TcpTransport::connect(const std::string& host, ViUInt16 port, ViUInt32 openTimeoutMs,
                               std::unique_ptr<Transport>& connected) {
  if (!winsockStarted()) return VI_ERROR_SYSTEM_ERROR;
  const Deadline deadline = Deadline::afterMilliseconds(openTimeoutMs == 0 ? kDefaultOpenTimeoutMs : openTimeoutMs);
  addrinfo* const candidates = resolve(host, port);
  if (candidates == nullptr) return VI_ERROR_RSRC_NFOUND;
  SOCKET fd = INVALID_SOCKET;
  for (const addrinfo* candidate = candidates; candidate != nullptr && fd == INVALID_SOCKET;
       candidate = candidate->ai_next) {
    if (deadline.expired()) break;
    fd = connectOne(*candidate, deadline);
  }
  ::freeaddrinfo(candidates);
  if (fd == INVALID_SOCKET) return VI_ERROR_RSRC_NFOUND;

  const BOOL on = TRUE;
  ::setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, reinterpret_cast<const char*>(&on), sizeof on);
  connected.reset(new TcpTransport(static_cast<SocketHandle>(fd), peerAddressOf(fd), port));
  return VI_SUCCESS;
}

TcpTransport::TcpTransport(SocketHandle fd, std::string peerAddress, ViUInt16 port)
    : fd_(fd), peerAddress_(std::move(peerAddress)), port_(port) {}

TcpTransport::~TcpTransport() { ::closesocket(native(fd_)); }

void TcpTransport::interrupt() { ::shutdown(native(fd_), SD_BOTH); }

// Waits are select() calls here: there is no receive limit to keep.
bool TcpTransport::boundBlockingReceive(const Deadline& /*deadline*/) { return false; }

ViStatus TcpTransport::receive(ViByte* buffer, std::size_t capacity, std::size_t* received, const Deadline& deadline) {
  *received = 0;
  replyAwaited_ = false;
  const int want = capacity > 0x7FFFFFFF ? 0x7FFFFFFF : static_cast<int>(capacity);
  for (;;) {
    const int n = ::recv(native(fd_), reinterpret_cast<char*>(buffer), want, 0);
    if (n > 0) {
      *received = static_cast<std::size_t>(n);
      return VI_SUCCESS;
    }
    if (n == 0) return VI_ERROR_CONN_LOST;  // orderly close by the peer
    const int error = ::WSAGetLastError();
    if (isConnectionLoss(error)) return VI_ERROR_CONN_LOST;
    if (error != WSAEWOULDBLOCK) return VI_ERROR_IO;
    // Nothing waiting and no time left (the drain of late replies asks exactly this): no wait.
    if (deadline.expired()) return VI_ERROR_TMO;
    const int ready = waitFor(native(fd_), false, deadline);
    if (ready == 0) return VI_ERROR_TMO;
    if (ready < 0) return VI_ERROR_SYSTEM_ERROR;
    // Readable, closed or failed: the next recv tells which.
  }
}

ViStatus TcpTransport::send(const ViByte* data, std::size_t length, std::size_t* sent, const Deadline& deadline) {
  *sent = 0;
  while (*sent < length) {
    const std::size_t left = length - *sent;
    const int piece = left > 0x7FFFFFFF ? 0x7FFFFFFF : static_cast<int>(left);
    const int n = ::send(native(fd_), reinterpret_cast<const char*>(data + *sent), piece, 0);
    if (n > 0) {
      *sent += static_cast<std::size_t>(n);
      replyAwaited_ = true;
      continue;
    }
    const int error = ::WSAGetLastError();
    if (isConnectionLoss(error)) return VI_ERROR_CONN_LOST;
    if (error != WSAEWOULDBLOCK) return VI_ERROR_IO;
    const int ready = waitFor(native(fd_), true, deadline);
    if (ready == 0) return VI_ERROR_TMO;
    if (ready < 0) return VI_ERROR_SYSTEM_ERROR;
  }
  return VI_SUCCESS;
}

bool TcpTransport::readSocketFlag(int level, int name, bool& on) const {
  BOOL value = FALSE;
  int length = sizeof value;
  if (::getsockopt(native(fd_), level, name, reinterpret_cast<char*>(&value), &length) != 0) return false;
  on = value != FALSE;
  return true;
}

bool TcpTransport::writeSocketFlag(int level, int name, bool on) {
  const BOOL value = on ? TRUE : FALSE;
  return ::setsockopt(native(fd_), level, name, reinterpret_cast<const char*>(&value), sizeof value) == 0;
}

}  // namespace hnvqr::visa
