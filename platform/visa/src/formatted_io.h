// The formatted-I/O engine: a small parser of VISA format strings of its own. A caller's
// format is never handed to the C library; numbers go through snprintf only with a format
// this engine builds from one validated conversion, with an argument of the right type.
#ifndef HNVISA_FORMATTED_IO_H
#define HNVISA_FORMATTED_IO_H

#include <cstdarg>
#include <string_view>

#include "visa.h"

namespace hnvqr::visa {

// A va_list that can be passed by reference through several functions.
struct ArgList {
  explicit ArgList(va_list source) { va_copy(args, source); }
  ~ArgList() { va_end(args); }
  ArgList(const ArgList&) = delete;
  ArgList& operator=(const ArgList&) = delete;
  va_list args;
};

// Where formatted output goes.
class OutputSink {
 public:
  virtual ~OutputSink() = default;
  virtual ViStatus put(std::string_view bytes) = 0;
  // A "\n" in the format: sends the line feed, marks END and flushes.
  virtual ViStatus endLine() = 0;
};

// Where formatted input comes from: the bytes of one reply, filled on demand.
class InputSource {
 public:
  virtual ~InputSource() = default;
  // The next byte, without consuming it; waits for input when none is buffered and
  // returns the wait's error (VI_ERROR_TMO, VI_ERROR_CONN_LOST, ...).
  virtual ViStatus peek(ViByte& byte) = 0;
  // Drops the byte that the last peek returned.
  virtual void consume() = 0;
  // True when this byte ends the reply (END, or the termination character).
  virtual bool endsReply(ViByte byte) const = 0;
  // Drops the rest of the current reply through its END, receiving until the operation's
  // deadline; VI_ERROR_TMO when the END does not come in time.
  virtual ViStatus discardRestOfReply() = 0;
};

// Width of a text conversion that has neither a width nor '#': at most this many
// characters are stored (plus the NUL); the rest of the field is read and dropped.
inline constexpr std::size_t kDefaultTextFieldLimit = 255;

// Bytes one formatted read takes in all, beyond the widths and counts its conversions name:
// a reply longer than that fails with VI_ERROR_IO after the rest of it has been dropped, so
// that no peer can make a read buffer without end.
inline constexpr std::size_t kMaxFormattedReply = 64 * 1024;

// The length modifier of a conversion, p at it: 'h', 'l' or '\0' for none, p moved past
// it. VI_ERROR_NSUP_FMT for hh and ll, which are no VISA types, and for the modifiers of
// long double, of VISA arrays and of the IEEE 488.2 forms.
inline ViStatus parseLengthModifier(const char*& p, char& length) {
  length = '\0';
  if (*p == 'h' || *p == 'l') {
    length = *p++;
    if (*p == 'h' || *p == 'l') return VI_ERROR_NSUP_FMT;
  } else if (*p == 'L' || *p == 'z' || *p == 'Z' || *p == ',' || *p == '@' || *p == 'q') {
    return VI_ERROR_NSUP_FMT;
  }
  return VI_SUCCESS;
}

// Conversions neither direction takes: hexadecimal reals (%a), the IEEE 488.2 binary
// blocks (%b, %B, %y), %n and %p.
inline bool isUnsupportedConversion(char c) { return std::string_view("aAbBynp").find(c) != std::string_view::npos; }

ViStatus formatOutput(OutputSink& sink, const char* format, ArgList& arguments);
ViStatus scanInput(InputSource& source, const char* format, ArgList& arguments);

}  // namespace hnvqr::visa

#endif
