#include "attributes/AttributeDocumentation.h"

#include "HnVQR.h"
#include "commands/EnumMaps.h"

namespace hnvqr {
namespace {

constexpr EnumeratedValues kCurrentLimitBehavior{"CurrentLimitBehavior", maps::CurrentLimitBehavior};
constexpr EnumeratedValues kRemoteSenseStatus{"RemoteSenseStatus", maps::RemoteSenseStatus};
constexpr EnumeratedValues kAnalogOutputMode{"AnalogOutputMode", maps::AnalogOutputMode};
constexpr EnumeratedValues kControlSource{"ControlSource", maps::ControlSource};
constexpr EnumeratedValues kAnalogScalingLevel{"AnalogScalingLevel", maps::AnalogScalingLevel};
constexpr EnumeratedValues kMeasurementType{"MeasurementType", maps::MeasurementType};
constexpr EnumeratedValues kOutputState{"OutputState", maps::OutputState};
constexpr EnumeratedValues kRangeType{"RangeType", maps::RangeType};

constexpr bool kPerOutput = true;
constexpr bool kWhole = false;

constexpr AttributeDocumentation kDocumentation[] = {
    // Inherent attributes
    {HNVQR_ATTR_RANGE_CHECK, kWhole, nullptr,
     "Whether the driver validates attribute values and function parameters before it sends them."},
    {HNVQR_ATTR_QUERY_INSTRUMENT_STATUS, kWhole, nullptr,
     "Whether the driver queries the instrument's status after each operation that talks to it, and reports an "
     "instrument error as a status."},
    {HNVQR_ATTR_CACHE, kWhole, nullptr,
     "Whether the driver keeps the last value read or written of each cached attribute."},
    {HNVQR_ATTR_SIMULATE, kWhole, nullptr,
     "Whether the driver simulates the instrument instead of talking to it. A session opened in simulation "
     "stays in simulation."},
    {HNVQR_ATTR_RECORD_COERCIONS, kWhole, nullptr, "Whether the driver keeps a record of each value it coerces."},
    {HNVQR_ATTR_DRIVER_SETUP, kWhole, nullptr,
     "The DriverSetup text of the session, from the configuration store and the option string."},
    {HNVQR_ATTR_INTERCHANGE_CHECK, kWhole, nullptr,
     "Whether the driver checks for interchangeability problems. The driver does not support the check: it can "
     "only be off."},
    {HNVQR_ATTR_CHANNEL_COUNT, kWhole, nullptr, "The number of outputs of the instrument."},
    {HNVQR_ATTR_SPECIFIC_DRIVER_PREFIX, kWhole, nullptr, "The prefix of the driver's function names, \"HnVQR\"."},
    {HNVQR_ATTR_IO_RESOURCE_DESCRIPTOR, kWhole, nullptr,
     "The resource descriptor through which the session reaches the instrument."},
    {HNVQR_ATTR_LOGICAL_NAME, kWhole, nullptr,
     "The logical name the session was opened with, or empty when it was opened with a resource descriptor."},
    {HNVQR_ATTR_SUPPORTED_INSTRUMENT_MODELS, kWhole, nullptr,
     "The instrument models the driver supports, separated by commas."},
    {HNVQR_ATTR_GROUP_CAPABILITIES, kWhole, nullptr,
     "The capability groups of the DC power supply class that the driver implements."},
    {HNVQR_ATTR_INSTRUMENT_FIRMWARE_REVISION, kWhole, nullptr,
     "The firmware revision the instrument reported when the session was opened."},
    {HNVQR_ATTR_INSTRUMENT_MANUFACTURER, kWhole, nullptr,
     "The manufacturer the instrument reported when the session was opened."},
    {HNVQR_ATTR_INSTRUMENT_MODEL, kWhole, nullptr, "The model of the instrument the session is connected to."},
    {HNVQR_ATTR_SPECIFIC_DRIVER_VENDOR, kWhole, nullptr, "The vendor of the driver."},
    {HNVQR_ATTR_SPECIFIC_DRIVER_DESCRIPTION, kWhole, nullptr, "A short description of the driver."},
    {HNVQR_ATTR_SPECIFIC_DRIVER_CLASS_SPEC_MAJOR_VERSION, kWhole, nullptr,
     "The major version of the IVI instrument class the driver complies with."},
    {HNVQR_ATTR_SPECIFIC_DRIVER_CLASS_SPEC_MINOR_VERSION, kWhole, nullptr,
     "The minor version of the IVI instrument class the driver complies with."},
    {HNVQR_ATTR_SPECIFIC_DRIVER_REVISION, kWhole, nullptr, "The revision of the driver."},
    // Class attributes
    {HNVQR_ATTR_VOLTAGE_LEVEL, kPerOutput, nullptr,
     "The voltage, in volts, that the output regulates to while it is in constant-voltage mode."},
    {HNVQR_ATTR_OVP_ENABLED, kPerOutput, nullptr,
     "Whether over-voltage protection is enabled. The supplies always protect: it can only be enabled."},
    {HNVQR_ATTR_OVP_LIMIT, kPerOutput, nullptr,
     "The voltage, in volts, at which over-voltage protection switches the output off."},
    {HNVQR_ATTR_CURRENT_LIMIT_BEHAVIOR, kPerOutput, &kCurrentLimitBehavior,
     "What the output does when the current reaches the current limit. The supplies always trip."},
    {HNVQR_ATTR_CURRENT_LIMIT, kWhole, nullptr,
     "The current limit, in amperes: the over-current protection level, at which the output trips."},
    {HNVQR_ATTR_OUTPUT_ENABLED, kPerOutput, nullptr, "Whether the output is switched on."},
    {HNVQR_ATTR_TRIGGER_SOURCE, kWhole, nullptr,
     "The trigger source of a triggered change of levels. The supplies have no trigger: not supported."},
    {HNVQR_ATTR_TRIGGERED_CURRENT_LIMIT, kWhole, nullptr,
     "The current limit, in amperes, applied on a trigger. The supplies have no trigger: not supported."},
    {HNVQR_ATTR_TRIGGERED_VOLTAGE_LEVEL, kWhole, nullptr,
     "The voltage level, in volts, applied on a trigger. The supplies have no trigger: not supported."},
    // Instrument-specific attributes
    {HNVQR_ATTR_SYSTEM_IO_SESSION, kWhole, nullptr,
     "The VISA session through which the driver talks to the instrument, for direct I/O."},
    {HNVQR_ATTR_SYSTEM_IO_TIMEOUT, kWhole, nullptr,
     "The time-out, in milliseconds, of each exchange with the instrument."},
    {HNVQR_ATTR_OPERATION_CONDITION_REGISTER, kWhole, nullptr,
     "The operation condition register: the instrument's operating state as it is now."},
    {HNVQR_ATTR_AUTO_START_ENABLED, kWhole, nullptr,
     "Whether the output switches on by itself when the instrument is powered on."},
    {HNVQR_ATTR_CURRENT_LEVEL, kWhole, nullptr,
     "The current, in amperes, that the output regulates to while it is in constant-current mode."},
    {HNVQR_ATTR_OVER_CURRENT_PROTECTION_LEVEL, kWhole, nullptr,
     "The current, in amperes, at which over-current protection switches the output off."},
    {HNVQR_ATTR_POWER_LEVEL, kWhole, nullptr, "The power, in watts, that the output limits itself to."},
    {HNVQR_ATTR_OVER_POWER_PROTECTION_LEVEL, kWhole, nullptr,
     "The power, in watts, at which over-power protection switches the output off."},
    {HNVQR_ATTR_REMOTE_SENSE_ENABLED, kWhole, nullptr,
     "Whether the output regulates the voltage at the load through the sense lines."},
    {HNVQR_ATTR_REMOTE_SENSE_RESISTANCE, kWhole, nullptr,
     "The resistance, in ohms, of the load leads, used to compensate their voltage drop."},
    {HNVQR_ATTR_REMOTE_SENSE_CALCULATION_STATUS, kWhole, &kRemoteSenseStatus,
     "The state of the instrument's calculation of the load lead resistance."},
    {HNVQR_ATTR_OPERATION_ENABLE_REGISTER, kWhole, nullptr,
     "The operation enable register: which operation events are summarised in the status byte."},
    {HNVQR_ATTR_OPERATION_EVENT_REGISTER, kWhole, nullptr,
     "The operation event register: the operation events latched since it was last read; reading clears it."},
    {HNVQR_ATTR_QUESTIONABLE_CONDITION_REGISTER, kWhole, nullptr,
     "The questionable condition register: the questionable states of the instrument as they are now."},
    {HNVQR_ATTR_QUESTIONABLE_ENABLE_REGISTER, kWhole, nullptr,
     "The questionable enable register: which questionable events are summarised in the status byte."},
    {HNVQR_ATTR_QUESTIONABLE_EVENT_REGISTER, kWhole, nullptr,
     "The questionable event register: the questionable events latched since it was last read; reading clears "
     "it."},
    {HNVQR_ATTR_HARDWARE_ENABLE_REGISTER, kWhole, nullptr,
     "The hardware enable register: which hardware events are summarised in the questionable register."},
    {HNVQR_ATTR_TEMPERATURE_ENABLE_REGISTER, kWhole, nullptr,
     "The temperature enable register: which temperature events are summarised in the questionable register."},
    {HNVQR_ATTR_HARDWARE_CONDITION_REGISTER, kWhole, nullptr,
     "The hardware condition register: the hardware faults present now."},
    {HNVQR_ATTR_HARDWARE_EVENT_REGISTER, kWhole, nullptr,
     "The hardware event register: the hardware faults latched since it was last read; reading clears it."},
    {HNVQR_ATTR_TEMPERATURE_CONDITION_REGISTER, kWhole, nullptr,
     "The temperature condition register: the temperature faults present now."},
    {HNVQR_ATTR_TEMPERATURE_EVENT_REGISTER, kWhole, nullptr,
     "The temperature event register: the temperature faults latched since it was last read; reading clears it."},
    {HNVQR_ATTR_STANDARD_EVENT_ENABLE_REGISTER, kWhole, nullptr,
     "The standard event status enable register: which standard events are summarised in the status byte."},
    {HNVQR_ATTR_STANDARD_EVENT_EVENT_REGISTER, kWhole, nullptr,
     "The standard event status register: the standard events latched since it was last read; reading clears "
     "it."},
    {HNVQR_ATTR_STATUS_BYTE_ENABLE_REGISTER, kWhole, nullptr,
     "The service request enable register: which bits of the status byte request service."},
    {HNVQR_ATTR_STATUS_BYTE_EVENT_REGISTER, kWhole, nullptr, "The status byte of the instrument."},
    {HNVQR_ATTR_ANALOG_OUTPUT_MODE, kWhole, &kAnalogOutputMode,
     "How the instrument's analog interface combines it with other supplies: disabled, parallel or series."},
    {HNVQR_ATTR_DEVICE_CAPABILITIES, kWhole, nullptr, "The capabilities the instrument reports of itself."},
    {HNVQR_ATTR_CONTROL_SOURCE, kWhole, &kControlSource,
     "Where the instrument takes its settings from: the front panel, the remote interface, or the analog "
     "interface."},
    {HNVQR_ATTR_LAST_SELF_TEST_RESULT, kWhole, nullptr, "The result of the instrument's last self-test."},
    {HNVQR_ATTR_SCPI_VERSION, kWhole, nullptr, "The version of the SCPI standard the instrument complies with."},
    {HNVQR_ATTR_ANALOG_VOLTAGE_SCALING_LEVEL, kWhole, &kAnalogScalingLevel,
     "The full-scale voltage of the analog interface's voltage programming input."},
    {HNVQR_ATTR_ANALOG_CURRENT_SCALING_LEVEL, kWhole, &kAnalogScalingLevel,
     "The full-scale voltage of the analog interface's current programming input."},
    {HNVQR_ATTR_ERROR_CONDITION, kWhole, nullptr,
     "The error condition the instrument reports for its error queue; 0 when there is no error."},
    {HNVQR_ATTR_ERROR_COUNT, kWhole, nullptr, "The number of errors in the instrument's error queue."},
};

constexpr const EnumeratedValues* kParameterValueSets[] = {&kMeasurementType, &kOutputState, &kRangeType};

}  // namespace

std::span<const AttributeDocumentation> AttributeDocumentationTable() { return kDocumentation; }

std::span<const EnumeratedValues* const> ParameterValueSets() { return kParameterValueSets; }

}  // namespace hnvqr
