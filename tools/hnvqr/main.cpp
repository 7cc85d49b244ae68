// hnvqr: command-line access to a VQR supply through the HnVQR driver's C interface.
//
// Exit codes: 0 success, 1 the driver reported a failure (its description on stderr),
// 2 bad arguments (usage on stderr).

#include <array>
#include <cctype>
#include <cstdio>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "AttributeCatalog.h"
#include "AttributeValues.h"

namespace hnvqr::tool {
namespace {

constexpr int kExitSuccess = 0;
constexpr int kExitDriverFailure = 1;
constexpr int kExitUsage = 2;

constexpr std::string_view kUsage =
    "usage: hnvqr [-r RESOURCE | --simulate] [-o OPTIONS] COMMAND [ARGS]\n"
    "\n"
    "  -r RESOURCE   VISA resource string or logical name of the configuration store\n"
    "                (TCPIP0::host::5025::SOCKET, TCPIP0::host::INSTR, ASRL/dev/ttyUSB0::INSTR)\n"
    "  --simulate    simulate the instrument (Simulate=1 ahead of the option string)\n"
    "  -o OPTIONS    driver option string, e.g. \"QueryInstrStatus=1, DriverSetup=Model:VQR-A2\"\n"
    "  --help        this text\n"
    "\n"
    "commands:\n"
    "  idn                         manufacturer, model and firmware revision\n"
    "  get ATTR [CHANNEL]          read an attribute (name without HNVQR_ATTR_, any case)\n"
    "  set ATTR VALUE [CHANNEL]    write an attribute; booleans on/off/true/false/1/0,\n"
    "                              enumerated values by name (without HNVQR_VAL_) or number\n"
    "  measure voltage|current     measure the output\n"
    "  output on|off               switch the output\n"
    "  state                       levels, measurements and output state\n"
    "  errors                      read the instrument's error queue until it is empty\n"
    "  reset                       reset the instrument\n"
    "  self-test                   run the instrument's self-test\n"
    "  attributes                  list every attribute with its type, access and value\n";

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

// Bad arguments: thrown inside argument handling, turned into usage and exit code 2.
struct UsageError {
    std::string message;
};

// A driver failure: carries the description, turned into exit code 1.
struct DriverFailure {
    std::string description;
};

std::string lower(std::string_view text) {
    std::string result(text);
    for (char& c : result) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return result;
}

struct Arguments {
    std::optional<std::string> resource;
    bool simulate = false;
    std::string options;
    std::string command;
    std::vector<std::string> operands;
    bool help = false;
};

Arguments parse_arguments(int argc, char** argv) {
    Arguments arguments;
    bool options_given = false;
    int i = 1;
    // Options come before the command, so that negative numbers among its operands stay operands.
    for (; i < argc; ++i) {
        const std::string_view arg = argv[i];
        if (arg == "--help" || arg == "-h") {
            arguments.help = true;
            return arguments;
        } else if (arg == "-r") {
            if (i + 1 >= argc) throw UsageError{"-r needs a resource"};
            if (arguments.resource) throw UsageError{"-r given twice"};
            arguments.resource = argv[++i];
        } else if (arg == "--simulate") {
            arguments.simulate = true;
        } else if (arg == "-o") {
            if (i + 1 >= argc) throw UsageError{"-o needs an option string"};
            if (options_given) throw UsageError{"-o given twice"};
            options_given = true;
            arguments.options = argv[++i];
        } else if (arg.size() > 1 && arg.front() == '-') {
            throw UsageError{"unknown option '" + std::string(arg) + "'"};
        } else {
            break;
        }
    }
    if (i >= argc) throw UsageError{"no command given"};
    arguments.command = argv[i++];
    if (arguments.command == "--help") {
        arguments.help = true;
        return arguments;
    }
    for (; i < argc; ++i) arguments.operands.emplace_back(argv[i]);
    if (arguments.resource && arguments.simulate) throw UsageError{"give either -r or --simulate, not both"};
    if (!arguments.resource && !arguments.simulate) throw UsageError{"give -r RESOURCE or --simulate"};
    return arguments;
}

// The session of one run; closed on every way out.
class Session {
public:
    explicit Session(const Arguments& arguments) {
        std::string options = arguments.options;
        if (arguments.simulate) options = options.empty() ? "Simulate=1" : "Simulate=1, " + options;
        // The driver needs a resource name also when it simulates; it opens nothing with it.
        std::string resource = arguments.resource.value_or("SIM::HNVQR");
        const ViStatus status = HnVQR_InitWithOptions(resource.data(), VI_TRUE, VI_FALSE, options.c_str(), &vi_);
        if (status < 0) {
            vi_ = VI_NULL;
            throw DriverFailure{describe_failure(VI_NULL, status)};
        }
    }
    Session(const Session&) = delete;
    Session& operator=(const Session&) = delete;
    ~Session() {
        if (vi_ != VI_NULL) HnVQR_close(vi_);
    }

