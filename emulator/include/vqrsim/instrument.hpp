// The emulated VQR supply: settings, status system and output stage behind a SCPI parser.
// Pure logic: no I/O, no threads, no clocks. Not thread-safe by itself; the server holds
// it under its own lock.
//
// Error classes (each sets its standard event bit and queues its code):
//  - command errors (0x20): -102 syntax, -104 data type (a string for a number), -108
//    parameter not allowed, -109 missing parameter, -113 undefined header (also a
//    command-only header sent with '?', e.g. "*RST?"), -131 invalid suffix;
//  - execution errors (0x10): -222 out of the model's range, -224 illegal value (an
//    unknown token or word);
//  - device-dependent errors (0x08): -330 self-test failed, -350 queue overflow, -363 input
//    buffer overrun (a line over kMaxLineLength);
//  - query errors (0x04): -400 for a query-only header sent as a command ("MEAS:VOLT",
//    "*IDN"). Unread replies are not tracked: on a socket the client reads at its pace.
// A failed unit is skipped and the next unit after ';' still runs. A refused value leaves
// the setting as it was.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "vqrsim/electrical_model.hpp"
#include "vqrsim/models.hpp"
#include "vqrsim/status_system.hpp"

namespace vqrsim {

enum class ControlSource { Local, Remote, RemoteWithLock, AnalogVoltage, AnalogCurrent, AnalogDual };
enum class AnalogOutputMode { Disabled, Parallel, Series };
enum class SenseCalculation { Dormant, Calculating, Complete };

// The settings that program messages change and *RST sets back.
struct InstrumentSettings {
  OutputSettings levels;  // setpoints and protection limits
  bool output_on = false;
  bool auto_start = false;
  bool remote_sense = false;
  double remote_sense_ohms = 0;
  ControlSource control_source = ControlSource::Remote;
  AnalogOutputMode analog_output = AnalogOutputMode::Disabled;
  int voltage_scaling_level = 3;
  int current_scaling_level = 3;
};

// A copy of everything a test may want to look at: the settings and the rest of the state.
struct InstrumentState : InstrumentSettings {
  std::string model;
  ModelRating rating{};
  SenseCalculation sense_calculation = SenseCalculation::Dormant;
  std::array<double, 4> voltage_calibration{};
  std::array<double, 4> current_calibration{};
  double load_ohms = 0;
  OperatingPoint output;  // what MEAS:VOLT? / MEAS:CURR? report
  std::uint16_t operation_condition = 0;
  std::uint16_t questionable_condition = 0;
  std::uint8_t event_status = 0;  // not cleared by taking the copy
  std::uint8_t event_status_enable = 0;
  std::uint8_t service_request_enable = 0;
  std::size_t error_count = 0;
  int saved_configurations = 0;  // SYST:CONF:SAVE count
};

class Instrument {
 public:
  // Longest program message accepted, terminator excluded; a longer line is discarded
  // and reported with -363 "Input buffer overrun".
  static constexpr std::size_t kMaxLineLength = 4096;
  static constexpr std::string_view kManufacturer = "Halvorn";
  static constexpr std::string_view kSerialNumber = "SIM000123";
  static constexpr std::string_view kFirmwareRevision = "2.14";

  // An identifier outside the family is answered in *IDN? as given and rated like the
  // fallback model. load_ohms must be positive.
  explicit Instrument(std::string model = "VQR-A4", double load_ohms = 1e6);

  // Executes one program message (a line, with or without its "\n" or "\r\n") and
  // returns the response message: the replies of its queries joined by ';' and ended
  // by "\n", or nothing when it held no query.
  std::string process_line(std::string_view line);

  // Records the rejection of a line longer than kMaxLineLength.
  void reject_overlong_line();

  // Test hooks.
  bool set_load_ohms(double ohms);  // false (and no change) unless ohms > 0 and finite
  void raise_standard_events(std::uint8_t bits);
  void set_self_test_result(int result);  // what *TST? answers next; 0 passes
  void set_hardware_condition(std::uint16_t bits);
  void set_temperature_condition(std::uint16_t bits);

  InstrumentState state() const;

  // The canonical short form ("SYST:ERR?") of the first header of a line, found through
  // the command table, so that "syst:error:next?" and ":SYST:ERR?" give the same key. A
  // header outside the table gives its own text in upper case without a leading colon.
  static std::string canonical_header(std::string_view line);

 private:
  struct Call;  // one program message unit being executed

  using Settings = InstrumentSettings;
  struct Limits {
    double minimum;
    double maximum;
    double fallback;  // DEF
    std::string_view unit;
  };

  Settings reset_settings() const;
  void update_output();
  void report(int code) { status_.report_error(code); }

