// The tool's attribute catalog agrees with the driver: every attribute, its exact type and
// its access, proven through the driver's own typed access in simulation.
#include <gtest/gtest.h>

#include <set>
#include <string>

#include "AttributeCatalog.h"
#include "AttributeValues.h"

namespace hnvqr::tool {
namespace {

constexpr ViStatus kTypesDoNotMatch = IVI_ERROR_TYPES_DO_NOT_MATCH;
constexpr ViStatus kNotWritable = IVI_ERROR_ATTR_NOT_WRITABLE;

// The status of a get of ID through the typed function of TYPE.
ViStatus get_as(ViSession vi, ViAttr id, ValueType type) {
  ViInt32 int32 = 0;
  ViReal64 real = 0;
  ViBoolean flag = 0;
  ViSession session = 0;
  ViChar text[HNVQR_MAX_STRING_ATTRIBUTE_LENGTH] = {};
  switch (type) {
    case ValueType::Int32:
      return HnVQR_GetAttributeViInt32(vi, "", id, &int32);
    case ValueType::Real64:
      return HnVQR_GetAttributeViReal64(vi, "", id, &real);
    case ValueType::Boolean:
      return HnVQR_GetAttributeViBoolean(vi, "", id, &flag);
    case ValueType::Session:
      return HnVQR_GetAttributeViSession(vi, "", id, &session);
    case ValueType::String:
      return HnVQR_GetAttributeViString(vi, "", id, sizeof text, text);
  }
  return VI_SUCCESS;
}

class SimulatedSession : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_EQ(HnVQR_InitWithOptions(const_cast<ViRsrc>("SIM::HNVQR"), VI_TRUE, VI_FALSE, "Simulate=1", &vi_),
              VI_SUCCESS);
  }
  void TearDown() override { EXPECT_EQ(HnVQR_close(vi_), VI_SUCCESS); }
  ViSession vi_ = VI_NULL;
};

TEST_F(SimulatedSession, CatalogHoldsEveryAttributeOnceWithItsExactType) {
  const auto attributes = all_attributes();
  ASSERT_EQ(attributes.size(), 65u);
  std::set<ViAttr> ids;
  std::set<std::string_view> names;
  for (const AttributeInfo& attribute : attributes) {
    EXPECT_TRUE(ids.insert(attribute.id).second) << attribute.name;
    EXPECT_TRUE(names.insert(attribute.name).second) << attribute.name;
    for (const ValueType type :
         {ValueType::Int32, ValueType::Real64, ValueType::Boolean, ValueType::Session, ValueType::String}) {
      const ViStatus status = get_as(vi_, attribute.id, type);
      // The driver accepts exactly one typed function for each attribute: the catalog's.
      if (type == attribute.type) {
        EXPECT_NE(status, kTypesDoNotMatch) << attribute.name;
        EXPECT_NE(status, IVI_ERROR_INVALID_ATTRIBUTE) << attribute.name;
      } else {
        EXPECT_EQ(status, kTypesDoNotMatch) << attribute.name << " as " << type_name(type);
      }
      HnVQR_ClearError(vi_);
    }
  }
}

TEST_F(SimulatedSession, CatalogAccessMatchesTheDriver) {
  int read_only = 0;
  for (const AttributeInfo& attribute : all_attributes()) {
    AttributeValue value;
    if (read_attribute(vi_, attribute, "", value) < 0) {
      // Unreadable here (trigger and I/O attributes): write a zero of the right type.
      const std::optional<AttributeValue> zero = parse_value(attribute, "0");
      ASSERT_TRUE(zero.has_value()) << attribute.name;
      value = *zero;
    }
    const ViStatus status = write_attribute(vi_, attribute, "", value);
    if (attribute.writable) {
      EXPECT_NE(status, kNotWritable) << attribute.name;
      EXPECT_NE(status, kTypesDoNotMatch) << attribute.name;
    } else {
      ++read_only;
      EXPECT_EQ(status, kNotWritable) << attribute.name;
    }
    HnVQR_ClearError(vi_);
  }
  EXPECT_EQ(read_only, 32);
}

TEST_F(SimulatedSession, EnumeratedValuesPrintByNameAndUnknownValuesByNumber) {
  const AttributeInfo& control = *find_attribute("control_source");
  AttributeValue value;
  ASSERT_EQ(read_attribute(vi_, control, "", value), VI_SUCCESS);
  EXPECT_EQ(format_value(control, value), "REMOTE");
  EXPECT_EQ(format_value(control, AttributeValue{ViInt32{42}}), "42");
}

