/* IVI Configuration Server C API: the calls the driver makes to read a configuration
 * store (software modules, hardware assets, driver sessions, logical names).
 *
 * Behaviour of our implementation (platform/config-server, a JSON store file):
 * - Locations: property 5 is IVI_CONFIG_STORE as it is at the call (empty when unset);
 *   property 3 is /etc/ivi/config-store.json. No file at the master location gives the
 *   built-in store (software module "HnVQR", physical name "CH1"); a missing
 *   process-default file is an error. "HnVQR" is always registered; a file may replace it.
 * - Names (logical names, sessions, modules, data components) compare exactly, case
 *   included. IviConfig_GetDriverSession tries logical names first, then session names.
 * - A session without hardware asset: IviConfig_GetSessionHardwareAssetReference succeeds
 *   with handle 0. IviConfig_DisposeHandle(0) succeeds and does nothing.
 * - String getters (and IviConfig_GetError) return VI_SUCCESS when the text fits; else
 *   they write bufferSize - 1 characters and a NUL (nothing when bufferSize <= 0 or the
 *   buffer is null) and return the size needed, NUL included, as a positive warning.
 * - IviConfig_Close releases the store handle only; handles obtained from it stay valid
 *   until disposed. Every handle counts in IviConfig_GetLiveHandleCount.
 * - Failing calls record a thread-local last error (IviConfig_GetError reads it without
 *   clearing it). A null output pointer fails with 0xBFFA0058 (IVI null pointer). A
 *   setting value of the wrong kind for the getter (text for ViInt32, 2.5 for ViInt32,
 *   a value beyond 32 bits) fails with 0xBFFA1208; for ViBoolean an integer is VI_TRUE
 *   exactly when it is 1, any other integer reads VI_FALSE. */
#ifndef HNVQR_PLATFORM_IVI_CONFIG_SERVER_H
#define HNVQR_PLATFORM_IVI_CONFIG_SERVER_H

#include "visatype.h"

