#include "store_loader.h"

#include "store_file.h"
#include "store_location.h"
#include "store_parser.h"

namespace hnvqr::config {
namespace {

LoadedStore Failure(const std::string& location, const std::string& problem) {
  return LoadedStore{nullptr, "Cannot read the configuration store '" + location + "': " + problem};
}

}  // namespace

LoadedStore LoadStore(const std::string& location) {
  if (location.empty()) return LoadedStore{nullptr, "Cannot read the configuration store: no location was given"};
  std::string text;
  std::string problem;
  switch (ReadStoreFile(location, text, problem)) {
    case StoreFileStatus::Missing: {
      // Only the master location may be absent; a process-default location that names a
      // missing file is a mistake the user must hear about.
      const std::string processDefault = ProcessDefaultStoreLocation();
      if (location == MasterStoreLocation() && location != processDefault) {
        return LoadedStore{std::make_shared<const StoreData>(BuiltInStore()), {}};
      }
      return Failure(location, "the file does not exist");
    }
    case StoreFileStatus::Failed:
      return Failure(location, problem);
    case StoreFileStatus::Read:
      break;
  }
  if (const auto nesting = FindExcessiveNesting(text)) return Failure(location, *nesting);
  auto store = ParseStoreText(text, problem);
  if (!store) return Failure(location, problem);
  return LoadedStore{std::make_shared<const StoreData>(std::move(*store)), {}};
}

}  // namespace hnvqr::config
