// The IVI status codes the framework itself reports, and the status message table.
#pragma once

#include <string_view>

#include <IviConfigServer.h>
#include <IviStatusCodes.h>
#include <visatype.h>

namespace kel {

namespace status {
inline constexpr ViStatus kCannotRecover = IVI_ERROR_CANNOT_RECOVER;
inline constexpr ViStatus kInstrumentStatus = IVI_ERROR_INSTRUMENT_STATUS;
inline constexpr ViStatus kInvalidAttribute = IVI_ERROR_INVALID_ATTRIBUTE;
inline constexpr ViStatus kAttrNotWritable = IVI_ERROR_ATTR_NOT_WRITABLE;
inline constexpr ViStatus kAttrNotReadable = IVI_ERROR_ATTR_NOT_READABLE;
inline constexpr ViStatus kInvalidValue = IVI_ERROR_INVALID_VALUE;
inline constexpr ViStatus kFunctionNotSupported = IVI_ERROR_FUNCTION_NOT_SUPPORTED;
inline constexpr ViStatus kAttributeNotSupported = IVI_ERROR_ATTRIBUTE_NOT_SUPPORTED;
inline constexpr ViStatus kValueNotSupported = IVI_ERROR_VALUE_NOT_SUPPORTED;
inline constexpr ViStatus kTypesDoNotMatch = IVI_ERROR_TYPES_DO_NOT_MATCH;
inline constexpr ViStatus kChannelNameRequired = IVI_ERROR_CHANNEL_NAME_REQUIRED;
inline constexpr ViStatus kBadOptionName = IVI_ERROR_BAD_OPTION_NAME;
inline constexpr ViStatus kBadOptionValue = IVI_ERROR_BAD_OPTION_VALUE;
inline constexpr ViStatus kOutOfMemory = IVI_ERROR_OUT_OF_MEMORY;
inline constexpr ViStatus kNullPointer = IVI_ERROR_NULL_POINTER;
inline constexpr ViStatus kUnexpectedResponse = IVI_ERROR_UNEXPECTED_RESPONSE;
inline constexpr ViStatus kIdQueryFailed = IVI_ERROR_ID_QUERY_FAILED;
inline constexpr ViStatus kCannotChangeSimulationState = IVI_ERROR_CANNOT_CHANGE_SIMULATION_STATE;
inline constexpr ViStatus kInvalidNumberOfLevelsInSelector = IVI_ERROR_INVALID_NUMBER_OF_LEVELS_IN_SELECTOR;
inline constexpr ViStatus kInvalidRangeInSelector = IVI_ERROR_INVALID_RANGE_IN_SELECTOR;
inline constexpr ViStatus kBadlyFormedSelector = IVI_ERROR_BADLY_FORMED_SELECTOR;
inline constexpr ViStatus kUnknownPhysicalIdentifier = IVI_ERROR_UNKNOWN_PHYSICAL_IDENTIFIER;
inline constexpr ViStatus kInvalidSessionHandle = IVI_ERROR_INVALID_SESSION_HANDLE;
// A warning of close: the session was closed without its lock, which a thread that ended
// (or kept it too long) still held.
inline constexpr ViStatus kSessionLockBroken = static_cast<ViStatus>(0x3FFA4001);
inline constexpr ViStatus kConfigSessionNotFound = IVICONFIG_ERROR_SESSION_NOT_FOUND;
inline constexpr ViStatus kConfigNotExist = IVICONFIG_ERROR_NOT_EXIST;
// The positive answer of a string get whose buffer was too small.
inline constexpr ViStatus kMaxStringAttributeLength = 4096;
}  // namespace status

// The message of a status code, or an empty text when the code has none.
std::string_view GetStatusMessage(ViStatus code);

}  // namespace kel
