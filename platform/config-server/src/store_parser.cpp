#include "store_parser.h"

#include <cmath>
#include <cstdint>
#include <limits>
#include <algorithm>
#include <map>
#include <set>
#include <span>
#include <utility>

namespace hnvqr::config {
namespace {

using nlohmann::json;

// The keys each kind of object may hold. Anything else is refused: a misspelt "simulate"
// silently ignored would drive real hardware where simulation was asked for.
constexpr std::string_view kRootKeys[] = {"softwareModules", "hardwareAssets", "driverSessions", "logicalNames"};
constexpr std::string_view kSoftwareModuleKeys[] = {"name", "physicalNames", "initialSettings"};
constexpr std::string_view kPhysicalNameKeys[] = {"name", "value"};
constexpr std::string_view kInitialSettingKeys[] = {"name", "type", "value"};
constexpr std::string_view kHardwareAssetKeys[] = {"name", "ioResourceDescriptor"};
constexpr std::string_view kDriverSessionKeys[] = {
    "name",       "softwareModule",  "hardwareAsset", "cache",       "interchangeCheck", "queryInstrStatus",
    "rangeCheck", "recordCoercions", "simulate",      "driverSetup", "virtualNames",     "initialSettings"};
constexpr std::string_view kVirtualNameKeys[] = {"name", "map", "ranges"};
constexpr std::string_view kVirtualRangeKeys[] = {"first", "last", "start"};
constexpr std::string_view kLogicalNameKeys[] = {"name", "session"};

struct FormatError {
  std::string place;
  std::string what;
};

// The JSON path of a value, e.g. driverSessions[0].virtualNames[1].ranges.
class Path {
 public:
  Path() = default;
  Path Key(std::string_view key) const {
    return Path(text_.empty() ? std::string(key) : text_ + "." + std::string(key));
  }
  Path Index(std::size_t index) const { return Path(text_ + "[" + std::to_string(index) + "]"); }
  std::string Text() const { return text_.empty() ? std::string("top level") : text_; }

 private:
  explicit Path(std::string text) : text_(std::move(text)) {}
  std::string text_;
};

std::string Describe(const json& value) {
  switch (value.type()) {
    case json::value_t::object:
      return "an object";
    case json::value_t::array:
      return "an array";
    case json::value_t::string:
      return "a string";
    case json::value_t::boolean:
      return "a boolean";
    case json::value_t::null:
      return "null";
    case json::value_t::number_integer:
    case json::value_t::number_unsigned:
    case json::value_t::number_float:
      return "a number (" + value.dump() + ")";
    default:
      return "an unsupported value";
  }
}

[[noreturn]] void Fail(const Path& path, std::string what) { throw FormatError{path.Text(), std::move(what)}; }

const json& ExpectObject(const json& value, const Path& path, std::span<const std::string_view> keys) {
  if (!value.is_object()) Fail(path, "expected an object, found " + Describe(value));
  for (const auto& [key, member] : value.items()) {
    bool known = false;
    for (const std::string_view allowed : keys) known = known || key == allowed;
    if (!known) Fail(path.Key(key), "unknown key");
  }
  return value;
}

const json* Member(const json& object, std::string_view key) {
  const auto found = object.find(key);
  return found == object.end() ? nullptr : &*found;
}

std::string StringMember(const json& object, std::string_view key, const Path& path, std::string fallback) {
  const json* member = Member(object, key);
  if (member == nullptr) return fallback;
  if (!member->is_string()) Fail(path.Key(key), "expected a string, found " + Describe(*member));
  return member->get<std::string>();
}

std::string NameMember(const json& object, const Path& path) {
  if (Member(object, "name") == nullptr) Fail(path, "the required key 'name' is missing");
  std::string name = StringMember(object, "name", path, {});
  if (name.empty()) Fail(path.Key("name"), "a name must not be empty");
  return name;
}

bool BooleanMember(const json& object, std::string_view key, const Path& path, bool fallback) {
  const json* member = Member(object, key);
  if (member == nullptr) return fallback;
  if (!member->is_boolean()) Fail(path.Key(key), "expected a boolean, found " + Describe(*member));
  return member->get<bool>();
}

std::optional<ViInt32> Int32Member(const json& object, std::string_view key, const Path& path) {
  const json* member = Member(object, key);
  if (member == nullptr) return std::nullopt;
  const bool isInteger = member->is_number_integer() || member->is_number_unsigned();
  if (!isInteger) Fail(path.Key(key), "expected an integer, found " + Describe(*member));
  if (member->is_number_unsigned()) {
    const auto value = member->get<std::uint64_t>();
    if (value > static_cast<std::uint64_t>(std::numeric_limits<ViInt32>::max())) {
      Fail(path.Key(key), "the integer " + member->dump() + " does not fit in 32 bits");
    }
    return static_cast<ViInt32>(value);
  }
  const auto value = member->get<std::int64_t>();
  if (value < std::numeric_limits<ViInt32>::min() || value > std::numeric_limits<ViInt32>::max()) {
    Fail(path.Key(key), "the integer " + member->dump() + " does not fit in 32 bits");
  }
  return static_cast<ViInt32>(value);
}

// Calls `parse(element, elementPath)` for each element of the array `key`, if present.
template <class Parse>
void ForEachElement(const json& object, std::string_view key, const Path& path, Parse&& parse) {
  const json* member = Member(object, key);
  if (member == nullptr) return;
  if (!member->is_array()) Fail(path.Key(key), "expected an array, found " + Describe(*member));
  const Path arrayPath = path.Key(key);
  for (std::size_t index = 0; index < member->size(); ++index) parse((*member)[index], arrayPath.Index(index));
}

// Names must be unique within one collection (compared exactly).
class UniqueNames {
 public:
  void Add(const std::string& name, const Path& elementPath) {
    const auto [where, added] = first_.emplace(name, elementPath.Text());
    if (!added) Fail(elementPath.Key("name"), "the name '" + name + "' is already used by " + where->second);
  }

