#include "vqrsim/vxi11_server.hpp"

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <deque>
#include <fcntl.h>
#include <map>
#include <poll.h>
#include <stdexcept>
#include <string_view>
#include <sys/socket.h>
#include <unistd.h>
#include <vector>

#include "tcp_endpoint.hpp"

namespace vqrsim {
namespace {

using Clock = std::chrono::steady_clock;

constexpr std::uint32_t kPortmapperProgram = 100000;
constexpr std::uint32_t kPortmapperVersion = 2;
constexpr std::uint32_t kPortmapperGetPort = 3;
constexpr std::uint32_t kProtocolTcp = 6;
constexpr std::uint32_t kCoreProgram = 0x0607AF;
constexpr std::uint32_t kCoreVersion = 1;

enum CoreProcedure : std::uint32_t {
  kCreateLink = 10,
  kDeviceWrite = 11,
  kDeviceRead = 12,
  kDeviceReadStb = 13,
  kDeviceClear = 15,
  kDestroyLink = 23,
};

enum DeviceError : std::uint32_t {
  kNoError = 0,
  kDeviceNotAccessible = 3,
  kInvalidLink = 4,
  kParameterError = 5,
  kNotSupported = 8,
  kOutOfResources = 9,
  kIoTimeout = 15,
};

constexpr std::uint32_t kFlagEnd = 8;
constexpr std::uint32_t kFlagTermChar = 128;
constexpr std::uint32_t kReasonRequestCount = 1;
constexpr std::uint32_t kReasonTermChar = 2;
constexpr std::uint32_t kReasonEnd = 4;

enum AcceptStat : std::uint32_t {
  kSuccess = 0,
  kProgramUnavailable = 1,
  kProgramMismatch = 2,
  kProcedureUnavailable = 3,
  kGarbageArguments = 4
};

// A call record holds a device_write of kMaxTransfer bytes and the RPC header around it.
constexpr std::size_t kMaxCallRecord = Vxi11Server::kMaxTransfer + 1024;
constexpr std::size_t kMaxAuthBody = 400;
constexpr std::size_t kMaxLinksPerConnection = 8;
// Replies waiting to be read on one link; beyond this the oldest are lost, as in an
// instrument's output queue that nobody reads.
constexpr std::size_t kMaxPendingOutput = 64 * 1024;
constexpr std::chrono::milliseconds kFlagPoll{5};

class XdrReader {
 public:
  XdrReader(const std::string& bytes, std::size_t from) : bytes_(bytes), position_(from) {}
  std::uint32_t u32() {
    if (bytes_.size() - position_ < 4 || position_ > bytes_.size()) {
      good_ = false;
      return 0;
    }
    const auto* p = reinterpret_cast<const unsigned char*>(bytes_.data() + position_);
    position_ += 4;
    return (std::uint32_t{p[0]} << 24) | (std::uint32_t{p[1]} << 16) | (std::uint32_t{p[2]} << 8) | p[3];
  }
  std::string_view opaque(std::size_t max_length) {
    const std::uint32_t length = u32();
    const std::size_t padded = std::size_t{length} + (4 - length % 4) % 4;
    if (!good_ || length > max_length || bytes_.size() - position_ < padded) {
      good_ = false;
      return {};
    }
    const std::string_view view(bytes_.data() + position_, length);
    position_ += padded;
    return view;
  }
  bool good() const { return good_; }

 private:
  const std::string& bytes_;
  std::size_t position_;
  bool good_ = true;
};

class XdrWriter {
 public:
  void u32(std::uint32_t value) {
    const char word[4] = {static_cast<char>(value >> 24), static_cast<char>(value >> 16), static_cast<char>(value >> 8),
                          static_cast<char>(value)};
    bytes_.append(word, 4);
  }
  void opaque(std::string_view data) {
    u32(static_cast<std::uint32_t>(data.size()));
    bytes_.append(data);
    bytes_.append((4 - data.size() % 4) % 4, '\0');
  }
  std::string& bytes() { return bytes_; }

