#include <algorithm>
#include <array>

#include "kel/DriverDefinition.h"
#include "kel/Status.h"

namespace kel {
namespace {

// The IVI inherent codes; the class's and the driver's own codes come from ThisDriver().
constexpr std::array<StatusMessage, 46> kIviStatusMessages{{
    {static_cast<ViStatus>(0xBFFA0000), "Failure cannot recover."},
    {static_cast<ViStatus>(0xBFFA0001), "Instrument error detected.  Use ErrorQuery() to determine the error(s)."},
    {static_cast<ViStatus>(0xBFFA0002), "Cannot open file."},
    {static_cast<ViStatus>(0xBFFA0003), "Error reading file."},
    {static_cast<ViStatus>(0xBFFA0004), "Error writing file."},
    {static_cast<ViStatus>(0xBFFA000B), "The pathname is invalid."},
    {static_cast<ViStatus>(0xBFFA000C), "Attribute ID '%s' not recognized."},
    {static_cast<ViStatus>(0xBFFA000D), "Attribute '%s' is read-only."},
    {static_cast<ViStatus>(0xBFFA000E), "Attribute '%s' is write-only."},
    {static_cast<ViStatus>(0xBFFA0010), "Invalid value '%s' for function '%s', parameter '%s'."},
    {static_cast<ViStatus>(0xBFFA0011), "Does not support this class-compliant feature: function '%s'"},
    {static_cast<ViStatus>(0xBFFA0012), "Does not support this class-compliant feature: attribute '%s'."},
    {static_cast<ViStatus>(0xBFFA0013), "Does not support this class-compliant feature:  Enumeration value '%s' passed as the value for parameter '%s' in function '%s'."},
    {static_cast<ViStatus>(0xBFFA0015), "%sAttribute%s called for attribute '%s' of type '%s'."},
    {static_cast<ViStatus>(0xBFFA001D), "A connection to the instrument has not been established."},
    {static_cast<ViStatus>(0xBFFA0020), "Unknown channel name."},
    {static_cast<ViStatus>(0xBFFA0023), "Too many files are open."},
    {static_cast<ViStatus>(0xBFFA0044), "A channel name is required."},
    {static_cast<ViStatus>(0xBFFA0049), "The option string is missing an option name."},
    {static_cast<ViStatus>(0xBFFA004A), "The option string is missing an option value."},
    {static_cast<ViStatus>(0xBFFA004B), "The '%s' name in the option string is unknown."},
    {static_cast<ViStatus>(0xBFFA004C), "The '%s' value in the option string is unknown."},
    {static_cast<ViStatus>(0xBFFA0056), "Could not allocate necessary memory."},
    {static_cast<ViStatus>(0xBFFA0057), "Operation in progress."},
    {static_cast<ViStatus>(0xBFFA0058), "Null pointer passed for function '%s', parameter '%s'."},
    {static_cast<ViStatus>(0xBFFA0059), "Unexpected response from instrument."},
    {static_cast<ViStatus>(0xBFFA005B), "File not found."},
    {static_cast<ViStatus>(0xBFFA005C), "Invalid file format."},
    {static_cast<ViStatus>(0xBFFA005D), "The instrument status is not available."},
    {static_cast<ViStatus>(0xBFFA005E), "Instrument ID query failed."},
    {static_cast<ViStatus>(0xBFFA005F), "Instrument reset failed."},
    {static_cast<ViStatus>(0xBFFA0060), "Unknown resource."},
    {static_cast<ViStatus>(0xBFFA0061), "The driver is already initialized."},
    {static_cast<ViStatus>(0xBFFA0062), "The simulation state cannot be changed."},
    {static_cast<ViStatus>(0xBFFA0063), "The number of levels in the selector is not valid for the '%s' repeated capability."},
    {static_cast<ViStatus>(0xBFFA0064), "The range '%s' is not valid for the repeated capability '%s'."},
    {static_cast<ViStatus>(0xBFFA0065), "Unknown name in selector."},
    {static_cast<ViStatus>(0xBFFA0066), "The repeated capability selector is badly-formed."},
    {static_cast<ViStatus>(0xBFFA0067), "Unknown physical repeated capability selector."},
    {static_cast<ViStatus>(0xBFFA1190), "Invalid session handle."},
    {static_cast<ViStatus>(0x00000000), "Success."},
    {static_cast<ViStatus>(0x3FFA0065), "ID Query is not supported by this instrument."},
    {static_cast<ViStatus>(0x3FFA0066), "Reset is not supported by this instrument."},
    {static_cast<ViStatus>(0x3FFA0067), "Self test is not supported by this instrument."},
    {static_cast<ViStatus>(0x3FFA0068), "Error query is not supported by this instrument."},
    {static_cast<ViStatus>(0x3FFA0069), "Firmware revision query is not supported by this instrument."},
}};

std::string_view Find(std::span<const StatusMessage> table, ViStatus code) {
  const auto it = std::find_if(table.begin(), table.end(),
                               [code](const StatusMessage& entry) { return entry.code == code; });
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
