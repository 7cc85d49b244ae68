// Formatted output (viPrintf and the write half of viQueryf).
//
// The format is parsed twice: once to validate every conversion before anything is sent,
// then to produce the bytes. Ordinary text is copied; a "\n" in the format sends the line
// feed, marks END and flushes; a line feed that comes from an argument does not.
#include <algorithm>
#include <climits>
#include <cstdint>
#include <cstdio>
#include <string>

#include "c_locale.h"
#include "formatted_io.h"

namespace hnvisa {
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
  if (*p == 'h' || *p == 'l') {
    directive.length = *p++;
    if (*p == 'h' || *p == 'l') return VI_ERROR_NSUP_FMT;  // hh, ll: not VISA types
  } else if (*p == 'L' || *p == 'z' || *p == 'Z' || *p == ',' || *p == '@' || *p == 'q') {
    return VI_ERROR_NSUP_FMT;  // long double, VISA arrays and IEEE 488.2 forms
  }
  const char c = *p;
  switch (c) {
    case 'd': case 'i': case 'u': case 'o': case 'x': case 'X':
    case 'f': case 'F': case 'e': case 'E': case 'g': case 'G':
      break;
    case 's': case 'c':
      if (directive.length != '\0') return VI_ERROR_NSUP_FMT;
      break;
    case 'a': case 'A': case 'b': case 'B': case 'y': case 'n': case 'p':
      return VI_ERROR_NSUP_FMT;
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

// snprintf with a format built here from one validated conversion and the matching argument type.
template <typename Value>
std::string formatNumber(const OutputDirective& directive, int width, int precision, const char* lengthText,
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
  if (length < 0) return {};
  if (static_cast<std::size_t>(length) < sizeof small) return std::string(small, static_cast<std::size_t>(length));
  std::string out(static_cast<std::size_t>(length) + 1, '\0');
  std::snprintf(out.data(), out.size(), cFormat.c_str(), value);
#pragma GCC diagnostic pop
  out.resize(static_cast<std::size_t>(length));
  return out;
}

std::string padText(const OutputDirective& directive, int width, std::string text) {
  if (width < 0 || static_cast<std::size_t>(width) <= text.size()) return text;
  const std::string padding(static_cast<std::size_t>(width) - text.size(), ' ');
  return directive.flags.find('-') != std::string::npos ? text + padding : padding + text;
}

ViStatus convertOne(const OutputDirective& directive, ArgList& arguments, std::string& out) {
  int width = directive.width;
  int precision = directive.precision;
  std::string flags = directive.flags;
  if (directive.widthFromArgument) {
    width = va_arg(arguments.args, int);
    if (width < 0) {
      flags += '-';
      width = width == INT_MIN ? kMaxFieldWidth + 1 : -width;
    }
  }
  if (directive.precisionFromArgument) {
    precision = va_arg(arguments.args, int);
    if (precision < 0) precision = -1;
  }
  if (width > kMaxFieldWidth || precision > kMaxFieldWidth) return VI_ERROR_NSUP_FMT;
  OutputDirective effective = directive;
  effective.flags = flags;

  switch (directive.conversion) {
    case 'd': case 'i': {
      // 'l' means ViInt32 and 'h' ViInt16, both passed as int.
      long long value = va_arg(arguments.args, int);
      if (directive.length == 'h') value = static_cast<ViInt16>(value);
      out = formatNumber(effective, width, precision, "ll", value);
      return VI_SUCCESS;
    }
    case 'u': case 'o': case 'x': case 'X': {
      unsigned long long value = va_arg(arguments.args, unsigned int);
      if (directive.length == 'h') value = static_cast<ViUInt16>(value);
      out = formatNumber(effective, width, precision, "ll", value);
      return VI_SUCCESS;
    }
    case 'f': case 'F': case 'e': case 'E': case 'g': case 'G': {
      const double value = va_arg(arguments.args, double);
      out = formatNumber(effective, width, precision, "", value);
      return VI_SUCCESS;
    }
    case 's': {
      const char* text = va_arg(arguments.args, const char*);
      if (text == nullptr) return VI_ERROR_USER_BUF;
      std::size_t length = 0;
      const std::size_t limit = precision >= 0 ? static_cast<std::size_t>(precision) : SIZE_MAX;
      while (length < limit && text[length] != '\0') ++length;
      out = padText(effective, width, std::string(text, length));
      return VI_SUCCESS;
    }
    case 'c':
      out = padText(effective, width, std::string(1, static_cast<char>(va_arg(arguments.args, int))));
      return VI_SUCCESS;
    case '%':
      out = "%";
      return VI_SUCCESS;
    default:
      return VI_ERROR_INV_FMT;
  }
}

}  // namespace

ViStatus formatOutput(OutputSink& sink, const char* format, ArgList& arguments) {
  if (format == nullptr) return VI_ERROR_USER_BUF;
  if (const ViStatus status = validateOutputFormat(format); status != VI_SUCCESS) return status;

  std::string pending;
  for (const char* p = format; *p != '\0';) {
    if (*p == '\n') {
      ++p;
      if (!pending.empty()) {
        if (const ViStatus status = sink.put(pending); status < VI_SUCCESS) return status;
        pending.clear();
      }
      if (const ViStatus status = sink.endLine(); status < VI_SUCCESS) return status;
      continue;
    }
    if (*p != '%') {
      pending += *p++;
      continue;
    }
    ++p;
    OutputDirective directive;
    if (const ViStatus status = parseOutputDirective(p, directive); status != VI_SUCCESS) return status;
    std::string converted;
    if (const ViStatus status = convertOne(directive, arguments, converted); status != VI_SUCCESS)
      return status;
    pending += converted;
  }
  if (!pending.empty()) return sink.put(pending);
  return VI_SUCCESS;
}

}  // namespace hnvisa
