#include "vqrsim/server.hpp"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <fcntl.h>
#include <poll.h>
#include <stdexcept>
#include <system_error>
#include <sys/socket.h>
#include <unistd.h>

#include "pty_endpoint.hpp"
#include "tcp_endpoint.hpp"

namespace vqrsim {
namespace {

using Clock = std::chrono::steady_clock;

// How often the serial front end looks again for a client while no one has the slave
// side open (the master then reports a hang-up continuously, so poll cannot wait on it).
constexpr std::chrono::milliseconds kSerialIdlePoll{10};
// Characters written to a pty at once; the pacing sleeps between such bursts.
constexpr std::size_t kSerialBurst = 16;
// How long a connection past the client limit waits for a place before it is refused: a
// client that closes and at once reconnects may be seen connecting before its old
// connection's thread has seen it leave.
constexpr std::chrono::milliseconds kRoomGrace{250};

int poll_timeout_ms(std::chrono::nanoseconds duration) {
  if (duration <= std::chrono::nanoseconds::zero()) return 0;
  const auto ms = std::chrono::ceil<std::chrono::milliseconds>(duration).count();
  return ms > 1000000 ? 1000000 : static_cast<int>(ms);
}

std::string printable(std::string_view bytes) {
  std::string text;
  for (char c : bytes) {
    const auto u = static_cast<unsigned char>(c);
    if (c == '\n') {
      text += "\\n";
    } else if (c == '\r') {
      text += "\\r";
    } else if (c == '\\') {
      text += "\\\\";
    } else if (u < 0x20 || u >= 0x7F) {
      char hex[8];
      std::snprintf(hex, sizeof hex, "\\x%02X", u);
      text += hex;
    } else {
      text += c;
    }
  }
  return text;
}

bool open_wake_pipe(int fds[2]) { return pipe2(fds, O_CLOEXEC | O_NONBLOCK) == 0; }

void wake(int wake_write) {
  const char byte = 1;
  // A full pipe already holds a wake-up; nothing is lost when this write fails.
  [[maybe_unused]] const ssize_t written = write(wake_write, &byte, 1);
}

void drain_wake(int wake_read) {
  char bytes[64];
  while (read(wake_read, bytes, sizeof bytes) > 0) {
  }
}

}  // namespace

Server::Server(ServerOptions options) : options_(std::move(options)), instrument_(options_.model, options_.load_ohms) {}

Server::~Server() { stop(); }

std::string Server::start_tcp(const std::string& host, std::uint16_t port) {
  std::lock_guard lifecycle(lifecycle_mutex_);
  if (thread_.joinable()) throw std::runtime_error("the emulator is already running");
  std::string error;
  std::uint16_t bound = 0;
  const int fd = detail::open_tcp_listener(host, port, bound, error);
  if (fd < 0) throw std::runtime_error(error);
  endpoint_fd_ = fd;
  port_ = bound;
  const std::string shown_host = host == "0.0.0.0" ? "127.0.0.1" : host;
  resource_ = "TCPIP0::" + shown_host + "::" + std::to_string(bound) + "::SOCKET";
  launch(Transport::Tcp);
  return resource_;
}

std::string Server::start_serial() {
  std::lock_guard lifecycle(lifecycle_mutex_);
  if (thread_.joinable()) throw std::runtime_error("the emulator is already running");
  std::string error;
  std::string path;
  const int fd = detail::open_pty_master(path, error);
  if (fd < 0) throw std::runtime_error(error);
  endpoint_fd_ = fd;
  port_ = 0;
  slave_path_ = path;
  resource_ = "ASRL" + path + "::INSTR";
  launch(Transport::Serial);
  return resource_;
}

void Server::launch(Transport transport) {
  int fds[2];
  if (!open_wake_pipe(fds)) {
    close(endpoint_fd_);
    endpoint_fd_ = -1;
    resource_.clear();
    throw std::runtime_error("pipe2 failed");
  }
  wake_read_ = fds[0];
  wake_write_ = fds[1];
  transport_ = transport;
  stop_requested_ = false;
  thread_ = std::thread([this] { run(); });
}

void Server::stop() {
  std::lock_guard lifecycle(lifecycle_mutex_);
  if (!thread_.joinable()) return;
  stop_requested_ = true;
  wake(wake_write_);
  thread_.join();  // the server thread ends its client threads before it returns
  for (int* fd : {&endpoint_fd_, &wake_read_, &wake_write_}) {
    if (*fd >= 0) close(*fd);
    *fd = -1;
  }
  resource_.clear();
  port_ = 0;
}

bool Server::running() const {
  std::lock_guard lifecycle(lifecycle_mutex_);
  return thread_.joinable();
}

std::string Server::resource() const {
  std::lock_guard lifecycle(lifecycle_mutex_);
  return resource_;
}

std::uint16_t Server::port() const {
  std::lock_guard lifecycle(lifecycle_mutex_);
  return port_;
}

bool Server::stop_or_drop_pending(const Link& link) const {
  return stop_requested_ || drop_generation_ != link.drop_generation;
}

Server::SessionEnd Server::pending_end() const { return stop_requested_ ? SessionEnd::Stopped : SessionEnd::Dropped; }

bool Server::pause_for(const Link& link, std::chrono::nanoseconds duration) {
  const auto deadline = Clock::now() + duration;
  while (true) {
    if (stop_or_drop_pending(link)) return false;
    const auto left = deadline - Clock::now();
    if (left <= std::chrono::nanoseconds::zero()) return true;
    pollfd waiter{link.wake_fd, POLLIN, 0};
    if (poll(&waiter, 1, poll_timeout_ms(left)) > 0) drain_wake(link.wake_fd);
  }
}

void Server::run() {
  if (transport_ == Transport::Tcp) {
    serve_tcp();
    reap_clients(true);
  } else {
    serve_serial();
  }
}

void Server::serve_tcp() {
  while (!stop_requested_) {
    pollfd fds[2] = {{endpoint_fd_, POLLIN, 0}, {wake_read_, POLLIN, 0}};
    if (poll(fds, 2, -1) < 0 && errno != EINTR) return;
    if (fds[1].revents != 0) drain_wake(wake_read_);
    if (stop_requested_) return;
    reap_clients(false);
    // A drop requested while no client was served applies to connections that are
    // already there, so that a drop right after a client connected still reaches it.
    const bool drop_waiting = drop_waiting_.exchange(false);
    if ((fds[0].revents & POLLIN) == 0) continue;
    for (int client; (client = detail::accept_client(endpoint_fd_)) >= 0;) {
      const std::uint64_t generation = drop_generation_;
      take_client(client, drop_waiting ? generation - 1 : generation);
    }
  }
}

bool Server::wait_for_room(std::size_t limit) {
  const auto deadline = Clock::now() + kRoomGrace;
  while (true) {
    reap_clients(false);
    {
      std::lock_guard clients(clients_mutex_);
      if (serving_count() < limit) return true;
    }
    const auto left = deadline - Clock::now();
    if (stop_requested_ || left <= Clock::duration::zero()) return false;
    // A client thread that ends wakes this thread.
    pollfd waiter{wake_read_, POLLIN, 0};
    if (poll(&waiter, 1, poll_timeout_ms(left)) > 0) drain_wake(wake_read_);
  }
}

void Server::take_client(int fd, std::uint64_t drop_generation) {
  const std::size_t limit = std::max<std::size_t>(1, options_.max_clients);
  const bool room = wait_for_room(limit);
  std::lock_guard clients(clients_mutex_);
  if (!room) {
    note("refused a connection: " + std::to_string(limit) + " clients are connected already (--max-clients)");
    close(fd);
    return;
  }
  int fds[2];
  if (!open_wake_pipe(fds)) {
    close(fd);
    note("refused a connection: no wake-up pipe for it");
    return;
  }
  auto slot = std::make_unique<ClientThread>();
  slot->wake_read = fds[0];
  slot->wake_write = fds[1];
  ClientThread& started = *slot;
  {
    // Counted before it is served, so that no reply can come before the count.
    std::lock_guard lock(mutex_);
    ++connections_;
  }
  try {
    started.thread = std::thread([this, &started, fd, drop_generation] { serve_client(started, fd, drop_generation); });
  } catch (const std::system_error&) {
    close(fd);
    close(fds[0]);
    close(fds[1]);
    note("refused a connection: no thread for it");
    std::lock_guard lock(mutex_);
    --connections_;
    return;
  }
  clients_.push_back(std::move(slot));
}

std::size_t Server::serving_count() const {
  std::size_t serving = 0;
  for (const auto& slot : clients_) serving += slot->finished ? 0 : 1;
  return serving;
}

void Server::serve_client(ClientThread& slot, int fd, std::uint64_t drop_generation) {
  bool had_traffic = false;
  const SessionEnd end = serve(Link{fd, false, slot.wake_read, drop_generation}, had_traffic);
  if (end == SessionEnd::Stalled) {
    // Reset rather than close: the replies it never read are thrown away, not kept
    // in the kernel until it reads them.
    const linger abort_on_close{1, 0};
    setsockopt(fd, SOL_SOCKET, SO_LINGER, &abort_on_close, sizeof abort_on_close);
    note("dropped a client that took no reply for " + std::to_string(options_.stalled_client_timeout.count()) + " ms");
  }
  close(fd);
  slot.finished = true;
  // The server thread joins this thread and closes its pipe now, so that a client that
  // left holds no descriptor in this process.
  wake(wake_write_);
}

void Server::reap_clients(bool all) {
  std::list<std::unique_ptr<ClientThread>> ended;
  {
    std::lock_guard clients(clients_mutex_);
    for (auto it = clients_.begin(); it != clients_.end();) {
      if (all) wake((*it)->wake_write);
      if (all || (*it)->finished) {
        auto next = std::next(it);
        ended.splice(ended.end(), clients_, it);
        it = next;
      } else {
        ++it;
      }
    }
  }
  // Joined outside the lock: a client still finishing its last write would otherwise
  // hold up drop_connection and clients_connected.
  for (const auto& slot : ended) {
    slot->thread.join();
    close(slot->wake_read);
    close(slot->wake_write);
  }
}

void Server::serve_serial() {
  std::uint64_t seen_generation = drop_generation_;
  while (!stop_requested_) {
    bool had_traffic = false;
    const SessionEnd end = serve(Link{endpoint_fd_, true, wake_read_, seen_generation}, had_traffic);
    if (end == SessionEnd::Stopped) return;
    // A drop, or a client that closed the line after talking: nothing that either
    // side left unread is kept for the next client.
    if (end == SessionEnd::Dropped || had_traffic) detail::flush_pty(endpoint_fd_, slave_path_);
    seen_generation = drop_generation_;
    if (end == SessionEnd::Closed) {
      // No client has the slave open: look again shortly.
      pollfd waiter{wake_read_, POLLIN, 0};
      if (poll(&waiter, 1, static_cast<int>(kSerialIdlePoll.count())) > 0) drain_wake(wake_read_);
    }
  }
}

Server::SessionEnd Server::serve(const Link& link, bool& had_traffic) {
  std::string line;
  bool discarding = false;      // inside a line that outgrew the bound
  bool counted = !link.serial;  // a pty session counts once its first bytes arrive
  char chunk[4096];
  while (true) {
    if (stop_or_drop_pending(link)) return pending_end();
    pollfd fds[2] = {{link.fd, POLLIN, 0}, {link.wake_fd, POLLIN, 0}};
    if (poll(fds, 2, -1) < 0) {
      if (errno == EINTR) continue;
      return SessionEnd::Closed;
    }
    if (fds[1].revents != 0) {
      drain_wake(link.wake_fd);
      continue;
    }
    if (fds[0].revents == 0) continue;
    const ssize_t n = read(link.fd, chunk, sizeof chunk);
    if (n < 0 && (errno == EINTR || errno == EAGAIN)) continue;
    if (n <= 0) return SessionEnd::Closed;  // end of stream, or EIO: the pty slave closed
    had_traffic = true;
    if (!counted) {
      counted = true;
      std::lock_guard lock(mutex_);
      ++connections_;
    }
    for (std::string_view data(chunk, static_cast<std::size_t>(n)); !data.empty();) {
      const std::size_t newline = data.find('\n');
      const std::string_view piece = data.substr(0, newline);
      if (!discarding) line.append(piece);
      if (line.size() > Instrument::kMaxLineLength) {
        discarding = true;
        line.clear();
      }
      if (newline == std::string_view::npos) break;
      data.remove_prefix(newline + 1);
      if (discarding) {
        discarding = false;
        reject_overlong_line();
        continue;
      }
      line += '\n';
      const LineResponse response = handle_line(line);
      log("<<", line);
      line.clear();
      SessionEnd end = SessionEnd::Dropped;
      if (!respond(link, response, end)) return end;
    }
  }
}

Server::LineResponse Server::handle_line(std::string_view line) {
  LineResponse response;
  std::lock_guard lock(mutex_);
  if (options_.transcript_lines > 0) {
    if (transcript_.size() >= options_.transcript_lines) transcript_.pop_front();
    transcript_.emplace_back(line);
  }
  ++lines_received_;
  transcript_changed_.notify_all();
  if (drop_after_next_line_) {
    drop_after_next_line_ = false;
    response.drop = true;
    return response;
  }
  const auto found = overrides_.empty() ? overrides_.end() : overrides_.find(Instrument::canonical_header(line));
  if (found != overrides_.end()) {
    response.reply = found->second.bytes;
    if (found->second.remaining > 0 && --found->second.remaining == 0) overrides_.erase(found);
  } else {
    response.reply = instrument_.process_line(line);
  }
  response.delay = reply_delay_;
  response.split_chunk = split_chunk_;
  response.split_pause = split_pause_;
  return response;
}

void Server::reject_overlong_line() {
  std::lock_guard lock(mutex_);
  instrument_.reject_overlong_line();
}

bool Server::respond(const Link& link, const LineResponse& response, SessionEnd& end) {
  if (response.drop) {
    end = SessionEnd::Dropped;
    return false;
  }
  const std::string& reply = response.reply;
  if (reply.empty()) return true;
  end = SessionEnd::Dropped;
  if (response.delay.count() > 0 && !pause_for(link, response.delay)) {
    end = pending_end();
    return false;
  }
  const std::size_t chunk = response.split_chunk == 0 ? reply.size() : response.split_chunk;
  for (std::size_t offset = 0; offset < reply.size(); offset += chunk) {
    if (offset > 0 && !pause_for(link, response.split_pause)) {
      end = pending_end();
      return false;
    }
    if (!write_all(link, std::string_view(reply).substr(offset, chunk), end)) return false;
  }
  log(">>", reply);
  return true;
}

bool Server::write_all(const Link& link, std::string_view bytes, SessionEnd& end) {
  const double rate = link.serial ? detail::pty_characters_per_second(link.fd) : 0;
  const auto started = Clock::now();
  auto last_progress = started;
  std::size_t sent = 0;
  while (sent < bytes.size()) {
    if (stop_or_drop_pending(link)) {
      end = pending_end();
      return false;
    }
    const std::size_t burst = rate > 0 ? std::min(kSerialBurst, bytes.size() - sent) : bytes.size() - sent;
    const ssize_t n = link.serial ? write(link.fd, bytes.data() + sent, burst)
                                  : send(link.fd, bytes.data() + sent, burst, MSG_NOSIGNAL);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0 && errno == EAGAIN) {
      // The client is not reading: wait for room, for a stop or a drop, and over
      // TCP at most the stall time-out.
      int timeout = -1;
      if (!link.serial) {
        const auto left = options_.stalled_client_timeout - (Clock::now() - last_progress);
        if (left <= Clock::duration::zero()) {
          end = SessionEnd::Stalled;
          return false;
        }
        timeout = poll_timeout_ms(left);
      }
      pollfd fds[2] = {{link.fd, POLLOUT, 0}, {link.wake_fd, POLLIN, 0}};
      if (poll(fds, 2, timeout) > 0 && fds[1].revents != 0) drain_wake(link.wake_fd);
      continue;
    }
    if (n <= 0) {
      end = link.serial ? SessionEnd::Closed : SessionEnd::Dropped;
      return false;
    }
    sent += static_cast<std::size_t>(n);
    last_progress = Clock::now();
    if (rate > 0) {
      // Each character takes 10 bit times on the line.
      const auto due = started + std::chrono::duration_cast<Clock::duration>(
                                     std::chrono::duration<double>(static_cast<double>(sent) / rate));
      if (!pause_for(link, due - Clock::now())) {
        end = pending_end();
        return false;
      }
    }
  }
  return true;
}

