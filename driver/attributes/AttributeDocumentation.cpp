#include "attributes/AttributeDocumentation.h"

#include "HnVQR.h"
#include "commands/EnumMaps.h"

namespace hnvqr {
namespace {

// The value sets of the enumerated attributes; the attribute list's VALUES column names
// them (k<VALUES>Values, None for none).
#define HNVQR_VALUE_SET(NAME)                            \
  constexpr EnumeratedValues k##NAME{#NAME, maps::NAME}; \
  constexpr const EnumeratedValues* k##NAME##Values = &k##NAME;
HNVQR_VALUE_SET(CurrentLimitBehavior)
HNVQR_VALUE_SET(RemoteSenseStatus)
HNVQR_VALUE_SET(AnalogOutputMode)
HNVQR_VALUE_SET(ControlSource)
HNVQR_VALUE_SET(AnalogScalingLevel)
#undef HNVQR_VALUE_SET
constexpr const EnumeratedValues* kNoneValues = nullptr;

// The value sets of the functions' enumerated parameters.
constexpr EnumeratedValues kMeasurementType{"MeasurementType", maps::MeasurementType};
constexpr EnumeratedValues kOutputState{"OutputState", maps::OutputState};
constexpr EnumeratedValues kRangeType{"RangeType", maps::RangeType};

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
