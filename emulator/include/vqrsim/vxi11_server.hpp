// The emulator's VXI-11 front end: a portmapper and the instrument's core channel over
// ONC RPC on TCP, answering program messages from the same Server (and so the same
// instrument, transcript, reply overrides, delays and drops) as the socket and serial
// front ends.
//
// Threads and locks: start() runs one accepting thread; each client connection (to the
// portmapper or the core channel) is served on a thread of its own, at most
// kMaxConnections at once. Connections share nothing but the Server, which guards its
// instrument with its own mutex, and the link counter, which is atomic. connections_mutex_
// guards the list of connection threads and their fds; lifecycle_mutex_ serialises
// start and stop. Waits inside a call look at the stop and drop flags every few
// milliseconds, so stop() never waits on a stalled client.
#pragma once

#include <atomic>
#include <cstdint>
#include <list>
#include <memory>
#include <mutex>
#include <string>
#include <thread>

#include "vqrsim/server.hpp"

namespace vqrsim {

class Vxi11Server {
 public:
  static constexpr std::size_t kMaxConnections = 16;
  // The largest device_write the instrument takes (its maxRecvSize), and the most a
  // device_read returns.
  static constexpr std::uint32_t kMaxTransfer = 16384;

  explicit Vxi11Server(Server& instrument);
  ~Vxi11Server();  // stops
  Vxi11Server(const Vxi11Server&) = delete;
  Vxi11Server& operator=(const Vxi11Server&) = delete;

  // Listens on host for the portmapper (on portmapper_port; 0 picks a free one, 111 is
  // the standard one) and for the core channel (a free port), and returns the resource
  // string a client opens, "TCPIP0::<host>::INSTR". Throws std::runtime_error when a
  // socket cannot be opened or the server already runs.
  std::string start(const std::string& host = "127.0.0.1", std::uint16_t portmapper_port = 0);
  void stop();

  std::uint16_t portmapper_port() const;
  std::uint16_t core_port() const;
  std::size_t links_created() const { return links_created_; }

  // Closes every client connection now, as an instrument that is switched off.
  void drop_connections();
  // The core channel reads calls and answers none of them, until cleared.
  void set_silent(bool silent) { silent_ = silent; }
  // The next reply is cut after half its bytes and the connection closed.
  void cut_next_reply() { cut_next_reply_ = true; }

 private:
  struct Connection;
  void accept_loop();
  void serve(Connection& connection);

  Server& instrument_;
  mutable std::mutex lifecycle_mutex_;
  std::thread acceptor_;
  int portmapper_listener_ = -1;
  int core_listener_ = -1;
  int wake_read_ = -1;
  int wake_write_ = -1;
  std::uint16_t portmapper_port_ = 0;
  std::uint16_t core_port_ = 0;

  std::mutex connections_mutex_;
  std::list<std::unique_ptr<Connection>> connections_;

  std::atomic<bool> stop_requested_{false};
  std::atomic<bool> silent_{false};
  std::atomic<bool> cut_next_reply_{false};
  std::atomic<std::uint32_t> next_link_{1};
  std::atomic<std::size_t> links_created_{0};
};

}  // namespace vqrsim
