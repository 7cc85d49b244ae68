// Each exported call turns its handle into the session object once, in its call frame; the
// attribute helpers, cache scopes, selectors and nested operations it runs are handed the
// object. Counted in builds with HNVQR_COUNT_SESSION_LOOKUPS (debug and sanitizer builds).
#include <functional>
#include <string>

#include "DriverTestSupport.h"
#include "kel/Frame.h"

namespace driver_test {
namespace {

struct LookupCase {
  const char* name;
  std::function<ViStatus(ViSession)> call;
};

TEST(SessionLookups, EveryCallLooksItsSessionUpOnce) {
  if (kel::SessionLookupsOnThisThread() < 0) GTEST_SKIP() << "this build does not count session lookups";
  static ViReal64 real = 0;
  static ViInt32 int32 = 0;
  static ViBoolean boolean = 0;
  static char text[256] = {};
  static char text2[256] = {};
  const LookupCase cases[] = {
      {"ConfigureVoltageLevel", [](ViSession vi) { return HnVQR_ConfigureVoltageLevel(vi, "CH1", 12.5); }},
      {"ConfigureCurrentLimit",
       [](ViSession vi) { return HnVQR_ConfigureCurrentLimit(vi, "CH1", HNVQR_VAL_CURRENT_TRIP, 2.0); }},
      {"ConfigureOVP", [](ViSession vi) { return HnVQR_ConfigureOVP(vi, "CH1", VI_TRUE, 30.0); }},
      {"ConfigureOutputEnabled", [](ViSession vi) { return HnVQR_ConfigureOutputEnabled(vi, "CH1", VI_TRUE); }},
      {"ResetOutputProtection", [](ViSession vi) { return HnVQR_ResetOutputProtection(vi, "CH1"); }},
      {"MeasureVoltage", [](ViSession vi) { return HnVQR_MeasureVoltage(vi, &real); }},
      {"Measure", [](ViSession vi) { return HnVQR_Measure(vi, "CH1", HNVQR_VAL_MEASURE_CURRENT, &real); }},
      {"QueryOutputState",
       [](ViSession vi) { return HnVQR_QueryOutputState(vi, "CH1", HNVQR_VAL_OUTPUT_CONSTANT_VOLTAGE, &boolean); }},
      {"SetMaxVoltageLevel", [](ViSession vi) { return HnVQR_SetMaxVoltageLevel(vi); }},
      {"revision_query", [](ViSession vi) { return HnVQR_revision_query(vi, text, text2); }},
      {"error_query", [](ViSession vi) { return HnVQR_error_query(vi, &int32, text); }},
      {"GetAttributeViReal64",
       [](ViSession vi) { return HnVQR_GetAttributeViReal64(vi, "CH1", HNVQR_ATTR_VOLTAGE_LEVEL, &real); }},
      {"SetAttributeViReal64",
       [](ViSession vi) { return HnVQR_SetAttributeViReal64(vi, "CH1", HNVQR_ATTR_OVP_LIMIT, 30.0); }},
      {"SetAttributeViReal64 CURRENT_LIMIT",
       [](ViSession vi) { return HnVQR_SetAttributeViReal64(vi, "CH1", HNVQR_ATTR_CURRENT_LIMIT, 2.0); }},
      {"GetAttributeViBoolean OUTPUT_ENABLED",
       [](ViSession vi) { return HnVQR_GetAttributeViBoolean(vi, "CH1", HNVQR_ATTR_OUTPUT_ENABLED, &boolean); }},
      {"GetAttributeViString",
       [](ViSession vi) { return HnVQR_GetAttributeViString(vi, "", HNVQR_ATTR_INSTRUMENT_MODEL, 256, text); }},
  };
  Session session;
  ASSERT_SESSION_OPEN(session);
  for (const LookupCase& c : cases) {
    const std::int64_t before = kel::SessionLookupsOnThisThread();
    EXPECT_EQ(c.call(session), VI_SUCCESS) << c.name << ": " << TakeError(session);
    EXPECT_EQ(kel::SessionLookupsOnThisThread() - before, 1) << c.name;
  }
}

}  // namespace
}  // namespace driver_test
