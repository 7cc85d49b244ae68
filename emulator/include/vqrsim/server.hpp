// The emulator's front ends (a TCP socket or a pseudo-terminal) over one Instrument, and
// the control API that tests use to watch and steer it.
//
// Threads and locks: a started Server runs one thread of its own, which owns the
// listening socket, the client connection and the pty master and does all their I/O.
// Every other member function may be called from any thread at any time:
//  - mutex_ guards the instrument, the transcript, the reply overrides, the timing and
//    drop settings and the connection count; the server thread holds it only to record a
//    line and compute its reply, never while it reads, writes or waits;
//  - lifecycle_mutex_ serialises start_tcp / start_serial / stop (it guards the thread
//    handle, the endpoint fds and the resource string);
//  - stop and drop requests are atomics plus a wake-up pipe that interrupts the server
//    thread's poll, so stop() never waits on a stalled client.
// Several Servers may run in one process; each serves one client at a time, and the next
// connection is accepted when the current one ends.
#pragma once

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <map>
#include <mutex>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

#include "vqrsim/instrument.hpp"

namespace vqrsim {

struct ServerOptions {
    std::string model = "VQR-A4";
    double load_ohms = 1e6;
    bool verbose = false;  // log every line received and every reply sent to stderr
};

class Server {
public:
    explicit Server(ServerOptions options = {});
    ~Server();  // stops
    Server(const Server&) = delete;
    Server& operator=(const Server&) = delete;

    // Starts serving on a TCP listener; returns the VISA resource string, e.g.
    // "TCPIP0::127.0.0.1::40123::SOCKET". Port 0 picks an ephemeral port. Throws
    // std::runtime_error when the socket cannot be opened or the server already runs.
    std::string start_tcp(const std::string& host = "127.0.0.1", std::uint16_t port = 0);
    // Starts serving on a new pseudo-terminal; returns "ASRL<slave path>::INSTR". Replies
    // leave at the speed the client set on the line (9600 baud until it sets one).
    // Throws std::runtime_error like start_tcp.
    std::string start_serial();
    // Ends the server thread and closes every fd; the instrument keeps its state. Safe to
    // call when not running.
    void stop();

    bool running() const;
    std::string resource() const;  // empty when not running
    std::uint16_t port() const;    // TCP port, 0 for a pty or when not running

    // Every line received since the last clear, as received (with its "\n", and "\r" if
    // sent). Lines longer than Instrument::kMaxLineLength are not recorded.
    std::vector<std::string> transcript() const;
    void clear_transcript();
    // Waits until the transcript holds at least `lines` entries; false on time-out.
    bool wait_for_transcript(std::size_t lines, std::chrono::milliseconds timeout) const;

    // Answers lines whose first header is `header` (any SCPI spelling: "*IDN?",
    // "syst:err?", ":SYSTem:ERRor:NEXT?") with these raw bytes instead of executing them;
    // the bytes are sent as given (no terminator is added). times < 0: until cleared;
    // otherwise for that many lines.
    void override_reply(std::string_view header, std::string bytes, int times = -1);
    void clear_reply_override(std::string_view header);
    void clear_reply_overrides();

    // A pause before each reply is sent.
    void set_reply_delay(std::chrono::milliseconds delay);
    // Replies sent in writes of chunk_bytes with a pause between them (chunk 0: whole).
    void set_reply_split(std::size_t chunk_bytes, std::chrono::milliseconds pause);

    // Closes the current connection now (TCP). On a pty, whose line cannot be cut, both
    // directions are flushed and the partial line is discarded.
    void drop_connection();
    // Records the next line, then drops as above without executing or answering it.
    void drop_after_next_line();
    std::size_t connections_accepted() const;

    // Instrument hooks.
    void raise_standard_events(std::uint8_t bits);  // ORed into the standard event register
    bool set_load_ohms(double ohms);
    void set_self_test_result(int result);
    void set_hardware_condition(std::uint16_t bits);
    void set_temperature_condition(std::uint16_t bits);
    InstrumentState state() const;
    // Runs a program message on the instrument directly (not recorded, no I/O) and
    // returns its response; for setting a scene up.
    std::string execute(std::string_view line);

    // For front ends in other files (VXI-11): one received line, recorded and answered
    // exactly as the socket endpoint does, with the reply overrides and the
    // drop-after-next-line request applied; the reply's timing comes back for the front
    // end to apply in its own way.
    struct LineExchange {
        std::string reply;
        bool drop = false;  // the front end drops its client without answering
        std::chrono::milliseconds delay{0};
        std::size_t split_chunk = 0;
        std::chrono::milliseconds split_pause{0};
    };
    LineExchange exchange_line(const std::string& line);
    // A line that outgrew Instrument::kMaxLineLength, as the socket endpoint reports it.
    void reject_overlong_line();

private:
    enum class Transport { Tcp, Serial };
    enum class SessionEnd { Closed, Dropped, Stopped };
    struct Override {
        std::string bytes;
        int remaining;
    };

    void launch(Transport transport);
    void run();
    void serve_tcp();
    void serve_serial();
    // Serves one client until it leaves, is dropped or the server stops; had_traffic
    // tells whether any byte arrived.
    SessionEnd serve(int fd, bool serial, bool& had_traffic);
    // Handles one complete line; false when the session must end (drop, stop, lost link).
    bool handle_line(int fd, bool serial, const std::string& line);
    bool send_reply(int fd, bool serial, std::string_view bytes);
    bool write_all(int fd, bool serial, std::string_view bytes);
    // Sleeps, woken early by stop or drop requests; false when woken.
    bool pause_for(std::chrono::nanoseconds duration);
    bool stop_or_drop_pending() const;
    void wake();
    void drain_wake();
    void log(std::string_view direction, std::string_view bytes) const;

    const ServerOptions options_;

    mutable std::mutex mutex_;
    mutable std::condition_variable transcript_changed_;
    Instrument instrument_;
    std::vector<std::string> transcript_;
    std::map<std::string, Override> overrides_;
    std::chrono::milliseconds reply_delay_{0};
    std::size_t split_chunk_ = 0;
    std::chrono::milliseconds split_pause_{0};
    bool drop_after_next_line_ = false;
    std::size_t connections_ = 0;

    mutable std::mutex lifecycle_mutex_;
    std::thread thread_;
    Transport transport_ = Transport::Tcp;
    int endpoint_fd_ = -1;  // listener or pty master; used by the server thread while it runs
    int wake_read_ = -1;
    int wake_write_ = -1;
    std::string resource_;
    std::string slave_path_;  // the pty's slave side; written before the thread starts
    std::uint16_t port_ = 0;

    std::atomic<bool> stop_requested_{false};
    std::atomic<bool> drop_requested_{false};
};

}  // namespace vqrsim
