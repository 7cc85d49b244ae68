// The attribute registry: every attribute of the attribute list with its macro name, type and
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
#define HNVQR_ATTRIBUTE(NAME, TYPE, ACCESS, KIND, ROW, VALUES, SCOPE, DESCRIPTION) ACCESS(TYPE##Attribute, NAME),
#define HNVQR_ATTRIBUTE_SET_BY(NAME, TYPE, SETTER, SCOPE, DESCRIPTION) \
  TYPE##Attribute(HNVQR_ATTR_##NAME, "HNVQR_ATTR_" #NAME, HnVQR_get_##NAME, HnVQR_set_##SETTER),
#include "attributes/AttributeList.def"
#undef HNVQR_ATTRIBUTE
#undef HNVQR_ATTRIBUTE_SET_BY
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
