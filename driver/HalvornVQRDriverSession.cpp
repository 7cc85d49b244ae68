#include "HalvornVQRDriverSession.h"

#include <array>

#include <visa.h>

#include "kel/Frame.h"
#include "kel/Status.h"

namespace hnvqr {
namespace {

// Every model is reported in the one family of the driver.
constexpr std::string_view kFamily = "DefaultFamily";

constexpr std::array<ModelRatings, 10> kModels{{
    {"VQR-A1", kFamily, 600, 400, 2.5},
    {"VQR-A2", kFamily, 600, 200, 5},
    {"VQR-A3", kFamily, 600, 100, 10},
    {"VQR-A4", kFamily, 600, 50, 20},
    {"VQR-A5", kFamily, 600, 30, 33},
    {"VQR-B1", kFamily, 1500, 400, 5},
    {"VQR-B2", kFamily, 1500, 200, 10},
    {"VQR-B3", kFamily, 1500, 100, 20},
    {"VQR-B4", kFamily, 1500, 50, 40},
    {"VQR-B6", kFamily, 1500, 30, 33},
}};

// Construction values of the framework: open, self-test and reset time-outs (ms),
// interchange-check support, auxiliary value.
constexpr ViInt32 kOpenTimeoutMs = 2000;
constexpr ViInt32 kSelfTestTimeoutMs = 10000;
constexpr ViInt32 kResetTimeoutMs = 10000;
constexpr bool kInterchangeCheckSupported = false;

// The serial link of the instruments: 57600 baud, 8N1, no flow control, reads end at the
// line feed, nothing appended on write.
struct IoSetting {
  ViAttr attribute;
  ViAttrState value;
};
constexpr IoSetting kSerialSettings[] = {
    {VI_ATTR_ASRL_BAUD, 57600},
    {VI_ATTR_ASRL_FLOW_CNTRL, VI_ASRL_FLOW_NONE},
    {VI_ATTR_ASRL_PARITY, VI_ASRL_PAR_NONE},
    {VI_ATTR_ASRL_DATA_BITS, 8},
    {VI_ATTR_ASRL_STOP_BITS, VI_ASRL_STOP_ONE},
    {VI_ATTR_ASRL_END_IN, VI_ASRL_END_TERMCHAR},
    {VI_ATTR_ASRL_END_OUT, VI_ASRL_END_NONE},
};

}  // namespace

std::span<const ModelRatings> ModelTable() { return kModels; }

HalvornVQRDriverSession::HalvornVQRDriverSession(ViSession handle)
    : kel::DriverSession(handle, kOpenTimeoutMs, kSelfTestTimeoutMs, kResetTimeoutMs, kInterchangeCheckSupported) {}

ViStatus HalvornVQRDriverSession::InitializeIo() {
  ViStatus status = kel::DriverSession::InitializeIo();
  if (status >= 0 && !GetSimulate()) {
    status = viSetAttribute(io(), VI_ATTR_TERMCHAR, '\n');
    if (status >= 0) status = viSetAttribute(io(), VI_ATTR_TERMCHAR_EN, VI_TRUE);
    ViUInt16 interfaceType = 0;
    if (status >= 0) status = viGetAttribute(io(), VI_ATTR_INTF_TYPE, &interfaceType);
    if (status >= 0 && interfaceType == VI_INTF_ASRL) {
      for (const auto& setting : kSerialSettings) {
        status = viSetAttribute(io(), setting.attribute, setting.value);
        if (status < 0) break;
      }
    }
  }
  return status;
}

ViStatus HalvornVQRDriverSession::QueryInstrumentIdentity(std::string& manufacturer, std::string& model,
                                                          std::string& serialNumber, std::string& firmwareRevision) {
  const ViStatus status =
      kel::DriverSession::QueryInstrumentIdentity(manufacturer, model, serialNumber, firmwareRevision);
  if (status < 0) return status;
  for (const auto& row : kModels) {
    if (row.model == model) {
      maximumVoltage_ = row.maximumVoltage;
      maximumCurrent_ = row.maximumCurrent;
      powerRating_ = row.powerRating;
      return status;
    }
  }
  return ReportErrorWithElaboration(kel::status::kCannotRecover, "Unrecognized model: %s", model);
}

}  // namespace hnvqr