    ViSession handle() const { return vi_; }

    // Throws the driver's description when STATUS is a failure.
    void check(ViStatus status, std::string_view subject = {}) const {
        if (status < 0) throw DriverFailure{describe_failure(vi_, status, subject)};
    }

    // Closes now, so that a failing close is reported as well.
    void close() {
        const ViSession vi = vi_;
        vi_ = VI_NULL;
        const ViStatus status = HnVQR_close(vi);
        if (status < 0) throw DriverFailure{describe_failure(VI_NULL, status)};
    }

private:
    ViSession vi_ = VI_NULL;
};

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
    session.check(HnVQR_GetAttributeViString(session.handle(), "", id, static_cast<ViInt32>(value.size()),
                                             value.data()));
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

std::string read_formatted(const Session& session, std::string_view name, ViConstString channel) {
    const AttributeInfo& attribute = *find_attribute(name);
    AttributeValue value;
    session.check(read_attribute(session.handle(), attribute, channel, value), macro_name(attribute));
    return format_value(attribute, value);
}

void run_idn(Session& session) {
    write_labelled("Manufacturer", read_string(session, HNVQR_ATTR_INSTRUMENT_MANUFACTURER));
    write_labelled("Model", read_string(session, HNVQR_ATTR_INSTRUMENT_MODEL));
    write_labelled("Firmware revision", read_string(session, HNVQR_ATTR_INSTRUMENT_FIRMWARE_REVISION));
}

void run_state(Session& session) {
    write_labelled("Output enabled", read_formatted(session, "OUTPUT_ENABLED", ""));
    write_labelled("Voltage level", read_formatted(session, "VOLTAGE_LEVEL", ""));
    write_labelled("Current level", read_formatted(session, "CURRENT_LEVEL", ""));
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

void run_errors(Session& session) {
    // An instrument that never reports an empty queue must not keep the tool running.
    constexpr int kMaximumErrors = 1000;
    for (int i = 0; i < kMaximumErrors; ++i) {
        ViInt32 code = 0;
        std::array<ViChar, 256> message{};
        session.check(HnVQR_error_query(session.handle(), &code, message.data()));
        message.back() = '\0';
        write_line(std::to_string(code) + ",\"" + message.data() + "\"");
        if (code == 0) return;
    }
}

void run_self_test(Session& session) {
    ViInt16 result = 0;
    std::array<ViChar, 256> message{};
    session.check(HnVQR_self_test(session.handle(), &result, message.data()));
    message.back() = '\0';
    write_labelled("Result", std::to_string(result));
    write_labelled("Message", message.data());
}

void run_attributes(Session& session) {
    for (const AttributeInfo& attribute : all_attributes()) {
        AttributeValue value;
        const ViStatus status = read_attribute(session.handle(), attribute, "", value);
        const std::string shown =
            status < 0 ? "error: " + describe_failure(session.handle(), status, macro_name(attribute))
                       : format_value(attribute, value);
        std::array<char, 128> columns{};
        std::snprintf(columns.data(), columns.size(), "%-42.*s %-9.*s %-3s ", static_cast<int>(attribute.name.size()),
                      attribute.name.data(), static_cast<int>(type_name(attribute.type).size()),
                      type_name(attribute.type).data(), attribute.writable ? "R/W" : "R");
        write(stdout, columns.data());
        write_line(shown);
    }
}

int run(int argc, char** argv) {
    Arguments arguments;
    try {
        arguments = parse_arguments(argc, argv);
        if (arguments.help) {
            write(stdout, kUsage);
            return kExitSuccess;
        }

        // Every operand is checked before a session is opened.
        const std::string& command = arguments.command;
        const std::vector<std::string>& operands = arguments.operands;
        const AttributeInfo* attribute = nullptr;
        AttributeValue value;
        std::optional<ViInt32> measurement;
        std::optional<ViBoolean> output;
        if (command == "idn" || command == "state" || command == "errors" || command == "reset" ||
            command == "self-test" || command == "attributes") {
            expect_operands(arguments, 0, 0);
        } else if (command == "get") {
            expect_operands(arguments, 1, 2);
            attribute = &attribute_operand(operands[0]);
        } else if (command == "set") {
            expect_operands(arguments, 2, 3);
            attribute = &attribute_operand(operands[0]);
            const std::optional<AttributeValue> parsed = parse_value(*attribute, operands[1]);
            if (!parsed) {
                throw UsageError{"bad " + std::string(type_name(attribute->type)) + " value '" + operands[1] +
                                 "' for " + std::string(attribute->name)};
            }
            value = *parsed;
        } else if (command == "measure") {
            expect_operands(arguments, 1, 1);
            const std::string what = lower(operands[0]);
            if (what == "voltage") measurement = HNVQR_VAL_MEASURE_VOLTAGE;
            else if (what == "current") measurement = HNVQR_VAL_MEASURE_CURRENT;
            else throw UsageError{"measure takes voltage or current"};
        } else if (command == "output") {
            expect_operands(arguments, 1, 1);
            output = parse_boolean(operands[0]);
            if (!output) throw UsageError{"output takes on or off"};
        } else {
            throw UsageError{"unknown command '" + command + "'"};
        }

        Session session(arguments);
        const std::size_t channel_index = command == "get" ? 1 : 2;
        const char* channel = operands.size() > channel_index ? operands[channel_index].c_str() : "";
        if (command == "idn") {
            run_idn(session);
        } else if (command == "get") {
            AttributeValue read;
            session.check(read_attribute(session.handle(), *attribute, channel, read), macro_name(*attribute));
            write_line(format_value(*attribute, read));
        } else if (command == "set") {
            session.check(write_attribute(session.handle(), *attribute, channel, value), macro_name(*attribute));
        } else if (command == "measure") {
            write_line(real_text(measure(session, *measurement)));
        } else if (command == "output") {
            session.check(HnVQR_ConfigureOutputEnabled(session.handle(), "", *output));
        } else if (command == "state") {
            run_state(session);
        } else if (command == "errors") {
            run_errors(session);
        } else if (command == "reset") {
            session.check(HnVQR_reset(session.handle()));
        } else if (command == "self-test") {
            run_self_test(session);
        } else if (command == "attributes") {
            run_attributes(session);
        }
        std::fflush(stdout);
        session.close();
        return kExitSuccess;
    } catch (const UsageError& error) {
        write(stderr, "hnvqr: ");
        write(stderr, error.message);
        write(stderr, "\n");
        write(stderr, kUsage);
        return kExitUsage;
    } catch (const DriverFailure& failure) {
        std::fflush(stdout);
        write(stderr, failure.description);
        write(stderr, "\n");
        return kExitDriverFailure;
    }
}

}  // namespace
}  // namespace hnvqr::tool

int main(int argc, char** argv) { return hnvqr::tool::run(argc, argv); }
