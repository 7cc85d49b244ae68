#include "kel/DriverSession.h"

#include <algorithm>

#include <IviSessionServices.h>

#include "kel/CallTrace.h"
#include "kel/DriverDefinition.h"
#include "kel/Errors.h"
#include "kel/Status.h"

namespace kel {

DriverSession::DriverSession(ViSession handle, ViInt32 openTimeout, ViInt32 selfTestTimeout, ViInt32 resetTimeout,
                             bool interchangeCheckSupported)
    : handle_(handle),
      openTimeout_(openTimeout),
      selfTestTimeout_(selfTestTimeout),
      resetTimeout_(resetTimeout),
      interchangeCheckSupported_(interchangeCheckSupported) {}

DriverSession::~DriverSession() = default;

ViStatus DriverSession::Initialize(std::string_view resourceName, bool idQuery, std::string_view optionString) {
  idQuery_ = idQuery;

  if (const ViStatus loaded = LoadConfiguration(resourceName, optionString); loaded < 0) return loaded;

  if (GetInterchangeCheck() && !IsInterchangeCheckSupported()) {
    return ReportErrorWithElaboration(status::kBadOptionValue, "Interchange checking is not supported by the driver.",
                                      "True");
  }

  if (const ViStatus traced = OpenSessionTrace(*this); traced < 0) return traced;
  // Whatever an open that failed part-way had opened (the interface settings after the VISA
  // open, say) is closed again, so that no descriptor leaks.
  if (const ViStatus opened = InitializeIo(); opened < 0) {
    (void)CloseIo();
    return opened;
  }

  ViStatus result = VI_SUCCESS;
  if (GetQueryInstrumentStatus()) result = ClearInstrumentStatus();
  if (result >= 0) {
    result = QueryInstrumentIdentity(instrumentManufacturer_, instrumentModel_, instrumentSerialNumber_,
                                     instrumentFirmwareRevision_);
  }
  if (result >= 0 && idQuery_ && !IsModelSupported()) {
    result = ReportErrorWithElaboration(status::kIdQueryFailed, "Unrecognized model: %s", instrumentModel_);
  }
  if (result >= 0) return result;

  // Whatever closing yields, the failure that led here is the result.
  (void)CloseIo();
  return result;
}

ViSession DriverSession::GetSessionHandle() const { return handle_; }

bool DriverSession::GetCache() const { return flags_.cache; }
bool DriverSession::GetInterchangeCheck() const { return flags_.interchangeCheck; }
bool DriverSession::GetQueryInstrumentStatus() const { return flags_.queryInstrumentStatus; }
bool DriverSession::GetRangeCheck() const { return flags_.rangeCheck; }
bool DriverSession::GetRecordCoercions() const { return flags_.recordCoercions; }
bool DriverSession::GetSimulate() const { return flags_.simulate; }
bool DriverSession::GetInitialSimulate() const { return initialFlags_.simulate; }
void DriverSession::SetCache(bool on) { flags_.cache = on; }
void DriverSession::SetInterchangeCheck(bool on) { flags_.interchangeCheck = on; }
void DriverSession::SetQueryInstrumentStatus(bool on) { flags_.queryInstrumentStatus = on; }
void DriverSession::SetRangeCheck(bool on) { flags_.rangeCheck = on; }
void DriverSession::SetRecordCoercions(bool on) { flags_.recordCoercions = on; }
void DriverSession::SetSimulate(bool on) { flags_.simulate = on; }

const std::string& DriverSession::GetLogicalName() const { return logicalName_; }
const std::string& DriverSession::GetIoResourceDescriptor() const { return ioResourceDescriptor_; }
const std::string& DriverSession::GetDriverSetup() const { return driverSetup_; }
const std::string& DriverSession::GetInstrumentManufacturer() const { return instrumentManufacturer_; }
const std::string& DriverSession::GetInstrumentModel() const { return instrumentModel_; }
const std::string& DriverSession::GetInstrumentFirmwareRevision() const { return instrumentFirmwareRevision_; }
ViInt32 DriverSession::GetOpenTimeout() const { return openTimeout_; }
ViInt32 DriverSession::GetSelfTestTimeout() const { return selfTestTimeout_; }
ViInt32 DriverSession::GetResetTimeout() const { return resetTimeout_; }
bool DriverSession::IsInterchangeCheckSupported() const { return interchangeCheckSupported_; }

namespace {

template <class Table, class T>
bool LookUp(const Table& table, std::string_view name, T& value) {
  const auto it = table.find(name);
  if (it == table.end()) return false;
  value = it->second;
  return true;
}

}  // namespace

bool DriverSession::GetDriverSetupOption(std::string_view name, std::string& value) const {
  return LookUp(driverSetupOptions_, name, value);
}
bool DriverSession::GetInitialSettingString(std::string_view name, std::string& value) const {
  return LookUp(initialStrings_, name, value);
}
const InitialSettingTable<ViInt32>& DriverSession::GetInitialSettingInt32Table() const { return initialInt32s_; }
const InitialSettingTable<ViReal64>& DriverSession::GetInitialSettingReal64Table() const { return initialReal64s_; }
const NameTable& DriverSession::GetVirtualNameTable() const { return virtualToPhysical_; }

std::string DriverSession::GetPhysicalName(std::string_view virtualName) const {
  std::string physical(virtualName);
  (void)LookUp(virtualToPhysical_, virtualName, physical);
  // A target written with its repeated capability ("OutputChannel!!CH1") names "CH1".
  if (const auto qualifier = physical.find("!!"); qualifier != std::string::npos) {
    physical.erase(0, qualifier + 2);
  }
  return physical;
}

bool DriverSession::IsModelSupported() const {
  const auto families = ThisDriver().modelFamilies;
  return std::any_of(families.begin(), families.end(),
                     [this](const ModelFamily& row) { return row.model == instrumentModel_; });
}

bool DriverSession::ModelBelongsToFamily(std::string_view model, std::string_view family) const {
  const auto families = ThisDriver().modelFamilies;
  return std::any_of(families.begin(), families.end(),
                     [&](const ModelFamily& row) { return row.model == model && row.family == family; });
}

ViStatus DriverSession::RestoreInitialOptions() {
  flags_ = initialFlags_;
  return VI_SUCCESS;
}

ViStatus DriverSession::ReportError(ViStatus code, std::span<const MessageArg> args) {
  return ReportErrorArgs(handle_, code, {}, args);
}

ViStatus DriverSession::ReportErrorWithElaboration(ViStatus code, std::string_view elaboration,
                                                   std::span<const MessageArg> args) {
  return ReportErrorArgs(handle_, code, elaboration, args);
}

ViStatus DriverSession::ReportConfigurationError(ViStatus code) {
  ViChar description[1024] = {};
  ViStatus configCode = VI_SUCCESS;
  (void)IviConfig_GetError(&configCode, static_cast<ViInt32>(sizeof description), description);
  description[sizeof description - 1] = '\0';
  (void)IviSession_SetError(handle_, code, description);
  return code;
}

void DriverSession::InvalidateAllAttributes() { cache_.Clear(); }

}  // namespace kel
