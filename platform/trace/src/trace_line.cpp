#include "trace_line.h"

#include <charconv>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <ctime>

#include "trace_platform.h"

namespace hnvqr::trace {
namespace {

using platform::processId;
using platform::threadId;

void appendInteger(std::string& line, long long value) {
  char digits[24];
  const auto result = std::to_chars(digits, digits + sizeof digits, value);
  line.append(digits, result.ptr);
}

// Seconds with microseconds, from nanoseconds.
void appendSeconds(std::string& line, std::int64_t nanoseconds) {
  char text[40];
  const std::int64_t micros = nanoseconds / 1000;
  const int length = std::snprintf(text, sizeof text, "%lld.%06lld", static_cast<long long>(micros / 1000000),
                                   static_cast<long long>(micros % 1000000));
  line.append(text, static_cast<std::size_t>(length));
}

void appendReal(std::string& line, double value) {
  // JSON has no NaN or infinity: they travel as texts, which a replay turns back.
  if (std::isnan(value)) {
    line += "\"nan\"";
    return;
  }
  if (std::isinf(value)) {
    line += value > 0 ? "\"inf\"" : "\"-inf\"";
    return;
  }
  char text[32];
  const int length = std::snprintf(text, sizeof text, "%.17g", value);
  line.append(text, static_cast<std::size_t>(length));
}

// The wall-clock time of the monotonic instant `at`.
void appendWallClock(std::string& line, std::int64_t at) {
  const auto now = std::chrono::system_clock::now().time_since_epoch() - std::chrono::nanoseconds(monotonicNow() - at);
  const auto micros = std::chrono::duration_cast<std::chrono::microseconds>(now).count();
  const std::time_t seconds = static_cast<std::time_t>(micros / 1000000);
  std::tm utc{};
  platform::utcTime(seconds, utc);
  char text[40];
  const std::size_t length = std::strftime(text, sizeof text, "%Y-%m-%dT%H:%M:%S", &utc);
  line.append(text, length);
  std::snprintf(text, sizeof text, ".%06lldZ", static_cast<long long>(micros % 1000000));
  line += text;
}

}  // namespace

std::int64_t monotonicNow() {
  return std::chrono::duration_cast<std::chrono::nanoseconds>(std::chrono::steady_clock::now().time_since_epoch())
      .count();
}

void appendJsonString(std::string& line, std::string_view bytes) {
  static constexpr char kHex[] = "0123456789abcdef";
  line += '"';
  for (const char c : bytes) {
    const auto byte = static_cast<unsigned char>(c);
    if (byte == '"' || byte == '\\') {
      line += '\\';
      line += c;
    } else if (byte == '\n') {
      line += "\\n";
    } else if (byte == '\r') {
      line += "\\r";
    } else if (byte == '\t') {
      line += "\\t";
    } else if (byte < 0x20 || byte >= 0x7F) {
      line += "\\u00";
      line += kHex[byte >> 4];
      line += kHex[byte & 0xF];
    } else {
      line += c;
    }
  }
  line += '"';
}

std::string buildLine(std::int64_t started, std::int64_t ended, std::span<const HnvisaTraceField> fields) {
  std::string line;
  line.reserve(160);
  line += "{\"t\":";
  appendSeconds(line, started);
  line += ",\"wall\":\"";
  appendWallClock(line, started);
  line += "\",\"pid\":";
  appendInteger(line, processId());
  line += ",\"tid\":";
  appendInteger(line, threadId());
  bool first = false;  // a field follows the stamp
  for (const HnvisaTraceField& field : fields) {
    if (field.kind == HNVISA_TRACE_END) {
      line += '}';
      first = false;
      continue;
    }
    if (!first) line += ',';
    first = false;
    appendJsonString(line, field.name != nullptr ? field.name : "");
    line += ':';
    switch (field.kind) {
      case HNVISA_TRACE_TEXT:
        if (field.data == nullptr) {
          line += "null";
        } else {
          appendJsonString(line, static_cast<const char*>(field.data));
        }
        break;
      case HNVISA_TRACE_BYTES:
        appendJsonString(line, field.data == nullptr
                                   ? std::string_view()
                                   : std::string_view(static_cast<const char*>(field.data), field.length));
        break;
      case HNVISA_TRACE_INTEGER:
        appendInteger(line, field.integer);
        break;
      case HNVISA_TRACE_REAL:
        appendReal(line, field.real);
        break;
      case HNVISA_TRACE_OBJECT:
        line += '{';
        first = true;
        break;
      default:
        line += "null";
        break;
    }
  }
  line += ",\"dur\":";
  appendSeconds(line, ended > started ? ended - started : 0);
  line += '}';
  return line;
}

}  // namespace hnvqr::trace
