// Serial ports over the Win32 communications API (ASRLn::INSTR is COMn): the port is opened
// exclusively (Windows shares no COM port), settings go through SetCommState and are read
// back with GetCommState. Reads and writes are bounded by SetCommTimeouts in short slices,
// so that interrupt() is seen within one slice.
#include "serial_transport.h"

#include <windows.h>

#include <algorithm>
#include <span>

#include "serial_line.h"

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

// A VISA value and its DCB form.
struct Coding {
  ViUInt16 visa;
  BYTE dcb;
};
constexpr Coding kParities[] = {{VI_ASRL_PAR_NONE, NOPARITY},
                                {VI_ASRL_PAR_ODD, ODDPARITY},
                                {VI_ASRL_PAR_EVEN, EVENPARITY},
                                {VI_ASRL_PAR_MARK, MARKPARITY},
                                {VI_ASRL_PAR_SPACE, SPACEPARITY}};
constexpr Coding kStopBits[] = {
    {VI_ASRL_STOP_ONE, ONESTOPBIT}, {VI_ASRL_STOP_ONE5, ONE5STOPBITS}, {VI_ASRL_STOP_TWO, TWOSTOPBITS}};

// Writes the DCB form of `value` into `field`; false (and `field` kept) when none of
// `codings` has it.
bool encodeCoded(std::span<const Coding> codings, ViAttrState value, BYTE& field) {
  for (const Coding& coding : codings) {
    if (coding.visa == value) {
      field = coding.dcb;
      return true;
    }
  }
  return false;
}

// The VISA value of a DCB field, `unknown` for a form none of `codings` has.
ViAttrState decodeCoded(std::span<const Coding> codings, BYTE field, ViUInt16 unknown) {
  for (const Coding& coding : codings) {
    if (coding.dcb == field) return coding.visa;
  }
  return unknown;
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
      if (!encodeCoded(kParities, value, settings.Parity)) return VI_ERROR_NSUP_ATTR_STATE;
      settings.fParity = value == VI_ASRL_PAR_NONE ? FALSE : TRUE;
      return VI_SUCCESS;
    case VI_ATTR_ASRL_STOP_BITS:
      return encodeCoded(kStopBits, value, settings.StopBits) ? VI_SUCCESS : VI_ERROR_NSUP_ATTR_STATE;
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
      value = decodeCoded(kParities, settings.Parity, VI_ASRL_PAR_NONE);
      return VI_SUCCESS;
    case VI_ATTR_ASRL_STOP_BITS:
      value = decodeCoded(kStopBits, settings.StopBits, VI_ASRL_STOP_ONE);
      return VI_SUCCESS;
    case VI_ATTR_ASRL_FLOW_CNTRL:
      value = (settings.fOutX && settings.fInX ? VI_ASRL_FLOW_XON_XOFF : 0) |
              (settings.fOutxCtsFlow ? VI_ASRL_FLOW_RTS_CTS : 0) | (settings.fOutxDsrFlow ? VI_ASRL_FLOW_DTR_DSR : 0);
      return VI_SUCCESS;
    default:
      return VI_ERROR_NSUP_ATTR;
  }
}

bool readState(PortHandle port, DCB& settings) {
  settings = DCB{};
  settings.DCBlength = sizeof settings;
  return ::GetCommState(native(port), &settings) != 0;
}

bool writeState(PortHandle port, const DCB& settings) {
  DCB copy = settings;  // SetCommState takes it by a pointer to non-const
  return ::SetCommState(native(port), &copy) != 0;
}

constexpr LineSettingsApi<DCB> kCommState{readState, writeState, encodeSetting, decodeSetting};

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
  encodeLineDefaults(kCommState, settings);
  if (!writeState(port, settings) || !setWait(port, 0)) return VI_ERROR_SYSTEM_ERROR;
  ::PurgeComm(port, PURGE_RXCLEAR | PURGE_TXCLEAR);
  opened = std::move(transport);
  return VI_SUCCESS;
}

SerialTransport::~SerialTransport() { ::CloseHandle(native(fd_)); }

void SerialTransport::interrupt() { interrupted_ = true; }

ViStatus SerialTransport::applyLineSetting(ViAttr attribute, ViAttrState value) {
  // The port decides what it really keeps: it is read back.
  return applyPortSetting(kCommState, fd_, attribute, value);
}

ViStatus SerialTransport::readLineSetting(ViAttr attribute, ViAttrState& value) const {
  return readPortSetting(kCommState, fd_, attribute, value);
}

ViStatus SerialTransport::bytesWaiting(ViAttrState& count) const {
  COMSTAT status{};
  DWORD errors = 0;
  if (!::ClearCommError(native(fd_), &errors, &status)) return VI_ERROR_SYSTEM_ERROR;
  count = status.cbInQue;
  return VI_SUCCESS;
}

ViStatus SerialTransport::sendBreak() {
  if (!::SetCommBreak(native(fd_))) return VI_ERROR_IO;
  ::Sleep(1);
  return ::ClearCommBreak(native(fd_)) ? VI_SUCCESS : VI_ERROR_IO;
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

}  // namespace hnvqr::visa
