// A recorded trace played back as the instrument (REPLAY::file[::speed]::INSTR). The first
// session opened in the trace is the one replayed: each write must be the bytes it wrote,
// each read gets the reply it got, after the time it took times the speed factor (0: at
// once), and a read that failed (a time-out, a lost link) fails the same way again. A write
// that differs fails with VI_ERROR_IO, and the session's status description then names the
// first differing byte and the line of the trace.
#ifndef HNVISA_REPLAY_TRANSPORT_H
#define HNVISA_REPLAY_TRANSPORT_H

#include <condition_variable>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "resource_name.h"
#include "transport.h"

namespace hnvqr::visa {

class ReplayTransport final : public Transport {
 public:
  // VI_ERROR_RSRC_NFOUND when the file cannot be read or holds no session to replay.
  static ViStatus open(const std::string& file, double speed, std::unique_ptr<Transport>& transport);

  // The kind of resource the recorded session was opened on, which the replay stands for.
  ResourceKind recordedKind() const { return recordedKind_; }

  ViStatus receive(ViByte* buffer, std::size_t capacity, std::size_t* received, const Deadline& deadline) override;
  ViStatus send(const ViByte* data, std::size_t length, std::size_t* sent, const Deadline& deadline) override;
  bool termCharIsEnd() const override { return recordedKind_ == ResourceKind::Serial; }
  void interrupt() override;
  // The recorded session's interface settings are its own business: accepted as they come.
  ViStatus setAttribute(ViAttr /*attribute*/, ViAttrState /*value*/) override { return VI_SUCCESS; }
  bool describeFailure(ViStatus status, std::string& text) const override;

  // One operation of the recorded session.
  struct Exchange {
    std::size_t line = 0;   // in the trace file, from 1
    std::string sent;       // what the session wrote
    std::string reply;      // what it received
    std::size_t early = 0;  // of the reply, what came before anything was sent
    ViStatus status = VI_SUCCESS;
    double seconds = 0.0;  // how long it took
  };

 private:
  ReplayTransport(std::string file, double speed, ResourceKind kind, std::vector<Exchange> exchanges)
      : file_(std::move(file)), speed_(speed), recordedKind_(kind), exchanges_(std::move(exchanges)) {}

  // Waits the recorded time of the current exchange, once, within the deadline.
  void waitRecordedTime(const Deadline& deadline);
  ViStatus fail(std::string description);
  Exchange* current() { return next_ < exchanges_.size() ? &exchanges_[next_] : nullptr; }

  const std::string file_;
  const double speed_;
  const ResourceKind recordedKind_;
  std::vector<Exchange> exchanges_;
  // The position in the recording, kept by the session's calls (under its I/O lock).
  std::size_t next_ = 0;         // the exchange being replayed
  std::size_t sentMatched_ = 0;  // of its bytes, those written so far
  std::size_t delivered_ = 0;    // of its reply, those handed out so far
  bool waited_ = false;          // its recorded time has been spent
  bool failureDelivered_ = false;
  std::string lastFailure_;  // read by describeFailure from other calls: guarded below
  mutable std::mutex failureMutex_;
  // Guards interrupted_; the wait for the recorded time ends early on an interrupt.
  std::mutex waitMutex_;
  std::condition_variable wake_;
  bool interrupted_ = false;
};

}  // namespace hnvqr::visa

#endif
