#include "store_location.h"

#include <cstdlib>
#include <mutex>
#include <utility>

namespace hnvqr::config {
namespace {

// Guards the text returned by MasterOverride().
std::mutex& OverrideMutex() {
  static std::mutex mutex;
  return mutex;
}

std::string& MasterOverride() {
  static std::string location;
  return location;
}

}  // namespace

std::string MasterStoreLocation() {
  const std::lock_guard lock(OverrideMutex());
  const std::string& location = MasterOverride();
  return location.empty() ? PlatformMasterStoreLocation() : location;
}

void SetMasterStoreLocationForTesting(std::string location) {
  const std::lock_guard lock(OverrideMutex());
  MasterOverride() = std::move(location);
}

std::string ProcessDefaultStoreLocation() {
  const char* value = std::getenv(kProcessDefaultStoreVariable);
  return value != nullptr ? std::string(value) : std::string();
}

}  // namespace hnvqr::config
