// Handle accounting and misuse, string buffers, and the calling thread's last error.
#include <cstring>
#include <set>
#include <thread>

#include "config_test_support.h"

using namespace config_test;

namespace {

constexpr ViStatus kNullPointer = static_cast<ViStatus>(0xBFFA0058L);

class HandleAndErrorTest : public ::testing::Test {
 protected:
  void SetUp() override {
    liveAtStart_ = IviConfig_GetLiveHandleCount();
    file_ = scratch_.Write("store.json", kSampleStore);
  }
  void TearDown() override { EXPECT_EQ(IviConfig_GetLiveHandleCount(), liveAtStart_); }

  ScratchFolder scratch_;
  std::string file_;
  ViInt32 liveAtStart_ = 0;
};

TEST_F(HandleAndErrorTest, EveryHandleIsFreshAndCountedUntilDisposed) {
  IviConfigStoreHandle store = 0;
  ASSERT_EQ(IviConfig_Initialize(&store), VI_SUCCESS);
  ASSERT_EQ(IviConfig_Deserialize(store, file_.c_str()), VI_SUCCESS);
  IviDriverSessionHandle first = 0, second = 0;
  IviVirtualNameCollectionHandle names = 0;
  ASSERT_EQ(IviConfig_GetDriverSession(store, "PSU1", &first), VI_SUCCESS);
  ASSERT_EQ(IviConfig_GetDriverSession(store, "PSU1", &second), VI_SUCCESS);
  ASSERT_EQ(IviConfig_GetSessionVirtualNameCollection(first, &names), VI_SUCCESS);
  EXPECT_EQ((std::set<IviConfigHandle>{0, store, first, second, names}).size(), 5u) << "distinct and non-zero";
  EXPECT_EQ(IviConfig_GetLiveHandleCount(), liveAtStart_ + 4);

  // Closing the store leaves what was obtained from it usable until disposed.
  ASSERT_EQ(IviConfig_Close(store), VI_SUCCESS);
  EXPECT_EQ(IviConfig_GetLiveHandleCount(), liveAtStart_ + 3);
  EXPECT_EQ(ReadText(IviConfig_GetDriverSessionPropertyViString, second, IVICONFIG_VAL_DRIVER_SESSION_DRIVER_SETUP),
            "Model:VQR-A4");
  ViInt32 count = 0;
  EXPECT_EQ(IviConfig_GetVirtualNameCount(names, &count), VI_SUCCESS);
  EXPECT_EQ(count, 1);

  for (IviConfigHandle handle : {first, second, names}) EXPECT_EQ(IviConfig_DisposeHandle(handle), VI_SUCCESS);
  EXPECT_EQ(IviConfig_DisposeHandle(first), IVICONFIG_ERROR_INVALID_HANDLE);
  EXPECT_EQ(LastErrorDescription(),
            "The handle " + std::to_string(first) + " is not a valid configuration server handle");
  EXPECT_EQ(IviConfig_Close(store), IVICONFIG_ERROR_INVALID_HANDLE);
  EXPECT_EQ(IviConfig_DisposeHandle(0), VI_SUCCESS) << "0 stands for no object, as for a session without asset";
}

TEST_F(HandleAndErrorTest, MisusedHandlesPropertiesAndIndicesAreErrors) {
  OpenStore store(file_);
  ASSERT_EQ(store.status(), VI_SUCCESS);
  EXPECT_EQ(IviConfig_Deserialize(store.handle(), file_.c_str()), IVICONFIG_ERROR_ALREADY_DESERIALIZED);

  IviDriverSessionHandle session = 0;
  ASSERT_EQ(IviConfig_GetDriverSession(store.handle(), "PSU1", &session), VI_SUCCESS);
  char text[64] = {};
  ViBoolean flag = 0;
  ViInt32 number = 0;
  // A session handle where a hardware asset, a store or a collection is expected.
  EXPECT_EQ(IviConfig_GetHardwareAssetPropertyViString(session, 3, sizeof text, text), IVICONFIG_ERROR_INVALID_HANDLE);
  EXPECT_EQ(LastErrorDescription(), "The handle " + std::to_string(session) + " is not a valid hardware asset handle");
  EXPECT_EQ(IviConfig_Close(session), IVICONFIG_ERROR_INVALID_HANDLE);
  EXPECT_EQ(IviConfig_GetVirtualNameCount(session, &number), IVICONFIG_ERROR_INVALID_HANDLE);
  IviDriverSessionHandle none = 77;
  EXPECT_EQ(IviConfig_GetDriverSession(session, "PSU1", &none), IVICONFIG_ERROR_INVALID_HANDLE);
  EXPECT_EQ(none, 0u) << "outputs are zeroed on failure";

  EXPECT_EQ(IviConfig_GetDriverSessionPropertyViBoolean(session, 10, &flag), IVICONFIG_ERROR_INVALID_PROPERTY_ID);
  EXPECT_EQ(LastErrorDescription(), "The property 10 is not a ViBoolean property of a driver session");
  EXPECT_EQ(IviConfig_GetDriverSessionPropertyViString(session, 4, sizeof text, text),
            IVICONFIG_ERROR_INVALID_PROPERTY_ID);
  EXPECT_EQ(IviConfig_GetConfigStorePropertyViString(store.handle(), 4, sizeof text, text),
            IVICONFIG_ERROR_INVALID_PROPERTY_ID);

  IviVirtualNameCollectionHandle names = 0;
  IviVirtualNameHandle name = 0;
  ASSERT_EQ(IviConfig_GetSessionVirtualNameCollection(session, &names), VI_SUCCESS);
  EXPECT_EQ(IviConfig_GetVirtualNameItemByIndex(names, 0, &name), IVICONFIG_ERROR_NOT_EXIST);
  EXPECT_EQ(IviConfig_GetVirtualNameItemByIndex(names, 2, &name), IVICONFIG_ERROR_NOT_EXIST);
  EXPECT_EQ(LastErrorDescription(), "The index 2 is outside the collection, which holds 1 item(s) from index 1");
  ASSERT_EQ(IviConfig_GetVirtualNameItemByIndex(names, 1, &name), VI_SUCCESS);
  EXPECT_EQ(IviConfig_GetVirtualNamePropertyViString(name, 3, sizeof text, text), IVICONFIG_ERROR_INVALID_PROPERTY_ID);

  EXPECT_EQ(IviConfig_GetVirtualNameCount(names, nullptr), kNullPointer);
  EXPECT_EQ(IviConfig_GetDriverSession(store.handle(), nullptr, &none), kNullPointer);
  EXPECT_EQ(IviConfig_Initialize(nullptr), kNullPointer);
  for (IviConfigHandle handle : {name, names, session}) EXPECT_EQ(IviConfig_DisposeHandle(handle), VI_SUCCESS);
}

// Every call checks its output first, then a name it looks up, then its handle: the first
// failing check is the one recorded.
TEST_F(HandleAndErrorTest, OutputThenNameThenHandleIsTheOrderOfChecks) {
  constexpr IviConfigHandle kNoSuchHandle = 0xFFFFFFF0u;
  EXPECT_EQ(IviConfig_GetDriverSession(kNoSuchHandle, nullptr, nullptr), kNullPointer);
  EXPECT_EQ(LastErrorDescription(), "The parameter 'session' is a null pointer");
  IviConfigHandle out = 77;
  EXPECT_EQ(IviConfig_GetSoftwareModuleItemByName(kNoSuchHandle, nullptr, &out), kNullPointer);
  EXPECT_EQ(LastErrorDescription(), "The parameter 'name' is a null pointer");
  EXPECT_EQ(out, 0u) << "cleared before the name is checked";
  out = 77;
  EXPECT_EQ(IviConfig_GetSessionHardwareAssetReference(kNoSuchHandle, &out), IVICONFIG_ERROR_INVALID_HANDLE);
  EXPECT_EQ(LastErrorDescription(),
            "The handle " + std::to_string(kNoSuchHandle) + " is not a valid driver session handle");
  EXPECT_EQ(out, 0u);
  EXPECT_EQ(IviConfig_GetVirtualRangePropertyViInt32(kNoSuchHandle, 999, nullptr), kNullPointer);
  EXPECT_EQ(LastErrorDescription(), "The parameter 'value' is a null pointer");
  EXPECT_EQ(IviConfig_GetDataComponentPropertyViBoolean(kNoSuchHandle, 999, nullptr), kNullPointer);
  ViBoolean flag = 0;
  EXPECT_EQ(IviConfig_GetDriverSessionPropertyViBoolean(kNoSuchHandle, 999, &flag), IVICONFIG_ERROR_INVALID_HANDLE);
  EXPECT_EQ(LastErrorDescription(),
            "The handle " + std::to_string(kNoSuchHandle) + " is not a valid driver session handle");
  EXPECT_EQ(IviConfig_GetStructureDataComponentCollection(kNoSuchHandle, nullptr), kNullPointer);
  EXPECT_EQ(LastErrorDescription(), "The parameter 'items' is a null pointer");
}

TEST_F(HandleAndErrorTest, StringsNeverOverrunTheCallersBuffer) {
  OpenStore store(file_);
  IviDriverSessionHandle session = 0;
  ASSERT_EQ(IviConfig_GetDriverSession(store.handle(), "MyPSU", &session), VI_SUCCESS);
  const ViInt32 property = IVICONFIG_VAL_DRIVER_SESSION_DRIVER_SETUP;  // "Model:VQR-A4", 12 characters
  char buffer[16];
  std::memset(buffer, '#', sizeof buffer);
  EXPECT_EQ(IviConfig_GetDriverSessionPropertyViString(session, property, 0, buffer), 13) << "size needed";
  EXPECT_EQ(IviConfig_GetDriverSessionPropertyViString(session, property, -5, buffer), 13);
  EXPECT_EQ(buffer[0], '#') << "nothing written for a size <= 0";
  EXPECT_EQ(IviConfig_GetDriverSessionPropertyViString(session, property, 6, buffer), 13) << "cut: a warning";
  EXPECT_STREQ(buffer, "Model");
  EXPECT_EQ(buffer[6], '#');
  EXPECT_EQ(IviConfig_GetDriverSessionPropertyViString(session, property, 5, nullptr), 13);
  EXPECT_EQ(IviConfig_GetDriverSessionPropertyViString(session, property, 13, buffer), VI_SUCCESS);
  EXPECT_STREQ(buffer, "Model:VQR-A4");
  IviConfig_DisposeHandle(session);
}

TEST_F(HandleAndErrorTest, LastErrorIsPerThreadKeptUntilClearedAndCopiedSafely) {
  OpenStore store(file_);
  IviDriverSessionHandle session = 0;
  ASSERT_EQ(IviConfig_GetDriverSession(store.handle(), "PSU7", &session), IVICONFIG_ERROR_SESSION_NOT_FOUND);
  const std::string expected = "There is no logical name or driver session named 'PSU7' in the configuration store";

  ViStatus code = 0;
  EXPECT_EQ(IviConfig_GetError(&code, 0, nullptr), static_cast<ViStatus>(expected.size() + 1));
  EXPECT_EQ(code, IVICONFIG_ERROR_SESSION_NOT_FOUND);
  char small[9];
  std::memset(small, '#', sizeof small);
  EXPECT_EQ(IviConfig_GetError(nullptr, 8, small), static_cast<ViStatus>(expected.size() + 1));
  EXPECT_STREQ(small, "There i");
  EXPECT_EQ(small[8], '#');
  EXPECT_EQ(LastErrorDescription(), expected) << "reading does not clear";
  // Successful calls leave the last error alone.
  ASSERT_EQ(IviConfig_GetDriverSession(store.handle(), "PSU1", &session), VI_SUCCESS);
  EXPECT_EQ(LastErrorDescription(), expected);

  std::thread([] {
    EXPECT_EQ(LastErrorCode(), VI_SUCCESS);
    EXPECT_EQ(LastErrorDescription(), "");
  }).join();

  EXPECT_EQ(IviConfig_ClearError(), VI_SUCCESS);
  EXPECT_EQ(LastErrorCode(), VI_SUCCESS);
  EXPECT_EQ(LastErrorDescription(), "");
  IviConfig_DisposeHandle(session);
}

}  // namespace
