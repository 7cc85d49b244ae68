// Driver sessions and the hardware assets they refer to.
#include "api_support.h"

using namespace hnvqr::config;

namespace {

constexpr PropertyField<DriverSession, bool> kDriverSessionFlags[] = {
    {IVICONFIG_VAL_DRIVER_SESSION_CACHE, &DriverSession::cache},
    {IVICONFIG_VAL_DRIVER_SESSION_INTERCHANGE_CHECK, &DriverSession::interchangeCheck},
    {IVICONFIG_VAL_DRIVER_SESSION_QUERY_INSTR_STATUS, &DriverSession::queryInstrStatus},
    {IVICONFIG_VAL_DRIVER_SESSION_RANGE_CHECK, &DriverSession::rangeCheck},
    {IVICONFIG_VAL_DRIVER_SESSION_RECORD_COERCIONS, &DriverSession::recordCoercions},
    {IVICONFIG_VAL_DRIVER_SESSION_SIMULATE, &DriverSession::simulate},
};

constexpr PropertyField<DriverSession, std::string> kDriverSessionTexts[] = {
    {IVICONFIG_VAL_DRIVER_SESSION_DRIVER_SETUP, &DriverSession::driverSetup},
};

constexpr PropertyField<HardwareAsset, std::string> kHardwareAssetTexts[] = {
    {IVICONFIG_VAL_HARDWARE_ASSET_IO_RESOURCE_DESCRIPTOR, &HardwareAsset::ioResourceDescriptor},
};

}  // namespace

extern "C" {

ViStatus _VI_FUNC IviConfig_GetDriverSessionPropertyViBoolean(IviDriverSessionHandle session, ViInt32 propertyId,
                                                              ViBoolean* value) {
  return Guarded([&] { return ScalarProperty(session, propertyId, value, kDriverSessionFlags, "ViBoolean"); });
}

ViStatus _VI_FUNC IviConfig_GetDriverSessionPropertyViString(IviDriverSessionHandle session, ViInt32 propertyId,
                                                             ViInt32 bufferSize, ViChar value[]) {
  return Guarded([&] { return StringProperty(session, propertyId, bufferSize, value, kDriverSessionTexts); });
}

ViStatus _VI_FUNC IviConfig_GetSessionSoftwareModuleReference(IviDriverSessionHandle session,
                                                              IviSoftwareModuleHandle* module) {
  return Guarded([&] {
    return DeriveFrom<ItemRef<DriverSession>>(
        session, module, "module", [](const auto& resolved, IviSoftwareModuleHandle& out) {
          const SoftwareModule& target = resolved.data->softwareModules[resolved.object.item->softwareModule];
          out = NewHandle(resolved.data, ItemRef<SoftwareModule>{&target});
          return VI_SUCCESS;
        });
  });
}

ViStatus _VI_FUNC IviConfig_GetSessionHardwareAssetReference(IviDriverSessionHandle session,
                                                             IviHardwareAssetHandle* asset) {
  return Guarded([&] {
    return DeriveFrom<ItemRef<DriverSession>>(
        session, asset, "asset", [](const auto& resolved, IviHardwareAssetHandle& out) {
          const auto& index = resolved.object.item->hardwareAsset;
          if (!index) return VI_SUCCESS;  // no hardware asset: success with handle 0
          out = NewHandle(resolved.data, ItemRef<HardwareAsset>{&resolved.data->hardwareAssets[*index]});
          return VI_SUCCESS;
        });
  });
}

ViStatus _VI_FUNC IviConfig_GetSessionVirtualNameCollection(IviDriverSessionHandle session,
                                                            IviVirtualNameCollectionHandle* names) {
  return Guarded([&] { return ChildCollection(session, &DriverSession::virtualNames, names, "names"); });
}

ViStatus _VI_FUNC IviConfig_GetHardwareAssetPropertyViString(IviHardwareAssetHandle asset, ViInt32 propertyId,
                                                             ViInt32 bufferSize, ViChar value[]) {
  return Guarded([&] { return StringProperty(asset, propertyId, bufferSize, value, kHardwareAssetTexts); });
}

}  // extern "C"
