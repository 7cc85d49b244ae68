// The trace functions as the Windows driver DLL carries them: there the driver imports only
// the nine VISA operations (a vendor VISA32.dll has no trace), and a second writer of its own
// would race ours in VISA32.dll for the same file. So the driver's call trace is not
// available on Windows, and asking for one fails the initialization with this reason.
#include <chrono>
#include <cstring>

#include "hnvisa_trace.h"

namespace {

constexpr char kUnavailable[] = "the driver's call trace is not available in the Windows build";

void copyReason(ViChar reason[]) {
  if (reason != nullptr) std::memcpy(reason, kUnavailable, sizeof kUnavailable);
}

const ViInt32 kNoActivity = 0;

}  // namespace

extern "C" {

HnvisaTrace _VI_FUNC hnvisa_trace_environment(ViChar reason[]) {
  copyReason(reason);
  return 0;
}

ViStatus _VI_FUNC hnvisa_trace_open(ViConstString /*path*/, HnvisaTrace* trace, ViChar reason[]) {
  if (trace != nullptr) *trace = 0;
  copyReason(reason);
  return VI_ERROR_NSUP_OPER;
}

void _VI_FUNC hnvisa_trace_close(HnvisaTrace /*trace*/) {}

ViBoolean _VI_FUNC hnvisa_trace_active(void) { return VI_FALSE; }

const ViInt32* _VI_FUNC hnvisa_trace_activity(void) { return &kNoActivity; }

ViInt64 _VI_FUNC hnvisa_trace_clock(void) {
  return std::chrono::duration_cast<std::chrono::nanoseconds>(std::chrono::steady_clock::now().time_since_epoch())
      .count();
}

void _VI_FUNC hnvisa_trace_record(HnvisaTrace /*trace*/, ViInt64 /*started*/, const HnvisaTraceField* /*fields*/,
                                  ViUInt32 /*count*/) {}

}  // extern "C"
