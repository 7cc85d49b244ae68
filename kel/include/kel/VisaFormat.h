// Formatted VISA I/O with its arguments checked against its format at compile time. viPrintf
// and viQueryf take C varargs, so a conversion that does not match its argument would read
// or write the wrong memory at run time; these wrappers take the format as a compile-time
// text, walk its conversions and refuse to compile when the arguments differ in number or
// kind. Formats follow VISA's rules (shared by our VISA and a system one): "%ld" is a ViInt32,
// "%lf" a ViReal64, "%#s" takes a ViInt32* capacity before its buffer, "%*..." reads into no
// argument.
#pragma once

#include <cstddef>
#include <iterator>
#include <type_traits>

#include <visa.h>

namespace kel {
namespace format {

// What a conversion takes.
enum class Arg {
  kInteger,    // printf: an integer of at most 32 bits
  kReal,       // printf: a double
  kText,       // printf: a NUL-terminated text
  kInt16Out,   // scanf: ViInt16*
  kInt32Out,   // scanf: ViInt32* (also the capacity of a "#" conversion)
  kReal32Out,  // scanf: ViReal32*
  kReal64Out,  // scanf: ViReal64*
  kTextOut,    // scanf: ViChar*
  kNone,       // end of the list
};

// A format's conversions, in order.
struct Conversions {
  Arg args[16] = {};
  std::size_t count = 0;
  bool valid = true;

