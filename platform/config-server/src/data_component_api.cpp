// Data components: the "Configurable Initial Settings" structure of a driver session or
// software module, and the typed settings it holds.
#include <cmath>
#include <cstdint>
#include <limits>
#include <optional>
#include <string>

#include "api_support.h"

using namespace hnvqr::config;

namespace {

using nlohmann::json;

ViStatus InvalidValue(const DataComponent& setting, const std::string& problem) {
  return RecordError(IVICONFIG_ERROR_INVALID_DATA_COMPONENT,
                     "The value of the data component '" + setting.name + "' " + problem);
}

const char* KindOf(const json& value) {
  if (value.is_string()) return "a string";
  if (value.is_boolean()) return "a boolean";
  return "a number";
}

// The value of a setting: fails with 0xBFFA1208 for a structure or a setting without value.
ViStatus ResolveValue(IviConfigHandle handle, ViInt32 propertyId, const char* type,
                      Resolved<ItemRef<DataComponent>>& resolved) {
  if (const ViStatus status = Resolve(handle, resolved); status != VI_SUCCESS) return status;
  if (propertyId != IVICONFIG_VAL_DATA_COMPONENT_VALUE) return UnknownProperty(propertyId, "data component", type);
  const DataComponent& item = *resolved.object.item;
  if (item.isStructure) {
    return RecordError(IVICONFIG_ERROR_INVALID_DATA_COMPONENT,
                       "The data component '" + item.name + "' is a structure and has no value");
  }
  if (item.value.is_null()) {
    return RecordError(IVICONFIG_ERROR_INVALID_DATA_COMPONENT, "The data component '" + item.name + "' has no value");
  }
  return VI_SUCCESS;
}

// A JSON number that is a whole number within the 64-bit range, as such.
std::optional<std::int64_t> WholeNumber(const json& value) {
  // nlohmann counts unsigned numbers as integers too, so they are tested first.
  if (value.is_number_unsigned()) {
    const auto unsignedValue = value.get<std::uint64_t>();
    if (unsignedValue > static_cast<std::uint64_t>(std::numeric_limits<std::int64_t>::max())) return std::nullopt;
    return static_cast<std::int64_t>(unsignedValue);
  }
  if (value.is_number_integer()) return value.get<std::int64_t>();
  const double real = value.get<double>();
  // 2^63 exactly is out of range; the bounds are exact doubles.
  if (std::floor(real) != real || real < -9223372036854775808.0 || real >= 9223372036854775808.0) return std::nullopt;
  return static_cast<std::int64_t>(real);
}

bool IsFraction(const json& value) {
  if (!value.is_number_float()) return false;
  const double real = value.get<double>();
  return std::floor(real) != real;
}

// The frame of the typed value getters: the output is checked, the handle resolved as a
// setting with a value, then `convert(setting, *value)` reads that value as the type.
template <class Value, class Convert>
ViStatus SettingValue(IviDataComponentHandle item, ViInt32 propertyId, const char* type, Value* value,
                      Convert&& convert) {
  return Guarded([&]() -> ViStatus {
    if (value == nullptr) return NullPointer("value");
    Resolved<ItemRef<DataComponent>> resolved;
    if (const ViStatus status = ResolveValue(item, propertyId, type, resolved); status != VI_SUCCESS) return status;
    return convert(*resolved.object.item, *value);
  });
}

}  // namespace

