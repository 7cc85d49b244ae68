// vqr-sim: serves one emulated VQR supply on a TCP port (to several clients at once), over
// VXI-11 or on a pseudo-terminal until SIGINT or SIGTERM.

#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <exception>
#include <getopt.h>
#include <pthread.h>
#include <string>
#include <string_view>

#include "vqrsim/models.hpp"
#include "vqrsim/server.hpp"
#include "vqrsim/vxi11_server.hpp"

namespace {

constexpr std::string_view kUsage =
    "usage: vqr-sim [--model ID] [--listen HOST:PORT | --serial | --vxi11 [--portmapper-port N]]\n"
    "               [--max-clients N]\n"
    "               [--load-ohms R] [--verbose]\n"
    "\n"
    "Emulates a Halvorn VQR DC power supply speaking SCPI, and prints the VISA resource\n"
    "string to open it on the first line of standard output.\n"
    "\n"
    "  --model ID         model answered in *IDN? (default VQR-A4); identifiers outside\n"
    "                     the family are answered as given, rated like VQR-A4\n"
    "  --listen HOST:PORT TCP address (default 127.0.0.1:0; port 0 picks a free one)\n"
    "  --serial           serve on a new pseudo-terminal instead of TCP (one client)\n"
    "  --vxi11            serve VXI-11 (TCPIP0::HOST::INSTR) instead of a raw socket, with\n"
    "                     a portmapper of its own; its port is printed on the second line\n"
    "  --portmapper-port N  the portmapper's port (default 0: a free one; 111 is the\n"
    "                     standard one, which needs the privilege to bind it)\n"
    "  --max-clients N    TCP clients served at once over one instrument (default 4,\n"
    "                     1 to 64); one more is accepted, closed and logged\n"
    "  --load-ohms R      resistance of the load on the output (default 1e6)\n"
    "  --verbose          log every line received and sent to standard error\n"
    "  --help             this text\n"
    "  --version          the version of vqr-sim\n";

void print(std::FILE* stream, std::string_view text) { std::fwrite(text.data(), 1, text.size(), stream); }

// One line on standard error, as the other tools of the project do, then exit status 2.
int usage_error(std::string_view message) {
  print(stderr, "vqr-sim: ");
  print(stderr, message);
  print(stderr, "; try 'vqr-sim --help'\n");
  return 2;
}

constexpr unsigned long kMostClients = 64;

struct Arguments {
  vqrsim::ServerOptions options;
  std::string host = "127.0.0.1";
  unsigned long port = 0;
  bool serial = false;
  bool vxi11 = false;
  unsigned long portmapper_port = 0;
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
  // Nothing in this process reads the transcript, which would only grow; --verbose
  // shows the traffic instead.
  arguments.options.transcript_lines = 0;
  enum : int { kListen = 256, kSerial, kVxi11, kPortmapperPort, kLoadOhms, kMaxClients, kVerbose };
  static const option kOptions[] = {
      {"model", required_argument, nullptr, 'm'},
      {"listen", required_argument, nullptr, kListen},
      {"serial", no_argument, nullptr, kSerial},
      {"vxi11", no_argument, nullptr, kVxi11},
      {"portmapper-port", required_argument, nullptr, kPortmapperPort},
      {"load-ohms", required_argument, nullptr, kLoadOhms},
      {"max-clients", required_argument, nullptr, kMaxClients},
      {"verbose", no_argument, nullptr, kVerbose},
      {"help", no_argument, nullptr, 'h'},
      {"version", no_argument, nullptr, 'V'},
      {nullptr, 0, nullptr, 0},
  };
  opterr = 0;  // messages are ours, one line each
  for (;;) {
    const int previous = optind;
    const int choice = getopt_long(argc, argv, ":hV", kOptions, nullptr);
    if (choice == -1) break;
    // The option as the user wrote it: a long one up to any '=', or the short one's letter.
    const std::string written = previous < argc ? std::string(argv[previous]) : std::string();
    const std::string given =
        written.starts_with("--") ? written.substr(0, written.find('=')) : std::string("-") + static_cast<char>(optopt);
    const std::string text = optarg != nullptr ? optarg : "";
    switch (choice) {
      case 'h':
        print(stdout, kUsage);
        return 0;
      case 'V':
        print(stdout, "vqr-sim " VQRSIM_VERSION "\n");
        return 0;
      case 'm':
        arguments.options.model = text;
        if (!vqrsim::is_valid_model_identifier(arguments.options.model)) {
          return usage_error("a model identifier is 1 to 64 printable characters without blanks, ',' or ';'");
        }
        break;
      case kListen:
        if (!parse_listen(text, arguments)) return usage_error("--listen takes HOST:PORT");
        break;
      case kSerial:
        arguments.serial = true;
        break;
      case kVxi11:
        arguments.vxi11 = true;
        break;
      case kPortmapperPort: {
        char* end = nullptr;
        arguments.portmapper_port = std::strtoul(text.c_str(), &end, 10);
        if (end == text.c_str() || *end != '\0' || arguments.portmapper_port > 65535 || text[0] == '-') {
          return usage_error("--portmapper-port takes a port number");
        }
        break;
      }
      case kLoadOhms: {
        char* end = nullptr;
        const double ohms = std::strtod(text.c_str(), &end);
        if (end == text.c_str() || *end != '\0' || !(ohms > 0) || ohms > 1e300) {
          return usage_error("--load-ohms takes a positive number");
        }
        arguments.options.load_ohms = ohms;
        break;
      }
      case kMaxClients: {
        char* end = nullptr;
        const unsigned long clients = std::strtoul(text.c_str(), &end, 10);
        if (text.empty() || text[0] < '0' || text[0] > '9' || *end != '\0' || clients < 1 || clients > kMostClients) {
          return usage_error("--max-clients takes a whole number from 1 to " + std::to_string(kMostClients));
        }
        arguments.options.max_clients = clients;
        break;
      }
      case kVerbose:
        arguments.options.verbose = true;
        break;
      case ':':
        return usage_error("option '" + given + "' needs a value");
      default:
        // A known long option given a value it does not take reports its own code.
        if (written.starts_with("--") && optopt != 0) return usage_error("option '" + given + "' takes no value");
        return usage_error("unknown option '" + given + "'");
    }
  }
  if (optind < argc) return usage_error("unexpected argument '" + std::string(argv[optind]) + "'");

