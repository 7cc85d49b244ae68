// Formatted input over a response held in memory: the entry point for fuzzing the
// formatted-input engine. The response is the input of a session configured as the driver
// configures its own (line feed as termination character, TERMCHAR_EN on); when it runs
// out, the read times out at once.
#ifndef HNVISA_SCAN_RESPONSE_H
#define HNVISA_SCAN_RESPONSE_H

#include <cstdarg>
#include <cstddef>

#include "visa.h"

namespace hnvqr::visa {

ViStatus scanResponse(const ViByte* response, std::size_t length, const char* format, ...);
ViStatus scanResponseV(const ViByte* response, std::size_t length, const char* format, va_list arguments);

}  // namespace hnvqr::visa

#endif
