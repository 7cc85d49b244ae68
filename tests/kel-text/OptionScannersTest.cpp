#include "kel/text/OptionScanners.h"

#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

#include "kel/text/Text.h"

namespace kel::text {
namespace {

using Pairs = std::vector<std::pair<std::string, std::string>>;

Pairs NamesAndValues(const std::vector<NameValueMatch>& matches) {
  Pairs pairs;
  for (const NameValueMatch& m : matches) pairs.emplace_back(m.name, m.value);
  return pairs;
}

Pairs InherentOptions(std::string_view optionString) {
  return NamesAndValues(InherentOptionMatches(ToLowerAscii(optionString)));
}

TEST(OptionScannersTest, InherentOptionsSkipWhatIsNotANameValuePair) {
  EXPECT_EQ(InherentOptions("Simulate=True,RangeCheck=0"), (Pairs{{"simulate", "true"}, {"rangecheck", "0"}}));
  EXPECT_EQ(InherentOptions("simulate = VI_TRUE , rangecheck = false"),
            (Pairs{{"simulate", "vi_true"}, {"rangecheck", "false"}}));
  EXPECT_EQ(InherentOptions("Simulate=true;Cache=false"), (Pairs{{"simulate", "true"}, {"cache", "false"}}));
  EXPECT_EQ(InherentOptions("Simulate"), Pairs{});
  EXPECT_EQ(InherentOptions("Simulate="), Pairs{});
  EXPECT_EQ(InherentOptions("Simulate=, Cache=1"), (Pairs{{"cache", "1"}}));
  // A value that is not made of word characters is cut at the first other character.
  EXPECT_EQ(InherentOptions("Simulate=yes-no"), (Pairs{{"simulate", "yes"}}));
  EXPECT_EQ(InherentOptions(""), Pairs{});
}

TEST(OptionScannersTest, InherentOptionMatchTakesItsBlanksAndOneComma) {
  const std::string text = "  cache = 1 ,, simulate=0";
  const auto matches = InherentOptionMatches(text);
  ASSERT_EQ(matches.size(), 2u);
  EXPECT_EQ(matches[0].match, "  cache = 1 ,");
  EXPECT_EQ(matches[1].match, " simulate=0");
}

TEST(OptionScannersTest, DriverSetupIsTheRestOfTheFirstLineAfterTheKeyword) {
  const std::string text = "Simulate=true, DriverSetup=Model:VQR-A1";
  const auto location = FindDriverSetup(text);
  ASSERT_TRUE(location);
  EXPECT_EQ(location->matchStart, 14u);  // the blank before the keyword belongs to the match
  EXPECT_EQ(location->value, "Model:VQR-A1");
  EXPECT_EQ(text.substr(0, location->matchStart), "Simulate=true,");

  const auto first = FindDriverSetup("DriverSetup=Model:VQR-A1, Simulate=true");
  ASSERT_TRUE(first);
  EXPECT_EQ(first->matchStart, 0u);
  EXPECT_EQ(first->value, "Model:VQR-A1, Simulate=true");

  const auto lower = FindDriverSetup("driversetup = model=VQR-A1");
  ASSERT_TRUE(lower);
  EXPECT_EQ(lower->value, " model=VQR-A1");

  const auto lines = FindDriverSetup("Cache=1\n DriverSetup\t=Model=X\r\nTrace=1");
  ASSERT_TRUE(lines);
  EXPECT_EQ(lines->matchStart, 7u);  // the line feed is white space of the match
  EXPECT_EQ(lines->value, "Model=X");

  // A keyword without '=' does not count; a later one does.
  const auto later = FindDriverSetup("DriverSetup, DriverSetupDriverSetup =x");
  ASSERT_TRUE(later);
  EXPECT_EQ(later->matchStart, 24u);
  EXPECT_EQ(later->value, "x");

  EXPECT_FALSE(FindDriverSetup("Driver Setup=x"));
  EXPECT_FALSE(FindDriverSetup("DriverSetu=x"));
  EXPECT_FALSE(FindDriverSetup(""));
}

TEST(OptionScannersTest, DriverSetupItemsKeepBlanksBeforeTheComma) {
  const auto location = FindDriverSetup("DriverSetup=Model=VQR-A1 , Trace=1");
  ASSERT_TRUE(location);
  EXPECT_EQ(NamesAndValues(DriverSetupItemMatches(location->value)), (Pairs{{"Model", "VQR-A1 "}, {"Trace", "1"}}));

  EXPECT_EQ(NamesAndValues(DriverSetupItemMatches("Model=VQR-A1, model=VQR-A2")),
            (Pairs{{"Model", "VQR-A1"}, {"model", "VQR-A2"}}));
  EXPECT_EQ(NamesAndValues(DriverSetupItemMatches("a+b : x=y;z:w ,c")), (Pairs{{"a+b", "x=y;z:w "}}));
  // Only blanks before the comma: the last blank is the value.
  EXPECT_EQ(NamesAndValues(DriverSetupItemMatches("a= ,b=1")), (Pairs{{"a", " "}, {"b", "1"}}));
  EXPECT_EQ(NamesAndValues(DriverSetupItemMatches("a=\t \n")), (Pairs{{"a", "\n"}}));
  // No value at all: the item is skipped.
  EXPECT_EQ(NamesAndValues(DriverSetupItemMatches("a=,b=")), Pairs{});
  // The value runs over line ends up to the next comma.
  EXPECT_EQ(NamesAndValues(DriverSetupItemMatches("a=1\n2,b")), (Pairs{{"a", "1\n2"}}));
}

// Inputs on which a backtracking regular expression recurses deeply or re-scans each run
// from every start: they must finish and still give the right answer.
TEST(OptionScannersTest, LongInputsGiveTheRightAnswer) {
  constexpr std::size_t kMiB = 1 << 20;
  const std::string words(kMiB, 'a');
  const std::string blanks(kMiB, ' ');
  const std::string commas(100000, ',');

  EXPECT_TRUE(InherentOptionMatches(words).empty());
  EXPECT_TRUE(InherentOptionMatches(blanks).empty());
  EXPECT_TRUE(InherentOptionMatches(commas).empty());
  EXPECT_TRUE(InherentOptionMatches(words + blanks + "=" + blanks).empty());
  // Results view the scanned text, so every text is kept in a variable of its own.
  const std::string longPairText = blanks + words + blanks + "=" + blanks + "1" + blanks;
  const auto longPair = InherentOptionMatches(longPairText);
  ASSERT_EQ(longPair.size(), 1u);
  EXPECT_EQ(longPair[0].name.size(), kMiB);
  EXPECT_EQ(longPair[0].value, "1");
  EXPECT_EQ(longPair[0].match.size(), 5 * kMiB + 2);

  std::string manyPairs;
  for (int i = 0; i < 100000; ++i) manyPairs += "a=1,";
  EXPECT_EQ(InherentOptionMatches(manyPairs).size(), 100000u);
  EXPECT_EQ(DriverSetupItemMatches(manyPairs).size(), 100000u);

  EXPECT_TRUE(DriverSetupItemMatches(words).empty());
  EXPECT_TRUE(DriverSetupItemMatches(commas).empty());
  std::string emptyValues;
  for (int i = 0; i < 100000; ++i) emptyValues += "a=,";
  EXPECT_TRUE(DriverSetupItemMatches(emptyValues).empty());
  const std::string blankValueText = "a=" + blanks;
  const auto blankValue = DriverSetupItemMatches(blankValueText);
  ASSERT_EQ(blankValue.size(), 1u);
  EXPECT_EQ(blankValue[0].value, " ");
  const std::string longValueText = "Model=" + words + commas;
  const auto longValue = DriverSetupItemMatches(longValueText);
  ASSERT_EQ(longValue.size(), 1u);
  EXPECT_EQ(longValue[0].value.size(), kMiB);

  EXPECT_FALSE(FindDriverSetup(blanks));
  EXPECT_FALSE(FindDriverSetup(std::string(kMiB, 'd')));
  std::string keywords;
  while (keywords.size() < kMiB) keywords += "DriverSetup ";
  EXPECT_FALSE(FindDriverSetup(keywords));
  const std::string lastText = keywords + blanks + "=" + words + "\n";
  const auto last = FindDriverSetup(lastText);
  ASSERT_TRUE(last);
  // The match starts at the blank in front of the last keyword.
  EXPECT_EQ(last->matchStart, keywords.size() - std::string(" DriverSetup ").size());
  EXPECT_EQ(last->value.size(), kMiB);
}

}  // namespace
}  // namespace kel::text
