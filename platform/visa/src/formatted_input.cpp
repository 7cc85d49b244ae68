// Formatted input (viScanf and the read half of viQueryf).
//
// The whole format is parsed and validated before a byte is consumed. A reply ends at its
// END byte (END, or the termination character); once it has been consumed no more input
// is taken: suppressed conversions and literal text left in the format are ignored, and a
// conversion that would store a value fails. A conversion the input cannot satisfy stops
// the scan with VI_ERROR_IO, leaves the outputs not yet converted unchanged and drops the
// rest of the reply. An integer that does not fit its destination is VI_ERROR_IO as well.
#include <bitset>
#include <charconv>
#include <cfloat>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <limits>
#include <string>
#include <vector>

#include "formatted_io.h"

namespace hnvqr::visa {
namespace {

enum class Conversion { Integer, Real, String, Chars, Scanset, ThroughEnd, ThroughLineFeed };
enum class WidthKind { None, Given, Counted };

struct InputDirective {
  bool isLiteral = false;
  char literal = '\0';
  Conversion conversion = Conversion::Integer;
  bool suppress = false;
  WidthKind widthKind = WidthKind::None;
  std::size_t width = 0;
  char length = '\0';  // 'h', 'l' or none
  std::bitset<256> scanset;
};

constexpr std::size_t kMaxGivenWidth = 1u << 24;
// Characters of a number that are kept; a longer one cannot be in range and fails.
constexpr std::size_t kMaxNumberText = 1024;

bool isSpace(ViByte b) { return b == ' ' || b == '\t' || b == '\n' || b == '\r' || b == '\v' || b == '\f'; }
bool isDigit(ViByte b) { return b >= '0' && b <= '9'; }

ViStatus parseScanset(const char*& p, InputDirective& directive) {
  bool negate = false;
  if (*p == '^') {
    negate = true;
    ++p;
  }
  std::bitset<256> members;
  bool first = true;
  for (;; first = false) {
    const auto c = static_cast<unsigned char>(*p);
    if (c == '\0') return VI_ERROR_INV_FMT;  // no closing ']'
    if (c == ']' && !first) break;
    const auto next = static_cast<unsigned char>(p[1]);
    const auto afterNext = static_cast<unsigned char>(p[1] == '\0' ? '\0' : p[2]);
    if (next == '-' && afterNext != ']' && afterNext != '\0' && afterNext >= c) {
      for (unsigned m = c; m <= afterNext; ++m) members.set(m);
      p += 3;
    } else {
      members.set(c);
      ++p;
    }
  }
  ++p;  // ']'
  directive.scanset = negate ? ~members : members;
  return VI_SUCCESS;
}

// p points past the '%'.
ViStatus parseInputConversion(const char*& p, InputDirective& directive) {
  directive = InputDirective{};
  if (*p == '%') {
    directive.isLiteral = true;
    directive.literal = '%';
    ++p;
    return VI_SUCCESS;
  }
  if (*p == '*') {
    directive.suppress = true;
    ++p;
  }
  if (*p == '#') {
    if (directive.suppress) return VI_ERROR_INV_FMT;  // nothing to count into
    directive.widthKind = WidthKind::Counted;
    ++p;
  } else if (isDigit(static_cast<ViByte>(*p))) {
    std::size_t width = 0;
    while (isDigit(static_cast<ViByte>(*p))) {
      width = width * 10 + static_cast<std::size_t>(*p - '0');
      if (width > kMaxGivenWidth) return VI_ERROR_NSUP_FMT;
      ++p;
    }
    if (width == 0) return VI_ERROR_INV_FMT;
    directive.widthKind = WidthKind::Given;
    directive.width = width;
  }
  if (const ViStatus status = parseLengthModifier(p, directive.length); status != VI_SUCCESS) return status;
  const char c = *p++;
  if (isUnsupportedConversion(c)) return VI_ERROR_NSUP_FMT;
  const bool counted = directive.widthKind == WidthKind::Counted;
  switch (c) {
    case 'd':
    case 'i':
      if (counted) return VI_ERROR_NSUP_FMT;  // '#' on a number counts an array
      directive.conversion = Conversion::Integer;
      return VI_SUCCESS;
    case 'f':
    case 'F':
    case 'e':
    case 'E':
    case 'g':
    case 'G':
      if (counted) return VI_ERROR_NSUP_FMT;
      if (directive.length == 'h') return VI_ERROR_INV_FMT;
      directive.conversion = Conversion::Real;
      return VI_SUCCESS;
    case 's':
    case 'c':
    case '[':
    case 't':
    case 'T':
      if (directive.length != '\0') return VI_ERROR_NSUP_FMT;
      directive.conversion = c == 's'   ? Conversion::String
                             : c == 'c' ? Conversion::Chars
                             : c == 't' ? Conversion::ThroughEnd
                             : c == 'T' ? Conversion::ThroughLineFeed
                                        : Conversion::Scanset;
      return c == '[' ? parseScanset(p, directive) : VI_SUCCESS;
    case 'u':
    case 'o':
    case 'x':
    case 'X':
      return VI_ERROR_NSUP_FMT;
    default:
      return VI_ERROR_INV_FMT;
  }
}

ViStatus parseInputFormat(const char* format, std::vector<InputDirective>& directives) {
  for (const char* p = format; *p != '\0';) {
    const auto c = static_cast<ViByte>(*p);
    if (isSpace(c)) {  // white space in the format is ignored
      ++p;
      continue;
    }
    InputDirective directive;
    if (c != '%') {
      directive.isLiteral = true;
      directive.literal = *p++;
    } else {
      ++p;
      if (const ViStatus status = parseInputConversion(p, directive); status != VI_SUCCESS) return status;
    }
    directives.push_back(directive);
  }
  return VI_SUCCESS;
}

// Raised internally when the input cannot satisfy the format; ends the scan with VI_ERROR_IO.
constexpr ViStatus kNoMatch = VI_ERROR_IO;

class Scanner {
 public:
  Scanner(InputSource& source, ArgList& arguments, std::size_t budget)
      : source_(source), arguments_(arguments), budget_(budget) {}

