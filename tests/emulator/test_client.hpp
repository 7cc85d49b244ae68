// Plain clients for the emulator's front ends: a TCP socket and a termios serial port,
// both with time-outs so that a failing test ends instead of hanging.
#pragma once

#include <arpa/inet.h>
#include <cerrno>
#include <chrono>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <string>
#include <sys/socket.h>
#include <termios.h>
#include <unistd.h>

namespace vqrsim::testing {

class FdClient {
 public:
  FdClient() = default;
  explicit FdClient(int fd) : fd_(fd) {}
  FdClient(const FdClient&) = delete;
  FdClient& operator=(const FdClient&) = delete;
  ~FdClient() { close_now(); }

  bool valid() const { return fd_ >= 0; }
  int fd() const { return fd_; }
  void close_now() {
    if (fd_ >= 0) ::close(fd_);
    fd_ = -1;
  }

  bool send(const std::string& bytes) {
    std::size_t sent = 0;
    while (sent < bytes.size()) {
      const ssize_t n = ::write(fd_, bytes.data() + sent, bytes.size() - sent);
      if (n < 0 && errno == EINTR) continue;
      if (n <= 0) return false;
      sent += static_cast<std::size_t>(n);
    }
    return true;
  }

  // Reads up to and including "\n"; what arrived so far on time-out or end of stream.
  std::string read_line(std::chrono::milliseconds timeout = std::chrono::milliseconds(2000)) {
    std::string line;
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    while (line.empty() || line.back() != '\n') {
      char c = 0;
      if (read_some(&c, 1, deadline) != 1) break;
      line += c;
    }
    return line;
  }

  // Everything that arrives until `quiet` passes without a byte (or the stream ends).
  std::string read_for(std::chrono::milliseconds quiet) {
    std::string bytes;
    char buffer[256];
    while (true) {
      const ssize_t n = read_some(buffer, sizeof buffer, std::chrono::steady_clock::now() + quiet);
      if (n <= 0) break;
      bytes.append(buffer, static_cast<std::size_t>(n));
    }
    return bytes;
  }

  // True when the peer closed the stream before the time-out.
  bool closed_by_peer(std::chrono::milliseconds timeout = std::chrono::milliseconds(2000)) {
    char c = 0;
    return read_some(&c, 1, std::chrono::steady_clock::now() + timeout) == 0;
  }

  std::string ask(const std::string& line) {
    if (!send(line)) return {};
    return read_line();
  }

  // Bytes read, 0 at end of stream, -1 on time-out or error.
  ssize_t read_some(char* buffer, std::size_t size, std::chrono::steady_clock::time_point deadline) {
    while (true) {
      const auto left =
          std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
      if (left.count() < 0) return -1;
      pollfd waiter{fd_, POLLIN, 0};
      const int ready = ::poll(&waiter, 1, static_cast<int>(left.count()));
      if (ready < 0 && errno == EINTR) continue;
      if (ready <= 0) return -1;
      const ssize_t n = ::read(fd_, buffer, size);
      if (n < 0 && (errno == EINTR || errno == EAGAIN)) continue;
      return n < 0 ? (errno == EIO ? 0 : -1) : n;
    }
  }

 private:
  int fd_ = -1;
};

inline int connect_tcp(std::uint16_t port) {
  const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_port = htons(port);
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  if (::connect(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0) {
    ::close(fd);
    return -1;
  }
  return fd;
}

// Opens a serial device the way a VISA library would: raw, 8N1, no flow control.
inline int open_serial(const std::string& path, speed_t speed) {
  const int fd = ::open(path.c_str(), O_RDWR | O_NOCTTY | O_CLOEXEC);
  if (fd < 0) return -1;
  termios settings{};
  tcgetattr(fd, &settings);
  cfmakeraw(&settings);
  settings.c_cflag |= CLOCAL | CREAD;
  cfsetispeed(&settings, speed);
  cfsetospeed(&settings, speed);
  tcsetattr(fd, TCSANOW, &settings);
  return fd;
}

}  // namespace vqrsim::testing
