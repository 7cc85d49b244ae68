#include "vqrsim/server.hpp"

#include <cerrno>
#include <cstdio>
#include <fcntl.h>
#include <poll.h>
#include <stdexcept>
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

}  // namespace

Server::Server(ServerOptions options)
    : options_(std::move(options)), instrument_(options_.model, options_.load_ohms) {}

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
    if (pipe2(fds, O_CLOEXEC | O_NONBLOCK) != 0) {
        close(endpoint_fd_);
        endpoint_fd_ = -1;
        resource_.clear();
        throw std::runtime_error("pipe2 failed");
    }
    wake_read_ = fds[0];
    wake_write_ = fds[1];
    transport_ = transport;
    stop_requested_ = false;
    drop_requested_ = false;
    thread_ = std::thread([this] { run(); });
}

void Server::stop() {
    std::lock_guard lifecycle(lifecycle_mutex_);
    if (!thread_.joinable()) return;
    stop_requested_ = true;
    wake();
    thread_.join();
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

void Server::wake() {
    const char byte = 1;
    // A full pipe already holds a wake-up; nothing is lost when this write fails.
    [[maybe_unused]] const ssize_t written = write(wake_write_, &byte, 1);
}

void Server::drain_wake() {
    char bytes[64];
    while (read(wake_read_, bytes, sizeof bytes) > 0) {
    }
}

bool Server::stop_or_drop_pending() const { return stop_requested_ || drop_requested_; }

bool Server::pause_for(std::chrono::nanoseconds duration) {
    const auto deadline = Clock::now() + duration;
    while (true) {
        if (stop_or_drop_pending()) return false;
        const auto left = deadline - Clock::now();
        if (left <= std::chrono::nanoseconds::zero()) return true;
        pollfd waiter{wake_read_, POLLIN, 0};
        if (poll(&waiter, 1, poll_timeout_ms(left)) > 0) drain_wake();
    }
}

void Server::run() {
    if (transport_ == Transport::Tcp) {
        serve_tcp();
    } else {
        serve_serial();
    }
}

void Server::serve_tcp() {
    while (!stop_requested_) {
        pollfd fds[2] = {{endpoint_fd_, POLLIN, 0}, {wake_read_, POLLIN, 0}};
        if (poll(fds, 2, -1) < 0 && errno != EINTR) return;
        // A connection that is already there is taken first, so that a drop requested
        // right after a client connected applies to that client.
        const int client = (fds[0].revents & POLLIN) != 0 ? detail::accept_client(endpoint_fd_) : -1;
        if (client < 0) {
            if (fds[1].revents != 0) {
                drain_wake();
                drop_requested_ = false;  // nothing to drop without a client
            }
            continue;
        }
        {
            std::lock_guard lock(mutex_);
            ++connections_;
        }
        bool had_traffic = false;
        serve(client, false, had_traffic);
        close(client);
        drop_requested_ = false;
    }
}

void Server::serve_serial() {
    while (!stop_requested_) {
        bool had_traffic = false;
        const SessionEnd end = serve(endpoint_fd_, true, had_traffic);
        if (end == SessionEnd::Stopped) return;
        // A drop, or a client that closed the line after talking: nothing that either
        // side left unread is kept for the next client.
        if (end == SessionEnd::Dropped || had_traffic) detail::flush_pty(endpoint_fd_, slave_path_);
        drop_requested_ = false;
        if (end == SessionEnd::Closed) {
            // No client has the slave open: look again shortly.
            pollfd waiter{wake_read_, POLLIN, 0};
            if (poll(&waiter, 1, static_cast<int>(kSerialIdlePoll.count())) > 0) drain_wake();
        }
    }
}

Server::SessionEnd Server::serve(int fd, bool serial, bool& had_traffic) {
    std::string line;
    bool discarding = false;  // inside a line that outgrew the bound
    bool counted = !serial;   // a pty session counts once its first bytes arrive
    char chunk[4096];
    while (true) {
        if (stop_requested_) return SessionEnd::Stopped;
        if (drop_requested_) return SessionEnd::Dropped;
        pollfd fds[2] = {{fd, POLLIN, 0}, {wake_read_, POLLIN, 0}};
        if (poll(fds, 2, -1) < 0) {
            if (errno == EINTR) continue;
            return SessionEnd::Closed;
        }
        if (fds[1].revents != 0) {
            drain_wake();
            continue;
        }
        if (fds[0].revents == 0) continue;
        const ssize_t n = read(fd, chunk, sizeof chunk);
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
                std::lock_guard lock(mutex_);
                instrument_.reject_overlong_line();
                continue;
            }
            line += '\n';
            if (!handle_line(fd, serial, line)) {
                if (stop_requested_) return SessionEnd::Stopped;
                return drop_requested_ || !serial ? SessionEnd::Dropped : SessionEnd::Closed;
            }
            line.clear();
        }
    }
}

