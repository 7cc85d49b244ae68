// The names a configuration store offers to `hnvqr -r`: its logical names and driver
// sessions, read from the store file the driver reads, for listing them and for naming the
// closest ones when a name given on the command line matched nothing.
#ifndef HNVQR_TOOL_STORE_NAMES_H
#define HNVQR_TOOL_STORE_NAMES_H

#include <string>
#include <string_view>
#include <vector>

namespace hnvqr::tool {

struct StoreSession {
  std::string name;
  std::string resource;  // of its hardware asset; empty without one
  std::string model;     // from its DriverSetup (Model:...) or a "model" initial setting
  bool simulate = false;
};

struct StoreLogicalName {
  std::string name;
  std::string session;
};

struct StoreNames {
  std::string location;   // the file read, or the master location when there is none
  bool built_in = false;  // no file at the master location: the built-in store was read
  std::string error;      // why the store could not be read; empty when it was
  std::vector<StoreLogicalName> logical_names;
  std::vector<StoreSession> sessions;
};

// Reads the store the driver would read now: $IVI_CONFIG_STORE when set, else the master
// location, else the built-in store. Never throws; a failure is described in `error`.
StoreNames read_store_names();

// Up to three logical or session names closest to NAME (case-insensitive edit distance),
// nearest first; only names close enough to be a likely typing slip.
std::vector<std::string> closest_names(const StoreNames& store, std::string_view name);

// Where the store came from, as one phrase: "the store file /x.json" or "the built-in store
// (no file at /etc/ivi/config-store.json)".
std::string store_phrase(const StoreNames& store);

}  // namespace hnvqr::tool

#endif
