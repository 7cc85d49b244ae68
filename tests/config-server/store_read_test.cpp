// Reading stores back through the C API: every value of a full store file, the defaults
// of a minimal one, session lookup, store locations and the built-in store.
#include <cstdlib>
#include <map>
#include <vector>

#include "config_test_support.h"
#include "store_location.h"

using namespace config_test;

namespace {

class StoreReadTest : public ::testing::Test {
 protected:
  void SetUp() override {
    unsetenv("IVI_CONFIG_STORE");
    hnvqr::config::SetMasterStoreLocationForTesting(scratch_.Path("master.json"));
    liveHandlesAtStart_ = IviConfig_GetLiveHandleCount();
  }
  void TearDown() override {
    unsetenv("IVI_CONFIG_STORE");
    hnvqr::config::SetMasterStoreLocationForTesting("");
    EXPECT_EQ(IviConfig_GetLiveHandleCount(), liveHandlesAtStart_) << "a test leaked handles";
  }

  ScratchFolder scratch_;
  ViInt32 liveHandlesAtStart_ = 0;
};

struct Setting {
  std::string type;
  std::string value;  // as text, whatever the type
  bool operator==(const Setting&) const = default;
};

// Visits each item of `collection` by index (from 1, as the API counts) and disposes of
// each item and then of the collection.
template <class Count, class ItemAt, class Visit>
void ForEachItem(IviConfigHandle collection, Count count, ItemAt itemAt, Visit&& visit) {
  ViInt32 itemCount = 0;
  EXPECT_EQ(count(collection, &itemCount), VI_SUCCESS);
  for (ViInt32 index = 1; index <= itemCount; ++index) {
    IviConfigHandle item = 0;
    EXPECT_EQ(itemAt(collection, index, &item), VI_SUCCESS) << "item " << index;
    visit(item);
    IviConfig_DisposeHandle(item);
  }
  IviConfig_DisposeHandle(collection);
}

// The initial settings of a session or software module, read the way the driver reads
// them; nothing when the component has none.
std::map<std::string, Setting> ReadInitialSettings(IviConfigComponentHandle component) {
  std::map<std::string, Setting> settings;
  IviDataComponentCollectionHandle top = 0;
  EXPECT_EQ(IviConfig_GetConfigComponentDataComponentCollection(component, &top), VI_SUCCESS);
  IviStructureHandle structure = 0;
  if (IviConfig_GetDataComponentItemByName(top, "Configurable Initial Settings", &structure) != VI_SUCCESS) {
    EXPECT_EQ(LastErrorCode(), IVICONFIG_ERROR_NOT_EXIST);
    IviConfig_DisposeHandle(top);
    return settings;
  }
  EXPECT_EQ(ReadText(IviConfig_GetDataComponentPropertyViString, structure, IVICONFIG_VAL_DATA_COMPONENT_NAME),
            "Configurable Initial Settings");
  IviDataComponentCollectionHandle items = 0;
  EXPECT_EQ(IviConfig_GetStructureDataComponentCollection(structure, &items), VI_SUCCESS);
  ForEachItem(
      items, IviConfig_GetDataComponentCount, IviConfig_GetDataComponentItemByIndex, [&](IviDataComponentHandle item) {
        const std::string name =
            ReadText(IviConfig_GetDataComponentPropertyViString, item, IVICONFIG_VAL_DATA_COMPONENT_NAME);
        const std::string type =
            ReadText(IviConfig_GetDataComponentPropertyViString, item, IVICONFIG_VAL_DATA_COMPONENT_TYPE);
        settings[name] = {
            type, ReadText(IviConfig_GetDataComponentPropertyViString, item, IVICONFIG_VAL_DATA_COMPONENT_VALUE)};
      });
  IviConfig_DisposeHandle(structure);
  IviConfig_DisposeHandle(top);
  return settings;
}

std::map<std::string, std::string> ReadPhysicalNames(IviSoftwareModuleHandle module) {
  std::map<std::string, std::string> names;
  IviPhysicalNameCollectionHandle collection = 0;
  EXPECT_EQ(IviConfig_GetSoftwareModulePhysicalNameCollection(module, &collection), VI_SUCCESS);
  ForEachItem(collection, IviConfig_GetPhysicalNameCount, IviConfig_GetPhysicalNameItemByIndex,
              [&](IviPhysicalNameHandle name) {
                names[ReadText(IviConfig_GetPhysicalNamePropertyViString, name, IVICONFIG_VAL_PHYSICAL_NAME_NAME)] =
                    ReadText(IviConfig_GetPhysicalNamePropertyViString, name, IVICONFIG_VAL_PHYSICAL_NAME_RC_NAME);
              });
  return names;
}

// Each virtual name as "name->map" followed by its ranges as "[first,last,start]".
std::vector<std::string> ReadVirtualNames(IviDriverSessionHandle session) {
  std::vector<std::string> result;
  IviVirtualNameCollectionHandle names = 0;
  EXPECT_EQ(IviConfig_GetSessionVirtualNameCollection(session, &names), VI_SUCCESS);
  ForEachItem(
      names, IviConfig_GetVirtualNameCount, IviConfig_GetVirtualNameItemByIndex, [&](IviVirtualNameHandle name) {
        std::string entry = ReadText(IviConfig_GetVirtualNamePropertyViString, name, IVICONFIG_VAL_VIRTUAL_NAME_NAME) +
                            "->" +
                            ReadText(IviConfig_GetVirtualNamePropertyViString, name, IVICONFIG_VAL_VIRTUAL_NAME_MAP_TO);
        IviVirtualRangeCollectionHandle ranges = 0;
        EXPECT_EQ(IviConfig_GetVirtualNameVirtualRangeCollection(name, &ranges), VI_SUCCESS);
        ForEachItem(
            ranges, IviConfig_GetVirtualRangeCount, IviConfig_GetVirtualRangeItemByIndex,
            [&](IviVirtualRangeHandle range) {
              ViInt32 first = -1, last = -1, start = -1;
              EXPECT_EQ(IviConfig_GetVirtualRangePropertyViInt32(range, IVICONFIG_VAL_VIRTUAL_RANGE_MIN, &first),
                        VI_SUCCESS);
              EXPECT_EQ(IviConfig_GetVirtualRangePropertyViInt32(range, IVICONFIG_VAL_VIRTUAL_RANGE_MAX, &last),
                        VI_SUCCESS);
              EXPECT_EQ(
                  IviConfig_GetVirtualRangePropertyViInt32(range, IVICONFIG_VAL_VIRTUAL_RANGE_STARTING_INDEX, &start),
                  VI_SUCCESS);
              entry += "[" + std::to_string(first) + "," + std::to_string(last) + "," + std::to_string(start) + "]";
            });
        result.push_back(entry);
      });
  return result;
}

std::vector<ViBoolean> ReadFlags(IviDriverSessionHandle session) {
  std::vector<ViBoolean> flags;
  for (ViInt32 property = IVICONFIG_VAL_DRIVER_SESSION_CACHE; property <= IVICONFIG_VAL_DRIVER_SESSION_SIMULATE;
       ++property) {
    ViBoolean flag = 99;
    EXPECT_EQ(IviConfig_GetDriverSessionPropertyViBoolean(session, property, &flag), VI_SUCCESS);
    flags.push_back(flag);
  }
  return flags;
}

std::string ReadAssetDescriptor(IviDriverSessionHandle session, bool expectAsset) {
  IviHardwareAssetHandle asset = 12345;
  EXPECT_EQ(IviConfig_GetSessionHardwareAssetReference(session, &asset), VI_SUCCESS);
  EXPECT_EQ(asset != 0, expectAsset);
  if (asset == 0) return {};
  std::string descriptor =
      ReadText(IviConfig_GetHardwareAssetPropertyViString, asset, IVICONFIG_VAL_HARDWARE_ASSET_IO_RESOURCE_DESCRIPTOR);
  IviConfig_DisposeHandle(asset);
  return descriptor;
}

TEST_F(StoreReadTest, SampleStoreReadsBackThroughEveryCall) {
  OpenStore store(scratch_.Write("store.json", kSampleStore));
  ASSERT_EQ(store.status(), VI_SUCCESS) << LastErrorDescription();

  IviDriverSessionHandle session = 0;
  ASSERT_EQ(IviConfig_GetDriverSession(store.handle(), "MyPSU", &session), VI_SUCCESS);
  EXPECT_EQ(ReadFlags(session), (std::vector<ViBoolean>{VI_TRUE, VI_FALSE, VI_TRUE, VI_TRUE, VI_FALSE, VI_FALSE}));
  EXPECT_EQ(ReadText(IviConfig_GetDriverSessionPropertyViString, session, IVICONFIG_VAL_DRIVER_SESSION_DRIVER_SETUP),
            "Model:VQR-A4");
  EXPECT_EQ(ReadAssetDescriptor(session, true), "TCPIP0::192.168.1.50::5025::SOCKET");
  EXPECT_EQ(ReadVirtualNames(session), std::vector<std::string>{"Out->CH[1,2,1]"});
  EXPECT_EQ(ReadInitialSettings(session), (std::map<std::string, Setting>{{"Model", {"String", "VQR-A2"}}}));

  IviSoftwareModuleHandle module = 0;
  ASSERT_EQ(IviConfig_GetSessionSoftwareModuleReference(session, &module), VI_SUCCESS);
  EXPECT_EQ(ReadPhysicalNames(module), (std::map<std::string, std::string>{{"CH1", ""}}));
  EXPECT_EQ(ReadInitialSettings(module), (std::map<std::string, Setting>{{"model", {"string", "VQR-A2"}}}));

  // The same module through the store's collection, as for a plain resource descriptor.
  IviSoftwareModuleCollectionHandle modules = 0;
  IviSoftwareModuleHandle byName = 0;
  ASSERT_EQ(IviConfig_GetConfigStoreSoftwareModuleCollection(store.handle(), &modules), VI_SUCCESS);
  ASSERT_EQ(IviConfig_GetSoftwareModuleItemByName(modules, "HnVQR", &byName), VI_SUCCESS);
  EXPECT_EQ(ReadInitialSettings(byName), ReadInitialSettings(module));

  for (IviConfigHandle handle : {byName, modules, module, session})
    EXPECT_EQ(IviConfig_DisposeHandle(handle), VI_SUCCESS);
}

TEST_F(StoreReadTest, MinimalSessionHasTheDocumentedDefaults) {
  OpenStore store(scratch_.Write("store.json", R"({"driverSessions": [{"name": "Bare"}]})"));
  ASSERT_EQ(store.status(), VI_SUCCESS) << LastErrorDescription();
  IviDriverSessionHandle session = 0;
  ASSERT_EQ(IviConfig_GetDriverSession(store.handle(), "Bare", &session), VI_SUCCESS);
  // cache, interchangeCheck, queryInstrStatus, rangeCheck, recordCoercions, simulate
  EXPECT_EQ(ReadFlags(session), (std::vector<ViBoolean>{VI_TRUE, VI_FALSE, VI_FALSE, VI_TRUE, VI_FALSE, VI_FALSE}));
  EXPECT_EQ(ReadText(IviConfig_GetDriverSessionPropertyViString, session, IVICONFIG_VAL_DRIVER_SESSION_DRIVER_SETUP),
            "");
  EXPECT_EQ(ReadAssetDescriptor(session, false), "");
  EXPECT_TRUE(ReadVirtualNames(session).empty());
  EXPECT_TRUE(ReadInitialSettings(session).empty());
  // No software module named: the driver's own, registered although the file omits it.
  IviSoftwareModuleHandle module = 0;
  ASSERT_EQ(IviConfig_GetSessionSoftwareModuleReference(session, &module), VI_SUCCESS);
  EXPECT_EQ(ReadPhysicalNames(module), (std::map<std::string, std::string>{{"CH1", ""}}));
  EXPECT_TRUE(ReadInitialSettings(module).empty());
  IviConfig_DisposeHandle(module);
  IviConfig_DisposeHandle(session);
}

TEST_F(StoreReadTest, LookupTriesLogicalNamesFirstThenSessionNamesExactly) {
  OpenStore store(scratch_.Write("store.json", R"({
    "driverSessions": [ {"name": "A", "driverSetup": "from A"}, {"name": "B", "driverSetup": "from B"} ],
    "logicalNames": [ {"name": "B", "session": "A"} ] })"));
  ASSERT_EQ(store.status(), VI_SUCCESS) << LastErrorDescription();
  auto setupOf = [&](const char* name) {
    IviDriverSessionHandle session = 0;
    EXPECT_EQ(IviConfig_GetDriverSession(store.handle(), name, &session), VI_SUCCESS) << name;
    std::string setup =
        ReadText(IviConfig_GetDriverSessionPropertyViString, session, IVICONFIG_VAL_DRIVER_SESSION_DRIVER_SETUP);
    IviConfig_DisposeHandle(session);
    return setup;
  };
  EXPECT_EQ(setupOf("A"), "from A");
  EXPECT_EQ(setupOf("B"), "from A");  // the logical name B wins over the session B

  IviDriverSessionHandle session = 77;
  EXPECT_EQ(IviConfig_GetDriverSession(store.handle(), "a", &session), IVICONFIG_ERROR_SESSION_NOT_FOUND);
  EXPECT_EQ(session, 0u);
  EXPECT_EQ(LastErrorCode(), IVICONFIG_ERROR_SESSION_NOT_FOUND);
  EXPECT_EQ(LastErrorDescription(), "There is no logical name or driver session named 'a' in the configuration store");
  EXPECT_EQ(IviConfig_GetDriverSession(store.handle(), "GPIB0::5::INSTR", &session), IVICONFIG_ERROR_SESSION_NOT_FOUND);
}

TEST_F(StoreReadTest, InitialSettingValuesConvertSafely) {
  OpenStore store(scratch_.Write("store.json", R"({"driverSessions": [{"name": "S", "initialSettings": [
      {"name": "i", "type": "Integer", "value": -42},
      {"name": "whole", "type": "integer", "value": 7.0},
      {"name": "big", "type": "integer", "value": 2147483648},
      {"name": "huge", "type": "integer", "value": 18446744073709551615},
      {"name": "frac", "type": "integer", "value": 2.5},
      {"name": "r", "type": "REAL", "value": 1.25},
      {"name": "t", "type": "boolean", "value": true},
      {"name": "one", "type": "boolean", "value": 1},
      {"name": "two", "type": "boolean", "value": 2},
      {"name": "wraps", "type": "boolean", "value": 65537},
      {"name": "s", "type": "string", "value": "text"},
      {"name": "when", "type": "date"} ]}]})"));
  ASSERT_EQ(store.status(), VI_SUCCESS) << LastErrorDescription();
  IviDriverSessionHandle session = 0;
  IviDataComponentCollectionHandle top = 0, items = 0;
  IviStructureHandle structure = 0;
  ASSERT_EQ(IviConfig_GetDriverSession(store.handle(), "S", &session), VI_SUCCESS);
  ASSERT_EQ(IviConfig_GetConfigComponentDataComponentCollection(session, &top), VI_SUCCESS);
  ASSERT_EQ(IviConfig_GetDataComponentItemByName(top, "Configurable Initial Settings", &structure), VI_SUCCESS);
  ASSERT_EQ(IviConfig_GetStructureDataComponentCollection(structure, &items), VI_SUCCESS);
  std::vector<IviConfigHandle> taken{session, top, structure, items};
  auto item = [&](const char* name) {
    IviDataComponentHandle handle = 0;
    EXPECT_EQ(IviConfig_GetDataComponentItemByName(items, name, &handle), VI_SUCCESS) << name;
    taken.push_back(handle);
    return handle;
  };
  ViInt32 integer = 0;
  ViReal64 real = 0;
  ViBoolean boolean = 99;
  EXPECT_EQ(IviConfig_GetDataComponentPropertyViInt32(item("i"), IVICONFIG_VAL_DATA_COMPONENT_VALUE, &integer),
            VI_SUCCESS);
  EXPECT_EQ(integer, -42);
  EXPECT_EQ(IviConfig_GetDataComponentPropertyViInt32(item("whole"), IVICONFIG_VAL_DATA_COMPONENT_VALUE, &integer),
            VI_SUCCESS);
  EXPECT_EQ(integer, 7);
  EXPECT_EQ(IviConfig_GetDataComponentPropertyViReal64(item("i"), IVICONFIG_VAL_DATA_COMPONENT_VALUE, &real),
            VI_SUCCESS);
  EXPECT_EQ(real, -42.0);
  EXPECT_EQ(IviConfig_GetDataComponentPropertyViReal64(item("r"), IVICONFIG_VAL_DATA_COMPONENT_VALUE, &real),
            VI_SUCCESS);
  EXPECT_EQ(real, 1.25);

  EXPECT_EQ(IviConfig_GetDataComponentPropertyViInt32(item("big"), IVICONFIG_VAL_DATA_COMPONENT_VALUE, &integer),
            IVICONFIG_ERROR_INVALID_DATA_COMPONENT);
  EXPECT_EQ(LastErrorDescription(), "The value of the data component 'big' (2147483648) does not fit in 32 bits");
  EXPECT_EQ(IviConfig_GetDataComponentPropertyViInt32(item("huge"), IVICONFIG_VAL_DATA_COMPONENT_VALUE, &integer),
            IVICONFIG_ERROR_INVALID_DATA_COMPONENT);
  EXPECT_EQ(IviConfig_GetDataComponentPropertyViInt32(item("frac"), IVICONFIG_VAL_DATA_COMPONENT_VALUE, &integer),
            IVICONFIG_ERROR_INVALID_DATA_COMPONENT);
  EXPECT_EQ(LastErrorDescription(), "The value of the data component 'frac' is 2.5, not an integer");
  EXPECT_EQ(IviConfig_GetDataComponentPropertyViInt32(item("s"), IVICONFIG_VAL_DATA_COMPONENT_VALUE, &integer),
            IVICONFIG_ERROR_INVALID_DATA_COMPONENT);
  EXPECT_EQ(LastErrorDescription(), "The value of the data component 's' is a string, not an integer");
  EXPECT_EQ(IviConfig_GetDataComponentPropertyViReal64(item("t"), IVICONFIG_VAL_DATA_COMPONENT_VALUE, &real),
            IVICONFIG_ERROR_INVALID_DATA_COMPONENT);
  EXPECT_EQ(integer, 7) << "a failed read leaves the output alone";

  const std::pair<const char*, ViBoolean> booleans[] = {{"t", VI_TRUE}, {"one", VI_TRUE}, {"two", 0}, {"wraps", 0}};
  for (const auto& [name, expected] : booleans) {
    EXPECT_EQ(IviConfig_GetDataComponentPropertyViBoolean(item(name), IVICONFIG_VAL_DATA_COMPONENT_VALUE, &boolean),
              VI_SUCCESS)
        << name;
    EXPECT_EQ(boolean, expected) << name;
  }
  EXPECT_EQ(IviConfig_GetDataComponentPropertyViBoolean(item("s"), IVICONFIG_VAL_DATA_COMPONENT_VALUE, &boolean),
            IVICONFIG_ERROR_INVALID_DATA_COMPONENT);

  // Type text as written; a setting without value has none to read, and a structure neither.
  EXPECT_EQ(ReadText(IviConfig_GetDataComponentPropertyViString, item("when"), IVICONFIG_VAL_DATA_COMPONENT_TYPE),
            "date");
  char text[16] = {};
  EXPECT_EQ(IviConfig_GetDataComponentPropertyViString(item("when"), IVICONFIG_VAL_DATA_COMPONENT_VALUE, 16, text),
            IVICONFIG_ERROR_INVALID_DATA_COMPONENT);
  EXPECT_EQ(LastErrorDescription(), "The data component 'when' has no value");
  EXPECT_EQ(IviConfig_GetDataComponentPropertyViString(structure, IVICONFIG_VAL_DATA_COMPONENT_VALUE, 16, text),
            IVICONFIG_ERROR_INVALID_DATA_COMPONENT);
  EXPECT_EQ(LastErrorDescription(),
            "The data component 'Configurable Initial Settings' is a structure and has no value");
  EXPECT_EQ(ReadText(IviConfig_GetDataComponentPropertyViString, item("r"), IVICONFIG_VAL_DATA_COMPONENT_VALUE),
            "1.25");
  IviDataComponentCollectionHandle notStructure = 0;
  EXPECT_EQ(IviConfig_GetStructureDataComponentCollection(item("s"), &notStructure),
            IVICONFIG_ERROR_INVALID_DATA_COMPONENT);

  for (IviConfigHandle handle : taken) EXPECT_EQ(IviConfig_DisposeHandle(handle), VI_SUCCESS);
}