void Server::note(std::string_view event) const {
  std::string entry = "vqr-sim: ";
  entry += event;
  entry += '\n';
  std::fwrite(entry.data(), 1, entry.size(), stderr);
}

void Server::log(std::string_view direction, std::string_view bytes) const {
  if (!options_.verbose) return;
  std::string entry(direction);
  entry += ' ';
  entry += printable(bytes);
  entry += '\n';
  std::fwrite(entry.data(), 1, entry.size(), stderr);
}

std::vector<std::string> Server::transcript() const {
  std::lock_guard lock(mutex_);
  return {transcript_.begin(), transcript_.end()};
}

void Server::clear_transcript() {
  std::lock_guard lock(mutex_);
  transcript_.clear();
  lines_received_ = 0;
}

bool Server::wait_for_transcript(std::size_t lines, std::chrono::milliseconds timeout) const {
  std::unique_lock lock(mutex_);
  return transcript_changed_.wait_for(lock, timeout, [&] { return lines_received_ >= lines; });
}

void Server::override_reply(std::string_view header, std::string bytes, int times) {
  if (times == 0) return;
  std::lock_guard lock(mutex_);
  overrides_[Instrument::canonical_header(header)] = Override{std::move(bytes), times};
}

void Server::clear_reply_override(std::string_view header) {
  std::lock_guard lock(mutex_);
  overrides_.erase(Instrument::canonical_header(header));
}

