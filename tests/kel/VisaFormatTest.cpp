// The compile-time check of formatted VISA I/O: each case is decided while compiling (a
// mismatch in the driver's own calls does not compile at all); the table here pins which
// formats and argument lists are taken and which are refused.
#include <gtest/gtest.h>

#include "kel/VisaFormat.h"

namespace {

using kel::format::PrintfMatches;
using kel::format::ScanfMatches;

// Taken: what the driver sends and reads.
static_assert(PrintfMatches<>("*RST\n"));
static_assert(PrintfMatches<>("100%% done\n"));
static_assert(PrintfMatches<ViReal64>("VOLT %0.15lg\n"));
static_assert(PrintfMatches<ViInt32>("STAT:OPER:ENAB %ld\n"));
static_assert(PrintfMatches<const char*>("OUTP %s\n"));
static_assert(PrintfMatches<ViReal64, ViReal64, ViReal64, ViReal64>("CAL %0.15lg,%0.15lg,%0.15lg,%0.15lg\n"));
static_assert(PrintfMatches<ViInt32, ViReal64>("%*.3f\n"));
static_assert(ScanfMatches<ViReal64*>("%lf%*t"));
static_assert(ScanfMatches<ViInt32*>("%ld%*T"));
static_assert(ScanfMatches<ViInt16*>("%hd%*T"));
static_assert(ScanfMatches<ViInt32*, ViChar*>("%#[^\n]%*t"));
static_assert(ScanfMatches<ViChar*>("%255[^\n]%*T"));
static_assert(ScanfMatches<ViChar*, ViChar*>("%256[^,],%256[^]x]%*T"));

// Refused: a wrong kind, a missing or extra argument, a conversion not taken.
static_assert(!PrintfMatches<ViInt32>("VOLT %0.15lg\n"));
static_assert(!PrintfMatches<ViReal64>("%s"));
static_assert(!PrintfMatches<const char*>("%ld"));
static_assert(!PrintfMatches<>("VOLT %lf\n"));
static_assert(!PrintfMatches<ViReal64, ViReal64>("VOLT %lf\n"));
static_assert(!PrintfMatches<ViInt64>("%ld"));
static_assert(!PrintfMatches<ViInt32>("%b"));
static_assert(!PrintfMatches<ViInt32>("%"));
static_assert(!PrintfMatches<>(nullptr));
static_assert(!ScanfMatches<ViReal32*>("%lf"));
static_assert(!ScanfMatches<ViReal64*>("%f"));
static_assert(!ScanfMatches<ViInt16*>("%ld"));
static_assert(!ScanfMatches<ViChar*>("%#[^\n]"));
static_assert(!ScanfMatches<ViInt32*, ViChar*>("%#ld"));
static_assert(!ScanfMatches<ViChar*>("%[^\n"));
static_assert(!ScanfMatches<ViReal64*>("%*lf"));
static_assert(!ScanfMatches<>("%lf"));

TEST(VisaFormat, ChecksAreDecidedWhileCompiling) {
  // Reaching this line means every static_assert above held.
  constexpr kel::PrintfFormat<ViReal64> format = "VOLT %0.15lg\n";
  EXPECT_STREQ(format.text(), "VOLT %0.15lg\n");
}

}  // namespace
