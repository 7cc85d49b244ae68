#include "kel/text/Decimal.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <cstdlib>
#include <random>
#include <string>

namespace kel::text {
namespace {

TEST(DecimalTest, ParseDigitsAcceptsOnlyDigitsWithinTheType) {
  std::int32_t value32 = -1;
  EXPECT_EQ(ParseDigits("2147483647", value32), DecimalStatus::kOk);
  EXPECT_EQ(value32, 2147483647);
  EXPECT_EQ(ParseDigits("0000000000000000000000000012", value32), DecimalStatus::kOk);
  EXPECT_EQ(value32, 12);
  value32 = 7;
  EXPECT_EQ(ParseDigits("2147483648", value32), DecimalStatus::kOverflow);
  EXPECT_EQ(ParseDigits("99999999999999999999999999", value32), DecimalStatus::kOverflow);
  EXPECT_EQ(ParseDigits("", value32), DecimalStatus::kInvalid);
  EXPECT_EQ(ParseDigits("12a", value32), DecimalStatus::kInvalid);
  EXPECT_EQ(ParseDigits("-1", value32), DecimalStatus::kInvalid);
  EXPECT_EQ(ParseDigits(" 1", value32), DecimalStatus::kInvalid);
  EXPECT_EQ(value32, 7) << "a failed parse leaves the value alone";

  std::int64_t value64 = 0;
  EXPECT_EQ(ParseDigits("9223372036854775807", value64), DecimalStatus::kOk);
  EXPECT_EQ(value64, INT64_MAX);
  EXPECT_EQ(ParseDigits("9223372036854775808", value64), DecimalStatus::kOverflow);
  EXPECT_EQ(ParseDigits("18446744073709551616", value64), DecimalStatus::kOverflow);
  EXPECT_EQ(ParseDigits(std::string(1 << 20, '9'), value64), DecimalStatus::kOverflow);
}

TEST(DecimalTest, ReadLeadingIntegerHandlesSignsAndLimits) {
  LeadingInteger r = ReadLeadingInteger(" \t-12abc");
  EXPECT_EQ(r.status, DecimalStatus::kOk);
  EXPECT_EQ(r.value, -12);
  EXPECT_EQ(r.length, 5u);

  r = ReadLeadingInteger("-9223372036854775808");
  EXPECT_EQ(r.status, DecimalStatus::kOk);
  EXPECT_EQ(r.value, INT64_MIN);
  r = ReadLeadingInteger("-9223372036854775809");
  EXPECT_EQ(r.status, DecimalStatus::kOverflow);
  EXPECT_EQ(r.value, INT64_MIN);
  r = ReadLeadingInteger("+9223372036854775808 V");
  EXPECT_EQ(r.status, DecimalStatus::kOverflow);
  EXPECT_EQ(r.value, INT64_MAX);
  EXPECT_EQ(r.length, 20u);

  for (const char* invalid : {"", "+", "-", " ", "x1", "- 1", "+-1"}) {
    r = ReadLeadingInteger(invalid);
    EXPECT_EQ(r.status, DecimalStatus::kInvalid) << invalid;
    EXPECT_EQ(r.length, 0u) << invalid;
  }
}

// strtoll in base 10 is the model of the leading-integer reader.
TEST(DecimalTest, ReadLeadingIntegerAgreesWithStrtoll) {
  const std::string alphabet = " \t\n+-0123456789x";
  std::mt19937 random(20240611);
  for (int i = 0; i < 20000; ++i) {
    std::string text;
    const int length = static_cast<int>(random() % 24);
    for (int k = 0; k < length; ++k) text.push_back(alphabet[random() % alphabet.size()]);
    if (i % 4 == 0) text = "-92233720368547758" + text;

    errno = 0;
    char* end = nullptr;
    const long long expected = std::strtoll(text.c_str(), &end, 10);
    const bool overflow = errno == ERANGE;
    const auto expectedLength = static_cast<std::size_t>(end - text.c_str());

    const LeadingInteger r = ReadLeadingInteger(text);
    SCOPED_TRACE("text '" + text + "'");
    if (expectedLength == 0) {
      ASSERT_EQ(r.status, DecimalStatus::kInvalid);
      continue;
    }
    ASSERT_EQ(r.status, overflow ? DecimalStatus::kOverflow : DecimalStatus::kOk);
    ASSERT_EQ(r.value, expected);
    ASSERT_EQ(r.length, expectedLength);
  }
}

}  // namespace
}  // namespace kel::text
