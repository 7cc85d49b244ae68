// USB-TMC on Windows goes through a vendor's VISA (its USB-TMC driver): this library has no
// transport for it there, and answers as for any interface it does not carry.
#include "usbtmc_transport.h"

namespace hnvqr::visa {

std::string UsbtmcTransport::findDeviceNode(const UsbDeviceId& /*id*/) { return {}; }

std::vector<std::string> UsbtmcTransport::attachedResourceNames() { return {}; }

ViStatus UsbtmcTransport::open(const UsbDeviceId& /*id*/, std::unique_ptr<Transport>& /*opened*/) {
  return VI_ERROR_LIBRARY_NFOUND;
}

}  // namespace hnvqr::visa
