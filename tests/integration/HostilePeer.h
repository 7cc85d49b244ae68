// A scripted TCP peer that answers like a supply until one query header is named hostile,
// then answers that header with a behaviour no instrument should have: silence, endless or
// huge replies, a trickle, garbage, a link closed or reset mid-reply, or no reading at all.
// It never buffers what it sends or receives, so the process's memory shows only what the
// driver holds.
#pragma once

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cstring>
#include <functional>
#include <mutex>
#include <string>
#include <thread>

namespace hostile {

using Clock = std::chrono::steady_clock;

class Peer;

// What the peer does with the hostile query; returns false to close the connection.
using Behaviour = std::function<bool(Peer& peer, int fd)>;

class Peer {
 public:
  Peer() {
    listener_ = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof address;
    ::bind(listener_, reinterpret_cast<sockaddr*>(&address), sizeof address);
    ::listen(listener_, 8);
    ::getsockname(listener_, reinterpret_cast<sockaddr*>(&address), &length);
    resource_ = "TCPIP0::127.0.0.1::" + std::to_string(ntohs(address.sin_port)) + "::SOCKET";
    thread_ = std::thread([this] { Serve(); });
  }
  ~Peer() {
    stop_ = true;
    thread_.join();
    ::close(listener_);
  }
  Peer(const Peer&) = delete;
  Peer& operator=(const Peer&) = delete;

  const std::string& resource() const { return resource_; }

  // From now on, lines whose header is `header` get `behaviour` instead of an answer.
  void MakeHostile(std::string header, Behaviour behaviour) {
    const std::lock_guard lock(mutex_);
    hostileHeader_ = std::move(header);
    behaviour_ = std::move(behaviour);
    calm_ = false;
  }
  // Ends every hostile behaviour; the next connection is served well.
  void Calm() {
    {
      const std::lock_guard lock(mutex_);
      hostileHeader_.clear();
      behaviour_ = nullptr;
    }
    calm_ = true;
  }
  bool calm() const { return calm_ || stop_; }

  // Sends all of `bytes` unless the client goes or, for a behaviour, the peer is calmed;
  // false then.
  bool Send(int fd, const char* bytes, std::size_t length, bool untilCalmed = true) {
    while (length > 0) {
      if (stop_ || (untilCalmed && calm_)) return false;
      const ssize_t n = ::send(fd, bytes, length, MSG_NOSIGNAL | MSG_DONTWAIT);
      if (n > 0) {
        bytes += n;
        length -= static_cast<std::size_t>(n);
        continue;
      }
      if (n < 0 && errno != EAGAIN && errno != EWOULDBLOCK && errno != EINTR) return false;
      pollfd waiter{fd, POLLOUT, 0};
      ::poll(&waiter, 1, 20);
    }
    return true;
  }
  bool Send(int fd, const std::string& bytes) { return Send(fd, bytes.data(), bytes.size()); }
  // Waits, woken early by Calm(); false when calmed.
  bool Pause(std::chrono::milliseconds duration) {
    const auto until = Clock::now() + duration;
    while (Clock::now() < until) {
      if (calm()) return false;
      std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    return true;
  }

 private:
  static std::string Header(const std::string& line) { return line.substr(0, line.find_first_of(" \n")); }
  static std::string GoodAnswer(const std::string& header) {
    if (header == "*IDN?") return "Halvorn,VQR-A4,SN1,2.14\n";
    if (header == "*ESR?" || header == "*OPC?") return "0\n";
    if (header == "SYST:ERR?" || header == ":SYST:ERR?") return "0,\"No error\"\n";
    if (header == "MEAS:VOLT?") return "1.5\n";
    return header.find('?') != std::string::npos ? "0\n" : "";
  }

  void Serve() {
    while (!stop_) {
      pollfd waiter{listener_, POLLIN, 0};
      if (::poll(&waiter, 1, 20) <= 0) continue;
      const int fd = ::accept4(listener_, nullptr, nullptr, SOCK_CLOEXEC);
      if (fd < 0) continue;
      ServeClient(fd);
      ::close(fd);
    }
  }

  void ServeClient(int fd) {
    std::string line;  // bounded: a peer that floods lines is not the subject here
    char chunk[4096];
    while (!stop_) {
      pollfd waiter{fd, POLLIN, 0};
      if (::poll(&waiter, 1, 20) <= 0) continue;
      const ssize_t n = ::recv(fd, chunk, sizeof chunk, 0);
      if (n <= 0) return;
      for (ssize_t i = 0; i < n; ++i) {
        if (line.size() < 4096) line += chunk[i];
        if (chunk[i] != '\n') continue;
        const std::string header = Header(line);
        line.clear();
        Behaviour behaviour;
        {
          const std::lock_guard lock(mutex_);
          if (header == hostileHeader_) behaviour = behaviour_;
        }
        if (behaviour) {
          if (!behaviour(*this, fd)) return;
        } else if (const std::string answer = GoodAnswer(header); !Send(fd, answer.data(), answer.size(), false)) {
          return;
        }
      }
    }
  }

  int listener_ = -1;
  std::string resource_;
  std::thread thread_;
  std::atomic<bool> stop_{false};
  std::atomic<bool> calm_{true};
  std::mutex mutex_;  // guards hostileHeader_ and behaviour_
  std::string hostileHeader_;
  Behaviour behaviour_;
};

// The behaviours.
inline Behaviour Silent() {
  return [](Peer&, int) { return true; };
}
inline Behaviour Answer(std::string bytes) {
  return [bytes](Peer& peer, int fd) { return peer.Send(fd, bytes) || true; };
}
// `pattern` over and over until calmed or the client goes.
inline Behaviour Endless(std::string pattern) {
  return [pattern](Peer& peer, int fd) {
    std::string block;
    while (block.size() < 65536) block += pattern;
    while (peer.Send(fd, block)) {
    }
    return false;
  };
}
// One line of `size` bytes, with or without its line feed.
inline Behaviour Huge(std::size_t size, bool terminated) {
  return [size, terminated](Peer& peer, int fd) {
    const std::string block(65536, '7');
    for (std::size_t sent = 0; sent < size; sent += block.size())
      if (!peer.Send(fd, block.data(), std::min(block.size(), size - sent))) return false;
    if (terminated) peer.Send(fd, "\n", 1);
    return true;
  };
}
// `bytes` one at a time, `interval` apart; then again, for ever, when `repeat`.
inline Behaviour Trickle(std::string bytes, std::chrono::milliseconds interval, bool repeat) {
  return [bytes, interval, repeat](Peer& peer, int fd) {
    do {
      for (char c : bytes)
        if (!peer.Pause(interval) || !peer.Send(fd, &c, 1)) return false;
    } while (repeat);
    return true;
  };
}
// The start of a reply, then the link closed (or reset, with no orderly close).
inline Behaviour CutMidReply(bool reset) {
  return [reset](Peer& peer, int fd) {
    peer.Send(fd, "1.2", 3);
    if (reset) {
      const linger abort{1, 0};
      ::setsockopt(fd, SOL_SOCKET, SO_LINGER, &abort, sizeof abort);
    }
    return false;
  };
}
// Stops reading: whatever the client sends next fills the buffers and stays there.
inline Behaviour NeverReadsAgain() {
  return [](Peer& peer, int) {
    while (peer.Pause(std::chrono::milliseconds(50))) {
    }
    return false;
  };
}

}  // namespace hostile
