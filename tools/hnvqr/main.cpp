// hnvqr: command-line access to a VQR supply through the HnVQR driver's C interface.
//
// Exit codes: 0 success; 1 the driver or the instrument reported a failure, or the output
// could not be written (the reason on stderr); 2 bad arguments or a bad option string.

#include <getopt.h>

#include <array>
#include <cctype>
#include <cerrno>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <thread>
#include <unistd.h>
#include <vector>

#include <nlohmann/json.hpp>
#include <visa.h>

#include "AttributeCatalog.h"
#include "AttributeValues.h"
#include "StoreNames.h"
#include "TraceCommands.h"

#ifndef HNVQR_TOOL_VERSION
#define HNVQR_TOOL_VERSION "unknown"
#endif

namespace hnvqr::tool {
namespace {

using nlohmann::json;

constexpr int kExitSuccess = 0;
constexpr int kExitFailure = 1;
constexpr int kExitUsage = 2;

constexpr std::string_view kUsage =
    "usage: hnvqr [-r RESOURCE | --simulate] [-o OPTIONS] [--no-status-check] [--timeout MS] [--json]\n"
    "             COMMAND [ARGS]\n"
    "\n"
    "  -r, --resource RESOURCE  VISA resource string, logical name or driver session of the\n"
    "                           configuration store (TCPIP0::host::5025::SOCKET,\n"
    "                           TCPIP0::host::INSTR, ASRL/dev/ttyUSB0::INSTR, USB0::...::INSTR)\n"
    "  -s, --simulate           simulate the instrument (Simulate=1 ahead of the option string)\n"
    "  -o, --option OPTIONS     driver option string, e.g. \"Cache=0, DriverSetup=Model:VQR-A2\"\n"
    "  --no-status-check        do not ask the instrument for errors after each exchange (the\n"
    "                           check is on unless the option string sets QueryInstrStatus)\n"
    "  -t, --timeout MS         time-out of the opening and of every I/O, in milliseconds\n"
    "  --json                   print idn, get, measure, attributes, errors and names as JSON\n"
    "  -h, --help               this text\n"
    "  -V, --version            the version of hnvqr\n"
    "\n"
    "commands:\n"
    "  idn                         manufacturer, model and firmware revision\n"
    "  get ATTR [CHANNEL]          read an attribute (name without HNVQR_ATTR_, any case)\n"
    "  set ATTR VALUE [CHANNEL]    write an attribute; booleans on/off/true/false/1/0,\n"
    "                              enumerated values by name (without HNVQR_VAL_) or number\n"
    "  measure voltage|current     measure the output\n"
    "  output on|off               switch the output\n"
    "  state                       levels, measurements and output state\n"
    "  errors                      read the instrument's error queue until it is empty (opens\n"
    "                              without the status check, which would clear the queue)\n"
    "  reset                       reset the instrument\n"
    "  self-test                   run the instrument's self-test\n"
    "  attributes                  list every attribute with its type, access and value\n"
    "  scpi 'COMMAND'              send a SCPI command; one containing '?' is a query whose\n"
    "                              answer is printed\n"
    "  names                       list the logical names and driver sessions of the\n"
    "                              configuration store, and where it was found\n"
    "  trace FILE [--session N] [--errors] [--slow MS]\n"
    "                              show an I/O trace (HNVQR_TRACE, DriverSetup TraceFile) as a\n"
    "                              table; flags failures and exchanges slower than MS (100)\n"
    "  replay FILE                 run the calls of a trace again, against the trace itself\n"
    "                              (REPLAY::FILE::0::INSTR) or the --resource given, and compare\n"
    "                              each status and value with the recorded one\n"
    "\n"
    "Numbers are decimal (12, -0.5, 1e-3) or hexadecimal whole numbers (0x3C). With the status\n"
    "check on, an error the instrument reports is read from its error queue and printed.\n";

// Bad arguments: turned into a one-line message and exit code 2.
struct UsageError {
  std::string message;
};

// A failure: its lines go to stderr, each after "hnvqr: ".
struct Failure {
  std::string description;
  int exit_code = kExitFailure;
};

// ---- Output ------------------------------------------------------------------------------

// Whether standard output was closed when the tool started (it then points at /dev/full).
bool stdout_was_closed = false;

void write(std::FILE* stream, std::string_view text) { std::fwrite(text.data(), 1, text.size(), stream); }

void write_line(std::string_view text) {
  write(stdout, text);
  write(stdout, "\n");
}

void write_labelled(std::string_view label, std::string_view value) {
  write(stdout, label);
  write(stdout, ": ");
  write_line(value);
}

void write_json(const json& value) {
  // Instrument texts need not be UTF-8: replace what is not rather than fail.
  write_line(value.dump(-1, ' ', false, json::error_handler_t::replace));
}

void write_error_lines(std::string_view text) {
  std::size_t at = 0;
  while (at <= text.size()) {
    std::size_t end = text.find('\n', at);
    if (end == std::string_view::npos) end = text.size();
    write(stderr, "hnvqr: ");
    write(stderr, text.substr(at, end - at));
    write(stderr, "\n");
    at = end + 1;
  }
}

// Standard descriptors that are closed would be handed to the first file or socket the
// driver opens, and output meant for the terminal would go to the instrument. They are
// occupied first: input and errors by /dev/null, output by /dev/full, so that a command
// that prints fails as it should.
void occupy_closed_standard_descriptors() {
  constexpr std::array<const char*, 3> kStandIns{"/dev/null", "/dev/full", "/dev/null"};
  for (int fd = 0; fd < 3; ++fd) {
    if (fcntl(fd, F_GETFD) != -1 || errno != EBADF) continue;
    const int opened = open(kStandIns[static_cast<std::size_t>(fd)], fd == 0 ? O_RDONLY : O_WRONLY);
    if (opened >= 0 && opened != fd) {
      dup2(opened, fd);
      close(opened);
    }
    if (fd == 1) stdout_was_closed = true;
  }
}

// Everything printed must have reached standard output, or the run failed.
void finish_output() {
  errno = 0;
  if (std::fflush(stdout) == 0 && std::ferror(stdout) == 0) return;
  const int error = errno;
  throw Failure{std::string("cannot write the output: ") +
                (stdout_was_closed ? "standard output is closed" : std::strerror(error != 0 ? error : EIO))};
}

// ---- Arguments ---------------------------------------------------------------------------

struct Arguments {
  std::optional<std::string> resource;
  bool simulate = false;
  std::optional<std::string> options;
  bool status_check = true;
  std::optional<ViInt32> timeout_ms;
  bool json = false;
  bool help = false;
  bool version = false;
  std::string command;
  std::vector<std::string> operands;
};

enum LongOnly : int { kNoStatusCheck = 256, kJson };

// Whether the option string sets NAME itself (before its DriverSetup part, ignoring case).
bool option_string_names(std::string_view options, std::string_view name) {
  std::size_t at = 0;
  while (at < options.size()) {
    std::size_t comma = options.find(',', at);
    if (comma == std::string_view::npos) comma = options.size();
    std::string item = lower(options.substr(at, comma - at));
    item = item.substr(0, item.find('='));
    const std::size_t first = item.find_first_not_of(" \t");
    const std::size_t last = item.find_last_not_of(" \t");
    const std::string trimmed = first == std::string::npos ? std::string() : item.substr(first, last - first + 1);
    if (trimmed == "driversetup") return false;
    if (trimmed == lower(name)) return true;
    at = comma + 1;
  }
  return false;
}

Arguments parse_arguments(int argc, char** argv) {
  static const option kOptions[] = {
      {"resource", required_argument, nullptr, 'r'},
      {"option", required_argument, nullptr, 'o'},
      {"options", required_argument, nullptr, 'o'},
      {"simulate", no_argument, nullptr, 's'},
      {"no-status-check", no_argument, nullptr, kNoStatusCheck},
      {"timeout", required_argument, nullptr, 't'},
      {"json", no_argument, nullptr, kJson},
      {"help", no_argument, nullptr, 'h'},
      {"version", no_argument, nullptr, 'V'},
      {nullptr, 0, nullptr, 0},
  };
  Arguments arguments;
  opterr = 0;  // messages are ours, one line each
  optind = 1;
  // '+': options end at the command, so that negative numbers among its operands stay operands.
  for (;;) {
    const int previous = optind;
    const int option = getopt_long(argc, argv, "+:r:o:st:hV", kOptions, nullptr);
    if (option == -1) break;
    // The option as the user wrote it: a long one up to any '=', or the short one's letter.
    const bool long_form = previous < argc && std::string_view(argv[previous]).starts_with("--");
    const std::string long_text = long_form ? std::string(argv[previous]) : std::string();
    const std::string given =
        long_form ? long_text.substr(0, long_text.find('=')) : std::string("-") + static_cast<char>(optopt);
    switch (option) {
      case 'r':
        if (arguments.resource) throw UsageError{"--resource given twice"};
        arguments.resource = optarg;
        break;
      case 'o':
        if (arguments.options) throw UsageError{"--option given twice"};
        arguments.options = optarg;
        break;
      case 's':
        arguments.simulate = true;
        break;
      case kNoStatusCheck:
        arguments.status_check = false;
        break;
      case 't': {
        const std::optional<long long> milliseconds = parse_whole_number(optarg, 1, INT32_MAX);
        if (!milliseconds) throw UsageError{"bad time-out '" + std::string(optarg) + "': give milliseconds, 1 or more"};
        arguments.timeout_ms = static_cast<ViInt32>(*milliseconds);
        break;
      }
      case kJson:
        arguments.json = true;
        break;
      case 'h':
        arguments.help = true;
        return arguments;
      case 'V':
        arguments.version = true;
        return arguments;
      case ':':
        throw UsageError{"option '" + given + "' needs a value"};
      default:
        // A known long option given a value it does not take reports its own code.
        if (long_form && optopt != 0) throw UsageError{"option '" + given + "' takes no value"};
        throw UsageError{"unknown option '" + given + "'"};
    }
  }
  if (optind >= argc) throw UsageError{"no command given"};
  arguments.command = argv[optind++];
  for (; optind < argc; ++optind) arguments.operands.emplace_back(argv[optind]);
  if (arguments.command == "names" || arguments.command == "trace") return arguments;  // open nothing
  if (arguments.command == "replay") return arguments;  // opens what the trace opened, or --resource
  if (arguments.resource && arguments.simulate) throw UsageError{"give either --resource or --simulate, not both"};
  if (!arguments.resource && !arguments.simulate) throw UsageError{"give --resource RESOURCE or --simulate"};
  if (arguments.simulate && arguments.options && option_string_names(*arguments.options, "Simulate")) {
    throw UsageError{"give either --simulate or Simulate in the option string, not both"};
  }
  return arguments;
}

std::string compose_options(const Arguments& arguments) {
  const std::string& given = arguments.options.value_or("");
  std::vector<std::string> items;
  if (arguments.simulate) items.emplace_back("Simulate=1");
  // Opening with the check on clears the instrument's status and with it the error queue,
  // which `errors` is there to read: it opens without the check unless told otherwise.
  const bool status_check = arguments.status_check && arguments.command != "errors";
  if (!option_string_names(given, "QueryInstrStatus")) {
    items.emplace_back(status_check ? "QueryInstrStatus=1" : "QueryInstrStatus=0");
  }
  if (!given.empty()) items.push_back(given);
  std::string composed;
  for (const std::string& item : items) composed += (composed.empty() ? "" : ", ") + item;
  return composed;
}

// ---- Failures at opening -----------------------------------------------------------------

// A failure of the option string the user gave: a bad or missing name or value, or a name
// given twice (which the driver reports as unrecoverable, naming the option).
bool is_option_string_failure(ViStatus status, std::string_view description) {
  if (status == IVI_ERROR_BAD_OPTION_NAME || status == IVI_ERROR_BAD_OPTION_VALUE ||
      status == IVI_ERROR_MISSING_OPTION_NAME || status == IVI_ERROR_MISSING_OPTION_VALUE) {
    return true;
  }
  return status == IVI_ERROR_CANNOT_RECOVER && description.find(" option '") != std::string_view::npos &&
         description.ends_with("appears more than once.");
}

// The interface a resource string names, in words: "USB", "GPIB", "TCPIP INSTR (VXI-11)".
std::string interface_words(std::string_view resource) {
  std::string interface;
  for (const char c : resource) {
    if (!std::isalpha(static_cast<unsigned char>(c))) break;
    interface += static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  }
  if (interface == "TCPIP" && lower(resource).ends_with("::instr")) return "TCPIP INSTR (VXI-11)";
  return interface.empty() ? std::string(resource) : interface;
}

// The resource of a logical name or driver session of the store; nothing when it is neither.
std::optional<std::string> store_resource(const StoreNames& store, std::string_view name) {
  std::string_view session = name;
  bool known = false;
  for (const StoreLogicalName& logical : store.logical_names) {
    if (logical.name == name) {
      session = logical.session;
      known = true;
      break;
    }
  }
  for (const StoreSession& entry : store.sessions) {
    if (entry.name == session) return entry.resource;
  }
  return known ? std::optional<std::string>(std::string()) : std::nullopt;
}

std::string name_not_found(std::string_view name) {
  const StoreNames store = read_store_names();
  if (const std::optional<std::string> resource = store_resource(store, name)) {
    return "cannot open '" + std::string(name) + "': its resource '" + *resource + "' in " + store_phrase(store) +
           " is not a resource string VISA can parse";
  }
  std::string text = "'" + std::string(name) + "' is neither a logical name nor a driver session in " +
                     store_phrase(store) + ", nor a resource string VISA can parse";
  if (!store.error.empty()) return text + "\n(the store could not be read: " + store.error + ")";
  const std::vector<std::string> closest = closest_names(store, name);
  if (!closest.empty()) {
    text += "; closest names there:";
    for (std::size_t i = 0; i < closest.size(); ++i) text += (i == 0 ? " " : ", ") + closest[i];
  }
  return text + "\n(hnvqr names lists them)";
}

Failure open_failure(const Arguments& arguments, ViStatus status) {
  const std::string what =
      arguments.resource ? "cannot open '" + *arguments.resource + "': " : "cannot open a simulated session: ";
  const std::string description = describe_failure(VI_NULL, status);
  if (is_option_string_failure(status, description)) return Failure{"bad option string: " + description, kExitUsage};
  if (arguments.resource && status == VI_ERROR_INV_RSRC_NAME) return Failure{name_not_found(*arguments.resource)};
  if (arguments.resource && status == VI_ERROR_LIBRARY_NFOUND) {
    return Failure{what + "the " + interface_words(*arguments.resource) +
                   " interface is not implemented by the VISA library in use"};
  }
  return Failure{what + description};
}

// Ends the process when opening takes longer than the time-out: the driver's own connect
// bound is fixed, and a user who asked for 300 ms should not wait for it.
class OpeningWatchdog {
 public:
  OpeningWatchdog(std::optional<ViInt32> timeout_ms, std::string message) {
    if (!timeout_ms) return;
    message_ = "hnvqr: " + message + "\n";
    thread_ = std::thread([this, limit = std::chrono::milliseconds(*timeout_ms)] {
      std::unique_lock lock(mutex_);
      if (!done_.wait_for(lock, limit, [this] { return finished_; })) {
        (void)!::write(STDERR_FILENO, message_.data(), message_.size());
        _exit(kExitFailure);
      }
    });
  }
  OpeningWatchdog(const OpeningWatchdog&) = delete;
  OpeningWatchdog& operator=(const OpeningWatchdog&) = delete;
  ~OpeningWatchdog() {
    if (!thread_.joinable()) return;
    {
      const std::lock_guard lock(mutex_);
      finished_ = true;
    }
    done_.notify_one();
    thread_.join();
  }

