// Store files that cannot be used: each fails IviConfig_Deserialize with 0xBFFA1200 and a
// description naming the file, the place and the fault.
#include <sys/stat.h>

#include <ostream>
#include <string>

#include "config_test_support.h"

using namespace config_test;

namespace {

struct BadFile {
  const char* label;
  std::string contents;
  std::string problem;  // the description after "Cannot read the configuration store '<file>': "
};

void PrintTo(const BadFile& bad, std::ostream* out) { *out << bad.label; }

class UnusableStoreFileTest : public ::testing::TestWithParam<BadFile> {
 protected:
  ScratchFolder scratch_;
};

TEST_P(UnusableStoreFileTest, FailsWithFilePlaceAndFault) {
  const BadFile& bad = GetParam();
  const std::string file = scratch_.Write("store.json", bad.contents);
  const ViInt32 liveBefore = IviConfig_GetLiveHandleCount();
  {
    OpenStore store(file);
    EXPECT_EQ(store.status(), IVICONFIG_ERROR_DESERIALIZE_FAILED);
    EXPECT_EQ(LastErrorCode(), IVICONFIG_ERROR_DESERIALIZE_FAILED);
    EXPECT_EQ(LastErrorDescription(), "Cannot read the configuration store '" + file + "': " + bad.problem);
  }
  EXPECT_EQ(IviConfig_GetLiveHandleCount(), liveBefore);
}

const std::string kSessionWith = R"({"driverSessions": [{"name": "PSU1", )";

INSTANTIATE_TEST_SUITE_P(
    , UnusableStoreFileTest,
    ::testing::Values(
        BadFile{"Syntax", "{\n  \"driverSessions\": [\n    { \"name\": tru }\n  ]\n}",
                "line 3, column 18: syntax error while parsing value - invalid literal; last read: '\"name\": tru '"},
        BadFile{"TrailingComma", R"({"driverSessions": [],})",
                "line 1, column 23: syntax error while parsing object key - unexpected '}'; expected string literal"},
        BadFile{"Empty", "",
                "line 1, column 1: syntax error while parsing value - unexpected end of input; expected '[', '{', or "
                "a literal"},
        BadFile{"IllFormedUtf8", "{\"logicalNames\": [{\"name\": \"\xff\"}]}",
                "line 1, column 29: syntax error while parsing value - invalid string: ill-formed UTF-8 byte; last "
                "read: '\"\xff'"},
        BadFile{"NumberTooLarge",
                R"({"driverSessions": [{"name": "S", "initialSettings": [{"name": "x", "value": 1e400}]}]})",
                "number overflow parsing '1e400'"},
        BadFile{"RootNotObject", "[]", "top level: expected an object, found an array"},
        BadFile{"UnknownTopLevelKey", R"({"sessions": []})", "sessions: unknown key"},
        BadFile{"BooleanAsText", kSessionWith + R"("cache": "yes"}]})",
                "driverSessions[0].cache: expected a boolean, found a string"},
        BadFile{"MisspeltKey", kSessionWith + R"("simualte": true}]})", "driverSessions[0].simualte: unknown key"},
        BadFile{"DuplicateKey", kSessionWith + "\n  \"simulate\": true,\n  \"simulate\": false}]}",
                "line 3: the key 'simulate' appears twice in driverSessions[0]"},
        BadFile{
            "DuplicateKeyAfterTheSameKeyElsewhere",
            R"({"driverSessions": [{"name": "A", "driverSetup": "x"}, {"name": "B", "driverSetup": "\"driverSetup\": 1",)"
            "\n\"driverSetup\": \"Model:VQR-A2\"}]}",
            "line 2: the key 'driverSetup' appears twice in driverSessions[1]"},
        BadFile{"RangesNotArray", kSessionWith + R"("virtualNames": [{"name": "Out", "ranges": 3}]}]})",
                "driverSessions[0].virtualNames[0].ranges: expected an array, found a number (3)"},
        BadFile{"RangeReversed",
                kSessionWith + R"("virtualNames": [{"name": "Out", "ranges": [{"first": 2, "last": 1}]}]}]})",
                "driverSessions[0].virtualNames[0].ranges[0]: 'last' (1) is below 'first' (2)"},
        BadFile{"RangeBeyond32Bits",
                kSessionWith + R"("virtualNames": [{"name": "Out", "ranges": [{"first": 4294967296, "last": 1}]}]}]})",
                "driverSessions[0].virtualNames[0].ranges[0].first: the integer 4294967296 does not fit in 32 bits"},
        BadFile{
            "RangePhysicalOverflow",
            kSessionWith +
                R"("virtualNames": [{"name": "Out", "ranges": [{"first": 0, "last": 10, "start": 2147483640}]}]}]})",
            "driverSessions[0].virtualNames[0].ranges[0]: the physical indices of the range go beyond 32 bits"},
        BadFile{"RangeFraction",
                kSessionWith + R"("virtualNames": [{"name": "Out", "ranges": [{"first": 1.5, "last": 2}]}]}]})",
                "driverSessions[0].virtualNames[0].ranges[0].first: expected an integer, found a number (1.5)"},
        BadFile{"NameNotText", R"({"hardwareAssets": [{"name": 5}]})",
                "hardwareAssets[0].name: expected a string, found a number (5)"},
        BadFile{"NameMissing", R"({"driverSessions": [{"name": "S"}], "logicalNames": [{"session": "S"}]})",
                "logicalNames[0]: the required key 'name' is missing"},
        BadFile{"NameEmpty", R"({"driverSessions": [{"name": ""}]})",
                "driverSessions[0].name: a name must not be empty"},
        BadFile{"DuplicateSession", R"({"driverSessions": [{"name": "PSU1"}, {"name": "PSU1"}]})",
                "driverSessions[1].name: the name 'PSU1' is already used by driverSessions[0]"},
        BadFile{"DuplicatePhysicalName",
                R"({"softwareModules": [{"name": "M", "physicalNames": [{"name": "CH1"}, {"name": "CH1"}]}]})",
                "softwareModules[0].physicalNames[1].name: the name 'CH1' is already used by "
                "softwareModules[0].physicalNames[0]"},
        BadFile{"DuplicateInitialSetting",
                kSessionWith +
                    R"("initialSettings": [{"name": "Model", "value": "A"}, {"name": "Model", "value": "B"}]}]})",
                "driverSessions[0].initialSettings[1].name: the name 'Model' is already used by "
                "driverSessions[0].initialSettings[0]"},
        BadFile{"SettingValueArray",
                R"({"softwareModules": [{"name": "M", "initialSettings": [{"name": "x", "value": [1]}]}]})",
                "softwareModules[0].initialSettings[0].value: expected a string, number or boolean, found an array"},
        BadFile{"MissingHardwareAsset", kSessionWith + R"("hardwareAsset": "nope"}]})",
                "driverSessions[0].hardwareAsset: there is no hardware asset named 'nope'"},
        BadFile{"MissingSoftwareModule", kSessionWith + R"("softwareModule": "Nope"}]})",
                "driverSessions[0].softwareModule: there is no software module named 'Nope'"},
        BadFile{"LogicalNameToMissingSession", R"({"logicalNames": [{"name": "MyPSU", "session": "PSU9"}]})",
                "logicalNames[0].session: there is no driver session named 'PSU9'"},
        BadFile{"LogicalNameWithoutSession", R"({"logicalNames": [{"name": "MyPSU"}]})",
                "logicalNames[0]: the required key 'session' is missing"},
        BadFile{"NestedTooDeep", "{\"x\":\n" + std::string(64, '[') + std::string(64, ']') + "}",
                "line 2, column 64: nested deeper than 64 levels"},
        BadFile{"NestedFarTooDeep", std::string(1'000'000, '['), "line 1, column 65: nested deeper than 64 levels"}),
    [](const ::testing::TestParamInfo<BadFile>& param) { return std::string(param.param.label); });

