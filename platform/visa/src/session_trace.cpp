// The I/O trace of a session: its open, each traced operation with the exact bytes, its
// attribute changes and its close, into the process trace or the one it was given.
#include <mutex>

#include "session.h"
#include "trace_line.h"
#include "trace_registry.h"

namespace hnvqr::visa {
namespace {

HnvisaTraceField text(const char* name, const char* value) { return {name, HNVISA_TRACE_TEXT, value, 0, 0, 0.0}; }
HnvisaTraceField bytes(const char* name, const std::string& value) {
  return {name, HNVISA_TRACE_BYTES, value.data(), static_cast<ViUInt32>(value.size()), 0, 0.0};
}
HnvisaTraceField integer(const char* name, long long value) {
  return {name, HNVISA_TRACE_INTEGER, nullptr, 0, value, 0.0};
}

}  // namespace

std::int64_t Session::traceClock() { return hnvqr::trace::monotonicNow(); }

std::shared_ptr<hnvqr::trace::TraceWriter> Session::traceWriter() const {
  const std::lock_guard lock(traceMutex_);
  return traceWriter_;
}

void Session::recordOpen(hnvqr::trace::TraceWriter& writer) const {
  ViSession handle = VI_NULL;
  std::int64_t started = 0, ended = 0;
  {
    const std::lock_guard lock(traceMutex_);
    handle = handle_;
    started = openStarted_;
    ended = openEnded_;
  }
  const HnvisaTraceField fields[] = {text("op", "open"), integer("session", handle),
                                     text("resource", identity_.resourceName.c_str()), integer("status", VI_SUCCESS)};
  writer.post(hnvqr::trace::buildLine(started, ended, fields));
}

void Session::noteOpened(ViSession handle, std::int64_t started, std::int64_t ended) {
  std::string reason;
  const HnvisaTrace environment = hnvqr::trace::TraceRegistry::instance().environmentTrace(reason);
  std::shared_ptr<hnvqr::trace::TraceWriter> writer = hnvqr::trace::TraceRegistry::instance().writer(environment);
  {
    const std::lock_guard lock(traceMutex_);
    handle_ = handle;
    openStarted_ = started;
    openEnded_ = ended;
    traceWriter_ = writer;
  }
  if (writer) recordOpen(*writer);
}

ViStatus Session::attachTrace(HnvisaTrace trace) {
  std::shared_ptr<hnvqr::trace::TraceWriter> writer;
  if (trace == 0) {
    std::string reason;
    writer = hnvqr::trace::TraceRegistry::instance().writer(
        hnvqr::trace::TraceRegistry::instance().environmentTrace(reason));
  } else {
    writer = hnvqr::trace::TraceRegistry::instance().writer(trace);
    if (!writer) return VI_ERROR_NSUP_ATTR_STATE;
  }
  std::shared_ptr<hnvqr::trace::TraceWriter> previous;
  {
    const std::lock_guard lock(traceMutex_);
    previous = traceWriter_;
    traceWriter_ = writer;
  }
  // A trace that did not have the session yet starts with its open.
  if (writer && writer != previous) recordOpen(*writer);
  return VI_SUCCESS;
}

void Session::recordOperation(hnvqr::trace::TraceWriter& writer, const char* operation, std::int64_t started,
                              ViStatus status, std::initializer_list<HnvisaTraceField> extra) {
  ViSession handle = VI_NULL;
  {
    const std::lock_guard lock(traceMutex_);
    handle = handle_;
  }
  std::vector<HnvisaTraceField> fields{text("op", operation), integer("session", handle),
                                       text("resource", identity_.resourceName.c_str())};
  fields.insert(fields.end(), extra.begin(), extra.end());
  if (!capture_.sent.empty()) fields.push_back(bytes("bytes", capture_.sent));
  if (!capture_.received.empty()) fields.push_back(bytes("reply", capture_.received));
  if (capture_.early > 0) fields.push_back(integer("early", static_cast<long long>(capture_.early)));
  fields.push_back(integer("status", status));
  writer.post(hnvqr::trace::buildLine(started, hnvqr::trace::monotonicNow(), fields));
}

void Session::recordAttribute(std::int64_t started, ViAttr attribute, ViAttrState value, ViStatus status) {
  const std::shared_ptr<hnvqr::trace::TraceWriter> writer = traceWriter();
  if (!writer) return;
  capture_.begin();
  capture_.active = false;
  recordOperation(
      *writer, "set_attribute", started, status,
      {integer("attribute", static_cast<long long>(attribute)), integer("value", static_cast<long long>(value))});
}

void Session::recordClose(std::int64_t started, ViStatus status) {
  const std::shared_ptr<hnvqr::trace::TraceWriter> writer = traceWriter();
  if (!writer) return;
  ViSession handle = VI_NULL;
  {
    const std::lock_guard lock(traceMutex_);
    handle = handle_;
  }
  const HnvisaTraceField fields[] = {text("op", "close"), integer("session", handle),
                                     text("resource", identity_.resourceName.c_str()), integer("status", status)};
  writer->post(hnvqr::trace::buildLine(started, hnvqr::trace::monotonicNow(), fields));
}

}  // namespace hnvqr::visa