 private:
  std::string bytes_;
};

}  // namespace

// The per-link state lives in a named namespace: Vxi11Server::Connection holds it.
namespace vxi11_link {

struct PendingReply {
  std::string bytes;
  std::size_t taken = 0;
  Clock::time_point ready_at;
  std::size_t split_chunk = 0;  // 0: all at once
  std::chrono::milliseconds split_pause{0};

  // Bytes of this reply the instrument has "sent" by now.
  std::size_t available(Clock::time_point now) const {
    if (now < ready_at) return 0;
    if (split_chunk == 0 || split_pause.count() <= 0) return bytes.size();
    const auto pieces = 1 + (now - ready_at) / split_pause;
    return std::min(bytes.size(), split_chunk * static_cast<std::size_t>(pieces));
  }
};

struct Link {
  std::string input;  // a program message line still being received
  bool discarding = false;
  std::deque<PendingReply> output;
  std::size_t output_bytes = 0;
};

}  // namespace vxi11_link

using vxi11_link::Link;
using vxi11_link::PendingReply;

struct Vxi11Server::Connection {
  int fd = -1;  // closed by the connection's thread when it ends; guarded by connections_mutex_
  std::thread thread;
  std::atomic<bool> done{false};
  std::atomic<bool> dropped{false};
  std::map<std::uint32_t, Link> links;  // used by the connection's thread only
};

namespace {

// What handling one call decided.
enum class Outcome { Reply, NoReply, Close };

class CallHandler {
 public:
  CallHandler(Server& instrument, std::uint16_t core_port, std::atomic<std::uint32_t>& next_link,
              std::atomic<std::size_t>& links_created, const std::atomic<bool>& stop, const std::atomic<bool>& dropped,
              std::map<std::uint32_t, Link>& links)
      : instrument_(instrument),
        core_port_(core_port),
        next_link_(next_link),
        links_created_(links_created),
        stop_(stop),
        dropped_(dropped),
        links_(links) {}

  // Parses one call record and writes its reply record (without the record mark).
  Outcome handle(const std::string& record, std::string& reply) {
    XdrReader call(record, 0);
    const std::uint32_t xid = call.u32();
    const std::uint32_t type = call.u32();
    const std::uint32_t rpc_version = call.u32();
    const std::uint32_t program = call.u32();
    const std::uint32_t version = call.u32();
    const std::uint32_t procedure = call.u32();
    for (int i = 0; i < 2; ++i) {  // credentials, then verifier
      call.u32();
      call.opaque(kMaxAuthBody);
    }
    if (!call.good() || type != 0) return Outcome::Close;
    XdrWriter out;
    out.u32(xid);
    out.u32(1);  // REPLY
    if (rpc_version != 2) {
      for (const std::uint32_t word : {1u, 0u, 2u, 2u}) out.u32(word);  // MSG_DENIED, RPC_MISMATCH 2..2
      reply = std::move(out.bytes());
      return Outcome::Reply;
    }
    out.u32(0);  // MSG_ACCEPTED
    out.u32(0);  // verifier AUTH_NONE
    out.u32(0);
    XdrWriter results;
    AcceptStat stat = kSuccess;
    Outcome outcome = Outcome::Reply;
    if (program == kPortmapperProgram && version == kPortmapperVersion) {
      stat = portmapper(procedure, call, results);
    } else if (program == kCoreProgram && version == kCoreVersion) {
      stat = core(procedure, call, results, outcome);
    } else if (program == kPortmapperProgram || program == kCoreProgram) {
      stat = kProgramMismatch;
      const std::uint32_t supported = program == kCoreProgram ? kCoreVersion : kPortmapperVersion;
      results.u32(supported);
      results.u32(supported);
    } else {
      stat = kProgramUnavailable;
    }
    if (outcome != Outcome::Reply) return outcome;
    out.u32(stat);
    out.bytes() += results.bytes();
    reply = std::move(out.bytes());
    return Outcome::Reply;
  }

 private:
  AcceptStat portmapper(std::uint32_t procedure, XdrReader& call, XdrWriter& results) {
    if (procedure == 0) return kSuccess;
    if (procedure != kPortmapperGetPort) return kProcedureUnavailable;
    const std::uint32_t program = call.u32();
    const std::uint32_t version = call.u32();
    const std::uint32_t protocol = call.u32();
    call.u32();
    if (!call.good()) return kGarbageArguments;
    const bool ours = program == kCoreProgram && version == kCoreVersion && protocol == kProtocolTcp;
    results.u32(ours ? core_port_ : 0);
    return kSuccess;
  }