TEST_F(StoreReadTest, LocationsComeFromTheEnvironmentAndTheMasterLocation) {
  OpenStore store("unused");  // properties are readable before and whatever the deserialize result
  EXPECT_EQ(ReadText(IviConfig_GetConfigStorePropertyViString, store.handle(),
                     IVICONFIG_VAL_CONFIG_STORE_PROCESS_DEFAULT_LOCATION),
            "");
  EXPECT_EQ(
      ReadText(IviConfig_GetConfigStorePropertyViString, store.handle(), IVICONFIG_VAL_CONFIG_STORE_MASTER_LOCATION),
      scratch_.Path("master.json"));
  setenv("IVI_CONFIG_STORE", "/somewhere/store.json", 1);
  EXPECT_EQ(ReadText(IviConfig_GetConfigStorePropertyViString, store.handle(),
                     IVICONFIG_VAL_CONFIG_STORE_PROCESS_DEFAULT_LOCATION),
            "/somewhere/store.json");
  hnvqr::config::SetMasterStoreLocationForTesting("");
  EXPECT_EQ(
      ReadText(IviConfig_GetConfigStorePropertyViString, store.handle(), IVICONFIG_VAL_CONFIG_STORE_MASTER_LOCATION),
      "/etc/ivi/config-store.json");
}