 private:
  std::map<std::string, std::string> first_;
};

// Appends `parse(element, elementPath)` for each element of the array `key` to `items`,
// refusing a name used twice; the whole element is parsed before its name is checked.
template <class Item, class Parse>
void ParseUniquelyNamed(const json& object, std::string_view key, const Path& path, std::vector<Item>& items,
                        Parse&& parse) {
  UniqueNames names;
  ForEachElement(object, key, path, [&](const json& element, const Path& elementPath) {
    Item item = parse(element, elementPath);
    names.Add(item.name, elementPath);
    items.push_back(std::move(item));
  });
}

// Appends an Item for each object of the array `key` to `items`: checked against `keys`,
// named (a name used twice is refused before anything else of the object is read), then
// completed by `fill(item, element, elementPath)`.
template <class Item, class Fill>
void ParseNamedObjects(const json& object, std::string_view key, const Path& path,
                       std::span<const std::string_view> keys, std::vector<Item>& items, Fill&& fill) {
  UniqueNames names;
  ForEachElement(object, key, path, [&](const json& element, const Path& elementPath) {
    ExpectObject(element, elementPath, keys);
    Item item;
    item.name = NameMember(element, elementPath);
    names.Add(item.name, elementPath);
    fill(item, element, elementPath);
    items.push_back(std::move(item));
  });
}

std::vector<DataComponent> ParseInitialSettings(const json& owner, const Path& ownerPath) {
  if (Member(owner, "initialSettings") == nullptr) return {};
  DataComponent structure;
  structure.name = kInitialSettingsStructureName;
  structure.type = kStructureTypeName;
  structure.isStructure = true;
  UniqueNames names;
  ForEachElement(owner, "initialSettings", ownerPath, [&](const json& element, const Path& path) {
    ExpectObject(element, path, kInitialSettingKeys);
    DataComponent setting;
    setting.name = NameMember(element, path);
    names.Add(setting.name, path);
    setting.type = StringMember(element, "type", path, {});
    if (const json* value = Member(element, "value")) {
      if (!value->is_string() && !value->is_number() && !value->is_boolean()) {
        Fail(path.Key("value"), "expected a string, number or boolean, found " + Describe(*value));
      }
      setting.value = *value;
    }
    structure.members.push_back(std::move(setting));
  });
  return {std::move(structure)};
}

SoftwareModule ParseSoftwareModule(const json& element, const Path& path) {
  ExpectObject(element, path, kSoftwareModuleKeys);
  SoftwareModule module;
  module.name = NameMember(element, path);
  ParseNamedObjects(element, "physicalNames", path, kPhysicalNameKeys, module.physicalNames,
                    [](PhysicalName& physical, const json& entry, const Path& entryPath) {
                      physical.value = StringMember(entry, "value", entryPath, {});
                    });
  module.dataComponents = ParseInitialSettings(element, path);
  return module;
}

VirtualRange ParseVirtualRange(const json& element, const Path& path) {
  ExpectObject(element, path, kVirtualRangeKeys);
  const auto first = Int32Member(element, "first", path);
  const auto last = Int32Member(element, "last", path);
  if (!first) Fail(path, "the required key 'first' is missing");
  if (!last) Fail(path, "the required key 'last' is missing");
  const ViInt32 start = Int32Member(element, "start", path).value_or(*first);
  if (*first < 0) Fail(path.Key("first"), "a range index must not be negative");
  if (start < 0) Fail(path.Key("start"), "a range index must not be negative");
  if (*last < *first) {
    Fail(path, "'last' (" + std::to_string(*last) + ") is below 'first' (" + std::to_string(*first) + ")");
  }
  // The physical index start + (last - first) must stay a 32-bit value.
  const std::int64_t lastPhysical = std::int64_t{start} + (std::int64_t{*last} - *first);
  if (lastPhysical > std::numeric_limits<ViInt32>::max()) {
    Fail(path, "the physical indices of the range go beyond 32 bits");
  }
  return VirtualRange{*first, *last, start};
}

VirtualName ParseVirtualName(const json& element, const Path& path) {
  ExpectObject(element, path, kVirtualNameKeys);
  VirtualName virtualName;
  virtualName.name = NameMember(element, path);
  virtualName.map = StringMember(element, "map", path, {});
  ForEachElement(element, "ranges", path, [&](const json& entry, const Path& entryPath) {
    virtualName.ranges.push_back(ParseVirtualRange(entry, entryPath));
  });
  return virtualName;
}

template <class Item>
std::optional<std::size_t> IndexOf(const std::vector<Item>& items, const std::string& name) {
  for (std::size_t index = 0; index < items.size(); ++index) {
    if (items[index].name == name) return index;
  }
  return std::nullopt;
}

DriverSession ParseDriverSession(const json& element, const Path& path, const StoreData& store) {
  ExpectObject(element, path, kDriverSessionKeys);
  DriverSession session;
  session.name = NameMember(element, path);
  const std::string module = StringMember(element, "softwareModule", path, kDriverSoftwareModuleName);
  const auto moduleIndex = IndexOf(store.softwareModules, module);
  if (!moduleIndex) Fail(path.Key("softwareModule"), "there is no software module named '" + module + "'");
  session.softwareModule = *moduleIndex;
  if (Member(element, "hardwareAsset") != nullptr) {
    const std::string asset = StringMember(element, "hardwareAsset", path, {});
    session.hardwareAsset = IndexOf(store.hardwareAssets, asset);
    if (!session.hardwareAsset) {
      Fail(path.Key("hardwareAsset"), "there is no hardware asset named '" + asset + "'");
    }
  }
  session.cache = BooleanMember(element, "cache", path, true);
  session.interchangeCheck = BooleanMember(element, "interchangeCheck", path, false);
  session.queryInstrStatus = BooleanMember(element, "queryInstrStatus", path, false);
  session.rangeCheck = BooleanMember(element, "rangeCheck", path, true);
  session.recordCoercions = BooleanMember(element, "recordCoercions", path, false);
  session.simulate = BooleanMember(element, "simulate", path, false);
  session.driverSetup = StringMember(element, "driverSetup", path, {});
  ParseUniquelyNamed(element, "virtualNames", path, session.virtualNames, ParseVirtualName);
  session.dataComponents = ParseInitialSettings(element, path);
  return session;
}

SoftwareModule DriverSoftwareModule() {
  SoftwareModule module;
  module.name = kDriverSoftwareModuleName;
  module.physicalNames.push_back(PhysicalName{kDriverPhysicalName, ""});
  return module;
}

StoreData BuildStore(const json& root) {
  const Path top;
  ExpectObject(root, top, kRootKeys);
  StoreData store;
  // Referenced collections first, so that sessions and logical names resolve their references
  // whatever order the keys appear in.
  ParseUniquelyNamed(root, "softwareModules", top, store.softwareModules, ParseSoftwareModule);
  // As an installer would have done, the driver's own module is always registered.
  if (!IndexOf(store.softwareModules, kDriverSoftwareModuleName)) {
    store.softwareModules.push_back(DriverSoftwareModule());
  }
  ParseNamedObjects(root, "hardwareAssets", top, kHardwareAssetKeys, store.hardwareAssets,
                    [](HardwareAsset& asset, const json& element, const Path& path) {
                      asset.ioResourceDescriptor = StringMember(element, "ioResourceDescriptor", path, {});
                    });
  ParseUniquelyNamed(root, "driverSessions", top, store.driverSessions,
                     [&](const json& element, const Path& path) { return ParseDriverSession(element, path, store); });
  ParseNamedObjects(root, "logicalNames", top, kLogicalNameKeys, store.logicalNames,
                    [&](LogicalName& logical, const json& element, const Path& path) {
                      if (Member(element, "session") == nullptr) Fail(path, "the required key 'session' is missing");
                      const std::string session = StringMember(element, "session", path, {});
                      const auto sessionIndex = IndexOf(store.driverSessions, session);
                      if (!sessionIndex)
                        Fail(path.Key("session"), "there is no driver session named '" + session + "'");
                      logical.session = *sessionIndex;
                    });
  return store;
}

// nlohmann's message reads "[json.exception.parse_error.101] parse error at line 3,
// column 14: syntax error ..."; keep it from "line" on.
std::string ParseErrorText(const json::parse_error& error) {
  const std::string_view message = error.what();
  const std::string_view marker = "parse error at ";
  const auto at = message.find("parse error at line ");
  if (at != std::string_view::npos) return std::string(message.substr(at + marker.size()));
  const auto bracket = message.find("] ");
  const std::string_view detail = bracket == std::string_view::npos ? message : message.substr(bracket + 2);
  return "byte " + std::to_string(error.byte) + ": " + std::string(detail);
}

std::string ExceptionDetail(const json::exception& error) {
  const std::string_view message = error.what();
  const auto bracket = message.find("] ");
  return std::string(bracket == std::string_view::npos ? message : message.substr(bracket + 2));
}

}  // namespace

StoreData BuiltInStore() {
  StoreData store;
  store.softwareModules.push_back(DriverSoftwareModule());
  return store;
}

// Refuses a key that appears twice in one object: the JSON reader would keep the last one
// silently, so that "simulate": true, "simulate": false would drive real hardware.
class DuplicateKeyCheck {
 public:
  explicit DuplicateKeyCheck(std::string_view text) : text_(text) {}

