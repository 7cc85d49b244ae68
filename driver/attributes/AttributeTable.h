#pragma once

#include "kel/Attributes.h"

namespace hnvqr {

const kel::AttributeRegistry& AttributeTable();

}  // namespace hnvqr
