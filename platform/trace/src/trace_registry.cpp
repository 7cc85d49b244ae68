#include "trace_registry.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <mutex>

#include <vector>

#include "trace_line.h"
#include "trace_platform.h"

namespace hnvqr::trace {
namespace {

constexpr std::size_t kReasonCapacity = 256;

void copyReason(const std::string& reason, ViChar* destination) {
  if (destination == nullptr) return;
  const std::size_t length = std::min(reason.size(), kReasonCapacity - 1);
  std::memcpy(destination, reason.data(), length);
  destination[length] = '\0';
}

}  // namespace

TraceRegistry& TraceRegistry::instance() {
  // Never destroyed: sessions may still record while the process ends. What is queued when
  // it ends is written first.
  static TraceRegistry* registry = [] {
    auto* created = new TraceRegistry();
    std::atexit([] { TraceRegistry::instance().drainAll(); });
    return created;
  }();
  return *registry;
}

void TraceRegistry::drainAll() {
  std::vector<std::shared_ptr<TraceWriter>> writers;
  {
    const std::shared_lock lock(mutex_);
    for (const auto& [key, file] : files_) writers.push_back(file.writer);
  }
  for (const auto& writer : writers) writer->drain(std::chrono::seconds(2));
}

ViStatus TraceRegistry::open(const std::string& path, HnvisaTrace& handle, std::string& reason) {
  handle = 0;
  if (path.empty()) {
    reason = "the file name is empty";
    return VI_ERROR_IO;
  }
  platform::OpenedFile file;
  if (!platform::openForAppend(path, file, reason)) return VI_ERROR_IO;
  const int fd = file.fd;
  const FileKey key{file.device, file.inode};
  const std::unique_lock lock(mutex_);
  auto found = files_.find(key);
  if (found != files_.end()) {
    platform::close(fd);  // this process writes the file through its one writer
  } else {
    // A trace starts empty; only a regular file can be emptied.
    if (file.regular && !platform::truncate(fd, reason)) {
      platform::close(fd);
      return VI_ERROR_IO;
    }
    found = files_.emplace(key, OpenFile{std::make_shared<TraceWriter>(fd), 0}).first;
  }
  ++found->second.handles;
  handle = nextHandle_++;
  handles_.emplace(handle, key);
  __atomic_fetch_add(&openHandles_, 1, __ATOMIC_RELAXED);
  return VI_SUCCESS;
}

void TraceRegistry::close(HnvisaTrace handle) {
  std::shared_ptr<TraceWriter> last;  // destroyed (drained, joined) outside the lock
  {
    const std::unique_lock lock(mutex_);
    const auto found = handles_.find(handle);
    if (found == handles_.end() || handle == environmentHandle_) return;
    const auto file = files_.find(found->second);
    handles_.erase(found);
    __atomic_fetch_sub(&openHandles_, 1, __ATOMIC_RELAXED);
    if (file != files_.end() && --file->second.handles == 0) {
      last = std::move(file->second.writer);
      files_.erase(file);
    }
  }
}

std::shared_ptr<TraceWriter> TraceRegistry::writer(HnvisaTrace handle) const {
  if (handle == 0) return nullptr;
  const std::shared_lock lock(mutex_);
  const auto found = handles_.find(handle);
  if (found == handles_.end()) return nullptr;
  const auto file = files_.find(found->second);
  return file == files_.end() ? nullptr : file->second.writer;
}

HnvisaTrace TraceRegistry::environmentTrace(std::string& reason) {
  std::call_once(environmentOnce_, [this] {
    const char* path = std::getenv("HNVQR_TRACE");
    if (path == nullptr || *path == '\0') return;
    HnvisaTrace handle = 0;
    std::string why;
    if (open(path, handle, why) < VI_SUCCESS) {
      environmentReason_ = why;
      return;
    }
    environmentHandle_ = handle;
  });
  reason = environmentReason_;
  return environmentHandle_;
}

void record(TraceWriter* writer, std::int64_t started, std::span<const HnvisaTraceField> fields) {
  if (writer == nullptr) return;
  writer->post(buildLine(started, monotonicNow(), fields));
}

}  // namespace hnvqr::trace

extern "C" {

HnvisaTrace _VI_FUNC hnvisa_trace_environment(ViChar reason[]) {
  try {
    std::string why;
    const HnvisaTrace handle = hnvqr::trace::TraceRegistry::instance().environmentTrace(why);
    hnvqr::trace::copyReason(why, reason);
    return handle;
  } catch (...) {
    hnvqr::trace::copyReason("out of memory", reason);
    return 0;
  }
}

ViStatus _VI_FUNC hnvisa_trace_open(ViConstString path, HnvisaTrace* trace, ViChar reason[]) {
  if (trace == nullptr) return VI_ERROR_USER_BUF;
  *trace = 0;
  hnvqr::trace::copyReason("", reason);
  if (path == nullptr) {
    hnvqr::trace::copyReason("no file name", reason);
    return VI_ERROR_IO;
  }
  try {
    std::string why;
    const ViStatus status = hnvqr::trace::TraceRegistry::instance().open(path, *trace, why);
    hnvqr::trace::copyReason(why, reason);
    return status;
  } catch (...) {
    hnvqr::trace::copyReason("out of memory", reason);
    return VI_ERROR_ALLOC;
  }
}

void _VI_FUNC hnvisa_trace_close(HnvisaTrace trace) {
  try {
    hnvqr::trace::TraceRegistry::instance().close(trace);
  } catch (...) {
    // Nothing to give back then.
  }
}

ViBoolean _VI_FUNC hnvisa_trace_active(void) {
  return hnvqr::trace::TraceRegistry::instance().active() ? VI_TRUE : VI_FALSE;
}

const ViInt32* _VI_FUNC hnvisa_trace_activity(void) { return hnvqr::trace::TraceRegistry::instance().activity(); }

ViInt64 _VI_FUNC hnvisa_trace_clock(void) { return hnvqr::trace::monotonicNow(); }

void _VI_FUNC hnvisa_trace_record(HnvisaTrace trace, ViInt64 started, const HnvisaTraceField* fields, ViUInt32 count) {
  try {
    const std::shared_ptr<hnvqr::trace::TraceWriter> writer = hnvqr::trace::TraceRegistry::instance().writer(trace);
    if (!writer || (fields == nullptr && count > 0)) return;
    hnvqr::trace::record(writer.get(), started, std::span<const HnvisaTraceField>(fields, count));
  } catch (...) {
    // An event that cannot be built is lost, like one the queue had no room for.
  }
}

}  // extern "C"
