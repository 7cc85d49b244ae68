// The session object behind every IVI session handle. The framework class holds everything
// common to drivers; the concrete driver derives from it and overrides the instrument-specific
// operations (opening the I/O, recognising the model).
//
// Concurrency: the object has no lock of its own. Every access runs inside an exported call
// that holds the IVI session lock of its handle, so at most one thread works on an object at
// a time (and may re-enter it through nested calls).
#pragma once

#include <deque>
#include <map>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include <IviConfigServer.h>
#include <visatype.h>

#include "kel/SessionGate.h"
#include "kel/Cache.h"
#include "kel/Format.h"
#include "kel/RepCapName.h"
#include "kel/text/Text.h"

namespace kel {

// Tables whose keys compare without regard to case.
using NameTable = std::map<std::string, std::string, text::CaseInsensitiveLess>;
template <class T>
using InitialSettingTable = std::map<std::string, T, text::CaseInsensitiveLess>;

// The six IVI inherent option switches, in their order.
struct InherentFlags {
  bool cache = true;
  bool interchangeCheck = false;
  bool queryInstrumentStatus = false;
  bool rangeCheck = true;
  bool recordCoercions = false;
  bool simulate = false;
};

// The VISA sessions of a session object: the resource manager and the instrument session
// opened in it. The owner closes them when it ends, and an open that fails part-way closes
// what it had opened, so no path leaves a VISA session behind.
class VisaConnection {
 public:
  VisaConnection() = default;
  ~VisaConnection();
  VisaConnection(const VisaConnection&) = delete;
  VisaConnection& operator=(const VisaConnection&) = delete;

  // Opens the default resource manager, then `resource` in it; on failure nothing stays open.
  ViStatus Open(const std::string& resource, ViUInt32 openTimeoutMs);
  // Closes both (closing the resource manager closes the instrument session); a close that
  // fails keeps them, so that it can be tried again.
  ViStatus Close();

  ViSession instrument() const { return instrument_; }

 private:
  ViSession resourceManager_ = VI_NULL;
  ViSession instrument_ = VI_NULL;
};

class DriverSession {
 public:
  DriverSession(ViSession handle, ViInt32 openTimeout, ViInt32 selfTestTimeout, ViInt32 resetTimeout,
                bool interchangeCheckSupported);
  virtual ~DriverSession();
  DriverSession(const DriverSession&) = delete;
  DriverSession& operator=(const DriverSession&) = delete;

  // Runs the initialization sequence after the object is bound to its handle.
  ViStatus Initialize(std::string_view resourceName, bool idQuery, std::string_view optionString);

  // The two operations a concrete driver extends: opening the I/O (its interface settings)
  // and reading the identity (recognising the model). The base opens the VISA sessions and
  // queries *IDN?; a failed open leaves nothing open.
  virtual ViStatus InitializeIo();
  virtual ViStatus QueryInstrumentIdentity(std::string& manufacturer, std::string& model, std::string& serialNumber,
                                           std::string& firmwareRevision);
  ViStatus CloseIo();
  ViStatus ClearInstrumentStatus();
  // The status check after an exchange: *ESR? when QUERY_INSTRUMENT_STATUS is on.
  ViStatus CheckInstrumentStatus();
  ViStatus Close();

  // The instrument's VISA session (VI_NULL in simulation and when none is open).
  ViSession io() const { return connection_.instrument(); }

  ViSession GetSessionHandle() const;

  bool GetCache() const;
  bool GetInterchangeCheck() const;
  bool GetQueryInstrumentStatus() const;
  bool GetRangeCheck() const;
  bool GetRecordCoercions() const;
  bool GetSimulate() const;
  bool GetInitialSimulate() const;
  void SetCache(bool on);
  void SetInterchangeCheck(bool on);
  void SetQueryInstrumentStatus(bool on);
  void SetRangeCheck(bool on);
  void SetRecordCoercions(bool on);
  void SetSimulate(bool on);

  const std::string& GetLogicalName() const;
  const std::string& GetIoResourceDescriptor() const;
  const std::string& GetDriverSetup() const;
  const std::string& GetInstrumentManufacturer() const;
  const std::string& GetInstrumentModel() const;
  const std::string& GetInstrumentFirmwareRevision() const;
  ViInt32 GetOpenTimeout() const;
  ViInt32 GetSelfTestTimeout() const;
  ViInt32 GetResetTimeout() const;
  bool IsInterchangeCheckSupported() const;

