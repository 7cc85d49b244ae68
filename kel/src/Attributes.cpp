#include "kel/Attributes.h"

#include <algorithm>

namespace kel {

AttributeRegistry::AttributeRegistry(std::span<const AttributeDescriptor> descriptors)
    : descriptors_(descriptors.begin(), descriptors.end()) {
  std::sort(descriptors_.begin(), descriptors_.end(),
            [](const AttributeDescriptor& a, const AttributeDescriptor& b) { return a.id < b.id; });
}

const AttributeDescriptor* AttributeRegistry::Find(ViAttr id) const {
  const auto it = std::lower_bound(descriptors_.begin(), descriptors_.end(), id,
                                   [](const AttributeDescriptor& d, ViAttr key) { return d.id < key; });
  return it != descriptors_.end() && it->id == id ? &*it : nullptr;
}

}  // namespace kel
