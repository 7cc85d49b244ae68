// The VISA layer of the session object.
#include <visa.h>

#include "kel/CallTrace.h"
#include "kel/DriverSession.h"
#include "kel/Io.h"
#include "kel/Status.h"

namespace kel {
namespace {

constexpr ViInt32 kStandardEventErrorBits = 0x3C;  // query, device-dependent, execution, command error
constexpr std::size_t kIdentityFieldSize = 257;

// The identity's last field arrives with the line end.
std::string WithoutLineEnd(const char* text) {
  std::string value(text);
  while (!value.empty() && (value.back() == '\n' || value.back() == '\r')) value.pop_back();
  return value;
}

}  // namespace

VisaConnection::~VisaConnection() { (void)Close(); }

ViStatus VisaConnection::Open(const std::string& resource, ViUInt32 openTimeoutMs) {
  if (const ViStatus rm = viOpenDefaultRM(&resourceManager_); rm < 0) {
    resourceManager_ = VI_NULL;
    return rm;
  }
  const ViStatus opened = viOpen(resourceManager_, resource.c_str(), VI_NO_LOCK, openTimeoutMs, &instrument_);
  if (opened < 0) {
    instrument_ = VI_NULL;
    (void)Close();
  }
  return opened;
}

ViStatus VisaConnection::Close() {
  if (resourceManager_ == VI_NULL) return VI_SUCCESS;
  const ViStatus closed = viClose(resourceManager_);
  if (closed >= 0) {
    resourceManager_ = VI_NULL;
    instrument_ = VI_NULL;
  }
  return closed;
}

ViStatus DriverSession::InitializeIo() {
  if (GetSimulate()) return VI_SUCCESS;
  const std::string& resource = GetIoResourceDescriptor();
  const ViInt64 started = hnvisa_trace_clock();
  const ViStatus opened = connection_.Open(resource, static_cast<ViUInt32>(GetOpenTimeout()));
  // The session's own trace takes over the VISA session's events, starting with its open; an
  // open that failed is recorded here, as the VISA session never existed.
  if (const HnvisaTrace trace = SessionTrace(GetSessionHandle()); trace != 0) {
    if (opened >= 0) {
      (void)viSetAttribute(io(), HNVISA_ATTR_TRACE, trace);
    } else {
      const TraceField fields[] = {TraceText("op", "open"), TraceText("resource", resource.c_str()),
                                   TraceValue("status", opened)};
      hnvisa_trace_record(trace, started, fields, 3);
    }
  }
  return opened;
}

// A session opened live and switched into simulation still holds its VISA sessions, so the
// closing depends on what is open, not on SIMULATE.
ViStatus DriverSession::CloseIo() { return connection_.Close(); }

ViStatus DriverSession::ClearInstrumentStatus() { return SendCommand(*this, "*CLS\n"); }

ViStatus DriverSession::QueryInstrumentIdentity(std::string& manufacturer, std::string& model,
                                                std::string& serialNumber, std::string& firmwareRevision) {
  if (GetSimulate()) return VI_SUCCESS;
  char fields[4][kIdentityFieldSize] = {};
  const ViStatus read =
      Queryf(io(), "*IDN?\n", "%256[^,],%256[^,],%256[^,],%256[^,]%*T", fields[0], fields[1], fields[2], fields[3]);
  if (read < 0) return read;
  for (auto& field : fields) field[kIdentityFieldSize - 1] = '\0';
  manufacturer = fields[0];
  model = fields[1];
  serialNumber = fields[2];
  firmwareRevision = WithoutLineEnd(fields[3]);
  return CheckInstrumentStatus();
}

ViStatus DriverSession::CheckInstrumentStatus() {
  if (!GetQueryInstrumentStatus() || GetSimulate()) return VI_SUCCESS;
  ViInt32 standardEvents = 0;
  const ViStatus read = Queryf(io(), "*ESR?\n", "%ld%*T", &standardEvents);
  if (read < 0) return read;
  if ((standardEvents & kStandardEventErrorBits) != 0) return ReportError(status::kInstrumentStatus);
  return read;
}

ViStatus DriverSession::Close() { return CloseIo(); }

IoTimeoutScope::IoTimeoutScope(ViSession io, ViInt32 timeoutMs) : io_(io) {
  if (timeoutMs < -1) return;
  ViUInt32 previous = 0;
  if (viGetAttribute(io_, VI_ATTR_TMO_VALUE, &previous) < 0) return;
  savedTimeout_ = static_cast<ViInt32>(previous);
  (void)viSetAttribute(io_, VI_ATTR_TMO_VALUE, static_cast<ViUInt32>(timeoutMs));
}

IoTimeoutScope::~IoTimeoutScope() {
  if (savedTimeout_ != kNothingSaved) {
    (void)viSetAttribute(io_, VI_ATTR_TMO_VALUE, static_cast<ViUInt32>(savedTimeout_));
  }
}

}  // namespace kel
