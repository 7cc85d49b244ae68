// The scanners stand in for ECMAScript regular expressions. Here each one is compared with
// std::regex itself on many short random texts (std::regex is only safe on short inputs),
// built over alphabets that stress its pattern: characters one at a time, and fragments
// (keywords, separators, runs of blanks) that make matches frequent.
#include <gtest/gtest.h>

#include <cctype>
#include <cstdint>
#include <optional>
#include <random>
#include <regex>
#include <string>
#include <vector>

#include "kel/text/OptionScanners.h"
#include "kel/text/SelectorScanners.h"

namespace kel::text {
namespace {

constexpr int kTextsPerScanner = 20000;
constexpr auto kEcma = std::regex::ECMAScript;
constexpr auto kEcmaIcase = std::regex::ECMAScript | std::regex::icase;

class TextGenerator {
 public:
  TextGenerator(std::string alphabet, std::vector<std::string> fragments)
      : alphabet_(std::move(alphabet)), fragments_(std::move(fragments)) {}

  // Alternates between texts of single characters and texts of fragments.
  std::string Next() {
    std::string text;
    const bool byCharacter = random_() % 2 == 0;
    const unsigned parts = random_() % (byCharacter ? 14 : 8);
    for (unsigned i = 0; i < parts; ++i) {
      if (byCharacter) {
        text.push_back(alphabet_[random_() % alphabet_.size()]);
      } else {
        text += fragments_[random_() % fragments_.size()];
      }
    }
    return text;
  }

