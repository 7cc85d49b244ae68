// The contents of one configuration store, as read from its file. A StoreData is built
// once, then shared read-only (std::shared_ptr<const StoreData>) by every handle derived
// from the store, so handles may point into its vectors without further locking.
#ifndef HNVQR_CONFIG_SERVER_STORE_MODEL_H
#define HNVQR_CONFIG_SERVER_STORE_MODEL_H

#include <cstddef>
#include <optional>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "visatype.h"

namespace hnvqr::config {

inline constexpr const char* kInitialSettingsStructureName = "Configurable Initial Settings";
inline constexpr const char* kStructureTypeName = "Structure";
inline constexpr const char* kDriverSoftwareModuleName = "HnVQR";
inline constexpr const char* kDriverPhysicalName = "CH1";

// A data component is either a structure (members, no value) or a setting: a name, a type
// text exactly as written in the file, and a value that is a JSON string, number or boolean
// (null when the file gives none).
struct DataComponent {
  std::string name;
  std::string type;
  nlohmann::json value;
  bool isStructure = false;
  std::vector<DataComponent> members;
};

struct PhysicalName {
  std::string name;
  std::string value;
};

struct SoftwareModule {
  std::string name;
  std::vector<PhysicalName> physicalNames;
  // Empty, or one structure named "Configurable Initial Settings" holding the settings.
  std::vector<DataComponent> dataComponents;
};

struct HardwareAsset {
  std::string name;
  std::string ioResourceDescriptor;
};

struct VirtualRange {
  ViInt32 first = 0;
  ViInt32 last = 0;
  ViInt32 start = 0;
};

struct VirtualName {
  std::string name;
  std::string map;
  std::vector<VirtualRange> ranges;
};

struct DriverSession {
  std::string name;
  std::size_t softwareModule = 0;            // index into StoreData::softwareModules
  std::optional<std::size_t> hardwareAsset;  // index into StoreData::hardwareAssets
  bool cache = true;
  bool interchangeCheck = false;
  bool queryInstrStatus = false;
  bool rangeCheck = true;
  bool recordCoercions = false;
  bool simulate = false;
  std::string driverSetup;
  std::vector<VirtualName> virtualNames;
  std::vector<DataComponent> dataComponents;
};

struct LogicalName {
  std::string name;
  std::size_t session = 0;  // index into StoreData::driverSessions
};

struct StoreData {
  std::vector<SoftwareModule> softwareModules;
  std::vector<HardwareAsset> hardwareAssets;
  std::vector<DriverSession> driverSessions;
  std::vector<LogicalName> logicalNames;
};

}  // namespace hnvqr::config

#endif
