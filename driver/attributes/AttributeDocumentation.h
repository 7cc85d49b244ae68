// What the attribute registry leaves out and callers outside C need: for each attribute a
// one-paragraph description, whether it is addressed per output, and, for the enumerated
// ones, the set of values it takes. Read by the attribute export (tools/attribute-export),
// from which the Python package is generated; the driver itself never reads it.
#pragma once

#include <span>
#include <string_view>

#include <visatype.h>

#include "kel/EnumMaps.h"

namespace hnvqr {

// A named set of defined values, e.g. "ControlSource" with the rows of its enum command map.
struct EnumeratedValues {
  std::string_view name;
  const kel::EnumCommandMap& (*map)();
};

struct AttributeDocumentation {
  ViAttr id;
  bool perOutput;                  // the callbacks interpret the channel name as an output
  const EnumeratedValues* values;  // nullptr unless the attribute is enumerated
  std::string_view description;
};

std::span<const AttributeDocumentation> AttributeDocumentationTable();

// The value sets of the functions' enumerated parameters (measurement type, output state,
// range type), which belong to no attribute.
std::span<const EnumeratedValues* const> ParameterValueSets();

}  // namespace hnvqr
