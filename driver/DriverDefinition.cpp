// What the framework knows of this driver: identity, status messages, tables.
#include <algorithm>
#include <array>
#include <string>
#include <vector>

#include "DriverIdentity.h"
#include "HalvornVQRDriverSession.h"
#include "HnVQR.h"
#include "attributes/AttributeTable.h"
#include "kel/DriverDefinition.h"

namespace hnvqr {
namespace {

constexpr kel::StatusMessage kStatusMessages[] = {
    {IVIDCPWR_ERROR_TRIGGER_NOT_SOFTWARE, "The trigger source is not set to software trigger."},
    {HNVQR_ERROR_IO, "I/O error."},
    {HNVQR_ERROR_IO_TIMEOUT, "I/O timeout error."},
    {HNVQR_WARN_SESSION_LOCK_BROKEN, "The session was closed while another thread held its lock."},
};

// The model table's families, in the framework's shape.
const std::array<kel::ModelFamily, 10> kModelFamilies = [] {
  std::array<kel::ModelFamily, 10> families{};
  const auto models = ModelTable();
  for (std::size_t i = 0; i < families.size(); ++i) families[i] = {models[i].model, models[i].family};
  return families;
}();

kel::DriverSession* CreateSession(ViSession handle) { return new HalvornVQRDriverSession(handle); }

const kel::DriverDefinition kDefinition{
    identity::kPrefix,
    identity::kVendor,
    identity::kDescription,
    identity::kRevision,
    identity::kGroupCapabilities,
    identity::kClassSpecMajorVersion,
    identity::kClassSpecMinorVersion,
    identity::kDefaultModel,
    kStatusMessages,
    AttributeTable(),
    kModelFamilies,
    "OutputChannel",
    "CH1",
    CreateSession,
};

}  // namespace

std::string_view SupportedModelList() {
  static const std::string list = [] {
    std::vector<std::string_view> models;
    for (const auto& row : kModelFamilies) models.push_back(row.model);
    std::sort(models.begin(), models.end());
    std::string joined;
    for (const auto model : models) {
      if (!joined.empty()) joined += ',';
      joined += model;
    }
    return joined;
  }();
  return list;
}

}  // namespace hnvqr

const kel::DriverDefinition& kel::ThisDriver() { return hnvqr::kDefinition; }
