// `hnvqr trace FILE` (a trace as a table) and `hnvqr replay FILE` (its calls run again).
#pragma once

#include <optional>
#include <string>
#include <vector>

namespace hnvqr::tool {

struct TraceOptions {
  std::optional<long long> session;  // only this session's events
  bool errors_only = false;          // only events that failed
  double slow_ms = 100.0;            // an exchange that took longer is flagged
};

// Prints the table on standard output; 0, or 1 when the file cannot be read.
int run_trace(const std::string& file, const TraceOptions& options);
// Runs the recorded calls again, against the replay of the file or against `resource`, and
// compares each status and output with the recorded one; 0 when all are the same, else 1.
int run_replay(const std::string& file, const std::optional<std::string>& resource);

}  // namespace hnvqr::tool
