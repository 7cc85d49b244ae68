// A small TCP server on 127.0.0.1 and an ephemeral port that plays an instrument: each
// connection runs the handler on a thread of its own.
#ifndef HNVISA_TEST_LOOPBACK_SERVER_H
#define HNVISA_TEST_LOOPBACK_SERVER_H

#include <atomic>
#include <cstdint>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace hnvqr::visa::test {

class LoopbackServer {
 public:
  // The handler owns nothing: the server closes the connection when it returns.
  explicit LoopbackServer(std::function<void(int connection)> handler);
  ~LoopbackServer();
  LoopbackServer(const LoopbackServer&) = delete;
  LoopbackServer& operator=(const LoopbackServer&) = delete;

  std::uint16_t port() const { return port_; }
  std::string resourceName() const { return "TCPIP0::127.0.0.1::" + std::to_string(port_) + "::SOCKET"; }
  int connectionsAccepted() const { return accepted_.load(); }
  bool stopping() const { return stop_.load(); }

  // Helpers for handlers. readLine returns false when the client went away (or the server stops).
  static bool readLine(int connection, std::string& line, const LoopbackServer* server = nullptr);
  static void writeAll(int connection, const std::string& bytes);

 private:
  void acceptLoop();

  std::function<void(int)> handler_;
  int listener_ = -1;
  std::uint16_t port_ = 0;
  std::atomic<bool> stop_{false};
  std::atomic<int> accepted_{0};
  std::thread acceptor_;
  std::mutex connectionsMutex_;  // guards connections_
  std::vector<std::thread> connections_;
};

// A port on 127.0.0.1 where nothing listens (bound once, then released).
std::uint16_t unusedLoopbackPort();

}  // namespace hnvqr::visa::test

#endif
