// IVI keeps its shared data on Windows in %ProgramData%\IVI Foundation\IVI\ (where the IVI
// configuration store lives); our store file lives beside it.
#include "store_location.h"

#include <cstdlib>

namespace hnvqr::config {

std::string PlatformMasterStoreLocation() {
  const char* programData = std::getenv("ProgramData");
  const std::string folder = programData != nullptr && *programData != '\0' ? programData : "C:\\ProgramData";
  return folder + "\\IVI Foundation\\IVI\\config-store.json";
}

}  // namespace hnvqr::config
