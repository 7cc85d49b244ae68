// Serial ports over the Win32 communications API (ASRLn::INSTR is COMn): the port is opened
// exclusively (Windows shares no COM port), settings go through SetCommState and are read
// back with GetCommState. Reads and writes are bounded by SetCommTimeouts in short slices,
// so that interrupt() is seen within one slice.
#include "serial_transport.h"

#include <windows.h>

#include <algorithm>

namespace hnvqr::visa {
namespace {

// The longest single wait: how soon a close in another thread is noticed.
constexpr DWORD kSliceMs = 100;

HANDLE native(PortHandle handle) { return static_cast<HANDLE>(handle); }

// The next wait: a slice, or what is left of the deadline when that is shorter.
DWORD nextWait(const Deadline& deadline) {
  if (deadline.infinite()) return kSliceMs;
  return static_cast<DWORD>(std::min<long long>(deadline.pollTimeout(), kSliceMs));
}

// The DCB form of one VISA setting, written into `settings`.
ViStatus encodeSetting(ViAttr attribute, ViAttrState value, DCB& settings) {
  switch (attribute) {
    case VI_ATTR_ASRL_BAUD:
      if (value == 0 || value > 4000000) return VI_ERROR_NSUP_ATTR_STATE;
      settings.BaudRate = static_cast<DWORD>(value);
      return VI_SUCCESS;
    case VI_ATTR_ASRL_DATA_BITS:
      if (value < 5 || value > 8) return VI_ERROR_NSUP_ATTR_STATE;
      settings.ByteSize = static_cast<BYTE>(value);
      return VI_SUCCESS;
    case VI_ATTR_ASRL_PARITY:
      switch (value) {
        case VI_ASRL_PAR_NONE:
          settings.Parity = NOPARITY;
          break;
        case VI_ASRL_PAR_ODD:
          settings.Parity = ODDPARITY;
          break;
        case VI_ASRL_PAR_EVEN:
          settings.Parity = EVENPARITY;
          break;
        case VI_ASRL_PAR_MARK:
          settings.Parity = MARKPARITY;
          break;
        case VI_ASRL_PAR_SPACE:
          settings.Parity = SPACEPARITY;
          break;
        default:
          return VI_ERROR_NSUP_ATTR_STATE;
      }
      settings.fParity = value == VI_ASRL_PAR_NONE ? FALSE : TRUE;
      return VI_SUCCESS;
    case VI_ATTR_ASRL_STOP_BITS:
      switch (value) {
        case VI_ASRL_STOP_ONE:
          settings.StopBits = ONESTOPBIT;
          break;
        case VI_ASRL_STOP_ONE5:
          settings.StopBits = ONE5STOPBITS;
          break;
        case VI_ASRL_STOP_TWO:
          settings.StopBits = TWOSTOPBITS;
          break;
        default:
          return VI_ERROR_NSUP_ATTR_STATE;
      }
      return VI_SUCCESS;
    case VI_ATTR_ASRL_FLOW_CNTRL: {
      const ViAttrState known = VI_ASRL_FLOW_XON_XOFF | VI_ASRL_FLOW_RTS_CTS | VI_ASRL_FLOW_DTR_DSR;
      if ((value & ~known) != 0) return VI_ERROR_NSUP_ATTR_STATE;
      const bool xon = (value & VI_ASRL_FLOW_XON_XOFF) != 0;
      const bool rts = (value & VI_ASRL_FLOW_RTS_CTS) != 0;
      const bool dtr = (value & VI_ASRL_FLOW_DTR_DSR) != 0;
      settings.fOutX = settings.fInX = xon ? TRUE : FALSE;
      settings.fOutxCtsFlow = rts ? TRUE : FALSE;
      settings.fRtsControl = rts ? RTS_CONTROL_HANDSHAKE : RTS_CONTROL_ENABLE;
      settings.fOutxDsrFlow = dtr ? TRUE : FALSE;
      settings.fDtrControl = dtr ? DTR_CONTROL_HANDSHAKE : DTR_CONTROL_ENABLE;
      return VI_SUCCESS;
    }
    default:
      return VI_ERROR_NSUP_ATTR;
  }
}

// The VISA value of one setting as the port has it.
ViStatus decodeSetting(ViAttr attribute, const DCB& settings, ViAttrState& value) {
  switch (attribute) {
    case VI_ATTR_ASRL_BAUD:
      value = settings.BaudRate;
      return VI_SUCCESS;
    case VI_ATTR_ASRL_DATA_BITS:
      value = settings.ByteSize;
      return VI_SUCCESS;
    case VI_ATTR_ASRL_PARITY:
      switch (settings.Parity) {
        case ODDPARITY:
          value = VI_ASRL_PAR_ODD;
          break;
        case EVENPARITY:
          value = VI_ASRL_PAR_EVEN;
          break;
        case MARKPARITY:
          value = VI_ASRL_PAR_MARK;
          break;
        case SPACEPARITY:
          value = VI_ASRL_PAR_SPACE;
          break;
        default:
          value = VI_ASRL_PAR_NONE;
          break;
      }
      return VI_SUCCESS;
    case VI_ATTR_ASRL_STOP_BITS:
      value = settings.StopBits == TWOSTOPBITS    ? VI_ASRL_STOP_TWO
              : settings.StopBits == ONE5STOPBITS ? VI_ASRL_STOP_ONE5
                                                  : VI_ASRL_STOP_ONE;
      return VI_SUCCESS;
    case VI_ATTR_ASRL_FLOW_CNTRL:
      value = (settings.fOutX && settings.fInX ? VI_ASRL_FLOW_XON_XOFF : 0) |
              (settings.fOutxCtsFlow ? VI_ASRL_FLOW_RTS_CTS : 0) | (settings.fOutxDsrFlow ? VI_ASRL_FLOW_DTR_DSR : 0);
      return VI_SUCCESS;
    default:
      return VI_ERROR_NSUP_ATTR;
  }
}

bool readState(HANDLE port, DCB& settings) {
  settings = DCB{};
  settings.DCBlength = sizeof settings;
  return ::GetCommState(port, &settings) != 0;
}

// Reads return as soon as one byte is there, or after `waitMs`; writes end within `waitMs`.
bool setWait(HANDLE port, DWORD waitMs) {
  COMMTIMEOUTS timeouts{};
  timeouts.ReadIntervalTimeout = MAXDWORD;
  timeouts.ReadTotalTimeoutMultiplier = waitMs == 0 ? 0 : MAXDWORD;
  timeouts.ReadTotalTimeoutConstant = waitMs;
  timeouts.WriteTotalTimeoutConstant = waitMs == 0 ? 1 : waitMs;
  return ::SetCommTimeouts(port, &timeouts) != 0;
}

// A port whose device went away answers with one of these.
bool isConnectionLoss(DWORD error) {
  return error == ERROR_DEVICE_REMOVED || error == ERROR_BAD_COMMAND || error == ERROR_OPERATION_ABORTED ||
         error == ERROR_GEN_FAILURE || error == ERROR_INVALID_HANDLE;
}

}  // namespace

std::string SerialTransport::devicePathOfBoard(unsigned board) { return "\\\\.\\COM" + std::to_string(board); }

ViStatus SerialTransport::open(const std::string& devicePath, std::unique_ptr<Transport>& opened) {
  if (devicePath.empty()) return VI_ERROR_RSRC_NFOUND;
  HANDLE port = ::CreateFileA(devicePath.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr);
  if (port == INVALID_HANDLE_VALUE) {
    const DWORD error = ::GetLastError();
    if (error == ERROR_ACCESS_DENIED || error == ERROR_SHARING_VIOLATION) return VI_ERROR_RSRC_BUSY;
    if (error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND) return VI_ERROR_RSRC_NFOUND;
    return VI_ERROR_SYSTEM_ERROR;
  }
  std::unique_ptr<SerialTransport> transport(new SerialTransport(port, nullptr));  // closes it on failure
  DCB settings{};
  if (!readState(port, settings)) return VI_ERROR_RSRC_NFOUND;  // not a serial port
  settings.fBinary = TRUE;
  settings.fNull = FALSE;
  settings.fErrorChar = FALSE;
  settings.fAbortOnError = FALSE;
  settings.fDsrSensitivity = FALSE;
  // Serial defaults: 9600 baud, 8 data bits, no parity, one stop bit, no flow control.
  encodeSetting(VI_ATTR_ASRL_BAUD, 9600, settings);
  encodeSetting(VI_ATTR_ASRL_DATA_BITS, 8, settings);
  encodeSetting(VI_ATTR_ASRL_PARITY, VI_ASRL_PAR_NONE, settings);
  encodeSetting(VI_ATTR_ASRL_STOP_BITS, VI_ASRL_STOP_ONE, settings);
  encodeSetting(VI_ATTR_ASRL_FLOW_CNTRL, VI_ASRL_FLOW_NONE, settings);
  if (!::SetCommState(port, &settings) || !setWait(port, 0)) return VI_ERROR_SYSTEM_ERROR;
  ::PurgeComm(port, PURGE_RXCLEAR | PURGE_TXCLEAR);
  opened = std::move(transport);
  return VI_SUCCESS;
}

SerialTransport::~SerialTransport() { ::CloseHandle(native(fd_)); }

void SerialTransport::interrupt() { interrupted_ = true; }

ViStatus SerialTransport::applyLineSetting(ViAttr attribute, ViAttrState value) {
  DCB before{};
  if (!readState(native(fd_), before)) return VI_ERROR_SYSTEM_ERROR;
  DCB wanted = before;
  if (const ViStatus status = encodeSetting(attribute, value, wanted); status < VI_SUCCESS) return status;
  if (!::SetCommState(native(fd_), &wanted)) return VI_ERROR_NSUP_ATTR_STATE;
  // The port decides what it really keeps.
  DCB applied{};
  ViAttrState readBack = 0;
  if (!readState(native(fd_), applied) || decodeSetting(attribute, applied, readBack) < VI_SUCCESS ||
      readBack != value) {
    ::SetCommState(native(fd_), &before);
    return VI_ERROR_NSUP_ATTR_STATE;
  }
  return VI_SUCCESS;
}

ViStatus SerialTransport::receive(ViByte* buffer, std::size_t capacity, std::size_t* received,
                                  const Deadline& deadline) {
  *received = 0;
  const DWORD want = capacity > 0x7FFFFFFF ? 0x7FFFFFFF : static_cast<DWORD>(capacity);
  for (;;) {
    if (interrupted_) return VI_ERROR_CONN_LOST;  // the session is being closed
    if (!setWait(native(fd_), nextWait(deadline))) return VI_ERROR_SYSTEM_ERROR;
    DWORD n = 0;
    if (!::ReadFile(native(fd_), buffer, want, &n, nullptr))
      return isConnectionLoss(::GetLastError()) ? VI_ERROR_CONN_LOST : VI_ERROR_IO;
    if (n > 0) {
      *received = n;
      return VI_SUCCESS;
    }
    if (deadline.expired()) return VI_ERROR_TMO;
  }
}

ViStatus SerialTransport::send(const ViByte* data, std::size_t length, std::size_t* sent, const Deadline& deadline) {
  *sent = 0;
  while (*sent < length) {
    if (interrupted_) return VI_ERROR_CONN_LOST;
    if (!setWait(native(fd_), nextWait(deadline))) return VI_ERROR_SYSTEM_ERROR;
    const std::size_t left = length - *sent;
    DWORD n = 0;
    if (!::WriteFile(native(fd_), data + *sent, left > 0x7FFFFFFF ? 0x7FFFFFFF : static_cast<DWORD>(left), &n, nullptr))
      return isConnectionLoss(::GetLastError()) ? VI_ERROR_CONN_LOST : VI_ERROR_IO;
    *sent += n;
    if (n == 0 && deadline.expired()) return VI_ERROR_TMO;
  }
  return VI_SUCCESS;
}

ViStatus SerialTransport::sendEnd(ViByte termChar, const Deadline& deadline) {
  if (endOut_ == VI_ASRL_END_TERMCHAR) {
    std::size_t sent = 0;
    return send(&termChar, 1, &sent, deadline);
  }
  if (endOut_ == VI_ASRL_END_BREAK) {
    if (!::SetCommBreak(native(fd_))) return VI_ERROR_IO;
    ::Sleep(1);
    return ::ClearCommBreak(native(fd_)) ? VI_SUCCESS : VI_ERROR_IO;
  }
  return VI_SUCCESS;
}

ViStatus SerialTransport::getAttribute(ViAttr attribute, AttributeValue& value) const {
  switch (attribute) {
    case VI_ATTR_ASRL_END_IN:
      value.number = endIn_;
      return VI_SUCCESS;
    case VI_ATTR_ASRL_END_OUT:
      value.number = endOut_;
      return VI_SUCCESS;
    case VI_ATTR_ASRL_AVAIL_NUM: {
      COMSTAT status{};
      DWORD errors = 0;
      if (!::ClearCommError(native(fd_), &errors, &status)) return VI_ERROR_SYSTEM_ERROR;
      value.number = status.cbInQue;
      return VI_SUCCESS;
    }
    default: {
      DCB settings{};
      ViAttrState number = 0;
      const ViStatus status =
          readState(native(fd_), settings) ? decodeSetting(attribute, settings, number) : VI_ERROR_SYSTEM_ERROR;
      if (status >= VI_SUCCESS) value.number = number;
      return status;
    }
  }
}

ViStatus SerialTransport::setAttribute(ViAttr attribute, ViAttrState value) {
  switch (attribute) {
    case VI_ATTR_ASRL_END_IN:
      // The ninth data bit has no form in the communications API.
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
