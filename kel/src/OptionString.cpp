// Option strings: the inherent name=value options and the DriverSetup part.
#include <algorithm>
#include <iterator>

#include "kel/DriverSession.h"
#include "kel/Status.h"
#include "kel/text/OptionScanners.h"

namespace kel {

ViStatus DriverSession::ParseOptionString(std::string_view optionString) {
  if (const auto driverSetup = text::FindDriverSetup(optionString)) {
    if (const ViStatus parsed = ParseDriverSetup(driverSetup->value); parsed < 0) return parsed;
    return ParseInherentOptions(optionString.substr(0, driverSetup->matchStart));
  }
  return ParseInherentOptions(optionString);
}

ViStatus DriverSession::ParseDriverSetup(std::string_view driverSetup) {
  driverSetupOptions_.clear();
  driverSetup_ = driverSetup;
  for (const auto& item : text::DriverSetupItemMatches(driverSetup_)) {
    if (const ViStatus applied = ApplyDriverSetupOption(item.name, item.value); applied < 0) return applied;
    if (driverSetupOptions_.contains(item.name)) {
      return ReportErrorWithElaboration(status::kCannotRecover, "DriverSetup option '%s' appears more than once.",
                                        item.name);
    }
    driverSetupOptions_.emplace(std::string(item.name), std::string(item.value));
  }
  return VI_SUCCESS;
}

ViStatus DriverSession::ApplyDriverSetupOption(std::string_view name, std::string_view value) {
  if (text::EqualsIgnoreCase(name, "Model")) instrumentModel_ = value;
  return VI_SUCCESS;
}

ViStatus DriverSession::ParseInherentOptions(std::string_view options) {
  const std::string lowered = text::ToLowerAscii(options);
  struct Switch {
    std::string_view name;
    bool InherentFlags::*flag;
  };
  static constexpr Switch kSwitches[] = {
      {"cache", &InherentFlags::cache},
      {"interchangecheck", &InherentFlags::interchangeCheck},
      {"queryinstrstatus", &InherentFlags::queryInstrumentStatus},
      {"rangecheck", &InherentFlags::rangeCheck},
      {"recordcoercions", &InherentFlags::recordCoercions},
      {"simulate", &InherentFlags::simulate},
  };
  for (const auto& option : text::InherentOptionMatches(lowered)) {
    const auto known = std::find_if(std::begin(kSwitches), std::end(kSwitches),
                                    [&](const Switch& s) { return s.name == option.name; });
    const ViStatus outcome = known != std::end(kSwitches)
                                 ? ParseOptionBoolean(option.name, option.value, flags_.*(known->flag))
                                 : ReportError(status::kBadOptionName, option.name);
    if (inherentOptions_.contains(option.name)) {
      return ReportErrorWithElaboration(status::kCannotRecover, "Inherent option '%s' appears more than once.",
                                        option.name);
    }
    inherentOptions_.emplace(std::string(option.name), std::string(option.value));
    if (outcome < 0) return outcome;
  }
  return VI_SUCCESS;
}

ViStatus DriverSession::ParseOptionBoolean(std::string_view /*name*/, std::string_view value, bool& out) {
  if (value == "true" || value == "vi_true" || value == "1") {
    out = true;
  } else if (value == "false" || value == "vi_false" || value == "0") {
    out = false;
  } else {
    return ReportError(status::kBadOptionValue, value);
  }
  return VI_SUCCESS;
}

}  // namespace kel