 private:
  std::string message_;
  std::mutex mutex_;  // guards finished_
  std::condition_variable done_;
  bool finished_ = false;
  std::thread thread_;
};

// ---- The session -------------------------------------------------------------------------

// The session of one run; closed on every way out.
class Session {
 public:
  explicit Session(const Arguments& arguments) : resource_(arguments.resource.value_or("")) {
    const std::string options = compose_options(arguments);
    // The driver needs a resource name also when it simulates; it opens nothing with it.
    std::string resource = arguments.resource.value_or("SIM::HNVQR");
    ViStatus status = VI_SUCCESS;
    {
      const OpeningWatchdog watchdog(arguments.timeout_ms,
                                     "cannot open '" + resource + "': no answer within the time-out of " +
                                         std::to_string(arguments.timeout_ms.value_or(0)) + " ms");
      status = HnVQR_InitWithOptions(resource.data(), VI_TRUE, VI_FALSE, options.c_str(), &vi_);
    }
    if (status < 0) {
      vi_ = VI_NULL;
      throw open_failure(arguments, status);
    }
    // A simulated session (also one a logical name asks for) does no I/O to bound.
    ViBoolean simulated = VI_FALSE;
    check(HnVQR_GetAttributeViBoolean(vi_, "", HNVQR_ATTR_SIMULATE, &simulated));
    if (arguments.timeout_ms && simulated == VI_FALSE) {
      check(HnVQR_SetAttributeViInt32(vi_, "", HNVQR_ATTR_SYSTEM_IO_TIMEOUT, *arguments.timeout_ms));
    }
  }
  Session(const Session&) = delete;
  Session& operator=(const Session&) = delete;
  ~Session() {
    if (vi_ != VI_NULL) HnVQR_close(vi_);
  }

