// Software modules with their physical names, and virtual names with their ranges.
#include <string>

#include "api_support.h"

using namespace hnvqr::config;

namespace {

constexpr PropertyField<PhysicalName, std::string> kPhysicalNameTexts[] = {
    {IVICONFIG_VAL_PHYSICAL_NAME_NAME, &PhysicalName::name},
    {IVICONFIG_VAL_PHYSICAL_NAME_RC_NAME, &PhysicalName::value},
};

constexpr PropertyField<VirtualName, std::string> kVirtualNameTexts[] = {
    {IVICONFIG_VAL_VIRTUAL_NAME_NAME, &VirtualName::name},
    {IVICONFIG_VAL_VIRTUAL_NAME_MAP_TO, &VirtualName::map},
};

constexpr PropertyField<VirtualRange, ViInt32> kVirtualRangeNumbers[] = {
    {IVICONFIG_VAL_VIRTUAL_RANGE_MIN, &VirtualRange::first},
    {IVICONFIG_VAL_VIRTUAL_RANGE_MAX, &VirtualRange::last},
    {IVICONFIG_VAL_VIRTUAL_RANGE_STARTING_INDEX, &VirtualRange::start},
};

}  // namespace

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
  return Guarded([&] { return StringProperty(name, propertyId, bufferSize, value, kPhysicalNameTexts); });
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
  return Guarded([&] { return StringProperty(name, propertyId, bufferSize, value, kVirtualNameTexts); });
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
  return Guarded([&] { return ScalarProperty(range, propertyId, value, kVirtualRangeNumbers, "ViInt32"); });
}

}  // extern "C"