  bool GetDriverSetupOption(std::string_view name, std::string& value) const;
  bool GetInitialSettingString(std::string_view name, std::string& value) const;
  const InitialSettingTable<ViInt32>& GetInitialSettingInt32Table() const;
  const InitialSettingTable<ViReal64>& GetInitialSettingReal64Table() const;
  const NameTable& GetVirtualNameTable() const;
  std::string GetPhysicalName(std::string_view virtualName) const;

  bool IsModelSupported() const;
  bool ModelBelongsToFamily(std::string_view model, std::string_view family) const;
  ViStatus RestoreInitialOptions();

  ViStatus ReportError(ViStatus code, std::span<const MessageArg> args = {});
  ViStatus ReportErrorWithElaboration(ViStatus code, std::string_view elaboration,
                                      std::span<const MessageArg> args = {});
  // Records `code` with the configuration server's own description of its last error, and
  // returns `code`.
  ViStatus ReportConfigurationError(ViStatus code);
  void InvalidateAllAttributes();

  ViStatus LoadConfiguration(std::string_view name, std::string_view optionString);
  ViStatus ReadDriverSessionProperties(IviDriverSessionHandle session);
  ViStatus ReadInitialSettings(IviConfigComponentHandle component);
  ViStatus ApplyInitialSettings();
  ViStatus ParseOptionString(std::string_view optionString);
  ViStatus ParseDriverSetup(std::string_view driverSetup);
  ViStatus ApplyDriverSetupOption(std::string_view name, std::string_view value);
  ViStatus ParseInherentOptions(std::string_view options);
  ViStatus ParseOptionBoolean(std::string_view name, std::string_view value, bool& out);
  ViStatus ReadVirtualNames(IviDriverSessionHandle session);
  ViStatus ReadPhysicalNames(IviSoftwareModuleHandle module);

  // Conveniences over the reports, with the message arguments given in place.
  template <class... Args>
  requires(sizeof...(Args) > 0) ViStatus ReportError(ViStatus code, const Args&... args) {
    const MessageArg list[] = {MessageArg(args)...};
    return ReportError(code, std::span<const MessageArg>(list));
  }
  template <class... Args>
  requires(sizeof...(Args) > 0) ViStatus
      ReportErrorWithElaboration(ViStatus code, std::string_view elaboration, const Args&... args) {
    const MessageArg list[] = {MessageArg(args)...};
    return ReportErrorWithElaboration(code, elaboration, std::span<const MessageArg>(list));
  }

  // Framework state reached by the attribute engine and the repeated-capability routines.
  CacheStore& cache() { return cache_; }
  const CacheStore& cache() const { return cache_; }
  std::deque<std::string>& coercionRecords() { return coercionRecords_; }
  std::vector<RepCapName>& repCapNames() { return repCapNames_; }
  bool repCapsRegistered() const { return repCapsRegistered_; }
  // Who holds the lock through LockSession, and the calls inside their bodies.
  SessionGate& gate() { return gate_; }
  void setRepCapsRegistered() { repCapsRegistered_ = true; }

 private:
  void AddVirtualName(const std::string& virtualName, const std::string& physicalName);

  ViSession handle_;
  bool idQuery_ = false;
  InherentFlags flags_;
  InherentFlags initialFlags_;
  ViInt32 openTimeout_;
  ViInt32 selfTestTimeout_;
  ViInt32 resetTimeout_;
  bool interchangeCheckSupported_;
  std::string logicalName_;
  std::string ioResourceDescriptor_;
  std::string driverSetup_;
  std::string instrumentManufacturer_;
  std::string instrumentModel_;
  std::string instrumentSerialNumber_;
  std::string instrumentFirmwareRevision_;
  NameTable inherentOptions_;
  NameTable driverSetupOptions_;
  InitialSettingTable<bool> initialBooleans_;
  InitialSettingTable<ViInt32> initialInt32s_;
  InitialSettingTable<ViReal64> initialReal64s_;
  InitialSettingTable<std::string> initialStrings_;
  NameTable virtualToPhysical_;
  std::map<std::string, std::string> modulePhysicalNames_;
  CacheStore cache_;
  std::deque<std::string> coercionRecords_;
  // This session's physical names of the repeated capability (kept here rather than in a
  // process-wide table, so that sessions on different threads share nothing).
  std::vector<RepCapName> repCapNames_;
  bool repCapsRegistered_ = false;
  SessionGate gate_;
  VisaConnection connection_;
};

}  // namespace kel
