#include "vqrsim/instrument.hpp"

#include <cstdio>
#include <gtest/gtest.h>
#include <random>

namespace vqrsim {
namespace {

// An instrument with the power-on event already read, so tests see only their own bits.
class InstrumentTest : public ::testing::Test {
 protected:
  explicit InstrumentTest(std::string model = "VQR-A4") : instrument(std::move(model)) {
    instrument.process_line("*CLS");
  }
  std::string ask(std::string_view line) {
    std::string reply = instrument.process_line(line);
    if (!reply.empty() && reply.back() == '\n') reply.pop_back();
    return reply;
  }
  double ask_real(std::string_view line) {
    double value = -12345;
    const std::string reply = ask(line);
    EXPECT_EQ(std::sscanf(reply.c_str(), "%lf", &value), 1) << line << " -> " << reply;
    return value;
  }
  Instrument instrument;
};

TEST_F(InstrumentTest, IdentityHasFourFieldsWithoutBlanks) {
  EXPECT_EQ(instrument.process_line("*IDN?\n"), "Halvorn,VQR-A4,SIM000123,2.14\n");
  Instrument unknown("XYZ-9");
  EXPECT_EQ(unknown.process_line("*IDN?"), "Halvorn,XYZ-9,SIM000123,2.14\n");
  EXPECT_EQ(unknown.state().rating.max_volts, 50);  // rated like the fallback model
}

TEST_F(InstrumentTest, HeadersInShortLongMixedCaseAndWithColon) {
  for (const char* line :
       {"VOLT 5", "VOLTage 5.5", "volt 6", ":SOUR:VOLT:LEV:IMM:AMPL 7", "source:voltage:level 8", "VoLt:LeVeL 9\r\n"}) {
    const double before = instrument.state().levels.volts;
    EXPECT_EQ(instrument.process_line(line), "") << line;
    EXPECT_NE(instrument.state().levels.volts, before) << line;
  }
  EXPECT_EQ(ask("VOLT?"), "9");
  EXPECT_EQ(ask(":voltage:protection:level?"), "55");
  EXPECT_EQ(ask("SYSTem:ERRor:NEXT?"), "0,\"No error\"");
  EXPECT_EQ(ask("*esr?"), "0");
}

TEST_F(InstrumentTest, SemicolonListsJoinRepliesAndKeepTheCurrentPath) {
  EXPECT_EQ(ask("VOLT 12;CURR 2;VOLT?;CURR?"), "12;2");
  // After a compound header the next unit resolves under its path first, then from the root.
  EXPECT_EQ(ask("VOLT:PROT 10;PROT?;:VOLT?"), "10;12");
  EXPECT_EQ(ask("STAT:OPER:ENAB 512;ENAB?"), "512");
  EXPECT_EQ(ask("*IDN?;*OPC?"), "Halvorn,VQR-A4,SIM000123,2.14;1");
  EXPECT_EQ(ask(";;VOLT?;"), "12");
  EXPECT_EQ(ask("SYST:ERR:COUN?"), "0");
}

TEST_F(InstrumentTest, MinMaxDefaultsFollowTheModelRatings) {
  Instrument b4("VQR-B4");  // 1500 W, 50 V, 40 A
  EXPECT_EQ(b4.process_line("VOLT? MAX;CURR? MAX;POW? MAX;VOLT:PROT? MAX;CURR:PROT? MAX;POW:PROT? MAX"),
            "50;40;1500;55;44;1650\n");
  EXPECT_EQ(b4.process_line("VOLT? MIN;CURR? MIN"), "0;0\n");
  // Defaults after start-up and *RST.
  EXPECT_EQ(b4.process_line("VOLT?;CURR?;POW?;VOLT:PROT?;CURR:PROT?;POW:PROT?"), "0;40;1500;55;44;1650\n");
  EXPECT_EQ(b4.process_line("OUTP?;OUTP:AUTO?;RSEN?;SYST:MOD?;SYST:MOD:AOUT?;SYST:MOD:ASC?"), "0;0;0;REM;DIS;3,3\n");

  instrument.process_line("VOLT MAX;CURR MIN;POW MAX");
  EXPECT_EQ(ask("VOLT?;CURR?;POW?"), "50;0;600");
  instrument.process_line("CURR DEF;VOLT 3;*RST");
  EXPECT_EQ(ask("VOLT?;CURR?"), "0;20");
}

TEST_F(InstrumentTest, RejectedValuesLeaveTheSettingUnchanged) {
  instrument.process_line("VOLT 12;CURR 2");
  for (const char* line :
       {"VOLT 50.01", "VOLT -1", "CURR 21", "POW 601", "VOLT:PROT 56", "CURR abc", "VOLT 5 A", "CURR", "VOLT 1,2"}) {
    instrument.process_line(line);
  }
  EXPECT_EQ(ask("VOLT?;CURR?;POW?;VOLT:PROT?"), "12;2;600;55");
}

// Each malformed or refused message gives one error in the queue and one ESR bit.
TEST_F(InstrumentTest, ErrorsReachTheQueueWithTheirEventBits) {
  struct Case {
    const char* line;
    const char* entry;
    int esr;
  };
  const Case cases[] = {
      {"FOO", "-113,\"Undefined header\"", 0x20},
      {"VOLT:FOO 1", "-113,\"Undefined header\"", 0x20},
      {"*RST?", "-113,\"Undefined header\"", 0x20},
      {"VOLT", "-109,\"Missing parameter\"", 0x20},
      {"SYST:MOD:ASC VOLT", "-109,\"Missing parameter\"", 0x20},
      {"VOLT 1,2", "-108,\"Parameter not allowed\"", 0x20},
      {"*IDN? 1", "-108,\"Parameter not allowed\"", 0x20},
      {"VOLT 1..2", "-102,\"Syntax error\"", 0x20},
      {"VO$LT 1", "-102,\"Syntax error\"", 0x20},
      {"VOLT 1,", "-102,\"Syntax error\"", 0x20},
      {"VOLT 12 A", "-131,\"Invalid suffix\"", 0x20},
      {"VOLT 'x'", "-104,\"Data type error\"", 0x20},
      {"VOLT 51", "-222,\"Data out of range\"", 0x10},
      {"*ESE 256", "-222,\"Data out of range\"", 0x10},
      {"STAT:OPER:ENAB -1", "-222,\"Data out of range\"", 0x10},
      {"VOLT HIGH", "-224,\"Illegal parameter value\"", 0x10},
      {"OUTP 2", "-224,\"Illegal parameter value\"", 0x10},
      {"SYST:MOD ANALOG", "-224,\"Illegal parameter value\"", 0x10},
      {"SYST:MOD:AOUT TRIPLE", "-224,\"Illegal parameter value\"", 0x10},
      {"SYST:MOD:ASC VOLT,7", "-224,\"Illegal parameter value\"", 0x10},
      {"SYST:MOD:ASC POW,5", "-224,\"Illegal parameter value\"", 0x10},
      {"MEAS:VOLT", "-400,\"Query error\"", 0x04},
      {"*IDN", "-400,\"Query error\"", 0x04},
      {"CAL:CALC:VOLT:PAR 1,2,3", "-109,\"Missing parameter\"", 0x20},
      {"CAL:CALC:CURR:PAR 1,2,3,4,5", "-108,\"Parameter not allowed\"", 0x20},
  };
  for (const Case& c : cases) {
    Instrument fresh;
    fresh.process_line("*CLS");
    EXPECT_EQ(fresh.process_line(c.line), "") << c.line;
    EXPECT_EQ(fresh.process_line("SYST:ERR?"), std::string(c.entry) + "\n") << c.line;
    EXPECT_EQ(fresh.process_line("SYST:ERR?"), "0,\"No error\"\n") << c.line;
    EXPECT_EQ(fresh.process_line("*ESR?"), std::to_string(c.esr) + "\n") << c.line;
  }
}

TEST_F(InstrumentTest, ValidLinesOfEveryKindLeaveNoError) {
  for (const char* line : {"*RST",
                           "*CLS",
                           "*OPC",
                           "*WAI",
                           "*ESE 60",
                           "*SRE 32",
                           "VOLT 12",
                           "VOLT:PROT 30.5",
                           "CURR 2",
                           "CURR:PROT 2",
                           "POW 300",
                           "POW:PROT 500",
                           "OUTP ON",
                           "OUTP OFF",
                           "OUTP:AUTO ON",
                           "RSEN ON",
                           "RSEN:RES 1500000",
                           "RSEN:RES:CALC 5",
                           "STAT:OPER:ENAB 1",
                           "STAT:QUES:ENAB 2",
                           "STAT:QUES:HARD:ENAB 3",
                           "STAT:QUES:TEMP:ENAB 4",
                           "STAT:PRES",
                           "SYST:ERR:CLE",
                           "SYST:MOD LOC",
                           "SYST:MOD REMote",
                           "SYST:MOD RWL",
                           "SYST:MOD VOLT",
                           "SYST:MOD CURR",
                           "SYST:MOD DUAL",
                           "SYST:MOD:AOUT DIS",
                           "SYST:MOD:AOUT PARALLEL",
                           "SYST:MOD:AOUT SER",
                           "SYST:MOD:ASC VOLT,10",
                           "SYST:MOD:ASC CURR,5",
                           "SYST:CONF:SAVE",
                           "TEST:SELF:CLE",
                           "CAL:CALC:VOLT:PAR 1,2.5,0.001,100",
                           "CAL:CALC:CURR:PAR 1,2,3,4"}) {
    instrument.process_line(line);
    EXPECT_EQ(ask("SYST:ERR?"), "0,\"No error\"") << line;
  }
  EXPECT_EQ(ask("SYST:MOD?;SYST:MOD:AOUT?;SYST:MOD:ASC?"), "DUAL;SER;5,10");
  EXPECT_EQ(ask("CAL:CALC:VOLT:PAR?"), "1,2.5,0.001,100");
  EXPECT_EQ(ask("SYST:CAP?;SYST:VERS?;TEST:SELF:QUER?"), "(DCPSUPPLY WITH MEASURE);1999.0;Selftest passed");
  EXPECT_EQ(instrument.state().saved_configurations, 1);
}

TEST_F(InstrumentTest, ErrorQueueOverflowKeepsTheOldestAndEndsInQueueOverflow) {
  for (int i = 0; i < 20; ++i) instrument.process_line("BOGUS");
  EXPECT_EQ(ask("SYST:ERR:COUN?"), std::to_string(ErrorQueue::kCapacity));
  EXPECT_EQ(ask("SYST:ERR:COND?"), "-350");
  for (std::size_t i = 0; i + 1 < ErrorQueue::kCapacity; ++i) {
    EXPECT_EQ(ask("SYST:ERR?"), "-113,\"Undefined header\"");
  }
  EXPECT_EQ(ask("SYST:ERR?"), "-350,\"Queue overflow\"");
  EXPECT_EQ(ask(":SYST:ERR?"), "0,\"No error\"");
  EXPECT_EQ(ask("SYST:ERR:COND?;SYST:ERR:COUN?"), "0;0");
  EXPECT_EQ(ask("*ESR?"), std::to_string(0x20 | 0x08));  // the overflow is device-dependent

  instrument.process_line("BOGUS;VOLT 99");
  EXPECT_EQ(ask("SYST:ERR:COND?;SYST:ERR:COUN?"), "-222;2");
  instrument.process_line("SYST:ERR:CLE");
  EXPECT_EQ(ask("SYST:ERR:COUN?"), "0");
}

TEST(InstrumentStatusTest, PowerOnBitUntilFirstReadOrClear) {
  Instrument instrument;
  EXPECT_EQ(instrument.process_line("*ESR?"), "128\n");
  EXPECT_EQ(instrument.process_line("*ESR?"), "0\n");
  Instrument cleared;
  cleared.process_line("*CLS");
  EXPECT_EQ(cleared.process_line("*ESR?"), "0\n");
}

TEST_F(InstrumentTest, StandardEventAndStatusByte) {
  instrument.process_line("*OPC");
  EXPECT_EQ(ask("*OPC?;*ESR?;*ESR?"), "1;1;0");
  instrument.raise_standard_events(32);
  EXPECT_EQ(ask("*ESR?"), "32");

  instrument.process_line("*ESE 60;*SRE 32");
  EXPECT_EQ(ask("*ESE?;*SRE?"), "60;32");
  EXPECT_EQ(ask("*STB?"), "0");
  instrument.process_line("FOO");  // command error: ESR 0x20 is enabled, the queue holds it
  EXPECT_EQ(ask("*STB?"), std::to_string(0x04 | 0x20 | 0x40));
  // A reply already waiting in the same message sets message-available.
  EXPECT_EQ(ask("*OPC?;*STB?"), "1;" + std::to_string(0x04 | 0x20 | 0x40 | 0x10));
  instrument.process_line("*CLS");
  EXPECT_EQ(ask("*STB?;SYST:ERR:COUN?;*ESR?"), "0;0;0");
  EXPECT_EQ(ask("*ESE?"), "60");  // *CLS leaves the enable registers
}

TEST_F(InstrumentTest, OperationGroupLatchesRegulationChanges) {
  instrument.set_load_ohms(10);
  instrument.process_line("VOLT 12;CURR 2;OUTP ON");
  EXPECT_EQ(ask("STAT:OPER:COND?"), "512");
  EXPECT_EQ(ask("STAT:OPER?;STAT:OPER:EVEN?"), "512;0");
  instrument.set_load_ohms(2);  // now constant current
  EXPECT_EQ(ask("STAT:OPER:COND?;STAT:OPER?"), "1024;1024");
  instrument.process_line("STAT:OPER:ENAB 1024");
  EXPECT_EQ(ask("*STB?"), "0");  // the event was read, nothing latched
  instrument.set_load_ohms(10);
  instrument.set_load_ohms(2);
  EXPECT_EQ(ask("*STB?"), std::to_string(0x80));
  instrument.process_line("STAT:PRES");
  EXPECT_EQ(ask("STAT:OPER:ENAB?"), "0");
  EXPECT_EQ(ask("*STB?"), "0");
  instrument.process_line("OUTP OFF");
  EXPECT_EQ(ask("STAT:OPER:COND?"), "0");
}

TEST_F(InstrumentTest, HardwareAndTemperatureGroupsSummariseIntoQuestionable) {
  EXPECT_EQ(ask("STAT:QUES:HARD:COND?;STAT:QUES:TEMP:COND?;STAT:QUES:COND?"), "0;0;0");
  instrument.set_hardware_condition(0x4);
  EXPECT_EQ(ask("STAT:QUES:HARD:COND?;STAT:QUES:COND?"), "4;0");  // not enabled
  instrument.process_line("STAT:QUES:HARD:ENAB 4");
  EXPECT_EQ(ask("STAT:QUES:COND?"), std::to_string(ques::kHardwareSummary));
  EXPECT_EQ(ask("STAT:QUES:HARD?;STAT:QUES:HARD?"), "4;0");
  EXPECT_EQ(ask("STAT:QUES:COND?"), "0");  // the summary follows the latched event
  instrument.set_temperature_condition(0x1);
  instrument.process_line("STAT:QUES:TEMP:ENAB 1;STAT:QUES:ENAB 16");
  EXPECT_EQ(ask("STAT:QUES:COND?"), "16");
  EXPECT_EQ(ask("*STB?"), "8");
  // The event register latched both summaries, the hardware one from before.
  EXPECT_EQ(ask("STAT:QUES?"), std::to_string(ques::kHardwareSummary | ques::kTemperatureSummary));
  EXPECT_EQ(ask("*STB?"), "0");
  EXPECT_EQ(ask("STAT:QUES:TEMP:ENAB?;STAT:QUES:ENAB?"), "1;16");
}

TEST_F(InstrumentTest, BenchScriptIntoTenAndTwoOhms) {
  instrument.set_load_ohms(10);
  instrument.process_line("*RST");
  instrument.process_line("VOLT 12");
  instrument.process_line("CURR 2");
  instrument.process_line("OUTP ON");
  EXPECT_NEAR(ask_real("MEAS:VOLT?"), 12, 1e-9);
  EXPECT_NEAR(ask_real("MEAS:CURR?"), 1.2, 1e-9);
  EXPECT_EQ(ask("STAT:OPER:COND?"), "512");
  EXPECT_EQ(ask("OUTP?"), "1");

  instrument.set_load_ohms(2);
  EXPECT_NEAR(ask_real("MEAS:VOLT?"), 4, 1e-9);
  EXPECT_NEAR(ask_real("MEAS:CURR?"), 2, 1e-9);
  EXPECT_EQ(ask("STAT:OPER:COND?"), "1024");

  instrument.set_load_ohms(10);
  instrument.process_line("VOLT:PROT 10");
  EXPECT_EQ(ask("OUTP?;STAT:QUES:COND?;MEAS:VOLT?;MEAS:CURR?"), "0;1;0;0");
  EXPECT_EQ(ask("SYST:ERR?"), "0,\"No error\"");
}

TEST_F(InstrumentTest, TripLatchesUntilTheOutputIsSwitchedOnAgain) {
  instrument.set_load_ohms(10);
  instrument.process_line("VOLT 12;CURR 2;VOLT:PROT 10;OUTP ON");
  EXPECT_EQ(ask("OUTP?;STAT:QUES:COND?;STAT:QUES?"), "0;1;1");
  instrument.process_line("OUTP OFF");
  EXPECT_EQ(ask("STAT:QUES:COND?"), "1");  // still latched
  instrument.process_line("OUTP ON");      // fault persists: trips again
  EXPECT_EQ(ask("OUTP?;STAT:QUES:COND?"), "0;1");
  instrument.process_line("VOLT:PROT 20;OUTP ON");
  EXPECT_EQ(ask("OUTP?;STAT:QUES:COND?;MEAS:VOLT?"), "1;0;12");

  instrument.process_line("CURR:PROT 1");  // 1.2 A flows
  EXPECT_EQ(ask("OUTP?;STAT:QUES:COND?"), "0;2");
  instrument.process_line("CURR:PROT 5;POW:PROT 10;OUTP ON");  // 14.4 W
  EXPECT_EQ(ask("OUTP?;STAT:QUES:COND?"), "0;4");
  instrument.process_line("*RST");
  EXPECT_EQ(ask("STAT:QUES:COND?;POW:PROT?"), "0;660");
}

TEST_F(InstrumentTest, PowerLimitReportsUnregulated) {
  instrument.set_load_ohms(2);
  instrument.process_line("VOLT 50;OUTP ON");
  EXPECT_EQ(ask("STAT:OPER:COND?;OUTP?"), "2048;1");
  EXPECT_NEAR(ask_real("MEAS:VOLT?") * ask_real("MEAS:CURR?"), 600, 1e-6);
  EXPECT_NEAR(ask_real("MEAS:POW?"), 600, 1e-6);
}

TEST_F(InstrumentTest, RemoteSenseCalculationRunsThenCompletes) {
  EXPECT_EQ(ask("RSEN:RES:CALC?"), "DORMANT");
  instrument.process_line("RSEN:RES:CALC 5");
  EXPECT_EQ(ask("RSEN:RES:CALC?"), "CALCULATING");
  EXPECT_EQ(ask("RSEN:RES:CALC?"), "COMPLETE");
  instrument.process_line("*RST");
  EXPECT_EQ(ask("RSEN:RES:CALC?"), "DORMANT");
}

TEST_F(InstrumentTest, SelfTestHook) {
  EXPECT_EQ(ask("*TST?"), "0");
  instrument.set_self_test_result(1);
  EXPECT_EQ(ask("*TST?;TEST:SELF:QUER?"), "1;Selftest failed");
  EXPECT_EQ(ask("SYST:ERR?;*ESR?"), "-330,\"Self-test failed\";8");
  instrument.process_line("TEST:SELF:CLE");
  EXPECT_EQ(ask("TEST:SELF:QUER?"), "Selftest passed");
}

TEST_F(InstrumentTest, RealsReadBackExactly) {
  instrument.process_line("VOLT 12.3456789012345;CURR 0.1");
  EXPECT_EQ(ask_real("VOLT?"), 12.3456789012345);
  EXPECT_EQ(ask_real("CURR?"), 0.1);
  EXPECT_EQ(ask("STAT:OPER:ENAB #H200;ENAB?"), "512");
}

TEST_F(InstrumentTest, OverlongLineIsReportedAsInputBufferOverrun) {
  instrument.reject_overlong_line();
  EXPECT_EQ(ask("SYST:ERR?;*ESR?"), "-363,\"Input buffer overrun\";8");
}

TEST(CanonicalHeaderTest, AnySpellingGivesTheSameKey) {
  EXPECT_EQ(Instrument::canonical_header("*idn?\n"), "*IDN?");
  EXPECT_EQ(Instrument::canonical_header(":SYSTem:ERRor:NEXT?"), "SYST:ERR?");
  EXPECT_EQ(Instrument::canonical_header("syst:err?"), "SYST:ERR?");
  EXPECT_EQ(Instrument::canonical_header("VOLT 5;CURR 2"), "VOLT");
  EXPECT_EQ(Instrument::canonical_header("  :foo:bar? 1"), "FOO:BAR?");
}

TEST(InstrumentRobustnessTest, GarbageNeverBreaksTheParser) {
  Instrument instrument;
  std::mt19937 random(1234);
  const std::string alphabet = "VOLTCURPSYE:;?*, \t\"'#0123456789.eE+-MAXIN\x01\xff";
  for (int i = 0; i < 3000; ++i) {
    std::string line;
    const int length = static_cast<int>(random() % 40);
    for (int j = 0; j < length; ++j) {
      line += (i % 2 == 0) ? alphabet[random() % alphabet.size()] : static_cast<char>(random() % 256);
    }
    instrument.process_line(line);
  }
  instrument.process_line("*CLS");
  EXPECT_EQ(instrument.process_line("*IDN?"), "Halvorn,VQR-A4,SIM000123,2.14\n");
  EXPECT_LE(instrument.state().error_count, 0u);
}

}  // namespace
}  // namespace vqrsim
