// Parsing of VISA resource names into what a transport needs to open them.
#ifndef HNVISA_RESOURCE_NAME_H
#define HNVISA_RESOURCE_NAME_H

#include <string>
#include <string_view>

#include "visa.h"

namespace hnvqr::visa {

enum class ResourceKind {
  TcpipSocket,  // TCPIP[board]::host::port::SOCKET
  TcpipInstr,   // TCPIP[board]::host[::device][::INSTR], VXI-11
  Serial,       // ASRL[board][::INSTR] or ASRL/dev/path[::INSTR]
  Usb,          // USB[board]::vid::pid::serial[::interface]::INSTR (USB-TMC); RAW has no transport
  Gpib,         // GPIB...: no transport yet
  Replay,       // REPLAY::file[::speed]::INSTR: a recorded trace played back as the instrument
};

struct ResourceName {
  ResourceKind kind = ResourceKind::TcpipSocket;
  ViUInt16 board = 0;
  std::string host;        // TCPIP forms, case kept
  ViUInt16 port = 0;       // SOCKET form
  std::string lanDevice;   // INSTR form: the VXI-11 device name ("inst0" by default)
  ViUInt16 usbVendor = 0;  // USB forms
  ViUInt16 usbProduct = 0;
  std::string usbSerial;
  int usbInterface = -1;      // -1 when not given
  std::string devicePath;     // Serial: the device to open ("" for ASRL0, which has none)
  std::string replayFile;     // Replay: the trace file, case kept
  double replaySpeed = 1.0;   // Replay: factor on the recorded timing, 0 for none
  std::string canonical;      // VI_ATTR_RSRC_NAME
  std::string resourceClass;  // VI_ATTR_RSRC_CLASS
};

// VI_ATTR_INTF_TYPE of a resource of this kind.
inline ViUInt16 interfaceTypeOf(ResourceKind kind) {
  switch (kind) {
    case ResourceKind::Serial:
      return VI_INTF_ASRL;
    case ResourceKind::Usb:
      return VI_INTF_USB;
    case ResourceKind::Gpib:
      return VI_INTF_GPIB;
    case ResourceKind::TcpipSocket:
    case ResourceKind::TcpipInstr:
    case ResourceKind::Replay:
      break;
  }
  return VI_INTF_TCPIP;
}

// VI_SUCCESS or VI_ERROR_INV_RSRC_NAME. Keywords match ignoring case.
ViStatus parseResourceName(std::string_view text, ResourceName& parsed);

}  // namespace hnvqr::visa

#endif
