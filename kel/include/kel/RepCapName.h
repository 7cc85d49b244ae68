#pragma once

#include <string>

namespace kel {

// One resolved repeated-capability identifier: the physical name and its qualified form
// "<repeated capability>!!<name>" (empty when the name is empty).
struct RepCapName {
  std::string name;
  std::string qualifiedName;

  friend bool operator==(const RepCapName& a, const RepCapName& b) { return a.qualifiedName == b.qualifiedName; }
};

}  // namespace kel