  AcceptStat core(std::uint32_t procedure, XdrReader& call, XdrWriter& results, Outcome& outcome) {
    switch (procedure) {
      case 0:
        return kSuccess;
      case kCreateLink:
        return create_link(call, results);
      case kDeviceWrite:
        return device_write(call, results, outcome);
      case kDeviceRead:
        return device_read(call, results, outcome);
      case kDeviceReadStb:
        return device_readstb(call, results);
      case kDeviceClear:
        return device_clear(call, results);
      case kDestroyLink: {
        const std::uint32_t link = call.u32();
        if (!call.good()) return kGarbageArguments;
        results.u32(links_.erase(link) == 1 ? kNoError : kInvalidLink);
        return kSuccess;
      }
      case 14:
      case 16:
      case 17:
      case 18:
      case 19:
      case 20:
      case 22:
      case 25:
      case 26:
        // trigger, remote, local, lock, unlock, SRQ, docmd, interrupt channel
        results.u32(kNotSupported);
        if (procedure == 22) results.opaque({});
        return kSuccess;
      default:
        return kProcedureUnavailable;
    }
  }

  AcceptStat create_link(XdrReader& call, XdrWriter& results) {
    call.u32();  // clientId
    call.u32();  // lockDevice
    call.u32();  // lock_timeout
    const std::string_view device = call.opaque(256);
    if (!call.good()) return kGarbageArguments;
    std::uint32_t error = kNoError;
    std::uint32_t id = 0;
    if (device != "inst0") {
      error = kDeviceNotAccessible;
    } else if (links_.size() >= kMaxLinksPerConnection) {
      error = kOutOfResources;
    } else {
      id = next_link_++;
      links_.emplace(id, Link{});
      ++links_created_;
    }
    results.u32(error);
    results.u32(id);
    results.u32(0);  // abortPort: no abort channel
    results.u32(Vxi11Server::kMaxTransfer);
    return kSuccess;
  }

  Link* find_link(std::uint32_t id) {
    const auto found = links_.find(id);
    return found == links_.end() ? nullptr : &found->second;
  }

  // Hands one complete line to the instrument; false when the client is to be dropped.
  bool run_line(Link& link, const std::string& line) {
    const Server::LineResponse exchange = instrument_.handle_line(line);
    if (exchange.drop) return false;
    if (exchange.reply.empty()) return true;
    while (!link.output.empty() && link.output_bytes + exchange.reply.size() > kMaxPendingOutput) {
      link.output_bytes -= link.output.front().bytes.size();
      link.output.pop_front();
    }
    if (exchange.reply.size() > kMaxPendingOutput) return true;
    link.output_bytes += exchange.reply.size();
    link.output.push_back(PendingReply{std::move(exchange.reply), 0, Clock::now() + exchange.delay,
                                       exchange.split_chunk, exchange.split_pause});
    return true;
  }

  AcceptStat device_write(XdrReader& call, XdrWriter& results, Outcome& outcome) {
    const std::uint32_t id = call.u32();
    call.u32();  // io_timeout: a write is taken at once
    call.u32();  // lock_timeout
    const std::uint32_t flags = call.u32();
    const std::string_view data = call.opaque(Vxi11Server::kMaxTransfer);
    if (!call.good()) return kGarbageArguments;
    Link* link = find_link(id);
    if (link == nullptr) {
      results.u32(kInvalidLink);
      results.u32(0);
      return kSuccess;
    }
    // Lines end at a newline, and at END: an instrument takes END as the terminator too.
    std::string_view rest = data;
    const bool end = (flags & kFlagEnd) != 0;
    while (!rest.empty() || (end && (!link->input.empty() || link->discarding))) {
      const std::size_t newline = rest.find('\n');
      const std::string_view piece = rest.substr(0, newline);
      if (!link->discarding) link->input.append(piece);
      if (link->input.size() > Instrument::kMaxLineLength) {
        link->discarding = true;
        link->input.clear();
      }
      const bool terminated = newline != std::string_view::npos;
      rest.remove_prefix(terminated ? newline + 1 : rest.size());
      if (!terminated && !(end && rest.empty())) break;
      if (link->discarding) {
        link->discarding = false;
        instrument_.reject_overlong_line();
      } else {
        std::string line = std::move(link->input);
        link->input.clear();
        line += '\n';
        if (!run_line(*link, line)) {
          outcome = Outcome::Close;
          return kSuccess;
        }
      }
      if (!terminated) break;
    }
    results.u32(kNoError);
    results.u32(static_cast<std::uint32_t>(data.size()));
    return kSuccess;
  }

