#include "trace_writer.h"

#include "trace_platform.h"

namespace hnvqr::trace {

TraceWriter::TraceWriter(int fd, std::size_t capacity) : fd_(fd), capacity_(capacity) {
  thread_ = std::thread([this] { run(); });
}

TraceWriter::~TraceWriter() {
  {
    const std::lock_guard lock(mutex_);
    stopping_ = true;
  }
  wake_.notify_one();
  thread_.join();
  platform::close(fd_);
}

std::string TraceWriter::droppedLine(std::uint64_t count) {
  return "{\"op\":\"dropped\",\"count\":" + std::to_string(count) + "}";
}

bool TraceWriter::post(std::string line) {
  {
    const std::lock_guard lock(mutex_);
    // The count of what was dropped needs a place of its own ahead of the new line.
    const std::size_t needed = droppedPending_ > 0 ? 2 : 1;
    if (queue_.size() + needed > capacity_) {
      ++droppedPending_;
      ++droppedTotal_;
      return false;
    }
    if (droppedPending_ > 0) {
      queue_.push_back(droppedLine(droppedPending_));
      droppedPending_ = 0;
    }
    queue_.push_back(std::move(line));
  }
  wake_.notify_one();
  return true;
}

void TraceWriter::drain(std::chrono::milliseconds limit) {
  std::unique_lock lock(mutex_);
  if (droppedPending_ > 0) {
    queue_.push_back(droppedLine(droppedPending_));
    droppedPending_ = 0;
    wake_.notify_one();
  }
  drained_.wait_for(lock, limit, [&] { return queue_.empty() && !writing_; });
}

std::uint64_t TraceWriter::droppedTotal() const {
  const std::lock_guard lock(mutex_);
  return droppedTotal_;
}

void TraceWriter::writeAll(const std::string& bytes) {
  std::size_t done = 0;
  while (done < bytes.size()) {
    const long written = platform::write(fd_, bytes.data() + done, bytes.size() - done);
    if (written <= 0) return;  // a file that refuses more loses the rest; the caller never knows
    done += static_cast<std::size_t>(written);
  }
}

void TraceWriter::run() {
  // A trace into a pipe whose reader has gone must not end the process.
  platform::ignoreBrokenPipeOnThisThread();

  std::deque<std::string> batch;
  std::string bytes;
  for (;;) {
    bool stop = false;
    {
      std::unique_lock lock(mutex_);
      wake_.wait(lock, [&] { return stopping_ || !queue_.empty(); });
      batch.swap(queue_);
      writing_ = !batch.empty();
      stop = stopping_ && batch.empty();
      if (stop && droppedPending_ > 0) {
        batch.push_back(droppedLine(droppedPending_));
        droppedPending_ = 0;
        writing_ = true;
        stop = false;
      }
    }
    if (stop) return;
    bytes.clear();
    for (const std::string& line : batch) {
      bytes += line;
      bytes += '\n';
    }
    batch.clear();
    writeAll(bytes);
    {
      const std::lock_guard lock(mutex_);
      writing_ = false;
    }
    drained_.notify_all();
  }
}

}  // namespace hnvqr::trace
