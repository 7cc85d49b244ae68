// What a serial port does the same way on every platform: END on output, and the
// attributes, over the few things each platform does with the port itself.
#include "serial_transport.h"

namespace hnvqr::visa {

ViStatus SerialTransport::sendEnd(ViByte termChar, const Deadline& deadline) {
  if (endOut_ == VI_ASRL_END_TERMCHAR) {
    std::size_t sent = 0;
    return send(&termChar, 1, &sent, deadline);
  }
  if (endOut_ == VI_ASRL_END_BREAK) return sendBreak();
  return VI_SUCCESS;
}

ViStatus SerialTransport::getAttribute(ViAttr attribute, AttributeValue& value) const {
  const PlainAttribute plain[] = {{VI_ATTR_ASRL_END_IN, endIn_}, {VI_ATTR_ASRL_END_OUT, endOut_}};
  if (copyPlainAttribute(attribute, plain, value)) return VI_SUCCESS;
  ViAttrState number = 0;
  const ViStatus status =
      attribute == VI_ATTR_ASRL_AVAIL_NUM ? bytesWaiting(number) : readLineSetting(attribute, number);
  if (status >= VI_SUCCESS) value.number = number;
  return status;
}

ViStatus SerialTransport::setAttribute(ViAttr attribute, ViAttrState value) {
  switch (attribute) {
    case VI_ATTR_ASRL_END_IN:
      // The ninth data bit has no form in the port settings of either platform.
      if (value != VI_ASRL_END_NONE && value != VI_ASRL_END_TERMCHAR) return VI_ERROR_NSUP_ATTR_STATE;
      endIn_ = static_cast<ViUInt16>(value);
      return VI_SUCCESS;
    case VI_ATTR_ASRL_END_OUT:
      if (value != VI_ASRL_END_NONE && value != VI_ASRL_END_TERMCHAR && value != VI_ASRL_END_BREAK)
        return VI_ERROR_NSUP_ATTR_STATE;
      endOut_ = static_cast<ViUInt16>(value);
      return VI_SUCCESS;
    default:
      return applyLineSetting(attribute, value);
  }
}

}  // namespace hnvqr::visa
