// Loading a store from a location: the file, or the built-in store when the master
// location holds no file.
#ifndef HNVQR_CONFIG_SERVER_STORE_LOADER_H
#define HNVQR_CONFIG_SERVER_STORE_LOADER_H

#include <memory>
#include <string>

#include "store_model.h"

namespace hnvqr::config {

struct LoadedStore {
  std::shared_ptr<const StoreData> data;  // null on failure
  std::string error;                      // "Cannot read the configuration store '...': ..."
};

LoadedStore LoadStore(const std::string& location);

}  // namespace hnvqr::config

#endif
