#include "kel/CallTrace.h"

#include <cstdlib>
#include <map>
#include <mutex>
#include <string>
#include <vector>

#include "kel/DriverSession.h"
#include "kel/Errors.h"
#include "kel/Frame.h"
#include "kel/Status.h"

namespace kel {
namespace {

constexpr std::size_t kReasonSize = 256;

// How deep this thread is in exported calls: only the outermost is a caller's.
thread_local int callDepth = 0;
thread_local ViSession initializingHandle = VI_NULL;

// The sessions' own traces, by session handle. The mutex guards the map; it is only taken
// while some trace is open.
std::mutex bindingsMutex;
std::map<ViSession, HnvisaTrace>& Bindings() {
  static auto* bindings = new std::map<ViSession, HnvisaTrace>();
  return *bindings;
}

void Bind(ViSession vi, HnvisaTrace trace) {
  const std::lock_guard lock(bindingsMutex);
  Bindings()[vi] = trace;
}

// A session that is gone gives its trace back.
void ReleaseIfClosed(ViSession vi) {
  if (vi == VI_NULL || FindSession(vi) != nullptr) return;
  HnvisaTrace trace = 0;
  {
    const std::lock_guard lock(bindingsMutex);
    const auto found = Bindings().find(vi);
    if (found == Bindings().end()) return;
    trace = found->second;
    Bindings().erase(found);
  }
  hnvisa_trace_close(trace);
}

std::string Trimmed(std::string text) {
  const auto blank = [](char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; };
  while (!text.empty() && blank(text.back())) text.pop_back();
  std::size_t start = 0;
  while (start < text.size() && blank(text[start])) ++start;
  return text.substr(start);
}

ViStatus ReportUnopenedTrace(DriverSession& session, const std::string& file, const char* reason) {
  return session.ReportErrorWithElaboration(status::kCannotRecover, "The trace file '%s' cannot be opened: %s.", file,
                                            std::string(reason));
}

}  // namespace

ViStatus OpenSessionTrace(DriverSession& session) {
  char reason[kReasonSize] = {};
  const char* environment = std::getenv("HNVQR_TRACE");
  if (environment != nullptr && *environment != '\0' && hnvisa_trace_environment(reason) == 0)
    return ReportUnopenedTrace(session, environment, reason);
  std::string file;
  if (!session.GetDriverSetupOption("TraceFile", file)) return VI_SUCCESS;
  file = Trimmed(file);
  HnvisaTrace trace = 0;
  if (hnvisa_trace_open(file.c_str(), &trace, reason) < 0) return ReportUnopenedTrace(session, file, reason);
  Bind(session.GetSessionHandle(), trace);
  return VI_SUCCESS;
}

HnvisaTrace SessionTrace(ViSession vi) {
  if (vi == VI_NULL || !TraceActive()) return 0;
  const std::lock_guard lock(bindingsMutex);
  const auto found = Bindings().find(vi);
  return found == Bindings().end() ? 0 : found->second;
}

void NoteInitializingHandle(ViSession vi) { initializingHandle = vi; }

const ViInt32* const kTraceActivity = hnvisa_trace_activity();

void CallTrace::Enter() {
  entered_ = true;
  outermost_ = callDepth++ == 0;
  if (outermost_) {
    started_ = hnvisa_trace_clock();
    initializingHandle = VI_NULL;
  }
}

void CallTrace::Leave() {
  --callDepth;
  if (outermost_ && TraceActive()) {
    try {
      ReleaseIfClosed(session());
    } catch (...) {
      // The trace stays open until the process ends.
    }
  }
}

ViSession CallTrace::session() const {
  if (vi_ != VI_NULL) return vi_;
  if (created_ != nullptr && *created_ != VI_NULL) return *created_;
  return initializingHandle;
}

void CallTrace::Record(const char* function, std::initializer_list<TraceField> arguments) {
  try {
    const ViSession vi = session();
    HnvisaTrace trace = SessionTrace(vi);
    if (trace == 0) trace = hnvisa_trace_environment(nullptr);
    if (trace == 0) return;
    std::vector<TraceField> fields{TraceText("op", "call"),
                                   TraceText("function", function),
                                   TraceValue("session", vi),
                                   {"args", HNVISA_TRACE_OBJECT, nullptr, 0, 0, 0.0}};
    fields.insert(fields.end(), arguments.begin(), arguments.end());
    fields.push_back({nullptr, HNVISA_TRACE_END, nullptr, 0, 0, 0.0});
    fields.push_back(TraceValue("status", status_));
    hnvisa_trace_record(trace, started_ != 0 ? started_ : hnvisa_trace_clock(), fields.data(),
                        static_cast<ViUInt32>(fields.size()));
  } catch (...) {
    // A line that cannot be built is lost; the call's status stands.
  }
}

}  // namespace kel