  constexpr void Add(Arg arg) {
    if (count == std::size(args)) {
      valid = false;
      return;
    }
    args[count++] = arg;
  }
};

constexpr bool IsDigit(char c) { return c >= '0' && c <= '9'; }

// Walks a format's conversions: `read(p, out)` reads one, from the character after its '%',
// and answers where it ends (its last character), or nullptr when it is not one taken.
template <class ReadConversion>
constexpr Conversions WalkConversions(const char* text, ReadConversion read) {
  Conversions out;
  if (text == nullptr) {
    out.valid = false;
    return out;
  }
  for (const char* p = text; *p != '\0'; ++p) {
    if (*p != '%') continue;
    ++p;
    if (*p == '%') continue;
    p = read(p, out);
    if (p == nullptr) {
      out.valid = false;
      return out;
    }
  }
  return out;
}

// The conversions of a viPrintf format.
constexpr Conversions PrintfConversions(const char* text) {
  return WalkConversions(text, [](const char* p, Conversions& out) -> const char* {
    while (*p == '-' || *p == '+' || *p == ' ' || *p == '#' || *p == '0') ++p;
    if (*p == '*') {
      out.Add(Arg::kInteger);
      ++p;
    }
    while (IsDigit(*p)) ++p;
    if (*p == '.') {
      ++p;
      if (*p == '*') {
        out.Add(Arg::kInteger);
        ++p;
      }
      while (IsDigit(*p)) ++p;
    }
    const char modifier = (*p == 'h' || *p == 'l') ? *p++ : '\0';
    switch (*p) {
      case 'd':
      case 'i':
      case 'o':
      case 'u':
      case 'x':
      case 'X':
      case 'c':
        out.Add(Arg::kInteger);
        break;
      case 'f':
      case 'e':
      case 'E':
      case 'g':
      case 'G':
        if (modifier == 'h') out.valid = false;
        out.Add(Arg::kReal);
        break;
      case 's':
        if (modifier != '\0') out.valid = false;
        out.Add(Arg::kText);
        break;
      default:  // a conversion these wrappers do not take (binary blocks, arrays) or a cut one
        return nullptr;
    }
    return p;
  });
}

// The conversions of a viScanf format (the response format of viQueryf).
constexpr Conversions ScanfConversions(const char* text) {
  return WalkConversions(text, [](const char* p, Conversions& out) -> const char* {
    const bool suppressed = *p == '*';
    if (suppressed) ++p;
    const bool counted = *p == '#';
    if (counted) ++p;
    while (IsDigit(*p)) ++p;
    const char modifier = (*p == 'h' || *p == 'l') ? *p++ : '\0';
    Arg target = Arg::kNone;
    switch (*p) {
      case 'd':
      case 'i':
      case 'o':
      case 'u':
      case 'x':
        target = modifier == 'h' ? Arg::kInt16Out : Arg::kInt32Out;
        break;
      case 'f':
      case 'e':
      case 'g':
        target = modifier == 'l' ? Arg::kReal64Out : Arg::kReal32Out;
        if (modifier == 'h') out.valid = false;
        break;
      case 's':
      case 'c':
      case 't':
      case 'T':
        target = Arg::kTextOut;
        break;
      case '[':
        ++p;
        if (*p == '^') ++p;
        if (*p == ']') ++p;
        while (*p != '\0' && *p != ']') ++p;
        if (*p == '\0') return nullptr;
        target = Arg::kTextOut;
        break;
      default:
        return nullptr;
    }
    if (counted && target != Arg::kTextOut) out.valid = false;
    if (!suppressed) {
      if (counted) out.Add(Arg::kInt32Out);
      out.Add(target);
    }
    return p;
  });
}

template <class T>
constexpr Arg PrintfArgOf() {
  using U = std::remove_cv_t<T>;
  if constexpr (std::is_same_v<U, double>) {
    return Arg::kReal;
  } else if constexpr (std::is_integral_v<U> && !std::is_same_v<U, bool> && sizeof(U) <= 4) {
    return Arg::kInteger;
  } else if constexpr (std::is_same_v<U, const char*> || std::is_same_v<U, char*>) {
    return Arg::kText;
  } else {
    return Arg::kNone;
  }
}

template <class T>
constexpr Arg ScanfArgOf() {
  if constexpr (std::is_same_v<T, ViInt16*>) {
    return Arg::kInt16Out;
  } else if constexpr (std::is_same_v<T, ViInt32*>) {
    return Arg::kInt32Out;
  } else if constexpr (std::is_same_v<T, ViReal32*>) {
    return Arg::kReal32Out;
  } else if constexpr (std::is_same_v<T, ViReal64*>) {
    return Arg::kReal64Out;
  } else if constexpr (std::is_same_v<T, ViChar*>) {
    return Arg::kTextOut;
  } else {
    return Arg::kNone;
  }
}

template <std::size_t N>
constexpr bool Matches(const Conversions& conversions, const Arg (&expected)[N], std::size_t count) {
  if (!conversions.valid || conversions.count != count) return false;
  for (std::size_t i = 0; i < count; ++i) {
    if (conversions.args[i] != expected[i]) return false;
  }
  return true;
}

template <class... Args>
constexpr bool PrintfMatches(const char* text) {
  constexpr Arg expected[sizeof...(Args) + 1] = {PrintfArgOf<Args>()..., Arg::kNone};
  return Matches(PrintfConversions(text), expected, sizeof...(Args));
}

template <class... Args>
constexpr bool ScanfMatches(const char* text) {
  constexpr Arg expected[sizeof...(Args) + 1] = {ScanfArgOf<Args>()..., Arg::kNone};
  return Matches(ScanfConversions(text), expected, sizeof...(Args));
}

// Reached only in a constant evaluation that fails, which is the compile error.
inline void FormatDoesNotMatchItsArguments() {}

}  // namespace format

// A format checked against the argument types Args by `matches` (PrintfMatches or
// ScanfMatches) while compiling.
template <bool (*Matches)(const char*), class... Args>
class CheckedFormat {
 public:
  consteval CheckedFormat(const char* text) : text_(text) {  // NOLINT: implicit by design
    if (!Matches(text)) format::FormatDoesNotMatchItsArguments();
  }
  const char* text() const { return text_; }

 private:
  const char* text_;
};

// A viPrintf format checked against the argument types Args.
template <class... Args>
using PrintfFormat = CheckedFormat<&format::PrintfMatches<Args...>, Args...>;

// A viScanf format checked against the output pointer types Args.
template <class... Args>
using ScanfFormat = CheckedFormat<&format::ScanfMatches<Args...>, Args...>;

// A command text sent as it is: a format with no conversions.
using CommandText = PrintfFormat<>;

template <class... Args>
ViStatus Printf(ViSession io, PrintfFormat<std::type_identity_t<Args>...> format, Args... args) {
  return viPrintf(io, format.text(), args...);
}

template <class... Outputs>
ViStatus Queryf(ViSession io, CommandText command, ScanfFormat<std::type_identity_t<Outputs>...> responseFormat,
                Outputs... outputs) {
  return viQueryf(io, command.text(), responseFormat.text(), outputs...);
}

}  // namespace kel
