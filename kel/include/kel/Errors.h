// Recording errors: a status code's message, an optional elaboration after two blanks, the
// %s/%d conversions filled from the arguments in order, stored in the session's error store.
#pragma once

#include <array>
#include <initializer_list>
#include <span>
#include <string>
#include <string_view>

#include <visatype.h>

#include "kel/Format.h"

namespace kel {

// The description a report of `code` records (at most 1023 characters).
std::string BuildErrorDescription(ViStatus code, std::string_view elaboration, std::span<const MessageArg> args);

// Stores (code, description) for `vi`; returns `code`, or the negative status of the error
// store when it rejects the report. Never throws: without memory for the text, `code` is
// returned unrecorded.
ViStatus RecordError(ViSession vi, ViStatus code, std::string_view description) noexcept;

ViStatus ReportErrorArgs(ViSession vi, ViStatus code, std::string_view elaboration,
                         std::span<const MessageArg> args) noexcept;

template <class... Args>
ViStatus ReportError(ViSession vi, ViStatus code, const Args&... args) {
  const std::array<MessageArg, sizeof...(Args)> list{MessageArg(args)...};
  return ReportErrorArgs(vi, code, {}, list);
}

template <class... Args>
ViStatus ReportErrorWithElaboration(ViSession vi, ViStatus code, std::string_view elaboration, const Args&... args) {
  const std::array<MessageArg, sizeof...(Args)> list{MessageArg(args)...};
  return ReportErrorArgs(vi, code, elaboration, list);
}

// The null-pointer checks of the call frame: 0 when every pointer is set, otherwise the
// recorded 0xBFFA0058 naming the function and the offending parameter of `parameterNames`
// (a comma-separated list).
ViStatus CheckNullPointer(ViSession vi, std::string_view functionName, std::string_view parameterNames,
                          const void* pointer);
ViStatus CheckNullPointers(ViSession vi, std::string_view functionName, std::string_view parameterNames,
                           const void* first, const void* second);

// The invalid-value report: 0xBFFA0010 with the value as text ("%f" for reals).
ViStatus ReportInvalidValue(ViSession vi, ViInt32 value, std::string_view functionName, std::string_view parameterName);
ViStatus ReportInvalidValue(ViSession vi, ViReal64 value, std::string_view functionName,
                            std::string_view parameterName);

}  // namespace kel