  ViStatus run(const std::vector<InputDirective>& directives) {
    for (const InputDirective& directive : directives) {
      ViStatus status = VI_SUCCESS;
      if (directive.isLiteral) {
        status = matchLiteral(static_cast<ViByte>(directive.literal));
      } else if (ended_) {
        // The reply is over: what only skips input has nothing left to do, and a value
        // that should have been stored is missing.
        if (!directive.suppress) return kNoMatch;
      } else {
        status = convert(directive);
      }
      if (status == kNoMatch || status == VI_ERROR_USER_BUF) {
        if (!ended_) {
          if (const ViStatus dropped = source_.discardRestOfReply(); dropped < VI_SUCCESS) return dropped;
        }
        return status;
      }
      if (status < VI_SUCCESS) return status;
    }
    return VI_SUCCESS;
  }

 private:
  // *byte is the next byte of the reply; false when the reply is over.
  ViStatus peek(ViByte& byte, bool& available) {
    available = false;
    if (ended_) return VI_SUCCESS;
    if (taken_ >= budget_) return kNoMatch;  // a reply longer than any format could want
    const ViStatus status = source_.peek(byte);
    if (status < VI_SUCCESS) return status;
    available = true;
    return VI_SUCCESS;
  }
  void take(ViByte byte) {
    ++taken_;
    source_.consume();
    if (source_.endsReply(byte)) ended_ = true;
  }

  ViStatus matchLiteral(ViByte literal) {
    if (ended_) return VI_SUCCESS;
    ViByte byte = 0;
    bool available = false;
    if (const ViStatus status = peek(byte, available); status < VI_SUCCESS) return status;
    if (byte != literal) return kNoMatch;
    take(byte);
    return VI_SUCCESS;
  }

  // Skips white space; kNoMatch when the reply ends inside it.
  ViStatus skipSpace() {
    for (;;) {
      ViByte byte = 0;
      bool available = false;
      if (const ViStatus status = peek(byte, available); status < VI_SUCCESS) return status;
      if (!available) return kNoMatch;
      if (!isSpace(byte)) return VI_SUCCESS;
      take(byte);
    }
  }

  // Takes bytes while `accept(byte, takenSoFar, lastTaken)` holds and fewer than `limit`
  // were taken; the first `keep` of them are kept in `text`, the rest only counted.
  template <typename Accept>
  ViStatus collect(std::size_t limit, std::size_t keep, std::string& text, std::size_t& taken, Accept accept) {
    ViByte last = 0;
    for (taken = 0; taken < limit; ++taken) {
      ViByte byte = 0;
      bool available = false;
      if (const ViStatus status = peek(byte, available); status < VI_SUCCESS) return status;
      if (!available || !accept(byte, taken, last)) break;
      if (text.size() < keep) text += static_cast<char>(byte);
      last = byte;
      take(byte);
    }
    return VI_SUCCESS;
  }

  ViStatus convert(const InputDirective& d) {
    switch (d.conversion) {
      case Conversion::Integer:
        return convertInteger(d);
      case Conversion::Real:
        return convertReal(d);
      default:
        return convertText(d);
    }
  }

