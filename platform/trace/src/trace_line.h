// Building one trace line: the common stamp (times, process, thread), the event's fields and
// its duration, as one JSON object. Every text and byte string is escaped so that each byte
// stands for itself: printable ASCII as is, everything else as \u00XX.
#ifndef HNTRACE_TRACE_LINE_H
#define HNTRACE_TRACE_LINE_H

#include <cstdint>
#include <span>
#include <string>
#include <string_view>

#include "hnvisa_trace.h"

namespace hnvqr::trace {

// Nanoseconds of the monotonic clock.
std::int64_t monotonicNow();

// Appends `bytes` as a JSON string, quotes included.
void appendJsonString(std::string& line, std::string_view bytes);

// The whole line for an event that began at `started` and ends at `ended`.
std::string buildLine(std::int64_t started, std::int64_t ended, std::span<const HnvisaTraceField> fields);

}  // namespace hnvqr::trace

#endif