bool Server::handle_line(int fd, bool serial, const std::string& line) {
    std::string reply;
    bool drop = false;
    std::chrono::milliseconds delay{0};
    std::size_t chunk = 0;
    std::chrono::milliseconds pause{0};
    {
        std::lock_guard lock(mutex_);
        transcript_.push_back(line);
        transcript_changed_.notify_all();
        if (drop_after_next_line_) {
            drop_after_next_line_ = false;
            drop = true;
        } else {
            const auto found = overrides_.empty() ? overrides_.end()
                                                  : overrides_.find(Instrument::canonical_header(line));
            if (found != overrides_.end()) {
                reply = found->second.bytes;
                if (found->second.remaining > 0 && --found->second.remaining == 0) overrides_.erase(found);
            } else {
                reply = instrument_.process_line(line);
            }
            delay = reply_delay_;
            chunk = split_chunk_;
            pause = split_pause_;
        }
    }
    log("<<", line);
    if (drop) {
        drop_requested_ = true;
        return false;
    }
    if (reply.empty()) return true;
    if (delay.count() > 0 && !pause_for(delay)) return false;
    if (chunk == 0) chunk = reply.size();
    for (std::size_t offset = 0; offset < reply.size(); offset += chunk) {
        if (offset > 0 && !pause_for(pause)) return false;
        if (!write_all(fd, serial, std::string_view(reply).substr(offset, chunk))) return false;
    }
    log(">>", reply);
    return true;
}

bool Server::write_all(int fd, bool serial, std::string_view bytes) {
    const double rate = serial ? detail::pty_characters_per_second(fd) : 0;
    const auto started = Clock::now();
    std::size_t sent = 0;
    while (sent < bytes.size()) {
        if (stop_or_drop_pending()) return false;
        const std::size_t burst = rate > 0 ? std::min(kSerialBurst, bytes.size() - sent) : bytes.size() - sent;
        const ssize_t n = serial ? write(fd, bytes.data() + sent, burst)
                                 : send(fd, bytes.data() + sent, burst, MSG_NOSIGNAL);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0 && errno == EAGAIN) {
            // The client is not reading: wait for room, or for a stop or a drop.
            pollfd fds[2] = {{fd, POLLOUT, 0}, {wake_read_, POLLIN, 0}};
            if (poll(fds, 2, -1) > 0 && fds[1].revents != 0) drain_wake();
            continue;
        }
        if (n <= 0) return false;
        sent += static_cast<std::size_t>(n);
        if (rate > 0) {
            // Each character takes 10 bit times on the line.
            const auto due = started + std::chrono::duration_cast<Clock::duration>(
                                           std::chrono::duration<double>(static_cast<double>(sent) / rate));
            if (!pause_for(due - Clock::now())) return false;
        }
    }
    return true;
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
    return transcript_;
}

void Server::clear_transcript() {
    std::lock_guard lock(mutex_);
    transcript_.clear();
}

bool Server::wait_for_transcript(std::size_t lines, std::chrono::milliseconds timeout) const {
    std::unique_lock lock(mutex_);
    return transcript_changed_.wait_for(lock, timeout, [&] { return transcript_.size() >= lines; });
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
    drop_requested_ = true;
    wake();
}

void Server::drop_after_next_line() {
    std::lock_guard lock(mutex_);
    drop_after_next_line_ = true;
}

std::size_t Server::connections_accepted() const {
    std::lock_guard lock(mutex_);
    return connections_;
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

Server::LineExchange Server::exchange_line(const std::string& line) {
    LineExchange exchange;
    std::lock_guard lock(mutex_);
    transcript_.push_back(line);
    transcript_changed_.notify_all();
    if (drop_after_next_line_) {
        drop_after_next_line_ = false;
        exchange.drop = true;
        return exchange;
    }
    const auto found =
        overrides_.empty() ? overrides_.end() : overrides_.find(Instrument::canonical_header(line));
    if (found != overrides_.end()) {
        exchange.reply = found->second.bytes;
        if (found->second.remaining > 0 && --found->second.remaining == 0) overrides_.erase(found);
    } else {
        exchange.reply = instrument_.process_line(line);
    }
    exchange.delay = reply_delay_;
    exchange.split_chunk = split_chunk_;
    exchange.split_pause = split_pause_;
    return exchange;
}

void Server::reject_overlong_line() {
    std::lock_guard lock(mutex_);
    instrument_.reject_overlong_line();
}

}  // namespace vqrsim
