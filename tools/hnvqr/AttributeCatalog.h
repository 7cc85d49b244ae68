// The attributes of the HnVQR driver as the command-line tool knows them: name, ID, value
// type, access and, for enumerated attributes, the names of their values. The rows come from
// the driver's attribute list and the IDs and values from the macros of HnVQR.h, so the
// catalog cannot drift from the driver.
#ifndef HNVQR_TOOL_ATTRIBUTE_CATALOG_H
#define HNVQR_TOOL_ATTRIBUTE_CATALOG_H

#include <optional>
#include <span>
#include <string_view>

#include <HnVQR.h>

namespace hnvqr::tool {

enum class ValueType { Int32, Real64, Boolean, Session, String };

struct EnumValue {
  std::string_view short_name;  // "SERIES": the part after the attribute's own prefix
  std::string_view name;        // "ANALOG_OUTPUT_MODE_SERIES": the macro without HNVQR_VAL_
  ViInt32 value;
};

struct AttributeInfo {
  std::string_view name;  // "VOLTAGE_LEVEL": the macro without HNVQR_ATTR_
  ViAttr id;
  ValueType type;
  bool writable;
  std::span<const EnumValue> values;  // empty unless the attribute is enumerated
};

// Every attribute of the driver, in the order of the header.
std::span<const AttributeInfo> all_attributes();

// Case-insensitive; accepts the name with or without the HNVQR_ATTR_ prefix.
const AttributeInfo* find_attribute(std::string_view name);

// Case-insensitive; accepts the short name, the name without HNVQR_VAL_, or the full macro.
std::optional<ViInt32> find_enum_value(const AttributeInfo& attribute, std::string_view name);

// The short name of a value, or nothing for a value without a name.
std::optional<std::string_view> enum_value_name(const AttributeInfo& attribute, ViInt32 value);

std::string_view type_name(ValueType type);

}  // namespace hnvqr::tool

#endif
