// One trace file: lines queued by any thread, written in order by a thread of its own. The
// queue is bounded; a full queue drops the line and counts it, and the count is written as a
// line of its own as soon as there is room. No caller ever waits for the file.
#ifndef HNTRACE_TRACE_WRITER_H
#define HNTRACE_TRACE_WRITER_H

#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <mutex>
#include <string>
#include <thread>

namespace hnvqr::trace {

class TraceWriter {
 public:
  // Takes `fd` (closed with the writer unless it is standard error).
  explicit TraceWriter(int fd, std::size_t capacity = kDefaultCapacity);
  // Writes what is queued, then the count of dropped lines, and stops the thread.
  ~TraceWriter();
  TraceWriter(const TraceWriter&) = delete;
  TraceWriter& operator=(const TraceWriter&) = delete;

  // Queues one line (without its line end); false when it was dropped.
  bool post(std::string line);
  // Waits, at most `limit`, until everything queued is written (with the count of what was
  // dropped): at the end of the process, whose threads stop without unwinding.
  void drain(std::chrono::milliseconds limit);
  // Lines dropped so far, in all.
  std::uint64_t droppedTotal() const;

  static constexpr std::size_t kDefaultCapacity = 8192;

 private:
  void run();
  void writeAll(const std::string& bytes);
  static std::string droppedLine(std::uint64_t count);

  const int fd_;
  const std::size_t capacity_;
  // Guards the queue, the two counters, writing_ and stopping_.
  mutable std::mutex mutex_;
  std::condition_variable wake_;
  std::condition_variable drained_;
  bool writing_ = false;  // the thread holds a batch not yet written
  std::deque<std::string> queue_;
  std::uint64_t droppedPending_ = 0;  // dropped since the last "dropped" line was queued
  std::uint64_t droppedTotal_ = 0;
  bool stopping_ = false;
  std::thread thread_;
};

}  // namespace hnvqr::trace

#endif
