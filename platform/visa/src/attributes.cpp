#include "attributes.h"

#include <algorithm>
#include <array>
#include <cstring>

namespace hnvqr::visa {
namespace {

constexpr std::array kAttributes{
    AttributeInfo{VI_ATTR_RSRC_CLASS, AttributeKind::Text, true},
    AttributeInfo{VI_ATTR_RSRC_NAME, AttributeKind::Text, true},
    AttributeInfo{VI_ATTR_SEND_END_EN, AttributeKind::Boolean, false},
    AttributeInfo{VI_ATTR_TERMCHAR, AttributeKind::UInt8, false},
    AttributeInfo{VI_ATTR_TMO_VALUE, AttributeKind::UInt32, false},
    AttributeInfo{VI_ATTR_ASRL_BAUD, AttributeKind::UInt32, false},
    AttributeInfo{VI_ATTR_ASRL_DATA_BITS, AttributeKind::UInt16, false},
    AttributeInfo{VI_ATTR_ASRL_PARITY, AttributeKind::UInt16, false},
    AttributeInfo{VI_ATTR_ASRL_STOP_BITS, AttributeKind::UInt16, false},
    AttributeInfo{VI_ATTR_ASRL_FLOW_CNTRL, AttributeKind::UInt16, false},
    AttributeInfo{VI_ATTR_RD_BUF_OPER_MODE, AttributeKind::UInt16, false},
    AttributeInfo{VI_ATTR_WR_BUF_OPER_MODE, AttributeKind::UInt16, false},
    AttributeInfo{VI_ATTR_SUPPRESS_END_EN, AttributeKind::Boolean, false},
    AttributeInfo{VI_ATTR_TERMCHAR_EN, AttributeKind::Boolean, false},
    AttributeInfo{VI_ATTR_ASRL_AVAIL_NUM, AttributeKind::UInt32, true},
    AttributeInfo{VI_ATTR_ASRL_END_IN, AttributeKind::UInt16, false},
    AttributeInfo{VI_ATTR_ASRL_END_OUT, AttributeKind::UInt16, false},
    AttributeInfo{VI_ATTR_INTF_TYPE, AttributeKind::UInt16, true},
    AttributeInfo{VI_ATTR_INTF_NUM, AttributeKind::UInt16, true},
    AttributeInfo{VI_ATTR_TCPIP_ADDR, AttributeKind::Text, true},
    AttributeInfo{VI_ATTR_TCPIP_PORT, AttributeKind::UInt16, true},
    AttributeInfo{VI_ATTR_TCPIP_NODELAY, AttributeKind::Boolean, false},
    AttributeInfo{VI_ATTR_TCPIP_KEEPALIVE, AttributeKind::Boolean, false},
    AttributeInfo{VI_ATTR_RSRC_IMPL_VERSION, AttributeKind::UInt32, true},
    AttributeInfo{VI_ATTR_RSRC_LOCK_STATE, AttributeKind::UInt32, true},
    AttributeInfo{VI_ATTR_RSRC_SPEC_VERSION, AttributeKind::UInt32, true},
    AttributeInfo{VI_ATTR_RSRC_MANF_NAME, AttributeKind::Text, true},
};

// Versions as VISA writes them: major in the top 12 bits, minor in the next 8, the rest
// below. The VISA version followed is 5.8.
constexpr ViUInt32 kImplementationVersion = 0x00100000;
constexpr ViUInt32 kSpecificationVersion = 0x00500800;
constexpr const char* kManufacturerName = "HnVQR libhnvisa";
constexpr PlainAttribute kLibraryAttributes[] = {
    {VI_ATTR_RSRC_IMPL_VERSION, kImplementationVersion},
    {VI_ATTR_RSRC_SPEC_VERSION, kSpecificationVersion},
    {.id = VI_ATTR_RSRC_MANF_NAME, .text = kManufacturerName},
};

constexpr std::size_t kTextAttributeCapacity = 256;

}  // namespace

const AttributeInfo* findAttribute(ViAttr id) {
  const auto* found =
      std::find_if(kAttributes.begin(), kAttributes.end(), [id](const AttributeInfo& info) { return info.id == id; });
  return found == kAttributes.end() ? nullptr : found;
}

bool copyPlainAttribute(ViAttr id, std::span<const PlainAttribute> plain, AttributeValue& value) {
  const auto found =
      std::find_if(plain.begin(), plain.end(), [id](const PlainAttribute& entry) { return entry.id == id; });
  if (found == plain.end()) return false;
  if (found->text)
    value.text = *found->text;
  else
    value.number = found->number;
  return true;
}

bool libraryAttribute(ViAttr id, AttributeValue& value) { return copyPlainAttribute(id, kLibraryAttributes, value); }

ViStatus checkValueFitsKind(AttributeKind kind, ViAttrState value) {
  switch (kind) {
    case AttributeKind::UInt8:
      return value <= 0xFFu ? VI_SUCCESS : VI_ERROR_NSUP_ATTR_STATE;
    case AttributeKind::UInt16:
      return value <= 0xFFFFu ? VI_SUCCESS : VI_ERROR_NSUP_ATTR_STATE;
    case AttributeKind::UInt32:
      return value <= 0xFFFFFFFFu ? VI_SUCCESS : VI_ERROR_NSUP_ATTR_STATE;
    case AttributeKind::Boolean:
      return value == VI_TRUE || value == VI_FALSE ? VI_SUCCESS : VI_ERROR_NSUP_ATTR_STATE;
    case AttributeKind::Text:
      return VI_ERROR_ATTR_READONLY;
  }
  return VI_ERROR_NSUP_ATTR_STATE;
}

void storeAttributeValue(AttributeKind kind, const AttributeValue& value, void* destination) {
  switch (kind) {
    case AttributeKind::UInt8: {
      const auto v = static_cast<ViUInt8>(value.number);
      std::memcpy(destination, &v, sizeof v);
      break;
    }
    case AttributeKind::UInt16:
    case AttributeKind::Boolean: {
      const auto v = static_cast<ViUInt16>(value.number);
      std::memcpy(destination, &v, sizeof v);
      break;
    }
    case AttributeKind::UInt32: {
      const auto v = static_cast<ViUInt32>(value.number);
      std::memcpy(destination, &v, sizeof v);
      break;
    }
    case AttributeKind::Text: {
      const std::size_t length = std::min(value.text.size(), kTextAttributeCapacity - 1);
      auto* out = static_cast<char*>(destination);
      std::memcpy(out, value.text.data(), length);
      out[length] = '\0';
      break;
    }
  }
}

}  // namespace hnvqr::visa
