/*
 * HnVQR: IVI-C driver for the VQR family of programmable DC power supplies.
 *
 * Every function returns a ViStatus: 0 for success, positive for a warning, negative for
 * an error. HnVQR_GetError returns the description of the last error of a session (or,
 * with VI_NULL, of the calling thread, which is how the reason of a failed
 * initialization is read).
 */
#ifndef HNVQR_H
#define HNVQR_H

#include <visatype.h>

#if defined(__GNUC__) && !defined(_WIN32)
#define HNVQR_API __attribute__((visibility("default")))
#else
#define HNVQR_API
#endif

#ifdef __cplusplus
extern "C" {
#endif

/* ---------------------------------------------------------------------------------------
 * Attribute IDs
 * ------------------------------------------------------------------------------------- */

/* Inherent attributes */
#define HNVQR_ATTR_RANGE_CHECK 1050002UL
#define HNVQR_ATTR_QUERY_INSTRUMENT_STATUS 1050003UL
#define HNVQR_ATTR_CACHE 1050004UL
#define HNVQR_ATTR_SIMULATE 1050005UL
#define HNVQR_ATTR_RECORD_COERCIONS 1050006UL
#define HNVQR_ATTR_DRIVER_SETUP 1050007UL
#define HNVQR_ATTR_INTERCHANGE_CHECK 1050021UL
#define HNVQR_ATTR_CHANNEL_COUNT 1050203UL
#define HNVQR_ATTR_SPECIFIC_DRIVER_PREFIX 1050302UL
#define HNVQR_ATTR_IO_RESOURCE_DESCRIPTOR 1050304UL
#define HNVQR_ATTR_LOGICAL_NAME 1050305UL
#define HNVQR_ATTR_SUPPORTED_INSTRUMENT_MODELS 1050327UL
#define HNVQR_ATTR_GROUP_CAPABILITIES 1050401UL
#define HNVQR_ATTR_INSTRUMENT_FIRMWARE_REVISION 1050510UL
#define HNVQR_ATTR_INSTRUMENT_MANUFACTURER 1050511UL
#define HNVQR_ATTR_INSTRUMENT_MODEL 1050512UL
#define HNVQR_ATTR_SPECIFIC_DRIVER_VENDOR 1050513UL
#define HNVQR_ATTR_SPECIFIC_DRIVER_DESCRIPTION 1050514UL
#define HNVQR_ATTR_SPECIFIC_DRIVER_CLASS_SPEC_MAJOR_VERSION 1050515UL
#define HNVQR_ATTR_SPECIFIC_DRIVER_CLASS_SPEC_MINOR_VERSION 1050516UL
#define HNVQR_ATTR_SPECIFIC_DRIVER_REVISION 1050551UL

/* IviDCPwr class attributes */
#define HNVQR_ATTR_VOLTAGE_LEVEL 1250001UL
#define HNVQR_ATTR_OVP_ENABLED 1250002UL
#define HNVQR_ATTR_OVP_LIMIT 1250003UL
#define HNVQR_ATTR_CURRENT_LIMIT_BEHAVIOR 1250004UL
#define HNVQR_ATTR_CURRENT_LIMIT 1250005UL
#define HNVQR_ATTR_OUTPUT_ENABLED 1250006UL
#define HNVQR_ATTR_TRIGGER_SOURCE 1250101UL
#define HNVQR_ATTR_TRIGGERED_CURRENT_LIMIT 1250102UL
#define HNVQR_ATTR_TRIGGERED_VOLTAGE_LEVEL 1250103UL

/* Instrument-specific attributes */
#define HNVQR_ATTR_SYSTEM_IO_SESSION 1150001UL
#define HNVQR_ATTR_SYSTEM_IO_TIMEOUT 1150002UL
#define HNVQR_ATTR_OPERATION_CONDITION_REGISTER 1150003UL
#define HNVQR_ATTR_AUTO_START_ENABLED 1150004UL
#define HNVQR_ATTR_CURRENT_LEVEL 1150006UL
#define HNVQR_ATTR_OVER_CURRENT_PROTECTION_LEVEL 1150007UL
#define HNVQR_ATTR_POWER_LEVEL 1150008UL
#define HNVQR_ATTR_OVER_POWER_PROTECTION_LEVEL 1150009UL
#define HNVQR_ATTR_REMOTE_SENSE_ENABLED 1150010UL
#define HNVQR_ATTR_REMOTE_SENSE_RESISTANCE 1150011UL
#define HNVQR_ATTR_REMOTE_SENSE_CALCULATION_STATUS 1150012UL
#define HNVQR_ATTR_OPERATION_ENABLE_REGISTER 1150013UL
#define HNVQR_ATTR_OPERATION_EVENT_REGISTER 1150014UL
#define HNVQR_ATTR_QUESTIONABLE_CONDITION_REGISTER 1150015UL
#define HNVQR_ATTR_QUESTIONABLE_ENABLE_REGISTER 1150016UL
#define HNVQR_ATTR_QUESTIONABLE_EVENT_REGISTER 1150017UL
#define HNVQR_ATTR_HARDWARE_ENABLE_REGISTER 1150018UL
#define HNVQR_ATTR_TEMPERATURE_ENABLE_REGISTER 1150019UL
#define HNVQR_ATTR_HARDWARE_CONDITION_REGISTER 1150020UL
#define HNVQR_ATTR_HARDWARE_EVENT_REGISTER 1150021UL
#define HNVQR_ATTR_TEMPERATURE_CONDITION_REGISTER 1150022UL
#define HNVQR_ATTR_TEMPERATURE_EVENT_REGISTER 1150023UL
#define HNVQR_ATTR_STANDARD_EVENT_ENABLE_REGISTER 1150024UL
#define HNVQR_ATTR_STANDARD_EVENT_EVENT_REGISTER 1150025UL
#define HNVQR_ATTR_STATUS_BYTE_ENABLE_REGISTER 1150026UL
#define HNVQR_ATTR_STATUS_BYTE_EVENT_REGISTER 1150027UL
#define HNVQR_ATTR_ANALOG_OUTPUT_MODE 1150028UL
#define HNVQR_ATTR_DEVICE_CAPABILITIES 1150029UL
#define HNVQR_ATTR_CONTROL_SOURCE 1150030UL
#define HNVQR_ATTR_LAST_SELF_TEST_RESULT 1150031UL
#define HNVQR_ATTR_SCPI_VERSION 1150033UL
#define HNVQR_ATTR_ANALOG_VOLTAGE_SCALING_LEVEL 1150034UL
#define HNVQR_ATTR_ANALOG_CURRENT_SCALING_LEVEL 1150035UL
#define HNVQR_ATTR_ERROR_CONDITION 1150036UL
#define HNVQR_ATTR_ERROR_COUNT 1150037UL

/* ---------------------------------------------------------------------------------------
 * Attribute and parameter values
 * ------------------------------------------------------------------------------------- */

/* HNVQR_ATTR_CURRENT_LIMIT_BEHAVIOR */
#define HNVQR_VAL_CURRENT_REGULATE 0
#define HNVQR_VAL_CURRENT_TRIP 1

/* HNVQR_ATTR_REMOTE_SENSE_CALCULATION_STATUS */
#define HNVQR_VAL_REMOTE_SENSE_STATUS_DORMANT 0
#define HNVQR_VAL_REMOTE_SENSE_STATUS_CALCULATING 1
#define HNVQR_VAL_REMOTE_SENSE_STATUS_COMPLETE 2

/* HNVQR_ATTR_ANALOG_OUTPUT_MODE */
#define HNVQR_VAL_ANALOG_OUTPUT_MODE_DISABLED 0
#define HNVQR_VAL_ANALOG_OUTPUT_MODE_PARALLEL 1
#define HNVQR_VAL_ANALOG_OUTPUT_MODE_SERIES 2

/* HNVQR_ATTR_ANALOG_VOLTAGE_SCALING_LEVEL, HNVQR_ATTR_ANALOG_CURRENT_SCALING_LEVEL */
#define HNVQR_VAL_ANALOG_SCALING_LEVEL_VOLT_3 0
#define HNVQR_VAL_ANALOG_SCALING_LEVEL_VOLT_5 1
#define HNVQR_VAL_ANALOG_SCALING_LEVEL_VOLT_10 2

/* HNVQR_ATTR_CONTROL_SOURCE */
#define HNVQR_VAL_CONTROL_SOURCE_LOCAL 0
#define HNVQR_VAL_CONTROL_SOURCE_REMOTE 1
#define HNVQR_VAL_CONTROL_SOURCE_REMOTE_WITH_LOCK 2
#define HNVQR_VAL_CONTROL_SOURCE_ANALOG_VOLTAGE 3
#define HNVQR_VAL_CONTROL_SOURCE_ANALOG_CURRENT 4
#define HNVQR_VAL_CONTROL_SOURCE_ANALOG_DUAL 5

/* MeasurementType of HnVQR_Measure */
#define HNVQR_VAL_MEASURE_CURRENT 0
#define HNVQR_VAL_MEASURE_VOLTAGE 1

/* OutputState of HnVQR_QueryOutputState */
#define HNVQR_VAL_OUTPUT_CONSTANT_VOLTAGE 0
#define HNVQR_VAL_OUTPUT_CONSTANT_CURRENT 1
#define HNVQR_VAL_OUTPUT_OVER_VOLTAGE 2
#define HNVQR_VAL_OUTPUT_OVER_CURRENT 3
#define HNVQR_VAL_OUTPUT_UNREGULATED 4

/* RangeType of HnVQR_ConfigureOutputRange */
#define HNVQR_VAL_RANGE_CURRENT 0
#define HNVQR_VAL_RANGE_VOLTAGE 1

/* ---------------------------------------------------------------------------------------
 * Status codes
 * ------------------------------------------------------------------------------------- */

/* The IVI inherent codes (IVI_ERROR_..., IVI_WARN_...). */
#include <IviStatusCodes.h>

#ifndef IVIDCPWR_ERROR_TRIGGER_NOT_SOFTWARE
#define IVIDCPWR_ERROR_TRIGGER_NOT_SOFTWARE ((ViStatus)0xBFFA2001L)
#endif

#define HNVQR_ERROR_IO ((ViStatus)0xBFFA4214L)
#define HNVQR_ERROR_IO_TIMEOUT ((ViStatus)0xBFFA4215L)
/* HnVQR_close closed the session although another thread held its lock (a thread that had
   ended, or one that kept the lock for more than two seconds). */
#define HNVQR_WARN_SESSION_LOCK_BROKEN ((ViStatus)0x3FFA4001L)

/* The positive answer of HnVQR_GetAttributeViString when the buffer was too small. */
#define HNVQR_MAX_STRING_ATTRIBUTE_LENGTH 4096

/* ---------------------------------------------------------------------------------------
 * Functions
 * ------------------------------------------------------------------------------------- */

/* Session */
HNVQR_API ViStatus _VI_FUNC HnVQR_init(ViRsrc ResourceName, ViBoolean IdQuery, ViBoolean Reset, ViSession* Vi);
HNVQR_API ViStatus _VI_FUNC HnVQR_InitWithOptions(ViRsrc ResourceName, ViBoolean IdQuery, ViBoolean Reset,
                                                  ViConstString OptionString, ViSession* Vi);
HNVQR_API ViStatus _VI_FUNC HnVQR_close(ViSession vi);
HNVQR_API ViStatus _VI_FUNC HnVQR_LockSession(ViSession vi, ViBoolean* CallerHasLock);
HNVQR_API ViStatus _VI_FUNC HnVQR_UnlockSession(ViSession vi, ViBoolean* CallerHasLock);

/* Errors */
HNVQR_API ViStatus _VI_FUNC HnVQR_GetError(ViSession vi, ViStatus* ErrorCode, ViInt32 BufferSize, ViChar Description[]);
HNVQR_API ViStatus _VI_FUNC HnVQR_ClearError(ViSession vi);
HNVQR_API ViStatus _VI_FUNC HnVQR_error_message(ViSession vi, ViStatus ErrorCode, ViChar ErrorMessage[256]);
HNVQR_API ViStatus _VI_FUNC HnVQR_error_query(ViSession vi, ViInt32* ErrorCode, ViChar ErrorMessage[256]);
HNVQR_API ViStatus _VI_FUNC HnVQR_GetNextError(ViSession vi, ViInt32 BufferSize, ViChar Val[]);
HNVQR_API ViStatus _VI_FUNC HnVQR_GetNextCoercionRecord(ViSession vi, ViInt32 BufferSize, ViChar CoercionRecord[]);
HNVQR_API ViStatus _VI_FUNC HnVQR_GetNextInterchangeWarning(ViSession vi, ViInt32 BufferSize,
                                                            ViChar InterchangeWarning[]);
HNVQR_API ViStatus _VI_FUNC HnVQR_ClearInterchangeWarnings(ViSession vi);
HNVQR_API ViStatus _VI_FUNC HnVQR_ResetInterchangeCheck(ViSession vi);

/* Utility */
HNVQR_API ViStatus _VI_FUNC HnVQR_reset(ViSession vi);
HNVQR_API ViStatus _VI_FUNC HnVQR_ResetWithDefaults(ViSession vi);
HNVQR_API ViStatus _VI_FUNC HnVQR_Disable(ViSession vi);
HNVQR_API ViStatus _VI_FUNC HnVQR_self_test(ViSession vi, ViInt16* TestResult, ViChar TestMessage[256]);
HNVQR_API ViStatus _VI_FUNC HnVQR_revision_query(ViSession vi, ViChar DriverRev[256], ViChar InstrRev[256]);
HNVQR_API ViStatus _VI_FUNC HnVQR_InvalidateAllAttributes(ViSession vi);
HNVQR_API ViStatus _VI_FUNC HnVQR_GetChannelName(ViSession vi, ViInt32 Index, ViInt32 NameBufferSize, ViChar Name[]);

/* Attributes */
HNVQR_API ViStatus _VI_FUNC HnVQR_GetAttributeViInt32(ViSession vi, ViConstString RepCapIdentifier, ViAttr AttributeID,
                                                      ViInt32* AttributeValue);
HNVQR_API ViStatus _VI_FUNC HnVQR_GetAttributeViReal64(ViSession vi, ViConstString RepCapIdentifier, ViAttr AttributeID,
                                                       ViReal64* AttributeValue);
HNVQR_API ViStatus _VI_FUNC HnVQR_GetAttributeViBoolean(ViSession vi, ViConstString RepCapIdentifier,
                                                        ViAttr AttributeID, ViBoolean* AttributeValue);
HNVQR_API ViStatus _VI_FUNC HnVQR_GetAttributeViSession(ViSession vi, ViConstString RepCapIdentifier,
                                                        ViAttr AttributeID, ViSession* AttributeValue);
HNVQR_API ViStatus _VI_FUNC HnVQR_GetAttributeViString(ViSession vi, ViConstString RepCapIdentifier, ViAttr AttributeID,
                                                       ViInt32 BufferSize, ViChar AttributeValue[]);
HNVQR_API ViStatus _VI_FUNC HnVQR_SetAttributeViInt32(ViSession vi, ViConstString RepCapIdentifier, ViAttr AttributeID,
                                                      ViInt32 AttributeValue);
HNVQR_API ViStatus _VI_FUNC HnVQR_SetAttributeViReal64(ViSession vi, ViConstString RepCapIdentifier, ViAttr AttributeID,
                                                       ViReal64 AttributeValue);
HNVQR_API ViStatus _VI_FUNC HnVQR_SetAttributeViBoolean(ViSession vi, ViConstString RepCapIdentifier,
                                                        ViAttr AttributeID, ViBoolean AttributeValue);
HNVQR_API ViStatus _VI_FUNC HnVQR_SetAttributeViSession(ViSession vi, ViConstString RepCapIdentifier,
                                                        ViAttr AttributeID, ViSession AttributeValue);
HNVQR_API ViStatus _VI_FUNC HnVQR_SetAttributeViString(ViSession vi, ViConstString RepCapIdentifier, ViAttr AttributeID,
                                                       ViConstString AttributeValue);

/* Output configuration */
HNVQR_API ViStatus _VI_FUNC HnVQR_ConfigureVoltageLevel(ViSession vi, ViConstString ChannelName, ViReal64 Level);
HNVQR_API ViStatus _VI_FUNC HnVQR_ConfigureCurrentLimit(ViSession vi, ViConstString ChannelName, ViInt32 Behavior,
                                                        ViReal64 Limit);
HNVQR_API ViStatus _VI_FUNC HnVQR_ConfigureOVP(ViSession vi, ViConstString ChannelName, ViBoolean Enabled,
                                               ViReal64 Limit);
HNVQR_API ViStatus _VI_FUNC HnVQR_ConfigureOutputEnabled(ViSession vi, ViConstString ChannelName, ViBoolean Enabled);
HNVQR_API ViStatus _VI_FUNC HnVQR_ConfigureOutputRange(ViSession vi, ViConstString ChannelName, ViInt32 RangeType,
                                                       ViReal64 Range);
HNVQR_API ViStatus _VI_FUNC HnVQR_ResetOutputProtection(ViSession vi, ViConstString ChannelName);
HNVQR_API ViStatus _VI_FUNC HnVQR_QueryMaxCurrentLimit(ViSession vi, ViConstString ChannelName, ViReal64 VoltageLevel,
                                                       ViReal64* MaxCurrentLimit);
HNVQR_API ViStatus _VI_FUNC HnVQR_QueryMaxVoltageLevel(ViSession vi, ViConstString ChannelName, ViReal64 CurrentLimit,
                                                       ViReal64* MaxVoltageLevel);
HNVQR_API ViStatus _VI_FUNC HnVQR_QueryOutputState(ViSession vi, ViConstString ChannelName, ViInt32 OutputState,
                                                   ViBoolean* InState);

/* Measurement */
HNVQR_API ViStatus _VI_FUNC HnVQR_Measure(ViSession vi, ViConstString ChannelName, ViInt32 MeasurementType,
                                          ViReal64* Measurement);
HNVQR_API ViStatus _VI_FUNC HnVQR_MeasureCurrent(ViSession vi, ViReal64* Val);
HNVQR_API ViStatus _VI_FUNC HnVQR_MeasureVoltage(ViSession vi, ViReal64* Val);

/* Triggering (the instruments have no triggered mode: these report "not supported") */
HNVQR_API ViStatus _VI_FUNC HnVQR_ConfigureTriggerSource(ViSession vi, ViConstString ChannelName, ViInt32 Source);
HNVQR_API ViStatus _VI_FUNC HnVQR_ConfigureTriggeredVoltageLevel(ViSession vi, ViConstString ChannelName,
                                                                 ViReal64 Level);
HNVQR_API ViStatus _VI_FUNC HnVQR_ConfigureTriggeredCurrentLimit(ViSession vi, ViConstString ChannelName,
                                                                 ViReal64 Limit);
HNVQR_API ViStatus _VI_FUNC HnVQR_Initiate(ViSession vi);
HNVQR_API ViStatus _VI_FUNC HnVQR_Abort(ViSession vi);
HNVQR_API ViStatus _VI_FUNC HnVQR_SendSoftwareTrigger(ViSession vi);

/* Instrument-specific operations */
HNVQR_API ViStatus _VI_FUNC HnVQR_ClearErrors(ViSession vi);
HNVQR_API ViStatus _VI_FUNC HnVQR_ClearSelfTestResults(ViSession vi);
HNVQR_API ViStatus _VI_FUNC HnVQR_ClearStatus(ViSession vi);
HNVQR_API ViStatus _VI_FUNC HnVQR_SaveState(ViSession vi);
HNVQR_API ViStatus _VI_FUNC HnVQR_SetOperationComplete(ViSession vi);
HNVQR_API ViStatus _VI_FUNC HnVQR_StatusPreset(ViSession vi);
HNVQR_API ViStatus _VI_FUNC HnVQR_CalculateRemoteSenseResistance(ViSession vi, ViReal64 Value);
HNVQR_API ViStatus _VI_FUNC HnVQR_ConfigureCurrentCalibration(ViSession vi, ViReal64 Parameter1, ViReal64 Parameter2,
                                                              ViReal64 Parameter3, ViReal64 Parameter4);
HNVQR_API ViStatus _VI_FUNC HnVQR_ConfigureVoltageCalibration(ViSession vi, ViReal64 Parameter1, ViReal64 Parameter2,
                                                              ViReal64 Parameter3, ViReal64 Parameter4);
HNVQR_API ViStatus _VI_FUNC HnVQR_SetMaxVoltageLevel(ViSession vi);
HNVQR_API ViStatus _VI_FUNC HnVQR_SetMinVoltageLevel(ViSession vi);
HNVQR_API ViStatus _VI_FUNC HnVQR_SetMaxCurrentLevel(ViSession vi);
HNVQR_API ViStatus _VI_FUNC HnVQR_SetMinCurrentLevel(ViSession vi);
HNVQR_API ViStatus _VI_FUNC HnVQR_SetMaxPowerLevel(ViSession vi);
HNVQR_API ViStatus _VI_FUNC HnVQR_SetMinPowerLevel(ViSession vi);

/* Direct I/O */
HNVQR_API ViStatus _VI_FUNC HnVQR_viRead(ViSession vi, ViInt64 Count, ViByte Buffer[], ViInt64* ReturnCount);
HNVQR_API ViStatus _VI_FUNC HnVQR_viWrite(ViSession vi, ViInt64 Count, ViByte Buffer[], ViInt64* ReturnCount);

#ifdef __cplusplus
}
#endif

#endif /* HNVQR_H */
