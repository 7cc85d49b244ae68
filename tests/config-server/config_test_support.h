// Helpers shared by the configuration server tests: store files in a scratch folder and
// small wrappers that turn C calls into values.
#ifndef HNVQR_TESTS_CONFIG_TEST_SUPPORT_H
#define HNVQR_TESTS_CONFIG_TEST_SUPPORT_H

#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <string>

#include "IviConfigServer.h"
#include "../support/TemporaryFolder.h"

namespace config_test {

// A folder of its own per test, removed afterwards.
class ScratchFolder {
 public:
  std::string Write(const std::string& name, const std::string& contents) const {
    const std::string file = Path(name);
    std::ofstream(file, std::ios::binary) << contents;
    return file;
  }
  std::string Path(const std::string& name) const { return folder_.path().string() + "/" + name; }

 private:
  test_support::TemporaryFolder folder_{"hnvqr-config"};
};

inline std::string LastErrorDescription() {
  ViStatus code = 0;
  char text[2048] = {};
  IviConfig_GetError(&code, sizeof text, text);
  return text;
}

inline ViStatus LastErrorCode() {
  ViStatus code = 0;
  IviConfig_GetError(&code, 0, nullptr);
  return code;
}

// Reads a string property through any of the ...PropertyViString calls.
template <class Getter>
std::string ReadText(Getter getter, IviConfigHandle handle, ViInt32 property) {
  char text[1024] = {};
  const ViStatus status = getter(handle, property, static_cast<ViInt32>(sizeof text), text);
  EXPECT_EQ(status, VI_SUCCESS) << "property " << property << ": " << LastErrorDescription();
  return text;
}

// An opened, deserialized store, closed at the end of the scope.
class OpenStore {
 public:
  explicit OpenStore(const std::string& location) {
    EXPECT_EQ(IviConfig_Initialize(&handle_), VI_SUCCESS);
    status_ = IviConfig_Deserialize(handle_, location.c_str());
  }
  ~OpenStore() { IviConfig_Close(handle_); }
  OpenStore(const OpenStore&) = delete;
  OpenStore& operator=(const OpenStore&) = delete;

  IviConfigStoreHandle handle() const { return handle_; }
  ViStatus status() const { return status_; }

 private:
  IviConfigStoreHandle handle_ = 0;
  ViStatus status_ = VI_SUCCESS;
};

// The store file of the documentation, used by several tests.
inline const char* const kSampleStore = R"({
  "softwareModules": [
    { "name": "HnVQR",
      "physicalNames":   [ { "name": "CH1", "value": "" } ],
      "initialSettings": [ { "name": "model", "type": "string", "value": "VQR-A2" } ] } ],
  "hardwareAssets": [
    { "name": "bench-psu", "ioResourceDescriptor": "TCPIP0::192.168.1.50::5025::SOCKET" } ],
  "driverSessions": [
    { "name": "PSU1", "softwareModule": "HnVQR", "hardwareAsset": "bench-psu",
      "cache": true, "interchangeCheck": false, "queryInstrStatus": true,
      "rangeCheck": true, "recordCoercions": false, "simulate": false,
      "driverSetup": "Model:VQR-A4",
      "virtualNames": [ { "name": "Out", "map": "CH",
                          "ranges": [ { "first": 1, "last": 2, "start": 1 } ] } ],
      "initialSettings": [ { "name": "Model", "type": "String", "value": "VQR-A2" } ] } ],
  "logicalNames": [ { "name": "MyPSU", "session": "PSU1" } ]
}
)";

}  // namespace config_test

#endif
