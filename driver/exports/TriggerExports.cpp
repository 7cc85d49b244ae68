// Triggering: the instruments have no triggered mode, so every trigger function reports
// "function not supported" (unrecorded) after the frame, live and in simulation alike.
#include "HnVQR.h"
#include "kel/DriverSession.h"
#include "kel/Frame.h"
#include "kel/Status.h"

// The bodies of the exports; the exported functions around them, which trace each call,
// are generated from HnVQR.h (TracedExports.cpp).
namespace hnvqr::untraced {

namespace {

ViStatus TriggerNotSupported(ViSession vi) {
  return kel::WithSession(vi, [](kel::DriverSession&) { return kel::status::kFunctionNotSupported; });
}

}  // namespace

ViStatus _VI_FUNC HnVQR_ConfigureTriggerSource(ViSession vi, ViConstString, ViInt32) { return TriggerNotSupported(vi); }
ViStatus _VI_FUNC HnVQR_ConfigureTriggeredVoltageLevel(ViSession vi, ViConstString, ViReal64) {
  return TriggerNotSupported(vi);
}
ViStatus _VI_FUNC HnVQR_ConfigureTriggeredCurrentLimit(ViSession vi, ViConstString, ViReal64) {
  return TriggerNotSupported(vi);
}
ViStatus _VI_FUNC HnVQR_Initiate(ViSession vi) { return TriggerNotSupported(vi); }
ViStatus _VI_FUNC HnVQR_Abort(ViSession vi) { return TriggerNotSupported(vi); }
ViStatus _VI_FUNC HnVQR_SendSoftwareTrigger(ViSession vi) { return TriggerNotSupported(vi); }

}  // namespace hnvqr::untraced