void Server::clear_reply_overrides() {
  std::lock_guard lock(mutex_);
  overrides_.clear();
}

void Server::set_reply_delay(std::chrono::milliseconds delay) {
  std::lock_guard lock(mutex_);
  reply_delay_ = delay;
}

void Server::set_reply_split(std::size_t chunk_bytes, std::chrono::milliseconds pause) {
  std::lock_guard lock(mutex_);
  split_chunk_ = chunk_bytes;
  split_pause_ = pause;
}

void Server::drop_connection() {
  std::lock_guard lifecycle(lifecycle_mutex_);
  if (!thread_.joinable()) return;
  std::lock_guard clients(clients_mutex_);
  // Counted before the clients are woken: they may end before this function does.
  if (transport_ == Transport::Tcp && serving_count() == 0) drop_waiting_ = true;
  ++drop_generation_;
  for (const auto& slot : clients_) wake(slot->wake_write);
  wake(wake_write_);
}

void Server::drop_after_next_line() {
  std::lock_guard lock(mutex_);
  drop_after_next_line_ = true;
}

std::size_t Server::connections_accepted() const {
  std::lock_guard lock(mutex_);
  return connections_;
}

std::size_t Server::clients_connected() const {
  std::lock_guard clients(clients_mutex_);
  return serving_count();
}

void Server::raise_standard_events(std::uint8_t bits) {
  std::lock_guard lock(mutex_);
  instrument_.raise_standard_events(bits);
}

bool Server::set_load_ohms(double ohms) {
  std::lock_guard lock(mutex_);
  return instrument_.set_load_ohms(ohms);
}

void Server::set_self_test_result(int result) {
  std::lock_guard lock(mutex_);
  instrument_.set_self_test_result(result);
}

void Server::set_hardware_condition(std::uint16_t bits) {
  std::lock_guard lock(mutex_);
  instrument_.set_hardware_condition(bits);
}

void Server::set_temperature_condition(std::uint16_t bits) {
  std::lock_guard lock(mutex_);
  instrument_.set_temperature_condition(bits);
}

InstrumentState Server::state() const {
  std::lock_guard lock(mutex_);
  return instrument_.state();
}

std::string Server::execute(std::string_view line) {
  std::lock_guard lock(mutex_);
  return instrument_.process_line(line);
}

}  // namespace vqrsim
