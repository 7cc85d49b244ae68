#include "usbtmc_transport.h"

#include <dirent.h>
#include <fcntl.h>
#include <linux/usb/tmc.h>
#include <poll.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <fstream>
#include <string_view>

namespace hnvqr::visa {
namespace {

// The driver refuses shorter time-outs.
constexpr ViUInt32 kDriverMinTimeoutMs = 100;
constexpr std::size_t kMaxAttributeText = 256;

std::string fromEnvironment(const char* variable, const char* fallback) {
  const char* value = std::getenv(variable);
  return value != nullptr && *value != '\0' ? value : fallback;
}

// The first line of a sysfs attribute file, at most kMaxAttributeText bytes.
std::string readAttribute(const std::string& path) {
  std::ifstream file(path);
  std::string text;
  if (!file || !std::getline(file, text)) return {};
  if (text.size() > kMaxAttributeText) return {};
  while (!text.empty() && (text.back() == '\r' || text.back() == ' ')) text.pop_back();
  return text;
}

bool hexAttributeIs(const std::string& path, unsigned expected) {
  const std::string text = readAttribute(path);
  if (text.empty() || text.size() > 8) return false;
  char* end = nullptr;
  const unsigned long value = std::strtoul(text.c_str(), &end, 16);
  return *end == '\0' && value == expected;
}

std::vector<std::string> entriesOf(const std::string& directory) {
  std::vector<std::string> names;
  if (DIR* dir = ::opendir(directory.c_str())) {
    while (const dirent* entry = ::readdir(dir)) {
      const std::string_view name = entry->d_name;
      if (name != "." && name != "..") names.emplace_back(name);
    }
    ::closedir(dir);
  }
  std::sort(names.begin(), names.end());  // the same device first, whatever the directory order
  return names;
}

bool isDeviceGone(int error) { return error == ENODEV || error == ESHUTDOWN || error == EPIPE || error == EIO; }

}  // namespace

std::string UsbtmcTransport::findDeviceNode(const UsbDeviceId& id) {
  const std::string devices = fromEnvironment(kUsbSysfsRootVariable, "/sys") + "/bus/usb/devices";
  const std::string nodes = fromEnvironment(kUsbDeviceDirVariable, "/dev");
  const std::vector<std::string> entries = entriesOf(devices);
  for (const std::string& device : entries) {
    if (device.find(':') != std::string::npos) continue;  // an interface, not a device
    const std::string base = devices + "/" + device;
    if (!hexAttributeIs(base + "/idVendor", id.vendor) || !hexAttributeIs(base + "/idProduct", id.product) ||
        readAttribute(base + "/serial") != id.serial)
      continue;
    for (const std::string& interface : entries) {
      if (interface.rfind(device + ":", 0) != 0) continue;
      const std::string interfaceBase = devices + "/" + interface;
      if (id.interfaceNumber >= 0 &&
          !hexAttributeIs(interfaceBase + "/bInterfaceNumber", static_cast<unsigned>(id.interfaceNumber)))
        continue;
      for (const std::string& node : entriesOf(interfaceBase + "/usbtmc"))
        if (node.rfind("usbtmc", 0) == 0) return nodes + "/" + node;
    }
  }
  return {};
}

std::vector<std::string> UsbtmcTransport::attachedResourceNames() {
  const std::string devices = fromEnvironment(kUsbSysfsRootVariable, "/sys") + "/bus/usb/devices";
  std::vector<std::string> names;
  for (const std::string& interface : entriesOf(devices)) {
    const std::size_t colon = interface.find(':');
    if (colon == std::string::npos || entriesOf(devices + "/" + interface + "/usbtmc").empty()) continue;
    const std::string device = devices + "/" + interface.substr(0, colon);
    const std::string vendor = readAttribute(device + "/idVendor");
    const std::string product = readAttribute(device + "/idProduct");
    const std::string serial = readAttribute(device + "/serial");
    const std::string number = readAttribute(devices + "/" + interface + "/bInterfaceNumber");
    if (vendor.empty() || product.empty() || serial.empty() || number.empty()) continue;
    const unsigned long interfaceNumber = std::strtoul(number.c_str(), nullptr, 16);
    names.push_back("USB0::0x" + vendor + "::0x" + product + "::" + serial + "::" + std::to_string(interfaceNumber) +
                    "::INSTR");
  }
  return names;
}

ViStatus UsbtmcTransport::readStatusByte(ViUInt16& statusByte, const Deadline& deadline) {
  setDriverTimeout(deadline);
  __u8 value = 0;
  if (::ioctl(fd_, USBTMC488_IOCTL_READ_STB, &value) != 0)
    return errno == ETIMEDOUT ? VI_ERROR_TMO : isDeviceGone(errno) ? VI_ERROR_CONN_LOST : VI_ERROR_IO;
  statusByte = value;
  return VI_SUCCESS;
}

ViStatus UsbtmcTransport::clearDevice(const Deadline& deadline) {
  held_.clear();
  setDriverTimeout(deadline);
  if (::ioctl(fd_, USBTMC_IOCTL_CLEAR) != 0)
    return errno == ETIMEDOUT ? VI_ERROR_TMO : isDeviceGone(errno) ? VI_ERROR_CONN_LOST : VI_ERROR_IO;
  return VI_SUCCESS;
}

ViStatus UsbtmcTransport::triggerDevice(const Deadline& deadline) {
  setDriverTimeout(deadline);
  if (::ioctl(fd_, USBTMC488_IOCTL_TRIGGER) != 0)
    return errno == ETIMEDOUT ? VI_ERROR_TMO : isDeviceGone(errno) ? VI_ERROR_CONN_LOST : VI_ERROR_IO;
  return VI_SUCCESS;
}

ViStatus UsbtmcTransport::open(const UsbDeviceId& id, std::unique_ptr<Transport>& opened) {
  const std::string node = findDeviceNode(id);
  if (node.empty()) return VI_ERROR_RSRC_NFOUND;
  const int fd = ::open(node.c_str(), O_RDWR | O_CLOEXEC | O_NOCTTY);
  if (fd < 0) return errno == EBUSY ? VI_ERROR_RSRC_BUSY : VI_ERROR_RSRC_NFOUND;
  opened.reset(new UsbtmcTransport(fd));
  return VI_SUCCESS;
}

UsbtmcTransport::~UsbtmcTransport() {
  const Deadline deadline = Deadline::afterMilliseconds(500);
  if (!held_.empty()) writeMessage(true, deadline);
  ::close(fd_);
}

bool UsbtmcTransport::setDriverTimeout(const Deadline& deadline) {
  if (!driverTimeouts_) return false;
  const int left = deadline.pollTimeout();
  // No "for ever" in the driver: the longest time-out it takes stands in for it.
  __u32 timeoutMs = left < 0 ? 0x7FFFFFFFu : std::max<__u32>(static_cast<__u32>(left), kDriverMinTimeoutMs);
  if (::ioctl(fd_, USBTMC_IOCTL_SET_TIMEOUT, &timeoutMs) == 0) return true;
  if (errno == ENOTTY || errno == EINVAL) driverTimeouts_ = false;
  return false;
}

ViStatus UsbtmcTransport::writeMessage(bool endOfMessage, const Deadline& deadline) {
  const std::vector<ViByte> pending = std::move(held_);
  held_.clear();
  if (pending.empty()) return VI_SUCCESS;
  __u8 eom = endOfMessage ? 1 : 0;
  if (setDriverTimeout(deadline)) ::ioctl(fd_, USBTMC_IOCTL_EOM_ENABLE, &eom);
  std::size_t sent = 0;
  while (sent < pending.size()) {
    if (!driverTimeouts_) {
      pollfd p{fd_, POLLOUT, 0};
      const int ready = ::poll(&p, 1, deadline.pollTimeout());
      if (ready < 0 && errno == EINTR) continue;
      if (ready == 0) return VI_ERROR_TMO;
      if (ready < 0) return VI_ERROR_SYSTEM_ERROR;
    }
    const ssize_t n = ::write(fd_, pending.data() + sent, pending.size() - sent);
    if (n > 0) {
      sent += static_cast<std::size_t>(n);
      continue;
    }
    if (n < 0 && (errno == EINTR || errno == EAGAIN)) continue;
    if (n < 0 && errno == ETIMEDOUT) return VI_ERROR_TMO;
    return n < 0 && isDeviceGone(errno) ? VI_ERROR_CONN_LOST : VI_ERROR_IO;
  }
  return VI_SUCCESS;
}

ViStatus UsbtmcTransport::send(const ViByte* data, std::size_t length, std::size_t* sent, const Deadline& deadline) {
  *sent = 0;
  return holdInPieces(held_, kMaxMessage, data, length, sent, [&] { return writeMessage(false, deadline); });
}

ViStatus UsbtmcTransport::sendEnd(ViByte /*termChar*/, const Deadline& deadline) {
  return writeMessage(true, deadline);
}

ViStatus UsbtmcTransport::receive(ViByte* buffer, std::size_t capacity, std::size_t* received,
                                  const Deadline& deadline) {
  *received = 0;
  if (const ViStatus status = writeMessage(false, deadline); status < VI_SUCCESS) return status;
  for (;;) {
    if (!setDriverTimeout(deadline)) {
      pollfd p{fd_, POLLIN, 0};
      const int ready = ::poll(&p, 1, deadline.pollTimeout());
      if (ready < 0 && errno == EINTR) continue;
      if (ready == 0) return VI_ERROR_TMO;
      if (ready < 0) return VI_ERROR_SYSTEM_ERROR;
    }
    const ssize_t n = ::read(fd_, buffer, capacity);
    if (n > 0) {
      *received = static_cast<std::size_t>(n);
      return VI_SUCCESS;
    }
    if (n == 0) return VI_ERROR_CONN_LOST;
    if (errno == EINTR) continue;
    if (errno == ETIMEDOUT) return VI_ERROR_TMO;
    if (errno == EAGAIN) {
      if (deadline.expired()) return VI_ERROR_TMO;
      continue;
    }
    return isDeviceGone(errno) ? VI_ERROR_CONN_LOST : VI_ERROR_IO;
  }
}

}  // namespace hnvqr::visa
