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

// The root of the chain: the two VISA sessions and the I/O operations.
struct IoSession {
  virtual ~IoSession() = default;

  virtual ViStatus InitializeIo() = 0;
  virtual ViStatus CloseIo() = 0;
  virtual ViStatus ClearInstrumentStatus() = 0;
  virtual ViStatus QueryInstrumentIdentity(std::string& manufacturer, std::string& model,
                                           std::string& serialNumber, std::string& firmwareRevision) = 0;
  virtual ViStatus CheckInstrumentStatus() = 0;
  virtual ViStatus Close() = 0;

  ViSession resourceManager = VI_NULL;
  ViSession io = VI_NULL;
};

// The VISA layer: the I/O operations over a VISA instrument session, parameterised on the
// class that derives from it (which supplies the flags, time-outs and error reporting).
template <class Derived>
class VisaSession : public IoSession {
 public:
  ViStatus InitializeIo() override;
  ViStatus CloseIo() override;
  ViStatus ClearInstrumentStatus() override;
  ViStatus QueryInstrumentIdentity(std::string& manufacturer, std::string& model, std::string& serialNumber,
                                   std::string& firmwareRevision) override;
  ViStatus CheckInstrumentStatus() override;
  ViStatus Close() override;

 private:
  Derived& self() { return static_cast<Derived&>(*this); }
};

class DriverSession : public VisaSession<DriverSession> {
 public:
  DriverSession(ViSession handle, ViInt32 openTimeout, ViInt32 selfTestTimeout, ViInt32 resetTimeout,
                bool interchangeCheckSupported, ViInt32 auxiliaryValue);
  ~DriverSession() override;

  // Runs the initialization sequence after the object is bound to its handle.
  ViStatus Initialize(std::string_view resourceName, bool idQuery, bool reset, std::string_view optionString);

  virtual ViSession GetSessionHandle() const;

  virtual bool GetCache() const;
  virtual bool GetInterchangeCheck() const;
  virtual bool GetQueryInstrumentStatus() const;
  virtual bool GetRangeCheck() const;
  virtual bool GetRecordCoercions() const;
  virtual bool GetSimulate() const;
  virtual bool GetInitialCache() const;
  virtual bool GetInitialInterchangeCheck() const;
  virtual bool GetInitialQueryInstrumentStatus() const;
  virtual bool GetInitialRangeCheck() const;
  virtual bool GetInitialRecordCoercions() const;
  virtual bool GetInitialSimulate() const;
  virtual void SetCache(bool on);
  virtual void SetInterchangeCheck(bool on);
  virtual void SetQueryInstrumentStatus(bool on);
  virtual void SetRangeCheck(bool on);
  virtual void SetRecordCoercions(bool on);
  virtual void SetSimulate(bool on);

  virtual const std::string& GetOptionString() const;
  virtual const std::string& GetResourceName() const;
  virtual const std::string& GetLogicalName() const;
  virtual const std::string& GetIoResourceDescriptor() const;
  virtual const std::string& GetDriverSetup() const;
  virtual const std::string& GetInstrumentManufacturer() const;
  virtual const std::string& GetInstrumentModel() const;
  virtual const std::string& GetInstrumentSerialNumber() const;
  virtual const std::string& GetInstrumentFirmwareRevision() const;
  virtual ViInt32 GetOpenTimeout() const;
  virtual ViInt32 GetSelfTestTimeout() const;
  virtual ViInt32 GetResetTimeout() const;
  virtual bool IsInterchangeCheckSupported() const;
  virtual ViInt32 GetAuxiliaryValue() const;

  virtual bool GetDriverSetupOption(std::string_view name, std::string& value) const;
  virtual bool GetInitialSettingBoolean(std::string_view name, bool& value) const;
  virtual bool GetInitialSettingInt32(std::string_view name, ViInt32& value) const;
  virtual bool GetInitialSettingReal64(std::string_view name, ViReal64& value) const;
  virtual bool GetInitialSettingString(std::string_view name, std::string& value) const;
  virtual const InitialSettingTable<bool>& GetInitialSettingBooleanTable() const;
  virtual const InitialSettingTable<ViInt32>& GetInitialSettingInt32Table() const;
  virtual const InitialSettingTable<ViReal64>& GetInitialSettingReal64Table() const;
  virtual const InitialSettingTable<std::string>& GetInitialSettingStringTable() const;
  virtual const NameTable& GetInherentOptionTable() const;
  virtual const NameTable& GetDriverSetupTable() const;
  virtual const NameTable& GetVirtualNameTable() const;
  virtual std::string GetPhysicalName(std::string_view virtualName) const;
  virtual std::string GetVirtualName(std::string_view physicalName) const;

  virtual bool IsModelSupported() const;
  virtual bool IsModelInFamily(std::string_view family) const;
  virtual bool ModelEquals(std::string_view model) const;
  virtual bool ModelBelongsToFamily(std::string_view model, std::string_view family) const;
  virtual ViStatus RestoreInitialOptions();

  virtual ViStatus ReportError(ViStatus code, std::span<const MessageArg> args = {});
  virtual ViStatus ReportErrorWithElaboration(ViStatus code, std::string_view elaboration,
                                              std::span<const MessageArg> args = {});
  virtual ViStatus ReportConfigurationError(ViStatus code);
  virtual void InvalidateAllAttributes();

  virtual ViStatus LoadConfiguration(std::string_view name, std::string_view optionString);
  virtual ViStatus ReadDriverSessionProperties(IviDriverSessionHandle session);
  virtual ViStatus ReadInitialSettings(IviConfigComponentHandle component);
  virtual ViStatus ApplyInitialSettings();
  virtual ViStatus ParseOptionString(std::string_view optionString);
  virtual ViStatus ParseDriverSetup(std::string_view driverSetup);
  virtual ViStatus ApplyDriverSetupOption(std::string_view name, std::string_view value);
  virtual ViStatus ParseInherentOptions(std::string_view options);
  virtual ViStatus ParseOptionBoolean(std::string_view name, std::string_view value, bool& out);
  virtual ViStatus ReadVirtualNames(IviDriverSessionHandle session);
  virtual ViStatus ReadPhysicalNames(IviSoftwareModuleHandle module);

  // Conveniences over the virtual reports, with the message arguments given in place.
  template <class... Args>
    requires(sizeof...(Args) > 0)
  ViStatus ReportError(ViStatus code, const Args&... args) {
    const MessageArg list[] = {MessageArg(args)...};
    return ReportError(code, std::span<const MessageArg>(list));
  }
  template <class... Args>
    requires(sizeof...(Args) > 0)
  ViStatus ReportErrorWithElaboration(ViStatus code, std::string_view elaboration, const Args&... args) {
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
  bool reset_ = false;
  InherentFlags flags_;
  InherentFlags initialFlags_;
  ViInt32 openTimeout_;
  ViInt32 selfTestTimeout_;
  ViInt32 resetTimeout_;
  bool interchangeCheckSupported_;
  ViInt32 auxiliaryValue_;
  std::string optionString_;
  std::string resourceName_;
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
  NameTable physicalToVirtual_;
  std::map<std::string, std::string> modulePhysicalNames_;
  CacheStore cache_;
  std::deque<std::string> coercionRecords_;
  // This session's physical names of the repeated capability (kept here rather than in a
  // process-wide table, so that sessions on different threads share nothing).
  std::vector<RepCapName> repCapNames_;
  bool repCapsRegistered_ = false;
  SessionGate gate_;
};

}  // namespace kel
