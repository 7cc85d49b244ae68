// Configuration store files: the input is written to a scratch file that IVI_CONFIG_STORE
// names, read with IviConfig_Initialize / IviConfig_Deserialize / IviConfig_Close, walked
// through the lookups the driver makes, and then a simulated session is opened by the
// logical name "MyPSU" (the option string forces simulation, so no store entry can make the
// driver reach for a network address). Every handle taken is given back.
#include <stdlib.h>

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>

#include "FuzzSupport.h"
#include "HnVQR.h"
#include "IviConfigServer.h"
#include "IviSessionServices.h"

namespace {

std::string storePath;

void ReadStore(const std::string& location) {
  IviConfigStoreHandle store = 0;
  FUZZ_CHECK(IviConfig_Initialize(&store) == VI_SUCCESS);
  char text[64];
  (void)IviConfig_GetConfigStorePropertyViString(store, IVICONFIG_VAL_CONFIG_STORE_PROCESS_DEFAULT_LOCATION,
                                                 static_cast<ViInt32>(sizeof text), text);
  if (IviConfig_Deserialize(store, location.c_str()) >= 0) {
    // A second read of the same store is refused.
    FUZZ_CHECK(IviConfig_Deserialize(store, location.c_str()) == IVICONFIG_ERROR_ALREADY_DESERIALIZED);
    for (const char* name : {"MyPSU", "PSU1"}) {
      IviDriverSessionHandle session = 0;
      if (IviConfig_GetDriverSession(store, name, &session) < 0) continue;
      ViBoolean flag = VI_FALSE;
      (void)IviConfig_GetDriverSessionPropertyViBoolean(session, IVICONFIG_VAL_DRIVER_SESSION_SIMULATE, &flag);
      // A short buffer: the text is cut, terminated inside it.
      std::memset(text, 0x55, sizeof text);
      const ViStatus setup =
          IviConfig_GetDriverSessionPropertyViString(session, IVICONFIG_VAL_DRIVER_SESSION_DRIVER_SETUP, 8, text);
      if (setup >= 0) FUZZ_CHECK(std::memchr(text, '\0', 8) != nullptr && text[8] == 0x55);
      IviHardwareAssetHandle asset = 0;
      if (IviConfig_GetSessionHardwareAssetReference(session, &asset) >= 0 && asset != 0) {
        (void)IviConfig_GetHardwareAssetPropertyViString(asset, IVICONFIG_VAL_HARDWARE_ASSET_IO_RESOURCE_DESCRIPTOR,
                                                         static_cast<ViInt32>(sizeof text), text);
        FUZZ_CHECK(IviConfig_DisposeHandle(asset) == VI_SUCCESS);
      }
      FUZZ_CHECK(IviConfig_DisposeHandle(session) == VI_SUCCESS);
    }
  }
  ViStatus code = 0;
  char description[256];
  (void)IviConfig_GetError(&code, static_cast<ViInt32>(sizeof description), description);
  (void)IviConfig_ClearError();
  FUZZ_CHECK(IviConfig_Close(store) == VI_SUCCESS);
}

void InitByLogicalName() {
  ViSession vi = VI_NULL;
  const ViStatus status = HnVQR_InitWithOptions(const_cast<ViRsrc>("MyPSU"), VI_FALSE, VI_FALSE, "Simulate=1", &vi);
  if (status < 0) {
    FUZZ_CHECK(vi == VI_NULL);
    ViStatus code = 0;
    char description[1024];
    (void)HnVQR_GetError(VI_NULL, &code, static_cast<ViInt32>(sizeof description), description);
    return;
  }
  FUZZ_CHECK(vi != VI_NULL);
  // The channel names the store's virtual names produced.
  ViInt32 count = 0;
  if (HnVQR_GetAttributeViInt32(vi, "", HNVQR_ATTR_CHANNEL_COUNT, &count) >= 0) {
    for (ViInt32 index = 1; index <= count && index <= 8; ++index) {
      char name[32];
      (void)HnVQR_GetChannelName(vi, index, static_cast<ViInt32>(sizeof name), name);
      ViBoolean enabled = VI_FALSE;
      (void)HnVQR_GetAttributeViBoolean(vi, name, HNVQR_ATTR_OUTPUT_ENABLED, &enabled);
    }
  }
  (void)HnVQR_SetAttributeViBoolean(vi, "Out1", HNVQR_ATTR_OUTPUT_ENABLED, VI_TRUE);
  char model[64];
  (void)HnVQR_GetAttributeViString(vi, "", HNVQR_ATTR_INSTRUMENT_MODEL, static_cast<ViInt32>(sizeof model), model);
  FUZZ_CHECK(HnVQR_close(vi) == VI_SUCCESS);
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  static fuzz::ScratchFolder folder;
  if (!folder.ok()) std::abort();
  storePath = folder.File("store.json");
  setenv("IVI_CONFIG_STORE", storePath.c_str(), 1);
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (!fuzz::WriteFile(storePath, data, size)) std::abort();
  const ViInt32 handlesBefore = IviConfig_GetLiveHandleCount();
  const ViInt32 sessionsBefore = IviSession_GetLiveSessionCount();
  ReadStore(storePath);
  FUZZ_CHECK(IviConfig_GetLiveHandleCount() == handlesBefore);
  InitByLogicalName();
  FUZZ_CHECK(IviConfig_GetLiveHandleCount() == handlesBefore);
  FUZZ_CHECK(IviSession_GetLiveSessionCount() == sessionsBefore);
  return 0;
}
