#include "tcp_transport.h"

#include <arpa/inet.h>
#include <cerrno>
#include <fcntl.h>
#include <netdb.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

namespace hnvqr::visa {
namespace {

bool isConnectionLoss(int error) {
  return error == ECONNRESET || error == EPIPE || error == ENOTCONN || error == ECONNABORTED || error == ETIMEDOUT ||
         error == EHOSTUNREACH || error == ENETUNREACH || error == ENETDOWN || error == ESHUTDOWN;
}

// poll() for `events` until the deadline, retrying on signals. 0 on time-out, <0 on error.
int waitFor(int fd, short events, const Deadline& deadline, short& revents) {
  for (;;) {
    pollfd p{fd, events, 0};
    const int ready = ::poll(&p, 1, deadline.pollTimeout());
    if (ready < 0 && errno == EINTR) continue;
    revents = p.revents;
    return ready;
  }
}

// One connection attempt bounded by the deadline; the socket's descriptor or -1.
int connectOne(const addrinfo& candidate, const Deadline& deadline) {
  const int fd =
      ::socket(candidate.ai_family, candidate.ai_socktype | SOCK_NONBLOCK | SOCK_CLOEXEC, candidate.ai_protocol);
  if (fd < 0) return -1;
  if (::connect(fd, candidate.ai_addr, candidate.ai_addrlen) != 0) {
    if (errno != EINPROGRESS) {
      ::close(fd);
      return -1;
    }
    short revents = 0;
    int error = 0;
    socklen_t length = sizeof error;
    if (waitFor(fd, POLLOUT, deadline, revents) <= 0 || ::getsockopt(fd, SOL_SOCKET, SO_ERROR, &error, &length) != 0 ||
        error != 0) {
      ::close(fd);
      return -1;
    }
  }
  return fd;
}

}  // namespace

ViStatus TcpTransport::connect(const std::string& host, ViUInt16 port, ViUInt32 openTimeoutMs,
                               std::unique_ptr<Transport>& connected) {
  const Deadline deadline = Deadline::afterMilliseconds(openTimeoutMs == 0 ? kDefaultOpenTimeoutMs : openTimeoutMs);
  addrinfo* const candidates = resolve(host, port);
  if (candidates == nullptr) return VI_ERROR_RSRC_NFOUND;
  int fd = -1;
  for (const addrinfo* candidate = candidates; candidate != nullptr && fd < 0; candidate = candidate->ai_next) {
    if (deadline.expired()) break;
    fd = connectOne(*candidate, deadline);
  }
  ::freeaddrinfo(candidates);
  if (fd < 0) return VI_ERROR_RSRC_NFOUND;

  const int on = 1;
  ::setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &on, sizeof on);
  // Blocking from now on: every call that must not wait says MSG_DONTWAIT, and the one
  // receive that may wait right after a query is bounded by SO_RCVTIMEO.
  const int flags = ::fcntl(fd, F_GETFL);
  if (flags >= 0) ::fcntl(fd, F_SETFL, flags & ~O_NONBLOCK);
  connected.reset(new TcpTransport(fd, peerAddressOf(fd), port));
  return VI_SUCCESS;
}

TcpTransport::TcpTransport(SocketHandle fd, std::string peerAddress, ViUInt16 port)
    : fd_(fd), peerAddress_(std::move(peerAddress)), port_(port) {}

TcpTransport::~TcpTransport() { ::close(fd_); }

void TcpTransport::interrupt() { ::shutdown(fd_, SHUT_RDWR); }

bool TcpTransport::boundBlockingReceive(const Deadline& deadline) {
  long long wantedMs = 0;  // SO_RCVTIMEO's 0: no limit
  if (!deadline.infinite()) {
    const long long leftMs = deadline.millisecondsLeft();
    if (leftMs <= 0) return false;
    // The limit already set serves when it ends at most a tenth before the deadline (the
    // rest is then waited for with poll): a session with one time-out sets it once.
    if (receiveTimeoutMs_ > 0 && receiveTimeoutMs_ <= leftMs && receiveTimeoutMs_ >= leftMs - leftMs / 10 - 1)
      return true;
    wantedMs = leftMs;
  } else if (receiveTimeoutMs_ == 0) {
    return true;
  }
  timeval limit{};
  limit.tv_sec = static_cast<time_t>(wantedMs / 1000);
  limit.tv_usec = static_cast<suseconds_t>((wantedMs % 1000) * 1000);
  if (::setsockopt(fd_, SOL_SOCKET, SO_RCVTIMEO, &limit, sizeof limit) != 0) {
    receiveTimeoutMs_ = -1;
    return false;
  }
  receiveTimeoutMs_ = wantedMs;
  return true;
}

