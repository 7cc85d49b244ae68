#include <algorithm>
#include <array>

#include "kel/DriverDefinition.h"
#include "kel/Status.h"

namespace kel {
namespace {

// The IVI inherent codes; the class's and the driver's own codes come from ThisDriver().
constexpr std::array<StatusMessage, 46> kIviStatusMessages{{
    {IVI_ERROR_CANNOT_RECOVER, "Failure cannot recover."},
    {IVI_ERROR_INSTRUMENT_STATUS, "Instrument error detected.  Use ErrorQuery() to determine the error(s)."},
    {IVI_ERROR_CANNOT_OPEN_FILE, "Cannot open file."},
    {IVI_ERROR_READING_FILE, "Error reading file."},
    {IVI_ERROR_WRITING_FILE, "Error writing file."},
    {IVI_ERROR_INVALID_PATHNAME, "The pathname is invalid."},
    {IVI_ERROR_INVALID_ATTRIBUTE, "Attribute ID '%s' not recognized."},
    {IVI_ERROR_ATTR_NOT_WRITABLE, "Attribute '%s' is read-only."},
    {IVI_ERROR_ATTR_NOT_READABLE, "Attribute '%s' is write-only."},
    {IVI_ERROR_INVALID_VALUE, "Invalid value '%s' for function '%s', parameter '%s'."},
    {IVI_ERROR_FUNCTION_NOT_SUPPORTED, "Does not support this class-compliant feature: function '%s'"},
    {IVI_ERROR_ATTRIBUTE_NOT_SUPPORTED, "Does not support this class-compliant feature: attribute '%s'."},
    {IVI_ERROR_VALUE_NOT_SUPPORTED,
     "Does not support this class-compliant feature:  Enumeration value '%s' passed as the value for parameter '%s' in "
     "function '%s'."},
    {IVI_ERROR_TYPES_DO_NOT_MATCH, "%sAttribute%s called for attribute '%s' of type '%s'."},
    {IVI_ERROR_NOT_INITIALIZED, "A connection to the instrument has not been established."},
    {IVI_ERROR_UNKNOWN_CHANNEL_NAME, "Unknown channel name."},
    {IVI_ERROR_TOO_MANY_OPEN_FILES, "Too many files are open."},
    {IVI_ERROR_CHANNEL_NAME_REQUIRED, "A channel name is required."},
    {IVI_ERROR_MISSING_OPTION_NAME, "The option string is missing an option name."},
    {IVI_ERROR_MISSING_OPTION_VALUE, "The option string is missing an option value."},
    {IVI_ERROR_BAD_OPTION_NAME, "The '%s' name in the option string is unknown."},
    {IVI_ERROR_BAD_OPTION_VALUE, "The '%s' value in the option string is unknown."},
    {IVI_ERROR_OUT_OF_MEMORY, "Could not allocate necessary memory."},
    {IVI_ERROR_OPERATION_PENDING, "Operation in progress."},
    {IVI_ERROR_NULL_POINTER, "Null pointer passed for function '%s', parameter '%s'."},
    {IVI_ERROR_UNEXPECTED_RESPONSE, "Unexpected response from instrument."},
    {IVI_ERROR_FILE_NOT_FOUND, "File not found."},
    {IVI_ERROR_INVALID_FILE_FORMAT, "Invalid file format."},
    {IVI_ERROR_STATUS_NOT_AVAILABLE, "The instrument status is not available."},
    {IVI_ERROR_ID_QUERY_FAILED, "Instrument ID query failed."},
    {IVI_ERROR_RESET_FAILED, "Instrument reset failed."},
    {IVI_ERROR_RESOURCE_UNKNOWN, "Unknown resource."},
    {IVI_ERROR_ALREADY_INITIALIZED, "The driver is already initialized."},
    {IVI_ERROR_CANNOT_CHANGE_SIMULATION_STATE, "The simulation state cannot be changed."},
    {IVI_ERROR_INVALID_NUMBER_OF_LEVELS_IN_SELECTOR,
     "The number of levels in the selector is not valid for the '%s' repeated capability."},
    {IVI_ERROR_INVALID_RANGE_IN_SELECTOR, "The range '%s' is not valid for the repeated capability '%s'."},
    {IVI_ERROR_UNKNOWN_NAME_IN_SELECTOR, "Unknown name in selector."},
    {IVI_ERROR_BADLY_FORMED_SELECTOR, "The repeated capability selector is badly-formed."},
    {IVI_ERROR_UNKNOWN_PHYSICAL_IDENTIFIER, "Unknown physical repeated capability selector."},
    {IVI_ERROR_INVALID_SESSION_HANDLE, "Invalid session handle."},
    {VI_SUCCESS, "Success."},
    {IVI_WARN_NSUP_ID_QUERY, "ID Query is not supported by this instrument."},
    {IVI_WARN_NSUP_RESET, "Reset is not supported by this instrument."},
    {IVI_WARN_NSUP_SELF_TEST, "Self test is not supported by this instrument."},
    {IVI_WARN_NSUP_ERROR_QUERY, "Error query is not supported by this instrument."},
    {IVI_WARN_NSUP_REV_QUERY, "Firmware revision query is not supported by this instrument."},
}};

std::string_view Find(std::span<const StatusMessage> table, ViStatus code) {
  const auto it =
      std::find_if(table.begin(), table.end(), [code](const StatusMessage& entry) { return entry.code == code; });
  return it == table.end() ? std::string_view{} : it->message;
}

}  // namespace

std::string_view GetStatusMessage(ViStatus code) {
  if (const std::string_view message = Find(kIviStatusMessages, code); !message.empty()) {
    return message;
  }
  return Find(ThisDriver().statusMessages, code);
}

}  // namespace kel
