// The enum command maps of the instrument's enumerated and boolean attributes.
#pragma once

#include "kel/EnumMaps.h"

namespace hnvqr::maps {

const kel::EnumCommandMap& AnalogOutputMode();
const kel::EnumCommandMap& AnalogScalingLevel();
const kel::EnumCommandMap& OnOff();
const kel::EnumCommandMap& ControlSource();
const kel::EnumCommandMap& RemoteSenseStatus();
// Name-only maps, for the value names in messages.
const kel::EnumCommandMap& CurrentLimitBehavior();
const kel::EnumCommandMap& MeasurementType();
const kel::EnumCommandMap& OutputState();
const kel::EnumCommandMap& RangeType();

}  // namespace hnvqr::maps
