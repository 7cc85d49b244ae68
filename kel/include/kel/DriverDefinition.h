// What the framework needs to know about the concrete driver: its identity constants and
// its tables. The driver defines ThisDriver(); the framework never includes a driver header.
#pragma once

#include <span>
#include <string_view>

#include <visatype.h>

namespace kel {

class AttributeRegistry;
class DriverSession;

struct StatusMessage {
  ViStatus code;
  std::string_view message;
};

struct ModelFamily {
  std::string_view model;
  std::string_view family;
};

struct DriverDefinition {
  std::string_view prefix;
  std::string_view vendor;
  std::string_view description;
  std::string_view revision;
  std::string_view groupCapabilities;
  ViInt32 classSpecMajorVersion;
  ViInt32 classSpecMinorVersion;
  std::string_view defaultModel;
  // Messages of the class's and the driver's own status codes (the IVI ones are the framework's).
  std::span<const StatusMessage> statusMessages;
  const AttributeRegistry& attributes;
  // Model identifier -> family name; its keys are the supported models.
  std::span<const ModelFamily> modelFamilies;
  // The one repeated capability and its physical names, as a selector text.
  std::string_view repCapName;
  std::string_view repCapPhysicalNames;
  // Creates the concrete session object for a new handle.
  DriverSession* (*createSession)(ViSession handle);
};

const DriverDefinition& ThisDriver();

}  // namespace kel
