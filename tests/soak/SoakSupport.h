// A fault soak of one live session against its own emulator: random live operations while
// the emulator injects faults, chosen by a seeded generator so a failing run replays.
// Every call is checked for its status and bounded in time; the session is reopened after
// a dropped link.
#pragma once

#include <chrono>
#include <cstdlib>
#include <random>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include <visa.h>

#include "HnVQR.h"
#include "vqrsim/server.hpp"

namespace soak {

using Clock = std::chrono::steady_clock;

// The session's I/O time-out during the soak: low, so that a stalled reply is quick to see.
constexpr ViInt32 kTimeoutMs = 100;
// Generous bound of any single call: the time-out plus room for a loaded (or sanitized) host.
constexpr auto kCallBound = std::chrono::milliseconds(kTimeoutMs) + std::chrono::seconds(2);
// A stalled reply comes this late: well past the time-out.
constexpr auto kStall = std::chrono::milliseconds(300);

// How long a soak runs: its default operation count, or HNVQR_SOAK_SECONDS for a long run.
struct Budget {
  int minimumOperations;
  Clock::duration duration{};  // zero: just the operation count

  static Budget FromEnvironment(int defaultOperations) {
    Budget budget{defaultOperations};
    if (const char* seconds = std::getenv("HNVQR_SOAK_SECONDS")) {
      budget.duration = std::chrono::seconds(std::atoi(seconds));
    }
    return budget;
  }
  bool Done(int operations, Clock::time_point start) const {
    return operations >= minimumOperations && Clock::now() - start >= duration;
  }
};

enum class Fault { None, Split, Garbage, Stall, Drop };
enum class Operation { Measure, Configure, GetLevel, GetModel };

struct Tally {
  int operations = 0;
  int faults[5] = {};
  int reopenings = 0;
  std::vector<std::string> failures;  // empty when every check held

  void Fail(const std::string& what) {
    if (failures.size() < 20) failures.push_back(what);
  }
};

inline const char* Name(Fault fault) {
  static const char* const names[] = {"none", "split", "garbage", "stall", "drop"};
  return names[static_cast<int>(fault)];
}

inline const char* Name(Operation operation) {
  static const char* const names[] = {"MeasureVoltage", "ConfigureVoltageLevel", "Get VOLTAGE_LEVEL",
                                      "Get INSTRUMENT_MODEL"};
  return names[static_cast<int>(operation)];
}

// The query header of an operation's reply, for the garbage override (none for a command).
inline const char* QueryHeader(Operation operation) {
  switch (operation) {
    case Operation::Measure:
      return "MEAS:VOLT?";
    case Operation::GetLevel:
      return "VOLT?";
    default:
      return nullptr;
  }
}

class FaultSoak {
 public:
  FaultSoak(unsigned seed, Budget budget) : random_(seed), budget_(budget), seed_(seed) {}

  Tally Run() {
    resource_ = server_.start_tcp();
    if (!Open()) return tally_;
    const auto start = Clock::now();
    while (!budget_.Done(tally_.operations, start) && tally_.failures.empty()) Step();
    if (vi_ != VI_NULL && HnVQR_close(vi_) != VI_SUCCESS) tally_.Fail("close at the end failed");
    server_.stop();
    return tally_;
  }

 private:
  bool Open() {
    vi_ = VI_NULL;
    // No cache, so that every get is a live query; no status query, so that each call is
    // exactly one exchange and a fault hits that exchange.
    const ViStatus opened = HnVQR_InitWithOptions(const_cast<ViRsrc>(resource_.c_str()), VI_TRUE, VI_FALSE,
                                                  "Cache=0, QueryInstrStatus=0", &vi_);
    if (opened != VI_SUCCESS) {
      Fail("opening a session", opened);
      return false;
    }
    const ViStatus set = HnVQR_SetAttributeViInt32(vi_, "", HNVQR_ATTR_SYSTEM_IO_TIMEOUT, kTimeoutMs);
    if (set != VI_SUCCESS) Fail("setting the time-out", set);
    expectedLevel_ = -1;
    return set == VI_SUCCESS;
  }

  void Reopen() {
    const ViStatus closed = HnVQR_close(vi_);
    if (closed != VI_SUCCESS) Fail("closing after a lost link", closed);
    ++tally_.reopenings;
    if (Open()) {
      // The new session works at once.
      ViReal64 volts = -1;
      const ViStatus measured = HnVQR_MeasureVoltage(vi_, &volts);
      if (measured != VI_SUCCESS) Fail("measuring on the reopened session", measured);
    }
  }

  Fault PickFault(Operation operation) {
    const int roll = std::uniform_int_distribution<int>(0, 999)(random_);
    // The model is answered from the cache without I/O: no exchange for a fault to hit.
    if (operation == Operation::GetModel) return Fault::None;
    const bool query = QueryHeader(operation) != nullptr;
    if (roll < 2) return Fault::Stall;  // rare: each one costs the stall
    if (roll < 8) return Fault::Drop;
    if (roll < 20 && QueryHeader(operation) != nullptr) return Fault::Garbage;
    if (roll < 45 && query) return Fault::Split;
    return Fault::None;
  }

