#include "commands/EnumMaps.h"

namespace hnvqr::maps {
namespace {

// A row whose token and model are "!!!" can never be selected by a response or a model; it
// only gives ValueToName the value's name.
constexpr std::string_view kNameOnly = "!!!";

}  // namespace

const kel::EnumCommandMap& AnalogOutputMode() {
  static constexpr kel::EnumCommandRow kRows[] = {
      {"HNVQR_VAL_ANALOG_OUTPUT_MODE_DISABLED", 0, kNameOnly, kNameOnly},
      {"HNVQR_VAL_ANALOG_OUTPUT_MODE_PARALLEL", 1, kNameOnly, kNameOnly},
      {"HNVQR_VAL_ANALOG_OUTPUT_MODE_SERIES", 2, kNameOnly, kNameOnly},
      {"HNVQR_VAL_ANALOG_OUTPUT_MODE_DISABLED", 0, "DIS, DISABLED", ""},
      {"HNVQR_VAL_ANALOG_OUTPUT_MODE_PARALLEL", 1, "PAR, PARALLEL", ""},
      {"HNVQR_VAL_ANALOG_OUTPUT_MODE_SERIES", 2, "SER, SERIES", ""},
  };
  static const kel::EnumCommandMap map(kRows);  // built on first use, thread-safe
  return map;
}

const kel::EnumCommandMap& AnalogScalingLevel() {
  static constexpr kel::EnumCommandRow kRows[] = {
      {"HNVQR_VAL_ANALOG_SCALING_LEVEL_VOLT_3", 0, kNameOnly, kNameOnly},
      {"HNVQR_VAL_ANALOG_SCALING_LEVEL_VOLT_5", 1, kNameOnly, kNameOnly},
      {"HNVQR_VAL_ANALOG_SCALING_LEVEL_VOLT_10", 2, kNameOnly, kNameOnly},
      {"HNVQR_VAL_ANALOG_SCALING_LEVEL_VOLT_3", 0, "3", ""},
      {"HNVQR_VAL_ANALOG_SCALING_LEVEL_VOLT_5", 1, "5", ""},
      {"HNVQR_VAL_ANALOG_SCALING_LEVEL_VOLT_10", 2, "10", ""},
  };
  static const kel::EnumCommandMap map(kRows);  // built on first use, thread-safe
  return map;
}

const kel::EnumCommandMap& OnOff() {
  static constexpr kel::EnumCommandRow kRows[] = {
      {"VI_TRUE", 1, "ON, 1", ""},
      {"VI_FALSE", 0, "OFF, 0", ""},
  };
  static const kel::EnumCommandMap map(kRows);  // built on first use, thread-safe
  return map;
}

const kel::EnumCommandMap& ControlSource() {
  static constexpr kel::EnumCommandRow kRows[] = {
      {"HNVQR_VAL_CONTROL_SOURCE_LOCAL", 0, kNameOnly, kNameOnly},
      {"HNVQR_VAL_CONTROL_SOURCE_REMOTE", 1, kNameOnly, kNameOnly},
      {"HNVQR_VAL_CONTROL_SOURCE_REMOTE_WITH_LOCK", 2, kNameOnly, kNameOnly},
      {"HNVQR_VAL_CONTROL_SOURCE_ANALOG_VOLTAGE", 3, kNameOnly, kNameOnly},
      {"HNVQR_VAL_CONTROL_SOURCE_ANALOG_CURRENT", 4, kNameOnly, kNameOnly},
      {"HNVQR_VAL_CONTROL_SOURCE_ANALOG_DUAL", 5, kNameOnly, kNameOnly},
      {"HNVQR_VAL_CONTROL_SOURCE_LOCAL", 0, "LOC", ""},
      {"HNVQR_VAL_CONTROL_SOURCE_REMOTE", 1, "REM", ""},
      {"HNVQR_VAL_CONTROL_SOURCE_REMOTE_WITH_LOCK", 2, "RWL", ""},
      {"HNVQR_VAL_CONTROL_SOURCE_ANALOG_VOLTAGE", 3, "VOLT", ""},
      {"HNVQR_VAL_CONTROL_SOURCE_ANALOG_CURRENT", 4, "CURR", ""},
      {"HNVQR_VAL_CONTROL_SOURCE_ANALOG_DUAL", 5, "DUAL", ""},
  };
  static const kel::EnumCommandMap map(kRows);  // built on first use, thread-safe
  return map;
}

const kel::EnumCommandMap& RemoteSenseStatus() {
  static constexpr kel::EnumCommandRow kRows[] = {
      {"HNVQR_VAL_REMOTE_SENSE_STATUS_DORMANT", 0, kNameOnly, kNameOnly},
      {"HNVQR_VAL_REMOTE_SENSE_STATUS_CALCULATING", 1, kNameOnly, kNameOnly},
      {"HNVQR_VAL_REMOTE_SENSE_STATUS_COMPLETE", 2, kNameOnly, kNameOnly},
      {"HNVQR_VAL_REMOTE_SENSE_STATUS_DORMANT", 0, "DORMANT", ""},
      {"HNVQR_VAL_REMOTE_SENSE_STATUS_CALCULATING", 1, "CALCULATING", ""},
      {"HNVQR_VAL_REMOTE_SENSE_STATUS_COMPLETE", 2, "COMPLETE", ""},
  };
  static const kel::EnumCommandMap map(kRows);  // built on first use, thread-safe
  return map;
}

const kel::EnumCommandMap& CurrentLimitBehavior() {
  static constexpr kel::EnumCommandRow kRows[] = {
      {"HNVQR_VAL_CURRENT_REGULATE", 0, kNameOnly, kNameOnly},
      {"HNVQR_VAL_CURRENT_TRIP", 1, kNameOnly, kNameOnly},
  };
  static const kel::EnumCommandMap map(kRows);  // built on first use, thread-safe
  return map;
}

const kel::EnumCommandMap& MeasurementType() {
  static constexpr kel::EnumCommandRow kRows[] = {
      {"HNVQR_VAL_MEASURE_CURRENT", 0, kNameOnly, kNameOnly},
      {"HNVQR_VAL_MEASURE_VOLTAGE", 1, kNameOnly, kNameOnly},
  };
  static const kel::EnumCommandMap map(kRows);  // built on first use, thread-safe
  return map;
}

const kel::EnumCommandMap& OutputState() {
  static constexpr kel::EnumCommandRow kRows[] = {
      {"HNVQR_VAL_OUTPUT_CONSTANT_VOLTAGE", 0, kNameOnly, kNameOnly},
      {"HNVQR_VAL_OUTPUT_CONSTANT_CURRENT", 1, kNameOnly, kNameOnly},
      {"HNVQR_VAL_OUTPUT_OVER_VOLTAGE", 2, kNameOnly, kNameOnly},
      {"HNVQR_VAL_OUTPUT_OVER_CURRENT", 3, kNameOnly, kNameOnly},
      {"HNVQR_VAL_OUTPUT_UNREGULATED", 4, kNameOnly, kNameOnly},
  };
  static const kel::EnumCommandMap map(kRows);  // built on first use, thread-safe
  return map;
}

const kel::EnumCommandMap& RangeType() {
  static constexpr kel::EnumCommandRow kRows[] = {
      {"HNVQR_VAL_RANGE_CURRENT", 0, kNameOnly, kNameOnly},
      {"HNVQR_VAL_RANGE_VOLTAGE", 1, kNameOnly, kNameOnly},
  };
  static const kel::EnumCommandMap map(kRows);  // built on first use, thread-safe
  return map;
}

}  // namespace hnvqr::maps
