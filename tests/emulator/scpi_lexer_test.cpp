#include "vqrsim/scpi_lexer.hpp"

#include <cstdio>
#include <gtest/gtest.h>

namespace vqrsim::scpi {
namespace {

std::vector<std::string> upper_path(std::initializer_list<const char*> words) { return {words.begin(), words.end()}; }

TEST(HeaderPatternTest, OptionalNodesMatchWithOrWithoutThem) {
  const HeaderPattern pattern("[SOURce:]VOLTage[:LEVel][:IMMediate][:AMPLitude]?");
  EXPECT_TRUE(pattern.query());
  EXPECT_EQ(pattern.canonical(), "VOLT?");
  EXPECT_TRUE(pattern.matches(upper_path({"VOLT"})));
  EXPECT_TRUE(pattern.matches(upper_path({"VOLTAGE"})));
  EXPECT_TRUE(pattern.matches(upper_path({"SOUR", "VOLT", "LEV", "IMM", "AMPL"})));
  EXPECT_TRUE(pattern.matches(upper_path({"SOURCE", "VOLTAGE", "AMPLITUDE"})));
  EXPECT_FALSE(pattern.matches(upper_path({"VOL"})));  // neither short nor long form
  EXPECT_FALSE(pattern.matches(upper_path({"VOLTA"})));
  EXPECT_FALSE(pattern.matches(upper_path({"AMPL", "VOLT"})));  // order matters
  EXPECT_FALSE(pattern.matches(upper_path({"VOLT", "PROT"})));
}

TEST(HeaderPatternTest, CommonHeadersAndCanonicalForms) {
  EXPECT_EQ(HeaderPattern("*ESE?").canonical(), "*ESE?");
  EXPECT_TRUE(HeaderPattern("*ESE?").common());
  EXPECT_EQ(HeaderPattern("STATus:QUEStionable:HARDware[:EVENt]?").canonical(), "STAT:QUES:HARD?");
  EXPECT_EQ(HeaderPattern("SYSTem:CONFigure:SAVE").canonical(), "SYST:CONF:SAVE");
}

TEST(HeaderTest, ParsesColonsQueriesAndRejectsMalformedHeaders) {
  const auto header = parse_header(":syst:Err?");
  ASSERT_TRUE(header.has_value());
  EXPECT_TRUE(header->absolute);
  EXPECT_TRUE(header->query);
  EXPECT_EQ(header->mnemonics, upper_path({"SYST", "ERR"}));
  EXPECT_EQ(parse_header("*idn?")->mnemonics, upper_path({"*IDN"}));
  for (const char* bad : {"", ":", "VOLT:", "VOLT::PROT", "*", "*1", "VO-LT", "1VOLT", "VOLT??", "\x01"}) {
    EXPECT_FALSE(parse_header(bad).has_value()) << bad;
  }
}

TEST(UnitTest, SplitsUnitsAndParametersOutsideQuotes) {
  const auto units = split_units("VOLT 1;SYST:MOD 'a;b';*IDN?");
  ASSERT_EQ(units.size(), 3u);
  EXPECT_EQ(units[1], "SYST:MOD 'a;b'");
  const auto unit = parse_unit("  CAL:CALC:VOLT:PAR 1, 2.5 ,\"x,y\",100\r");
  ASSERT_TRUE(unit.has_value());
  EXPECT_EQ(unit->header, "CAL:CALC:VOLT:PAR");
  ASSERT_EQ(unit->params.size(), 4u);
  EXPECT_EQ(unit->params[1], "2.5");
  EXPECT_EQ(unit->params[2], "\"x,y\"");
  EXPECT_FALSE(parse_unit("VOLT 1,").has_value());
  EXPECT_FALSE(parse_unit("VOLT ,1").has_value());
  EXPECT_FALSE(parse_unit("SYST:MOD 'open").has_value());
}

TEST(NumberTest, AcceptsScpiNumericForms) {
  struct Case {
    const char* text;
    double value;
  };
  for (const Case& c :
       {Case{"12", 12}, Case{"+12.5", 12.5}, Case{"-.5", -0.5}, Case{"1e3", 1000}, Case{"1.5E-3", 0.0015},
        Case{"12 V", 12}, Case{"12v", 12}, Case{"#H1F", 31}, Case{"#q17", 15}, Case{"#B101", 5}, Case{"7.", 7}}) {
    NumberToken token;
    EXPECT_EQ(parse_number(c.text, "V", token), 0) << c.text;
    EXPECT_EQ(token.kind, NumberToken::Kind::Value) << c.text;
    EXPECT_DOUBLE_EQ(token.value, c.value) << c.text;
  }
  NumberToken token;
  EXPECT_EQ(parse_number("max", "V", token), 0);
  EXPECT_EQ(token.kind, NumberToken::Kind::Maximum);
  EXPECT_EQ(parse_number("MINimum", "V", token), 0);
  EXPECT_EQ(token.kind, NumberToken::Kind::Minimum);
  EXPECT_EQ(parse_number("DEF", "V", token), 0);
  EXPECT_EQ(token.kind, NumberToken::Kind::Default);
}

TEST(NumberTest, ReportsTheScpiErrorOfABadNumber) {
  NumberToken token;
  EXPECT_EQ(parse_number("abc", "V", token), -224);
  EXPECT_EQ(parse_number("12 A", "V", token), -131);
  EXPECT_EQ(parse_number("12..3", "V", token), -102);
  EXPECT_EQ(parse_number(".", "V", token), -102);
  EXPECT_EQ(parse_number("-", "V", token), -102);
  EXPECT_EQ(parse_number("#X12", "V", token), -102);
  EXPECT_EQ(parse_number("1e999", "V", token), -222);
  EXPECT_EQ(parse_number("'12'", "V", token), -104);
  EXPECT_EQ(parse_number("inf", "V", token), -224);
  EXPECT_EQ(parse_number("nan", "", token), -224);
}

TEST(BooleanTest, OnOffAndDigits) {
  bool value = false;
  EXPECT_EQ(parse_boolean("on", value), 0);
  EXPECT_TRUE(value);
  EXPECT_EQ(parse_boolean("0", value), 0);
  EXPECT_FALSE(value);
  EXPECT_EQ(parse_boolean("Off", value), 0);
  EXPECT_EQ(parse_boolean("2", value), -224);
  EXPECT_EQ(parse_boolean("YES", value), -224);
}

TEST(FormatRealTest, ReadsBackExactlyWithScanf) {
  for (double value : {0.0, 12.0, 1.2, 0.1 + 0.2, 12.345678901234, 1e6, 1.5e-7, 33.0 * 1.1, -2.5}) {
    const std::string text = format_real(value);
    double read = 0;
    ASSERT_EQ(std::sscanf(text.c_str(), "%lf", &read), 1) << text;
    EXPECT_EQ(read, value) << text;
  }
  EXPECT_EQ(format_real(12), "12");
  EXPECT_EQ(format_real(1.2), "1.2");
}

}  // namespace
}  // namespace vqrsim::scpi
