#include "kel/text/Text.h"

#include <gtest/gtest.h>

#include <locale>
#include <map>
#include <string>

namespace kel::text {
namespace {

using Pieces = std::vector<std::string_view>;

TEST(TextTest, TrimRemovesOnlyTheGivenCharactersFromBothEnds) {
  EXPECT_EQ(Trim(" \t\r\nON \n"), "ON");
  EXPECT_EQ(Trim("a b"), "a b");
  EXPECT_EQ(Trim(" \t\r\n"), "");
  EXPECT_EQ(Trim(""), "");
  // Vertical tab and form feed are not trimmed by default.
  EXPECT_EQ(Trim("\vx\f"), "\vx\f");
  EXPECT_EQ(Trim("xxAxx", "x"), "A");
}

TEST(TextTest, CaseMappingMatchesTheClassicLocaleForEveryByte) {
  const auto& ctype = std::use_facet<std::ctype<char>>(std::locale::classic());
  std::string all;
  for (int c = 0; c < 256; ++c) all.push_back(static_cast<char>(c));
  const std::string upper = ToUpper(all);
  const std::string lower = ToLowerAscii(all);
  for (int c = 0; c < 256; ++c) {
    const char ch = static_cast<char>(c);
    EXPECT_EQ(upper[c], ctype.toupper(ch)) << c;
    const char expectedLower = (ch >= 'A' && ch <= 'Z') ? static_cast<char>(ch + 32) : ch;
    EXPECT_EQ(lower[c], expectedLower) << c;
  }
}

TEST(TextTest, EqualsIgnoreCaseComparesAsciiLettersOnly) {
  EXPECT_TRUE(EqualsIgnoreCase("Model", "MODEL"));
  EXPECT_TRUE(EqualsIgnoreCase("", ""));
  EXPECT_FALSE(EqualsIgnoreCase("Model", "Models"));
  EXPECT_FALSE(EqualsIgnoreCase("[", "{"));  // 0x5B and 0x7B differ by the case bit only
  EXPECT_FALSE(EqualsIgnoreCase("\xC4", "\xE4"));
}

TEST(TextTest, CaseInsensitiveTableFindsKeysWrittenInAnyCase) {
  std::map<std::string, int, CaseInsensitiveLess> table;
  table["Model"] = 1;
  EXPECT_FALSE(table.emplace("MODEL", 2).second);
  table["Trace"] = 3;
  table["_x"] = 4;
  ASSERT_EQ(table.size(), 3u);
  // Heterogeneous lookup: no std::string is built for the key.
  EXPECT_EQ(table.find(std::string_view("model"))->second, 1);
  EXPECT_EQ(table.count("TRACE"), 1u);
  EXPECT_EQ(table.count("Trac"), 0u);
  // Upper-casing decides the order: '_' (0x5F) sorts after every upper-case letter.
  EXPECT_EQ(table.rbegin()->first, "_x");
  const CaseInsensitiveLess less;
  EXPECT_TRUE(less("a", "B"));
  EXPECT_FALSE(less("b", "A"));
  EXPECT_TRUE(less("Z", "\x80"));  // bytes compare as unsigned
}

TEST(TextTest, SplitAndTrimKeepsEveryPieceOfANonEmptyText) {
  EXPECT_EQ(SplitAndTrim("ON,  1", ','), (Pieces{"ON", "1"}));
  EXPECT_EQ(SplitAndTrim("", ','), Pieces{});
  EXPECT_EQ(SplitAndTrim(" ", ','), Pieces{""});
  EXPECT_EQ(SplitAndTrim("a,,b", ','), (Pieces{"a", "", "b"}));
  EXPECT_EQ(SplitAndTrim("a,", ','), (Pieces{"a", ""}));
  EXPECT_EQ(SplitAndTrim(",", ','), (Pieces{"", ""}));
  EXPECT_EQ(SplitAndTrim("CH1 :\t[CH2]\n", ':'), (Pieces{"CH1", "[CH2]"}));
  EXPECT_EQ(SplitAndTrim("-a-;b", ';', "-"), (Pieces{"a", "b"}));
}

TEST(TextTest, SplitAndTrimHandlesManySeparators) {
  const std::string commas(100000, ',');
  const Pieces pieces = SplitAndTrim(commas, ',');
  ASSERT_EQ(pieces.size(), 100001u);
  for (std::string_view piece : pieces) ASSERT_TRUE(piece.empty());
}

}  // namespace
}  // namespace kel::text
