#include "serial_transport.h"

#include <array>
#include <cstdint>
#include <cerrno>
#include <fcntl.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

#include "serial_line.h"

namespace hnvqr::visa {
namespace {

struct BaudRate {
  ViUInt32 bitsPerSecond;
  speed_t speed;
};

constexpr std::array kBaudRates{
    BaudRate{50, B50},           BaudRate{75, B75},           BaudRate{110, B110},         BaudRate{134, B134},
    BaudRate{150, B150},         BaudRate{200, B200},         BaudRate{300, B300},         BaudRate{600, B600},
    BaudRate{1200, B1200},       BaudRate{1800, B1800},       BaudRate{2400, B2400},       BaudRate{4800, B4800},
    BaudRate{9600, B9600},       BaudRate{19200, B19200},     BaudRate{38400, B38400},     BaudRate{57600, B57600},
    BaudRate{115200, B115200},   BaudRate{230400, B230400},   BaudRate{460800, B460800},   BaudRate{500000, B500000},
    BaudRate{576000, B576000},   BaudRate{921600, B921600},   BaudRate{1000000, B1000000}, BaudRate{1152000, B1152000},
    BaudRate{1500000, B1500000}, BaudRate{2000000, B2000000}, BaudRate{2500000, B2500000}, BaudRate{3000000, B3000000},
    BaudRate{3500000, B3500000}, BaudRate{4000000, B4000000},
};

struct DataBits {
  ViUInt16 bits;
  tcflag_t size;
};
constexpr std::array kDataBits{DataBits{5, CS5}, DataBits{6, CS6}, DataBits{7, CS7}, DataBits{8, CS8}};

bool readTermios(int fd, termios& settings) { return ::tcgetattr(fd, &settings) == 0; }
bool writeTermios(int fd, const termios& settings) { return ::tcsetattr(fd, TCSANOW, &settings) == 0; }

// The termios form of one VISA setting, written into `settings`.
ViStatus encodeSetting(ViAttr attribute, ViAttrState value, termios& settings) {
  switch (attribute) {
    case VI_ATTR_ASRL_BAUD:
      for (const BaudRate& rate : kBaudRates) {
        if (rate.bitsPerSecond == value) {
          ::cfsetispeed(&settings, rate.speed);
          ::cfsetospeed(&settings, rate.speed);
          return VI_SUCCESS;
        }
      }
      return VI_ERROR_NSUP_ATTR_STATE;
    case VI_ATTR_ASRL_DATA_BITS:
      for (const DataBits& bits : kDataBits) {
        if (bits.bits == value) {
          settings.c_cflag = (settings.c_cflag & ~CSIZE) | bits.size;
          return VI_SUCCESS;
        }
      }
      return VI_ERROR_NSUP_ATTR_STATE;
    case VI_ATTR_ASRL_PARITY: {
      tcflag_t parity = 0;
      switch (value) {
        case VI_ASRL_PAR_NONE:
          parity = 0;
          break;
        case VI_ASRL_PAR_ODD:
          parity = PARENB | PARODD;
          break;
        case VI_ASRL_PAR_EVEN:
          parity = PARENB;
          break;
        case VI_ASRL_PAR_MARK:
          parity = PARENB | PARODD | CMSPAR;
          break;
        case VI_ASRL_PAR_SPACE:
          parity = PARENB | CMSPAR;
          break;
        default:
          return VI_ERROR_NSUP_ATTR_STATE;
      }
      settings.c_cflag = (settings.c_cflag & ~(PARENB | PARODD | CMSPAR)) | parity;
      return VI_SUCCESS;
    }
    case VI_ATTR_ASRL_STOP_BITS:
      if (value == VI_ASRL_STOP_ONE) {
        settings.c_cflag &= ~CSTOPB;
      } else if (value == VI_ASRL_STOP_TWO) {
        settings.c_cflag |= CSTOPB;
      } else {
        return VI_ERROR_NSUP_ATTR_STATE;  // 1.5 stop bits have no termios form
      }
      return VI_SUCCESS;
    case VI_ATTR_ASRL_FLOW_CNTRL:
      if ((value & ~static_cast<ViAttrState>(VI_ASRL_FLOW_XON_XOFF | VI_ASRL_FLOW_RTS_CTS)) != 0)
        return VI_ERROR_NSUP_ATTR_STATE;  // DTR/DSR has no termios form
      settings.c_iflag &= ~(IXON | IXOFF | IXANY);
      settings.c_cflag &= ~CRTSCTS;
      if (value & VI_ASRL_FLOW_XON_XOFF) settings.c_iflag |= IXON | IXOFF;
      if (value & VI_ASRL_FLOW_RTS_CTS) settings.c_cflag |= CRTSCTS;
      return VI_SUCCESS;
    default:
      return VI_ERROR_NSUP_ATTR;
  }
}

// The VISA value of one setting as the port has it.
ViStatus decodeSetting(ViAttr attribute, const termios& settings, ViAttrState& value) {
  switch (attribute) {
    case VI_ATTR_ASRL_BAUD: {
      const speed_t speed = ::cfgetospeed(&settings);
      for (const BaudRate& rate : kBaudRates) {
        if (rate.speed == speed) {
          value = rate.bitsPerSecond;
          return VI_SUCCESS;
        }
      }
      value = 0;
      return VI_SUCCESS;
    }
    case VI_ATTR_ASRL_DATA_BITS:
      for (const DataBits& bits : kDataBits) {
        if ((settings.c_cflag & CSIZE) == bits.size) value = bits.bits;
      }
      return VI_SUCCESS;
    case VI_ATTR_ASRL_PARITY: {
      const tcflag_t flags = settings.c_cflag;
      if (!(flags & PARENB))
        value = VI_ASRL_PAR_NONE;
      else if (flags & CMSPAR)
        value = (flags & PARODD) ? VI_ASRL_PAR_MARK : VI_ASRL_PAR_SPACE;
      else
        value = (flags & PARODD) ? VI_ASRL_PAR_ODD : VI_ASRL_PAR_EVEN;
      return VI_SUCCESS;
    }
    case VI_ATTR_ASRL_STOP_BITS:
      value = (settings.c_cflag & CSTOPB) ? VI_ASRL_STOP_TWO : VI_ASRL_STOP_ONE;
      return VI_SUCCESS;
    case VI_ATTR_ASRL_FLOW_CNTRL:
      value = ((settings.c_iflag & IXON) && (settings.c_iflag & IXOFF) ? VI_ASRL_FLOW_XON_XOFF : 0) |
              ((settings.c_cflag & CRTSCTS) ? VI_ASRL_FLOW_RTS_CTS : 0);
      return VI_SUCCESS;
    default:
      return VI_ERROR_NSUP_ATTR;
  }
}

constexpr LineSettingsApi<termios> kTermios{readTermios, writeTermios, encodeSetting, decodeSetting};

}  // namespace

std::string SerialTransport::devicePathOfBoard(unsigned board) { return "/dev/ttyS" + std::to_string(board - 1); }

ViStatus SerialTransport::open(const std::string& devicePath, std::unique_ptr<Transport>& opened) {
  if (devicePath.empty()) return VI_ERROR_RSRC_NFOUND;
  const int fd = ::open(devicePath.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0) {
    if (errno == ENOENT || errno == ENODEV || errno == ENXIO || errno == ENOTDIR) return VI_ERROR_RSRC_NFOUND;
    if (errno == EBUSY) return VI_ERROR_RSRC_BUSY;
    return VI_ERROR_SYSTEM_ERROR;
  }
  const int wakeFd = ::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
  if (wakeFd < 0) {
    ::close(fd);
    return VI_ERROR_SYSTEM_ERROR;
  }
  std::unique_ptr<SerialTransport> port(new SerialTransport(fd, wakeFd));  // closes both on failure below
  if (::flock(fd, LOCK_EX | LOCK_NB) != 0) return errno == EWOULDBLOCK ? VI_ERROR_RSRC_BUSY : VI_ERROR_SYSTEM_ERROR;
  termios settings{};
  if (!readTermios(fd, settings)) return VI_ERROR_RSRC_NFOUND;  // not a terminal
  ::cfmakeraw(&settings);
  settings.c_cflag |= CLOCAL | CREAD;
  settings.c_cc[VMIN] = 0;
  settings.c_cc[VTIME] = 0;
  encodeLineDefaults(kTermios, settings);
  if (!writeTermios(fd, settings)) return VI_ERROR_SYSTEM_ERROR;
  ::tcflush(fd, TCIOFLUSH);
  opened = std::move(port);
  return VI_SUCCESS;
}

SerialTransport::~SerialTransport() {
  ::close(fd_);  // also releases the flock
  ::close(wakeFd_);
}

void SerialTransport::interrupt() {
  const std::uint64_t one = 1;
  [[maybe_unused]] const ssize_t written = ::write(wakeFd_, &one, sizeof one);
}

ViStatus SerialTransport::waitFor(short events, const Deadline& deadline) const {
  for (;;) {
    pollfd p[2] = {{fd_, events, 0}, {wakeFd_, POLLIN, 0}};
    const int ready = ::poll(p, 2, deadline.pollTimeout());
    if (ready < 0 && errno == EINTR) continue;
    if (ready == 0) return VI_ERROR_TMO;
    if (ready < 0) return VI_ERROR_SYSTEM_ERROR;
    if (p[1].revents & POLLIN) return VI_ERROR_CONN_LOST;  // the session is being closed
    if ((p[0].revents & (POLLHUP | POLLERR)) && !(p[0].revents & events)) return VI_ERROR_CONN_LOST;
    return VI_SUCCESS;
  }
}

ViStatus SerialTransport::applyLineSetting(ViAttr attribute, ViAttrState value) {
  // tcsetattr succeeds when any part is taken: what the port really keeps is read back.
  return applyPortSetting(kTermios, fd_, attribute, value);
}

ViStatus SerialTransport::readLineSetting(ViAttr attribute, ViAttrState& value) const {
  return readPortSetting(kTermios, fd_, attribute, value);
}

ViStatus SerialTransport::bytesWaiting(ViAttrState& count) const {
  int waiting = 0;
  if (::ioctl(fd_, FIONREAD, &waiting) != 0) return VI_ERROR_SYSTEM_ERROR;
  count = waiting < 0 ? 0 : static_cast<ViAttrState>(waiting);
  return VI_SUCCESS;
}

ViStatus SerialTransport::sendBreak() { return ::tcsendbreak(fd_, 0) == 0 ? VI_SUCCESS : VI_ERROR_IO; }

ViStatus SerialTransport::receive(ViByte* buffer, std::size_t capacity, std::size_t* received,
                                  const Deadline& deadline) {
  *received = 0;
  // With VMIN = VTIME = 0 a read of 0 bytes means "nothing yet"; after poll() has said the
  // port is ready it means the line is gone.
  bool pollSaidReady = false;
  for (;;) {
    const ssize_t n = ::read(fd_, buffer, capacity);
    if (n > 0) {
      *received = static_cast<std::size_t>(n);
      return VI_SUCCESS;
    }
    if (n < 0 && errno == EINTR) continue;
    if (n < 0 && errno == EIO) return VI_ERROR_CONN_LOST;  // the other end hung up
    if (n < 0 && errno != EAGAIN && errno != EWOULDBLOCK) return VI_ERROR_IO;
    if (n == 0 && pollSaidReady) return VI_ERROR_CONN_LOST;
    if (const ViStatus status = waitFor(POLLIN, deadline); status < VI_SUCCESS) return status;
    pollSaidReady = true;
  }
}

ViStatus SerialTransport::send(const ViByte* data, std::size_t length, std::size_t* sent, const Deadline& deadline) {
  *sent = 0;
  while (*sent < length) {
    const ssize_t n = ::write(fd_, data + *sent, length - *sent);
    if (n > 0) {
      *sent += static_cast<std::size_t>(n);
      continue;
    }
    if (n < 0 && errno == EINTR) continue;
    if (n < 0 && errno == EIO) return VI_ERROR_CONN_LOST;
    if (n < 0 && errno != EAGAIN && errno != EWOULDBLOCK) return VI_ERROR_IO;
    if (const ViStatus status = waitFor(POLLOUT, deadline); status < VI_SUCCESS) return status;
  }
  return VI_SUCCESS;
}

}  // namespace hnvqr::visa
