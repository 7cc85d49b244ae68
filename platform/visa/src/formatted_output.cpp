// Formatted output (viPrintf and the write half of viQueryf).
//
// The format is parsed twice: once to validate every conversion before anything is sent,
// then to produce the bytes. Ordinary text is copied; a "\n" in the format sends the line
// feed, marks END and flushes; a line feed that comes from an argument does not.
#include <algorithm>
#include <cctype>
#include <charconv>
#include <cmath>
#include <cstring>
#include <string_view>
#include <type_traits>
#include <climits>
#include <cstdint>
#include <cstdio>
#include <string>

#include "c_locale.h"
#include "formatted_io.h"

namespace hnvqr::visa {
namespace {

// Widths and precisions beyond this are refused rather than allocated.
constexpr int kMaxFieldWidth = 4096;

struct OutputDirective {
  std::string flags;
  bool widthFromArgument = false;
  int width = -1;
  bool precisionFromArgument = false;
  int precision = -1;
  char length = '\0';  // 'h', 'l' or none
  char conversion = '\0';
};

bool isDigit(char c) { return c >= '0' && c <= '9'; }

// Reads a decimal field; false when it exceeds kMaxFieldWidth.
bool readCount(const char*& p, int& value) {
  value = 0;
  while (isDigit(*p)) {
    value = value * 10 + (*p - '0');
    if (value > kMaxFieldWidth) return false;
    ++p;
  }
  return true;
}

// Parses the conversion after a '%' (p points past it). On success p points past the
// conversion character. "%%" gives conversion '%'.
ViStatus parseOutputDirective(const char*& p, OutputDirective& directive) {
  directive = OutputDirective{};
  if (*p == '%') {
    directive.conversion = '%';
    ++p;
    return VI_SUCCESS;
  }
  while (*p == '-' || *p == '+' || *p == ' ' || *p == '#' || *p == '0') directive.flags += *p++;
  if (*p == '*') {
    directive.widthFromArgument = true;
    ++p;
  } else if (isDigit(*p)) {
    if (!readCount(p, directive.width)) return VI_ERROR_NSUP_FMT;
  }
  if (*p == '.') {
    ++p;
    if (*p == '*') {
      directive.precisionFromArgument = true;
      ++p;
    } else if (!readCount(p, directive.precision)) {
      return VI_ERROR_NSUP_FMT;
    }
  }
  if (const ViStatus status = parseLengthModifier(p, directive.length); status != VI_SUCCESS) return status;
  const char c = *p;
  if (isUnsupportedConversion(c)) return VI_ERROR_NSUP_FMT;
  switch (c) {
    case 'd':
    case 'i':
    case 'u':
    case 'o':
    case 'x':
    case 'X':
    case 'f':
    case 'F':
    case 'e':
    case 'E':
    case 'g':
    case 'G':
      break;
    case 's':
    case 'c':
      if (directive.length != '\0') return VI_ERROR_NSUP_FMT;
      break;
    default:
      return VI_ERROR_INV_FMT;  // unknown conversion, or the format ended inside one
  }
  directive.conversion = c;
  ++p;
  return VI_SUCCESS;
}

ViStatus validateOutputFormat(const char* format) {
  for (const char* p = format; *p != '\0';) {
    if (*p++ != '%') continue;
    OutputDirective directive;
    if (const ViStatus status = parseOutputDirective(p, directive); status != VI_SUCCESS) return status;
  }
  return VI_SUCCESS;
}

// Where a plain conversion (no flags but '0', no width) is written with std::to_chars:
// exactly printf's digits, without a format to build, a locale to switch or a copy.
bool isPlain(const OutputDirective& directive, int width) {
  return width < 0 && (directive.flags.empty() || directive.flags == "0");
}

template <typename Value>
ViStatus putPlainNumber(OutputSink& sink, char conversion, int precision, Value value) {
  char text[400];  // the longest double in %f is 309 digits, plus sign and fraction
  std::to_chars_result result{};
  if constexpr (std::is_floating_point_v<Value>) {
    const int digits = precision < 0 ? 6 : precision;
    const std::chars_format form = conversion == 'f' || conversion == 'F'   ? std::chars_format::fixed
                                   : conversion == 'e' || conversion == 'E' ? std::chars_format::scientific
                                                                            : std::chars_format::general;
    result = std::to_chars(text, text + sizeof text, value, form, digits);
    if (result.ec != std::errc{}) return VI_ERROR_NSUP_FMT;  // cannot happen with the bound above
    if (conversion == 'E' || conversion == 'G' || conversion == 'F') {
      for (char* c = text; c != result.ptr; ++c) *c = static_cast<char>(std::toupper(static_cast<unsigned char>(*c)));
    }
  } else {
    result = std::to_chars(text, text + sizeof text, value);
  }
  return sink.put(std::string_view(text, static_cast<std::size_t>(result.ptr - text)));
}

// snprintf with a format built here from one validated conversion and the matching argument type.
template <typename Value>
ViStatus putNumber(OutputSink& sink, const OutputDirective& directive, int width, int precision, const char* lengthText,
                   Value value) {
  std::string cFormat = "%" + directive.flags;
  if (width >= 0) cFormat += std::to_string(width);
  if (precision >= 0) cFormat += "." + std::to_string(precision);
  cFormat += lengthText;
  cFormat += directive.conversion;
  const CLocaleScope cLocale;
  // The format is ours, built from validated pieces only.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wformat-nonliteral"
  char small[128];
  const int length = std::snprintf(small, sizeof small, cFormat.c_str(), value);
  if (length < 0) return VI_SUCCESS;
  if (static_cast<std::size_t>(length) < sizeof small)
    return sink.put(std::string_view(small, static_cast<std::size_t>(length)));
  std::string out(static_cast<std::size_t>(length) + 1, '\0');
  std::snprintf(out.data(), out.size(), cFormat.c_str(), value);
#pragma GCC diagnostic pop
  out.resize(static_cast<std::size_t>(length));
  return sink.put(out);
}

ViStatus putPadded(OutputSink& sink, const OutputDirective& directive, int width, std::string_view text) {
  const std::size_t padding =
      width < 0 || static_cast<std::size_t>(width) <= text.size() ? 0 : static_cast<std::size_t>(width) - text.size();
  const bool left = directive.flags.find('-') != std::string::npos;
  static constexpr std::string_view kSpaces = "                                                                ";
  const auto pad = [&]() -> ViStatus {
    for (std::size_t left_ = padding; left_ > 0;) {
      const std::size_t n = std::min(left_, kSpaces.size());
      if (const ViStatus status = sink.put(kSpaces.substr(0, n)); status < VI_SUCCESS) return status;
      left_ -= n;
    }
    return VI_SUCCESS;
  };
  if (!left) {
    if (const ViStatus status = pad(); status < VI_SUCCESS) return status;
  }
  if (const ViStatus status = sink.put(text); status < VI_SUCCESS) return status;
  return left ? pad() : VI_SUCCESS;
}

ViStatus convertOne(OutputSink& sink, const OutputDirective& directive, ArgList& arguments) {
  int width = directive.width;
  int precision = directive.precision;
  bool leftFromArgument = false;
  if (directive.widthFromArgument) {
    width = va_arg(arguments.args, int);
    if (width < 0) {
      leftFromArgument = true;
      width = width == INT_MIN ? kMaxFieldWidth + 1 : -width;
    }
  }
  if (directive.precisionFromArgument) {
    precision = va_arg(arguments.args, int);
    if (precision < 0) precision = -1;
  }
  if (width > kMaxFieldWidth || precision > kMaxFieldWidth) return VI_ERROR_NSUP_FMT;
  const OutputDirective* effective = &directive;
  OutputDirective withLeftFlag;
  if (leftFromArgument) {
    withLeftFlag = directive;
    withLeftFlag.flags += '-';
    effective = &withLeftFlag;
  }

  switch (directive.conversion) {
    case 'd':
    case 'i': {
      // 'l' means ViInt32 and 'h' ViInt16, both passed as int.
      long long value = va_arg(arguments.args, int);
      if (directive.length == 'h') value = static_cast<ViInt16>(value);
      if (isPlain(*effective, width) && precision < 0) return putPlainNumber(sink, 'd', -1, value);
      return putNumber(sink, *effective, width, precision, "ll", value);
    }
    case 'u':
    case 'o':
    case 'x':
    case 'X': {
      unsigned long long value = va_arg(arguments.args, unsigned int);
      if (directive.length == 'h') value = static_cast<ViUInt16>(value);
      if (directive.conversion == 'u' && isPlain(*effective, width) && precision < 0)
        return putPlainNumber(sink, 'u', -1, value);
      return putNumber(sink, *effective, width, precision, "ll", value);
    }
    case 'f':
    case 'F':
    case 'e':
    case 'E':
    case 'g':
    case 'G': {
      const double value = va_arg(arguments.args, double);
      // Not-a-number and infinities keep printf's spelling.
      if (isPlain(*effective, width) && std::isfinite(value))
        return putPlainNumber(sink, directive.conversion, precision, value);
      return putNumber(sink, *effective, width, precision, "", value);
    }
    case 's': {
      const char* text = va_arg(arguments.args, const char*);
      if (text == nullptr) return VI_ERROR_USER_BUF;
      std::size_t length = 0;
      const std::size_t limit = precision >= 0 ? static_cast<std::size_t>(precision) : SIZE_MAX;
      while (length < limit && text[length] != '\0') ++length;
      return putPadded(sink, *effective, width, std::string_view(text, length));
    }
    case 'c': {
      const char c = static_cast<char>(va_arg(arguments.args, int));
      return putPadded(sink, *effective, width, std::string_view(&c, 1));
    }
    case '%':
      return sink.put("%");
    default:
      return VI_ERROR_INV_FMT;
  }
}

}  // namespace

ViStatus formatOutput(OutputSink& sink, const char* format, ArgList& arguments) {
  if (format == nullptr) return VI_ERROR_USER_BUF;
  if (const ViStatus status = validateOutputFormat(format); status != VI_SUCCESS) return status;

  // Text between conversions goes to the sink as slices of the format itself.
  const char* literal = format;
  const auto putLiteral = [&](const char* upTo) -> ViStatus {
    const ViStatus status =
        upTo > literal ? sink.put(std::string_view(literal, static_cast<std::size_t>(upTo - literal))) : VI_SUCCESS;
    literal = upTo;
    return status;
  };
  for (const char* p = format; *p != '\0';) {
    if (*p == '\n') {
      if (const ViStatus status = putLiteral(p); status < VI_SUCCESS) return status;
      literal = ++p;
      if (const ViStatus status = sink.endLine(); status < VI_SUCCESS) return status;
      continue;
    }
    if (*p != '%') {
      ++p;
      continue;
    }
    if (const ViStatus status = putLiteral(p); status < VI_SUCCESS) return status;
    ++p;
    OutputDirective directive;
    if (const ViStatus status = parseOutputDirective(p, directive); status != VI_SUCCESS) return status;
    if (const ViStatus status = convertOne(sink, directive, arguments); status != VI_SUCCESS) return status;
    literal = p;
  }
  return putLiteral(std::strchr(literal, '\0'));
}

}  // namespace hnvqr::visa
