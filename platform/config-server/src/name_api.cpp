// Software modules with their physical names, and virtual names with their ranges.
#include <string>

#include "api_support.h"

using namespace hnvqr::config;

extern "C" {

ViStatus _VI_FUNC IviConfig_GetSoftwareModuleItemByName(IviSoftwareModuleCollectionHandle modules, ViConstString name,
                                                        IviSoftwareModuleHandle* module) {
  return Guarded([&] {
    return CollectionItemByName<SoftwareModule>(modules, name, module, "module", [&] {
      return RecordError(IVICONFIG_ERROR_NOT_EXIST,
                         std::string("There is no software module named '") + name + "' in the configuration store");
    });
  });
}

ViStatus _VI_FUNC IviConfig_GetSoftwareModulePhysicalNameCollection(IviSoftwareModuleHandle module,
                                                                    IviPhysicalNameCollectionHandle* names) {
  return Guarded([&] { return ChildCollection(module, &SoftwareModule::physicalNames, names, "names"); });
}

ViStatus _VI_FUNC IviConfig_GetPhysicalNameCount(IviPhysicalNameCollectionHandle names, ViInt32* count) {
  return Guarded([&] { return CollectionCount<PhysicalName>(names, count); });
}

ViStatus _VI_FUNC IviConfig_GetPhysicalNameItemByIndex(IviPhysicalNameCollectionHandle names, ViInt32 index,
                                                       IviPhysicalNameHandle* name) {
  return Guarded([&] { return CollectionItemByIndex<PhysicalName>(names, index, name); });
}

ViStatus _VI_FUNC IviConfig_GetPhysicalNamePropertyViString(IviPhysicalNameHandle name, ViInt32 propertyId,
                                                            ViInt32 bufferSize, ViChar value[]) {
  return Guarded([&] {
    return StringProperty<PhysicalName>(name, propertyId, bufferSize, value,
                                        [](const PhysicalName& entry, ViInt32 id) -> const std::string* {
                                          switch (id) {
                                            case IVICONFIG_VAL_PHYSICAL_NAME_NAME:
                                              return &entry.name;
                                            case IVICONFIG_VAL_PHYSICAL_NAME_RC_NAME:
                                              return &entry.value;
                                            default:
                                              return nullptr;
                                          }
                                        });
  });
}

ViStatus _VI_FUNC IviConfig_GetVirtualNameCount(IviVirtualNameCollectionHandle names, ViInt32* count) {
  return Guarded([&] { return CollectionCount<VirtualName>(names, count); });
}

ViStatus _VI_FUNC IviConfig_GetVirtualNameItemByIndex(IviVirtualNameCollectionHandle names, ViInt32 index,
                                                      IviVirtualNameHandle* name) {
  return Guarded([&] { return CollectionItemByIndex<VirtualName>(names, index, name); });
}

ViStatus _VI_FUNC IviConfig_GetVirtualNamePropertyViString(IviVirtualNameHandle name, ViInt32 propertyId,
                                                           ViInt32 bufferSize, ViChar value[]) {
  return Guarded([&] {
    return StringProperty<VirtualName>(name, propertyId, bufferSize, value,
                                       [](const VirtualName& entry, ViInt32 id) -> const std::string* {
                                         switch (id) {
                                           case IVICONFIG_VAL_VIRTUAL_NAME_NAME:
                                             return &entry.name;
                                           case IVICONFIG_VAL_VIRTUAL_NAME_MAP_TO:
                                             return &entry.map;
                                           default:
                                             return nullptr;
                                         }
                                       });
  });
}

ViStatus _VI_FUNC IviConfig_GetVirtualNameVirtualRangeCollection(IviVirtualNameHandle name,
                                                                 IviVirtualRangeCollectionHandle* ranges) {
  return Guarded([&] { return ChildCollection(name, &VirtualName::ranges, ranges, "ranges"); });
}

ViStatus _VI_FUNC IviConfig_GetVirtualRangeCount(IviVirtualRangeCollectionHandle ranges, ViInt32* count) {
  return Guarded([&] { return CollectionCount<VirtualRange>(ranges, count); });
}

ViStatus _VI_FUNC IviConfig_GetVirtualRangeItemByIndex(IviVirtualRangeCollectionHandle ranges, ViInt32 index,
                                                       IviVirtualRangeHandle* range) {
  return Guarded([&] { return CollectionItemByIndex<VirtualRange>(ranges, index, range); });
}

ViStatus _VI_FUNC IviConfig_GetVirtualRangePropertyViInt32(IviVirtualRangeHandle range, ViInt32 propertyId,
                                                           ViInt32* value) {
  return Guarded([&]() -> ViStatus {
    if (value == nullptr) return NullPointer("value");
    Resolved<ItemRef<VirtualRange>> resolved;
    if (const ViStatus status = Resolve(range, resolved); status != VI_SUCCESS) return status;
    const VirtualRange& entry = *resolved.object.item;
    switch (propertyId) {
      case IVICONFIG_VAL_VIRTUAL_RANGE_MIN:
        *value = entry.first;
        return VI_SUCCESS;
      case IVICONFIG_VAL_VIRTUAL_RANGE_MAX:
        *value = entry.last;
        return VI_SUCCESS;
      case IVICONFIG_VAL_VIRTUAL_RANGE_STARTING_INDEX:
        *value = entry.start;
        return VI_SUCCESS;
      default:
        return UnknownProperty(propertyId, "virtual range", "ViInt32");
    }
  });
}

}  // extern "C"