  // Sleeps until `until`, or less when the server stops or drops its clients.
  bool wait_until(Clock::time_point until) const {
    while (Clock::now() < until) {
      if (stop_ || dropped_) return false;
      std::this_thread::sleep_for(std::min<Clock::duration>(kFlagPoll, until - Clock::now()));
    }
    return true;
  }

  AcceptStat device_read(XdrReader& call, XdrWriter& results, Outcome& outcome) {
    const std::uint32_t id = call.u32();
    const std::uint32_t request_size = call.u32();
    const std::uint32_t io_timeout = call.u32();
    call.u32();  // lock_timeout
    const std::uint32_t flags = call.u32();
    const auto term_char = static_cast<char>(call.u32());
    if (!call.good()) return kGarbageArguments;
    Link* link = find_link(id);
    if (link == nullptr) {
      results.u32(kInvalidLink);
      results.u32(0);
      results.opaque({});
      return kSuccess;
    }
    const std::size_t request = std::min<std::size_t>(request_size, Vxi11Server::kMaxTransfer);
    const auto started = Clock::now();
    const auto timeout_at = started + std::chrono::milliseconds(io_timeout);
    // Waits for the first byte of a reply that is not all there yet.
    for (;;) {
      const auto now = Clock::now();
      if (!link->output.empty()) {
        const PendingReply& front = link->output.front();
        if (front.available(now) > front.taken) break;
      }
      if (now >= timeout_at) {
        results.u32(kIoTimeout);
        results.u32(0);
        results.opaque({});
        return kSuccess;
      }
      auto next = timeout_at;
      if (!link->output.empty()) {
        const PendingReply& front = link->output.front();
        next = std::min(next, now < front.ready_at ? front.ready_at : now + front.split_pause);
      }
      if (!wait_until(std::min(next, now + std::chrono::milliseconds(50)))) {
        outcome = Outcome::Close;
        return kSuccess;
      }
    }
    PendingReply& front = link->output.front();
    std::size_t count = std::min(front.available(Clock::now()) - front.taken, request);
    std::uint32_t reason = 0;
    if ((flags & kFlagTermChar) != 0) {
      const std::size_t at = front.bytes.find(term_char, front.taken);
      if (at != std::string::npos && at < front.taken + count) {
        count = at - front.taken + 1;
        reason |= kReasonTermChar;
      }
    }
    const std::string_view data(front.bytes.data() + front.taken, count);
    front.taken += count;
    if (front.taken == front.bytes.size())
      reason |= kReasonEnd;
    else if (count == request)
      reason |= kReasonRequestCount;
    results.u32(kNoError);
    results.u32(reason);
    results.opaque(data);
    if (front.taken == front.bytes.size()) {
      link->output_bytes -= front.bytes.size();
      link->output.pop_front();
    }
    return kSuccess;
  }

  AcceptStat device_readstb(XdrReader& call, XdrWriter& results) {
    const std::uint32_t id = call.u32();
    if (!call.good()) return kGarbageArguments;
    if (find_link(id) == nullptr) {
      results.u32(kInvalidLink);
      results.u32(0);
      return kSuccess;
    }
    const std::string answer = instrument_.execute("*STB?\n");
    results.u32(kNoError);
    results.u32(static_cast<std::uint32_t>(std::strtoul(answer.c_str(), nullptr, 10) & 0xFF));
    return kSuccess;
  }

  AcceptStat device_clear(XdrReader& call, XdrWriter& results) {
    const std::uint32_t id = call.u32();
    if (!call.good()) return kGarbageArguments;
    Link* link = find_link(id);
    if (link == nullptr) {
      results.u32(kInvalidLink);
      return kSuccess;
    }
    *link = Link{};
    results.u32(kNoError);
    return kSuccess;
  }

