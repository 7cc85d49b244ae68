// The emulator's SCPI parser: the input split at line feeds, each line one program message
// for a fresh instrument, as the server hands them over (an overlong line is rejected, not
// executed). A response is empty or one message ended by a line feed.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "FuzzSupport.h"
#include "vqrsim/instrument.hpp"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  std::string_view input(reinterpret_cast<const char*>(data), size);
  vqrsim::Instrument instrument;
  while (!input.empty()) {
    const std::size_t newline = input.find('\n');
    std::string line(input.substr(0, newline));
    input.remove_prefix(newline == std::string_view::npos ? input.size() : newline + 1);
    if (line.size() > vqrsim::Instrument::kMaxLineLength) {
      instrument.reject_overlong_line();
      continue;
    }
    (void)vqrsim::Instrument::canonical_header(line);
    line += '\n';
    const std::string response = instrument.process_line(line);
    if (!response.empty()) FUZZ_CHECK(response.back() == '\n');
  }
  (void)instrument.state();
  return 0;
}
