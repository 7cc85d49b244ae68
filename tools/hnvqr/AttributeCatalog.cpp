#include "AttributeCatalog.h"

#include <array>
#include <cctype>

namespace hnvqr::tool {
namespace {

// One enumerated value from its macro, split into the attribute's prefix and the short name.
#define HNVQR_ENUM_VALUE(PREFIX, NAME) EnumValue{#NAME, #PREFIX #NAME, HNVQR_VAL_##PREFIX##NAME}

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

constexpr bool R = false;
constexpr bool RW = true;
using enum ValueType;

#define HNVQR_ATTRIBUTE(NAME, TYPE, ACCESS) AttributeInfo{#NAME, HNVQR_ATTR_##NAME, TYPE, ACCESS, {}}
#define HNVQR_ENUM_ATTRIBUTE(NAME, ACCESS, VALUES) AttributeInfo{#NAME, HNVQR_ATTR_##NAME, Int32, ACCESS, VALUES}

constexpr std::array kAttributes{
    // Inherent attributes
    HNVQR_ATTRIBUTE(RANGE_CHECK, Boolean, RW),
    HNVQR_ATTRIBUTE(QUERY_INSTRUMENT_STATUS, Boolean, RW),
    HNVQR_ATTRIBUTE(CACHE, Boolean, RW),
    HNVQR_ATTRIBUTE(SIMULATE, Boolean, RW),
    HNVQR_ATTRIBUTE(RECORD_COERCIONS, Boolean, RW),
    HNVQR_ATTRIBUTE(DRIVER_SETUP, String, R),
    HNVQR_ATTRIBUTE(INTERCHANGE_CHECK, Boolean, RW),
    HNVQR_ATTRIBUTE(CHANNEL_COUNT, Int32, R),
    HNVQR_ATTRIBUTE(SPECIFIC_DRIVER_PREFIX, String, R),
    HNVQR_ATTRIBUTE(IO_RESOURCE_DESCRIPTOR, String, R),
    HNVQR_ATTRIBUTE(LOGICAL_NAME, String, R),
    HNVQR_ATTRIBUTE(SUPPORTED_INSTRUMENT_MODELS, String, R),
    HNVQR_ATTRIBUTE(GROUP_CAPABILITIES, String, R),
    HNVQR_ATTRIBUTE(INSTRUMENT_FIRMWARE_REVISION, String, R),
    HNVQR_ATTRIBUTE(INSTRUMENT_MANUFACTURER, String, R),
    HNVQR_ATTRIBUTE(INSTRUMENT_MODEL, String, R),
    HNVQR_ATTRIBUTE(SPECIFIC_DRIVER_VENDOR, String, R),
    HNVQR_ATTRIBUTE(SPECIFIC_DRIVER_DESCRIPTION, String, R),
    HNVQR_ATTRIBUTE(SPECIFIC_DRIVER_CLASS_SPEC_MAJOR_VERSION, Int32, R),
    HNVQR_ATTRIBUTE(SPECIFIC_DRIVER_CLASS_SPEC_MINOR_VERSION, Int32, R),
    HNVQR_ATTRIBUTE(SPECIFIC_DRIVER_REVISION, String, R),

    // IviDCPwr class attributes
    HNVQR_ATTRIBUTE(VOLTAGE_LEVEL, Real64, RW),
    HNVQR_ATTRIBUTE(OVP_ENABLED, Boolean, RW),
    HNVQR_ATTRIBUTE(OVP_LIMIT, Real64, RW),
    HNVQR_ENUM_ATTRIBUTE(CURRENT_LIMIT_BEHAVIOR, RW, kCurrentLimitBehaviorValues),
    HNVQR_ATTRIBUTE(CURRENT_LIMIT, Real64, RW),
    HNVQR_ATTRIBUTE(OUTPUT_ENABLED, Boolean, RW),
    HNVQR_ATTRIBUTE(TRIGGER_SOURCE, Int32, RW),
    HNVQR_ATTRIBUTE(TRIGGERED_CURRENT_LIMIT, Real64, RW),
    HNVQR_ATTRIBUTE(TRIGGERED_VOLTAGE_LEVEL, Real64, RW),

    // Instrument-specific attributes
    HNVQR_ATTRIBUTE(SYSTEM_IO_SESSION, Session, R),
    HNVQR_ATTRIBUTE(SYSTEM_IO_TIMEOUT, Int32, RW),
    HNVQR_ATTRIBUTE(OPERATION_CONDITION_REGISTER, Int32, R),
    HNVQR_ATTRIBUTE(AUTO_START_ENABLED, Boolean, RW),
    HNVQR_ATTRIBUTE(CURRENT_LEVEL, Real64, RW),
    HNVQR_ATTRIBUTE(OVER_CURRENT_PROTECTION_LEVEL, Real64, RW),
    HNVQR_ATTRIBUTE(POWER_LEVEL, Real64, RW),
    HNVQR_ATTRIBUTE(OVER_POWER_PROTECTION_LEVEL, Real64, RW),
    HNVQR_ATTRIBUTE(REMOTE_SENSE_ENABLED, Boolean, RW),
    HNVQR_ATTRIBUTE(REMOTE_SENSE_RESISTANCE, Real64, RW),
    HNVQR_ENUM_ATTRIBUTE(REMOTE_SENSE_CALCULATION_STATUS, R, kRemoteSenseStatusValues),
    HNVQR_ATTRIBUTE(OPERATION_ENABLE_REGISTER, Int32, RW),
    HNVQR_ATTRIBUTE(OPERATION_EVENT_REGISTER, Int32, R),
    HNVQR_ATTRIBUTE(QUESTIONABLE_CONDITION_REGISTER, Int32, R),
    HNVQR_ATTRIBUTE(QUESTIONABLE_ENABLE_REGISTER, Int32, RW),
    HNVQR_ATTRIBUTE(QUESTIONABLE_EVENT_REGISTER, Int32, R),
    HNVQR_ATTRIBUTE(HARDWARE_ENABLE_REGISTER, Int32, RW),
    HNVQR_ATTRIBUTE(TEMPERATURE_ENABLE_REGISTER, Int32, RW),
    HNVQR_ATTRIBUTE(HARDWARE_CONDITION_REGISTER, Int32, R),
    HNVQR_ATTRIBUTE(HARDWARE_EVENT_REGISTER, Int32, R),
    HNVQR_ATTRIBUTE(TEMPERATURE_CONDITION_REGISTER, Int32, R),
    HNVQR_ATTRIBUTE(TEMPERATURE_EVENT_REGISTER, Int32, R),
    HNVQR_ATTRIBUTE(STANDARD_EVENT_ENABLE_REGISTER, Int32, RW),
    HNVQR_ATTRIBUTE(STANDARD_EVENT_EVENT_REGISTER, Int32, R),
    HNVQR_ATTRIBUTE(STATUS_BYTE_ENABLE_REGISTER, Int32, RW),
    HNVQR_ATTRIBUTE(STATUS_BYTE_EVENT_REGISTER, Int32, R),
    HNVQR_ENUM_ATTRIBUTE(ANALOG_OUTPUT_MODE, RW, kAnalogOutputModeValues),
    HNVQR_ATTRIBUTE(DEVICE_CAPABILITIES, String, R),
    HNVQR_ENUM_ATTRIBUTE(CONTROL_SOURCE, RW, kControlSourceValues),
    HNVQR_ATTRIBUTE(LAST_SELF_TEST_RESULT, String, R),
    HNVQR_ATTRIBUTE(SCPI_VERSION, String, R),
    HNVQR_ENUM_ATTRIBUTE(ANALOG_VOLTAGE_SCALING_LEVEL, RW, kAnalogScalingLevelValues),
    HNVQR_ENUM_ATTRIBUTE(ANALOG_CURRENT_SCALING_LEVEL, RW, kAnalogScalingLevelValues),
    HNVQR_ATTRIBUTE(ERROR_CONDITION, Int32, R),
    HNVQR_ATTRIBUTE(ERROR_COUNT, Int32, R),
};

#undef HNVQR_ATTRIBUTE
#undef HNVQR_ENUM_ATTRIBUTE

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
        case Int32: return "ViInt32";
        case Real64: return "ViReal64";
        case Boolean: return "ViBoolean";
        case Session: return "ViSession";
        case String: return "ViString";
    }
    return "?";
}

}  // namespace hnvqr::tool
