// The message formatter: %s and %d filled in order from typed arguments, argument text never
// read as a format, the result cut at its limit.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "kel/Errors.h"
#include "kel/Format.h"

namespace {

std::string Format(std::string_view format, std::vector<kel::MessageArg> args, std::size_t max = 1023) {
  return kel::FormatMessage(format, args, max);
}

TEST(MessageFormat, FillsConversionsInOrderAcrossMessageAndElaboration) {
  EXPECT_EQ(Format("Invalid value '%s' for function '%s', parameter '%s'.", {"1", "F", "P"}),
            "Invalid value '1' for function 'F', parameter 'P'.");
  EXPECT_EQ(Format("%s has %d names", {"X", 3}), "X has 3 names");
  EXPECT_EQ(Format("%d %d", {-1073807339, 4294967295u}), "-1073807339 4294967295");
  EXPECT_EQ(Format("100%% sure", {}), "100% sure");
}

TEST(MessageFormat, ArgumentTextIsNeverAFormat) {
  EXPECT_EQ(Format("'%s'", {"%s%d%n%x"}), "'%s%d%n%x'");
  EXPECT_EQ(Format("%s and %s", {"only one"}), "only one and ");
  EXPECT_EQ(Format("%x %n %", {"unused"}), "%x %n %");
}

TEST(MessageFormat, ResultIsCutAtItsLimit) {
  const std::string long_text(5000, 'x');
  EXPECT_EQ(Format("%s", {long_text}).size(), 1023u);
  EXPECT_EQ(Format(long_text, {}).size(), 1023u);
  EXPECT_EQ(Format("ab%scd", {"0123456789"}, 5), "ab012");
}

TEST(MessageFormat, DescriptionsAppendTheElaborationAfterTwoBlanks) {
  const std::vector<kel::MessageArg> args{"Simulate"};
  EXPECT_EQ(kel::BuildErrorDescription(static_cast<ViStatus>(0xBFFA0000),
                                       "Inherent option '%s' appears more than once.", args),
            "Failure cannot recover.  Inherent option 'Simulate' appears more than once.");
  // A code without a message records only the elaboration.
  EXPECT_EQ(kel::BuildErrorDescription(static_cast<ViStatus>(0xBFFA7777), "extra", {}), "  extra");
  EXPECT_EQ(kel::BuildErrorDescription(static_cast<ViStatus>(0xBFFA7777), "", {}), "");
}

}  // namespace