  // The server thread inherits this mask, so the two signals reach sigwait below only.
  sigset_t stop_signals;
  sigemptyset(&stop_signals);
  sigaddset(&stop_signals, SIGINT);
  sigaddset(&stop_signals, SIGTERM);
  pthread_sigmask(SIG_BLOCK, &stop_signals, nullptr);
  std::signal(SIGPIPE, SIG_IGN);

  if (arguments.vxi11 && arguments.serial) return usage_error("--vxi11 and --serial exclude each other");
  try {
    vqrsim::Server server(arguments.options);
    vqrsim::Vxi11Server vxi11(server);
    std::string resource;
    if (arguments.vxi11) {
      resource = vxi11.start(arguments.host, static_cast<std::uint16_t>(arguments.portmapper_port));
      resource += "\nportmapper on port " + std::to_string(vxi11.portmapper_port());
    } else {
      resource = arguments.serial ? server.start_serial()
                                  : server.start_tcp(arguments.host, static_cast<std::uint16_t>(arguments.port));
    }
    print(stdout, resource);
    print(stdout, "\n");
    std::fflush(stdout);
    int signal_number = 0;
    sigwait(&stop_signals, &signal_number);
    vxi11.stop();
    server.stop();
  } catch (const std::exception& failure) {
    print(stderr, "vqr-sim: ");
    print(stderr, failure.what());
    print(stderr, "\n");
    return 1;
  }
  return 0;
}