#ifdef __cplusplus
extern "C" {
#endif

typedef ViUInt32 IviConfigHandle;
typedef IviConfigHandle IviConfigStoreHandle;
typedef IviConfigHandle IviConfigComponentHandle;
typedef IviConfigHandle IviDriverSessionHandle;
typedef IviConfigHandle IviSoftwareModuleHandle;
typedef IviConfigHandle IviHardwareAssetHandle;
typedef IviConfigHandle IviSoftwareModuleCollectionHandle;
typedef IviConfigHandle IviVirtualNameCollectionHandle;
typedef IviConfigHandle IviVirtualNameHandle;
typedef IviConfigHandle IviVirtualRangeCollectionHandle;
typedef IviConfigHandle IviVirtualRangeHandle;
typedef IviConfigHandle IviPhysicalNameCollectionHandle;
typedef IviConfigHandle IviPhysicalNameHandle;
typedef IviConfigHandle IviDataComponentCollectionHandle;
typedef IviConfigHandle IviDataComponentHandle;
typedef IviConfigHandle IviStructureHandle;

/* Status codes */
#define IVICONFIG_ERROR_DESERIALIZE_FAILED ((ViStatus)0xBFFA1200L)
#define IVICONFIG_ERROR_ALREADY_DESERIALIZED ((ViStatus)0xBFFA1201L)
#define IVICONFIG_ERROR_SERIALIZE_FAILED ((ViStatus)0xBFFA1202L)
#define IVICONFIG_ERROR_SESSION_NOT_FOUND ((ViStatus)0xBFFA1203L)
#define IVICONFIG_ERROR_NOT_IN_GLOBAL ((ViStatus)0xBFFA1204L)
#define IVICONFIG_ERROR_ALREADY_EXIST ((ViStatus)0xBFFA1205L)
#define IVICONFIG_ERROR_MASTER_NOT_FOUND ((ViStatus)0xBFFA1206L)
#define IVICONFIG_ERROR_NOT_EXIST ((ViStatus)0xBFFA1207L)
#define IVICONFIG_ERROR_INVALID_DATA_COMPONENT ((ViStatus)0xBFFA1208L)
#define IVICONFIG_ERROR_LOCAL_REFERENCE_EXIST ((ViStatus)0xBFFA1209L)
#define IVICONFIG_ERROR_INVALID_HANDLE ((ViStatus)0xBFFA1220L)
#define IVICONFIG_ERROR_INVALID_PROPERTY_ID ((ViStatus)0xBFFA1221L)
#define IVICONFIG_ERROR_NOT_SUPPORTED ((ViStatus)0xBFFA1222L)

/* Property identifiers */
#define IVICONFIG_VAL_CONFIG_STORE_MASTER_LOCATION 3
#define IVICONFIG_VAL_CONFIG_STORE_PROCESS_DEFAULT_LOCATION 5

#define IVICONFIG_VAL_DRIVER_SESSION_CACHE 4
#define IVICONFIG_VAL_DRIVER_SESSION_INTERCHANGE_CHECK 5
#define IVICONFIG_VAL_DRIVER_SESSION_QUERY_INSTR_STATUS 6
#define IVICONFIG_VAL_DRIVER_SESSION_RANGE_CHECK 7
#define IVICONFIG_VAL_DRIVER_SESSION_RECORD_COERCIONS 8
#define IVICONFIG_VAL_DRIVER_SESSION_SIMULATE 9
#define IVICONFIG_VAL_DRIVER_SESSION_DRIVER_SETUP 10

#define IVICONFIG_VAL_HARDWARE_ASSET_IO_RESOURCE_DESCRIPTOR 3

#define IVICONFIG_VAL_VIRTUAL_NAME_NAME 1
#define IVICONFIG_VAL_VIRTUAL_NAME_MAP_TO 2

#define IVICONFIG_VAL_VIRTUAL_RANGE_MIN 2
#define IVICONFIG_VAL_VIRTUAL_RANGE_MAX 3
#define IVICONFIG_VAL_VIRTUAL_RANGE_STARTING_INDEX 4

#define IVICONFIG_VAL_PHYSICAL_NAME_NAME 1
#define IVICONFIG_VAL_PHYSICAL_NAME_RC_NAME 2

#define IVICONFIG_VAL_DATA_COMPONENT_NAME 1
#define IVICONFIG_VAL_DATA_COMPONENT_TYPE 7
#define IVICONFIG_VAL_DATA_COMPONENT_VALUE 9

/* Store */
ViStatus _VI_FUNC IviConfig_Initialize(IviConfigStoreHandle* store);
ViStatus _VI_FUNC IviConfig_Close(IviConfigStoreHandle store);
ViStatus _VI_FUNC IviConfig_Deserialize(IviConfigStoreHandle store, ViConstString location);
ViStatus _VI_FUNC IviConfig_GetConfigStorePropertyViString(IviConfigStoreHandle store, ViInt32 propertyId,
                                                           ViInt32 bufferSize, ViChar value[]);
ViStatus _VI_FUNC IviConfig_DisposeHandle(IviConfigHandle handle);

/* Last error of the calling thread */
ViStatus _VI_FUNC IviConfig_GetError(ViStatus* errorCode, ViInt32 bufferSize, ViChar description[]);
ViStatus _VI_FUNC IviConfig_ClearError(void);

/* Driver sessions (looked up by logical name first, then by session name) */
ViStatus _VI_FUNC IviConfig_GetDriverSession(IviConfigStoreHandle store, ViConstString name,
                                             IviDriverSessionHandle* session);
ViStatus _VI_FUNC IviConfig_GetDriverSessionPropertyViBoolean(IviDriverSessionHandle session, ViInt32 propertyId,
                                                              ViBoolean* value);
ViStatus _VI_FUNC IviConfig_GetDriverSessionPropertyViString(IviDriverSessionHandle session, ViInt32 propertyId,
                                                             ViInt32 bufferSize, ViChar value[]);
ViStatus _VI_FUNC IviConfig_GetSessionSoftwareModuleReference(IviDriverSessionHandle session,
                                                              IviSoftwareModuleHandle* module);
ViStatus _VI_FUNC IviConfig_GetSessionHardwareAssetReference(IviDriverSessionHandle session,
                                                             IviHardwareAssetHandle* asset);
ViStatus _VI_FUNC IviConfig_GetSessionVirtualNameCollection(IviDriverSessionHandle session,
                                                            IviVirtualNameCollectionHandle* names);

/* Hardware assets */
ViStatus _VI_FUNC IviConfig_GetHardwareAssetPropertyViString(IviHardwareAssetHandle asset, ViInt32 propertyId,
                                                             ViInt32 bufferSize, ViChar value[]);

/* Software modules */
ViStatus _VI_FUNC IviConfig_GetConfigStoreSoftwareModuleCollection(IviConfigStoreHandle store,
                                                                   IviSoftwareModuleCollectionHandle* modules);
ViStatus _VI_FUNC IviConfig_GetSoftwareModuleItemByName(IviSoftwareModuleCollectionHandle modules, ViConstString name,
                                                        IviSoftwareModuleHandle* module);
ViStatus _VI_FUNC IviConfig_GetSoftwareModulePhysicalNameCollection(IviSoftwareModuleHandle module,
                                                                    IviPhysicalNameCollectionHandle* names);

/* Virtual names and their ranges (indices are 1-based) */
ViStatus _VI_FUNC IviConfig_GetVirtualNameCount(IviVirtualNameCollectionHandle names, ViInt32* count);
ViStatus _VI_FUNC IviConfig_GetVirtualNameItemByIndex(IviVirtualNameCollectionHandle names, ViInt32 index,
                                                      IviVirtualNameHandle* name);
ViStatus _VI_FUNC IviConfig_GetVirtualNamePropertyViString(IviVirtualNameHandle name, ViInt32 propertyId,
                                                           ViInt32 bufferSize, ViChar value[]);
ViStatus _VI_FUNC IviConfig_GetVirtualNameVirtualRangeCollection(IviVirtualNameHandle name,
                                                                 IviVirtualRangeCollectionHandle* ranges);
ViStatus _VI_FUNC IviConfig_GetVirtualRangeCount(IviVirtualRangeCollectionHandle ranges, ViInt32* count);
ViStatus _VI_FUNC IviConfig_GetVirtualRangeItemByIndex(IviVirtualRangeCollectionHandle ranges, ViInt32 index,
                                                       IviVirtualRangeHandle* range);
ViStatus _VI_FUNC IviConfig_GetVirtualRangePropertyViInt32(IviVirtualRangeHandle range, ViInt32 propertyId,
                                                           ViInt32* value);

/* Physical names (indices are 1-based) */
ViStatus _VI_FUNC IviConfig_GetPhysicalNameCount(IviPhysicalNameCollectionHandle names, ViInt32* count);
ViStatus _VI_FUNC IviConfig_GetPhysicalNameItemByIndex(IviPhysicalNameCollectionHandle names, ViInt32 index,
                                                       IviPhysicalNameHandle* name);
ViStatus _VI_FUNC IviConfig_GetPhysicalNamePropertyViString(IviPhysicalNameHandle name, ViInt32 propertyId,
                                                            ViInt32 bufferSize, ViChar value[]);

/* Data components: "Configurable Initial Settings" of a session or software module */
ViStatus _VI_FUNC IviConfig_GetConfigComponentDataComponentCollection(IviConfigComponentHandle component,
                                                                      IviDataComponentCollectionHandle* items);
ViStatus _VI_FUNC IviConfig_GetDataComponentItemByName(IviDataComponentCollectionHandle items, ViConstString name,
                                                       IviDataComponentHandle* item);
ViStatus _VI_FUNC IviConfig_GetStructureDataComponentCollection(IviStructureHandle structure,
                                                                IviDataComponentCollectionHandle* items);
ViStatus _VI_FUNC IviConfig_GetDataComponentCount(IviDataComponentCollectionHandle items, ViInt32* count);
ViStatus _VI_FUNC IviConfig_GetDataComponentItemByIndex(IviDataComponentCollectionHandle items, ViInt32 index,
                                                        IviDataComponentHandle* item);
ViStatus _VI_FUNC IviConfig_GetDataComponentPropertyViString(IviDataComponentHandle item, ViInt32 propertyId,
                                                             ViInt32 bufferSize, ViChar value[]);
ViStatus _VI_FUNC IviConfig_GetDataComponentPropertyViInt32(IviDataComponentHandle item, ViInt32 propertyId,
                                                            ViInt32* value);
ViStatus _VI_FUNC IviConfig_GetDataComponentPropertyViReal64(IviDataComponentHandle item, ViInt32 propertyId,
                                                             ViReal64* value);
ViStatus _VI_FUNC IviConfig_GetDataComponentPropertyViBoolean(IviDataComponentHandle item, ViInt32 propertyId,
                                                              ViBoolean* value);

/* Diagnostics: handles obtained and not yet disposed (the store handle included). */
ViInt32 _VI_FUNC IviConfig_GetLiveHandleCount(void);

#ifdef __cplusplus
}
#endif

#endif /* HNVQR_PLATFORM_IVI_CONFIG_SERVER_H */
