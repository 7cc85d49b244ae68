// The driver's identity constants.
#pragma once

#include <string_view>

#include <visatype.h>

namespace hnvqr::identity {

inline constexpr std::string_view kPrefix = "HnVQR";
inline constexpr std::string_view kVendor = "Halvorn";
inline constexpr std::string_view kDescription = "IVI-C Driver for HalvornVQR";
inline constexpr std::string_view kRevision = "1.0.2.0";
inline constexpr std::string_view kGroupCapabilities = "IviDCPwrBase,IviDCPwrMeasurement";
inline constexpr ViInt32 kClassSpecMajorVersion = 3;
inline constexpr ViInt32 kClassSpecMinorVersion = 0;
inline constexpr std::string_view kDefaultModel = "VQR-B6";
// The firmware revision a simulated instrument reports: "Sim" and the driver revision.
inline constexpr std::string_view kSimulatedFirmwareRevision = "Sim1.0.2.0";

}  // namespace hnvqr::identity

namespace hnvqr {

// The supported models, in ascending byte order, joined with ",".
std::string_view SupportedModelList();

}  // namespace hnvqr
