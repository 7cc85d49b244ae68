// Channel selectors of the OutputChannel repeated capability, seen through the attributes
// that resolve their channel name in simulation too, HnVQR_GetChannelName and CHANNEL_COUNT.
#include <cstring>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "DriverTestSupport.h"

namespace driver_test {
namespace {

const char* const kBadlyFormed = "The repeated capability selector is badly-formed.";

std::string UnknownPhysical(const std::string& name) {
  return "Unknown physical repeated capability selector.  The identifier '" + name +
         "' is not defined for repeated capability 'OutputChannel'.";
}

std::string InvalidRange(const std::string& item, const char* elaboration) {
  return "The range '" + item + "' is not valid for the repeated capability 'OutputChannel'.  " + elaboration;
}

// The accessors that resolve their channel name whether or not the session simulates: a
// getter takes exactly one channel, a setter a list.
struct Accessor {
  const char* name;
  bool singleChannel;
  std::function<ViStatus(ViSession, const char*)> call;
};

std::vector<Accessor> ChannelAccessors() {
  return {
      {"get OUTPUT_ENABLED", true,
       [](ViSession vi, const char* channel) {
         ViBoolean value = 0;
         return HnVQR_GetAttributeViBoolean(vi, channel, HNVQR_ATTR_OUTPUT_ENABLED, &value);
       }},
      {"set OUTPUT_ENABLED", false,
       [](ViSession vi, const char* channel) {
         return HnVQR_SetAttributeViBoolean(vi, channel, HNVQR_ATTR_OUTPUT_ENABLED, VI_FALSE);
       }},
      {"get OVP_ENABLED", true,
       [](ViSession vi, const char* channel) {
         ViBoolean value = 0;
         return HnVQR_GetAttributeViBoolean(vi, channel, HNVQR_ATTR_OVP_ENABLED, &value);
       }},
      {"set OVP_ENABLED", false,
       [](ViSession vi, const char* channel) {
         return HnVQR_SetAttributeViBoolean(vi, channel, HNVQR_ATTR_OVP_ENABLED, VI_TRUE);
       }},
      {"get CURRENT_LIMIT_BEHAVIOR", true,
       [](ViSession vi, const char* channel) {
         ViInt32 value = 0;
         return HnVQR_GetAttributeViInt32(vi, channel, HNVQR_ATTR_CURRENT_LIMIT_BEHAVIOR, &value);
       }},
      {"set CURRENT_LIMIT_BEHAVIOR", false,
       [](ViSession vi, const char* channel) {
         return HnVQR_SetAttributeViInt32(vi, channel, HNVQR_ATTR_CURRENT_LIMIT_BEHAVIOR, HNVQR_VAL_CURRENT_TRIP);
       }},
      {"ConfigureOutputRange", false,
       [](ViSession vi, const char* channel) { return HnVQR_ConfigureOutputRange(vi, channel, 1, 1.0); }},
      {"QueryMaxCurrentLimit", false,
       [](ViSession vi, const char* channel) {
         ViReal64 value = 0;
         return HnVQR_QueryMaxCurrentLimit(vi, channel, 1.0, &value);
       }},
      {"QueryOutputState", false,
       [](ViSession vi, const char* channel) {
         ViBoolean value = 0;
         return HnVQR_QueryOutputState(vi, channel, 0, &value);
       }},
  };
}

struct SelectorCase {
  const char* selector;
  ViStatus status;
  std::string description;  // empty for a success
};

TEST(Selector, EveryChannelAccessorResolvesSelectorsTheSameWay) {
  Session session;
  ASSERT_SESSION_OPEN(session);
  const SelectorCase cases[] = {
      {nullptr, VI_SUCCESS, ""},
      {"", VI_SUCCESS, ""},
      {" \t\r\n\f\v", VI_SUCCESS, ""},
      {"CH1", VI_SUCCESS, ""},
      {" CH1 ", VI_SUCCESS, ""},
      {"[CH1]", VI_SUCCESS, ""},
      {" [ CH1 ]", VI_SUCCESS, ""},
      {"[CH1] ", IVI_ERROR_BADLY_FORMED_SELECTOR, kBadlyFormed},
      // A qualified name loses its repeated capability prefix.
      {"OutputChannel!!CH1", VI_SUCCESS, ""},
      {"ch1", IVI_ERROR_UNKNOWN_PHYSICAL_IDENTIFIER, UnknownPhysical("ch1")},
      {"CH2", IVI_ERROR_UNKNOWN_PHYSICAL_IDENTIFIER, UnknownPhysical("CH2")},
      {"CH1,", IVI_ERROR_BADLY_FORMED_SELECTOR, kBadlyFormed},
      {"CH1 CH2", IVI_ERROR_BADLY_FORMED_SELECTOR, kBadlyFormed},
      {"CH-1", IVI_ERROR_BADLY_FORMED_SELECTOR, kBadlyFormed},
      {",CH1", IVI_ERROR_BADLY_FORMED_SELECTOR, kBadlyFormed},
      {"CH1;CH2", IVI_ERROR_BADLY_FORMED_SELECTOR, kBadlyFormed},
      {"CH1,CH1", IVI_ERROR_BADLY_FORMED_SELECTOR, kBadlyFormed},
      {"CH1-CH2,CH1", IVI_ERROR_INVALID_RANGE_IN_SELECTOR,
       InvalidRange("CH1", "An identifier in the range overlaps with another range.")},
      {"CH1,CH1-CH2", IVI_ERROR_INVALID_RANGE_IN_SELECTOR,
       InvalidRange("CH1-CH2", "An identifier in the range overlaps with another range.")},
      {"CH1-CH3", IVI_ERROR_UNKNOWN_PHYSICAL_IDENTIFIER, UnknownPhysical("CH2")},
      {"CH01-CH03", IVI_ERROR_UNKNOWN_PHYSICAL_IDENTIFIER, UnknownPhysical("CH2")},
      {"CH1-XY3", IVI_ERROR_INVALID_RANGE_IN_SELECTOR, InvalidRange("CH1-XY3", "The base names do not match.")},
      {"CH1-CH1", IVI_ERROR_INVALID_RANGE_IN_SELECTOR,
       InvalidRange("CH1-CH1", "The start index must be less than the end index.")},
      {"CH3-CH1", IVI_ERROR_INVALID_RANGE_IN_SELECTOR,
       InvalidRange("CH3-CH1", "The start index must be less than the end index.")},
      {"CH1:X", IVI_ERROR_INVALID_NUMBER_OF_LEVELS_IN_SELECTOR,
       "The number of levels in the selector is not valid for the 'OutputChannel' repeated capability."},
      {"[CH1]:[CH1]", IVI_ERROR_INVALID_NUMBER_OF_LEVELS_IN_SELECTOR,
       "The number of levels in the selector is not valid for the 'OutputChannel' repeated capability."},
      // A range that expands to two billion names is refused at its second name.
      {"CH1-CH2000000000", IVI_ERROR_UNKNOWN_PHYSICAL_IDENTIFIER, UnknownPhysical("CH2")},
  };
  for (const Accessor& accessor : ChannelAccessors()) {
    for (const SelectorCase& c : cases) {
      SCOPED_TRACE(std::string(accessor.name) + " with '" + (c.selector ? c.selector : "(null)") + "'");
      ASSERT_EQ(HnVQR_ClearError(session), VI_SUCCESS);
      EXPECT_EQ(accessor.call(session, c.selector), c.status);
      EXPECT_EQ(TakeError(session), (Error{c.status, c.description}));
    }
  }
}

TEST(Selector, AttributesThatResolveOnlyLiveIgnoreTheChannelInSimulation) {
  Session session;
  ASSERT_SESSION_OPEN(session);
  for (const char* channel : {"CH9", "ch1", "CH1,CH1", "no such thing"}) {
    EXPECT_EQ(HnVQR_SetAttributeViReal64(session, channel, HNVQR_ATTR_VOLTAGE_LEVEL, 7.5), VI_SUCCESS) << channel;
    EXPECT_EQ(GetReal64(session, HNVQR_ATTR_VOLTAGE_LEVEL, channel), 7.5) << channel;
    EXPECT_EQ(HnVQR_ConfigureVoltageLevel(session, channel, 8.5), VI_SUCCESS) << channel;
    EXPECT_EQ(GetReal64(session, HNVQR_ATTR_OVP_LIMIT, channel), 20.0) << channel;
    // CURRENT_LIMIT forwards to an attribute that takes no channel at all.
    EXPECT_EQ(GetReal64(session, HNVQR_ATTR_CURRENT_LIMIT, channel), 5.5) << channel;
  }
}

TEST(Selector, HostileSelectorsFailWithoutHarm) {
  Session session;
  ASSERT_SESSION_OPEN(session);
  // Megabyte inputs go through one read and one write; the rest through every accessor.
  const std::size_t mebibyte = std::size_t{1} << 20;
  const std::size_t shorter = std::size_t{1} << 16;
  std::string longList;
  while (longList.size() < mebibyte) longList += "CH1,";
  longList += "CH1";
  std::string manyRanges;
  for (int i = 1; manyRanges.size() < shorter; i += 2) {
    manyRanges += "CH" + std::to_string(i) + "-CH" + std::to_string(i + 1) + ",";
  }
  manyRanges += "X";
  std::string deepLevels;
  while (deepLevels.size() < shorter) deepLevels += "[CH1]:";
  deepLevels += "CH1";
  const struct {
    const char* what;
    std::string selector;
    ViStatus status;  // 0: any failure
    bool singleChannelOnly = false;
  } cases[] = {
      {"1 MiB identifier", std::string(mebibyte, 'A'), IVI_ERROR_UNKNOWN_PHYSICAL_IDENTIFIER},
      {"1 MiB list of one name", longList, IVI_ERROR_BADLY_FORMED_SELECTOR},
      {"64 KiB of ranges", manyRanges, IVI_ERROR_UNKNOWN_PHYSICAL_IDENTIFIER},
      {"64 KiB of levels", deepLevels, IVI_ERROR_INVALID_NUMBER_OF_LEVELS_IN_SELECTOR},
      {"1 MiB of blanks then a name", std::string(mebibyte, ' ') + "CH2", IVI_ERROR_UNKNOWN_PHYSICAL_IDENTIFIER},
      {"100,000 commas", std::string(100000, ','), IVI_ERROR_BADLY_FORMED_SELECTOR},
      {"commas around a name", std::string(50000, ',') + "CH1" + std::string(50000, ','),
       IVI_ERROR_BADLY_FORMED_SELECTOR},
      {"opening bracket only", "[CH1", 0},
      {"closing bracket only", "CH1]", 0},
      {"nested brackets", "[[CH1]]", IVI_ERROR_BADLY_FORMED_SELECTOR},
      {"reversed brackets", "]CH1[", IVI_ERROR_BADLY_FORMED_SELECTOR},
      {"lone bracket", "[", IVI_ERROR_BADLY_FORMED_SELECTOR},
      {"brackets alone", "[]", IVI_ERROR_BADLY_FORMED_SELECTOR},
      {"range end beyond 32 bits", "CH1-CH99999999999", IVI_ERROR_INVALID_RANGE_IN_SELECTOR},
      {"range start beyond 32 bits", "CH4294967296-CH4294967297", IVI_ERROR_INVALID_RANGE_IN_SELECTOR},
      {"range beyond 64 bits", "CH1-CH999999999999999999999999", IVI_ERROR_INVALID_RANGE_IN_SELECTOR},
      {"range of 32-bit extremes", "CH2147483647-CH2147483648", IVI_ERROR_INVALID_RANGE_IN_SELECTOR},
      {"'[a' on a single-channel read", "[a", 0, true},
      {"'[' and a digit", "[1", 0, true},
      {"control characters", std::string("CH1\x01", 4), IVI_ERROR_BADLY_FORMED_SELECTOR},
      {"non-ASCII",
       "CH\xc3\xa9"
       "1",
       IVI_ERROR_BADLY_FORMED_SELECTOR},
  };
  const auto accessors = ChannelAccessors();
  for (const auto& c : cases) {
    for (const Accessor& accessor : accessors) {
      const bool readOrWriteOfOutputEnabled = &accessor == &accessors[0] || &accessor == &accessors[1];
      if (c.selector.size() > shorter && !readOrWriteOfOutputEnabled) continue;
      SCOPED_TRACE(std::string(c.what) + " / " + accessor.name);
      ASSERT_EQ(HnVQR_ClearError(session), VI_SUCCESS);
      const ViStatus status = accessor.call(session, c.selector.c_str());
      if (c.singleChannelOnly && !accessor.singleChannel) {
        // A level that is empty once its bracket is dropped designates no channel; only
        // the single-channel reads are bound to refuse it.
        (void)TakeError(session);
        continue;
      }
      if (c.status == 0) {
        EXPECT_LT(status, 0);
      } else {
        EXPECT_EQ(status, c.status);
      }
      const Error error = TakeError(session);
      EXPECT_EQ(error.code, status);
      EXPECT_LE(error.text.size(), 1023u);
    }
  }
}

TEST(Selector, RangeBeyond32BitsNamesTheRange) {
  Session session;
  ASSERT_SESSION_OPEN(session);
  ViBoolean value = 0;
  EXPECT_EQ(HnVQR_GetAttributeViBoolean(session, "CH1-CH99999999999", HNVQR_ATTR_OUTPUT_ENABLED, &value),
            IVI_ERROR_INVALID_RANGE_IN_SELECTOR);
  const Error error = TakeError(session);
  EXPECT_EQ(error.text.rfind("The range 'CH1-CH99999999999' is not valid for the repeated capability "
                             "'OutputChannel'.",
                             0),
            0u)
      << error.text;
}

TEST(Selector, ClosingOneSessionLeavesTheOthersChannels) {
  auto first = std::make_unique<Session>();
  Session second;
  ASSERT_SESSION_OPEN(*first);
  ASSERT_SESSION_OPEN(second);
  ViBoolean value = 0;
  ASSERT_EQ(HnVQR_GetAttributeViBoolean(*first, "CH1", HNVQR_ATTR_OUTPUT_ENABLED, &value), VI_SUCCESS);
  ASSERT_EQ(HnVQR_GetAttributeViBoolean(second, "CH1", HNVQR_ATTR_OUTPUT_ENABLED, &value), VI_SUCCESS);
  first.reset();
  EXPECT_EQ(HnVQR_GetAttributeViBoolean(second, "CH1", HNVQR_ATTR_OUTPUT_ENABLED, &value), VI_SUCCESS);
  EXPECT_EQ(GetInt32(second, HNVQR_ATTR_CHANNEL_COUNT), 1);
  Session third;
  ASSERT_SESSION_OPEN(third);
  EXPECT_EQ(HnVQR_GetAttributeViBoolean(third, "CH1", HNVQR_ATTR_OUTPUT_ENABLED, &value), VI_SUCCESS);
}

TEST(ChannelName, IndexIsOneBasedAndTheNameIsCutToTheBuffer) {
  Session session;
  ASSERT_SESSION_OPEN(session);
  char name[16];
  std::memset(name, 'x', sizeof name);
  EXPECT_EQ(HnVQR_GetChannelName(session, 1, sizeof name, name), VI_SUCCESS);
  EXPECT_STREQ(name, "CH1");
  std::memset(name, 'x', sizeof name);
  EXPECT_EQ(HnVQR_GetChannelName(session, 1, 2, name), VI_SUCCESS);
  EXPECT_STREQ(name, "C");
  EXPECT_EQ(name[2], 'x');
  std::memset(name, 'x', sizeof name);
  EXPECT_EQ(HnVQR_GetChannelName(session, 1, 1, name), VI_SUCCESS);
  EXPECT_STREQ(name, "");
  EXPECT_EQ(name[1], 'x');
  // No room at all: nothing may be written, whatever the status.
  std::memset(name, 'x', sizeof name);
  (void)HnVQR_GetChannelName(session, 1, 0, name);
  (void)HnVQR_GetChannelName(session, 1, -5, name);
  EXPECT_EQ(name[0], 'x');
  ASSERT_EQ(HnVQR_ClearError(session), VI_SUCCESS);

  const struct {
    ViInt32 index;
    const char* shown;
  } outside[] = {{2, "1"}, {0, "-1"}, {-7, "-8"}, {2147483647, "2147483646"}, {-2147483647 - 1, "-2147483649"}};
  for (const auto& c : outside) {
    std::memset(name, 'x', sizeof name);
    EXPECT_EQ(HnVQR_GetChannelName(session, c.index, sizeof name, name), IVI_ERROR_INVALID_VALUE) << c.index;
    EXPECT_EQ(TakeError(session), (Error{IVI_ERROR_INVALID_VALUE, std::string("Invalid value '") + c.shown +
                                                                      "' for function 'GetOutputChannelName', "
                                                                      "parameter 'Index'."}))
        << c.index;
  }
}

TEST(ChannelName, ChannelCountIsOneAndReadOnly) {
  Session session;
  ASSERT_SESSION_OPEN(session);
  EXPECT_EQ(GetInt32(session, HNVQR_ATTR_CHANNEL_COUNT), 1);
  EXPECT_EQ(HnVQR_SetAttributeViInt32(session, "", HNVQR_ATTR_CHANNEL_COUNT, 2), IVI_ERROR_ATTR_NOT_WRITABLE);
  EXPECT_EQ(TakeError(session),
            (Error{IVI_ERROR_ATTR_NOT_WRITABLE, "Attribute 'HNVQR_ATTR_CHANNEL_COUNT' is read-only."}));
}

}  // namespace
}  // namespace driver_test
