// The IEEE 488.2 / SCPI status system: standard event register, status byte, the SCPI
// error queue, and the operation / questionable register groups.
#pragma once

#include <cstddef>
#include <cstdint>
#include <deque>
#include <string>
#include <string_view>

namespace vqrsim {

// Standard event status register bits.
namespace esr {
inline constexpr std::uint8_t kOperationComplete = 0x01;
inline constexpr std::uint8_t kQueryError = 0x04;
inline constexpr std::uint8_t kDeviceDependentError = 0x08;
inline constexpr std::uint8_t kExecutionError = 0x10;
inline constexpr std::uint8_t kCommandError = 0x20;
inline constexpr std::uint8_t kPowerOn = 0x80;
}  // namespace esr

// Status byte bits.
namespace stb {
inline constexpr std::uint8_t kErrorQueueNotEmpty = 0x04;
inline constexpr std::uint8_t kQuestionableSummary = 0x08;
inline constexpr std::uint8_t kMessageAvailable = 0x10;
inline constexpr std::uint8_t kEventSummary = 0x20;
inline constexpr std::uint8_t kRequestService = 0x40;
inline constexpr std::uint8_t kOperationSummary = 0x80;
}  // namespace stb

// Operation condition bits.
namespace oper {
inline constexpr std::uint16_t kConstantVoltage = 0x200;
inline constexpr std::uint16_t kConstantCurrent = 0x400;
inline constexpr std::uint16_t kUnregulated = 0x800;
}  // namespace oper

// Questionable condition bits. The hardware and temperature groups summarise into
// bits of their own.
namespace ques {
inline constexpr std::uint16_t kOverVoltage = 0x1;
inline constexpr std::uint16_t kOverCurrent = 0x2;
inline constexpr std::uint16_t kOverPower = 0x4;
inline constexpr std::uint16_t kTemperatureSummary = 0x10;
inline constexpr std::uint16_t kHardwareSummary = 0x1000;
}  // namespace ques

// The SCPI message of an error code ("Undefined header" for -113); "Unknown error" for a
// code outside the table.
std::string_view error_message(int code);

// SCPI error/event queue: first in, first out, bounded. When a new error finds the queue
// full, the newest entry is replaced by -350 "Queue overflow" and the error is lost.
class ErrorQueue {
 public:
  static constexpr std::size_t kCapacity = 16;

  void push(int code);
  // The oldest code, removed; 0 when empty.
  int pop();
  void clear() { codes_.clear(); }
  std::size_t size() const { return codes_.size(); }
  // The newest code in the queue, 0 when empty.
  int newest() const { return codes_.empty() ? 0 : codes_.back(); }

 private:
  std::deque<int> codes_;
};

// A SCPI register group: condition (live state), event (latched on positive transitions,
// cleared when read) and enable (selects the bits that reach the summary).
class RegisterGroup {
 public:
  void set_condition(std::uint16_t value);
  std::uint16_t condition() const { return condition_; }
  std::uint16_t event() const { return event_; }
  std::uint16_t take_event();
  std::uint16_t enable() const { return enable_; }
  void set_enable(std::uint16_t value) { enable_ = value & 0x7FFF; }
  void clear_event() { event_ = 0; }
  bool summary() const { return (event_ & enable_) != 0; }

 private:
  std::uint16_t condition_ = 0;
  std::uint16_t event_ = 0;
  std::uint16_t enable_ = 0;
};

class StatusSystem {
 public:
  StatusSystem() = default;

  // Queues an error and sets the standard event bit of its class (-1xx command error,
  // -2xx execution error, -3xx device-dependent error, -4xx query error).
  void report_error(int code);
  void raise_events(std::uint8_t bits) { event_status_ |= bits; }

  std::uint8_t event_status() const { return event_status_; }
  std::uint8_t take_event_status();
  std::uint8_t event_enable() const { return event_enable_; }
  void set_event_enable(std::uint8_t value) { event_enable_ = value; }
  std::uint8_t request_enable() const { return request_enable_; }
  void set_request_enable(std::uint8_t value) { request_enable_ = value & ~stb::kRequestService; }

  // The status byte; message_available says whether a reply is waiting to be read.
  std::uint8_t status_byte(bool message_available) const;

  // Sets the questionable condition to the device's own bits plus the bits that
  // summarise the hardware and temperature groups.
  void set_questionable_condition(std::uint16_t device_bits);

  // *CLS: event registers, the error queue and the standard event register.
  void clear();
  // STAT:PRES: the SCPI enable registers back to 0.
  void preset();

  ErrorQueue errors;
  RegisterGroup operation;
  RegisterGroup questionable;
  RegisterGroup hardware;
  RegisterGroup temperature;

 private:
  std::uint8_t event_status_ = esr::kPowerOn;
  std::uint8_t event_enable_ = 0;
  std::uint8_t request_enable_ = 0;
};

// "-113,\"Undefined header\"" for a code; "0,\"No error\"" for 0.
std::string format_error_entry(int code);

}  // namespace vqrsim
