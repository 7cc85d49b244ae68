#include "AttributeCatalog.h"

#include <array>
#include <cctype>

namespace hnvqr::tool {
namespace {

// One enumerated value from its macro, split into the attribute's prefix and the short name.
#define HNVQR_ENUM_VALUE(PREFIX, NAME) \
  EnumValue { #NAME, #PREFIX #NAME, HNVQR_VAL_##PREFIX##NAME }

constexpr std::array kCurrentLimitBehaviorValues{
    HNVQR_ENUM_VALUE(CURRENT_, REGULATE),
    HNVQR_ENUM_VALUE(CURRENT_, TRIP),
};

constexpr std::array kRemoteSenseStatusValues{
    HNVQR_ENUM_VALUE(REMOTE_SENSE_STATUS_, DORMANT),
    HNVQR_ENUM_VALUE(REMOTE_SENSE_STATUS_, CALCULATING),
    HNVQR_ENUM_VALUE(REMOTE_SENSE_STATUS_, COMPLETE),
};

constexpr std::array kAnalogOutputModeValues{
    HNVQR_ENUM_VALUE(ANALOG_OUTPUT_MODE_, DISABLED),
    HNVQR_ENUM_VALUE(ANALOG_OUTPUT_MODE_, PARALLEL),
    HNVQR_ENUM_VALUE(ANALOG_OUTPUT_MODE_, SERIES),
};

constexpr std::array kAnalogScalingLevelValues{
    HNVQR_ENUM_VALUE(ANALOG_SCALING_LEVEL_, VOLT_3),
    HNVQR_ENUM_VALUE(ANALOG_SCALING_LEVEL_, VOLT_5),
    HNVQR_ENUM_VALUE(ANALOG_SCALING_LEVEL_, VOLT_10),
};

constexpr std::array kControlSourceValues{
    HNVQR_ENUM_VALUE(CONTROL_SOURCE_, LOCAL),
    HNVQR_ENUM_VALUE(CONTROL_SOURCE_, REMOTE),
    HNVQR_ENUM_VALUE(CONTROL_SOURCE_, REMOTE_WITH_LOCK),
    HNVQR_ENUM_VALUE(CONTROL_SOURCE_, ANALOG_VOLTAGE),
    HNVQR_ENUM_VALUE(CONTROL_SOURCE_, ANALOG_CURRENT),
    HNVQR_ENUM_VALUE(CONTROL_SOURCE_, ANALOG_DUAL),
};

#undef HNVQR_ENUM_VALUE

constexpr std::array<EnumValue, 0> kNoneValues{};

constexpr bool RO = false;
constexpr bool RW = true;
using enum ValueType;

// The driver's attribute list, row for row: the tool cannot miss or misspell an attribute.
constexpr std::array kAttributes{
#define HNVQR_ATTRIBUTE(NAME, TYPE, ACCESS, KIND, ROW, VALUES, SCOPE, DESCRIPTION) \
  AttributeInfo{#NAME, HNVQR_ATTR_##NAME, TYPE, ACCESS, k##VALUES##Values},
#define HNVQR_ATTRIBUTE_SET_BY(NAME, TYPE, SETTER, SCOPE, DESCRIPTION) \
  AttributeInfo{#NAME, HNVQR_ATTR_##NAME, TYPE, RW, kNoneValues},
#include "attributes/AttributeList.def"
#undef HNVQR_ATTRIBUTE
#undef HNVQR_ATTRIBUTE_SET_BY
};

bool equal_ignoring_case(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i) {
    if (std::toupper(static_cast<unsigned char>(a[i])) != std::toupper(static_cast<unsigned char>(b[i]))) {
      return false;
    }
  }
  return true;
}

// Removes PREFIX from the front of TEXT, ignoring case, when it is there.
std::string_view without_prefix(std::string_view text, std::string_view prefix) {
  if (text.size() > prefix.size() && equal_ignoring_case(text.substr(0, prefix.size()), prefix)) {
    return text.substr(prefix.size());
  }
  return text;
}

}  // namespace

std::span<const AttributeInfo> all_attributes() { return kAttributes; }

const AttributeInfo* find_attribute(std::string_view name) {
  const std::string_view bare = without_prefix(name, "HNVQR_ATTR_");
  for (const AttributeInfo& attribute : kAttributes) {
    if (equal_ignoring_case(attribute.name, bare)) return &attribute;
  }
  return nullptr;
}

std::optional<ViInt32> find_enum_value(const AttributeInfo& attribute, std::string_view name) {
  const std::string_view bare = without_prefix(name, "HNVQR_VAL_");
  for (const EnumValue& value : attribute.values) {
    if (equal_ignoring_case(value.short_name, bare) || equal_ignoring_case(value.name, bare)) {
      return value.value;
    }
  }
  return std::nullopt;
}

std::optional<std::string_view> enum_value_name(const AttributeInfo& attribute, ViInt32 value) {
  for (const EnumValue& candidate : attribute.values) {
    if (candidate.value == value) return candidate.short_name;
  }
  return std::nullopt;
}

std::string_view type_name(ValueType type) {
  switch (type) {
    case Int32:
      return "ViInt32";
    case Real64:
      return "ViReal64";
    case Boolean:
      return "ViBoolean";
    case Session:
      return "ViSession";
    case String:
      return "ViString";
  }
  return "?";
}

}  // namespace hnvqr::tool
