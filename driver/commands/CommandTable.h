// The row types of the SCPI command table (commands/CommandTable.def) and a constant per row,
// read by the one getter pattern and the one setter pattern (attributes/InstrumentAttribute.h).
#pragma once

#include <visatype.h>

#include "HnVQR.h"
#include "commands/EnumMaps.h"
#include "kel/VisaFormat.h"

namespace hnvqr::commands {

// How the channel name is used on the live path.
enum class Channel {
  kIgnored,    // instrument-specific attributes ignore it
  kOnce,       // resolved; a setter sends its command once
  kPerOutput,  // resolved; a setter sends its command once per output named
};

// A number read with "%lf%*t" / "%ld%*t" and written with "%0.15lg" / "%ld".
template <class T>
struct NumericCommand {
  ViAttr id;
  const char* getterName;
  const char* query;
  const char* responseFormat;
  T simulationDefault;
  bool simulationFixed;    // the simulated read answers the default, never the cache entry
  const char* setCommand;  // nullptr for a read-only attribute
  Channel channel;
};

// A token read into a 256-character response and converted by an enum command map.
template <class T>
struct MappedCommand {
  ViAttr id;
  const char* getterName;
  const char* query;
  const char* responseFormat;  // one "%#[...]" conversion
  T simulationDefault;
  bool simulationFixed;
  const char* setCommand;  // with one "%s" for the token; nullptr for read-only
  const kel::EnumCommandMap& (*map)();
};

// A text read into the caller's buffer with "%#[^\n]%*t".
struct TextCommand {
  ViAttr id;
  const char* getterName;
  // Checked where the row is declared: a getter whose other arguments do not depend on the row
  // cannot have clang 14 check it inside the template.
  kel::CommandText query;
  const char* simulatedText;
};

// The rows, one constant each.
// clang-format off
#define HNVQR_REAL64(ROW, NAME, QUERY, SIMULATED, SET, CHANNEL)                                   \
  inline constexpr NumericCommand<ViReal64> ROW{                                                  \
      HNVQR_ATTR_##NAME, "HnVQR_get_" #NAME, QUERY, "%lf%*t", SIMULATED, false, SET, Channel::CHANNEL};
#define HNVQR_REGISTER(ROW, NAME, QUERY, FIXED, SET)                                              \
  inline constexpr NumericCommand<ViInt32> ROW{                                                   \
      HNVQR_ATTR_##NAME, "HnVQR_get_" #NAME, QUERY, "%ld%*t", 0, FIXED, SET, Channel::kIgnored};
#define HNVQR_ON_OFF(ROW, NAME, QUERY, SIMULATED, SET)                                            \
  inline constexpr MappedCommand<ViBoolean> ROW{                                                  \
      HNVQR_ATTR_##NAME, "HnVQR_get_" #NAME, QUERY, "%#[^\n]%*t", SIMULATED, false, SET, maps::OnOff};
#define HNVQR_ENUM(ROW, NAME, QUERY, FORMAT, SIMULATED, FIXED, SET, MAP)                          \
  inline constexpr MappedCommand<ViInt32> ROW{                                                    \
      HNVQR_ATTR_##NAME, "HnVQR_get_" #NAME, QUERY, FORMAT, SIMULATED, FIXED, SET, maps::MAP};
#define HNVQR_TEXT(ROW, NAME, QUERY, SIMULATED)                                                   \
  inline constexpr TextCommand ROW{HNVQR_ATTR_##NAME, "HnVQR_get_" #NAME, QUERY, SIMULATED};
// clang-format on
#include "commands/CommandTable.def"
#undef HNVQR_REAL64
#undef HNVQR_REGISTER
#undef HNVQR_ON_OFF
#undef HNVQR_ENUM
#undef HNVQR_TEXT

}  // namespace hnvqr::commands
