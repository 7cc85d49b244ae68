// The attribute registry: every attribute of the driver with its macro name, type and
// callbacks. Read-only attributes have no setter; no attribute is write-only.
#include "attributes/AttributeTable.h"

#include "HnVQR.h"
#include "attributes/AttributeCallbacks.h"

namespace hnvqr {
namespace {

using kel::BooleanAttribute;
using kel::Int32Attribute;
using kel::Real64Attribute;
using kel::SessionAttribute;
using kel::StringAttribute;

#define RW(KIND, ATTR) KIND(HNVQR_ATTR_##ATTR, "HNVQR_ATTR_" #ATTR, HnVQR_get_##ATTR, HnVQR_set_##ATTR)
#define RO(KIND, ATTR) KIND(HNVQR_ATTR_##ATTR, "HNVQR_ATTR_" #ATTR, HnVQR_get_##ATTR, nullptr)

constexpr kel::AttributeDescriptor kAttributes[] = {
    // Inherent attributes
    RW(BooleanAttribute, RANGE_CHECK),
    RW(BooleanAttribute, QUERY_INSTRUMENT_STATUS),
    RW(BooleanAttribute, CACHE),
    RW(BooleanAttribute, SIMULATE),
    RW(BooleanAttribute, RECORD_COERCIONS),
    RO(StringAttribute, DRIVER_SETUP),
    RW(BooleanAttribute, INTERCHANGE_CHECK),
    RO(Int32Attribute, CHANNEL_COUNT),
    RO(StringAttribute, SPECIFIC_DRIVER_PREFIX),
    RO(StringAttribute, IO_RESOURCE_DESCRIPTOR),
    RO(StringAttribute, LOGICAL_NAME),
    RO(StringAttribute, SUPPORTED_INSTRUMENT_MODELS),
    RO(StringAttribute, GROUP_CAPABILITIES),
    RO(StringAttribute, INSTRUMENT_FIRMWARE_REVISION),
    RO(StringAttribute, INSTRUMENT_MANUFACTURER),
    RO(StringAttribute, INSTRUMENT_MODEL),
    RO(StringAttribute, SPECIFIC_DRIVER_VENDOR),
    RO(StringAttribute, SPECIFIC_DRIVER_DESCRIPTION),
    RO(Int32Attribute, SPECIFIC_DRIVER_CLASS_SPEC_MAJOR_VERSION),
    RO(Int32Attribute, SPECIFIC_DRIVER_CLASS_SPEC_MINOR_VERSION),
    RO(StringAttribute, SPECIFIC_DRIVER_REVISION),
    // Class attributes
    RW(Real64Attribute, VOLTAGE_LEVEL),
    RW(BooleanAttribute, OVP_ENABLED),
    RW(Real64Attribute, OVP_LIMIT),
    RW(Int32Attribute, CURRENT_LIMIT_BEHAVIOR),
    RW(Real64Attribute, CURRENT_LIMIT),
    RW(BooleanAttribute, OUTPUT_ENABLED),
    RW(Int32Attribute, TRIGGER_SOURCE),
    Real64Attribute(HNVQR_ATTR_TRIGGERED_CURRENT_LIMIT, "HNVQR_ATTR_TRIGGERED_CURRENT_LIMIT",
                    HnVQR_get_TRIGGERED_CURRENT_LIMIT, HnVQR_set_TRIGGERED_LEVEL),
    Real64Attribute(HNVQR_ATTR_TRIGGERED_VOLTAGE_LEVEL, "HNVQR_ATTR_TRIGGERED_VOLTAGE_LEVEL",
                    HnVQR_get_TRIGGERED_VOLTAGE_LEVEL, HnVQR_set_TRIGGERED_LEVEL),
    // Instrument-specific attributes
    RO(SessionAttribute, SYSTEM_IO_SESSION),
    RW(Int32Attribute, SYSTEM_IO_TIMEOUT),
    RO(Int32Attribute, OPERATION_CONDITION_REGISTER),
    RW(BooleanAttribute, AUTO_START_ENABLED),
    RW(Real64Attribute, CURRENT_LEVEL),
    RW(Real64Attribute, OVER_CURRENT_PROTECTION_LEVEL),
    RW(Real64Attribute, POWER_LEVEL),
    RW(Real64Attribute, OVER_POWER_PROTECTION_LEVEL),
    RW(BooleanAttribute, REMOTE_SENSE_ENABLED),
    RW(Real64Attribute, REMOTE_SENSE_RESISTANCE),
    RO(Int32Attribute, REMOTE_SENSE_CALCULATION_STATUS),
    RW(Int32Attribute, OPERATION_ENABLE_REGISTER),
    RO(Int32Attribute, OPERATION_EVENT_REGISTER),
    RO(Int32Attribute, QUESTIONABLE_CONDITION_REGISTER),
    RW(Int32Attribute, QUESTIONABLE_ENABLE_REGISTER),
    RO(Int32Attribute, QUESTIONABLE_EVENT_REGISTER),
    RW(Int32Attribute, HARDWARE_ENABLE_REGISTER),
    RW(Int32Attribute, TEMPERATURE_ENABLE_REGISTER),
    RO(Int32Attribute, HARDWARE_CONDITION_REGISTER),
    RO(Int32Attribute, HARDWARE_EVENT_REGISTER),
    RO(Int32Attribute, TEMPERATURE_CONDITION_REGISTER),
    RO(Int32Attribute, TEMPERATURE_EVENT_REGISTER),
    RW(Int32Attribute, STANDARD_EVENT_ENABLE_REGISTER),
    RO(Int32Attribute, STANDARD_EVENT_EVENT_REGISTER),
    RW(Int32Attribute, STATUS_BYTE_ENABLE_REGISTER),
    RO(Int32Attribute, STATUS_BYTE_EVENT_REGISTER),
    RW(Int32Attribute, ANALOG_OUTPUT_MODE),
    RO(StringAttribute, DEVICE_CAPABILITIES),
    RW(Int32Attribute, CONTROL_SOURCE),
    RO(StringAttribute, LAST_SELF_TEST_RESULT),
    RO(StringAttribute, SCPI_VERSION),
    RW(Int32Attribute, ANALOG_VOLTAGE_SCALING_LEVEL),
    RW(Int32Attribute, ANALOG_CURRENT_SCALING_LEVEL),
    RO(Int32Attribute, ERROR_CONDITION),
    RO(Int32Attribute, ERROR_COUNT),
};

#undef RW
#undef RO

}  // namespace

// Built while the library loads, before any export can run.
const kel::AttributeRegistry& AttributeTable() {
  static const kel::AttributeRegistry registry(kAttributes);
  return registry;
}

}  // namespace hnvqr
