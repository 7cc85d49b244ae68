#include "kel/Errors.h"

#include <cstdio>

#include <IviSessionServices.h>

#include "kel/Status.h"
#include "kel/text/Text.h"

namespace kel {

std::string BuildErrorDescription(ViStatus code, std::string_view elaboration, std::span<const MessageArg> args) {
  std::string format(GetStatusMessage(code));
  if (!elaboration.empty()) {
    format.append("  ");
    format.append(elaboration);
  }
  return FormatMessage(format, args);
}

// A handle the error store rejects is reported as such (its status replaces `code`); a
// description that cannot even be built (no memory) is the lesser loss, and `code` stays.
ViStatus RecordError(ViSession vi, ViStatus code, std::string_view description) noexcept {
  try {
    const std::string text(description);
    const ViStatus stored = IviSession_SetError(vi, code, text.c_str());
    return stored < 0 ? stored : code;
  } catch (...) {
    return code;
  }
}

ViStatus ReportErrorArgs(ViSession vi, ViStatus code, std::string_view elaboration,
                         std::span<const MessageArg> args) noexcept {
  try {
    return RecordError(vi, code, BuildErrorDescription(code, elaboration, args));
  } catch (...) {
    return RecordError(vi, code, GetStatusMessage(code));
  }
}

namespace {

ViStatus ReportNullPointer(ViSession vi, std::string_view functionName, std::string_view parameterNames,
                           std::size_t index) {
  constexpr std::string_view kBlanks = " \t\r\n";
  const auto names = text::SplitAndTrim(parameterNames, ',', kBlanks);
  const std::string_view parameter = index < names.size() ? names[index] : std::string_view("<unknown parameter>");
  return ReportError(vi, status::kNullPointer, text::Trim(functionName, kBlanks), parameter);
}

}  // namespace

ViStatus CheckNullPointer(ViSession vi, std::string_view functionName, std::string_view parameterNames,
                          const void* pointer) {
  if (pointer != nullptr) return VI_SUCCESS;
  return ReportNullPointer(vi, functionName, parameterNames, 0);
}

ViStatus CheckNullPointers(ViSession vi, std::string_view functionName, std::string_view parameterNames,
                           const void* first, const void* second) {
  if (first != nullptr && second != nullptr) return VI_SUCCESS;
  return ReportNullPointer(vi, functionName, parameterNames, first == nullptr ? 0 : 1);
}

ViStatus ReportInvalidValue(ViSession vi, ViInt32 value, std::string_view functionName,
                            std::string_view parameterName) {
  return ReportError(vi, status::kInvalidValue, value, functionName, parameterName);
}

ViStatus ReportInvalidValue(ViSession vi, ViReal64 value, std::string_view functionName,
                            std::string_view parameterName) {
  char text[512];
  std::snprintf(text, sizeof text, "%f", value);
  return ReportError(vi, status::kInvalidValue, std::string_view(text), functionName, parameterName);
}

}  // namespace kel
