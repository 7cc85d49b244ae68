#include "store_location.h"

namespace hnvqr::config {

std::string PlatformMasterStoreLocation() { return kDefaultMasterStoreLocation; }

}  // namespace hnvqr::config
