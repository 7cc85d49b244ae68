// Enum command maps: each defined value of an enumerated or boolean attribute with its value
// name, the instrument tokens for it (the first is sent, all are accepted), and optionally
// the models or model families the row is restricted to.
#pragma once

#include <span>
#include <string>
#include <string_view>
#include <vector>

#include <visatype.h>

namespace kel {

class DriverSession;

// A row as a table declares it: tokens and models are comma lists ("ON,  1").
struct EnumCommandRow {
  std::string_view name;
  ViInt32 value;
  std::string_view commands;
  std::string_view models;
};

// A row with its lists split and trimmed.
struct EnumCommandInfo {
  std::string Name;
  ViInt32 Value;
  std::vector<std::string> Commands;
  std::vector<std::string> Models;  // empty: generic, for every model
};

class EnumCommandMap {
 public:
  explicit EnumCommandMap(std::span<const EnumCommandRow> rows);
  const std::vector<EnumCommandInfo>& rows() const { return rows_; }

 private:
  std::vector<EnumCommandInfo> rows_;
};

// Whether an instrument token matches a response: equal ignoring case after trimming blanks,
// tabs, carriage returns and line feeds from both.
bool TokenMatches(std::string_view token, std::string_view response);

// Without a session (null) there is no model, and only generic rows count.
// Converts a response into a defined value for the session's model; `value` is -1 until a
// row accepts it. Records 0xBFFA0059 when no usable row does.
ViStatus ResponseToValue(const DriverSession* session, const EnumCommandMap& map, std::string_view response,
                         ViInt32& value);

// The token to send for a value for the session's model. Records 0xBFFA0000 when no row has it.
ViStatus ValueToCommand(const DriverSession* session, const EnumCommandMap& map, ViInt32 value, std::string& command);

// The value's macro name for messages, or the value in decimal when no row has it.
std::string ValueToName(const EnumCommandMap& map, ViInt32 value);

}  // namespace kel
