#include "kel/text/SelectorScanners.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace kel::text {
namespace {

TEST(SelectorScannersTest, GrammarAcceptsListsRangesAndLevels) {
  for (const char* selector :
       {"CH1", " CH1 ", "[CH1]", "CH1-CH3", "ch1 - CH3", "CH1,CH2", " [ CH1 , CH2 ]", "[CH1", "CH1]", "CH1:X", "[a",
        "a:[b]:c", "OutputChannel!!CH1", "_!", "CH1] : CH2", "1", "\vCH1\f", "CH01-CH03", "CH1-XY3"}) {
    EXPECT_TRUE(MatchesSelectorGrammar(selector)) << "'" << selector << "'";
  }
}

TEST(SelectorScannersTest, GrammarRejectsBadlyFormedSelectors) {
  for (const char* selector : {"",
                               " ",
                               "CH1,",
                               "CH1 CH2",
                               "CH-1",
                               "CH1-",
                               "-CH1",
                               "1-2",
                               "CH1-CH2-CH3",
                               "[]",
                               "[[CH1",
                               "CH1]]",
                               "[CH1] ",
                               "CH1:",
                               ":CH1",
                               "CH1::CH2",
                               "CH1;CH2",
                               "CH\xC4"
                               "1",
                               "CH1,,CH2",
                               "CH1-CH2x",
                               "CH1 - 3"}) {
    EXPECT_FALSE(MatchesSelectorGrammar(selector)) << "'" << selector << "'";
  }
}

TEST(SelectorScannersTest, RangeGivesBaseAndBothNumbers) {
  auto range = MatchSelectorRange("CH01-CH03");
  ASSERT_TRUE(range);
  EXPECT_EQ(range->base, "CH");
  EXPECT_EQ(range->firstDigits, "01");
  EXPECT_EQ(range->lastDigits, "03");

  range = MatchSelectorRange(" ch1 -\tCH2");  // the second base repeats the first, any case
  ASSERT_TRUE(range);
  EXPECT_EQ(range->base, "ch");
  EXPECT_EQ(range->firstDigits, "1");
  EXPECT_EQ(range->lastDigits, "2");

  for (const char* item :
       {"CH1-XY3", "CH1-C3", "CH1-CHH3", "CH1-CH", "CH1-CH3 ", "CH-CH3", "1-2", "CH1CH3", "CH1-CH3-CH4", "CH1-CH3\n"}) {
    EXPECT_FALSE(MatchSelectorRange(item)) << "'" << item << "'";
  }
}

TEST(SelectorScannersTest, IdentifierRunsLeaveTheSeparatorsBetween) {
  const std::string text = "[Out, a!!b]:x";
  std::vector<std::string> runs;
  for (const TextRun& run : IdentifierRuns(text)) runs.push_back(text.substr(run.offset, run.length));
  EXPECT_EQ(runs, (std::vector<std::string>{"Out", "a!!b", "x"}));
  EXPECT_TRUE(IdentifierRuns(" ,:[]-").empty());
}

TEST(SelectorScannersTest, LongSelectorsGiveTheRightAnswer) {
  constexpr std::size_t kMiB = 1 << 20;
  EXPECT_TRUE(MatchesSelectorGrammar(std::string(kMiB, ' ') + "CH1" + std::string(kMiB, ' ')));
  EXPECT_TRUE(MatchesSelectorGrammar(std::string(kMiB, 'a')));
  EXPECT_FALSE(MatchesSelectorGrammar(std::string(kMiB, '[')));
  EXPECT_FALSE(MatchesSelectorGrammar(std::string(100000, ',')));

  std::string list = "CH1";
  for (int i = 0; i < 100000; ++i) list += ", CH1";
  EXPECT_TRUE(MatchesSelectorGrammar(list));
  EXPECT_FALSE(MatchesSelectorGrammar(list + ","));
  std::string levels = "a";
  for (int i = 0; i < 100000; ++i) levels += ":[a]";
  EXPECT_TRUE(MatchesSelectorGrammar(levels));
  std::string dashes = "a1";
  for (int i = 0; i < 100000; ++i) dashes += "-a1";
  EXPECT_FALSE(MatchesSelectorGrammar(dashes));
  EXPECT_FALSE(MatchSelectorRange(dashes));

  const std::string base(kMiB, 'c');
  const std::string longRange = base + "1-" + base + std::string(kMiB, '9');
  const auto range = MatchSelectorRange(longRange);
  ASSERT_TRUE(range);
  EXPECT_EQ(range->base.size(), kMiB);
  EXPECT_EQ(range->lastDigits.size(), kMiB);
  EXPECT_FALSE(MatchSelectorRange(base + "1-" + base + "x1"));

  std::string separated;
  for (int i = 0; i < 100000; ++i) separated += "a,";
  EXPECT_EQ(IdentifierRuns(separated).size(), 100000u);
  EXPECT_EQ(IdentifierRuns(std::string(kMiB, '!')).size(), 1u);
}

}  // namespace
}  // namespace kel::text