class StoreFileLimitTest : public ::testing::Test {
 protected:
  std::string Problem(const std::string& file) {
    OpenStore store(file);
    EXPECT_EQ(store.status(), IVICONFIG_ERROR_DESERIALIZE_FAILED);
    const std::string prefix = "Cannot read the configuration store '" + file + "': ";
    const std::string description = LastErrorDescription();
    EXPECT_EQ(description.rfind(prefix, 0), 0u) << description;
    return description.substr(std::min(prefix.size(), description.size()));
  }
  ScratchFolder scratch_;
};

TEST_F(StoreFileLimitTest, FileOfTenMebibytesIsRefusedBeforeParsing) {
  const std::size_t limit = 10u * 1024u * 1024u;
  std::string padded = R"({"driverSessions": [{"name": "S"}]})";
  const std::string justBelow = padded + std::string(limit - 1 - padded.size(), ' ');
  {
    OpenStore store(scratch_.Write("below.json", justBelow));
    EXPECT_EQ(store.status(), VI_SUCCESS) << LastErrorDescription();
  }
  EXPECT_EQ(Problem(scratch_.Write("limit.json", justBelow + " ")),
            "the file is too large: a configuration store must be smaller than 10485760 bytes (10 MiB)");
}

TEST_F(StoreFileLimitTest, BracketsInsideStringsDoNotCountAsNesting) {
  const std::string brackets(200, '[');
  OpenStore store(
      scratch_.Write("store.json", R"({"driverSessions": [{"name": "S", "driverSetup": "\")" + brackets + "\"}]}"));
  ASSERT_EQ(store.status(), VI_SUCCESS) << LastErrorDescription();
  IviDriverSessionHandle session = 0;
  ASSERT_EQ(IviConfig_GetDriverSession(store.handle(), "S", &session), VI_SUCCESS);
  EXPECT_EQ(ReadText(IviConfig_GetDriverSessionPropertyViString, session, IVICONFIG_VAL_DRIVER_SESSION_DRIVER_SETUP),
            "\"" + brackets);
  IviConfig_DisposeHandle(session);
}

TEST_F(StoreFileLimitTest, OnlyRegularFilesAreRead) {
  EXPECT_EQ(Problem(scratch_.Path("")), "not a regular file");
  // A FIFO without writer must neither block nor be read.
  const std::string fifo = scratch_.Path("fifo.json");
  ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
  EXPECT_EQ(Problem(fifo), "not a regular file");
  const std::string throughFile = scratch_.Write("plain", "{}") + "/store.json";
  EXPECT_EQ(Problem(throughFile), "cannot open the file: Not a directory");
}

}  // namespace
