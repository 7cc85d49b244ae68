// Every attribute of a simulated session: its simulated value before any write and after
// one, the attributes whose simulated read is fixed, refused values, the mirrored current
// limit, and the attributes that are not available in simulation or not supported at all.
#include <set>
#include <string>
#include <vector>

#include "DriverTestSupport.h"

namespace driver_test {
namespace {

enum class Type { kBoolean, kInt32, kReal64, kString, kSession };

enum class Kind {
  kReadWrite,     // reads its default, then what was written
  kFixed,         // accepts the written value and goes on reading its default
  kReadOnly,      // a write of its own type is refused as read-only
  kNotSupported,  // read and write answer "attribute not supported", unrecorded
  kNoSimulation,  // read fails with the direct I/O refusal; writeStatus says what a write gives
};

struct Row {
  const char* name;
  ViAttr id;
  Type type;
  Kind kind;
  double value = 0;          // simulated default of a numeric or boolean attribute
  const char* text = "";     // simulated value of a string attribute
  double written = 0;        // value written by the second pass
  ViStatus writeStatus = 0;  // for kNoSimulation
};

#define ATTR(id) #id, id

const char* const kSimulationIoRefusal = "I/O error.  Direct I/O operations are not available in simulation mode.";

std::vector<Row> AllAttributes() {
  using enum Type;
  using enum Kind;
  return {
      // Inherent switches and session texts
      {ATTR(HNVQR_ATTR_RANGE_CHECK), kBoolean, kReadWrite, VI_TRUE, "", VI_FALSE},
      {ATTR(HNVQR_ATTR_QUERY_INSTRUMENT_STATUS), kBoolean, kReadWrite, VI_FALSE, "", VI_TRUE},
      {ATTR(HNVQR_ATTR_CACHE), kBoolean, kReadWrite, VI_TRUE, "", VI_FALSE},
      {ATTR(HNVQR_ATTR_SIMULATE), kBoolean, kReadWrite, VI_TRUE, "", VI_TRUE},
      {ATTR(HNVQR_ATTR_RECORD_COERCIONS), kBoolean, kReadWrite, VI_FALSE, "", VI_TRUE},
      {ATTR(HNVQR_ATTR_INTERCHANGE_CHECK), kBoolean, kReadWrite, VI_FALSE, "", VI_FALSE},
      {ATTR(HNVQR_ATTR_DRIVER_SETUP), kString, kReadOnly, 0, ""},
      {ATTR(HNVQR_ATTR_CHANNEL_COUNT), kInt32, kReadOnly, 1},
      {ATTR(HNVQR_ATTR_SPECIFIC_DRIVER_PREFIX), kString, kReadOnly, 0, "HnVQR"},
      {ATTR(HNVQR_ATTR_IO_RESOURCE_DESCRIPTOR), kString, kReadOnly, 0, kResource},
      {ATTR(HNVQR_ATTR_LOGICAL_NAME), kString, kReadOnly, 0, ""},
      {ATTR(HNVQR_ATTR_SUPPORTED_INSTRUMENT_MODELS), kString, kReadOnly, 0,
       "VQR-A1,VQR-A2,VQR-A3,VQR-A4,VQR-A5,VQR-B1,VQR-B2,VQR-B3,VQR-B4,VQR-B6"},
      {ATTR(HNVQR_ATTR_GROUP_CAPABILITIES), kString, kReadOnly, 0, "IviDCPwrBase,IviDCPwrMeasurement"},
      {ATTR(HNVQR_ATTR_INSTRUMENT_FIRMWARE_REVISION), kString, kReadOnly, 0, "Sim1.0.2.0"},
      {ATTR(HNVQR_ATTR_INSTRUMENT_MANUFACTURER), kString, kReadOnly, 0, "Halvorn"},
      {ATTR(HNVQR_ATTR_INSTRUMENT_MODEL), kString, kReadOnly, 0, "VQR-B6"},
      {ATTR(HNVQR_ATTR_SPECIFIC_DRIVER_VENDOR), kString, kReadOnly, 0, "Halvorn"},
      {ATTR(HNVQR_ATTR_SPECIFIC_DRIVER_DESCRIPTION), kString, kReadOnly, 0, "IVI-C Driver for HalvornVQR"},
      {ATTR(HNVQR_ATTR_SPECIFIC_DRIVER_CLASS_SPEC_MAJOR_VERSION), kInt32, kReadOnly, 3},
      {ATTR(HNVQR_ATTR_SPECIFIC_DRIVER_CLASS_SPEC_MINOR_VERSION), kInt32, kReadOnly, 0},
      {ATTR(HNVQR_ATTR_SPECIFIC_DRIVER_REVISION), kString, kReadOnly, 0, "1.0.2.0"},
      // Output attributes of the class
      {ATTR(HNVQR_ATTR_VOLTAGE_LEVEL), kReal64, kReadWrite, 25.0, "", 12.5},
      {ATTR(HNVQR_ATTR_OVP_ENABLED), kBoolean, kFixed, VI_TRUE, "", VI_TRUE},
      {ATTR(HNVQR_ATTR_OVP_LIMIT), kReal64, kReadWrite, 20.0, "", 30.5},
      {ATTR(HNVQR_ATTR_CURRENT_LIMIT_BEHAVIOR), kInt32, kFixed, HNVQR_VAL_CURRENT_TRIP, "", HNVQR_VAL_CURRENT_TRIP},
      // Mirrors OVER_CURRENT_PROTECTION_LEVEL, which the pass before wrote with the same value.
      {ATTR(HNVQR_ATTR_CURRENT_LIMIT), kReal64, kReadWrite, 5.5, "", 2.0},
      {ATTR(HNVQR_ATTR_OUTPUT_ENABLED), kBoolean, kFixed, VI_TRUE, "", VI_FALSE},
      {ATTR(HNVQR_ATTR_TRIGGER_SOURCE), kInt32, kNotSupported},
      {ATTR(HNVQR_ATTR_TRIGGERED_CURRENT_LIMIT), kReal64, kNotSupported},
      {ATTR(HNVQR_ATTR_TRIGGERED_VOLTAGE_LEVEL), kReal64, kNotSupported},
      // Instrument-specific attributes
      {ATTR(HNVQR_ATTR_SYSTEM_IO_SESSION), kSession, kNoSimulation, 0, "", 0, IVI_ERROR_ATTR_NOT_WRITABLE},
      {ATTR(HNVQR_ATTR_SYSTEM_IO_TIMEOUT), kInt32, kNoSimulation, 0, "", 5000, HNVQR_ERROR_IO},
      {ATTR(HNVQR_ATTR_OPERATION_CONDITION_REGISTER), kInt32, kReadOnly, 0},
      {ATTR(HNVQR_ATTR_AUTO_START_ENABLED), kBoolean, kReadWrite, VI_FALSE, "", VI_TRUE},
      {ATTR(HNVQR_ATTR_CURRENT_LEVEL), kReal64, kReadWrite, 3.5, "", 1.25},
      {ATTR(HNVQR_ATTR_OVER_CURRENT_PROTECTION_LEVEL), kReal64, kReadWrite, 5.5, "", 2.0},
      {ATTR(HNVQR_ATTR_POWER_LEVEL), kReal64, kReadWrite, 300.0, "", 450.0},
      {ATTR(HNVQR_ATTR_OVER_POWER_PROTECTION_LEVEL), kReal64, kReadWrite, 500.0, "", 550.0},
      {ATTR(HNVQR_ATTR_REMOTE_SENSE_ENABLED), kBoolean, kReadWrite, VI_TRUE, "", VI_FALSE},
      {ATTR(HNVQR_ATTR_REMOTE_SENSE_RESISTANCE), kReal64, kReadWrite, 1500000.0, "", 0.125},
      {ATTR(HNVQR_ATTR_REMOTE_SENSE_CALCULATION_STATUS), kInt32, kReadOnly, HNVQR_VAL_REMOTE_SENSE_STATUS_DORMANT},
      {ATTR(HNVQR_ATTR_OPERATION_ENABLE_REGISTER), kInt32, kReadWrite, 0, "", 60},
      {ATTR(HNVQR_ATTR_OPERATION_EVENT_REGISTER), kInt32, kReadOnly, 0},
      {ATTR(HNVQR_ATTR_QUESTIONABLE_CONDITION_REGISTER), kInt32, kReadOnly, 0},
      {ATTR(HNVQR_ATTR_QUESTIONABLE_ENABLE_REGISTER), kInt32, kReadWrite, 0, "", 60},
      {ATTR(HNVQR_ATTR_QUESTIONABLE_EVENT_REGISTER), kInt32, kReadOnly, 0},
      {ATTR(HNVQR_ATTR_HARDWARE_ENABLE_REGISTER), kInt32, kReadWrite, 0, "", 60},
      {ATTR(HNVQR_ATTR_TEMPERATURE_ENABLE_REGISTER), kInt32, kReadWrite, 0, "", 60},
      {ATTR(HNVQR_ATTR_HARDWARE_CONDITION_REGISTER), kInt32, kReadOnly, 0},
      {ATTR(HNVQR_ATTR_HARDWARE_EVENT_REGISTER), kInt32, kReadOnly, 0},
      {ATTR(HNVQR_ATTR_TEMPERATURE_CONDITION_REGISTER), kInt32, kReadOnly, 0},
      {ATTR(HNVQR_ATTR_TEMPERATURE_EVENT_REGISTER), kInt32, kReadOnly, 0},
      {ATTR(HNVQR_ATTR_STANDARD_EVENT_ENABLE_REGISTER), kInt32, kReadWrite, 0, "", 60},
      {ATTR(HNVQR_ATTR_STANDARD_EVENT_EVENT_REGISTER), kInt32, kReadOnly, 0},
      {ATTR(HNVQR_ATTR_STATUS_BYTE_ENABLE_REGISTER), kInt32, kReadWrite, 0, "", -2147483647.0 - 1},
      {ATTR(HNVQR_ATTR_STATUS_BYTE_EVENT_REGISTER), kInt32, kReadOnly, 0},
      {ATTR(HNVQR_ATTR_ANALOG_OUTPUT_MODE), kInt32, kReadWrite, HNVQR_VAL_ANALOG_OUTPUT_MODE_DISABLED, "",
       HNVQR_VAL_ANALOG_OUTPUT_MODE_SERIES},
      {ATTR(HNVQR_ATTR_DEVICE_CAPABILITIES), kString, kReadOnly, 0, "(DCPSUPPLY WITH MEASURE)"},
      {ATTR(HNVQR_ATTR_CONTROL_SOURCE), kInt32, kReadWrite, HNVQR_VAL_CONTROL_SOURCE_REMOTE, "",
       HNVQR_VAL_CONTROL_SOURCE_ANALOG_DUAL},
      {ATTR(HNVQR_ATTR_LAST_SELF_TEST_RESULT), kString, kReadOnly, 0, "Selftest passed"},
      {ATTR(HNVQR_ATTR_SCPI_VERSION), kString, kReadOnly, 0, "1999.0"},
      {ATTR(HNVQR_ATTR_ANALOG_VOLTAGE_SCALING_LEVEL), kInt32, kReadWrite, HNVQR_VAL_ANALOG_SCALING_LEVEL_VOLT_3, "",
       HNVQR_VAL_ANALOG_SCALING_LEVEL_VOLT_10},
      {ATTR(HNVQR_ATTR_ANALOG_CURRENT_SCALING_LEVEL), kInt32, kReadWrite, HNVQR_VAL_ANALOG_SCALING_LEVEL_VOLT_3, "",
       HNVQR_VAL_ANALOG_SCALING_LEVEL_VOLT_5},
      {ATTR(HNVQR_ATTR_ERROR_CONDITION), kInt32, kReadOnly, 0},
      {ATTR(HNVQR_ATTR_ERROR_COUNT), kInt32, kReadOnly, 0},
  };
}

#undef ATTR

// Reads the attribute with the function of its type; numbers come back as doubles.
struct Reading {
  ViStatus status = 0;
  double value = 0;
  std::string text;
};

constexpr double kUntouched = -424242.0;

// One numeric getter call on an output primed with `sentinel`: kUntouched when the getter
// left it alone.
template <class Number, class Getter>
void ReadNumber(ViSession vi, const Row& row, Getter get, Number sentinel, Reading& r) {
  Number v = sentinel;
  r.status = get(vi, "", row.id, &v);
  r.value = v == sentinel ? kUntouched : static_cast<double>(v);
}

Reading Read(ViSession vi, const Row& row) {
  Reading r;
  switch (row.type) {
    case Type::kBoolean:
      ReadNumber<ViBoolean>(vi, row, HnVQR_GetAttributeViBoolean, 4242, r);
      break;
    case Type::kInt32:
      ReadNumber<ViInt32>(vi, row, HnVQR_GetAttributeViInt32, static_cast<ViInt32>(kUntouched), r);
      break;
    case Type::kReal64:
      ReadNumber<ViReal64>(vi, row, HnVQR_GetAttributeViReal64, kUntouched, r);
      break;
    case Type::kSession:
      ReadNumber<ViSession>(vi, row, HnVQR_GetAttributeViSession, 424242, r);
      break;
    case Type::kString: {
      char text[512] = "untouched";
      r.status = HnVQR_GetAttributeViString(vi, "", row.id, sizeof text, text);
      r.text = text;
      break;
    }
  }
  return r;
}

ViStatus Write(ViSession vi, const Row& row) {
  switch (row.type) {
    case Type::kBoolean:
      return HnVQR_SetAttributeViBoolean(vi, "", row.id, static_cast<ViBoolean>(row.written));
    case Type::kInt32:
      return HnVQR_SetAttributeViInt32(vi, "", row.id, static_cast<ViInt32>(row.written));
    case Type::kReal64:
      return HnVQR_SetAttributeViReal64(vi, "", row.id, row.written);
    case Type::kSession:
      return HnVQR_SetAttributeViSession(vi, "", row.id, static_cast<ViSession>(row.written));
    case Type::kString:
      return HnVQR_SetAttributeViString(vi, "", row.id, "written");
  }
  return VI_SUCCESS;
}

void ExpectDefault(ViSession vi, const Row& row, const char* pass) {
  SCOPED_TRACE(std::string(row.name) + ", " + pass);
  ASSERT_EQ(HnVQR_ClearError(vi), VI_SUCCESS);
  const Reading r = Read(vi, row);
  switch (row.kind) {
    case Kind::kReadWrite:
    case Kind::kFixed:
    case Kind::kReadOnly:
      EXPECT_EQ(r.status, VI_SUCCESS) << TakeError(vi);
      if (row.type == Type::kString) {
        EXPECT_EQ(r.text, row.text);
      } else {
        EXPECT_EQ(r.value, row.value);
      }
      break;
    case Kind::kNotSupported:
      EXPECT_EQ(r.status, IVI_ERROR_ATTRIBUTE_NOT_SUPPORTED);
      EXPECT_EQ(r.value, kUntouched);
      EXPECT_EQ(TakeError(vi), Error{});
      break;
    case Kind::kNoSimulation:
      EXPECT_EQ(r.status, HNVQR_ERROR_IO);
      EXPECT_EQ(r.value, kUntouched);
      EXPECT_EQ(TakeError(vi), (Error{HNVQR_ERROR_IO, kSimulationIoRefusal}));
      break;
  }
}

TEST(SimulatedAttributes, TableCoversEveryAttributeOnce) {
  const auto rows = AllAttributes();
  std::set<ViAttr> ids;
  for (const Row& row : rows) EXPECT_TRUE(ids.insert(row.id).second) << row.name;
  EXPECT_EQ(rows.size(), 65u);
}

TEST(SimulatedAttributes, DefaultsThenWritesReadBack) {
  Session session;
  ASSERT_SESSION_OPEN(session);
  const auto rows = AllAttributes();
  for (const Row& row : rows) ExpectDefault(session, row, "before any write");

  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    ASSERT_EQ(HnVQR_ClearError(session), VI_SUCCESS);
    const ViStatus written = Write(session, row);
    switch (row.kind) {
      case Kind::kReadWrite: {
        EXPECT_EQ(written, VI_SUCCESS) << TakeError(session);
        const Reading r = Read(session, row);
        EXPECT_EQ(r.status, VI_SUCCESS);
        EXPECT_EQ(r.value, row.written);
        break;
      }
      case Kind::kFixed:
        EXPECT_EQ(written, VI_SUCCESS) << TakeError(session);
        ExpectDefault(session, row, "after a write");
        break;
      case Kind::kReadOnly:
        EXPECT_EQ(written, IVI_ERROR_ATTR_NOT_WRITABLE);
        EXPECT_EQ(TakeError(session),
                  (Error{IVI_ERROR_ATTR_NOT_WRITABLE, std::string("Attribute '") + row.name + "' is read-only."}));
        ExpectDefault(session, row, "after a refused write");
        break;
      case Kind::kNotSupported:
        EXPECT_EQ(written, IVI_ERROR_ATTRIBUTE_NOT_SUPPORTED);
        EXPECT_EQ(TakeError(session), Error{});
        break;
      case Kind::kNoSimulation:
        EXPECT_EQ(written, row.writeStatus);
        if (row.writeStatus == HNVQR_ERROR_IO) {
          EXPECT_EQ(TakeError(session), (Error{HNVQR_ERROR_IO, kSimulationIoRefusal}));
        }
        break;
    }
  }
  // Invalidation brings every cached value back to its default (the switches are not cached).
  ASSERT_EQ(HnVQR_InvalidateAllAttributes(session), VI_SUCCESS);
  for (const Row& row : rows) {
    if (row.type == Type::kBoolean && row.id < 1100000) continue;  // the inherent switches are no cache entries
    ExpectDefault(session, row, "after invalidation");
  }
}

TEST(SimulatedAttributes, FixedCapabilitiesRefuseOtherValues) {
  Session session;
  ASSERT_SESSION_OPEN(session);
  const auto refusal = [](const std::string& value, const char* function) {
    return Error{IVI_ERROR_VALUE_NOT_SUPPORTED, "Does not support this class-compliant feature:  Enumeration value '" +
                                                    value +
                                                    "' passed as the value for parameter 'AttributeValue' in "
                                                    "function '" +
                                                    function + "'."};
  };
  for (const ViBoolean value : {ViBoolean{VI_FALSE}, ViBoolean{2}, ViBoolean{0xFFFF}}) {
    EXPECT_EQ(HnVQR_SetAttributeViBoolean(session, "", HNVQR_ATTR_OVP_ENABLED, value), IVI_ERROR_VALUE_NOT_SUPPORTED);
    EXPECT_EQ(TakeError(session), refusal("VI_FALSE", "OVP_ENABLED")) << value;
  }
  const struct {
    ViInt32 value;
    const char* shown;
  } behaviors[] = {{HNVQR_VAL_CURRENT_REGULATE, "HNVQR_VAL_CURRENT_REGULATE"}, {7, "7"}, {-1, "-1"}};
  for (const auto& c : behaviors) {
    EXPECT_EQ(HnVQR_SetAttributeViInt32(session, "", HNVQR_ATTR_CURRENT_LIMIT_BEHAVIOR, c.value),
              IVI_ERROR_VALUE_NOT_SUPPORTED);
    EXPECT_EQ(TakeError(session), refusal(c.shown, "CURRENT_LIMIT_BEHAVIOR")) << c.value;
  }
  EXPECT_EQ(GetBoolean(session, HNVQR_ATTR_OVP_ENABLED), VI_TRUE);
  EXPECT_EQ(GetInt32(session, HNVQR_ATTR_CURRENT_LIMIT_BEHAVIOR), HNVQR_VAL_CURRENT_TRIP);
}

TEST(SimulatedAttributes, CurrentLimitIsTheOverCurrentProtectionLevel) {
  Session session;
  ASSERT_SESSION_OPEN(session);
  EXPECT_EQ(GetReal64(session, HNVQR_ATTR_CURRENT_LIMIT), 5.5);
  ASSERT_EQ(HnVQR_SetAttributeViReal64(session, "", HNVQR_ATTR_CURRENT_LIMIT, 2.0), VI_SUCCESS);
  EXPECT_EQ(GetReal64(session, HNVQR_ATTR_OVER_CURRENT_PROTECTION_LEVEL), 2.0);
  ASSERT_EQ(HnVQR_SetAttributeViReal64(session, "", HNVQR_ATTR_OVER_CURRENT_PROTECTION_LEVEL, 7.25), VI_SUCCESS);
  EXPECT_EQ(GetReal64(session, HNVQR_ATTR_CURRENT_LIMIT), 7.25);
  EXPECT_EQ(GetReal64(session, HNVQR_ATTR_CURRENT_LIMIT, "no such channel"), 7.25);
  ASSERT_EQ(HnVQR_InvalidateAllAttributes(session), VI_SUCCESS);
  EXPECT_EQ(GetReal64(session, HNVQR_ATTR_CURRENT_LIMIT), 5.5);
}

TEST(SimulatedAttributes, TriggerAttributesLeaveTheEarlierErrorInPlace) {
  Session session;
  ASSERT_SESSION_OPEN(session);
  ASSERT_EQ(HnVQR_MeasureCurrent(session, nullptr), IVI_ERROR_NULL_POINTER);
  ViInt32 source = 77;
  ViReal64 level = 7.0;
  EXPECT_EQ(HnVQR_GetAttributeViInt32(session, "CH1", HNVQR_ATTR_TRIGGER_SOURCE, &source),
            IVI_ERROR_ATTRIBUTE_NOT_SUPPORTED);
  EXPECT_EQ(HnVQR_GetAttributeViReal64(session, "bogus", HNVQR_ATTR_TRIGGERED_VOLTAGE_LEVEL, &level),
            IVI_ERROR_ATTRIBUTE_NOT_SUPPORTED);
  EXPECT_EQ(HnVQR_SetAttributeViReal64(session, "", HNVQR_ATTR_TRIGGERED_CURRENT_LIMIT, 1.0),
            IVI_ERROR_ATTRIBUTE_NOT_SUPPORTED);
  EXPECT_EQ(HnVQR_SetAttributeViInt32(session, "", HNVQR_ATTR_TRIGGER_SOURCE, 1), IVI_ERROR_ATTRIBUTE_NOT_SUPPORTED);
  EXPECT_EQ(source, 77);
  EXPECT_EQ(level, 7.0);
  EXPECT_EQ(TakeError(session).text, "Null pointer passed for function 'HnVQR_MeasureCurrent', parameter 'Val'.");
  // A null pointer is the typed access's to report, before the attribute is looked at.
  EXPECT_EQ(HnVQR_GetAttributeViInt32(session, "", HNVQR_ATTR_TRIGGER_SOURCE, nullptr), IVI_ERROR_NULL_POINTER);
  EXPECT_EQ(TakeError(session).text,
            "Null pointer passed for function 'HnVQR_GetAttributeViInt32', parameter 'AttributeValue'.");
}

}  // namespace
}  // namespace driver_test
