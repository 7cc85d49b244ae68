#include "vqrsim/status_system.hpp"

#include <array>
#include <utility>

namespace vqrsim {
namespace {

struct ErrorText {
  int code;
  std::string_view text;
};

constexpr std::array<ErrorText, 25> kErrorTexts{{
    {0, "No error"},
    {-100, "Command error"},
    {-102, "Syntax error"},
    {-104, "Data type error"},
    {-108, "Parameter not allowed"},
    {-109, "Missing parameter"},
    {-113, "Undefined header"},
    {-120, "Numeric data error"},
    {-131, "Invalid suffix"},
    {-150, "String data error"},
    {-160, "Block data error"},
    {-200, "Execution error"},
    {-221, "Settings conflict"},
    {-222, "Data out of range"},
    {-224, "Illegal parameter value"},
    {-300, "Device-specific error"},
    {-330, "Self-test failed"},
    {-350, "Queue overflow"},
    {-363, "Input buffer overrun"},
    {-400, "Query error"},
    {-410, "Query INTERRUPTED"},
    {-420, "Query UNTERMINATED"},
    {-430, "Query DEADLOCKED"},
    {-440, "Query UNTERMINATED after indefinite response"},
    {-310, "System error"},
}};

std::uint8_t event_bit_of(int code) {
  if (code <= -100 && code > -200) return esr::kCommandError;
  if (code <= -200 && code > -300) return esr::kExecutionError;
  if (code <= -300 && code > -400) return esr::kDeviceDependentError;
  if (code <= -400 && code > -500) return esr::kQueryError;
  return code > 0 ? esr::kDeviceDependentError : 0;
}

}  // namespace

std::string_view error_message(int code) {
  for (const ErrorText& row : kErrorTexts) {
    if (row.code == code) return row.text;
  }
  return "Unknown error";
}

std::string format_error_entry(int code) {
  std::string entry = std::to_string(code);
  entry += ",\"";
  entry += error_message(code);
  entry += '"';
  return entry;
}

void ErrorQueue::push(int code) {
  constexpr int kOverflow = -350;
  if (codes_.size() < kCapacity) {
    codes_.push_back(code);
  } else {
    codes_.back() = kOverflow;
  }
}

int ErrorQueue::pop() {
  if (codes_.empty()) return 0;
  const int code = codes_.front();
  codes_.pop_front();
  return code;
}

void RegisterGroup::set_condition(std::uint16_t value) {
  const auto rising = static_cast<std::uint16_t>(value & ~condition_);
  event_ |= rising;
  condition_ = value;
}

std::uint16_t RegisterGroup::take_event() { return std::exchange(event_, 0); }

void StatusSystem::report_error(int code) {
  // A full queue turns the newest entry into -350, itself a device-dependent error.
  const bool overflowing = errors.size() >= ErrorQueue::kCapacity;
  errors.push(code);
  event_status_ |= event_bit_of(code);
  if (overflowing) event_status_ |= esr::kDeviceDependentError;
}

std::uint8_t StatusSystem::take_event_status() { return std::exchange(event_status_, 0); }

std::uint8_t StatusSystem::status_byte(bool message_available) const {
  std::uint8_t value = 0;
  if (errors.size() > 0) value |= stb::kErrorQueueNotEmpty;
  if (questionable.summary()) value |= stb::kQuestionableSummary;
  if (message_available) value |= stb::kMessageAvailable;
  if ((event_status_ & event_enable_) != 0) value |= stb::kEventSummary;
  if (operation.summary()) value |= stb::kOperationSummary;
  if ((value & request_enable_) != 0) value |= stb::kRequestService;
  return value;
}

void StatusSystem::set_questionable_condition(std::uint16_t device_bits) {
  auto value = static_cast<std::uint16_t>(device_bits & ~(ques::kHardwareSummary | ques::kTemperatureSummary));
  if (hardware.summary()) value |= ques::kHardwareSummary;
  if (temperature.summary()) value |= ques::kTemperatureSummary;
  questionable.set_condition(value);
}

void StatusSystem::clear() {
  errors.clear();
  event_status_ = 0;
  operation.clear_event();
  questionable.clear_event();
  hardware.clear_event();
  temperature.clear_event();
}

void StatusSystem::preset() {
  operation.set_enable(0);
  questionable.set_enable(0);
  hardware.set_enable(0);
  temperature.set_enable(0);
}

}  // namespace vqrsim