void ExpectBuiltInStore(const std::string& location) {
  OpenStore store(location);
  ASSERT_EQ(store.status(), VI_SUCCESS) << LastErrorDescription();
  IviDriverSessionHandle session = 0;
  EXPECT_EQ(IviConfig_GetDriverSession(store.handle(), "GPIB0::5::INSTR", &session), IVICONFIG_ERROR_SESSION_NOT_FOUND);
  IviSoftwareModuleCollectionHandle modules = 0;
  IviSoftwareModuleHandle module = 0;
  ASSERT_EQ(IviConfig_GetConfigStoreSoftwareModuleCollection(store.handle(), &modules), VI_SUCCESS);
  ASSERT_EQ(IviConfig_GetSoftwareModuleItemByName(modules, "HnVQR", &module), VI_SUCCESS);
  EXPECT_EQ(ReadPhysicalNames(module), (std::map<std::string, std::string>{{"CH1", ""}}));
  EXPECT_TRUE(ReadInitialSettings(module).empty());
  IviSoftwareModuleHandle other = 0;
  EXPECT_EQ(IviConfig_GetSoftwareModuleItemByName(modules, "hnvqr", &other), IVICONFIG_ERROR_NOT_EXIST);
  EXPECT_EQ(LastErrorDescription(), "There is no software module named 'hnvqr' in the configuration store");
  IviConfig_DisposeHandle(module);
  IviConfig_DisposeHandle(modules);
}