  void Step() {
    const auto operation = static_cast<Operation>(std::uniform_int_distribution<int>(0, 3)(random_));
    const Fault fault = PickFault(operation);
    ++tally_.operations;
    ++tally_.faults[static_cast<int>(fault)];
    switch (fault) {
      case Fault::Split:
        server_.set_reply_split(2, std::chrono::milliseconds(1));
        break;
      case Fault::Garbage:
        server_.override_reply(QueryHeader(operation), "#garbage, not a number\n", 1);
        break;
      case Fault::Stall:
        server_.set_reply_delay(std::chrono::duration_cast<std::chrono::milliseconds>(kStall));
        break;
      case Fault::Drop:
        server_.drop_after_next_line();
        break;
      case Fault::None:
        break;
    }

    const auto began = Clock::now();
    const ViStatus status = Call(operation);
    const auto took = Clock::now() - began;
    if (took > kCallBound) Fail("a call took too long", status, operation, fault);

    switch (fault) {
      case Fault::None:
      case Fault::Split:
        server_.set_reply_split(0, std::chrono::milliseconds(0));
        if (status != VI_SUCCESS) Fail("a call without a fault failed", status, operation, fault);
        break;
      case Fault::Garbage:
        if (status != IVI_ERROR_UNEXPECTED_RESPONSE && status != VI_ERROR_IO) {
          Fail("garbage was not reported as such", status, operation, fault);
        }
        break;
      case Fault::Stall:
        server_.set_reply_delay(std::chrono::milliseconds(0));
        if (operation == Operation::Configure) {
          // A command has no reply to stall; the next query sees the delay instead.
          if (status != VI_SUCCESS) Fail("a command before a stall failed", status, operation, fault);
          break;
        }
        if (status != VI_ERROR_TMO) Fail("a stalled reply did not time out", status, operation, fault);
        DrainLateReply();
        break;
      case Fault::Drop:
        if (operation == Operation::Measure || operation == Operation::GetLevel) {
          if (status >= 0) Fail("a dropped link was reported as success", status, operation, fault);
        } else {
          // A command may reach the kernel before the link goes; the next query must fail.
          ViReal64 volts = 0;
          const ViStatus next = HnVQR_MeasureVoltage(vi_, &volts);
          if (next >= 0) Fail("a query after a dropped link succeeded", next, operation, fault);
        }
        server_.clear_reply_overrides();
        Reopen();
        break;
    }
  }

  // A stalled reply still arrives, after the time-out: read it away so that the next
  // exchange is in step again (a driver that discards it itself makes this read time out).
  void DrainLateReply() {
    std::this_thread::sleep_for(kStall);
    ViByte buffer[256];
    ViInt64 count = 0;
    const ViStatus drained = HnVQR_viRead(vi_, sizeof buffer, buffer, &count);
    if (drained < 0 && drained != VI_ERROR_TMO) Fail("draining a late reply", drained);
  }

  ViStatus Call(Operation operation) {
    switch (operation) {
      case Operation::Measure: {
        ViReal64 volts = -1;
        const ViStatus status = HnVQR_MeasureVoltage(vi_, &volts);
        if (status == VI_SUCCESS && volts != 0.0)
          Fail("the output is off, yet a voltage was measured", status, operation);
        return status;
      }
      case Operation::Configure: {
        const ViReal64 level = std::uniform_int_distribution<int>(0, 400)(random_) / 10.0;
        const ViStatus status = HnVQR_ConfigureVoltageLevel(vi_, "CH1", level);
        expectedLevel_ = status == VI_SUCCESS ? level : -1;
        return status;
      }
      case Operation::GetLevel: {
        ViReal64 level = -1;
        const ViStatus status = HnVQR_GetAttributeViReal64(vi_, "", HNVQR_ATTR_VOLTAGE_LEVEL, &level);
        // A reply out of step with its query shows up as the wrong level.
        if (status == VI_SUCCESS && expectedLevel_ >= 0 && level != expectedLevel_) {
          Fail("the level read back is not the one configured", status, operation);
        }
        return status;
      }
      case Operation::GetModel: {
        ViChar model[64] = {};
        const ViStatus status = HnVQR_GetAttributeViString(vi_, "", HNVQR_ATTR_INSTRUMENT_MODEL, sizeof model, model);
        if (status == VI_SUCCESS && std::string(model) != "VQR-A4")
          Fail("wrong model " + std::string(model), status, operation);
        return status;
      }
    }
    return VI_SUCCESS;
  }

  void Fail(const std::string& what, ViStatus status, Operation operation = Operation::Measure,
            Fault fault = Fault::None) {
    std::ostringstream text;
    text << "seed " << seed_ << ", operation " << tally_.operations << " (" << Name(operation) << ", fault "
         << Name(fault) << "): " << what << ", status 0x" << std::hex << static_cast<unsigned>(status);
    tally_.Fail(text.str());
  }

  vqrsim::Server server_{vqrsim::ServerOptions{"VQR-A4", 1e6, false}};
  std::mt19937 random_;
  Budget budget_;
  unsigned seed_;
  std::string resource_;
  ViSession vi_ = VI_NULL;
  ViReal64 expectedLevel_ = -1;  // the level last configured, -1 when unknown
  Tally tally_;
};

}  // namespace soak