  Server& instrument_;
  const std::uint16_t core_port_;
  std::atomic<std::uint32_t>& next_link_;
  std::atomic<std::size_t>& links_created_;
  const std::atomic<bool>& stop_;
  const std::atomic<bool>& dropped_;
  std::map<std::uint32_t, Link>& links_;
};

// Waits for `events` on fd in short slices, giving up when `give_up` says so. 1 when
// ready, 0 when given up, -1 on a broken descriptor.
template <typename GiveUp>
int wait_for(int fd, short events, GiveUp&& give_up) {
  for (;;) {
    if (give_up()) return 0;
    pollfd p{fd, events, 0};
    const int ready = poll(&p, 1, static_cast<int>(kFlagPoll.count() * 4));
    if (ready < 0 && errno != EINTR) return -1;
    if (ready > 0) return (p.revents & POLLNVAL) != 0 ? -1 : 1;
  }
}

}  // namespace

Vxi11Server::Vxi11Server(Server& instrument) : instrument_(instrument) {}

Vxi11Server::~Vxi11Server() { stop(); }

std::string Vxi11Server::start(const std::string& host, std::uint16_t portmapper_port) {
  std::lock_guard lifecycle(lifecycle_mutex_);
  if (acceptor_.joinable()) throw std::runtime_error("the VXI-11 server is already running");
  std::string error;
  const int portmapper = detail::open_tcp_listener(host, portmapper_port, portmapper_port_, error);
  if (portmapper < 0) throw std::runtime_error(error);
  const int core = detail::open_tcp_listener(host, 0, core_port_, error);
  int fds[2] = {-1, -1};
  if (core < 0 || pipe2(fds, O_CLOEXEC | O_NONBLOCK) != 0) {
    close(portmapper);
    if (core >= 0) close(core);
    throw std::runtime_error(core < 0 ? error : "pipe2 failed");
  }
  portmapper_listener_ = portmapper;
  core_listener_ = core;
  wake_read_ = fds[0];
  wake_write_ = fds[1];
  stop_requested_ = false;
  acceptor_ = std::thread([this] { accept_loop(); });
  const std::string shown_host = host == "0.0.0.0" ? "127.0.0.1" : host;
  return "TCPIP0::" + shown_host + "::INSTR";
}

void Vxi11Server::stop() {
  std::lock_guard lifecycle(lifecycle_mutex_);
  if (!acceptor_.joinable()) return;
  stop_requested_ = true;
  const char byte = 1;
  [[maybe_unused]] const ssize_t written = write(wake_write_, &byte, 1);
  acceptor_.join();
  {
    std::list<std::unique_ptr<Connection>> finishing;
    {
      std::lock_guard lock(connections_mutex_);
      finishing.swap(connections_);
    }
    // Each sees the stop flag and closes its own descriptor (under connections_mutex_).
    for (auto& connection : finishing) connection->thread.join();
  }
  for (int* fd : {&portmapper_listener_, &core_listener_, &wake_read_, &wake_write_}) {
    if (*fd >= 0) close(*fd);
    *fd = -1;
  }
  portmapper_port_ = 0;
  core_port_ = 0;
}

std::uint16_t Vxi11Server::portmapper_port() const {
  std::lock_guard lifecycle(lifecycle_mutex_);
  return portmapper_port_;
}

std::uint16_t Vxi11Server::core_port() const {
  std::lock_guard lifecycle(lifecycle_mutex_);
  return core_port_;
}

void Vxi11Server::drop_connections() {
  std::lock_guard lock(connections_mutex_);
  for (auto& connection : connections_) {
    if (connection->fd < 0) continue;
    connection->dropped = true;
    shutdown(connection->fd, SHUT_RDWR);
  }
}

void Vxi11Server::accept_loop() {
  while (!stop_requested_) {
    pollfd fds[3] = {{portmapper_listener_, POLLIN, 0}, {core_listener_, POLLIN, 0}, {wake_read_, POLLIN, 0}};
    if (poll(fds, 3, -1) < 0 && errno != EINTR) return;
    if (fds[2].revents != 0) continue;  // a stop: the loop condition tells
    for (int i = 0; i < 2; ++i) {
      if ((fds[i].revents & POLLIN) == 0) continue;
      const int client = detail::accept_client(fds[i].fd);
      if (client < 0) continue;
      std::lock_guard lock(connections_mutex_);
      // Finished connections are reaped here, so the list stays short.
      for (auto it = connections_.begin(); it != connections_.end();) {
        if ((*it)->done) {
          (*it)->thread.join();
          it = connections_.erase(it);
        } else {
          ++it;
        }
      }
      if (connections_.size() >= kMaxConnections) {
        close(client);
        continue;
      }
      auto connection = std::make_unique<Connection>();
      connection->fd = client;
      Connection& served = *connection;
      connections_.push_back(std::move(connection));
      served.thread = std::thread([this, &served] { serve(served); });
    }
  }
}

void Vxi11Server::serve(Connection& connection) {
  const int fd = connection.fd;
  const auto give_up = [&] { return stop_requested_.load() || connection.dropped.load(); };
  // Reads exactly `size` bytes; false when the client left, broke off or is dropped.
  const auto read_exact = [&](char* into, std::size_t size) {
    std::size_t got = 0;
    while (got < size) {
      const ssize_t n = read(fd, into + got, size - got);
      if (n > 0) {
        got += static_cast<std::size_t>(n);
        continue;
      }
      if (n == 0) return false;
      if (errno == EINTR) continue;
      if (errno != EAGAIN && errno != EWOULDBLOCK) return false;
      if (wait_for(fd, POLLIN, give_up) <= 0) return false;
    }
    return true;
  };
  const auto write_all = [&](std::string_view bytes) {
    std::size_t sent = 0;
    while (sent < bytes.size()) {
      const ssize_t n = send(fd, bytes.data() + sent, bytes.size() - sent, MSG_NOSIGNAL);
      if (n > 0) {
        sent += static_cast<std::size_t>(n);
        continue;
      }
      if (n < 0 && errno == EINTR) continue;
      if (n < 0 && errno != EAGAIN && errno != EWOULDBLOCK) return false;
      if (wait_for(fd, POLLOUT, give_up) <= 0) return false;
    }
    return true;
  };

  CallHandler handler(instrument_, core_port_, next_link_, links_created_, stop_requested_, connection.dropped,
                      connection.links);
  std::string record;
  std::string reply;
  for (;;) {
    record.clear();
    bool last = false;
    bool ok = true;
    while (ok && !last) {
      unsigned char mark[4];
      ok = read_exact(reinterpret_cast<char*>(mark), 4);
      if (!ok) break;
      const std::uint32_t word =
          (std::uint32_t{mark[0]} << 24) | (std::uint32_t{mark[1]} << 16) | (std::uint32_t{mark[2]} << 8) | mark[3];
      last = (word & 0x80000000u) != 0;
      const std::size_t length = word & 0x7FFFFFFFu;
      if (record.size() + length > kMaxCallRecord) {
        ok = false;  // a record no call of ours can need: the peer is not speaking VXI-11
        break;
      }
      const std::size_t at = record.size();
      record.resize(at + length);
      ok = read_exact(record.data() + at, length);
    }
    if (!ok) break;
    if (silent_) continue;
    reply.clear();
    const Outcome outcome = handler.handle(record, reply);
    if (outcome == Outcome::Close) break;
    if (outcome == Outcome::NoReply) continue;
    std::string framed(4, '\0');
    const auto length = static_cast<std::uint32_t>(reply.size()) | 0x80000000u;
    for (int i = 0; i < 4; ++i) framed[static_cast<std::size_t>(i)] = static_cast<char>(length >> (24 - 8 * i));
    framed += reply;
    if (cut_next_reply_.exchange(false)) {
      write_all(std::string_view(framed).substr(0, framed.size() / 2));
      break;
    }
    if (!write_all(framed)) break;
  }
  // Closed here, not when reaped, so that a client's descriptor count comes back at once.
  std::lock_guard lock(connections_mutex_);
  close(fd);
  connection.fd = -1;
  connection.done = true;
}

}  // namespace vqrsim
