// Reading, writing, parsing and printing attribute values through the driver's typed
// attribute functions, each with the function of the attribute's own type.
#ifndef HNVQR_TOOL_ATTRIBUTE_VALUES_H
#define HNVQR_TOOL_ATTRIBUTE_VALUES_H

#include <optional>
#include <string>
#include <string_view>
#include <variant>

#include "AttributeCatalog.h"

namespace hnvqr::tool {

// Copy with every letter lower-cased (command-line words are matched without regard to case).
std::string lower(std::string_view text);

using AttributeValue = std::variant<ViInt32, ViReal64, ViBoolean, ViSession, std::string>;

// Parses a value given on the command line for the attribute's type: booleans as
// on/off/true/false/1/0, enumerated values by name or number. Nothing when it is malformed.
std::optional<AttributeValue> parse_value(const AttributeInfo& attribute, std::string_view text);

std::optional<ViBoolean> parse_boolean(std::string_view text);

// The tool's one number grammar, used for every numeric operand and option: decimal with
// an optional fraction and exponent, or hexadecimal after 0x; no blanks, infinities or NaN.
std::optional<double> parse_number(std::string_view text);

// A number of that grammar that is whole and lies within [minimum, maximum].
std::optional<long long> parse_whole_number(std::string_view text, long long minimum, long long maximum);

// The value as the tool prints it: enumerated values by name, booleans as true/false.
std::string format_value(const AttributeInfo& attribute, const AttributeValue& value);

// Reads the attribute; on success VALUE holds it. Returns the driver's status.
ViStatus read_attribute(ViSession vi, const AttributeInfo& attribute, ViConstString channel, AttributeValue& value);

ViStatus write_attribute(ViSession vi, const AttributeInfo& attribute, ViConstString channel,
                         const AttributeValue& value);

// The description of a failure: the error recorded for VI (VI_NULL for a failed
// initialization); when nothing was recorded, the VISA library's description of a VISA
// status, or else the driver's message for STATUS with SUBJECT (such as an attribute's
// macro name) in its first empty quotes.
std::string describe_failure(ViSession vi, ViStatus status, std::string_view subject = {});

// A status of the VISA library (0xBFFF.... errors, 0x3FFF.... warnings).
bool is_visa_status(ViStatus status);

// viStatusDesc's text for a VISA status: its name and what it means.
std::string visa_description(ViStatus status);

}  // namespace hnvqr::tool

#endif