// The master file a package installs holds the built-in store, so that installing it
// changes nothing until someone edits it.
TEST_F(StoreReadTest, AbsentMasterFileAndTheInstalledMasterFileGiveTheBuiltInStore) {
  for (const bool installed : {false, true}) {
    SCOPED_TRACE(installed ? "installed master file" : "no master file");
    if (installed) std::filesystem::copy_file(HNVQR_INSTALLED_MASTER_STORE, scratch_.Path("master.json"));
    ExpectBuiltInStore(scratch_.Path("master.json"));
  }
}

TEST_F(StoreReadTest, MissingFileIsAnErrorAnywhereButTheMasterLocation) {
  const std::string missing = scratch_.Path("absent.json");
  EXPECT_EQ(OpenStore(missing).status(), IVICONFIG_ERROR_DESERIALIZE_FAILED);
  EXPECT_EQ(LastErrorDescription(), "Cannot read the configuration store '" + missing + "': the file does not exist");
  // The process-default location must exist even when it is also the master location.
  setenv("IVI_CONFIG_STORE", scratch_.Path("master.json").c_str(), 1);
  EXPECT_EQ(OpenStore(scratch_.Path("master.json")).status(), IVICONFIG_ERROR_DESERIALIZE_FAILED);
  EXPECT_EQ(OpenStore("").status(), IVICONFIG_ERROR_DESERIALIZE_FAILED);
  EXPECT_EQ(LastErrorDescription(), "Cannot read the configuration store: no location was given");
}

TEST_F(StoreReadTest, FileMayReplaceTheDriverSoftwareModule) {
  OpenStore store(scratch_.Write("master.json", R"({"softwareModules": [
      {"name": "Other"},
      {"name": "HnVQR", "physicalNames": [{"name": "CH1", "value": "OUT"}, {"name": "CH2"}]} ]})"));
  ASSERT_EQ(store.status(), VI_SUCCESS) << LastErrorDescription();
  IviSoftwareModuleCollectionHandle modules = 0;
  IviSoftwareModuleHandle module = 0;
  ASSERT_EQ(IviConfig_GetConfigStoreSoftwareModuleCollection(store.handle(), &modules), VI_SUCCESS);
  ASSERT_EQ(IviConfig_GetSoftwareModuleItemByName(modules, "HnVQR", &module), VI_SUCCESS);
  EXPECT_EQ(ReadPhysicalNames(module), (std::map<std::string, std::string>{{"CH1", "OUT"}, {"CH2", ""}}));
  IviConfig_DisposeHandle(module);
  IviConfig_DisposeHandle(modules);
}

}  // namespace
