// Errors: the session's error store, status messages, the instrument's error queue,
// coercion records and interchange warnings.
#include <IviSessionServices.h>

#include <cstring>
#include <string>

#include "HnVQR.h"
#include "kel/Buffers.h"
#include "kel/DriverSession.h"
#include "kel/Errors.h"
#include "kel/Frame.h"
#include "kel/Io.h"
#include "kel/Status.h"
#include "kel/text/Decimal.h"
#include "kel/text/Text.h"

// The bodies of the exports; the exported functions around them, which trace each call,
// are generated from HnVQR.h (TracedExports.cpp).
namespace hnvqr::untraced {

namespace {

constexpr ViInt32 kMessageBufferSize = 256;
constexpr std::string_view kBlanks = " \t\r\n";

std::string_view TrimQuotes(std::string_view text) { return kel::text::Trim(text, "\""); }

}  // namespace

ViStatus _VI_FUNC HnVQR_GetError(ViSession vi, ViStatus* ErrorCode, ViInt32 BufferSize, ViChar Description[]) {
  return kel::Guarded(vi, [&] { return IviSession_GetError(vi, BufferSize, ErrorCode, Description); });
}

ViStatus _VI_FUNC HnVQR_ClearError(ViSession vi) {
  return kel::Guarded(vi, [&] { return IviSession_ClearError(vi); });
}

ViStatus _VI_FUNC HnVQR_error_message(ViSession vi, ViStatus ErrorCode, ViChar ErrorMessage[256]) {
  return kel::Guarded(vi, [&] {
    if (const ViStatus checked = kel::CheckNullPointer(vi, "HnVQR_error_message", "ErrorMessage", ErrorMessage);
        checked < 0) {
      return checked;
    }
    // A caller that prints the buffer after a failure prints an empty text, never garbage.
    ErrorMessage[0] = '\0';
    const std::string_view message = kel::GetStatusMessage(ErrorCode);
    if (!message.empty()) {
      // The conversions are left out: a caller may hand the text to printf-style output,
      // and there are no arguments here to fill them with.
      std::string text;
      text.reserve(message.size());
      for (std::size_t at = 0; at < message.size(); ++at) {
        if (message.compare(at, 2, "%s") == 0) {
          ++at;
        } else {
          text += message[at];
        }
      }
      kel::CopyToBuffer(text, kMessageBufferSize, ErrorMessage);
      return VI_SUCCESS;
    }
    if (vi == VI_NULL) return kel::status::kInvalidValue;
    return kel::ReportErrorWithElaboration(vi, kel::status::kInvalidValue,
                                           "The error code supplied is not defined by the driver.", ErrorCode,
                                           "error_message", "ErrorCode");
  });
}

ViStatus _VI_FUNC HnVQR_error_query(ViSession vi, ViInt32* ErrorCode, ViChar ErrorMessage[256]) {
  return kel::WithSessionAndOutputs(
      vi, "HnVQR_error_query", "ErrorCode, ErrorMessage", ErrorCode, ErrorMessage, [&](kel::DriverSession& session) {
        if (session.GetSimulate()) {
          *ErrorCode = 0;
          kel::CopyToBuffer("No error.", kMessageBufferSize, ErrorMessage);
          return VI_SUCCESS;
        }
        ViChar response[kMessageBufferSize] = {};
        // Bounded, so that an overlong answer is cut rather than written past the buffer.
        const ViStatus read = kel::Queryf(session.io(), ":SYST:ERR?\n", "%255[^\n]%*T", response);
        if (read < 0) return read;
        response[kMessageBufferSize - 1] = '\0';
        const std::string_view text = TrimQuotes(kel::text::Trim(response, kBlanks));
        const std::size_t comma = text.find(',');
        const auto code = comma == std::string_view::npos
                              ? kel::text::LeadingInteger{}
                              : kel::text::ReadLeadingInteger(kel::text::Trim(text.substr(0, comma), kBlanks));
        // A code that is not a number, or does not fit 32 bits, is as unusable as a missing comma.
        if (comma == std::string_view::npos || code.status != kel::text::DecimalStatus::kOk || code.value < INT32_MIN ||
            code.value > INT32_MAX) {
          return kel::ReportErrorWithElaboration(
              vi, kel::status::kUnexpectedResponse,
              "Failed to parse the response to the SYST:ERR? query.  The response is expected to be a "
              "comma-separated list of 2 items in the form '<error code>,<error message>'.");
        }
        *ErrorCode = static_cast<ViInt32>(code.value);
        kel::CopyToBuffer(TrimQuotes(kel::text::Trim(text.substr(comma + 1), kBlanks)), kMessageBufferSize,
                          ErrorMessage);
        return VI_SUCCESS;
      });
}

ViStatus _VI_FUNC HnVQR_GetNextError(ViSession vi, ViInt32 BufferSize, ViChar Val[]) {
  return kel::WithSession(vi, [&](kel::DriverSession& session) {
    if (const ViStatus checked = kel::CheckNullPointer(vi, "HnVQR_GetNextError", "Val", Val); checked < 0) {
      return checked;
    }
    if (BufferSize <= 0) return kel::ReportInvalidValue(vi, BufferSize, "GetNextError", "BufferSize");
    if (session.GetSimulate()) {
      kel::CopyToBuffer("0,\"No error\"", BufferSize, Val);
      return VI_SUCCESS;
    }
    ViInt32 capacity = BufferSize;
    return kel::QueryInstrument(session, "SYST:ERR?\n", "%#[^\n]%*t", &capacity, Val);
  });
}

ViStatus _VI_FUNC HnVQR_GetNextCoercionRecord(ViSession vi, ViInt32 BufferSize, ViChar CoercionRecord[]) {
  return kel::WithSession(vi, [&](kel::DriverSession& session) -> ViStatus {
    if (CoercionRecord == nullptr && BufferSize != 0) {
      return kel::ReportError(vi, kel::status::kNullPointer, "GetNextCoercionRecord", "CoercionRecord");
    }
    auto& records = session.coercionRecords();
    const std::string record = records.empty() ? std::string() : records.front();
    const auto needed = static_cast<ViStatus>(record.size() + 1);
    if (BufferSize == 0) return needed;
    if (BufferSize < 0) {
      std::memcpy(CoercionRecord, record.c_str(), record.size() + 1);
    } else {
      kel::CopyToBuffer(record, BufferSize, CoercionRecord);
    }
    if (!records.empty()) records.pop_front();
    return BufferSize > 0 && BufferSize < needed ? needed : VI_SUCCESS;
  });
}

namespace {

ViStatus InterchangeNotSupported(ViSession vi, const char* function) {
  return kel::WithSession(
      vi, [&](kel::DriverSession&) { return kel::ReportError(vi, kel::status::kFunctionNotSupported, function); });
}

}  // namespace

ViStatus _VI_FUNC HnVQR_GetNextInterchangeWarning(ViSession vi, ViInt32, ViChar[]) {
  return InterchangeNotSupported(vi, "GetNextInterchangeWarning");
}

ViStatus _VI_FUNC HnVQR_ClearInterchangeWarnings(ViSession vi) {
  return InterchangeNotSupported(vi, "ClearInterchangeWarnings");
}

ViStatus _VI_FUNC HnVQR_ResetInterchangeCheck(ViSession vi) {
  return InterchangeNotSupported(vi, "ResetInterchangeCheck");
}

}  // namespace hnvqr::untraced
