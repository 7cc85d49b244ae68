// The IVI status codes the framework itself reports, and the status message table.
#pragma once

#include <string_view>

#include <visatype.h>

namespace kel {

namespace status {
inline constexpr ViStatus kCannotRecover = static_cast<ViStatus>(0xBFFA0000);
inline constexpr ViStatus kInstrumentStatus = static_cast<ViStatus>(0xBFFA0001);
inline constexpr ViStatus kInvalidAttribute = static_cast<ViStatus>(0xBFFA000C);
inline constexpr ViStatus kAttrNotWritable = static_cast<ViStatus>(0xBFFA000D);
inline constexpr ViStatus kAttrNotReadable = static_cast<ViStatus>(0xBFFA000E);
inline constexpr ViStatus kInvalidValue = static_cast<ViStatus>(0xBFFA0010);
inline constexpr ViStatus kFunctionNotSupported = static_cast<ViStatus>(0xBFFA0011);
inline constexpr ViStatus kAttributeNotSupported = static_cast<ViStatus>(0xBFFA0012);
inline constexpr ViStatus kValueNotSupported = static_cast<ViStatus>(0xBFFA0013);
inline constexpr ViStatus kTypesDoNotMatch = static_cast<ViStatus>(0xBFFA0015);
inline constexpr ViStatus kChannelNameRequired = static_cast<ViStatus>(0xBFFA0044);
inline constexpr ViStatus kBadOptionName = static_cast<ViStatus>(0xBFFA004B);
inline constexpr ViStatus kBadOptionValue = static_cast<ViStatus>(0xBFFA004C);
inline constexpr ViStatus kOutOfMemory = static_cast<ViStatus>(0xBFFA0056);
inline constexpr ViStatus kNullPointer = static_cast<ViStatus>(0xBFFA0058);
inline constexpr ViStatus kUnexpectedResponse = static_cast<ViStatus>(0xBFFA0059);
inline constexpr ViStatus kIdQueryFailed = static_cast<ViStatus>(0xBFFA005E);
inline constexpr ViStatus kCannotChangeSimulationState = static_cast<ViStatus>(0xBFFA0062);
inline constexpr ViStatus kInvalidNumberOfLevelsInSelector = static_cast<ViStatus>(0xBFFA0063);
inline constexpr ViStatus kInvalidRangeInSelector = static_cast<ViStatus>(0xBFFA0064);
inline constexpr ViStatus kBadlyFormedSelector = static_cast<ViStatus>(0xBFFA0066);
inline constexpr ViStatus kUnknownPhysicalIdentifier = static_cast<ViStatus>(0xBFFA0067);
inline constexpr ViStatus kInvalidSessionHandle = static_cast<ViStatus>(0xBFFA1190);
// A warning of close: the session was closed without its lock, which a thread that ended
// (or kept it too long) still held.
inline constexpr ViStatus kSessionLockBroken = static_cast<ViStatus>(0x3FFA4001);
inline constexpr ViStatus kConfigSessionNotFound = static_cast<ViStatus>(0xBFFA1203);
inline constexpr ViStatus kConfigNotExist = static_cast<ViStatus>(0xBFFA1207);
// The positive answer of a string get whose buffer was too small.
inline constexpr ViStatus kMaxStringAttributeLength = 4096;
}  // namespace status

// The message of a status code, or an empty text when the code has none.
std::string_view GetStatusMessage(ViStatus code);

}  // namespace kel
