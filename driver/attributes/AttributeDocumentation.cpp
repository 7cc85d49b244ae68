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

constexpr const EnumeratedValues* kNoneValues = nullptr;
constexpr const EnumeratedValues* kCurrentLimitBehaviorValues = &kCurrentLimitBehavior;
constexpr const EnumeratedValues* kRemoteSenseStatusValues = &kRemoteSenseStatus;
constexpr const EnumeratedValues* kAnalogOutputModeValues = &kAnalogOutputMode;
constexpr const EnumeratedValues* kControlSourceValues = &kControlSource;
constexpr const EnumeratedValues* kAnalogScalingLevelValues = &kAnalogScalingLevel;

constexpr bool kPerOutput = true;
constexpr bool kWhole = false;

constexpr AttributeDocumentation kDocumentation[] = {
#define HNVQR_ATTRIBUTE(NAME, TYPE, ACCESS, KIND, ROW, VALUES, SCOPE, DESCRIPTION) \
  {HNVQR_ATTR_##NAME, k##SCOPE, k##VALUES##Values, DESCRIPTION},
#define HNVQR_ATTRIBUTE_SET_BY(NAME, TYPE, SETTER, SCOPE, DESCRIPTION) \
  {HNVQR_ATTR_##NAME, k##SCOPE, nullptr, DESCRIPTION},
#include "attributes/AttributeList.def"
#undef HNVQR_ATTRIBUTE
#undef HNVQR_ATTRIBUTE_SET_BY
};

constexpr const EnumeratedValues* kParameterValueSets[] = {&kMeasurementType, &kOutputState, &kRangeType};

}  // namespace

std::span<const AttributeDocumentation> AttributeDocumentationTable() { return kDocumentation; }

std::span<const EnumeratedValues* const> ParameterValueSets() { return kParameterValueSets; }

}  // namespace hnvqr
