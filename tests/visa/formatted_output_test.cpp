// Formatted output: the bytes that leave for the instrument, and when they leave.
#include <gtest/gtest.h>

#include <clocale>
#include <cstdio>

#include "memory_session.h"

namespace hnvqr::visa::test {
namespace {

TEST(FormattedOutput, DriverCommandsGiveExactBytes) {
  MemorySession s;
  EXPECT_EQ(s.printf("VOLT %0.15lg\n", 12.5), VI_SUCCESS);
  EXPECT_EQ(s.printf("VOLT %0.15lg\n", 1e-20), VI_SUCCESS);
  EXPECT_EQ(s.printf("CAL:CALC:VOLT:PAR %0.15lg,%0.15lg,%0.15lg,%0.15lg\n", 1.0, 2.5, 0.001, 100.0), VI_SUCCESS);
  EXPECT_EQ(s.printf("*SRE %ld\n", ViInt32{32}), VI_SUCCESS);
  EXPECT_EQ(s.printf("*SRE %ld\n", ViInt32{-2147483647 - 1}), VI_SUCCESS);
  EXPECT_EQ(s.printf("SYST:REM %s\n", "ON"), VI_SUCCESS);
  EXPECT_EQ(s.printf("X %0.15lg %0.15lg\n", 0.1, 1.0 / 3.0), VI_SUCCESS);
  EXPECT_EQ(s.transport->sent(),
            "VOLT 12.5\nVOLT 1e-20\nCAL:CALC:VOLT:PAR 1,2.5,0.001,100\n*SRE 32\n*SRE -2147483648\n"
            "SYST:REM ON\nX 0.1 0.333333333333333\n");
  EXPECT_EQ(s.transport->endsSent(), 7);
}

// Plain numbers take a faster path than flagged ones; both must give printf's digits.
TEST(FormattedOutput, PlainNumbersMatchTheCLibrary) {
  const double values[] = {0.0,       -0.0,
                           12.5,      0.1,
                           1.0 / 3.0, -2.5e-7,
                           1e21,      123456789012345678.0,
                           5e-324,    1.7976931348623157e308,
                           999999.5,  0.000123456789,
                           -1e-300};
  const char* const formats[] = {"%lf", "%le", "%lg", "%0.15lg", "%.3f", "%E", "%G", "%.0e", "%.0f", "%.17g"};
  for (const char* format : formats) {
    for (const double value : values) {
      MemorySession s;
      ASSERT_EQ(s.printf(format, value), VI_SUCCESS);
      ASSERT_EQ(s.flush(VI_WRITE_BUF), VI_SUCCESS);
      char expected[512];
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wformat-nonliteral"
      std::snprintf(expected, sizeof expected, format, value);  // the formats of the table above
#pragma GCC diagnostic pop
      EXPECT_EQ(s.transport->sent(), expected) << format << " " << value;
    }
  }
  for (const ViInt32 value : {0, 7, -7, 2147483647, -2147483647 - 1}) {
    MemorySession s;
    ASSERT_EQ(s.printf("%ld|%d|%u", value, value, static_cast<unsigned>(value)), VI_SUCCESS);
    ASSERT_EQ(s.flush(VI_WRITE_BUF), VI_SUCCESS);
    char expected[64];
    std::snprintf(expected, sizeof expected, "%d|%d|%u", value, value, static_cast<unsigned>(value));
    EXPECT_EQ(s.transport->sent(), expected);
  }
}

TEST(FormattedOutput, ConversionsFlagsWidthsAndPrecision) {
  struct Case {
    std::string expected;
    std::function<ViStatus(MemorySession&)> print;
  };
  const std::vector<Case> cases = {
      {"[   42][42   ][00042][+42]",
       [](MemorySession& s) { return s.printf("[%5d][%-5i][%05d][%+d]", 42, 42, 42, 42); }},
      {"[4464][-1]", [](MemorySession& s) { return s.printf("[%hd][%hd]", 70000, 65535); }},
      {"[3.14][1.500000e+00][1E+06]", [](MemorySession& s) { return s.printf("[%.2f][%e][%G]", 3.14159, 1.5, 1e6); }},
      {"[  abc][ab ][x][%]", [](MemorySession& s) { return s.printf("[%5s][%-3.2s][%c][%%]", "abc", "abc", 'x'); }},
      {"[    7][7    ][1.2]", [](MemorySession& s) { return s.printf("[%*d][%*d][%.*f]", 5, 7, -5, 7, 1, 1.23); }},
      {"[ff][377][4294967295]", [](MemorySession& s) { return s.printf("[%x][%o][%u]", 255u, 255u, 4294967295u); }},
  };
  for (const auto& c : cases) {
    MemorySession s;
    EXPECT_EQ(c.print(s), VI_SUCCESS);
    EXPECT_EQ(s.flush(VI_WRITE_BUF), VI_SUCCESS);
    EXPECT_EQ(s.transport->sent(), c.expected);
  }
}

TEST(FormattedOutput, OnlyTheFormatsLineFeedFlushes) {
  MemorySession s;
  EXPECT_EQ(s.printf("A%sB", "\n"), VI_SUCCESS);
  EXPECT_EQ(s.transport->sent(), "") << "a line feed from an argument must not flush";
  EXPECT_EQ(s.printf("C\nD"), VI_SUCCESS);
  EXPECT_EQ(s.transport->sent(), "A\nBC\n");
  EXPECT_EQ(s.transport->endsSent(), 1);
  EXPECT_EQ(s.flush(VI_WRITE_BUF_DISCARD), VI_SUCCESS);
  EXPECT_EQ(s.flush(VI_WRITE_BUF), VI_SUCCESS);
  EXPECT_EQ(s.transport->sent(), "A\nBC\n");
}

TEST(FormattedOutput, FlushOnAccessSendsAtTheEndOfEachCall) {
  MemorySession s;
  EXPECT_EQ(s.set(VI_ATTR_WR_BUF_OPER_MODE, VI_FLUSH_ON_ACCESS), VI_SUCCESS);
  EXPECT_EQ(s.printf("OUTP %s", "ON"), VI_SUCCESS);
  EXPECT_EQ(s.transport->sent(), "OUTP ON");
}

TEST(FormattedOutput, BadFormatsSendNothing) {
  struct Case {
    const char* format;
    ViStatus status;
  };
  const Case cases[] = {{"VOLT %k\n", VI_ERROR_INV_FMT},    {"VOLT %", VI_ERROR_INV_FMT},
                        {"VOLT %lld\n", VI_ERROR_NSUP_FMT}, {"VOLT %Lf\n", VI_ERROR_NSUP_FMT},
                        {"%n\n", VI_ERROR_NSUP_FMT},        {"%99999d\n", VI_ERROR_NSUP_FMT},
                        {"%ls\n", VI_ERROR_NSUP_FMT},       {"%B\n", VI_ERROR_NSUP_FMT},
                        {"%la\n", VI_ERROR_NSUP_FMT},       {"%hhd\n", VI_ERROR_NSUP_FMT}};
  for (const auto& c : cases) {
    MemorySession s;
    EXPECT_EQ(s.printf(c.format, 1), c.status) << c.format;
    EXPECT_EQ(s.flush(VI_WRITE_BUF), VI_SUCCESS);
    EXPECT_EQ(s.transport->sent(), "") << c.format;
  }
  MemorySession s;
  EXPECT_EQ(s.printf("%s\n", static_cast<const char*>(nullptr)), VI_ERROR_USER_BUF);
  EXPECT_EQ(s.printf(nullptr), VI_ERROR_USER_BUF);
}

TEST(FormattedOutput, DecimalPointIgnoresTheProcessLocale) {
  // Only meaningful where a comma locale is installed; harmless elsewhere.
  const char* chosen = std::setlocale(LC_NUMERIC, "de_DE.UTF-8");
  MemorySession s;
  EXPECT_EQ(s.printf("VOLT %0.15lg\n", 12.5), VI_SUCCESS);
  EXPECT_EQ(s.transport->sent(), "VOLT 12.5\n");
  if (chosen) std::setlocale(LC_NUMERIC, "C");
}

TEST(FormattedQuery, DiscardsALateReplyAndFlushesBeforeReading) {
  MemorySession s;
  double value = 0;
  EXPECT_EQ(s.queryf("MEAS:CURR?\n", "%lf%*t", &value), VI_ERROR_TMO);  // no answer in time
  s.transport->queueInput("LATE 1\n");                                  // its answer, after the time-out
  s.transport->setResponder([](std::string_view sent) { return sent == "MEAS:VOLT?\n" ? "12.25\n" : ""; });
  EXPECT_EQ(s.queryf("MEAS:VOLT?\n", "%lf%*t", &value), VI_SUCCESS);
  EXPECT_DOUBLE_EQ(value, 12.25);

  // A query without a line feed in its format is still sent before the read.
  s.transport->setResponder([](std::string_view sent) { return sent == "*ESR?" ? "32\n" : ""; });
  ViInt32 esr = 0;
  EXPECT_EQ(s.queryf("*ESR?", "%ld%*T", &esr), VI_SUCCESS);
  EXPECT_EQ(esr, 32);
}

TEST(FormattedQuery, WriteArgumentsThenReadArguments) {
  MemorySession s;
  s.transport->setResponder([](std::string_view sent) { return std::string("echo:") + std::string(sent); });
  char text[64] = {};
  ViInt32 count = sizeof text;
  EXPECT_EQ(s.queryf("%s %ld\n", "%#[^\n]%*t", "X", ViInt32{5}, &count, text), VI_SUCCESS);
  EXPECT_STREQ(text, "echo:X 5");
  EXPECT_EQ(count, 8);
}

}  // namespace
}  // namespace hnvqr::visa::test