  std::size_t numberWidth(const InputDirective& d) const {
    return d.widthKind == WidthKind::Given ? d.width : std::numeric_limits<std::size_t>::max();
  }

  // Each destination is taken from the arguments with its own pointer type.
  ViStatus convertInteger(const InputDirective& d) {
    ViInt16* shortOut = nullptr;
    ViInt32* longOut = nullptr;
    int* intOut = nullptr;
    if (!d.suppress) {
      const bool present = d.length == 'h'   ? (shortOut = va_arg(arguments_.args, ViInt16*)) != nullptr
                           : d.length == 'l' ? (longOut = va_arg(arguments_.args, ViInt32*)) != nullptr
                                             : (intOut = va_arg(arguments_.args, int*)) != nullptr;
      if (!present) return VI_ERROR_USER_BUF;
    }
    if (const ViStatus status = skipSpace(); status != VI_SUCCESS) return status;
    std::string text;
    std::size_t taken = 0;
    const ViStatus status = collect(numberWidth(d), kMaxNumberText, text, taken, [](ViByte b, std::size_t n, ViByte) {
      return isDigit(b) || (n == 0 && (b == '+' || b == '-'));
    });
    if (status < VI_SUCCESS) return status;
    if (taken > text.size()) return kNoMatch;  // longer than any number in range
    if (const ViStatus hex = refuseHexForm(text); hex != VI_SUCCESS) return hex;
    const char* digits = text.c_str();
    if (*digits == '+') ++digits;
    long long value = 0;
    const char* end = text.c_str() + text.size();
    const auto [stop, error] = std::from_chars(digits, end, value);
    if (error != std::errc{} || stop != end) return kNoMatch;  // no digits, or out of range
    if (d.suppress) return VI_SUCCESS;
    if (shortOut != nullptr) return storeIfFits(value, *shortOut);
    if (longOut != nullptr) return storeIfFits(value, *longOut);
    return storeIfFits(value, *intOut);
  }

  // "0x10" is not read as 0 followed by text: numbers are decimal, and a hexadecimal one
  // fails like the other forms that are not (nan, inf, values beyond a double's range).
  ViStatus refuseHexForm(const std::string& number) {
    if (number.empty()) return VI_SUCCESS;
    const std::string_view digits =
        number.front() == '+' || number.front() == '-' ? std::string_view(number).substr(1) : std::string_view(number);
    if (digits != "0") return VI_SUCCESS;
    ViByte next = 0;
    bool available = false;
    if (const ViStatus status = peek(next, available); status < VI_SUCCESS) return status;
    return available && (next == 'x' || next == 'X') ? kNoMatch : VI_SUCCESS;
  }

  template <typename Integer>
  static ViStatus storeIfFits(long long value, Integer& out) {
    if (value < std::numeric_limits<Integer>::min() || value > std::numeric_limits<Integer>::max()) return kNoMatch;
    out = static_cast<Integer>(value);
    return VI_SUCCESS;
  }

  ViStatus convertReal(const InputDirective& d) {
    ViReal64* doubleOut = nullptr;
    ViReal32* floatOut = nullptr;
    if (!d.suppress) {
      const bool present = d.length == 'l' ? (doubleOut = va_arg(arguments_.args, ViReal64*)) != nullptr
                                           : (floatOut = va_arg(arguments_.args, ViReal32*)) != nullptr;
      if (!present) return VI_ERROR_USER_BUF;
    }
    if (const ViStatus status = skipSpace(); status != VI_SUCCESS) return status;
    // sign? digits [. digits] [e sign? digits], taken one byte at a time.
    enum class Part { Sign, Mantissa, Fraction, ExponentSign, Exponent };
    Part part = Part::Sign;
    bool mantissaDigits = false;
    std::string text;
    std::size_t taken = 0;
    const ViStatus status = collect(numberWidth(d), kMaxNumberText, text, taken, [&](ViByte b, std::size_t, ViByte) {
      switch (part) {
        case Part::Sign:
          part = Part::Mantissa;
          if (b == '+' || b == '-') return true;
          [[fallthrough]];
        case Part::Mantissa:
          if (isDigit(b)) return mantissaDigits = true;
          if (b == '.') return part = Part::Fraction, true;
          if ((b == 'e' || b == 'E') && mantissaDigits) return part = Part::ExponentSign, true;
          return false;
        case Part::Fraction:
          if (isDigit(b)) return mantissaDigits = true;
          if ((b == 'e' || b == 'E') && mantissaDigits) return part = Part::ExponentSign, true;
          return false;
        case Part::ExponentSign:
          part = Part::Exponent;
          if (b == '+' || b == '-') return true;
          return isDigit(b);
        case Part::Exponent:
          return isDigit(b);
      }
      return false;
    });
    if (status < VI_SUCCESS) return status;
    if (!mantissaDigits || taken > text.size()) return kNoMatch;
    if (const ViStatus hex = refuseHexForm(text); hex != VI_SUCCESS) return hex;
    const char* begin = text.c_str();
    if (*begin == '+') ++begin;
    double value = 0;
    const auto [stop, error] = std::from_chars(begin, text.c_str() + text.size(), value);
    if (error != std::errc{} || stop == begin) return kNoMatch;  // out of a double's range
    if (d.suppress) return VI_SUCCESS;
    if (doubleOut != nullptr) {
      *doubleOut = value;
    } else {
      if (std::fabs(value) > FLT_MAX) return kNoMatch;
      *floatOut = static_cast<float>(value);
    }
    return VI_SUCCESS;
  }

