// The attributes of a raw TCP socket, the same on every platform over the socket calls
// each platform makes.
#include "tcp_transport.h"

namespace hnvqr::visa {
namespace {

bool isSocketFlag(ViAttr attribute) {
  return attribute == VI_ATTR_TCPIP_NODELAY || attribute == VI_ATTR_TCPIP_KEEPALIVE;
}

}  // namespace

ViStatus TcpTransport::getAttribute(ViAttr attribute, AttributeValue& value) const {
  const PlainAttribute plain[] = {{.id = VI_ATTR_TCPIP_ADDR, .text = peerAddress_}, {VI_ATTR_TCPIP_PORT, port_}};
  if (copyPlainAttribute(attribute, plain, value)) return VI_SUCCESS;
  if (!isSocketFlag(attribute)) return VI_ERROR_NSUP_ATTR;
  bool on = false;
  if (!readSocketFlag(attribute, on)) return VI_ERROR_SYSTEM_ERROR;
  value.number = on ? VI_TRUE : VI_FALSE;
  return VI_SUCCESS;
}

ViStatus TcpTransport::setAttribute(ViAttr attribute, ViAttrState value) {
  if (!isSocketFlag(attribute)) return VI_ERROR_NSUP_ATTR;
  return writeSocketFlag(attribute, value == VI_TRUE) ? VI_SUCCESS : VI_ERROR_SYSTEM_ERROR;
}

}  // namespace hnvqr::visa
