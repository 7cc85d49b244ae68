// The trace of the exported calls: one line per call a caller made (not the calls the driver
// makes of its own exports inside one), with the function, its arguments, what it handed
// back and its status, written after the bytes it caused. It goes into the session's own
// trace (DriverSetup TraceFile) or else into the process trace (HNVQR_TRACE).
#pragma once

#include <concepts>
#include <cstring>
#include <initializer_list>
#include <string_view>
#include <type_traits>

#include <hnvisa_trace.h>
#include <visatype.h>

namespace kel {

class DriverSession;

using TraceField = HnvisaTraceField;

inline TraceField TraceText(const char* name, const char* value) { return {name, HNVISA_TRACE_TEXT, value, 0, 0, 0.0}; }
inline TraceField TraceValue(const char* name, ViReal64 value) {
  return {name, HNVISA_TRACE_REAL, nullptr, 0, 0, value};
}
template <std::integral T>
TraceField TraceValue(const char* name, T value) {
  return {name, HNVISA_TRACE_INTEGER, nullptr, 0, static_cast<ViInt64>(value), 0.0};
}

// Opens the session's own trace when its DriverSetup names one (TraceFile), and checks that
// the process trace, when HNVQR_TRACE asks for one, could be opened. A file that cannot be
// opened fails the initialization with 0xBFFA0000, naming the file and the reason.
ViStatus OpenSessionTrace(DriverSession& session);
// The session's own trace, 0 when it has none.
HnvisaTrace SessionTrace(ViSession vi);
// Where the framework notes the handle an initialization on this thread works on, so that
// the call line of a failed initialization still finds the session's trace.
void NoteInitializingHandle(ViSession vi);

// Nonzero while any trace is open in the process (hnvisa_trace_activity).
extern const ViInt32* const kTraceActivity;
inline bool TraceActive() { return __atomic_load_n(kTraceActivity, __ATOMIC_RELAXED) != 0; }

// One exported call, from its entry to its line. With no trace open it costs one load; an
// initialization (no session yet) is always timed, as it may open the first trace itself.
class CallTrace {
 public:
  explicit CallTrace(ViSession vi) : vi_(vi) {
    if (vi == VI_NULL || TraceActive()) Enter();
  }
  ~CallTrace() {
    if (entered_) Leave();
  }
  CallTrace(const CallTrace&) = delete;
  CallTrace& operator=(const CallTrace&) = delete;

  // True when this call is to be recorded; the outputs are recorded for a status that is
  // not an error.
  bool Wanted(ViStatus status) {
    status_ = status;
    return entered_ && outermost_ && TraceActive();
  }
  void Record(const char* function, std::initializer_list<TraceField> arguments);

  TraceField OutputSession(const char* name, const ViSession* value) {
    created_ = value;
    return Output(name, value);
  }
  template <class T>
  TraceField Output(const char* name, const T* value) const {
    if (!outputsValid() || value == nullptr) return TraceText(name, nullptr);
    return TraceValue(name, *value);
  }
  TraceField OutputText(const char* name, const ViChar* buffer, ViInt64 capacity) const {
    if (!outputsValid() || buffer == nullptr || capacity <= 0) return TraceText(name, nullptr);
    return {name,   HNVISA_TRACE_BYTES,
            buffer, static_cast<ViUInt32>(strnlen(buffer, static_cast<std::size_t>(capacity))),
            0,      0.0};
  }
  TraceField InputBytes(const char* name, const ViByte* buffer, ViInt64 count) const {
    if (!outputsValid() || buffer == nullptr || count < 0) return TraceText(name, nullptr);
    return {name, HNVISA_TRACE_BYTES, buffer, static_cast<ViUInt32>(count), 0, 0.0};
  }
  TraceField OutputBytes(const char* name, const ViByte* buffer, ViInt64 count, const ViInt64* returned) const {
    if (!outputsValid() || buffer == nullptr || returned == nullptr || *returned < 0 || *returned > count)
      return TraceText(name, nullptr);
    return {name, HNVISA_TRACE_BYTES, buffer, static_cast<ViUInt32>(*returned), 0, 0.0};
  }

 private:
  bool outputsValid() const { return status_ >= 0; }
  ViSession session() const;
  void Enter();
  void Leave();

  const ViSession vi_;
  bool entered_ = false;
  bool outermost_ = false;
  ViInt64 started_ = 0;
  ViStatus status_ = 0;
  const ViSession* created_ = nullptr;  // init's output handle
};

}  // namespace kel
