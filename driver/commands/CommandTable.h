// The SCPI command table of the instrument attributes: one row per attribute, read by the
// one getter pattern and the one setter pattern (attributes/InstrumentAttribute.h).
#pragma once

#include <visatype.h>

#include "HnVQR.h"
#include "commands/EnumMaps.h"
#include "kel/VisaFormat.h"

namespace hnvqr::commands {

// How the channel name is used on the live path.
enum class Channel {
  kIgnored,    // instrument-specific attributes ignore it
  kOnce,       // resolved; a setter sends its command once
  kPerOutput,  // resolved; a setter sends its command once per output named
};

// A number read with "%lf%*t" / "%ld%*t" and written with "%0.15lg" / "%ld".
template <class T>
struct NumericCommand {
  ViAttr id;
  const char* getterName;
  const char* query;
  const char* responseFormat;
  T simulationDefault;
  bool simulationFixed;    // the simulated read answers the default, never the cache entry
  const char* setCommand;  // nullptr for a read-only attribute
  Channel channel;
};

// A token read into a 256-character response and converted by an enum command map.
template <class T>
struct MappedCommand {
  ViAttr id;
  const char* getterName;
  const char* query;
  const char* responseFormat;  // one "%#[...]" conversion
  T simulationDefault;
  bool simulationFixed;
  const char* setCommand;  // with one "%s" for the token; nullptr for read-only
  const kel::EnumCommandMap& (*map)();
};

// A text read into the caller's buffer with "%#[^\n]%*t".
struct TextCommand {
  ViAttr id;
  const char* getterName;
  // Checked where the row is declared: a getter whose other arguments do not depend on the row
  // cannot have clang 14 check it inside the template.
  kel::CommandText query;
  const char* simulatedText;
};

// Output attributes
inline constexpr NumericCommand<ViReal64> kVoltageLevel{HNVQR_ATTR_VOLTAGE_LEVEL,
                                                        "HnVQR_get_VOLTAGE_LEVEL",
                                                        "VOLT?\n",
                                                        "%lf%*t",
                                                        25.0,
                                                        false,
                                                        "VOLT %0.15lg\n",
                                                        Channel::kOnce};
inline constexpr NumericCommand<ViReal64> kOvpLimit{
    HNVQR_ATTR_OVP_LIMIT,  "HnVQR_get_OVP_LIMIT", "VOLT:PROT?\n", "%lf%*t", 20.0, false,
    "VOLT:PROT %0.15lg\n", Channel::kPerOutput};
inline constexpr NumericCommand<ViReal64> kCurrentLevel{
    HNVQR_ATTR_CURRENT_LEVEL, "HnVQR_get_CURRENT_LEVEL", "CURR?\n", "%lf%*t", 3.5, false,
    "CURR %0.15lg\n",         Channel::kIgnored};
inline constexpr NumericCommand<ViReal64> kOverCurrentProtectionLevel{HNVQR_ATTR_OVER_CURRENT_PROTECTION_LEVEL,
                                                                      "HnVQR_get_OVER_CURRENT_PROTECTION_LEVEL",
                                                                      "CURR:PROT?\n",
                                                                      "%lf%*t",
                                                                      5.5,
                                                                      false,
                                                                      "CURR:PROT %0.15lg\n",
                                                                      Channel::kIgnored};
inline constexpr NumericCommand<ViReal64> kPowerLevel{
    HNVQR_ATTR_POWER_LEVEL, "HnVQR_get_POWER_LEVEL", "POW?\n", "%lf%*t", 300.0, false,
    "POW %0.15lg\n",        Channel::kIgnored};
inline constexpr NumericCommand<ViReal64> kOverPowerProtectionLevel{HNVQR_ATTR_OVER_POWER_PROTECTION_LEVEL,
                                                                    "HnVQR_get_OVER_POWER_PROTECTION_LEVEL",
                                                                    "POW:PROT?\n",
                                                                    "%lf%*t",
                                                                    500.0,
                                                                    false,
                                                                    "POW:PROT %0.15lg\n",
                                                                    Channel::kIgnored};
inline constexpr NumericCommand<ViReal64> kRemoteSenseResistance{HNVQR_ATTR_REMOTE_SENSE_RESISTANCE,
                                                                 "HnVQR_get_REMOTE_SENSE_RESISTANCE",
                                                                 "RSEN:RES?\n",
                                                                 "%lf%*t",
                                                                 1500000.0,
                                                                 false,
                                                                 "RSEN:RES %0.15lg\n",
                                                                 Channel::kIgnored};
inline constexpr MappedCommand<ViBoolean> kAutoStartEnabled{HNVQR_ATTR_AUTO_START_ENABLED,
                                                            "HnVQR_get_AUTO_START_ENABLED",
                                                            "OUTP:AUTO?\n",
                                                            "%#[^\n]%*t",
                                                            VI_FALSE,
                                                            false,
                                                            "OUTP:AUTO %s\n",
                                                            maps::OnOff};
inline constexpr MappedCommand<ViBoolean> kRemoteSenseEnabled{HNVQR_ATTR_REMOTE_SENSE_ENABLED,
                                                              "HnVQR_get_REMOTE_SENSE_ENABLED",
                                                              "RSEN?\n",
                                                              "%#[^\n]%*t",
                                                              VI_TRUE,
                                                              false,
                                                              "RSEN %s\n",
                                                              maps::OnOff};
inline constexpr MappedCommand<ViInt32> kRemoteSenseCalculationStatus{HNVQR_ATTR_REMOTE_SENSE_CALCULATION_STATUS,
                                                                      "HnVQR_get_REMOTE_SENSE_CALCULATION_STATUS",
                                                                      "RSEN:RES:CALC?\n",
                                                                      "%#[^\n]%*t",
                                                                      HNVQR_VAL_REMOTE_SENSE_STATUS_DORMANT,
                                                                      true,
                                                                      nullptr,
                                                                      maps::RemoteSenseStatus};

// Status registers: condition and event registers read a fixed 0 in simulation.
#define HNVQR_REGISTER(NAME, ATTR, QUERY, FIXED, SET)                                        \
  inline constexpr NumericCommand<ViInt32> NAME {                                            \
    HNVQR_ATTR_##ATTR, "HnVQR_get_" #ATTR, QUERY, "%ld%*t", 0, FIXED, SET, Channel::kIgnored \
  }
HNVQR_REGISTER(kOperationConditionRegister, OPERATION_CONDITION_REGISTER, "STAT:OPER:COND?\n", true, nullptr);
HNVQR_REGISTER(kOperationEnableRegister, OPERATION_ENABLE_REGISTER, "STAT:OPER:ENAB?\n", false, "STAT:OPER:ENAB %ld\n");
HNVQR_REGISTER(kOperationEventRegister, OPERATION_EVENT_REGISTER, "STAT:OPER?\n", true, nullptr);
HNVQR_REGISTER(kQuestionableConditionRegister, QUESTIONABLE_CONDITION_REGISTER, "STAT:QUES:COND?\n", true, nullptr);
HNVQR_REGISTER(kQuestionableEnableRegister, QUESTIONABLE_ENABLE_REGISTER, "STAT:QUES:ENAB?\n", false,
               "STAT:QUES:ENAB %ld\n");
HNVQR_REGISTER(kQuestionableEventRegister, QUESTIONABLE_EVENT_REGISTER, "STAT:QUES?\n", true, nullptr);
HNVQR_REGISTER(kHardwareEnableRegister, HARDWARE_ENABLE_REGISTER, "STAT:QUES:HARD:ENAB?\n", false,
               "STAT:QUES:HARD:ENAB %ld\n");
HNVQR_REGISTER(kTemperatureEnableRegister, TEMPERATURE_ENABLE_REGISTER, "STAT:QUES:TEMP:ENAB?\n", false,
               "STAT:QUES:TEMP:ENAB %ld\n");
HNVQR_REGISTER(kHardwareConditionRegister, HARDWARE_CONDITION_REGISTER, "STAT:QUES:HARD:COND?\n", true, nullptr);
HNVQR_REGISTER(kHardwareEventRegister, HARDWARE_EVENT_REGISTER, "STAT:QUES:HARD?\n", true, nullptr);
HNVQR_REGISTER(kTemperatureConditionRegister, TEMPERATURE_CONDITION_REGISTER, "STAT:QUES:TEMP:COND?\n", true, nullptr);
HNVQR_REGISTER(kTemperatureEventRegister, TEMPERATURE_EVENT_REGISTER, "STAT:QUES:TEMP?\n", true, nullptr);
HNVQR_REGISTER(kStandardEventEnableRegister, STANDARD_EVENT_ENABLE_REGISTER, "*ESE?\n", false, "*ESE %ld\n");
HNVQR_REGISTER(kStandardEventEventRegister, STANDARD_EVENT_EVENT_REGISTER, "*ESR?\n", true, nullptr);
HNVQR_REGISTER(kStatusByteEnableRegister, STATUS_BYTE_ENABLE_REGISTER, "*SRE?\n", false, "*SRE %ld\n");
HNVQR_REGISTER(kStatusByteEventRegister, STATUS_BYTE_EVENT_REGISTER, "*STB?\n", true, nullptr);
HNVQR_REGISTER(kErrorCondition, ERROR_CONDITION, "SYST:ERR:COND?\n", true, nullptr);
HNVQR_REGISTER(kErrorCount, ERROR_COUNT, "SYST:ERR:COUN?\n", true, nullptr);
#undef HNVQR_REGISTER

// System settings
inline constexpr MappedCommand<ViInt32> kAnalogOutputMode{HNVQR_ATTR_ANALOG_OUTPUT_MODE,
                                                          "HnVQR_get_ANALOG_OUTPUT_MODE",
                                                          "SYST:MOD:AOUT?\n",
                                                          "%#[^\n]%*t",
                                                          HNVQR_VAL_ANALOG_OUTPUT_MODE_DISABLED,
                                                          false,
                                                          "SYST:MOD:AOUT %s\n",
                                                          maps::AnalogOutputMode};
inline constexpr MappedCommand<ViInt32> kControlSource{HNVQR_ATTR_CONTROL_SOURCE,
                                                       "HnVQR_get_CONTROL_SOURCE",
                                                       "SYST:MOD?\n",
                                                       "%#[^\n]%*t",
                                                       HNVQR_VAL_CONTROL_SOURCE_REMOTE,
                                                       false,
                                                       "SYST:MOD %s\n",
                                                       maps::ControlSource};
// One query answers both scaling levels: the current level first, the voltage level second.
inline constexpr MappedCommand<ViInt32> kAnalogVoltageScalingLevel{HNVQR_ATTR_ANALOG_VOLTAGE_SCALING_LEVEL,
                                                                   "HnVQR_get_ANALOG_VOLTAGE_SCALING_LEVEL",
                                                                   "SYST:MOD:ASC?\n",
                                                                   "%*[^,],%#[^\n]%*t",
                                                                   HNVQR_VAL_ANALOG_SCALING_LEVEL_VOLT_3,
                                                                   false,
                                                                   "SYST:MOD:ASC VOLT,%s\n",
                                                                   maps::AnalogScalingLevel};
inline constexpr MappedCommand<ViInt32> kAnalogCurrentScalingLevel{HNVQR_ATTR_ANALOG_CURRENT_SCALING_LEVEL,
                                                                   "HnVQR_get_ANALOG_CURRENT_SCALING_LEVEL",
                                                                   "SYST:MOD:ASC?\n",
                                                                   "%#[^,],%*t",
                                                                   HNVQR_VAL_ANALOG_SCALING_LEVEL_VOLT_3,
                                                                   false,
                                                                   "SYST:MOD:ASC CURR,%s\n",
                                                                   maps::AnalogScalingLevel};
inline constexpr TextCommand kDeviceCapabilities{HNVQR_ATTR_DEVICE_CAPABILITIES, "HnVQR_get_DEVICE_CAPABILITIES",
                                                 "SYST:CAP?\n", "(DCPSUPPLY WITH MEASURE)"};
inline constexpr TextCommand kLastSelfTestResult{HNVQR_ATTR_LAST_SELF_TEST_RESULT, "HnVQR_get_LAST_SELF_TEST_RESULT",
                                                 "TEST:SELF:QUER?\n", "Selftest passed"};
inline constexpr TextCommand kScpiVersion{HNVQR_ATTR_SCPI_VERSION, "HnVQR_get_SCPI_VERSION", "SYST:VERS?\n", "1999.0"};

// Every row, for code that walks the table.
inline constexpr const NumericCommand<ViReal64>* kReal64Commands[] = {
    &kVoltageLevel,         &kOvpLimit,
    &kCurrentLevel,         &kOverCurrentProtectionLevel,
    &kPowerLevel,           &kOverPowerProtectionLevel,
    &kRemoteSenseResistance};
inline constexpr const NumericCommand<ViInt32>* kInt32Commands[] = {&kOperationConditionRegister,
                                                                    &kOperationEnableRegister,
                                                                    &kOperationEventRegister,
                                                                    &kQuestionableConditionRegister,
                                                                    &kQuestionableEnableRegister,
                                                                    &kQuestionableEventRegister,
                                                                    &kHardwareEnableRegister,
                                                                    &kTemperatureEnableRegister,
                                                                    &kHardwareConditionRegister,
                                                                    &kHardwareEventRegister,
                                                                    &kTemperatureConditionRegister,
                                                                    &kTemperatureEventRegister,
                                                                    &kStandardEventEnableRegister,
                                                                    &kStandardEventEventRegister,
                                                                    &kStatusByteEnableRegister,
                                                                    &kStatusByteEventRegister,
                                                                    &kErrorCondition,
                                                                    &kErrorCount};
inline constexpr const MappedCommand<ViBoolean>* kBooleanCommands[] = {&kAutoStartEnabled, &kRemoteSenseEnabled};
inline constexpr const MappedCommand<ViInt32>* kEnumCommands[] = {&kRemoteSenseCalculationStatus, &kAnalogOutputMode,
                                                                  &kControlSource, &kAnalogVoltageScalingLevel,
                                                                  &kAnalogCurrentScalingLevel};
inline constexpr const TextCommand* kTextCommands[] = {&kDeviceCapabilities, &kLastSelfTestResult, &kScpiVersion};

}  // namespace hnvqr::commands
