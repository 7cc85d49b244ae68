// The trace files open in this process, by handle: one writer per file however many
// handles, sessions and libraries use it.
#ifndef HNTRACE_TRACE_REGISTRY_H
#define HNTRACE_TRACE_REGISTRY_H

#include <atomic>
#include <cstdint>
#include <map>
#include <memory>
#include <mutex>
#include <shared_mutex>
#include <span>
#include <string>
#include <utility>

#include "hnvisa_trace.h"
#include "trace_writer.h"

namespace hnvqr::trace {

class TraceRegistry {
 public:
  static TraceRegistry& instance();

  // VI_ERROR_IO, with the system's reason, when `path` cannot be opened.
  ViStatus open(const std::string& path, HnvisaTrace& handle, std::string& reason);
  void close(HnvisaTrace handle);
  // The writer behind a handle, or nullptr; the caller's reference keeps it alive.
  std::shared_ptr<TraceWriter> writer(HnvisaTrace handle) const;
  // The trace of HNVQR_TRACE (0 when there is none), opened once.
  HnvisaTrace environmentTrace(std::string& reason);

  // Writes out what every open trace has queued (at the end of the process).
  void drainAll();

  bool active() const { return __atomic_load_n(&openHandles_, __ATOMIC_RELAXED) > 0; }
  const ViInt32* activity() const { return &openHandles_; }

 private:
  TraceRegistry() = default;

  struct OpenFile {
    std::shared_ptr<TraceWriter> writer;
    int handles = 0;
  };
  using FileKey = std::pair<unsigned long long, unsigned long long>;  // device, inode

  // Guards the four members below; never held while a line is written.
  mutable std::shared_mutex mutex_;
  HnvisaTrace nextHandle_ = 1;
  std::map<HnvisaTrace, FileKey> handles_;
  std::map<FileKey, OpenFile> files_;
  ViInt32 openHandles_ = 0;  // changed under mutex_ with atomic builtins, read without it

  // The environment's trace, settled once.
  std::once_flag environmentOnce_;
  HnvisaTrace environmentHandle_ = 0;
  std::string environmentReason_;
};

// Records one event into `writer` (when there is one).
void record(TraceWriter* writer, std::int64_t started, std::span<const HnvisaTraceField> fields);

}  // namespace hnvqr::trace

#endif
