// vqr-sim: serves one emulated VQR supply on a TCP port or a pseudo-terminal until
// SIGINT or SIGTERM.

#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <exception>
#include <pthread.h>
#include <string>
#include <string_view>

#include "vqrsim/models.hpp"
#include "vqrsim/server.hpp"

namespace {

constexpr std::string_view kUsage =
    "usage: vqr-sim [--model ID] [--listen HOST:PORT | --serial] [--load-ohms R] [--verbose]\n"
    "\n"
    "Emulates a Halvorn VQR DC power supply speaking SCPI, and prints the VISA resource\n"
    "string to open it on the first line of standard output.\n"
    "\n"
    "  --model ID         model answered in *IDN? (default VQR-A4); identifiers outside\n"
    "                     the family are answered as given, rated like VQR-A4\n"
    "  --listen HOST:PORT TCP address (default 127.0.0.1:0; port 0 picks a free one)\n"
    "  --serial           serve on a new pseudo-terminal instead of TCP\n"
    "  --load-ohms R      resistance of the load on the output (default 1e6)\n"
    "  --verbose          log every line received and sent to standard error\n"
    "  --help             this text\n"
    "  --version          the version of vqr-sim\n";

void print(std::FILE* stream, std::string_view text) {
    std::fwrite(text.data(), 1, text.size(), stream);
}

int usage_error(std::string_view message) {
    print(stderr, "vqr-sim: ");
    print(stderr, message);
    print(stderr, "\n");
    print(stderr, kUsage);
    return 2;
}

struct Arguments {
    vqrsim::ServerOptions options;
    std::string host = "127.0.0.1";
    unsigned long port = 0;
    bool serial = false;
};

// Parses HOST:PORT; false when malformed.
bool parse_listen(std::string_view text, Arguments& arguments) {
    const std::size_t colon = text.rfind(':');
    if (colon == std::string_view::npos || colon == 0 || colon + 1 == text.size()) return false;
    const std::string port_text(text.substr(colon + 1));
    char* end = nullptr;
    const unsigned long port = std::strtoul(port_text.c_str(), &end, 10);
    if (end == port_text.c_str() || *end != '\0' || port > 65535) return false;
    arguments.host = std::string(text.substr(0, colon));
    arguments.port = port;
    return true;
}

}  // namespace

int main(int argc, char** argv) {
    Arguments arguments;
    for (int i = 1; i < argc; ++i) {
        const std::string_view arg = argv[i];
        const bool has_value = i + 1 < argc;
        if (arg == "--help" || arg == "-h") {
            print(stdout, kUsage);
            return 0;
        } else if (arg == "--version" || arg == "-V") {
            print(stdout, "vqr-sim " VQRSIM_VERSION "\n");
            return 0;
        } else if (arg == "--model" && has_value) {
            arguments.options.model = argv[++i];
            if (!vqrsim::is_valid_model_identifier(arguments.options.model)) {
                return usage_error("a model identifier is 1 to 64 printable characters without blanks, ',' or ';'");
            }
        } else if (arg == "--listen" && has_value) {
            if (!parse_listen(argv[++i], arguments)) return usage_error("--listen takes HOST:PORT");
        } else if (arg == "--serial") {
            arguments.serial = true;
        } else if (arg == "--load-ohms" && has_value) {
            const std::string text = argv[++i];
            char* end = nullptr;
            const double ohms = std::strtod(text.c_str(), &end);
            if (end == text.c_str() || *end != '\0' || !(ohms > 0) || ohms > 1e300) {
                return usage_error("--load-ohms takes a positive number");
            }
            arguments.options.load_ohms = ohms;
        } else if (arg == "--verbose") {
            arguments.options.verbose = true;
        } else {
            return usage_error("unknown or incomplete option: " + std::string(arg));
        }
    }

    // The server thread inherits this mask, so the two signals reach sigwait below only.
    sigset_t stop_signals;
    sigemptyset(&stop_signals);
    sigaddset(&stop_signals, SIGINT);
    sigaddset(&stop_signals, SIGTERM);
    pthread_sigmask(SIG_BLOCK, &stop_signals, nullptr);
    std::signal(SIGPIPE, SIG_IGN);

    try {
        vqrsim::Server server(arguments.options);
        const std::string resource =
            arguments.serial ? server.start_serial()
                             : server.start_tcp(arguments.host, static_cast<std::uint16_t>(arguments.port));
        print(stdout, resource);
        print(stdout, "\n");
        std::fflush(stdout);
        int signal_number = 0;
        sigwait(&stop_signals, &signal_number);
        server.stop();
    } catch (const std::exception& failure) {
        print(stderr, "vqr-sim: ");
        print(stderr, failure.what());
        print(stderr, "\n");
        return 1;
    }
    return 0;
}
