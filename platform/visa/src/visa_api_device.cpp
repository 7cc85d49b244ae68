// The exported IEEE 488.2 device operations, buffer sizing and the event switches.
#include "api_frame.h"
#include "visa.h"

using hnvqr::visa::Session;

extern "C" {

ViStatus _VI_FUNC viReadSTB(ViSession vi, ViPUInt16 status) {
  return hnvqr::visa::withTracedInstrument(vi, "read_stb", [&](Session& session) -> ViStatus {
    if (status == nullptr) return VI_ERROR_USER_BUF;
    return session.readStatusByte(*status);
  });
}

ViStatus _VI_FUNC viClear(ViSession vi) {
  return hnvqr::visa::withTracedInstrument(vi, "clear", [&](Session& session) { return session.clear(); });
}

ViStatus _VI_FUNC viAssertTrigger(ViSession vi, ViUInt16 protocol) {
  return hnvqr::visa::withTracedInstrument(vi, "trigger", [&](Session& session) -> ViStatus {
    if (protocol != VI_TRIG_PROT_DEFAULT) return VI_ERROR_INV_PROT;
    return session.assertTrigger();
  });
}

ViStatus _VI_FUNC viSetBuf(ViSession vi, ViUInt16 mask, ViUInt32 /*size*/) {
  return hnvqr::visa::withInstrument(vi, [&](Session&) -> ViStatus {
    constexpr ViUInt16 kKnown = VI_READ_BUF | VI_WRITE_BUF | VI_IO_IN_BUF | VI_IO_OUT_BUF;
    if (mask == 0 || (mask & ~kKnown) != 0) return VI_ERROR_INV_MASK;
    // The buffers keep their size (they pass on what does not fit): say so.
    return VI_WARN_NSUP_BUF;
  });
}

// No GPIB interface: every session answers that it has no such operation.
ViStatus _VI_FUNC viGpibControlREN(ViSession vi, ViUInt16 /*mode*/) {
  return hnvqr::visa::withInstrument(vi, [](Session&) { return VI_ERROR_NSUP_OPER; });
}

// This library raises no events, so none is ever enabled and no queue holds any: turning
// them off and discarding them (what closing a PyVISA resource does) succeeds with the
// statuses that say so.
ViStatus _VI_FUNC viDisableEvent(ViSession vi, ViEventType /*eventType*/, ViUInt16 /*mechanism*/) {
  return hnvqr::visa::withInstrument(
      vi, [](Session&) { return VI_SUCCESS_EVENT_DIS; }, VI_SUCCESS_EVENT_DIS);
}

ViStatus _VI_FUNC viDiscardEvents(ViSession vi, ViEventType /*eventType*/, ViUInt16 /*mechanism*/) {
  return hnvqr::visa::withInstrument(
      vi, [](Session&) { return VI_SUCCESS_QUEUE_EMPTY; }, VI_SUCCESS_QUEUE_EMPTY);
}

}  // extern "C"
