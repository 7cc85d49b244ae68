// Helpers shared by the driver's tests: simulated sessions that close themselves, the
// recorded error of a session or thread as a value, and configuration store files in a
// scratch folder selected through IVI_CONFIG_STORE.
#ifndef HNVQR_TESTS_DRIVER_TEST_SUPPORT_H
#define HNVQR_TESTS_DRIVER_TEST_SUPPORT_H

#include <gtest/gtest.h>
#include <stdlib.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <ostream>
#include <string>
#include <utility>

#include "HnVQR.h"
#include "IviConfigServer.h"
#include "IviSessionServices.h"
#include "../support/TemporaryFolder.h"

namespace driver_test {

inline constexpr const char* kResource = "GPIB0::5::INSTR";
inline constexpr const char* kSimulate = "Simulate=1";
// A handle that no initialization hands out in these tests.
inline constexpr ViSession kNeverIssued = 0x7FFF1234;

// A recorded error: what HnVQR_GetError reports (reading it also clears it).
struct Error {
  ViStatus code = 0;
  std::string text;
  bool operator==(const Error&) const = default;
};

inline std::ostream& operator<<(std::ostream& out, const Error& error) {
  return out << "{0x" << std::hex << static_cast<unsigned>(error.code) << std::dec << ", \"" << error.text << "\"}";
}

inline Error TakeError(ViSession vi) {
  Error error;
  char text[4096] = {};
  HnVQR_GetError(vi, &error.code, static_cast<ViInt32>(sizeof text), text);
  error.text = text;
  return error;
}

// A session opened with an option string, closed at the end of the scope.
class Session {
 public:
  explicit Session(const std::string& options = kSimulate, const char* resource = kResource) {
    status_ = HnVQR_InitWithOptions(const_cast<ViRsrc>(resource), VI_FALSE, VI_FALSE, options.c_str(), &vi_);
  }
  ~Session() {
    if (vi_ != VI_NULL) HnVQR_close(vi_);
  }
  Session(const Session&) = delete;
  Session& operator=(const Session&) = delete;

  ViSession vi() const { return vi_; }
  ViStatus status() const { return status_; }
  operator ViSession() const { return vi_; }

 private:
  ViSession vi_ = VI_NULL;
  ViStatus status_ = VI_SUCCESS;
};

// Opens a simulated session and fails the test when that does not work.
#define ASSERT_SESSION_OPEN(session) ASSERT_EQ((session).status(), VI_SUCCESS) << ::driver_test::TakeError(VI_NULL)

inline ViBoolean GetBoolean(ViSession vi, ViAttr id, const char* channel = "") {
  ViBoolean value = 99;
  EXPECT_EQ(HnVQR_GetAttributeViBoolean(vi, channel, id, &value), VI_SUCCESS) << "attribute " << id;
  return value;
}

inline ViInt32 GetInt32(ViSession vi, ViAttr id, const char* channel = "") {
  ViInt32 value = -12345;
  EXPECT_EQ(HnVQR_GetAttributeViInt32(vi, channel, id, &value), VI_SUCCESS) << "attribute " << id;
  return value;
}

inline ViReal64 GetReal64(ViSession vi, ViAttr id, const char* channel = "") {
  ViReal64 value = -12345.0;
  EXPECT_EQ(HnVQR_GetAttributeViReal64(vi, channel, id, &value), VI_SUCCESS) << "attribute " << id;
  return value;
}

inline std::string GetString(ViSession vi, ViAttr id, const char* channel = "") {
  char text[4096] = {};
  EXPECT_EQ(HnVQR_GetAttributeViString(vi, channel, id, static_cast<ViInt32>(sizeof text), text), VI_SUCCESS)
      << "attribute " << id;
  return text;
}

// Configuration store files in a folder of their own; IVI_CONFIG_STORE points at the last
// file selected and is unset again when the folder goes.
class ScratchStore {
 public:
  ScratchStore() = default;
  ~ScratchStore() { unsetenv("IVI_CONFIG_STORE"); }  // before the folder goes
  ScratchStore(const ScratchStore&) = delete;
  ScratchStore& operator=(const ScratchStore&) = delete;

  // Writes the file and makes it the process-default store; returns its path.
  std::string Select(const std::string& contents, const std::string& name = "store.json") const {
    const std::string file = Path(name);
    std::ofstream(file, std::ios::binary) << contents;
    setenv("IVI_CONFIG_STORE", file.c_str(), 1);
    return file;
  }
  std::string Path(const std::string& name) const { return folder_.path().string() + "/" + name; }

 private:
  test_support::TemporaryFolder folder_{"hnvqr-driver"};
};

}  // namespace driver_test

#endif  // HNVQR_TESTS_DRIVER_TEST_SUPPORT_H
