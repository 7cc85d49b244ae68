#include "loopback_server.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <stdexcept>

namespace hnvqr::visa::test {
namespace {

int bindLoopback(std::uint16_t& port) {
  const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  if (fd < 0) throw std::runtime_error("socket");
  const int on = 1;
  ::setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  address.sin_port = 0;
  if (::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0) throw std::runtime_error("bind");
  socklen_t length = sizeof address;
  ::getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length);
  port = ntohs(address.sin_port);
  return fd;
}

}  // namespace

LoopbackServer::LoopbackServer(std::function<void(int)> handler) : handler_(std::move(handler)) {
  listener_ = bindLoopback(port_);
  if (::listen(listener_, 64) != 0) throw std::runtime_error("listen");
  acceptor_ = std::thread([this] { acceptLoop(); });
}

LoopbackServer::~LoopbackServer() {
  stop_ = true;
  acceptor_.join();
  ::close(listener_);
  const std::lock_guard lock(connectionsMutex_);
  for (auto& connection : connections_) connection.join();
}

void LoopbackServer::acceptLoop() {
  while (!stop_) {
    pollfd p{listener_, POLLIN, 0};
    if (::poll(&p, 1, 20) <= 0) continue;
    const int connection = ::accept4(listener_, nullptr, nullptr, SOCK_CLOEXEC);
    if (connection < 0) continue;
    ++accepted_;
    const std::lock_guard lock(connectionsMutex_);
    connections_.emplace_back([this, connection] {
      handler_(connection);
      ::close(connection);
    });
  }
}

bool LoopbackServer::readLine(int connection, std::string& line, const LoopbackServer* server) {
  line.clear();
  for (;;) {
    pollfd p{connection, POLLIN, 0};
    const int ready = ::poll(&p, 1, 20);
    if (server != nullptr && server->stopping()) return false;
    if (ready <= 0) continue;
    char c = 0;
    if (::recv(connection, &c, 1, 0) != 1) return false;
    line += c;
    if (c == '\n') return true;
  }
}

void LoopbackServer::writeAll(int connection, const std::string& bytes) {
  std::size_t sent = 0;
  while (sent < bytes.size()) {
    const ssize_t n = ::send(connection, bytes.data() + sent, bytes.size() - sent, MSG_NOSIGNAL);
    if (n <= 0) return;
    sent += static_cast<std::size_t>(n);
  }
}

std::uint16_t unusedLoopbackPort() {
  std::uint16_t port = 0;
  const int fd = bindLoopback(port);
  ::close(fd);
  return port;
}

}  // namespace hnvqr::visa::test