 private:
  std::mt19937 random_{12345};
  std::string alphabet_;
  std::vector<std::string> fragments_;
};

struct Piece {
  std::ptrdiff_t offset;
  std::string text;
  bool operator==(const Piece&) const = default;
};

std::ostream& operator<<(std::ostream& out, const Piece& piece) {
  return out << piece.offset << ":'" << piece.text << "'";
}

Piece PieceOf(std::string_view whole, std::string_view part) { return {part.data() - whole.data(), std::string(part)}; }

struct ItemMatch {
  Piece match, name, value;
  bool operator==(const ItemMatch&) const = default;
};

std::ostream& operator<<(std::ostream& out, const ItemMatch& m) {
  return out << "{" << m.match << " " << m.name << " " << m.value << "}";
}

std::vector<ItemMatch> RegexItems(const std::string& text, const std::regex& pattern) {
  std::vector<ItemMatch> result;
  for (auto it = std::sregex_iterator(text.begin(), text.end(), pattern); it != std::sregex_iterator(); ++it) {
    const std::smatch& m = *it;
    result.push_back({{m.position(0), m.str(0)}, {m.position(1), m.str(1)}, {m.position(2), m.str(2)}});
  }
  return result;
}

std::vector<ItemMatch> ScannerItems(const std::string& text, const std::vector<NameValueMatch>& matches) {
  std::vector<ItemMatch> result;
  for (const NameValueMatch& m : matches) {
    result.push_back({PieceOf(text, m.match), PieceOf(text, m.name), PieceOf(text, m.value)});
  }
  return result;
}

std::string Printable(const std::string& text) {
  std::string out;
  for (unsigned char c : text) {
    if (c >= 0x20 && c < 0x7F) {
      out.push_back(static_cast<char>(c));
    } else {
      static const char* hex = "0123456789ABCDEF";
      out += "\\x";
      out.push_back(hex[c >> 4]);
      out.push_back(hex[c & 15]);
    }
  }
  return out;
}

// On kTextsPerScanner generated texts, `scan(text)` finds the same items as iterating
// `pattern` over the text; more than one text in twenty has items, so the texts test something.
template <class Scan>
void ExpectScannerMatchesRegexIterator(const std::regex& pattern, TextGenerator& texts, Scan&& scan) {
  int matched = 0;
  for (int i = 0; i < kTextsPerScanner; ++i) {
    const std::string text = texts.Next();
    SCOPED_TRACE("text '" + Printable(text) + "'");
    const auto expected = RegexItems(text, pattern);
    ASSERT_EQ(ScannerItems(text, scan(text)), expected);
    if (!expected.empty()) ++matched;
  }
  EXPECT_GT(matched, kTextsPerScanner / 20);
}

TEST(RegexEquivalenceTest, FindDriverSetupMatchesRegexSearch) {
  const std::regex pattern(R"(\s*DriverSetup\s*=(.*))", kEcmaIcase);
  TextGenerator texts("DdRrIiVvEeSsTtUuPp =\n\r\t\v\f,x\xE9",
                      {"DriverSetup", "driversetup", "DRIVERSETUP", "DriverSetu", "riverSetup",
                       "DriverSetup=", " dRiVeRsEtUp =", "\tDriverSetup\n=", "=", " ", "  ", "\n", "\r", "\t", ",", "x",
                       "Model=VQR", "\xC9"});
  int found = 0;
  for (int i = 0; i < kTextsPerScanner; ++i) {
    const std::string text = texts.Next();
    SCOPED_TRACE("text '" + Printable(text) + "'");
    std::smatch m;
    const bool expected = std::regex_search(text, m, pattern);
    const std::optional<DriverSetupLocation> actual = FindDriverSetup(text);
    ASSERT_EQ(actual.has_value(), expected);
    if (!expected) continue;
    ++found;
    EXPECT_EQ(static_cast<std::ptrdiff_t>(actual->matchStart), m.position(0));
    EXPECT_EQ(PieceOf(text, actual->value), (Piece{m.position(1), m.str(1)}));
  }
  EXPECT_GT(found, kTextsPerScanner / 20) << "the generator rarely produces a match";
}

TEST(RegexEquivalenceTest, InherentOptionMatchesMatchRegexIterator) {
  const std::regex pattern(R"(\s*(\w+)\s*=\s*(\w+)\s*,?)", kEcma);
  TextGenerator texts("ab_1 =,;\t\n\v\f-x\xE9", {"simulate", "cache", "=", " = ", " ", ",", ", ", ";", "\t", "\n", "1",
                                                 "true", "vi_true", "_", "-", "x", "\xE9"});
  ExpectScannerMatchesRegexIterator(pattern, texts, InherentOptionMatches);
}

TEST(RegexEquivalenceTest, DriverSetupItemMatchesMatchRegexIterator) {
  const std::regex pattern(R"(([\w+_]+)\s*(?:=|:)\s*([^,]+))", kEcma);
  TextGenerator texts("aB_1+=:, \t\n\r\v;-x\xE9", {"Model", "Trace", "+", "_", "=", ":", " ", "  ", ",", ",,", "\n",
                                                   "VQR-A1", ";", "x", "\t", "= ", " ,", "\xE9"});
  ExpectScannerMatchesRegexIterator(pattern, texts, DriverSetupItemMatches);
}

TEST(RegexEquivalenceTest, SelectorGrammarMatchesRegex) {
  const std::string identifier = R"(\s*[\w_!]+)";
  const std::string range = R"((?:\s*[a-z_!]+[0-9]+\s*-\s*[a-z_!]+[0-9]+))";
  const std::string list = "(?:" + range + "|" + identifier + ")" + R"((?:\s*,(?:)" + range + "|" + identifier + "))*";
  const std::regex pattern(R"(^(?:\s*\[?)" + list + R"(\s*\]?)(?:\s*:\s*\[?)" + list + R"(\s*\]?)*$)", kEcmaIcase);
  TextGenerator texts("CcHh1209,:[]-!_ \tx\n\v\xE9",
                      {"CH1", "ch2", "CH", "1",  "09", ",", ", ", ":",       " : ", "[",   "]",
                       "-",   " - ", " ",  "\t", "!",  "_", "x",  "CH1-CH3", "\n",  "\xE9"});
  int accepted = 0;
  for (int i = 0; i < kTextsPerScanner; ++i) {
    const std::string text = texts.Next();
    SCOPED_TRACE("text '" + Printable(text) + "'");
    const bool expected = std::regex_search(text, pattern);
    ASSERT_EQ(MatchesSelectorGrammar(text), expected);
    if (expected) ++accepted;
  }
  EXPECT_GT(accepted, kTextsPerScanner / 20);
}

TEST(RegexEquivalenceTest, SelectorRangeMatchesRegex) {
  const std::regex pattern(R"(^\s*([a-z_!]+)([0-9]+)\s*-\s*\1([0-9]+)$)", kEcmaIcase);
  TextGenerator texts("CcHh109-! _\tx\n\xE9", {"CH", "ch", "Ch", "C", "H", "1", "01", "3", "-", " - ", " ", "\t", "!",
                                               "_", "x", "CH1-CH", "\n", "\xE9"});
  // Texts shaped like a range, each part drawn from right and wrong variants.
  std::mt19937 random(777);
  const auto pick = [&random](std::initializer_list<const char*> options) {
    return std::string(options.begin()[random() % options.size()]);
  };
  const auto flipCase = [&random](std::string text) {
    for (char& c : text) {
      if (random() % 2 == 0 && std::isalpha(static_cast<unsigned char>(c))) c ^= 0x20;
    }
    return text;
  };
  const auto rangeLike = [&] {
    const std::string base = pick({"CH", "ch", "C", "!_", "a_B", "", "1"});
    const std::string secondBase = random() % 4 != 0 ? flipCase(base) : pick({"C", "CHH", "XY", "", "1"});
    return pick({"", "", " ", "\t\v", "x"}) + base + pick({"1", "01", "1", "", "x"}) + pick({"", " ", "\f"}) +
           pick({"-", "-", "-", "", "--"}) + pick({"", " ", "\n"}) + secondBase +
           pick({"3", "003", "3", "", "3 ", "3\n", "3x"});
  };
  int matched = 0;
  for (int i = 0; i < kTextsPerScanner; ++i) {
    const std::string text = i % 2 == 0 ? texts.Next() : rangeLike();
    SCOPED_TRACE("text '" + Printable(text) + "'");
    std::smatch m;
    const bool expected = std::regex_search(text, m, pattern);
    const std::optional<SelectorRange> actual = MatchSelectorRange(text);
    ASSERT_EQ(actual.has_value(), expected);
    if (!expected) continue;
    ++matched;
    EXPECT_EQ(PieceOf(text, actual->base), (Piece{m.position(1), m.str(1)}));
    EXPECT_EQ(PieceOf(text, actual->firstDigits), (Piece{m.position(2), m.str(2)}));
    EXPECT_EQ(PieceOf(text, actual->lastDigits), (Piece{m.position(3), m.str(3)}));
  }
  EXPECT_GT(matched, kTextsPerScanner / 50);
}

TEST(RegexEquivalenceTest, IdentifierRunsMatchRegexIterator) {
  const std::regex pattern(R"([\w_!]+)", kEcma);
  TextGenerator texts("aZ09_!,:[]- \t\xE9",
                      {"CH1", "Out", "!!", ",", ":", "[", "]", " ", "OutputChannel!!CH1", "\xE9"});
  for (int i = 0; i < kTextsPerScanner; ++i) {
    const std::string text = texts.Next();
    SCOPED_TRACE("text '" + Printable(text) + "'");
    std::vector<Piece> expected;
    for (auto it = std::sregex_iterator(text.begin(), text.end(), pattern); it != std::sregex_iterator(); ++it) {
      expected.push_back({it->position(0), it->str(0)});
    }
    std::vector<Piece> actual;
    for (const TextRun& run : IdentifierRuns(text)) {
      actual.push_back({static_cast<std::ptrdiff_t>(run.offset), text.substr(run.offset, run.length)});
    }
    ASSERT_EQ(actual, expected);
  }
}

}  // namespace
}  // namespace kel::text
