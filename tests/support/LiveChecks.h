// Checks of a live session on the emulator's default instrument (a VQR-A4), shared by the
// Linux live tests and the Windows build's: the same answers through either driver build.
#pragma once

#include <gtest/gtest.h>

#include <string>

#include "HnVQR.h"

namespace test_support {

inline std::string StringAttribute(ViSession vi, ViAttr id) {
  ViChar text[512] = {};
  EXPECT_EQ(HnVQR_GetAttributeViString(vi, "", id, sizeof text, text), VI_SUCCESS) << id;
  return text;
}

// What the instrument reported when the session was opened on `resource`.
inline void ExpectEmulatorIdentity(ViSession vi, const std::string& resource) {
  EXPECT_EQ(StringAttribute(vi, HNVQR_ATTR_INSTRUMENT_MANUFACTURER), "Halvorn");
  EXPECT_EQ(StringAttribute(vi, HNVQR_ATTR_INSTRUMENT_MODEL), "VQR-A4");
  EXPECT_EQ(StringAttribute(vi, HNVQR_ATTR_INSTRUMENT_FIRMWARE_REVISION), "2.14");
  EXPECT_EQ(StringAttribute(vi, HNVQR_ATTR_IO_RESOURCE_DESCRIPTOR), resource);
}

// The instrument's own error queue: an unknown command sent by direct I/O leaves its error,
// error_query reads it, and then the queue is empty.
inline void ExpectUnknownCommandQueuedOnce(ViSession vi) {
  ViInt32 code = 0;
  ViChar message[256] = {};
  ASSERT_EQ(HnVQR_viWrite(vi, 8, reinterpret_cast<ViByte*>(const_cast<char*>("BOGUS 1\n")), nullptr), VI_SUCCESS);
  ASSERT_EQ(HnVQR_error_query(vi, &code, message), VI_SUCCESS);
  EXPECT_EQ(code, -113);
  EXPECT_EQ(std::string(message), "Undefined header");
  ASSERT_EQ(HnVQR_error_query(vi, &code, message), VI_SUCCESS);
  EXPECT_EQ(code, 0);
}

}  // namespace test_support
