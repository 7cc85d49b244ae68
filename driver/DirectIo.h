#pragma once

#include <visatype.h>

namespace kel {
class DriverSession;
}

namespace hnvqr {

// Direct I/O is not available in simulation: records the I/O error when SIMULATE is on.
ViStatus RefuseInSimulation(kel::DriverSession& session);

}  // namespace hnvqr
