// The session class of the VQR supply family: the framework's session plus the model ratings,
// with the I/O configuration and the model recognition of these instruments.
#pragma once

#include <span>
#include <string_view>

#include "kel/DriverSession.h"

namespace hnvqr {

// One model of the family: its identifier, the IVI model family it is reported in, and its
// three independent ratings. The emulator keeps its own table (the instrument is no client of
// the driver); a test compares the two row by row.
struct ModelRatings {
  std::string_view model;
  std::string_view family;
  ViReal64 powerRating;     // W
  ViReal64 maximumVoltage;  // V
  ViReal64 maximumCurrent;  // A
};

// The ten models, compared in this order.
std::span<const ModelRatings> ModelTable();

class HalvornVQRDriverSession : public kel::DriverSession {
 public:
  explicit HalvornVQRDriverSession(ViSession handle);

  ViStatus InitializeIo() override;
  ViStatus QueryInstrumentIdentity(std::string& manufacturer, std::string& model, std::string& serialNumber,
                                   std::string& firmwareRevision) override;

  ViReal64 maximumVoltage() const { return maximumVoltage_; }
  ViReal64 maximumCurrent() const { return maximumCurrent_; }
  ViReal64 powerRating() const { return powerRating_; }

 private:
  ViReal64 maximumVoltage_ = 0.0;
  ViReal64 maximumCurrent_ = 0.0;
  ViReal64 powerRating_ = 0.0;
};

}  // namespace hnvqr
