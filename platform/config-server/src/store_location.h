// Where configuration stores live. Included by the server and by its tests.
#ifndef HNVQR_CONFIG_SERVER_STORE_LOCATION_H
#define HNVQR_CONFIG_SERVER_STORE_LOCATION_H

#include <string>

namespace hnvqr::config {

inline constexpr const char* kDefaultMasterStoreLocation = "/etc/ivi/config-store.json";
inline constexpr const char* kProcessDefaultStoreVariable = "IVI_CONFIG_STORE";

// The master location: the platform's (PlatformMasterStoreLocation) unless a test moved it.
std::string MasterStoreLocation();

// /etc/ivi/config-store.json; on Windows config-store.json in IVI's data folder,
// %ProgramData%\IVI Foundation\IVI\.
std::string PlatformMasterStoreLocation();

// For tests only (deliberately not an environment variable a user could set by accident):
// moves the master location; an empty text restores the default.
void SetMasterStoreLocationForTesting(std::string location);

// The process-default location: IVI_CONFIG_STORE as it is now, empty when unset.
std::string ProcessDefaultStoreLocation();

}  // namespace hnvqr::config

#endif