  ViSession handle() const { return vi_; }

  // Throws the description of STATUS when it is a failure; an error the status check
  // found is told by the instrument's own error queue.
  void check(ViStatus status, std::string_view subject = {}) const {
    if (status >= 0) return;
    if (status == IVI_ERROR_INSTRUMENT_STATUS) throw Failure{instrument_errors()};
    if (is_visa_status(status) && !resource_.empty()) {
      throw Failure{"I/O with '" + resource_ + "' failed: " + describe_failure(vi_, status, subject)};
    }
    throw Failure{describe_failure(vi_, status, subject)};
  }

  // Closes now, so that a failing close is reported as well.
  void close() {
    const ViSession vi = vi_;
    vi_ = VI_NULL;
    const ViStatus status = HnVQR_close(vi);
    if (status < 0) throw Failure{describe_failure(VI_NULL, status)};
  }

 private:
  std::string instrument_errors() const {
    (void)HnVQR_ClearError(vi_);
    std::string lines;
    // An instrument that never reports an empty queue must not keep the tool running.
    constexpr int kMaximumErrors = 100;
    for (int i = 0; i < kMaximumErrors; ++i) {
      ViInt32 code = 0;
      std::array<ViChar, 256> message{};
      if (HnVQR_error_query(vi_, &code, message.data()) < 0) break;
      message.back() = '\0';
      if (code == 0) break;
      lines += (lines.empty() ? "" : "\n") + std::string("instrument error ") + std::to_string(code) + ",\"" +
               message.data() + "\"";
    }
    if (lines.empty()) return "the instrument reported an error, and its error queue was empty";
    return lines;
  }