  // Parameter helpers: each reports its own error and returns false on failure.
  bool expect_count(Call& call, std::size_t count);
  bool real_parameter(Call& call, std::size_t index, const Limits& limits, double& out);
  bool boolean_parameter(Call& call, bool& out);
  bool register_parameter(Call& call, int maximum, int& out);
  void reply_real_or_limit(Call& call, double value, const Limits& limits);
  // The shared shape of the level setters.
  void set_level(Call& call, double OutputSettings::*field, const Limits& limits);
  // An enumerated setting and its query: `choices` lists its tokens in the enum's order.
  template <class Enum, class Choices>
  void set_choice(Call& call, const Choices& choices, Enum Settings::*field);
  template <class Enum, class Choices>
  void choice_query(Call& call, const Choices& choices, Enum Settings::*field);

  // The limits of a protection level: from 0 up to the rating with its headroom, which DEF
  // also gives.
  static Limits protection_limits(double rating, std::string_view unit);
  Limits voltage_limits() const;
  Limits current_limits() const;
  Limits power_limits() const;
  Limits over_voltage_limits() const;
  Limits over_current_limits() const;
  Limits over_power_limits() const;

  struct CommandRow;
  static const std::vector<CommandRow>& command_table();
  // Finds the row of a header: relative to the current path first, then from the root.
  static const CommandRow* find_row(const std::vector<std::string>& path, const std::vector<std::string>& mnemonics,
                                    bool query, bool& other_form_exists, std::vector<std::string>* matched_path);

  // Command handlers, one per table row.
  void idn(Call&);
  void reset(Call&);
  void clear_status(Call&);
  void operation_complete(Call&);
  void operation_complete_query(Call&);
  void wait(Call&);
  void self_test(Call&);
  void set_event_enable(Call&);
  void event_enable_query(Call&);
  void event_status_query(Call&);
  void set_service_request_enable(Call&);
  void service_request_enable_query(Call&);
  void status_byte_query(Call&);

  // The setter and the query of one level, for each setpoint and protection limit: the
  // field it is kept in and the limits that bound it.
  template <double OutputSettings::*Field, Limits (Instrument::*LimitsOf)() const>
  void level_command(Call&);
  template <double OutputSettings::*Field, Limits (Instrument::*LimitsOf)() const>
  void level_query(Call&);
  void set_output(Call&);
  void output_query(Call&);
  void set_auto_start(Call&);
  void auto_start_query(Call&);
  void set_remote_sense(Call&);
  void remote_sense_query(Call&);
  void set_sense_resistance(Call&);
  void sense_resistance_query(Call&);
  void start_sense_calculation(Call&);
  void sense_calculation_query(Call&);
  void measure_voltage(Call&);
  void measure_current(Call&);
  void measure_power(Call&);

  // The queries and the enable setter of each SCPI register group: the group of the status
  // system they read or set.
  template <RegisterGroup StatusSystem::*Group>
  void event_register_query(Call&);
  template <RegisterGroup StatusSystem::*Group>
  void condition_register_query(Call&);
  template <RegisterGroup StatusSystem::*Group>
  void set_enable_register(Call&);
  template <RegisterGroup StatusSystem::*Group>
  void enable_register_query(Call&);
  void status_preset(Call&);

  void error_query(Call&);
  void error_clear(Call&);
  void error_condition_query(Call&);
  void error_count_query(Call&);
  void set_control_source(Call&);
  void control_source_query(Call&);
  void set_analog_output(Call&);
  void analog_output_query(Call&);
  void set_analog_scaling(Call&);
  void analog_scaling_query(Call&);
  void capability_query(Call&);
  void version_query(Call&);
  void save_configuration(Call&);
  void self_test_result_query(Call&);
  void self_test_clear(Call&);
  void set_voltage_calibration(Call&);
  void voltage_calibration_query(Call&);
  void set_current_calibration(Call&);
  void current_calibration_query(Call&);

 private:
  std::string model_;
  ModelRating rating_;
  double load_ohms_;
  Settings settings_;
  StatusSystem status_;
  OperatingPoint output_;
  std::uint16_t trip_bits_ = 0;  // latched OV/OC/OP bits until the output is switched on
  SenseCalculation sense_calculation_ = SenseCalculation::Dormant;
  std::array<double, 4> voltage_calibration_{1, 0, 0, 0};
  std::array<double, 4> current_calibration_{1, 0, 0, 0};
  int next_self_test_result_ = 0;
  bool last_self_test_passed_ = true;
  int saved_configurations_ = 0;
  Settings saved_settings_;
};

}  // namespace vqrsim
