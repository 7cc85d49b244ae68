#include "vqrsim/instrument.hpp"

#include <cmath>
#include <span>
#include <utility>

#include "vqrsim/scpi_lexer.hpp"

namespace vqrsim {

struct Instrument::Call {
  std::span<const std::string_view> params;
  bool query = false;
  std::string reply;
  bool replied = false;
  bool message_available = false;  // an earlier query of the same line has answered

  void answer(std::string text) {
    reply = std::move(text);
    replied = true;
  }
};

struct Instrument::CommandRow {
  scpi::HeaderPattern pattern;
  void (Instrument::*handler)(Call&);
};

namespace {

// Protection limits reach 1.1 times the ratings, computed as rating * 11 / 10 so that
// 50 V gives exactly 55 V.
double with_headroom(double rating) { return rating * 11 / 10; }
constexpr double kMaxSenseOhms = 1e9;

// A token with its short and long form, for enumerated parameters.
struct Choice {
  std::string_view short_form;
  std::string_view long_form;
};

constexpr std::array<Choice, 6> kControlSources{{
    {"LOC", "LOCAL"},
    {"REM", "REMOTE"},
    {"RWL", "RWLOCK"},
    {"VOLT", "VOLTAGE"},
    {"CURR", "CURRENT"},
    {"DUAL", "DUAL"},
}};
constexpr std::array<Choice, 3> kAnalogOutputModes{{
    {"DIS", "DISABLED"},
    {"PAR", "PARALLEL"},
    {"SER", "SERIES"},
}};
constexpr std::array<Choice, 2> kScalingSelectors{{{"VOLT", "VOLTAGE"}, {"CURR", "CURRENT"}}};
constexpr std::array<std::string_view, 3> kSenseCalculationTokens{"DORMANT", "CALCULATING", "COMPLETE"};

template <std::size_t N>
int find_choice(std::string_view token, const std::array<Choice, N>& choices) {
  for (std::size_t i = 0; i < N; ++i) {
    if (scpi::iequals(token, choices[i].short_form) || scpi::iequals(token, choices[i].long_form)) {
      return static_cast<int>(i);
    }
  }
  return -1;
}

std::string upper_text(std::string_view text) {
  std::string result(text);
  for (char& c : result) {
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
  }
  return result;
}

std::string format_int(long value) { return std::to_string(value); }

std::string format_reals(const std::array<double, 4>& values) {
  std::string text;
  for (std::size_t i = 0; i < values.size(); ++i) {
    if (i > 0) text += ',';
    text += scpi::format_real(values[i]);
  }
  return text;
}

}  // namespace

const std::vector<Instrument::CommandRow>& Instrument::command_table() {
  using I = Instrument;
  static const std::vector<CommandRow> table = [] {
    const std::pair<std::string_view, void (I::*)(Call&)> rows[] = {
#define VQRSIM_COMMAND(HEADER, HANDLER) {HEADER, &I::HANDLER},
#define VQRSIM_LEVEL(HEADER, FIELD, LIMITS)                        \
  {HEADER, &I::level_command<&OutputSettings::FIELD, &I::LIMITS>}, \
      {HEADER "?", &I::level_query<&OutputSettings::FIELD, &I::LIMITS>},
#define VQRSIM_REGISTER_GROUP(ROOT, GROUP)                                      \
  {ROOT "[:EVENt]?", &I::event_register_query<&StatusSystem::GROUP>},           \
      {ROOT ":CONDition?", &I::condition_register_query<&StatusSystem::GROUP>}, \
      {ROOT ":ENABle", &I::set_enable_register<&StatusSystem::GROUP>},          \
      {ROOT ":ENABle?", &I::enable_register_query<&StatusSystem::GROUP>},
#include "command_table.def"
#undef VQRSIM_COMMAND
#undef VQRSIM_LEVEL
#undef VQRSIM_REGISTER_GROUP
    };
    std::vector<CommandRow> built;
    for (const auto& [pattern, handler] : rows) {
      built.push_back({scpi::HeaderPattern(pattern), handler});
    }
    return built;
  }();
  return table;
}

const Instrument::CommandRow* Instrument::find_row(const std::vector<std::string>& path,
                                                   const std::vector<std::string>& mnemonics, bool query,
                                                   bool& other_form_exists, std::vector<std::string>* matched_path) {
  other_form_exists = false;
  std::vector<std::vector<std::string>> candidates;
  if (!path.empty()) {
    std::vector<std::string> relative = path;
    relative.insert(relative.end(), mnemonics.begin(), mnemonics.end());
    candidates.push_back(std::move(relative));
  }
  candidates.push_back(mnemonics);
  for (const auto& candidate : candidates) {
    for (const CommandRow& row : command_table()) {
      if (!row.pattern.matches(candidate)) continue;
      if (row.pattern.query() == query) {
        if (matched_path != nullptr) *matched_path = candidate;
        return &row;
      }
      other_form_exists = true;
    }
  }
  return nullptr;
}

Instrument::Instrument(std::string model, double load_ohms)
    : model_(std::move(model)),
      rating_(find_model(model_) != nullptr ? *find_model(model_) : fallback_rating()),
      load_ohms_(load_ohms > 0 && std::isfinite(load_ohms) ? load_ohms : 1e6) {
  settings_ = reset_settings();
  saved_settings_ = settings_;
  update_output();
}

Instrument::Settings Instrument::reset_settings() const {
  Settings s;
  s.levels.volts = 0;
  s.levels.amps = rating_.max_amps;
  s.levels.watts = rating_.power_watts;
  s.levels.over_voltage_limit = with_headroom(rating_.max_volts);
  s.levels.over_current_limit = with_headroom(rating_.max_amps);
  s.levels.over_power_limit = with_headroom(rating_.power_watts);
  return s;
}

Instrument::Limits Instrument::voltage_limits() const { return {0, rating_.max_volts, 0, "V"}; }
Instrument::Limits Instrument::current_limits() const { return {0, rating_.max_amps, rating_.max_amps, "A"}; }
Instrument::Limits Instrument::power_limits() const { return {0, rating_.power_watts, rating_.power_watts, "W"}; }
Instrument::Limits Instrument::protection_limits(double rating, std::string_view unit) {
  const double top = with_headroom(rating);
  return {0, top, top, unit};
}
Instrument::Limits Instrument::over_voltage_limits() const { return protection_limits(rating_.max_volts, "V"); }
Instrument::Limits Instrument::over_current_limits() const { return protection_limits(rating_.max_amps, "A"); }
Instrument::Limits Instrument::over_power_limits() const { return protection_limits(rating_.power_watts, "W"); }

std::string Instrument::process_line(std::string_view line) {
  std::string response;
  std::vector<std::string> path;
  for (std::string_view unit_text : scpi::split_units(line)) {
    if (scpi::trim(unit_text).empty()) continue;
    const auto unit = scpi::parse_unit(unit_text);
    const auto header = unit ? scpi::parse_header(unit->header) : std::nullopt;
    if (!unit || !header) {
      report(-102);
      continue;
    }
    bool other_form = false;
    std::vector<std::string> matched;
    const CommandRow* row = find_row(header->absolute || header->common ? std::vector<std::string>{} : path,
                                     header->mnemonics, header->query, other_form, &matched);
    if (row == nullptr) {
      // A query-only header sent as a command is a query error; anything else that
      // is not in the table (a command-only header with '?' included) is undefined.
      report(other_form && !header->query ? -400 : -113);
      continue;
    }
    if (!header->common) {
      path.assign(matched.begin(), matched.end() - 1);
    }
    Call call;
    call.params = unit->params;
    call.query = header->query;
    call.message_available = !response.empty();
    (this->*row->handler)(call);
    if (call.replied) {
      if (!response.empty()) response += ';';
      response += call.reply;
    }
    update_output();
  }
  if (!response.empty()) response += '\n';
  return response;
}

void Instrument::reject_overlong_line() { report(-363); }

bool Instrument::set_load_ohms(double ohms) {
  if (!(ohms > 0) || !std::isfinite(ohms)) return false;
  load_ohms_ = ohms;
  update_output();
  return true;
}

void Instrument::raise_standard_events(std::uint8_t bits) { status_.raise_events(bits); }

void Instrument::set_self_test_result(int result) { next_self_test_result_ = result; }

void Instrument::set_hardware_condition(std::uint16_t bits) {
  status_.hardware.set_condition(bits);
  update_output();
}

void Instrument::set_temperature_condition(std::uint16_t bits) {
  status_.temperature.set_condition(bits);
  update_output();
}

void Instrument::update_output() {
  const OperatingPoint point = solve_output(settings_.levels, load_ohms_, settings_.output_on);
  switch (point.trip) {
    case Trip::OverVoltage:
      trip_bits_ |= ques::kOverVoltage;
      break;
    case Trip::OverCurrent:
      trip_bits_ |= ques::kOverCurrent;
      break;
    case Trip::OverPower:
      trip_bits_ |= ques::kOverPower;
      break;
    case Trip::None:
      break;
  }
  if (point.trip != Trip::None) settings_.output_on = false;
  output_ = point;

  std::uint16_t operation = 0;
  switch (point.regulation) {
    case Regulation::ConstantVoltage:
      operation = oper::kConstantVoltage;
      break;
    case Regulation::ConstantCurrent:
      operation = oper::kConstantCurrent;
      break;
    case Regulation::PowerLimited:
      operation = oper::kUnregulated;
      break;
    case Regulation::Off:
      break;
  }
  status_.operation.set_condition(operation);
  status_.set_questionable_condition(trip_bits_);
}

InstrumentState Instrument::state() const {
  InstrumentState s;
  static_cast<InstrumentSettings&>(s) = settings_;
  s.model = model_;
  s.rating = rating_;
  s.sense_calculation = sense_calculation_;
  s.voltage_calibration = voltage_calibration_;
  s.current_calibration = current_calibration_;
  s.load_ohms = load_ohms_;
  s.output = output_;
  s.operation_condition = status_.operation.condition();
  s.questionable_condition = status_.questionable.condition();
  s.event_status = status_.event_status();
  s.event_status_enable = status_.event_enable();
  s.service_request_enable = status_.request_enable();
  s.error_count = status_.errors.size();
  s.saved_configurations = saved_configurations_;
  return s;
}

std::string Instrument::canonical_header(std::string_view line) {
  for (std::string_view unit_text : scpi::split_units(line)) {
    if (scpi::trim(unit_text).empty()) continue;
    const auto unit = scpi::parse_unit(unit_text);
    if (!unit) return {};
    if (const auto header = scpi::parse_header(unit->header)) {
      bool other_form = false;
      if (const CommandRow* row = find_row({}, header->mnemonics, header->query, other_form, nullptr)) {
        return row->pattern.canonical();
      }
    }
    std::string_view text = unit->header;
    if (!text.empty() && text.front() == ':') text.remove_prefix(1);
    return upper_text(text);
  }
  return {};
}

// ---- parameter helpers ----

bool Instrument::expect_count(Call& call, std::size_t count) {
  if (call.params.size() < count) {
    report(-109);
    return false;
  }
  if (call.params.size() > count) {
    report(-108);
    return false;
  }
  return true;
}

bool Instrument::real_parameter(Call& call, std::size_t index, const Limits& limits, double& out) {
  scpi::NumberToken token;
  if (const int error = scpi::parse_number(call.params[index], limits.unit, token); error != 0) {
    report(error);
    return false;
  }
  switch (token.kind) {
    case scpi::NumberToken::Kind::Minimum:
      out = limits.minimum;
      return true;
    case scpi::NumberToken::Kind::Maximum:
      out = limits.maximum;
      return true;
    case scpi::NumberToken::Kind::Default:
      out = limits.fallback;
      return true;
    case scpi::NumberToken::Kind::Value:
      break;
  }
  if (token.value < limits.minimum || token.value > limits.maximum) {
    report(-222);
    return false;
  }
  out = token.value;
  return true;
}

bool Instrument::boolean_parameter(Call& call, bool& out) {
  if (!expect_count(call, 1)) return false;
  if (const int error = scpi::parse_boolean(call.params[0], out); error != 0) {
    report(error);
    return false;
  }
  return true;
}

bool Instrument::register_parameter(Call& call, int maximum, int& out) {
  if (!expect_count(call, 1)) return false;
  double value = 0;
  if (!real_parameter(call, 0, Limits{0, static_cast<double>(maximum), 0, ""}, value)) return false;
  out = static_cast<int>(std::lround(value));
  return true;
}

void Instrument::reply_real_or_limit(Call& call, double value, const Limits& limits) {
  if (call.params.size() > 1) {
    report(-108);
    return;
  }
  if (call.params.size() == 1) {
    // "VOLT? MAX" answers the bound instead of the setting.
    scpi::NumberToken token;
    const int error = scpi::parse_number(call.params[0], "", token);
    if (error != 0 || token.kind == scpi::NumberToken::Kind::Value) {
      report(error != 0 ? error : -224);
      return;
    }
    value = token.kind == scpi::NumberToken::Kind::Minimum   ? limits.minimum
            : token.kind == scpi::NumberToken::Kind::Maximum ? limits.maximum
                                                             : limits.fallback;
  }
  call.answer(scpi::format_real(value));
}

// ---- IEEE 488.2 common commands ----

void Instrument::idn(Call& call) {
  if (!expect_count(call, 0)) return;
  std::string text(kManufacturer);
  text += ',';
  text += model_;
  text += ',';
  text += kSerialNumber;
  text += ',';
  text += kFirmwareRevision;
  call.answer(std::move(text));
}

void Instrument::reset(Call& call) {
  if (!expect_count(call, 0)) return;
  settings_ = reset_settings();
  trip_bits_ = 0;
  sense_calculation_ = SenseCalculation::Dormant;
}

void Instrument::clear_status(Call& call) {
  if (!expect_count(call, 0)) return;
  status_.clear();
}

void Instrument::operation_complete(Call& call) {
  if (!expect_count(call, 0)) return;
  // Every operation completes before the next command is parsed.
  status_.raise_events(esr::kOperationComplete);
}

void Instrument::operation_complete_query(Call& call) {
  if (expect_count(call, 0)) call.answer("1");
}

void Instrument::wait(Call& call) { expect_count(call, 0); }

void Instrument::self_test(Call& call) {
  if (!expect_count(call, 0)) return;
  last_self_test_passed_ = next_self_test_result_ == 0;
  if (!last_self_test_passed_) report(-330);
  call.answer(format_int(next_self_test_result_));
}

void Instrument::set_event_enable(Call& call) {
  int value = 0;
  if (register_parameter(call, 255, value)) status_.set_event_enable(static_cast<std::uint8_t>(value));
}

void Instrument::event_enable_query(Call& call) {
  if (expect_count(call, 0)) call.answer(format_int(status_.event_enable()));
}

void Instrument::event_status_query(Call& call) {
  if (expect_count(call, 0)) call.answer(format_int(status_.take_event_status()));
}

void Instrument::set_service_request_enable(Call& call) {
  int value = 0;
  if (register_parameter(call, 255, value)) status_.set_request_enable(static_cast<std::uint8_t>(value));
}

void Instrument::service_request_enable_query(Call& call) {
  if (expect_count(call, 0)) call.answer(format_int(status_.request_enable()));
}

void Instrument::status_byte_query(Call& call) {
  if (expect_count(call, 0)) call.answer(format_int(status_.status_byte(call.message_available)));
}

// ---- output settings ----

void Instrument::set_level(Call& call, double OutputSettings::*field, const Limits& limits) {
  double value = 0;
  if (expect_count(call, 1) && real_parameter(call, 0, limits, value)) settings_.levels.*field = value;
}

template <double OutputSettings::*Field, Instrument::Limits (Instrument::*LimitsOf)() const>
void Instrument::level_command(Call& call) {
  set_level(call, Field, (this->*LimitsOf)());
}
template <double OutputSettings::*Field, Instrument::Limits (Instrument::*LimitsOf)() const>
void Instrument::level_query(Call& call) {
  reply_real_or_limit(call, settings_.levels.*Field, (this->*LimitsOf)());
}

void Instrument::set_output(Call& call) {
  bool on = false;
  if (!boolean_parameter(call, on)) return;
  // Switching on clears a latched protection trip; a fault that persists trips again
  // when the output is solved after this command.
  if (on) trip_bits_ = 0;
  settings_.output_on = on;
}

void Instrument::output_query(Call& call) {
  if (expect_count(call, 0)) call.answer(settings_.output_on ? "1" : "0");
}

void Instrument::set_auto_start(Call& call) {
  bool on = false;
  if (boolean_parameter(call, on)) settings_.auto_start = on;
}

void Instrument::auto_start_query(Call& call) {
  if (expect_count(call, 0)) call.answer(settings_.auto_start ? "1" : "0");
}

void Instrument::set_remote_sense(Call& call) {
  bool on = false;
  if (boolean_parameter(call, on)) settings_.remote_sense = on;
}

void Instrument::remote_sense_query(Call& call) {
  if (expect_count(call, 0)) call.answer(settings_.remote_sense ? "1" : "0");
}

void Instrument::set_sense_resistance(Call& call) {
  double value = 0;
  if (expect_count(call, 1) && real_parameter(call, 0, Limits{0, kMaxSenseOhms, 0, "OHM"}, value)) {
    settings_.remote_sense_ohms = value;
  }
}

void Instrument::sense_resistance_query(Call& call) {
  reply_real_or_limit(call, settings_.remote_sense_ohms, Limits{0, kMaxSenseOhms, 0, "OHM"});
}

void Instrument::start_sense_calculation(Call& call) {
  double value = 0;
  if (expect_count(call, 1) && real_parameter(call, 0, Limits{0, kMaxSenseOhms, 0, ""}, value)) {
    sense_calculation_ = SenseCalculation::Calculating;
  }
}

void Instrument::sense_calculation_query(Call& call) {
  if (!expect_count(call, 0)) return;
  call.answer(std::string(kSenseCalculationTokens[static_cast<std::size_t>(sense_calculation_)]));
  // The calculation is reported as running once, then as finished.
  if (sense_calculation_ == SenseCalculation::Calculating) {
    sense_calculation_ = SenseCalculation::Complete;
  }
}

void Instrument::measure_voltage(Call& call) {
  if (expect_count(call, 0)) call.answer(scpi::format_real(output_.volts));
}

void Instrument::measure_current(Call& call) {
  if (expect_count(call, 0)) call.answer(scpi::format_real(output_.amps));
}

void Instrument::measure_power(Call& call) {
  if (expect_count(call, 0)) call.answer(scpi::format_real(output_.volts * output_.amps));
}

// ---- SCPI status registers ----

template <RegisterGroup StatusSystem::*Group>
void Instrument::event_register_query(Call& call) {
  if (expect_count(call, 0)) call.answer(format_int((status_.*Group).take_event()));
}

template <RegisterGroup StatusSystem::*Group>
void Instrument::condition_register_query(Call& call) {
  if (expect_count(call, 0)) call.answer(format_int((status_.*Group).condition()));
}

template <RegisterGroup StatusSystem::*Group>
void Instrument::set_enable_register(Call& call) {
  int value = 0;
  if (register_parameter(call, 0x7FFF, value)) {
    (status_.*Group).set_enable(static_cast<std::uint16_t>(value));
  }
}

template <RegisterGroup StatusSystem::*Group>
void Instrument::enable_register_query(Call& call) {
  if (expect_count(call, 0)) call.answer(format_int((status_.*Group).enable()));
}

void Instrument::status_preset(Call& call) {
  if (expect_count(call, 0)) status_.preset();
}

// ---- SYSTem, TEST, CALibration ----

void Instrument::error_query(Call& call) {
  if (expect_count(call, 0)) call.answer(format_error_entry(status_.errors.pop()));
}

void Instrument::error_clear(Call& call) {
  if (expect_count(call, 0)) status_.errors.clear();
}

void Instrument::error_condition_query(Call& call) {
  if (expect_count(call, 0)) call.answer(format_int(status_.errors.newest()));
}

void Instrument::error_count_query(Call& call) {
  if (expect_count(call, 0)) call.answer(format_int(static_cast<long>(status_.errors.size())));
}

template <class Enum, class Choices>
void Instrument::set_choice(Call& call, const Choices& choices, Enum Settings::*field) {
  if (!expect_count(call, 1)) return;
  const int choice = find_choice(call.params[0], choices);
  if (choice < 0) {
    report(-224);
    return;
  }
  settings_.*field = static_cast<Enum>(choice);
}

template <class Enum, class Choices>
void Instrument::choice_query(Call& call, const Choices& choices, Enum Settings::*field) {
  if (!expect_count(call, 0)) return;
  call.answer(std::string(choices[static_cast<std::size_t>(settings_.*field)].short_form));
}

void Instrument::set_control_source(Call& call) { set_choice(call, kControlSources, &Settings::control_source); }
void Instrument::control_source_query(Call& call) { choice_query(call, kControlSources, &Settings::control_source); }
void Instrument::set_analog_output(Call& call) { set_choice(call, kAnalogOutputModes, &Settings::analog_output); }
void Instrument::analog_output_query(Call& call) { choice_query(call, kAnalogOutputModes, &Settings::analog_output); }

void Instrument::set_analog_scaling(Call& call) {
  if (!expect_count(call, 2)) return;
  const int selector = find_choice(call.params[0], kScalingSelectors);
  scpi::NumberToken level;
  const int error = scpi::parse_number(call.params[1], "V", level);
  if (error != 0 && error != -224) {
    report(error);
    return;
  }
  const bool valid_level = error == 0 && level.kind == scpi::NumberToken::Kind::Value &&
                           (level.value == 3 || level.value == 5 || level.value == 10);
  if (selector < 0 || !valid_level) {
    report(-224);
    return;
  }
  const int value = static_cast<int>(level.value);
  (selector == 0 ? settings_.voltage_scaling_level : settings_.current_scaling_level) = value;
}

void Instrument::analog_scaling_query(Call& call) {
  if (!expect_count(call, 0)) return;
  // The current level comes first.
  call.answer(format_int(settings_.current_scaling_level) + "," + format_int(settings_.voltage_scaling_level));
}

void Instrument::capability_query(Call& call) {
  if (expect_count(call, 0)) call.answer("(DCPSUPPLY WITH MEASURE)");
}

void Instrument::version_query(Call& call) {
  if (expect_count(call, 0)) call.answer("1999.0");
}

void Instrument::save_configuration(Call& call) {
  if (!expect_count(call, 0)) return;
  saved_settings_ = settings_;
  ++saved_configurations_;
}

void Instrument::self_test_result_query(Call& call) {
  if (expect_count(call, 0)) call.answer(last_self_test_passed_ ? "Selftest passed" : "Selftest failed");
}

void Instrument::self_test_clear(Call& call) {
  if (expect_count(call, 0)) last_self_test_passed_ = true;
}

namespace {
// Four finite numbers, or the SCPI error code of the first bad one.
int parse_four_reals(std::span<const std::string_view> params, std::array<double, 4>& out) {
  if (params.size() < 4) return -109;
  if (params.size() > 4) return -108;
  std::array<double, 4> values{};
  for (std::size_t i = 0; i < 4; ++i) {
    scpi::NumberToken token;
    if (const int error = scpi::parse_number(params[i], "", token); error != 0) return error;
    if (token.kind != scpi::NumberToken::Kind::Value) return -224;
    values[i] = token.value;
  }
  out = values;
  return 0;
}
}  // namespace

void Instrument::set_voltage_calibration(Call& call) {
  if (const int error = parse_four_reals(call.params, voltage_calibration_); error != 0) report(error);
}

void Instrument::voltage_calibration_query(Call& call) {
  if (expect_count(call, 0)) call.answer(format_reals(voltage_calibration_));
}

void Instrument::set_current_calibration(Call& call) {
  if (const int error = parse_four_reals(call.params, current_calibration_); error != 0) report(error);
}

void Instrument::current_calibration_query(Call& call) {
  if (expect_count(call, 0)) call.answer(format_reals(current_calibration_));
}

}  // namespace vqrsim
