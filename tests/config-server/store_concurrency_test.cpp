// Stores opened, read and closed on many threads at once, and one store shared by them.
#include <atomic>
#include <thread>
#include <vector>

#include "config_test_support.h"

using namespace config_test;

namespace {

constexpr int kThreads = 8;
constexpr int kRounds = 40;

// One full read of the sample session; returns whether every value came back right.
bool ReadSampleSession(IviConfigStoreHandle store, const char* name) {
  IviDriverSessionHandle session = 0;
  IviHardwareAssetHandle asset = 0;
  IviVirtualNameCollectionHandle names = 0;
  ViInt32 count = 0;
  ViBoolean queryStatus = 0;
  char descriptor[128] = {};
  bool ok = IviConfig_GetDriverSession(store, name, &session) == VI_SUCCESS &&
            IviConfig_GetSessionHardwareAssetReference(session, &asset) == VI_SUCCESS &&
            IviConfig_GetHardwareAssetPropertyViString(asset, IVICONFIG_VAL_HARDWARE_ASSET_IO_RESOURCE_DESCRIPTOR,
                                                       sizeof descriptor, descriptor) == VI_SUCCESS &&
            IviConfig_GetDriverSessionPropertyViBoolean(session, IVICONFIG_VAL_DRIVER_SESSION_QUERY_INSTR_STATUS,
                                                        &queryStatus) == VI_SUCCESS &&
            IviConfig_GetSessionVirtualNameCollection(session, &names) == VI_SUCCESS &&
            IviConfig_GetVirtualNameCount(names, &count) == VI_SUCCESS;
  ok = ok && std::string(descriptor) == "TCPIP0::192.168.1.50::5025::SOCKET" && queryStatus == VI_TRUE && count == 1;
  for (IviConfigHandle handle : {names, asset, session}) ok = IviConfig_DisposeHandle(handle) == VI_SUCCESS && ok;
  return ok;
}

TEST(StoreConcurrencyTest, EightThreadsOpenReadAndCloseStoresAtOnce) {
  ScratchFolder scratch;
  const std::string good = scratch.Write("good.json", kSampleStore);
  const std::string bad = scratch.Write("bad.json", R"({"driverSessions": [{"name": 1}]})");
  const ViInt32 liveAtStart = IviConfig_GetLiveHandleCount();
  std::atomic<int> failures{0};
  std::vector<std::thread> threads;
  for (int t = 0; t < kThreads; ++t) {
    threads.emplace_back([&, t] {
      for (int round = 0; round < kRounds; ++round) {
        IviConfigStoreHandle store = 0;
        if (IviConfig_Initialize(&store) != VI_SUCCESS) ++failures;
        if ((t + round) % 4 == 0) {
          // A failing file on some threads: its error stays on the thread that met it.
          if (IviConfig_Deserialize(store, bad.c_str()) != IVICONFIG_ERROR_DESERIALIZE_FAILED) ++failures;
          if (LastErrorDescription().find("driverSessions[0].name") == std::string::npos) ++failures;
        } else {
          if (IviConfig_Deserialize(store, good.c_str()) != VI_SUCCESS) ++failures;
          if (!ReadSampleSession(store, round % 2 == 0 ? "MyPSU" : "PSU1")) ++failures;
        }
        if (IviConfig_Close(store) != VI_SUCCESS) ++failures;
      }
    });
  }
  for (std::thread& thread : threads) thread.join();
  EXPECT_EQ(failures.load(), 0);
  EXPECT_EQ(IviConfig_GetLiveHandleCount(), liveAtStart);
}

TEST(StoreConcurrencyTest, OneStoreIsReadByEightThreadsAndDeserializedOnce) {
  ScratchFolder scratch;
  const std::string good = scratch.Write("good.json", kSampleStore);
  const ViInt32 liveAtStart = IviConfig_GetLiveHandleCount();
  IviConfigStoreHandle store = 0;
  ASSERT_EQ(IviConfig_Initialize(&store), VI_SUCCESS);
  std::atomic<int> deserialized{0};
  std::atomic<int> failures{0};
  std::vector<std::thread> threads;
  for (int t = 0; t < kThreads; ++t) {
    threads.emplace_back([&] {
      const ViStatus status = IviConfig_Deserialize(store, good.c_str());
      if (status == VI_SUCCESS) {
        ++deserialized;
      } else if (status != IVICONFIG_ERROR_ALREADY_DESERIALIZED) {
        ++failures;
      }
      for (int round = 0; round < kRounds; ++round) {
        // Before the winning thread has read the file the store may still be empty.
        IviDriverSessionHandle session = 0;
        if (IviConfig_GetDriverSession(store, "PSU1", &session) == VI_SUCCESS) {
          IviConfig_DisposeHandle(session);
          if (!ReadSampleSession(store, "MyPSU")) ++failures;
        }
      }
    });
  }
  for (std::thread& thread : threads) thread.join();
  EXPECT_EQ(deserialized.load(), 1);
  EXPECT_EQ(failures.load(), 0);
  EXPECT_TRUE(ReadSampleSession(store, "MyPSU"));
  EXPECT_EQ(IviConfig_Close(store), VI_SUCCESS);
  EXPECT_EQ(IviConfig_GetLiveHandleCount(), liveAtStart);
}

}  // namespace
