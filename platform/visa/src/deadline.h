// One time limit for a whole operation, so that a read made of several waits never takes
// longer than the session's time-out in total.
#ifndef HNVISA_DEADLINE_H
#define HNVISA_DEADLINE_H

#include <chrono>

#include "visa.h"

namespace hnvqr::visa {

class Deadline {
 public:
  using Clock = std::chrono::steady_clock;

  // VI_TMO_INFINITE waits for ever; VI_TMO_IMMEDIATE (0) only takes what is there already.
  static Deadline afterMilliseconds(ViUInt32 timeoutMs) {
    Deadline d;
    d.infinite_ = timeoutMs == VI_TMO_INFINITE;
    d.at_ = Clock::now() + std::chrono::milliseconds(timeoutMs);
    return d;
  }
  static Deadline immediate() { return afterMilliseconds(0); }

  // The time-out argument for poll(): -1 for no limit, else the milliseconds left
  // (rounded up, so that a wait never ends just before the deadline).
  int pollTimeout() const {
    if (infinite_) return -1;
    const auto left = at_ - Clock::now();
    if (left <= Clock::duration::zero()) return 0;
    const auto ms = std::chrono::ceil<std::chrono::milliseconds>(left).count();
    return ms > 1000000 ? 1000000 : static_cast<int>(ms);
  }
  bool expired() const { return !infinite_ && Clock::now() >= at_; }
  bool infinite() const { return infinite_; }
  // Whole milliseconds left (rounded down), 0 when expired; meaningless when infinite.
  long long millisecondsLeft() const {
    const auto left = std::chrono::floor<std::chrono::milliseconds>(at_ - Clock::now()).count();
    return left > 0 ? left : 0;
  }

 private:
  Deadline() = default;
  bool infinite_ = false;
  Clock::time_point at_{};
};

}  // namespace hnvqr::visa

#endif