TEST(AttributeCatalog, NamesAreFoundInAnyCaseWithOrWithoutPrefix) {
  ASSERT_NE(find_attribute("voltage_level"), nullptr);
  EXPECT_EQ(find_attribute("voltage_level")->id, HNVQR_ATTR_VOLTAGE_LEVEL);
  EXPECT_EQ(find_attribute("HNVQR_ATTR_Voltage_Level"), find_attribute("VOLTAGE_LEVEL"));
  EXPECT_EQ(find_attribute("VOLTAGE"), nullptr);
  EXPECT_EQ(find_attribute("HNVQR_ATTR_"), nullptr);

  const AttributeInfo& mode = *find_attribute("analog_output_mode");
  EXPECT_EQ(find_enum_value(mode, "series"), HNVQR_VAL_ANALOG_OUTPUT_MODE_SERIES);
  EXPECT_EQ(find_enum_value(mode, "Analog_Output_Mode_Parallel"), HNVQR_VAL_ANALOG_OUTPUT_MODE_PARALLEL);
  EXPECT_EQ(find_enum_value(mode, "HNVQR_VAL_ANALOG_OUTPUT_MODE_DISABLED"), HNVQR_VAL_ANALOG_OUTPUT_MODE_DISABLED);
  // Names of another attribute's values are not this attribute's.
  EXPECT_FALSE(find_enum_value(mode, "remote").has_value());
  EXPECT_EQ(find_enum_value(*find_attribute("control_source"), "REMOTE_WITH_LOCK"),
            HNVQR_VAL_CONTROL_SOURCE_REMOTE_WITH_LOCK);
  EXPECT_EQ(find_enum_value(*find_attribute("analog_current_scaling_level"), "volt_10"),
            HNVQR_VAL_ANALOG_SCALING_LEVEL_VOLT_10);
}

TEST(AttributeValues, ParsesEachTypeAndRejectsMalformedText) {
  const AttributeInfo& level = *find_attribute("voltage_level");
  const AttributeInfo& flag = *find_attribute("output_enabled");
  const AttributeInfo& mask = *find_attribute("status_byte_enable_register");
  const AttributeInfo& mode = *find_attribute("analog_output_mode");

  EXPECT_EQ(parse_value(level, "12.5"), AttributeValue{12.5});
  EXPECT_EQ(parse_value(level, "-1e-3"), AttributeValue{-1e-3});
  for (const char* bad : {"", "12V", " 12", "nan", "inf", "1e999", "0x"}) {
    EXPECT_FALSE(parse_value(level, bad).has_value()) << bad;
  }
  for (const char* yes : {"on", "ON", "true", "True", "1"})
    EXPECT_EQ(parse_value(flag, yes), AttributeValue{ViBoolean{VI_TRUE}}) << yes;
  for (const char* no : {"off", "FALSE", "0"})
    EXPECT_EQ(parse_value(flag, no), AttributeValue{ViBoolean{VI_FALSE}}) << no;
  EXPECT_FALSE(parse_value(flag, "2").has_value());
  EXPECT_FALSE(parse_value(flag, "yes").has_value());

  EXPECT_EQ(parse_value(mask, "32"), AttributeValue{ViInt32{32}});
  EXPECT_EQ(parse_value(mask, "0x20"), AttributeValue{ViInt32{32}});
  EXPECT_EQ(parse_value(mask, "-2147483648"), AttributeValue{ViInt32{INT32_MIN}});
  EXPECT_FALSE(parse_value(mask, "2147483648").has_value());
  EXPECT_FALSE(parse_value(mask, "3.5").has_value());
  EXPECT_FALSE(parse_value(mask, "series").has_value());

  EXPECT_EQ(parse_value(mode, "SERIES"), AttributeValue{ViInt32{HNVQR_VAL_ANALOG_OUTPUT_MODE_SERIES}});
  EXPECT_EQ(parse_value(mode, "7"), AttributeValue{ViInt32{7}});
  EXPECT_FALSE(parse_value(mode, "serial").has_value());

  EXPECT_EQ(format_value(level, AttributeValue{12.5}), "12.5");
  EXPECT_EQ(format_value(level, AttributeValue{1500000.0}), "1500000");
  EXPECT_EQ(format_value(flag, AttributeValue{ViBoolean{VI_FALSE}}), "false");
}

}  // namespace
}  // namespace hnvqr::tool