  bool operator()(int /*depth*/, json::parse_event_t event, json& parsed) {
    switch (event) {
      case json::parse_event_t::object_start:
      case json::parse_event_t::array_start:
        Element();
        open_.push_back(Level{event == json::parse_event_t::object_start, {}, 0, {}});
        break;
      case json::parse_event_t::object_end:
      case json::parse_event_t::array_end:
        open_.pop_back();
        break;
      case json::parse_event_t::key: {
        const std::string key = parsed.get<std::string>();
        const std::size_t occurrence = ++keysSeen_[key];
        Level& object = open_.back();
        object.current = key;
        if (!object.keys.insert(key).second) {
          throw FormatError{LineOf(key, occurrence), "the key '" + key + "' appears twice in " + PathText()};
        }
        break;
      }
      case json::parse_event_t::value:
        Element();
        break;
    }
    return true;
  }

 private:
  struct Level {
    bool isObject;
    std::set<std::string> keys;
    std::size_t nextIndex;
    std::string current;
  };

  // A value or container begins: in an array it takes the next index.
  void Element() {
    if (!open_.empty() && !open_.back().isObject) ++open_.back().nextIndex;
  }
  std::string PathText() const {
    std::string path;
    for (std::size_t i = 0; i + 1 < open_.size(); ++i) {
      const Level& level = open_[i];
      if (level.isObject) {
        path += (path.empty() ? "" : ".") + level.current;
      } else {
        path += "[" + std::to_string(level.nextIndex - 1) + "]";
      }
    }
    return path.empty() ? "the top level" : path;
  }
  // The line of the n-th "key": in the text (an escaped quote inside a string is no key).
  std::string LineOf(const std::string& key, std::size_t occurrence) const {
    const std::string quoted = "\"" + key + "\"";
    std::size_t found = 0;
    for (std::size_t at = text_.find(quoted); at != std::string_view::npos; at = text_.find(quoted, at + 1)) {
      if (at > 0 && text_[at - 1] == '\\') continue;
      std::size_t after = at + quoted.size();
      while (after < text_.size() &&
             (text_[after] == ' ' || text_[after] == '\t' || text_[after] == '\r' || text_[after] == '\n'))
        ++after;
      if (after >= text_.size() || text_[after] != ':' || ++found < occurrence) continue;
      const auto lines = std::count(text_.begin(), text_.begin() + static_cast<std::ptrdiff_t>(at), '\n');
      return "line " + std::to_string(lines + 1);
    }
    return "top level";
  }

  std::string_view text_;
  std::vector<Level> open_;
  std::map<std::string, std::size_t> keysSeen_;
};

std::optional<StoreData> ParseStoreText(std::string_view text, std::string& problem) {
  json root;
  try {
    root = json::parse(text.begin(), text.end(), DuplicateKeyCheck(text));
  } catch (const FormatError& error) {
    problem = error.place + ": " + error.what;
    return std::nullopt;
  } catch (const json::parse_error& error) {
    problem = ParseErrorText(error);
    return std::nullopt;
  } catch (const json::exception& error) {
    // e.g. a number too large for a double: nlohmann gives no position for these.
    problem = ExceptionDetail(error);
    return std::nullopt;
  }
  try {
    return BuildStore(root);
  } catch (const FormatError& error) {
    problem = error.place + ": " + error.what;
    return std::nullopt;
  }
}

}  // namespace hnvqr::config
