// Writes the driver's attribute table as JSON: every attribute of the registry with its ID,
// value type, access, whether it is addressed per output, its enumerated values and its
// description. The Python package is generated from this file, so it cannot drift from the
// registry. Fails (exit 1, naming the attribute) when the registry and the documentation
// table do not cover the same attributes.
//
//   hnvqr-attribute-export OUTPUT.json
#include <cstdio>
#include <fstream>
#include <map>
#include <set>
#include <string>
#include <variant>

#include <nlohmann/json.hpp>

#include "attributes/AttributeDocumentation.h"
#include "attributes/AttributeTable.h"

namespace {

using nlohmann::ordered_json;

ordered_json ValuesOf(const hnvqr::EnumeratedValues& values) {
  // A map lists a value once per token row and once as a name-only row: keep each value once.
  ordered_json members = ordered_json::array();
  std::set<ViInt32> seen;
  for (const kel::EnumCommandInfo& row : values.map().rows()) {
    if (seen.insert(row.Value).second) {
      members.push_back({{"name", row.Name}, {"value", row.Value}});
    }
  }
  return members;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: %s OUTPUT.json\n", argv[0]);
    return 2;
  }

  std::map<ViAttr, const hnvqr::AttributeDocumentation*> documentation;
  for (const hnvqr::AttributeDocumentation& row : hnvqr::AttributeDocumentationTable()) {
    if (!documentation.emplace(row.id, &row).second) {
      std::fprintf(stderr, "attribute %u is documented twice\n", static_cast<unsigned>(row.id));
      return 1;
    }
  }

  ordered_json attributes = ordered_json::array();
  ordered_json enums = ordered_json::object();
  for (const kel::AttributeDescriptor& descriptor : hnvqr::AttributeTable().all()) {
    const std::string name(descriptor.name);
    const auto found = documentation.find(descriptor.id);
    if (found == documentation.end()) {
      std::fprintf(stderr, "%s (%u) has no row in the attribute documentation table\n", name.c_str(),
                   static_cast<unsigned>(descriptor.id));
      return 1;
    }
    const hnvqr::AttributeDocumentation& doc = *found->second;
    documentation.erase(found);

    // Every attribute has a getter; the setter decides the access.
    const bool writable =
        std::visit([](const auto& callbacks) { return callbacks.setter != nullptr; }, descriptor.callbacks);
    ordered_json attribute = {
        {"name", name},
        {"id", descriptor.id},
        {"type", std::string(descriptor.typeName)},
        {"access", writable ? "RW" : "R"},
        {"per_output", doc.perOutput},
        {"enum", nullptr},
        {"description", std::string(doc.description)},
    };
    if (doc.values != nullptr) {
      if (descriptor.typeName != "ViInt32") {
        std::fprintf(stderr, "%s is enumerated but not a ViInt32\n", name.c_str());
        return 1;
      }
      attribute["enum"] = std::string(doc.values->name);
      enums[std::string(doc.values->name)] = ValuesOf(*doc.values);
    }
    attributes.push_back(std::move(attribute));
  }
  if (!documentation.empty()) {
    std::fprintf(stderr, "attribute %u is documented but not registered\n",
                 static_cast<unsigned>(documentation.begin()->first));
    return 1;
  }
  for (const hnvqr::EnumeratedValues* values : hnvqr::ParameterValueSets()) {
    enums[std::string(values->name)] = ValuesOf(*values);
  }

  std::ofstream out(argv[1], std::ios::binary | std::ios::trunc);
  out << ordered_json{{"attributes", attributes}, {"enums", enums}}.dump(2) << '\n';
  out.close();
  if (!out) {
    std::fprintf(stderr, "cannot write %s\n", argv[1]);
    return 1;
  }
  return 0;
}
