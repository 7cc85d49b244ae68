// The store itself: opening, reading, closing, its properties, handle disposal, and the
// lookups that start from a store.
#include <string>
#include <string_view>

#include "api_support.h"
#include "store_loader.h"
#include "store_location.h"

using namespace hnvqr::config;

namespace {

// Logical names first, then session names; both compared exactly.
const DriverSession* FindDriverSession(const StoreData& store, std::string_view name) {
  for (const LogicalName& logical : store.logicalNames) {
    if (logical.name == name) return &store.driverSessions[logical.session];
  }
  for (const DriverSession& session : store.driverSessions) {
    if (session.name == name) return &session;
  }
  return nullptr;
}

}  // namespace

extern "C" {

ViStatus _VI_FUNC IviConfig_Initialize(IviConfigStoreHandle* store) {
  return Guarded([&]() -> ViStatus {
    if (store == nullptr) return NullPointer("store");
    // An empty store until IviConfig_Deserialize reads one.
    *store = NewHandle(std::make_shared<const StoreData>(), StoreObject{});
    return VI_SUCCESS;
  });
}

ViStatus _VI_FUNC IviConfig_Close(IviConfigStoreHandle store) {
  return Guarded([&]() -> ViStatus {
    // Handles obtained from the store stay valid (they share its contents) until disposed.
    Resolved<StoreObject> resolved;
    if (const ViStatus status = Resolve(store, resolved); status != VI_SUCCESS) return status;
    if (!HandleTable::Instance().Erase(store)) return InvalidHandle(store, "configuration store");
    return VI_SUCCESS;
  });
}

ViStatus _VI_FUNC IviConfig_Deserialize(IviConfigStoreHandle store, ViConstString location) {
  return Guarded([&]() -> ViStatus {
    Resolved<StoreObject> resolved;
    if (const ViStatus status = Resolve(store, resolved); status != VI_SUCCESS) return status;
    if (resolved.object.deserialized) {
      return RecordError(IVICONFIG_ERROR_ALREADY_DESERIALIZED, "The configuration store has already been read");
    }
    if (location == nullptr) return NullPointer("location");
    LoadedStore loaded = LoadStore(location);
    if (!loaded.data) return RecordError(IVICONFIG_ERROR_DESERIALIZE_FAILED, loaded.error);
    switch (HandleTable::Instance().AttachStoreData(store, std::move(loaded.data))) {
      case HandleTable::AttachResult::Attached:
        return VI_SUCCESS;
      case HandleTable::AttachResult::AlreadyDeserialized:
        return RecordError(IVICONFIG_ERROR_ALREADY_DESERIALIZED, "The configuration store has already been read");
      case HandleTable::AttachResult::NotAStore:
        break;
    }
    return InvalidHandle(store, "configuration store");  // closed by another thread meanwhile
  });
}

ViStatus _VI_FUNC IviConfig_GetConfigStorePropertyViString(IviConfigStoreHandle store, ViInt32 propertyId,
                                                           ViInt32 bufferSize, ViChar value[]) {
  return Guarded([&]() -> ViStatus {
    Resolved<StoreObject> resolved;
    if (const ViStatus status = Resolve(store, resolved); status != VI_SUCCESS) return status;
    switch (propertyId) {
      case IVICONFIG_VAL_CONFIG_STORE_MASTER_LOCATION:
        return CopyText(MasterStoreLocation(), bufferSize, value);
      case IVICONFIG_VAL_CONFIG_STORE_PROCESS_DEFAULT_LOCATION:
        return CopyText(ProcessDefaultStoreLocation(), bufferSize, value);
      default:
        return UnknownProperty(propertyId, "configuration store", "ViString");
    }
  });
}

ViStatus _VI_FUNC IviConfig_DisposeHandle(IviConfigHandle handle) {
  return Guarded([&]() -> ViStatus {
    // 0 is "no object" (e.g. a session without hardware asset): nothing to release.
    if (handle == 0) return VI_SUCCESS;
    if (!HandleTable::Instance().Erase(handle)) return InvalidHandle(handle, "configuration server");
    return VI_SUCCESS;
  });
}

ViInt32 _VI_FUNC IviConfig_GetLiveHandleCount(void) { return static_cast<ViInt32>(HandleTable::Instance().Size()); }

ViStatus _VI_FUNC IviConfig_GetDriverSession(IviConfigStoreHandle store, ViConstString name,
                                             IviDriverSessionHandle* session) {
  return Guarded([&] {
    return DeriveByName<StoreObject>(store, name, session, "session", [&](const auto& resolved, IviConfigHandle& out) {
      const DriverSession* found = FindDriverSession(*resolved.data, name);
      if (found == nullptr) {
        return RecordError(
            IVICONFIG_ERROR_SESSION_NOT_FOUND,
            std::string("There is no logical name or driver session named '") + name + "' in the configuration store");
      }
      out = NewHandle(resolved.data, ItemRef<DriverSession>{found});
      return VI_SUCCESS;
    });
  });
}

ViStatus _VI_FUNC IviConfig_GetConfigStoreSoftwareModuleCollection(IviConfigStoreHandle store,
                                                                   IviSoftwareModuleCollectionHandle* modules) {
  return Guarded([&] {
    return DeriveFrom<StoreObject>(store, modules, "modules", [](const auto& resolved, IviConfigHandle& out) {
      out = NewHandle(resolved.data, CollectionRef<SoftwareModule>{&resolved.data->softwareModules});
      return VI_SUCCESS;
    });
  });
}

}  // extern "C"
