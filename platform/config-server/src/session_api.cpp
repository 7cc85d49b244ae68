// Driver sessions and the hardware assets they refer to.
#include "api_support.h"

using namespace hnvqr::config;

extern "C" {

ViStatus _VI_FUNC IviConfig_GetDriverSessionPropertyViBoolean(IviDriverSessionHandle session, ViInt32 propertyId,
                                                              ViBoolean* value) {
  return Guarded([&]() -> ViStatus {
    if (value == nullptr) return NullPointer("value");
    Resolved<ItemRef<DriverSession>> resolved;
    if (const ViStatus status = Resolve(session, resolved); status != VI_SUCCESS) return status;
    const DriverSession& entry = *resolved.object.item;
    bool flag = false;
    switch (propertyId) {
      case IVICONFIG_VAL_DRIVER_SESSION_CACHE:
        flag = entry.cache;
        break;
      case IVICONFIG_VAL_DRIVER_SESSION_INTERCHANGE_CHECK:
        flag = entry.interchangeCheck;
        break;
      case IVICONFIG_VAL_DRIVER_SESSION_QUERY_INSTR_STATUS:
        flag = entry.queryInstrStatus;
        break;
      case IVICONFIG_VAL_DRIVER_SESSION_RANGE_CHECK:
        flag = entry.rangeCheck;
        break;
      case IVICONFIG_VAL_DRIVER_SESSION_RECORD_COERCIONS:
        flag = entry.recordCoercions;
        break;
      case IVICONFIG_VAL_DRIVER_SESSION_SIMULATE:
        flag = entry.simulate;
        break;
      default:
        return UnknownProperty(propertyId, "driver session", "ViBoolean");
    }
    *value = flag ? VI_TRUE : VI_FALSE;
    return VI_SUCCESS;
  });
}

ViStatus _VI_FUNC IviConfig_GetDriverSessionPropertyViString(IviDriverSessionHandle session, ViInt32 propertyId,
                                                             ViInt32 bufferSize, ViChar value[]) {
  return Guarded([&]() -> ViStatus {
    return StringProperty<DriverSession>(
        session, propertyId, bufferSize, value, [](const DriverSession& entry, ViInt32 id) -> const std::string* {
          return id == IVICONFIG_VAL_DRIVER_SESSION_DRIVER_SETUP ? &entry.driverSetup : nullptr;
        });
  });
}

ViStatus _VI_FUNC IviConfig_GetSessionSoftwareModuleReference(IviDriverSessionHandle session,
                                                              IviSoftwareModuleHandle* module) {
  return Guarded([&]() -> ViStatus {
    if (module == nullptr) return NullPointer("module");
    *module = 0;
    Resolved<ItemRef<DriverSession>> resolved;
    if (const ViStatus status = Resolve(session, resolved); status != VI_SUCCESS) return status;
    const SoftwareModule& target = resolved.data->softwareModules[resolved.object.item->softwareModule];
    *module = NewHandle(resolved.data, ItemRef<SoftwareModule>{&target});
    return VI_SUCCESS;
  });
}

ViStatus _VI_FUNC IviConfig_GetSessionHardwareAssetReference(IviDriverSessionHandle session,
                                                             IviHardwareAssetHandle* asset) {
  return Guarded([&]() -> ViStatus {
    if (asset == nullptr) return NullPointer("asset");
    *asset = 0;
    Resolved<ItemRef<DriverSession>> resolved;
    if (const ViStatus status = Resolve(session, resolved); status != VI_SUCCESS) return status;
    const auto& index = resolved.object.item->hardwareAsset;
    if (!index) return VI_SUCCESS;  // no hardware asset: success with handle 0
    *asset = NewHandle(resolved.data, ItemRef<HardwareAsset>{&resolved.data->hardwareAssets[*index]});
    return VI_SUCCESS;
  });
}

ViStatus _VI_FUNC IviConfig_GetSessionVirtualNameCollection(IviDriverSessionHandle session,
                                                            IviVirtualNameCollectionHandle* names) {
  return Guarded([&] { return ChildCollection(session, &DriverSession::virtualNames, names, "names"); });
}

ViStatus _VI_FUNC IviConfig_GetHardwareAssetPropertyViString(IviHardwareAssetHandle asset, ViInt32 propertyId,
                                                             ViInt32 bufferSize, ViChar value[]) {
  return Guarded([&]() -> ViStatus {
    return StringProperty<HardwareAsset>(
        asset, propertyId, bufferSize, value, [](const HardwareAsset& entry, ViInt32 id) -> const std::string* {
          return id == IVICONFIG_VAL_HARDWARE_ASSET_IO_RESOURCE_DESCRIPTOR ? &entry.ioResourceDescriptor : nullptr;
        });
  });
}

}  // extern "C"
