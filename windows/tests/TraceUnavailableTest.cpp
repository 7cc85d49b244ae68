// The Windows driver has no call trace of its own: a session that asks for one, in its
// DriverSetup or through HNVQR_TRACE, is refused at initialization with the reason, and no
// file is made.
#include <gtest/gtest.h>
#include <io.h>

#include <cstdlib>
#include <string>

#include "HnVQR.h"
#include "../../tests/support/LastError.h"

namespace {

using test_support::LastError;

std::string Refusal(const std::string& file) {
  return "Failure cannot recover.  The trace file '" + file +
         "' cannot be opened: the driver's call trace is not available in the Windows build.";
}

TEST(TraceUnavailable, TraceRequestFailsTheInitializationAndMakesNoFile) {
  const std::string file = "trace-unavailable.jsonl";
  struct Case {
    const char* what;
    std::string options;
    const char* environment;
  };
  const Case cases[] = {
      {"DriverSetup TraceFile", "Simulate=1, DriverSetup=TraceFile:" + file, ""},
      {"HNVQR_TRACE", "Simulate=1", file.c_str()},
  };
  for (const Case& c : cases) {
    ASSERT_EQ(_putenv_s("HNVQR_TRACE", c.environment), 0);
    ViSession vi = VI_NULL;
    EXPECT_EQ(HnVQR_InitWithOptions(const_cast<ViRsrc>("SIM"), VI_FALSE, VI_FALSE, c.options.c_str(), &vi),
              IVI_ERROR_CANNOT_RECOVER)
        << c.what;
    EXPECT_EQ(vi, VI_NULL) << c.what;
    EXPECT_EQ(LastError(VI_NULL), Refusal(file)) << c.what;
    EXPECT_NE(_access(file.c_str(), 0), 0) << c.what;
  }
  ASSERT_EQ(_putenv_s("HNVQR_TRACE", ""), 0);
}

}  // namespace