  ViStatus convertText(const InputDirective& d) {
    char* destination = nullptr;
    ViInt32* counter = nullptr;
    std::size_t storeLimit = kDefaultTextFieldLimit;  // characters, NUL not included
    std::size_t readLimit = std::numeric_limits<std::size_t>::max();
    const bool chars = d.conversion == Conversion::Chars;
    if (d.widthKind == WidthKind::Counted) {
      counter = va_arg(arguments_.args, ViInt32*);
      if (counter == nullptr) return VI_ERROR_USER_BUF;
      // The capacity counts the terminating NUL (%c stores none).
      const ViInt32 capacity = *counter;
      if (capacity < 1) return VI_ERROR_USER_BUF;
      storeLimit = readLimit = static_cast<std::size_t>(capacity) - (chars ? 0 : 1);
      budget_ += readLimit;
    } else if (d.widthKind == WidthKind::Given) {
      storeLimit = readLimit = d.width;
    } else if (chars) {
      storeLimit = readLimit = 1;
    }
    if (!d.suppress) {
      destination = va_arg(arguments_.args, char*);
      if (destination == nullptr) return VI_ERROR_USER_BUF;
    } else if (d.widthKind == WidthKind::None && !chars) {
      readLimit = std::numeric_limits<std::size_t>::max();
    }

    // Only what can be stored is kept; the rest of the field is counted and dropped.
    const std::size_t keep = d.suppress ? 0 : storeLimit;
    std::string text;
    std::size_t taken = 0;
    ViStatus status = VI_SUCCESS;
    switch (d.conversion) {
      case Conversion::String:
        if ((status = skipSpace()) != VI_SUCCESS) return status;
        status = collect(readLimit, keep, text, taken, [](ViByte b, std::size_t, ViByte) { return !isSpace(b); });
        break;
      case Conversion::Scanset:
        status =
            collect(readLimit, keep, text, taken, [&d](ViByte b, std::size_t, ViByte) { return d.scanset.test(b); });
        break;
      case Conversion::Chars:
      case Conversion::ThroughEnd:
        status = collect(readLimit, keep, text, taken, [](ViByte, std::size_t, ViByte) { return true; });
        break;
      case Conversion::ThroughLineFeed:
        status = collect(readLimit, keep, text, taken,
                         [](ViByte, std::size_t n, ViByte last) { return n == 0 || last != '\n'; });
        break;
      default:
        return VI_ERROR_INV_FMT;
    }
    if (status < VI_SUCCESS) return status;
    if (chars && taken == 0) return kNoMatch;
    if (d.suppress) return VI_SUCCESS;
    const std::size_t stored = std::min(text.size(), storeLimit);
    std::memcpy(destination, text.data(), stored);
    if (!chars) destination[stored] = '\0';
    if (counter != nullptr) *counter = static_cast<ViInt32>(stored);
    return VI_SUCCESS;
  }

  InputSource& source_;
  ArgList& arguments_;
  std::size_t budget_;     // bytes this scan may take in all
  std::size_t taken_ = 0;  // bytes taken so far
  bool ended_ = false;
};

}  // namespace

ViStatus scanInput(InputSource& source, const char* format, ArgList& arguments) {
  if (format == nullptr) return VI_ERROR_USER_BUF;
  std::vector<InputDirective> directives;
  if (const ViStatus status = parseInputFormat(format, directives); status != VI_SUCCESS) return status;
  // The reply may be as long as the widths the format names, plus the general bound.
  std::size_t budget = kMaxFormattedReply;
  for (const InputDirective& directive : directives)
    if (directive.widthKind == WidthKind::Given) budget += directive.width;
  Scanner scanner(source, arguments, budget);
  return scanner.run(directives);
}

}  // namespace hnvqr::visa