  std::string resource_;
  ViSession vi_ = VI_NULL;
};

// ---- Commands ----------------------------------------------------------------------------

void expect_operands(const Arguments& arguments, std::size_t minimum, std::size_t maximum) {
  const std::size_t count = arguments.operands.size();
  if (count < minimum) throw UsageError{"missing argument for '" + arguments.command + "'"};
  if (count > maximum) throw UsageError{"too many arguments for '" + arguments.command + "'"};
}

const AttributeInfo& attribute_operand(const std::string& name) {
  const AttributeInfo* attribute = find_attribute(name);
  if (attribute == nullptr) throw UsageError{"unknown attribute '" + name + "'"};
  return *attribute;
}

std::string read_string(const Session& session, ViAttr id) {
  std::array<ViChar, HNVQR_MAX_STRING_ATTRIBUTE_LENGTH> value{};
  session.check(HnVQR_GetAttributeViString(session.handle(), "", id, static_cast<ViInt32>(value.size()), value.data()));
  value.back() = '\0';
  return value.data();
}

ViReal64 measure(const Session& session, ViInt32 type) {
  ViReal64 value = 0.0;
  session.check(HnVQR_Measure(session.handle(), "", type, &value));
  return value;
}

std::string real_text(ViReal64 value) {
  std::array<char, 64> text{};
  std::snprintf(text.data(), text.size(), "%.15g", value);
  return text.data();
}

std::string macro_name(const AttributeInfo& attribute) { return "HNVQR_ATTR_" + std::string(attribute.name); }

// A value as JSON: numbers and booleans as such, enumerated values by name.
json value_json(const AttributeInfo& attribute, const AttributeValue& value) {
  switch (attribute.type) {
    case ValueType::Int32:
      if (enum_value_name(attribute, std::get<ViInt32>(value))) return format_value(attribute, value);
      return std::get<ViInt32>(value);
    case ValueType::Real64:
      return std::get<ViReal64>(value);
    case ValueType::Boolean:
      return std::get<ViBoolean>(value) != VI_FALSE;
    case ValueType::Session:
      return std::get<ViSession>(value);
    case ValueType::String:
      return std::get<std::string>(value);
  }
  return nullptr;
}

AttributeValue read_value(const Session& session, const AttributeInfo& attribute, ViConstString channel) {
  AttributeValue value;
  session.check(read_attribute(session.handle(), attribute, channel, value), macro_name(attribute));
  return value;
}

void run_idn(Session& session, bool as_json) {
  const std::string manufacturer = read_string(session, HNVQR_ATTR_INSTRUMENT_MANUFACTURER);
  const std::string model = read_string(session, HNVQR_ATTR_INSTRUMENT_MODEL);
  const std::string firmware = read_string(session, HNVQR_ATTR_INSTRUMENT_FIRMWARE_REVISION);
  if (as_json) {
    write_json({{"manufacturer", manufacturer}, {"model", model}, {"firmware_revision", firmware}});
    return;
  }
  write_labelled("Manufacturer", manufacturer);
  write_labelled("Model", model);
  write_labelled("Firmware revision", firmware);
}

void run_state(Session& session) {
  const auto formatted = [&](std::string_view name) {
    const AttributeInfo& attribute = *find_attribute(name);
    return format_value(attribute, read_value(session, attribute, ""));
  };
  write_labelled("Output enabled", formatted("OUTPUT_ENABLED"));
  write_labelled("Voltage level", formatted("VOLTAGE_LEVEL"));
  write_labelled("Current level", formatted("CURRENT_LEVEL"));
  write_labelled("Measured voltage", real_text(measure(session, HNVQR_VAL_MEASURE_VOLTAGE)));
  write_labelled("Measured current", real_text(measure(session, HNVQR_VAL_MEASURE_CURRENT)));
  struct OutputState {
    std::string_view label;
    ViInt32 state;
  };
  constexpr std::array kOutputStates{
      OutputState{"Constant voltage", HNVQR_VAL_OUTPUT_CONSTANT_VOLTAGE},
      OutputState{"Constant current", HNVQR_VAL_OUTPUT_CONSTANT_CURRENT},
      OutputState{"Over-voltage", HNVQR_VAL_OUTPUT_OVER_VOLTAGE},
      OutputState{"Over-current", HNVQR_VAL_OUTPUT_OVER_CURRENT},
      OutputState{"Unregulated", HNVQR_VAL_OUTPUT_UNREGULATED},
  };
  for (const OutputState& output_state : kOutputStates) {
    ViBoolean in_state = VI_FALSE;
    session.check(HnVQR_QueryOutputState(session.handle(), "", output_state.state, &in_state));
    write_labelled(output_state.label, in_state != VI_FALSE ? "true" : "false");
  }
}

void run_errors(Session& session, bool as_json) {
  // An instrument that never reports an empty queue must not keep the tool running.
  constexpr int kMaximumErrors = 1000;
  json errors = json::array();
  for (int i = 0; i < kMaximumErrors; ++i) {
    ViInt32 code = 0;
    std::array<ViChar, 256> message{};
    session.check(HnVQR_error_query(session.handle(), &code, message.data()));
    message.back() = '\0';
    if (!as_json) write_line(std::to_string(code) + ",\"" + message.data() + "\"");
    if (code == 0) break;
    errors.push_back({{"code", code}, {"message", message.data()}});
  }
  if (as_json) write_json(errors);
}

void run_self_test(Session& session) {
  ViInt16 result = 0;
  std::array<ViChar, 256> message{};
  session.check(HnVQR_self_test(session.handle(), &result, message.data()));
  message.back() = '\0';
  write_labelled("Result", std::to_string(result));
  write_labelled("Message", message.data());
}

void run_attributes(Session& session, bool as_json) {
  json listing = json::array();
  for (const AttributeInfo& attribute : all_attributes()) {
    AttributeValue value;
    const ViStatus status = read_attribute(session.handle(), attribute, "", value);
    const std::string error = status < 0 ? describe_failure(session.handle(), status, macro_name(attribute)) : "";
    if (as_json) {
      json entry = {
          {"name", attribute.name}, {"type", type_name(attribute.type)}, {"access", attribute.writable ? "R/W" : "R"}};
      if (status < 0)
        entry["error"] = error;
      else
        entry["value"] = value_json(attribute, value);
      listing.push_back(std::move(entry));
      continue;
    }
    const std::string shown = status < 0 ? "error: " + error : format_value(attribute, value);
    std::array<char, 128> columns{};
    std::snprintf(columns.data(), columns.size(), "%-42.*s %-9.*s %-3s ", static_cast<int>(attribute.name.size()),
                  attribute.name.data(), static_cast<int>(type_name(attribute.type).size()),
                  type_name(attribute.type).data(), attribute.writable ? "R/W" : "R");
    write(stdout, columns.data());
    write_line(shown);
  }
  if (as_json) write_json(listing);
}

// A command goes out as written plus a newline; one with a '?' in it is a query, whose
// answer (without its terminator) is printed.
void run_scpi(Session& session, const std::string& command) {
  std::string line = command + "\n";
  ViInt64 written = 0;
  session.check(HnVQR_viWrite(session.handle(), static_cast<ViInt64>(line.size()),
                              reinterpret_cast<ViByte*>(line.data()), &written));
  if (command.find('?') == std::string::npos) return;
  std::vector<ViByte> answer(65536);
  ViInt64 count = 0;
  session.check(HnVQR_viRead(session.handle(), static_cast<ViInt64>(answer.size()), answer.data(), &count));
  std::string text(reinterpret_cast<const char*>(answer.data()), static_cast<std::size_t>(count));
  while (!text.empty() && (text.back() == '\n' || text.back() == '\r')) text.pop_back();
  write_line(text);
}

void run_names(bool as_json) {
  const StoreNames store = read_store_names();
  if (!store.error.empty()) throw Failure{"cannot read " + store_phrase(store) + ": " + store.error};
  if (as_json) {
    json logical = json::array();
    for (const StoreLogicalName& name : store.logical_names)
      logical.push_back({{"name", name.name}, {"session", name.session}});
    json sessions = json::array();
    for (const StoreSession& session : store.sessions) {
      sessions.push_back({{"name", session.name},
                          {"resource", session.resource},
                          {"model", session.model},
                          {"simulate", session.simulate}});
    }
    write_json({{"store", store.location},
                {"built_in", store.built_in},
                {"logical_names", logical},
                {"driver_sessions", sessions}});
    return;
  }
  write_labelled("Store", store.built_in ? "built-in (no file at " + store.location + ")" : store.location);
  write_line("Logical names:");
  if (store.logical_names.empty()) write_line("  (none)");
  for (const StoreLogicalName& name : store.logical_names) write_line("  " + name.name + " -> " + name.session);
  write_line("Driver sessions:");
  if (store.sessions.empty()) write_line("  (none)");
  for (const StoreSession& session : store.sessions) {
    write_line("  " + session.name + "  resource " + (session.resource.empty() ? "(none)" : session.resource) +
               "  model " + (session.model.empty() ? "(from the instrument)" : session.model) + "  simulate " +
               (session.simulate ? "true" : "false"));
  }
}

int run(int argc, char** argv) {
  occupy_closed_standard_descriptors();
  try {
    const Arguments arguments = parse_arguments(argc, argv);
    if (arguments.help || arguments.version) {
      write(stdout, arguments.help ? kUsage : "hnvqr " HNVQR_TOOL_VERSION "\n");
      finish_output();
      return kExitSuccess;
    }

    // Every operand is checked before a session is opened.
    const std::string& command = arguments.command;
    const std::vector<std::string>& operands = arguments.operands;
    const AttributeInfo* attribute = nullptr;
    AttributeValue value;
    std::optional<ViInt32> measurement;
    std::optional<ViBoolean> output;
    if (command == "idn" || command == "state" || command == "errors" || command == "reset" || command == "self-test" ||
        command == "attributes" || command == "names") {
      expect_operands(arguments, 0, 0);
    } else if (command == "get") {
      expect_operands(arguments, 1, 2);
      attribute = &attribute_operand(operands[0]);
    } else if (command == "set") {
      expect_operands(arguments, 2, 3);
      attribute = &attribute_operand(operands[0]);
      const std::optional<AttributeValue> parsed = parse_value(*attribute, operands[1]);
      if (!parsed) {
        throw UsageError{"bad " + std::string(type_name(attribute->type)) + " value '" + operands[1] + "' for " +
                         std::string(attribute->name)};
      }
      value = *parsed;
    } else if (command == "measure") {
      expect_operands(arguments, 1, 1);
      const std::string what = lower(operands[0]);
      if (what == "voltage")
        measurement = HNVQR_VAL_MEASURE_VOLTAGE;
      else if (what == "current")
        measurement = HNVQR_VAL_MEASURE_CURRENT;
      else
        throw UsageError{"measure takes voltage or current"};
    } else if (command == "output") {
      expect_operands(arguments, 1, 1);
      output = parse_boolean(operands[0]);
      if (!output) throw UsageError{"output takes on or off"};
    } else if (command == "scpi") {
      expect_operands(arguments, 1, 1);
      if (operands[0].empty() || operands[0].find_first_of("\r\n") != std::string::npos) {
        throw UsageError{"scpi takes one command line, not empty"};
      }
    } else if (command == "trace") {
      if (operands.empty()) throw UsageError{"trace takes a trace file"};
    } else if (command == "replay") {
      expect_operands(arguments, 1, 1);
    } else {
      throw UsageError{"unknown command '" + command + "'"};
    }

    if (command == "trace") {
      TraceOptions trace_options;
      std::optional<std::string> file;
      for (std::size_t i = 0; i < operands.size(); ++i) {
        const std::string& operand = operands[i];
        if (operand == "--errors") {
          trace_options.errors_only = true;
        } else if (operand == "--session" || operand == "--slow") {
          if (i + 1 >= operands.size()) throw UsageError{"option '" + operand + "' needs a value"};
          const std::optional<long long> number = parse_whole_number(operands[++i], 0, INT32_MAX);
          if (!number) throw UsageError{"bad value '" + operands[i] + "' for " + operand};
          if (operand == "--session")
            trace_options.session = *number;
          else
            trace_options.slow_ms = static_cast<double>(*number);
        } else if (!file && !operand.starts_with("--")) {
          file = operand;
        } else {
          throw UsageError{"unexpected operand '" + operand + "' of trace"};
        }
      }
      if (!file) throw UsageError{"trace takes a trace file"};
      const int code = run_trace(*file, trace_options);
      finish_output();
      return code;
    }
    if (command == "replay") {
      const int code = run_replay(operands[0], arguments.resource);
      finish_output();
      return code;
    }

    if (command == "names") {
      run_names(arguments.json);
      finish_output();
      return kExitSuccess;
    }

    Session session(arguments);
    const std::size_t channel_index = command == "get" ? 1 : 2;
    const char* channel = operands.size() > channel_index ? operands[channel_index].c_str() : "";
    if (command == "idn") {
      run_idn(session, arguments.json);
    } else if (command == "get") {
      const AttributeValue read = read_value(session, *attribute, channel);
      if (arguments.json) {
        write_json({{"attribute", attribute->name}, {"channel", channel}, {"value", value_json(*attribute, read)}});
      } else {
        write_line(format_value(*attribute, read));
      }
    } else if (command == "set") {
      session.check(write_attribute(session.handle(), *attribute, channel, value), macro_name(*attribute));
    } else if (command == "measure") {
      const ViReal64 measured = measure(session, *measurement);
      if (arguments.json)
        write_json({{"measurement", lower(operands[0])}, {"value", measured}});
      else
        write_line(real_text(measured));
    } else if (command == "output") {
      session.check(HnVQR_ConfigureOutputEnabled(session.handle(), "", *output));
    } else if (command == "state") {
      run_state(session);
    } else if (command == "errors") {
      run_errors(session, arguments.json);
    } else if (command == "reset") {
      session.check(HnVQR_reset(session.handle()));
    } else if (command == "self-test") {
      run_self_test(session);
    } else if (command == "attributes") {
      run_attributes(session, arguments.json);
    } else if (command == "scpi") {
      run_scpi(session, operands[0]);
    }
    finish_output();
    session.close();
    return kExitSuccess;
  } catch (const UsageError& error) {
    write_error_lines(error.message + "; try 'hnvqr --help'");
    return kExitUsage;
  } catch (const Failure& failure) {
    std::fflush(stdout);
    write_error_lines(failure.description);
    return failure.exit_code;
  } catch (const std::exception& error) {
    write_error_lines(std::string("internal error: ") + error.what());
    return kExitFailure;
  }
}

}  // namespace
}  // namespace hnvqr::tool

int main(int argc, char** argv) { return hnvqr::tool::run(argc, argv); }
