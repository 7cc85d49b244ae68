#pragma once

#include <visatype.h>

namespace hnvqr {

// Direct I/O is not available in simulation: reads SIMULATE through the typed access and
// records the I/O error when it is on.
ViStatus RefuseInSimulation(ViSession vi);

}  // namespace hnvqr
