// Many sessions opened and closed in a row, some of them failing: every session handle
// and every configuration server handle is given back.
#include <string>

#include "DriverTestSupport.h"

namespace driver_test {
namespace {

TEST(SessionLifecycle, TenThousandInitsGiveBackEveryHandle) {
  const ViInt32 sessionsBefore = IviSession_GetLiveSessionCount();
  const ViInt32 configHandlesBefore = IviConfig_GetLiveHandleCount();
  const char* const failing[] = {"Simulate=1, Bogus=1", "Simulate=1, InterchangeCheck=1",
                                 "Simulate=1, DriverSetup=Model:VQR-Z9", "Simulate=1, Cache=1, cache=1"};
  int opened = 0;
  int refused = 0;
  for (int cycle = 0; cycle < 10000; ++cycle) {
    ViSession vi = VI_NULL;
    if (cycle % 4 == 3) {
      const ViStatus status = HnVQR_InitWithOptions(const_cast<ViRsrc>(kResource), VI_TRUE, VI_TRUE,
                                                    failing[(cycle / 4) % 4], &vi);
      ASSERT_LT(status, 0) << cycle;
      ASSERT_EQ(vi, VI_NULL) << cycle;
      ++refused;
      continue;
    }
    ASSERT_EQ(HnVQR_InitWithOptions(const_cast<ViRsrc>(kResource), VI_TRUE, cycle % 2 == 0 ? VI_TRUE : VI_FALSE,
                                    "Simulate=1, DriverSetup=Model:VQR-A1", &vi),
              VI_SUCCESS)
        << cycle;
    // Touch what a session builds lazily, so that close has it to clean up.
    ViBoolean enabled = VI_FALSE;
    ASSERT_EQ(HnVQR_GetAttributeViBoolean(vi, "CH1", HNVQR_ATTR_OUTPUT_ENABLED, &enabled), VI_SUCCESS);
    ASSERT_EQ(HnVQR_SetAttributeViReal64(vi, "", HNVQR_ATTR_VOLTAGE_LEVEL, cycle), VI_SUCCESS);
    ASSERT_EQ(HnVQR_close(vi), VI_SUCCESS) << cycle;
    ++opened;
  }
  EXPECT_EQ(opened, 7500);
  EXPECT_EQ(refused, 2500);
  EXPECT_EQ(IviSession_GetLiveSessionCount(), sessionsBefore);
  EXPECT_EQ(IviConfig_GetLiveHandleCount(), configHandlesBefore);
}

}  // namespace
}  // namespace driver_test
