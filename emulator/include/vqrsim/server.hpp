// The emulator's front ends (a TCP socket or a pseudo-terminal) over one Instrument, and
// the control API that tests use to watch and steer it.
//
// Threads: a started Server runs one thread of its own. Over TCP it owns the listening
// socket and accepts clients, and each client it takes on is served by a thread of its
// own (at most ServerOptions::max_clients at once; one more is accepted and, after a
// short wait for a place, closed with a line on standard error). A thread per client
// keeps each client's reply pacing (delays, split replies, a client that does not read)
// in straight-line code that delays no one else, and the bound keeps the thread count
// small. Over a pty the server
// thread itself serves the one line. Every other member function may be called from any
// thread at any time.
//
// Locks, taken in this order and never the other way round:
//  - lifecycle_mutex_ serialises start_tcp / start_serial / stop / drop_connection (it
//    guards the thread handle, the endpoint fds and the resource string);
//  - clients_mutex_ guards the list of client threads and their wake-up pipes;
//  - mutex_ guards the instrument, the transcript, the reply overrides, the timing and
//    drop settings and the connection count. Client threads hold it only to record a line
//    and compute its reply (handle_line), never while they read, write or wait, so a
//    slow client never holds up another.
// Stop and drop requests are atomics plus wake-up pipes that interrupt the waiting
// threads' polls, so stop() never waits on a stalled client.
//
// Another front end (one thread per link, like the TCP clients) reaches the instrument
// through handle_line and reject_overlong_line, which do no I/O, and sends the reply
// they return itself.
#pragma once

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <list>
#include <map>
#include <memory>
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
  // TCP clients served at once; a connection past this is accepted and, unless a place
  // frees up within 250 ms, closed (0 counts as 1). The pty serves one client.
  std::size_t max_clients = 4;
  // The transcript keeps this many of the most recent lines (0: none).
  std::size_t transcript_lines = 10000;
  // A TCP client that takes no byte of a pending reply for this long is dropped.
  std::chrono::milliseconds stalled_client_timeout{10000};
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

  // The most recent lines received since the last clear (at most
  // ServerOptions::transcript_lines), oldest first, as received (with its "\n", and "\r"
  // if sent), from every client. Lines longer than Instrument::kMaxLineLength are not
  // recorded.
  std::vector<std::string> transcript() const;
  void clear_transcript();
  // Waits until at least `lines` lines have been received since the last clear (whether
  // or not the transcript still holds them all); false on time-out.
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

  // Closes every current TCP connection now, and one that has connected but is not
  // taken on yet. On a pty, whose line cannot be cut, both directions are flushed and
  // the partial line is discarded.
  void drop_connection();
  // Records the next line from any client, then drops the connection it came on (on a
  // pty as above) without executing or answering it.
  void drop_after_next_line();
  // Connections taken on since the start (refused ones are not counted).
  std::size_t connections_accepted() const;
  // TCP clients being served now.
  std::size_t clients_connected() const;

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

  // What a front end does with one received line.
  struct LineResponse {
    std::string reply;                         // bytes to send as given; empty: none
    bool drop = false;                         // end this link without answering
    std::chrono::milliseconds delay{0};        // pause before the reply
    std::size_t split_chunk = 0;               // send in writes of this size (0: whole)
    std::chrono::milliseconds split_pause{0};  // pause between those writes
  };
  // For front ends: records one complete line as received (terminator included), then
  // applies a pending drop_after_next_line, a reply override, or runs it on the
  // instrument. Thread-safe; holds mutex_ only inside; does no I/O.
  LineResponse handle_line(std::string_view line);
  // For front ends: a line longer than Instrument::kMaxLineLength was thrown away.
  void reject_overlong_line();

 private:
  enum class Transport { Tcp, Serial };
  enum class SessionEnd { Closed, Dropped, Stopped, Stalled };
  struct Override {
    std::string bytes;
    int remaining;
  };
  // One link being served, as its serving thread sees it.
  struct Link {
    int fd;
    bool serial;
    int wake_fd;                    // readable when stop or drop wants attention
    std::uint64_t drop_generation;  // drop_generation_ when the link was taken on
  };
  // A TCP client's thread. The pipe is written under clients_mutex_ and closed only
  // after the thread has been joined; the thread closes its own socket when it ends.
  struct ClientThread {
    std::thread thread;
    int wake_read = -1;
    int wake_write = -1;
    std::atomic<bool> finished{false};
  };

  void launch(Transport transport);
  void run();
  void serve_tcp();
  void serve_serial();
  // False when `limit` clients are still served after a short grace period.
  bool wait_for_room(std::size_t limit);
  void take_client(int fd, std::uint64_t drop_generation);
  void serve_client(ClientThread& slot, int fd, std::uint64_t drop_generation);
  void reap_clients(bool all);
  std::size_t serving_count() const;  // clients whose thread has not ended; clients_mutex_ held
  // Serves one link until it leaves, is dropped or the server stops; had_traffic tells
  // whether any byte arrived.
  SessionEnd serve(const Link& link, bool& had_traffic);
  // Sends the response to one line; the reason to end the link when it cannot.
  bool respond(const Link& link, const LineResponse& response, SessionEnd& end);
  bool write_all(const Link& link, std::string_view bytes, SessionEnd& end);
  // Sleeps, woken early by stop or drop requests; false when woken.
  bool pause_for(const Link& link, std::chrono::nanoseconds duration);
  bool stop_or_drop_pending(const Link& link) const;
  SessionEnd pending_end() const;  // why a stop or drop check failed
  void log(std::string_view direction, std::string_view bytes) const;
  void note(std::string_view event) const;

  const ServerOptions options_;

  mutable std::mutex mutex_;
  mutable std::condition_variable transcript_changed_;
  Instrument instrument_;
  std::deque<std::string> transcript_;  // the last options_.transcript_lines lines
  std::size_t lines_received_ = 0;      // since the last clear
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

  mutable std::mutex clients_mutex_;
  std::list<std::unique_ptr<ClientThread>> clients_;

  std::atomic<bool> stop_requested_{false};
  // Each drop_connection adds one; a link taken on under an older value is dropped.
  std::atomic<std::uint64_t> drop_generation_{0};
  // A drop that found no TCP client: it applies to connections waiting to be taken on.
  std::atomic<bool> drop_waiting_{false};
};

}  // namespace vqrsim