ViStatus TcpTransport::receive(ViByte* buffer, std::size_t capacity, std::size_t* received, const Deadline& deadline) {
  *received = 0;
  // Right after a query has gone out its answer cannot be here yet: one receive that waits
  // (bounded) takes it, where a try and a poll would cost two more system calls.
  if (replyAwaited_) {
    replyAwaited_ = false;
    if (boundBlockingReceive(deadline)) {
      const ssize_t n = ::recv(fd_, buffer, capacity, 0);
      if (n > 0) {
        *received = static_cast<std::size_t>(n);
        return VI_SUCCESS;
      }
      if (n == 0) return VI_ERROR_CONN_LOST;
      if (isConnectionLoss(errno)) return VI_ERROR_CONN_LOST;
      if (errno != EAGAIN && errno != EWOULDBLOCK && errno != EINTR) return VI_ERROR_IO;
      // The limit ended (or a signal came): the loop below waits for what is left.
    }
  }
  for (;;) {
    const ssize_t n = ::recv(fd_, buffer, capacity, MSG_DONTWAIT);
    if (n > 0) {
      *received = static_cast<std::size_t>(n);
      return VI_SUCCESS;
    }
    if (n == 0) return VI_ERROR_CONN_LOST;  // orderly close by the peer
    if (errno == EINTR) continue;
    if (isConnectionLoss(errno)) return VI_ERROR_CONN_LOST;
    if (errno != EAGAIN && errno != EWOULDBLOCK) return VI_ERROR_IO;
    // Nothing waiting and no time left (the drain of late replies asks exactly this): no poll.
    if (deadline.expired()) return VI_ERROR_TMO;
    short revents = 0;
    const int ready = waitFor(fd_, POLLIN, deadline, revents);
    if (ready == 0) return VI_ERROR_TMO;
    if (ready < 0) return VI_ERROR_SYSTEM_ERROR;
    // Readable, hung up or failed: the next recv tells which.
  }
}

ViStatus TcpTransport::send(const ViByte* data, std::size_t length, std::size_t* sent, const Deadline& deadline) {
  *sent = 0;
  while (*sent < length) {
    const ssize_t n = ::send(fd_, data + *sent, length - *sent, MSG_NOSIGNAL | MSG_DONTWAIT);
    if (n > 0) {
      *sent += static_cast<std::size_t>(n);
      replyAwaited_ = true;
      continue;
    }
    if (n < 0 && errno == EINTR) continue;
    if (n < 0 && isConnectionLoss(errno)) return VI_ERROR_CONN_LOST;
    if (n < 0 && errno != EAGAIN && errno != EWOULDBLOCK) return VI_ERROR_IO;
    short revents = 0;
    const int ready = waitFor(fd_, POLLOUT, deadline, revents);
    if (ready == 0) return VI_ERROR_TMO;
    if (ready < 0) return VI_ERROR_SYSTEM_ERROR;
    if (revents & (POLLERR | POLLHUP)) return VI_ERROR_CONN_LOST;
  }
  return VI_SUCCESS;
}

bool TcpTransport::readSocketFlag(int level, int name, bool& on) const {
  int value = 0;
  socklen_t length = sizeof value;
  if (::getsockopt(fd_, level, name, &value, &length) != 0) return false;
  on = value != 0;
  return true;
}

bool TcpTransport::writeSocketFlag(int level, int name, bool on) {
  const int value = on ? 1 : 0;
  return ::setsockopt(fd_, level, name, &value, sizeof value) == 0;
}

}  // namespace hnvqr::visa
