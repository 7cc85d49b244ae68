#include "StoreNames.h"

#include <algorithm>
#include <array>
#include <cctype>
#include <fstream>
#include <sstream>
#include <sys/stat.h>

#include <IviConfigServer.h>
#include <nlohmann/json.hpp>

#include "AttributeValues.h"

namespace hnvqr::tool {
namespace {

using nlohmann::json;

std::string config_error_text(ViStatus status) {
  ViStatus code = status;
  std::array<ViChar, 1024> description{};
  IviConfig_GetError(&code, static_cast<ViInt32>(description.size()), description.data());
  description.back() = '\0';
  return description.front() != '\0' ? std::string(description.data()) : "the configuration store could not be read";
}

std::string store_property(IviConfigStoreHandle store, ViInt32 property) {
  std::array<ViChar, 4096> value{};
  if (IviConfig_GetConfigStorePropertyViString(store, property, static_cast<ViInt32>(value.size()), value.data()) !=
      VI_SUCCESS) {
    return {};
  }
  value.back() = '\0';
  return value.data();
}

std::string text_member(const json& object, const char* key) {
  const auto found = object.find(key);
  return found != object.end() && found->is_string() ? found->get<std::string>() : std::string();
}

// The value of the Model item of a DriverSetup text ("Model:VQR-A2, ..."), if any.
std::string driver_setup_model(std::string_view setup) {
  std::size_t at = 0;
  while (at <= setup.size()) {
    std::size_t comma = setup.find(',', at);
    if (comma == std::string_view::npos) comma = setup.size();
    std::string_view item = setup.substr(at, comma - at);
    const std::size_t separator = item.find_first_of(":=");
    if (separator != std::string_view::npos) {
      std::string_view key = item.substr(0, separator);
      std::string_view value = item.substr(separator + 1);
      const auto trim = [](std::string_view text) {
        while (!text.empty() && std::isspace(static_cast<unsigned char>(text.front()))) text.remove_prefix(1);
        while (!text.empty() && std::isspace(static_cast<unsigned char>(text.back()))) text.remove_suffix(1);
        return text;
      };
      if (lower(trim(key)) == "model") return std::string(trim(value));
    }
    at = comma + 1;
  }
  return {};
}

// Reads the listing from a file the configuration server has already accepted.
void read_listing(const std::string& location, StoreNames& names) {
  std::ifstream stream(location, std::ios::binary);
  std::ostringstream contents;
  contents << stream.rdbuf();
  const json document = json::parse(contents.str(), nullptr, false);
  if (!document.is_object()) return;
  std::vector<std::pair<std::string, std::string>> assets;
  if (const auto found = document.find("hardwareAssets"); found != document.end() && found->is_array()) {
    for (const json& asset : *found) {
      if (asset.is_object())
        assets.emplace_back(text_member(asset, "name"), text_member(asset, "ioResourceDescriptor"));
    }
  }
  if (const auto found = document.find("driverSessions"); found != document.end() && found->is_array()) {
    for (const json& session : *found) {
      if (!session.is_object()) continue;
      StoreSession entry;
      entry.name = text_member(session, "name");
      const std::string asset = text_member(session, "hardwareAsset");
      for (const auto& [asset_name, resource] : assets) {
        if (asset_name == asset) entry.resource = resource;
      }
      entry.model = driver_setup_model(text_member(session, "driverSetup"));
      if (const auto settings = session.find("initialSettings");
          entry.model.empty() && settings != session.end() && settings->is_array()) {
        for (const json& setting : *settings) {
          if (setting.is_object() && lower(text_member(setting, "name")) == "model") {
            entry.model = text_member(setting, "value");
          }
        }
      }
      if (const auto simulate = session.find("simulate"); simulate != session.end() && simulate->is_boolean()) {
        entry.simulate = simulate->get<bool>();
      }
      names.sessions.push_back(std::move(entry));
    }
  }
  if (const auto found = document.find("logicalNames"); found != document.end() && found->is_array()) {
    for (const json& name : *found) {
      if (name.is_object()) names.logical_names.push_back({text_member(name, "name"), text_member(name, "session")});
    }
  }
}

std::size_t edit_distance(std::string_view a, std::string_view b) {
  std::vector<std::size_t> row(b.size() + 1);
  for (std::size_t j = 0; j <= b.size(); ++j) row[j] = j;
  for (std::size_t i = 1; i <= a.size(); ++i) {
    std::size_t diagonal = row[0];
    row[0] = i;
    for (std::size_t j = 1; j <= b.size(); ++j) {
      const std::size_t above = row[j];
      const bool same =
          std::tolower(static_cast<unsigned char>(a[i - 1])) == std::tolower(static_cast<unsigned char>(b[j - 1]));
      row[j] = std::min({row[j] + 1, row[j - 1] + 1, diagonal + (same ? 0 : 1)});
      diagonal = above;
    }
  }
  return row[b.size()];
}

}  // namespace

StoreNames read_store_names() {
  StoreNames names;
  IviConfigStoreHandle store = 0;
  if (const ViStatus status = IviConfig_Initialize(&store); status < 0) {
    names.error = config_error_text(status);
    return names;
  }
  const std::string process_default = store_property(store, IVICONFIG_VAL_CONFIG_STORE_PROCESS_DEFAULT_LOCATION);
  names.location =
      process_default.empty() ? store_property(store, IVICONFIG_VAL_CONFIG_STORE_MASTER_LOCATION) : process_default;
  struct stat info {};
  names.built_in = process_default.empty() && stat(names.location.c_str(), &info) != 0;
  if (const ViStatus status = IviConfig_Deserialize(store, names.location.c_str()); status < 0) {
    names.error = config_error_text(status);
  } else if (!names.built_in) {
    read_listing(names.location, names);
  }
  IviConfig_Close(store);
  return names;
}

std::vector<std::string> closest_names(const StoreNames& store, std::string_view name) {
  std::vector<std::pair<std::size_t, std::string>> candidates;
  const auto consider = [&](const std::string& candidate) {
    if (candidate.empty()) return;
    const std::size_t distance = edit_distance(name, candidate);
    // A slip of a third of the name, at least one character, at most three.
    const std::size_t allowed = std::clamp<std::size_t>(std::max(name.size(), candidate.size()) / 3, 1, 3);
    if (distance > allowed) return;
    for (const auto& [known_distance, known] : candidates) {
      if (known == candidate) return;
    }
    candidates.emplace_back(distance, candidate);
  };
  for (const StoreLogicalName& logical : store.logical_names) consider(logical.name);
  for (const StoreSession& session : store.sessions) consider(session.name);
  std::stable_sort(candidates.begin(), candidates.end(),
                   [](const auto& left, const auto& right) { return left.first < right.first; });
  std::vector<std::string> closest;
  for (std::size_t i = 0; i < candidates.size() && i < 3; ++i) closest.push_back(candidates[i].second);
  return closest;
}

std::string store_phrase(const StoreNames& store) {
  if (store.built_in) return "the built-in store (no file at " + store.location + ")";
  return "the store file " + store.location;
}

}  // namespace hnvqr::tool