extern "C" {

ViStatus _VI_FUNC IviConfig_GetConfigComponentDataComponentCollection(IviConfigComponentHandle component,
                                                                      IviDataComponentCollectionHandle* items) {
  return Guarded([&]() -> ViStatus {
    if (items == nullptr) return NullPointer("items");
    *items = 0;
    const auto entry = HandleTable::Instance().Find(component);
    const std::vector<DataComponent>* components = nullptr;
    if (entry) {
      if (const auto* session = std::get_if<ItemRef<DriverSession>>(&entry->object)) {
        components = &session->item->dataComponents;
      } else if (const auto* module = std::get_if<ItemRef<SoftwareModule>>(&entry->object)) {
        components = &module->item->dataComponents;
      }
    }
    if (components == nullptr) return InvalidHandle(component, "driver session or software module");
    *items = NewHandle(entry->data, CollectionRef<DataComponent>{components});
    return VI_SUCCESS;
  });
}

ViStatus _VI_FUNC IviConfig_GetDataComponentItemByName(IviDataComponentCollectionHandle items, ViConstString name,
                                                       IviDataComponentHandle* item) {
  return Guarded([&] {
    return CollectionItemByName<DataComponent>(items, name, item, "item", [&] {
      return RecordError(IVICONFIG_ERROR_NOT_EXIST, std::string("There is no data component named '") + name + "'");
    });
  });
}

ViStatus _VI_FUNC IviConfig_GetStructureDataComponentCollection(IviStructureHandle structure,
                                                                IviDataComponentCollectionHandle* items) {
  return Guarded([&] {
    return DeriveFrom<ItemRef<DataComponent>>(
        structure, items, "items", [](const auto& resolved, IviDataComponentCollectionHandle& out) -> ViStatus {
          const DataComponent& component = *resolved.object.item;
          if (!component.isStructure) {
            return RecordError(IVICONFIG_ERROR_INVALID_DATA_COMPONENT,
                               "The data component '" + component.name + "' is not a structure");
          }
          out = NewHandle(resolved.data, CollectionRef<DataComponent>{&component.members});
          return VI_SUCCESS;
        });
  });
}

ViStatus _VI_FUNC IviConfig_GetDataComponentCount(IviDataComponentCollectionHandle items, ViInt32* count) {
  return Guarded([&] { return CollectionCount<DataComponent>(items, count); });
}

ViStatus _VI_FUNC IviConfig_GetDataComponentItemByIndex(IviDataComponentCollectionHandle items, ViInt32 index,
                                                        IviDataComponentHandle* item) {
  return Guarded([&] { return CollectionItemByIndex<DataComponent>(items, index, item); });
}

ViStatus _VI_FUNC IviConfig_GetDataComponentPropertyViString(IviDataComponentHandle item, ViInt32 propertyId,
                                                             ViInt32 bufferSize, ViChar value[]) {
  return Guarded([&]() -> ViStatus {
    Resolved<ItemRef<DataComponent>> resolved;
    if (const ViStatus status = Resolve(item, resolved); status != VI_SUCCESS) return status;
    const DataComponent& component = *resolved.object.item;
    switch (propertyId) {
      case IVICONFIG_VAL_DATA_COMPONENT_NAME:
        return CopyText(component.name, bufferSize, value);
      case IVICONFIG_VAL_DATA_COMPONENT_TYPE:
        return CopyText(component.type, bufferSize, value);
      case IVICONFIG_VAL_DATA_COMPONENT_VALUE:
        break;
      default:
        return UnknownProperty(propertyId, "data component", "ViString");
    }
    if (const ViStatus status = ResolveValue(item, propertyId, "ViString", resolved); status != VI_SUCCESS) {
      return status;
    }
    // A number or boolean reads as its JSON text ("5", "2.5", "true").
    const json& stored = component.value;
    return CopyText(stored.is_string() ? stored.get_ref<const std::string&>() : stored.dump(), bufferSize, value);
  });
}

ViStatus _VI_FUNC IviConfig_GetDataComponentPropertyViInt32(IviDataComponentHandle item, ViInt32 propertyId,
                                                            ViInt32* value) {
  return SettingValue(item, propertyId, "ViInt32", value, [](const DataComponent& setting, ViInt32& out) {
    const json& stored = setting.value;
    if (!stored.is_number()) return InvalidValue(setting, std::string("is ") + KindOf(stored) + ", not an integer");
    if (IsFraction(stored)) return InvalidValue(setting, "is " + stored.dump() + ", not an integer");
    const auto whole = WholeNumber(stored);
    if (!whole || *whole < std::numeric_limits<ViInt32>::min() || *whole > std::numeric_limits<ViInt32>::max()) {
      // Appended piece by piece: g++ 12 misreads the chained operator+ here (-Wrestrict).
      std::string problem = "(";
      problem += stored.dump();
      problem += ") does not fit in 32 bits";
      return InvalidValue(setting, problem);
    }
    out = static_cast<ViInt32>(*whole);
    return VI_SUCCESS;
  });
}

ViStatus _VI_FUNC IviConfig_GetDataComponentPropertyViReal64(IviDataComponentHandle item, ViInt32 propertyId,
                                                             ViReal64* value) {
  return SettingValue(item, propertyId, "ViReal64", value, [](const DataComponent& setting, ViReal64& out) {
    if (!setting.value.is_number()) {
      return InvalidValue(setting, std::string("is ") + KindOf(setting.value) + ", not a number");
    }
    out = setting.value.get<double>();
    return VI_SUCCESS;
  });
}

ViStatus _VI_FUNC IviConfig_GetDataComponentPropertyViBoolean(IviDataComponentHandle item, ViInt32 propertyId,
                                                              ViBoolean* value) {
  return SettingValue(item, propertyId, "ViBoolean", value, [](const DataComponent& setting, ViBoolean& out) {
    const json& stored = setting.value;
    if (stored.is_boolean()) {
      out = stored.get<bool>() ? VI_TRUE : VI_FALSE;
      return VI_SUCCESS;
    }
    if (!stored.is_number()) return InvalidValue(setting, "is a string, not a boolean");
    if (IsFraction(stored)) return InvalidValue(setting, "is " + stored.dump() + ", not a boolean");
    // An integer is true exactly when it is 1; any other (however large) reads as VI_FALSE,
    // so no value can wrap round to VI_TRUE in the 16-bit ViBoolean.
    const auto whole = WholeNumber(stored);
    out = whole && *whole == 1 ? VI_TRUE : VI_FALSE;
    return VI_SUCCESS;
  });
}

}  // extern "C"
