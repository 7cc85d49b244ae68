// Configuration at initialization: the configuration store entries of a logical name (or the
// driver's software module for a plain resource descriptor), then the option string.
#include <IviConfigServer.h>

#include "kel/DriverDefinition.h"
#include "kel/DriverSession.h"
#include "kel/Status.h"

namespace kel {
namespace {

// Property texts are first read into buffers this large; longer ones are read again at
// their own size.
constexpr ViInt32 kPropertyBufferSize = 4096;
// A virtual range expands to one name per index; beyond this many it is refused, so that a
// store entry such as 1..2000000000 cannot exhaust memory.
constexpr ViInt64 kMaxVirtualRangeNames = 10000;

// A configuration-store handle disposed when the scope ends, on every path.
class ScopedConfigHandle {
 public:
  ScopedConfigHandle() = default;
  ~ScopedConfigHandle() {
    if (handle_ != 0) (void)IviConfig_DisposeHandle(handle_);
  }
  ScopedConfigHandle(const ScopedConfigHandle&) = delete;
  ScopedConfigHandle& operator=(const ScopedConfigHandle&) = delete;

  IviConfigHandle* out() { return &handle_; }
  IviConfigHandle get() const { return handle_; }

 private:
  IviConfigHandle handle_ = 0;
};

template <class Getter>
ViStatus ReadText(Getter getter, IviConfigHandle handle, ViInt32 property, std::string& value) {
  // A text longer than the buffer is answered with the size it needs (its terminator
  // included): read it again at that size, so that no text is ever cut.
  ViInt32 size = kPropertyBufferSize;
  for (int attempt = 0; attempt < 3; ++attempt) {
    std::string buffer(static_cast<std::size_t>(size), '\0');
    const ViStatus status = getter(handle, property, size, buffer.data());
    if (status < 0) return status;
    if (status > size) {
      size = status;
      continue;
    }
    buffer.resize(buffer.find('\0') == std::string::npos ? buffer.size() : buffer.find('\0'));
    value = std::move(buffer);
    return VI_SUCCESS;
  }
  return status::kCannotRecover;  // the text kept growing: the store changed under us
}

}  // namespace

ViStatus DriverSession::LoadConfiguration(std::string_view name, std::string_view optionString) {
  logicalName_.clear();
  ioResourceDescriptor_.clear();
  inherentOptions_.clear();
  driverSetupOptions_.clear();
  initialBooleans_.clear();
  initialInt32s_.clear();
  initialReal64s_.clear();
  initialStrings_.clear();
  virtualToPhysical_.clear();
  flags_ = InherentFlags{};

  IviConfigStoreHandle store = 0;
  ViStatus status = IviConfig_Initialize(&store);
  if (status < 0) return ReportConfigurationError(status);

  ViStatus result = VI_SUCCESS;
  {
    ScopedConfigHandle session;
    ScopedConfigHandle modules;
    ScopedConfigHandle module;
    auto step = [&](ViStatus s) {
      if (s < 0 && result >= 0) result = s;
      return s >= 0;
    };
    auto configStep = [&](ViStatus s) {
      if (s < 0) (void)ReportConfigurationError(s);
      return step(s);
    };

    std::string location;
    bool ok = configStep(ReadText(IviConfig_GetConfigStorePropertyViString, store,
                                  IVICONFIG_VAL_CONFIG_STORE_PROCESS_DEFAULT_LOCATION, location));
    if (ok && location.empty()) {
      ok = configStep(ReadText(IviConfig_GetConfigStorePropertyViString, store,
                               IVICONFIG_VAL_CONFIG_STORE_MASTER_LOCATION, location));
    }
    if (ok) ok = configStep(IviConfig_Deserialize(store, location.c_str()));

    bool isLogicalName = false;
    if (ok) {
      const std::string nameText(name);
      status = IviConfig_GetDriverSession(store, nameText.c_str(), session.out());
      if (status >= 0) {
        isLogicalName = true;
        logicalName_ = name;
        ok = step(ReadDriverSessionProperties(session.get())) && step(ReadInitialSettings(session.get())) &&
             configStep(IviConfig_GetSessionSoftwareModuleReference(session.get(), module.out()));
      } else if (status == status::kConfigSessionNotFound) {
        (void)IviConfig_ClearError();
        ioResourceDescriptor_ = name;
        const std::string moduleName(ThisDriver().prefix);
        ok = configStep(IviConfig_GetConfigStoreSoftwareModuleCollection(store, modules.out())) &&
             configStep(IviConfig_GetSoftwareModuleItemByName(modules.get(), moduleName.c_str(), module.out()));
      } else {
        ok = configStep(status);
      }
    }
    if (ok && !isLogicalName) ok = step(ReadInitialSettings(module.get()));
    if (ok) ok = step(ParseOptionString(optionString));
    if (ok && module.get() != 0) ok = step(ReadPhysicalNames(module.get()));
    if (ok) {
      if (flags_.simulate && instrumentModel_.empty()) instrumentModel_ = ThisDriver().defaultModel;
      initialFlags_ = flags_;
    }
  }  // the handles are disposed here, before the store is closed

  const ViStatus closed = IviConfig_Close(store);
  return result < 0 ? result : closed;
}

ViStatus DriverSession::ReadDriverSessionProperties(IviDriverSessionHandle session) {
  if (const ViStatus names = ReadVirtualNames(session); names < 0) return names;

  ScopedConfigHandle asset;
  ViStatus status = IviConfig_GetSessionHardwareAssetReference(session, asset.out());
  if (status == status::kConfigNotExist) {
    (void)IviConfig_ClearError();  // a session without a hardware asset keeps the descriptor empty
  } else if (status < 0) {
    return ReportConfigurationError(status);
  } else if (asset.get() != 0) {
    status = ReadText(IviConfig_GetHardwareAssetPropertyViString, asset.get(),
                      IVICONFIG_VAL_HARDWARE_ASSET_IO_RESOURCE_DESCRIPTOR, ioResourceDescriptor_);
    if (status < 0) return ReportConfigurationError(status);
  }

  struct BooleanProperty {
    ViInt32 id;
    bool InherentFlags::*flag;
  };
  static constexpr BooleanProperty kFlags[] = {
      {IVICONFIG_VAL_DRIVER_SESSION_CACHE, &InherentFlags::cache},
      {IVICONFIG_VAL_DRIVER_SESSION_INTERCHANGE_CHECK, &InherentFlags::interchangeCheck},
      {IVICONFIG_VAL_DRIVER_SESSION_QUERY_INSTR_STATUS, &InherentFlags::queryInstrumentStatus},
      {IVICONFIG_VAL_DRIVER_SESSION_RANGE_CHECK, &InherentFlags::rangeCheck},
      {IVICONFIG_VAL_DRIVER_SESSION_RECORD_COERCIONS, &InherentFlags::recordCoercions},
      {IVICONFIG_VAL_DRIVER_SESSION_SIMULATE, &InherentFlags::simulate},
  };
  for (const auto& property : kFlags) {
    ViBoolean value = VI_FALSE;
    status = IviConfig_GetDriverSessionPropertyViBoolean(session, property.id, &value);
    if (status < 0) return ReportConfigurationError(status);
    flags_.*(property.flag) = value == VI_TRUE;
  }

  std::string driverSetup;
  status = ReadText(IviConfig_GetDriverSessionPropertyViString, session, IVICONFIG_VAL_DRIVER_SESSION_DRIVER_SETUP,
                    driverSetup);
  if (status < 0) return ReportConfigurationError(status);
  return ParseDriverSetup(driverSetup);
}

ViStatus DriverSession::ReadInitialSettings(IviConfigComponentHandle component) {
  ScopedConfigHandle components;
  ScopedConfigHandle structure;
  ScopedConfigHandle items;
  ViStatus status = IviConfig_GetConfigComponentDataComponentCollection(component, components.out());
  if (status < 0) return ReportConfigurationError(status);
  status = IviConfig_GetDataComponentItemByName(components.get(), "Configurable Initial Settings", structure.out());
  if (status == status::kConfigNotExist) return IviConfig_ClearError();
  if (status < 0) return ReportConfigurationError(status);
  status = IviConfig_GetStructureDataComponentCollection(structure.get(), items.out());
  if (status < 0) return ReportConfigurationError(status);
  ViInt32 count = 0;
  status = IviConfig_GetDataComponentCount(items.get(), &count);
  if (status < 0) return ReportConfigurationError(status);

  for (ViInt32 index = 1; index <= count; ++index) {
    ScopedConfigHandle item;
    std::string type;
    std::string name;
    status = IviConfig_GetDataComponentItemByIndex(items.get(), index, item.out());
    if (status >= 0)
      status =
          ReadText(IviConfig_GetDataComponentPropertyViString, item.get(), IVICONFIG_VAL_DATA_COMPONENT_TYPE, type);
    if (status >= 0)
      status =
          ReadText(IviConfig_GetDataComponentPropertyViString, item.get(), IVICONFIG_VAL_DATA_COMPONENT_NAME, name);
    if (status < 0) return ReportConfigurationError(status);

    if (text::EqualsIgnoreCase(type, "string")) {
      std::string value;
      status =
          ReadText(IviConfig_GetDataComponentPropertyViString, item.get(), IVICONFIG_VAL_DATA_COMPONENT_VALUE, value);
      if (status >= 0) initialStrings_.insert_or_assign(name, std::move(value));
    } else if (text::EqualsIgnoreCase(type, "integer")) {
      ViInt32 value = 0;
      status = IviConfig_GetDataComponentPropertyViInt32(item.get(), IVICONFIG_VAL_DATA_COMPONENT_VALUE, &value);
      if (status >= 0) initialInt32s_.insert_or_assign(name, value);
    } else if (text::EqualsIgnoreCase(type, "real")) {
      ViReal64 value = 0.0;
      status = IviConfig_GetDataComponentPropertyViReal64(item.get(), IVICONFIG_VAL_DATA_COMPONENT_VALUE, &value);
      if (status >= 0) initialReal64s_.insert_or_assign(name, value);
    } else if (text::EqualsIgnoreCase(type, "boolean")) {
      ViBoolean value = VI_FALSE;
      status = IviConfig_GetDataComponentPropertyViBoolean(item.get(), IVICONFIG_VAL_DATA_COMPONENT_VALUE, &value);
      if (status >= 0) initialBooleans_.insert_or_assign(name, value == VI_TRUE);
    }
    if (status < 0) return ReportConfigurationError(status);
  }
  return ApplyInitialSettings();
}

ViStatus DriverSession::ApplyInitialSettings() {
  std::string model;
  if (GetInitialSettingString("model", model)) instrumentModel_ = std::move(model);
  return VI_SUCCESS;
}

void DriverSession::AddVirtualName(const std::string& virtualName, const std::string& physicalName) {
  virtualToPhysical_.insert_or_assign(virtualName, physicalName);
}

ViStatus DriverSession::ReadVirtualNames(IviDriverSessionHandle session) {
  virtualToPhysical_.clear();
  ScopedConfigHandle names;
  ViInt32 count = 0;
  ViStatus status = IviConfig_GetSessionVirtualNameCollection(session, names.out());
  if (status >= 0) status = IviConfig_GetVirtualNameCount(names.get(), &count);
  if (status < 0) return ReportConfigurationError(status);

  for (ViInt32 index = 1; index <= count; ++index) {
    ScopedConfigHandle entry;
    ScopedConfigHandle ranges;
    std::string virtualName;
    std::string physicalName;
    ViInt32 rangeCount = 0;
    status = IviConfig_GetVirtualNameItemByIndex(names.get(), index, entry.out());
    if (status >= 0)
      status =
          ReadText(IviConfig_GetVirtualNamePropertyViString, entry.get(), IVICONFIG_VAL_VIRTUAL_NAME_NAME, virtualName);
    if (status >= 0)
      status = ReadText(IviConfig_GetVirtualNamePropertyViString, entry.get(), IVICONFIG_VAL_VIRTUAL_NAME_MAP_TO,
                        physicalName);
    if (status >= 0) status = IviConfig_GetVirtualNameVirtualRangeCollection(entry.get(), ranges.out());
    if (status >= 0) status = IviConfig_GetVirtualRangeCount(ranges.get(), &rangeCount);
    if (status < 0) return ReportConfigurationError(status);

    if (rangeCount == 0) {
      AddVirtualName(virtualName, physicalName);
      continue;
    }
    for (ViInt32 r = 1; r <= rangeCount; ++r) {
      ScopedConfigHandle range;
      ViInt32 first = 0;
      ViInt32 last = 0;
      ViInt32 start = 0;
      status = IviConfig_GetVirtualRangeItemByIndex(ranges.get(), r, range.out());
      if (status >= 0)
        status = IviConfig_GetVirtualRangePropertyViInt32(range.get(), IVICONFIG_VAL_VIRTUAL_RANGE_MIN, &first);
      if (status >= 0)
        status = IviConfig_GetVirtualRangePropertyViInt32(range.get(), IVICONFIG_VAL_VIRTUAL_RANGE_MAX, &last);
      if (status >= 0) {
        status =
            IviConfig_GetVirtualRangePropertyViInt32(range.get(), IVICONFIG_VAL_VIRTUAL_RANGE_STARTING_INDEX, &start);
      }
      if (status < 0) return ReportConfigurationError(status);
      if (static_cast<ViInt64>(last) - first >= kMaxVirtualRangeNames) {
        return ReportErrorWithElaboration(status::kCannotRecover,
                                          "The virtual name '%s' has a range of more than %d names.", virtualName,
                                          kMaxVirtualRangeNames);
      }
      for (ViInt64 k = first; k <= last; ++k) {
        AddVirtualName(virtualName + std::to_string(k), physicalName + std::to_string(k + start - first));
      }
    }
  }
  return VI_SUCCESS;
}

ViStatus DriverSession::ReadPhysicalNames(IviSoftwareModuleHandle module) {
  ScopedConfigHandle names;
  ViInt32 count = 0;
  ViStatus status = IviConfig_GetSoftwareModulePhysicalNameCollection(module, names.out());
  if (status >= 0) status = IviConfig_GetPhysicalNameCount(names.get(), &count);
  if (status < 0) return ReportConfigurationError(status);
  for (ViInt32 index = 1; index <= count; ++index) {
    ScopedConfigHandle entry;
    std::string physicalName;
    std::string value;
    status = IviConfig_GetPhysicalNameItemByIndex(names.get(), index, entry.out());
    if (status >= 0)
      status = ReadText(IviConfig_GetPhysicalNamePropertyViString, entry.get(), IVICONFIG_VAL_PHYSICAL_NAME_NAME,
                        physicalName);
    if (status >= 0)
      status =
          ReadText(IviConfig_GetPhysicalNamePropertyViString, entry.get(), IVICONFIG_VAL_PHYSICAL_NAME_RC_NAME, value);
    if (status < 0) return ReportConfigurationError(status);
    modulePhysicalNames_.insert_or_assign(std::move(physicalName), std::move(value));
  }
  return VI_SUCCESS;
}

}  // namespace kel
