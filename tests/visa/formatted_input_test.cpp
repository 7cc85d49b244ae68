// Formatted input over the in-memory transport: the response formats the driver uses,
// against well-formed, short, overlong, unterminated and binary replies.
#include <gtest/gtest.h>

#include <climits>
#include <cstring>
#include <string>
#include <vector>

#include "memory_session.h"
#include "scan_response.h"

namespace hnvqr::visa::test {
namespace {

using namespace std::string_literals;

// What is still buffered after a scan: read through the in-memory transport's time-out.
std::string leftover(MemorySession& s) {
  std::string rest;
  ViByte buffer[512];
  ViUInt32 got = 0;
  s.set(VI_ATTR_TERMCHAR_EN, VI_FALSE);
  s.read(buffer, sizeof buffer, &got);
  rest.assign(reinterpret_cast<char*>(buffer), got);
  s.set(VI_ATTR_TERMCHAR_EN, VI_TRUE);
  return rest;
}

void queueAll(MemorySession& s, const std::vector<std::string>& chunks) {
  for (const auto& chunk : chunks) s.transport->queueInput(chunk);
}

struct RealCase {
  std::vector<std::string> chunks;
  ViStatus status;
  double value;  // expected, or the untouched sentinel when the scan fails
};

TEST(FormattedInputReal, LfWithDrainedRest) {
  const double untouched = -777.0;
  const std::vector<RealCase> cases = {
      {{"12.5\n"}, VI_SUCCESS, 12.5},
      {{"+1.25E+01\n"}, VI_SUCCESS, 12.5},
      {{"  -3e-3 V\n"}, VI_SUCCESS, -0.003},
      {{"9.9E37\n"}, VI_SUCCESS, 9.9e37},
      {{"12.", "5", "\n"}, VI_SUCCESS, 12.5},      // split across receives
      {{"1.5\x00\xff junk\n"s}, VI_SUCCESS, 1.5},  // binary after the number
      {{"\n"}, VI_ERROR_IO, untouched},            // short: an empty line
      {{"abc\n"}, VI_ERROR_IO, untouched},
      {{"\x00\x01\xfe\n"s}, VI_ERROR_IO, untouched},  // binary instead of a number
      {{"1e999\n"}, VI_ERROR_IO, untouched},          // beyond a double
      {{"1e-400\n"}, VI_ERROR_IO, untouched},         // below a double
      {{"0x10\n"}, VI_ERROR_IO, untouched},           // not decimal: not read as 0
      {{"-0X1p4\n"}, VI_ERROR_IO, untouched},
      {{"nan\n"}, VI_ERROR_IO, untouched},
      {{"inf\n"}, VI_ERROR_IO, untouched},
      {{"0\n"}, VI_SUCCESS, 0.0},
      {{"0.0x\n"}, VI_SUCCESS, 0.0},
      {{std::string(5000, '9') + "\n"}, VI_ERROR_IO, untouched},  // overlong
      {{"12.5"}, VI_ERROR_TMO, untouched},                        // unterminated
      {{}, VI_ERROR_TMO, untouched},
  };
  for (const auto& c : cases) {
    MemorySession s;
    queueAll(s, c.chunks);
    double value = untouched;
    EXPECT_EQ(s.scanf("%lf%*t", &value), c.status) << c.chunks.size();
    EXPECT_DOUBLE_EQ(value, c.value);
    if (c.status == VI_SUCCESS) {
      EXPECT_EQ(leftover(s), "");
    }
  }
}

struct IntegerCase {
  std::string reply;
  ViStatus status;
  long long value;
};

constexpr long long kUntouched = 4242;

template <typename Integer>
void runIntegerCases(const char* format, const std::vector<IntegerCase>& cases) {
  for (const auto& c : cases) {
    MemorySession s;
    if (!c.reply.empty()) s.transport->queueInput(c.reply);
    Integer value = static_cast<Integer>(kUntouched);
    EXPECT_EQ(s.scanf(format, &value), c.status) << format << " on '" << c.reply << "'";
    EXPECT_EQ(value, static_cast<Integer>(c.value)) << format << " on '" << c.reply << "'";
  }
}

TEST(FormattedInputInteger, Int32FormatsSaturateNothingAndRejectOverflow) {
  const std::vector<IntegerCase> cases = {
      {"42\n", VI_SUCCESS, 42},
      {"  +7 trailing text\n", VI_SUCCESS, 7},
      {"-2147483648\n", VI_SUCCESS, INT_MIN},
      {"2147483647\n", VI_SUCCESS, INT_MAX},
      {"12\x00\x01\n"s, VI_SUCCESS, 12},
      {"2147483648\n", VI_ERROR_IO, kUntouched},  // one beyond ViInt32
      {"99999999999999999999999999\n", VI_ERROR_IO, kUntouched},
      {"-\n", VI_ERROR_IO, kUntouched},
      {"x\n", VI_ERROR_IO, kUntouched},
      {"0x10\n", VI_ERROR_IO, kUntouched},
      {"0\n", VI_SUCCESS, 0},
      {"\n", VI_ERROR_IO, kUntouched},
      {"\xff\xfe\n"s, VI_ERROR_IO, kUntouched},
      {"5", VI_ERROR_TMO, kUntouched},
      {"", VI_ERROR_TMO, kUntouched},
  };
  runIntegerCases<ViInt32>("%ld%*t", cases);
  runIntegerCases<ViInt32>("%ld%*T", cases);
}

TEST(FormattedInputInteger, Int16Format) {
  runIntegerCases<ViInt16>("%hd%*T", {
                                         {"32767\n", VI_SUCCESS, 32767},
                                         {"-32768\n", VI_SUCCESS, -32768},
                                         {"32768\n", VI_ERROR_IO, kUntouched},
                                         {"1.5\n", VI_SUCCESS, 1},
                                         {"none\n", VI_ERROR_IO, kUntouched},
                                         {"17", VI_ERROR_TMO, kUntouched},
                                     });
}

TEST(FormattedInputInteger, PlainIntAndFloatTargets) {
  MemorySession s;
  s.transport->queueInput("-5 2.25\n");
  int i = 0;
  float f = 0;
  EXPECT_EQ(s.scanf("%d%f%*t", &i, &f), VI_SUCCESS);
  EXPECT_EQ(i, -5);
  EXPECT_FLOAT_EQ(f, 2.25f);
}

TEST(FormattedInputInteger, LineFeedEndsTheStarTEvenWithoutTermChar) {
  MemorySession s;
  s.set(VI_ATTR_TERMCHAR_EN, VI_FALSE);
  s.transport->queueInput("32\nnext\n");
  ViInt32 value = 0;
  EXPECT_EQ(s.scanf("%ld%*T", &value), VI_SUCCESS);
  EXPECT_EQ(value, 32);
  EXPECT_EQ(leftover(s), "next\n");
}

TEST(FormattedInputText, CapitalTReadsThroughTheLineFeedBounded) {
  struct Case {
    std::string reply;
    ViStatus status;
    std::string text;
  };
  const std::string overlong(1000, 'E');
  const std::vector<Case> cases = {
      {"-100,\"Command error\"\n", VI_SUCCESS, "-100,\"Command error\"\n"},
      {"\n", VI_SUCCESS, "\n"},
      {overlong + "\n", VI_SUCCESS, std::string(255, 'E')},  // stored: 255 and the NUL
      {"0,\"No error\"", VI_ERROR_TMO, "untouched"},
  };
  for (const auto& c : cases) {
    MemorySession s;
    s.transport->queueInput(c.reply);
    char text[256 + 8];
    std::memset(text, '#', sizeof text);
    std::strcpy(text, "untouched");
    EXPECT_EQ(s.scanf("%T", text), c.status);
    EXPECT_EQ(std::string(text), c.text);
    EXPECT_EQ(text[256], '#') << "wrote past a 256-byte buffer";
    if (c.status == VI_SUCCESS) {
      EXPECT_EQ(leftover(s), "");
    }
  }
}

struct CountedCase {
  std::string reply;
  ViInt32 capacity;
  ViStatus status;
  std::string text;
  ViInt32 count;
};

TEST(FormattedInputText, CountedScansetUpToTheLineEnd) {
  const std::vector<CountedCase> cases = {
      {"hello world\n", 32, VI_SUCCESS, "hello world", 11},
      {"\n", 32, VI_SUCCESS, "", 0},  // zero characters: an empty text, success
      {"abcdefghijklmnopqrstuvwxyz\n", 16, VI_SUCCESS, "abcdefghijklmno", 15},
      {"\x01\x02\xff\n"s, 8, VI_SUCCESS, "\x01\x02\xff"s, 3},
      {"ab\0cd\n"s, 8, VI_SUCCESS, "ab\0cd"s, 5},
      {"x\n", 1, VI_SUCCESS, "", 0},  // room for the NUL only
      {"hello", 32, VI_ERROR_TMO, "untouched", 32},
      {"hello\n", 0, VI_ERROR_USER_BUF, "untouched", 0},
  };
  for (const auto& c : cases) {
    MemorySession s;
    s.transport->queueInput(c.reply);
    char text[40];
    std::memset(text, '#', sizeof text);
    std::strcpy(text, "untouched");
    char initial[sizeof text];
    std::memcpy(initial, text, sizeof text);
    ViInt32 count = c.capacity;
    EXPECT_EQ(s.scanf("%#[^\n]%*t", &count, text), c.status);
    EXPECT_EQ(count, c.count);
    if (c.status == VI_SUCCESS) {
      EXPECT_EQ(std::string(text, static_cast<std::size_t>(count)), c.text);
      EXPECT_EQ(text[count], '\0');
      EXPECT_EQ(text[c.capacity], initial[c.capacity]) << "wrote past the capacity";
      EXPECT_EQ(leftover(s), "");
    } else {
      EXPECT_STREQ(text, "untouched");
    }
  }
}

TEST(FormattedInputText, SkipToCommaThenCountedField) {
  const std::vector<CountedCase> cases = {
      {"VOLT,12.5\n", 32, VI_SUCCESS, "12.5", 4},
      {",x\n", 32, VI_SUCCESS, "x", 1},
      {"a,\n", 32, VI_SUCCESS, "", 0},
      {"nocomma\n", 32, VI_ERROR_IO, "untouched", 32},  // END before the required field
  };
  for (const auto& c : cases) {
    MemorySession s;
    s.transport->queueInput(c.reply);
    char text[40] = "untouched";
    ViInt32 count = c.capacity;
    EXPECT_EQ(s.scanf("%*[^,],%#[^\n]%*t", &count, text), c.status) << c.reply;
    EXPECT_EQ(std::string(text), c.text);
    EXPECT_EQ(count, c.count);
  }
}

TEST(FormattedInputText, CountedFieldUpToComma) {
  const std::vector<CountedCase> cases = {
      {"-100,\"Command error\"\n", 32, VI_SUCCESS, "-100", 4},
      {"0,\"No error\"\n", 32, VI_SUCCESS, "0", 1},
      // No comma: the field runs through the END; the rest of the format is ignored.
      {"nocomma\n", 32, VI_SUCCESS, "nocomma\n", 8},
      {"0123456789,rest\n", 5, VI_ERROR_IO, "0123", 4},  // field cut at 4, then no comma
  };
  for (const auto& c : cases) {
    MemorySession s;
    s.transport->queueInput(c.reply);
    s.transport->queueInput("NEXT\n");
    char text[40] = "untouched";
    ViInt32 count = c.capacity;
    EXPECT_EQ(s.scanf("%#[^,],%*t", &count, text), c.status) << c.reply;
    EXPECT_EQ(std::string(text), c.text);
    EXPECT_EQ(count, c.count);
    EXPECT_EQ(leftover(s), "NEXT\n") << "the next reply must start clean";
  }
}

TEST(FormattedInputText, IdentityFourFields) {
  struct Case {
    std::vector<std::string> chunks;
    ViStatus status;
    std::vector<std::string> fields;
  };
  const std::string longField(300, 'M');
  const std::vector<Case> cases = {
      // Completes at once: the fill that ended on the line feed counts as END.
      {{"HALVORN,VQR60-10,SN1234,1.0.2\n"}, VI_SUCCESS, {"HALVORN", "VQR60-10", "SN1234", "1.0.2\n"}},
      {{"HALVORN,VQR", "60-10,SN1", "234,1.0.2\n"}, VI_SUCCESS, {"HALVORN", "VQR60-10", "SN1234", "1.0.2\n"}},
      {{",,,\n"}, VI_SUCCESS, {"", "", "", "\n"}},
      {{"A,B\n"}, VI_ERROR_IO, {"A", "B\n", "-", "-"}},
      {{longField + ",B,C,D\n"}, VI_ERROR_IO, {std::string(256, 'M'), "-", "-", "-"}},
      {{"A,B,C,D"}, VI_ERROR_TMO, {"A", "B", "C", "-"}},
  };
  for (const auto& c : cases) {
    MemorySession s;
    queueAll(s, c.chunks);
    char fields[4][257 + 4];
    for (auto& f : fields) {
      std::memset(f, '#', sizeof f);
      std::strcpy(f, "-");
    }
    EXPECT_EQ(s.scanf("%256[^,],%256[^,],%256[^,],%256[^,]%*T", fields[0], fields[1], fields[2], fields[3]), c.status);
    for (int i = 0; i < 4; ++i) {
      EXPECT_EQ(std::string(fields[i]), c.fields[static_cast<std::size_t>(i)]) << "field " << i;
      EXPECT_EQ(fields[i][257], '#');
    }
  }
}

TEST(FormattedInputText, StringCharAndReplyConversions) {
  MemorySession s;
  s.transport->queueInput("  word next\n");
  char word[16] = {};
  char chars[4] = {'#', '#', '#', '#'};
  char rest[16] = {};
  EXPECT_EQ(s.scanf("%15s%2c%t", word, chars, rest), VI_SUCCESS);
  EXPECT_STREQ(word, "word");
  EXPECT_EQ(std::string(chars, 4), " n##");  // %c stores no NUL
  EXPECT_STREQ(rest, "ext\n");

  s.transport->queueInput("xy,z\n");
  char c = 0;
  EXPECT_EQ(s.scanf("%*c%c%*t", &c), VI_SUCCESS);  // a suppressed %c skips one byte only
  EXPECT_EQ(c, 'y');
}

TEST(FormattedInputFormat, BadSpecifiersConsumeNothing) {
  struct Case {
    const char* format;
    ViStatus status;
  };
  const Case cases[] = {
      {"%", VI_ERROR_INV_FMT},      {"%k", VI_ERROR_INV_FMT},   {"%[abc", VI_ERROR_INV_FMT},
      {"%*#s", VI_ERROR_INV_FMT},   {"%0d", VI_ERROR_INV_FMT},  {"%hf", VI_ERROR_INV_FMT},
      {"%lld", VI_ERROR_NSUP_FMT},  {"%x", VI_ERROR_NSUP_FMT},  {"%,5ld", VI_ERROR_NSUP_FMT},
      {"%#ld", VI_ERROR_NSUP_FMT},  {"%Lf", VI_ERROR_NSUP_FMT}, {"%ls", VI_ERROR_NSUP_FMT},
      {"%ld%q", VI_ERROR_NSUP_FMT}, {"%b", VI_ERROR_NSUP_FMT},  {"%ly", VI_ERROR_NSUP_FMT},
      {"%p", VI_ERROR_NSUP_FMT},
  };
  for (const auto& c : cases) {
    MemorySession s;
    s.transport->queueInput("12\n");
    ViInt32 value = 0;
    EXPECT_EQ(s.scanf(c.format, &value), c.status) << c.format;
    EXPECT_EQ(value, 0);
    EXPECT_EQ(leftover(s), "12\n") << c.format;
  }
  MemorySession s;
  EXPECT_EQ(s.scanf(nullptr), VI_ERROR_USER_BUF);
  s.transport->queueInput("12\n");
  EXPECT_EQ(s.scanf("%ld", static_cast<ViInt32*>(nullptr)), VI_ERROR_USER_BUF);
}

TEST(FormattedInputFailure, DropsTheRestOfThatReplyOnly) {
  MemorySession s;
  s.transport->queueInput("oops, more\nGOOD 7\n");
  ViInt32 value = kUntouched;
  EXPECT_EQ(s.scanf("%ld%*t", &value), VI_ERROR_IO);
  EXPECT_EQ(value, kUntouched);
  EXPECT_EQ(s.scanf("GOOD %ld%*t", &value), VI_SUCCESS);
  EXPECT_EQ(value, 7);
}

TEST(ScanResponse, GivenBufferGivenFormatGivenOutputs) {
  const std::string reply = "HALVORN,VQR60-10,SN1,1.0\n";
  char f[4][257];
  EXPECT_EQ(scanResponse(reinterpret_cast<const ViByte*>(reply.data()), reply.size(),
                         "%256[^,],%256[^,],%256[^,],%256[^,]%*T", f[0], f[1], f[2], f[3]),
            VI_SUCCESS);
  EXPECT_STREQ(f[1], "VQR60-10");
  ViInt32 value = 0;
  EXPECT_EQ(scanResponse(nullptr, 0, "%ld", &value), VI_ERROR_TMO);
  EXPECT_EQ(scanResponse(reinterpret_cast<const ViByte*>("9\n"), 2, "%ld%*t", &value), VI_SUCCESS);
  EXPECT_EQ(value, 9);
}

}  // namespace
}  // namespace hnvqr::visa::test
